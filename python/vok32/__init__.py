"""Read and write vok32 streams from Python.

Two implementations share this interface: the compiled extension
(vok32.implementation == "native"), built with the libraries by the
project's CMake, and, where it is not built, pure Python over ctypes
("ctypes").  Both load the vok32 and vok32x libraries from the directory
named by VOK32_LIBRARY_PATH, then this package's directory, then the
installation prefix's library directories, then the system's loader
(libvok32.so.1 and libvok32x.so.2; vok32.dll and vok32x.dll on Windows,
where this package is not tested).  VOK32_IMPLEMENTATION=native or ctypes
forces one.

    with vok32.Writer(stream_type=7, version=3) as writer:
        writer.user_mark(1)
        writer.unsigned(300)
        block = writer.finish()
    for item in vok32.Reader(block, 7, 3):
        print(item.kind.name, item.value)
"""

from __future__ import annotations

from typing import Any

from . import _implementation, _libraries
from ._blocks import BlockInfo
from ._codes import Kind, KindClass, Status, VokError
from ._reader import Item
from ._schema import RecordError, RecordMeta, Schema, SchemaError

__version__ = "1.2.0"

__all__ = [
    "BlockInfo",
    "Feeder",
    "Item",
    "Kind",
    "KindClass",
    "Reader",
    "RecordError",
    "RecordMeta",
    "Schema",
    "SchemaError",
    "Status",
    "VokError",
    "Writer",
    "blocks",
    "implementation",
    "inspect",
    "library_version",
]

implementation: str = ""
Writer: Any
Reader: Any
Feeder: Any
blocks: Any
inspect: Any


def _use(name: str) -> None:
    """Switches the package to one of the available implementations (the
    tests run over each); schemas made before keep theirs."""
    chosen = _implementation.available[name]
    _implementation.current = chosen
    globals().update(implementation=chosen.name, Writer=chosen.Writer, Reader=chosen.Reader,
                     Feeder=chosen.Feeder, blocks=chosen.blocks, inspect=chosen.inspect)


_use(_implementation.current.name)


def library_version() -> str:
    """The version of the loaded vok32x library, such as "1.0.0"."""
    return str(_libraries.vokxVersion().decode("ascii"))
