"""Bad values, wrong reads and damaged blocks: a clear exception, never a crash."""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import vok32
from conftest import write
from vok32 import Status, _libraries

SAMPLE = [("phrase", 1), ("unsigned", 70000), ("string", b"ab\0"), ("safe", "abc"),
          ("utf8", "é" * 100), ("signed", -300), ("flag", True), ("user_mark", 5)]


@pytest.mark.parametrize("method, value, error", [
    ("user_mark", 200, ValueError), ("user_mark", -1, ValueError), ("phrase", 256, ValueError),
    ("unsigned", -1, ValueError), ("unsigned", 2**32, ValueError), ("signed", 2**31, ValueError),
    ("signed", -(2**31) - 1, ValueError), ("string", b"x" * 65536, ValueError),
    ("safe", "x" * 65536, ValueError), ("unsigned", 1.0, TypeError), ("string", 5, TypeError),
    ("item", b"\xd4\x01", vok32.VokError),
])
def test_values_out_of_range_are_refused(method, value, error):
    with pytest.raises(error):
        write([(method, value)])


def test_opening_and_wrong_reads_name_their_status_and_writers_end_once():
    block = write(SAMPLE)
    assert vok32.Reader(bytearray(block), 3, 0).version_status == Status.NEWER_VERSION
    reader = vok32.Reader(memoryview(block), 3, 2)
    assert reader.version_status == Status.OLDER_VERSION
    with pytest.raises(vok32.VokError) as raised:
        reader.read_utf8()
    assert (raised.value.status, raised.value.name, raised.value.offset) == (
        Status.WRONG_TYPE, "VOK_WRONG_TYPE", 8)
    assert [reader.read_phrase(), reader.read_unsigned(), reader.read_string()] == [1, 70000, b"ab\0"]
    with pytest.raises(vok32.VokError, match="UNEXPECTED"):
        reader.read_string()  # a safe string has no content
    assert reader.skip_phrase() == vok32.Kind.USER_MARK and reader.read_user_mark() == 5
    with pytest.raises(vok32.VokError, match="END_OF_STREAM"):
        reader.read_user_mark()
    with pytest.raises(vok32.VokError, match="WRONG_STREAM_TYPE"):
        vok32.Reader(block, 4, 1)
    with pytest.raises(TypeError):
        vok32.Reader("text", 3, 1)
    with pytest.raises(ValueError):
        vok32.Writer(256, 0)
    with vok32.Writer(1, 1) as abandoned:
        abandoned.string(b"kept\0nowhere")
    with pytest.raises(vok32.VokError, match="NOT_ACTIVE"):
        abandoned.finish()


def walk(data):
    """Everything a reader offers, on any bytes: VokError is the only way out."""
    try:
        reader = vok32.Reader(data, 3, 1)
        list(reader)
        reader.reset()
        for read in ("skip_phrase", "read_phrase", "read_unsigned", "read_string",
                     "read_utf8", "read_signed", "read_flag", "read_user_mark"):
            getattr(reader, read)()
    except vok32.VokError as error:
        return error.status


def test_every_truncation_and_damaged_byte_gives_a_status():
    block = write(SAMPLE)
    for at in range(len(block)):
        assert walk(block[:at]) == Status.INVALID_STREAM
        for byte in (0x00, 0x09, 0x7F, 0xC8, 0xC9, 0xE1, 0xE8, 0xFF):
            walk(block[:at] + bytes([byte]) + block[at + 1 :])


def test_libraries_are_taken_from_the_first_place_holding_both(tmp_path):
    found, names = Path(_libraries.loaded_from), _libraries.library_names()
    if not found.is_dir():
        pytest.skip("the libraries came from the system loader")
    (tmp_path / names[0]).write_bytes(b"only one of the two")
    assert _libraries.load_libraries(str(tmp_path), str(found), names)[2] == str(found)
    with pytest.raises(ImportError) as raised:
        _libraries.load_libraries(str(found), str(tmp_path), ("libnone.so.1", names[1]))
    assert all(place in str(raised.value) for place in (str(found), str(tmp_path), "system loader"))


def test_an_implementation_asked_for_is_that_one_or_none(tmp_path, implementation):
    if implementation != "ctypes":
        pytest.skip("runs the interpreter itself: once is enough")
    package = Path(vok32.__file__).parent
    shutil.copytree(package, tmp_path / "vok32", ignore=shutil.ignore_patterns("_native*"))
    environment = dict(os.environ, PYTHONPATH=str(tmp_path),
                       VOK32_LIBRARY_PATH=str(Path(_libraries.loaded_from)))
    for wanted, expected in (("ctypes", "ctypes\n"), ("", "ctypes\n"), ("native", None),
                             ("fast", None)):
        result = subprocess.run([sys.executable, "-c", "import vok32; print(vok32.implementation)"],
                                env=dict(environment, VOK32_IMPLEMENTATION=wanted),
                                capture_output=True, text=True)
        assert result.stdout == (expected or "")
        assert (result.returncode == 0) == (expected is not None), result.stderr
        assert expected or "VOK32_IMPLEMENTATION" in result.stderr


def test_status_and_kind_are_the_c_headers_names_and_values():
    include = Path(__file__).resolve().parents[2] / "include"
    text = "".join((include / name).read_text() for name in ("vok32.h", "vok32_statuses.h"))
    macros = {m[1]: int(m[2]) for m in re.finditer(r"#define (VOKX?_\w+) (\d+)\b", text)}
    listed = re.findall(r"X\((VOKX?_\w+),", text)
    assert {m: macros[m] for m in listed} == {
        f"VOK{'X' if s >= 64 and s < 200 else ''}_{s.name}": s.value for s in Status}
    assert all(_libraries.vokxStatusName(macros[m]).decode() == m for m in listed)
    tags = {m[4:]: v for m, v in macros.items() if m.startswith("VOK_") and 200 <= v <= 233}
    assert tags == {k.name: k.value for k in vok32.Kind}
