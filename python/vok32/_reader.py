"""Reading a block: item by item through vok32x, or by kind through vok32."""

from __future__ import annotations

import ctypes
import struct
from typing import NamedTuple, Optional, Union

from . import _libraries
from ._blocks import Bytes, as_block, inspect
from ._codes import Kind, KindClass, Status, VokError, checked_int


class Item(NamedTuple):
    """One item: its kind, value, and where it stands in the block.

    value is an int for marks, phrases, flags (the stored byte) and numbers,
    bytes for a plain string, str for a UTF-8 string (decoded with
    errors="surrogateescape", so encoding it the same way gives back the
    stored bytes), and the recorded length for a safe string."""

    kind: Union[Kind, int]
    value: Union[int, bytes, str]
    offset: int
    size: int

    @property
    def kind_class(self) -> KindClass:
        """The kind without its width: KindClass.UNSIGNED for UNSIGNED_1,
        UNSIGNED_2 and UNSIGNED_4..."""
        return KindClass(_libraries.vokxKindClass(self.kind))


# Item's own constructor is a Python function; this skips it.
_new_item = tuple.__new__
_UTF8KINDS = frozenset((Kind.UTF8_1, Kind.UTF8_2, Kind.UTF8_4))
_SAFEKINDS = frozenset((Kind.SAFE_1, Kind.SAFE_2))

# Where an item's value comes from, by kind: the unsigned field, the signed
# one, the bytes in place, or those bytes decoded.
_UNSIGNED, _SIGNED, _BYTES, _TEXT = range(4)
_VALUE_FROM = [_UNSIGNED] * 256
for _kind in (Kind.SIGNED_1, Kind.SIGNED_2, Kind.SIGNED_4):
    _VALUE_FROM[_kind] = _SIGNED
for _kind in (Kind.STRING_1, Kind.STRING_2):
    _VALUE_FROM[_kind] = _BYTES
for _kind in _UTF8KINDS:
    _VALUE_FROM[_kind] = _TEXT
KINDS: list[Union[Kind, int]] = list(range(256))
for _kind in Kind:
    KINDS[_kind] = _kind

# The fields of vokxItem in their order, aligned as the platform's C does.
_ITEM_LAYOUT = struct.Struct("@BIIIiPI")


def _item(kind: int, offset: int, size: int, value: int, signed: int, text: int,
          length: int) -> Item:
    """An Item of a vokxItem's fields, its value taken by the kind."""
    source = _VALUE_FROM[kind]
    content: Union[int, bytes, str] = value
    if source == _SIGNED:
        content = signed
    elif source != _UNSIGNED:
        content = ctypes.string_at(text, length) if length else b""
        if source == _TEXT:
            content = content.decode("utf-8", "surrogateescape")
    return _new_item(Item, (KINDS[kind], content, offset, size))


def item_of(item: _libraries.VokxItem) -> Item:
    """A vokxItem as an Item, its value taken as Reader's iteration does."""
    return _item(item.kind, item.offset, item.size, item.value, item.signed_value,
                 item.text or 0, item.length)


class Reader:
    """Reads one block of the given stream type and version.

    Without stream_type or version the block's own is taken.  A block of an
    older or newer version opens (version_status says which); anything else
    raises VokError.  Bytes after the block raise VokError INVALID_STREAM
    (offset: the block's length) unless allow_trailing is true, when they are
    ignored.  Iterating yields the items from the current position on; the
    typed readers take one item of their kind and raise VokError, without
    moving, on anything else.  The data is copied unless it is bytes.  A
    reader is used by one thread at a time; several may read one block.
    """

    version_status: Status

    def __init__(
        self,
        data: Bytes,
        stream_type: Optional[int] = None,
        version: Optional[int] = None,
        *,
        allow_trailing: bool = False,
    ) -> None:
        self._data = as_block(data)
        if not allow_trailing and len(self._data) >= 4:
            length = int.from_bytes(self._data[:4], "big")
            if length < len(self._data):
                raise VokError(Status.INVALID_STREAM, length)
        if stream_type is None or version is None:
            info = inspect(self._data)
            stream_type = info.type if stream_type is None else stream_type
            version = info.version if version is None else version
        stream_type = checked_int(stream_type, 0, 255, "stream type")
        version = checked_int(version, 0, 0xFFFFFFFF, "version")
        self._handle = _libraries.VokStream()
        self._ref = ctypes.addressof(self._handle)
        status = _libraries.vokxOpen(self._ref, self._data, len(self._data), stream_type, version)
        if status not in (Status.OK, Status.OLDER_VERSION, Status.NEWER_VERSION):
            raise VokError(status, self._handle.position)
        self.version_status = Status(status)
        self._item = _libraries.VokxItem()
        self._item_ref = ctypes.addressof(self._item)
        self._item_fields = memoryview(self._item).cast("B")  # type: ignore[arg-type]
        self._number = ctypes.c_uint32()
        self._number_ref = ctypes.addressof(self._number)

    @property
    def position(self) -> int:
        """Offset in the block of the next item."""
        return int(self._handle.position)

    def reset(self) -> None:
        """Goes back to the first item."""
        self._check(_libraries.vokReset(self._ref))

    def peek(self) -> Union[Kind, int]:
        """The kind of the next item, without moving: Kind.END at the end,
        Kind.INVALID where no item can start."""
        return KINDS[_libraries.vokPeek(self._ref)]

    def __iter__(self) -> Reader:
        return self

    def __next__(self) -> Item:
        status = _libraries.vokxNextItem(self._ref, self._item_ref)
        if status:
            if status == Status.END_OF_STREAM:
                raise StopIteration
            raise VokError(status, self._handle.position)
        # One unpacking of the whole record costs less than reading its
        # fields one by one through ctypes.
        return _item(*_ITEM_LAYOUT.unpack_from(self._item_fields))

    def _check(self, status: int) -> None:
        if status:
            raise VokError(status, self._handle.position)

    def read_user_mark(self) -> int:
        self._check(_libraries.vokCanRead(self._ref))
        return int(_libraries.vokReadUserMark(self._ref))

    def read_phrase(self) -> int:
        identifier = ctypes.c_uint8()
        self._check(_libraries.vokReadPhraseMark(self._ref, ctypes.addressof(identifier)))
        return identifier.value

    def read_flag(self) -> bool:
        """True for any non-zero stored byte (iterating gives the byte itself)."""
        self._check(_libraries.vokReadFlag(self._ref, self._number_ref))
        return self._number.value != 0

    def read_unsigned(self) -> int:
        self._check(_libraries.vokReadUnsigned(self._ref, self._number_ref))
        return self._number.value

    def read_signed(self) -> int:
        value = ctypes.c_int32()
        self._check(_libraries.vokReadSigned(self._ref, ctypes.addressof(value)))
        return value.value

    def read_string(self) -> bytes:
        """The content of a plain or UTF-8 string, zero bytes included.  A
        safe string, which has none, raises VokError UNEXPECTED."""
        self._check(_libraries.vokGetStringSize(self._ref, self._number_ref))
        if _libraries.vokPeek(self._ref) in _SAFEKINDS:
            raise VokError(Status.UNEXPECTED, self._handle.position)
        length = self._number.value
        buffer = ctypes.create_string_buffer(length + 1)
        self._check(_libraries.vokReadString(self._ref, buffer))
        return buffer.raw[:length]

    def read_utf8(self) -> str:
        """A UTF-8 string, decoded with errors="surrogateescape"."""
        if _libraries.vokPeek(self._ref) not in _UTF8KINDS:
            raise VokError(Status.WRONG_TYPE, self._handle.position)
        return self.read_string().decode("utf-8", "surrogateescape")

    def skip_phrase(self) -> Union[Kind, int]:
        """Passes over the rest of the phrase and returns what it stopped at:
        Kind.PHRASE_MARK or Kind.END (not consumed), Kind.USER_MARK, or
        Kind.INVALID for an item it cannot pass."""
        return KINDS[_libraries.vokSkipPhrase(self._ref)]
