"""Read and write vok32 streams from Python.

Pure Python over ctypes, on the vok32 and vok32x libraries.  They are looked
for in the directory named by VOK32_LIBRARY_PATH, then in this package's
directory, then by the system's loader (libvok32.so.1 and libvok32x.so.2;
vok32.dll and vok32x.dll on Windows, where this package is not tested).

    with vok32.Writer(stream_type=7, version=3) as writer:
        writer.user_mark(1)
        writer.unsigned(300)
        block = writer.finish()
    for item in vok32.Reader(block, 7, 3):
        print(item.kind.name, item.value)
"""

from __future__ import annotations

from . import _native
from ._blocks import BlockInfo, Feeder, blocks, inspect
from ._codes import Kind, KindClass, Status, VokError
from ._reader import Item, Reader
from ._schema import RecordError, Schema, SchemaError
from ._writer import Writer

__all__ = [
    "BlockInfo",
    "Feeder",
    "Item",
    "Kind",
    "KindClass",
    "Reader",
    "RecordError",
    "Schema",
    "SchemaError",
    "Status",
    "VokError",
    "Writer",
    "blocks",
    "inspect",
    "library_version",
]


def library_version() -> str:
    """The version of the loaded vok32x library, such as "1.0.0"."""
    return str(_native.vokxVersion().decode("ascii"))
