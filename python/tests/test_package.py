"""Finding the libraries, and the README's example."""
import os
import re
from pathlib import Path

import pytest

import vok32
from vok32 import _native

NAMES = _native.library_names()


def test_the_first_place_holding_both_libraries_is_taken(tmp_path):
    found = Path(_native.loaded_from)
    if not found.is_dir():
        pytest.skip("the libraries came from the system loader")
    (tmp_path / NAMES[0]).write_bytes(b"only one of the two")
    assert _native.load_libraries(str(tmp_path), str(found), NAMES)[2] == str(found)
    with pytest.raises(ImportError) as raised:
        _native.load_libraries(str(found), str(tmp_path), ("libnone.so.1", NAMES[1]))
    message = str(raised.value)
    assert all(place in message for place in (str(found), str(tmp_path), "system loader"))


def test_readme_example_runs():
    readme = Path(__file__).resolve().parents[2] / "README.md"
    if not readme.exists():
        pytest.skip("run from outside the source tree")
    example = re.search(r"## Python.*?```python\n(.*?)```", readme.read_text(), re.S)
    exec(example.group(1), {})


def test_package_and_library_versions_agree():
    from importlib.metadata import PackageNotFoundError, version

    try:
        assert version("vok32") == vok32.library_version()
    except PackageNotFoundError:
        pytest.skip("the package is not installed")
