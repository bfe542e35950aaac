"""Framing: the header of one block, and the blocks of a byte sequence."""

from __future__ import annotations

import ctypes
import io
from typing import BinaryIO, Iterator, NamedTuple, NoReturn, Optional, Union

from . import _libraries
from ._codes import Status, VokError

Bytes = Union[bytes, bytearray, memoryview]

# Files are read in pieces of at most this size, so that a corrupted length
# field costs no more memory than the file really holds.
_CHUNK = 1 << 20

# The smallest block: a header with a one-byte version and the end marker.
MIN_BLOCK = 9


class BlockInfo(NamedTuple):
    length: int  # total bytes of the block, as its length field says
    type: int  # stream type
    version: int
    body: int  # offset of the first item


def as_block(data: Bytes) -> bytes:
    """Immutable bytes of a bytes-like argument.  The libraries then read
    memory that nothing can change or free while they use it."""
    if isinstance(data, bytes):
        return data
    if isinstance(data, (bytearray, memoryview)):
        return bytes(data)
    raise TypeError(f"expected bytes, bytearray or memoryview, not {type(data).__name__}")


def _inspect(buffer: bytearray, info: _libraries.VokxBlockInfo) -> int:
    view = (ctypes.c_char * len(buffer)).from_buffer(buffer)
    try:
        return int(_libraries.vokxInspect(view, len(buffer), ctypes.addressof(info)))
    finally:
        del view  # lets the buffer grow again


def inspect(data: Bytes) -> BlockInfo:
    """The frame of the block at the start of data.

    Raises VokError: NEED_MORE when data is shorter than the block (or than
    its length field; the error's needed is the length field once its four
    bytes are there), INVALID_STREAM when it can never be a block."""
    raw = as_block(data)
    info = _libraries.VokxBlockInfo()
    status = _libraries.vokxInspect(raw, len(raw), ctypes.addressof(info))
    if status:
        needed = info.length if status == Status.NEED_MORE and len(raw) >= 4 else None
        raise VokError(status, 0, needed)
    return BlockInfo(info.length, info.type, info.version, info.body)


class Feeder:
    """Gathers blocks that arrive in pieces (from a socket, say).

    feed(data) takes any bytes-like piece; iterating yields, in order, each
    whole block received so far as bytes, keeping a partial block until the
    rest arrives.  A block whose length field is below 9 or above max_block,
    or whose frame can never be valid, raises VokError (offset: where the
    block starts in everything fed): from feed() when it is the first block
    not yet taken, else from the iteration's next step once every whole
    block before it has been yielded.  After an error the feeder is
    unusable: every later call raises the same error again.
    """

    def __init__(self, max_block: int = 16 * 1024 * 1024) -> None:
        self._max_block = max_block
        self._buffer = bytearray()
        self._offset = 0  # of the buffer's first byte in everything fed
        self._error: Optional[VokError] = None

    def feed(self, data: Bytes) -> None:
        if self._error is not None:
            raise self._error
        self._buffer += as_block(data)
        self._check_length()

    def _fail(self, status: int, needed: Optional[int] = None) -> NoReturn:
        self._error = VokError(status, self._offset, needed)
        raise self._error

    def _check_length(self) -> None:
        if len(self._buffer) >= 4:
            length = int.from_bytes(self._buffer[:4], "big")
            if length < MIN_BLOCK or length > self._max_block:
                self._fail(Status.INVALID_STREAM)

    def __iter__(self) -> Iterator[bytes]:
        return self

    def __next__(self) -> bytes:
        if self._error is not None:
            raise self._error
        self._check_length()
        info = _libraries.VokxBlockInfo()
        status = _inspect(self._buffer, info)
        if status == Status.NEED_MORE:
            raise StopIteration
        if status:
            self._fail(status)
        block = bytes(self._buffer[: info.length])
        del self._buffer[: info.length]
        self._offset += info.length
        return block  # a bad length after it is refused on the next step


def _read(file: BinaryIO, count: int) -> bytes:
    data = file.read(count)
    if data is None:  # a non-blocking file with nothing there yet
        return b""
    if not isinstance(data, (bytes, bytearray)):
        raise TypeError("blocks() needs bytes or a file opened in binary mode")
    return data


def _next_block(file: BinaryIO, offset: int) -> Union[bytes, None]:
    """The next whole block of file, or None at its end; offset is where the
    block starts, for the error."""
    buffer = bytearray(_read(file, 4))
    if not buffer:
        return None
    info = _libraries.VokxBlockInfo()
    status = _inspect(buffer, info)
    while status == Status.NEED_MORE:
        wanted = max(info.length, 4) - len(buffer)
        more = _read(file, min(wanted, _CHUNK))
        if not more:
            break
        buffer += more
        status = _inspect(buffer, info)
    if status:
        raise VokError(status, offset)
    return bytes(buffer)


def blocks(source: Union[Bytes, BinaryIO]) -> Iterator[bytes]:
    """Each block of a sequence of blocks stored back to back, as bytes.

    source is bytes-like or a file opened in binary mode (read as the
    blocks are taken).  Raises VokError naming the offset of a block that is
    invalid (INVALID_STREAM) or cut short at the end (NEED_MORE), after
    yielding the blocks before it."""
    file = source if hasattr(source, "read") else io.BytesIO(as_block(source))  # type: ignore[arg-type]
    offset = 0
    while (block := _next_block(file, offset)) is not None:  # type: ignore[arg-type]
        yield block
        offset += len(block)
