"""The two implementations of the package and the choice between them.

"native" is the compiled extension (vok32._native, built by the project's
CMake); "ctypes" the pure-Python modules over ctypes, the fallback where the
extension is not built.  Both load the same two libraries (found by
_libraries) and follow the same rules, held to the same tests.  The
environment variable VOK32_IMPLEMENTATION forces one of them.
"""

from __future__ import annotations

import os
from types import SimpleNamespace
from typing import Optional

from . import _blocks, _codes, _ctypes_records, _reader, _schema, _writer

ENVIRONMENT_VARIABLE = "VOK32_IMPLEMENTATION"
NAMES = ("Writer", "Reader", "Feeder", "blocks", "inspect", "Codec")

ctypes_implementation = SimpleNamespace(
    name="ctypes", Writer=_writer.Writer, Reader=_reader.Reader, Feeder=_blocks.Feeder,
    blocks=_blocks.blocks, inspect=_blocks.inspect, Codec=_ctypes_records.Codec)


def _load_native() -> tuple[Optional[SimpleNamespace], str]:
    try:
        from . import _native  # type: ignore[attr-defined]
    except ImportError as error:
        return None, str(error)
    _native.setup(_codes.VokError, _codes.OutOfRange, _schema.RecordError, _codes.Status,
                  _reader.Item, _reader.KINDS, _blocks.BlockInfo, _codes.checked_int, _schema)
    return SimpleNamespace(name="native", **{n: getattr(_native, n) for n in NAMES}), ""


native_implementation, why_not_native = _load_native()
available = {"ctypes": ctypes_implementation}
if native_implementation is not None:
    available["native"] = native_implementation


def _chosen() -> SimpleNamespace:
    wanted = os.environ.get(ENVIRONMENT_VARIABLE, "")
    if wanted == "native" and native_implementation is None:
        raise ImportError(f"vok32: {ENVIRONMENT_VARIABLE}=native, but the extension does not "
                          f"load: {why_not_native}")
    if wanted not in ("", "native", "ctypes"):
        raise ImportError(f"vok32: {ENVIRONMENT_VARIABLE} must be native or ctypes, not {wanted!r}")
    return available.get(wanted or "native", ctypes_implementation)


current = _chosen()
