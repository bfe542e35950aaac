"""Writing a stream item by item through a vok32 handle."""

from __future__ import annotations

import ctypes
import operator
from types import TracebackType
from typing import Callable, Optional, Union

from . import _libraries
from ._codes import OutOfRange, Status, VokError, checked_int

_MAX_USER_MARK = 199
_MAX_SHORT_STRING = 65535
_MAX_UINT32 = 0xFFFFFFFF
_SIGN_LIMIT = 2**31

Text = Union[str, bytes, bytearray, memoryview]


def as_bytes(text: Text) -> bytes:
    """Bytes of a string argument; a str is taken as UTF-8, and characters
    that a reader decoded with surrogateescape give back the original bytes."""
    if isinstance(text, str):
        return text.encode("utf-8", "surrogateescape")
    if isinstance(text, (bytes, bytearray, memoryview)):
        return bytes(text)
    raise TypeError(f"expected str or bytes, not {type(text).__name__}")


class Writer:
    """Builds one stream of the given type (0-255) and version (32-bit).

    Each method appends one item; finish() closes the stream and returns the
    finished block.  As a context manager, leaving the block without
    finish() discards the stream.  A writer is used by one thread at a time.
    """

    def __init__(self, stream_type: int, version: int) -> None:
        stream_type = checked_int(stream_type, 0, 255, "stream type")
        version = checked_int(version, 0, _MAX_UINT32, "version")
        self._handle = _libraries.VokStream()
        self._ref = ctypes.addressof(self._handle)
        self._call(_libraries.vokCreateStream(self._ref, stream_type, version))

    def _call(self, status: int) -> None:
        if status:
            raise VokError(status)

    def user_mark(self, mark: int) -> None:
        """A user mark, 0 to 199."""
        mark = operator.index(mark)
        if not 0 <= mark <= _MAX_USER_MARK:
            raise OutOfRange(Status.MARK_OUT_OF_RANGE)
        self._call(_libraries.vokWriteUserMark(self._ref, mark))

    def phrase(self, identifier: int) -> None:
        """A phrase mark with its identifier, 0 to 255."""
        identifier = checked_int(identifier, 0, 255, "phrase identifier")
        self._call(_libraries.vokWritePhraseMark(self._ref, identifier))

    def flag(self, value: object) -> None:
        """A flag: stored as 1 for a true value, 0 for a false one."""
        status = _libraries.vokWriteFlag(self._ref, 1 if value else 0)
        if status:
            raise VokError(status)

    # The number writers are the hot path: their checks are written out.
    def unsigned(self, value: int) -> None:
        """An unsigned number, 0 to 4,294,967,295, in the narrowest width."""
        value = operator.index(value)
        if not 0 <= value <= _MAX_UINT32:
            checked_int(value, 0, _MAX_UINT32, "unsigned value")
        status = _libraries.vokWriteUnsigned(self._ref, value)
        if status:
            raise VokError(status)

    def signed(self, value: int) -> None:
        """A signed number, -2**31 to 2**31 - 1, in the narrowest width."""
        value = operator.index(value)
        if not -_SIGN_LIMIT <= value < _SIGN_LIMIT:
            checked_int(value, -_SIGN_LIMIT, _SIGN_LIMIT - 1, "signed value")
        status = _libraries.vokWriteSigned(self._ref, value)
        if status:
            raise VokError(status)

    def string(self, data: Text) -> None:
        """A plain string of at most 65,535 bytes; zero bytes are kept."""
        raw = data if type(data) is bytes else as_bytes(data)
        if len(raw) > _MAX_SHORT_STRING:
            raise OutOfRange(Status.STRING_TOO_LONG)
        self._write_text(raw, _libraries.vokWriteString, _libraries.vokEncodeString)

    def utf8(self, text: Text) -> None:
        """A UTF-8 string; bytes are stored as given, without validation."""
        raw = as_bytes(text)
        self._write_text(raw, _libraries.vokWriteUTF8String, _libraries.vokEncodeUTF8String)

    def safe(self, text: Text) -> None:
        """A safe string: only its length in bytes (at most 65,535) is stored.

        The library reports that the content was withheld, which is the
        purpose of this item and is not raised."""
        raw = as_bytes(text)
        if len(raw) > _MAX_SHORT_STRING:
            raise OutOfRange(Status.STRING_TOO_LONG)
        # Only the length is stored, so a zero-free stand-in of the same
        # length gives the same item whatever bytes the text holds.
        if b"\0" in raw:
            raw = b"x" * len(raw)
        status = _libraries.vokWriteSafeString(self._ref, raw)
        if status != Status.UNEXPECTED:
            self._call(status)

    def item(self, encoded: Union[bytes, bytearray, memoryview]) -> None:
        """One whole item given as its bytes, in any width the format allows
        (for example data[item.offset:item.offset + item.size] of a read item)."""
        raw = bytes(encoded)
        self._call(_libraries.vokxWriteItem(self._ref, raw, len(raw)))

    def _write_text(self, raw: bytes, write: Callable, encode: Callable) -> None:
        if b"\0" not in raw:
            # bytes are zero-terminated in memory: passed as they are.
            status = write(self._ref, raw)
            if status:
                raise VokError(status)
            return
        # The C writers stop at the first zero byte: encode the item around a
        # zero-free stand-in of the same length, put the real content in its
        # place (the content ends the item) and append the item as bytes.
        room = ctypes.create_string_buffer(len(raw) + 8)
        start = ctypes.addressof(room)
        cursor = ctypes.c_void_p(start)
        self._call(encode(ctypes.addressof(cursor), b"x" * len(raw)))
        size = cursor.value - start
        ctypes.memmove(start + size - len(raw), raw, len(raw))
        self._call(_libraries.vokxWriteItem(self._ref, start, size))

    def finish(self) -> bytes:
        """Closes the stream and returns the finished block."""
        if not self._handle.active:
            raise VokError(Status.NOT_ACTIVE)
        self._call(_libraries.vokCloseStream(self._ref))
        block = ctypes.string_at(self._handle.data, _libraries.vokGetLength(self._ref))
        self._release()
        return block

    def _release(self) -> None:
        data, self._handle.data = self._handle.data, None
        self._handle.active = 0
        _libraries.vokDestroyStream(data)

    def __enter__(self) -> Writer:
        return self

    def __exit__(
        self,
        kind: Optional[type[BaseException]],
        error: Optional[BaseException],
        trace: Optional[TracebackType],
    ) -> None:
        self._release()

    def __del__(self) -> None:
        if getattr(self, "_handle", None) is not None:
            self._release()
