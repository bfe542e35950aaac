"""Status codes, item kinds and the package's exception."""

from __future__ import annotations

import operator
from enum import IntEnum
from typing import Any, Optional

from . import _libraries


class Status(IntEnum):
    """Status codes of the libraries (0 is success)."""

    OK = 0
    NO_MEMORY = 1
    WRONG_STREAM_TYPE = 2
    BAD_VERSION = 3
    MARK_OUT_OF_RANGE = 4
    WRONG_TYPE = 5
    STRING_TOO_LONG = 6
    UNEXPECTED = 7
    OLDER_VERSION = 8  # the stream opened and is readable
    NEWER_VERSION = 9  # the stream opened and is readable
    NOT_ACTIVE = 10
    INVALID_STREAM = 11
    STILL_ACTIVE = 12
    END_OF_STREAM = 14
    CONVERSION_FAILED = 15
    NOT_UTF8 = 17
    NEED_MORE = 64  # more bytes are needed to see a whole block
    BAD_FIELD = 65  # a mark without exactly one value item, or a value without a mark
    MISSING_FIELD = 66  # a required field or group is absent
    REPEATED_FIELD = 67  # a field or group that is not repeated occurs twice
    TOO_MANY = 68  # a repeated field or group occurs more often than its max
    BAD_SCHEMA = 69  # the schema breaks a rule of the schema format
    INVALID = 233  # reset of a stream that is not open


class Kind(IntEnum):
    """What an item is, as Item.kind and Reader.skip_phrase() report it.

    Tags that come in several widths keep their width in the name: an item
    is reported with the tag it was written with, even a wider one than its
    value needs.
    """

    START = 200
    END = 201
    FLAG = 202
    STRING_1 = 204
    STRING_2 = 205
    UTF8_1 = 208
    UTF8_2 = 209
    UNSIGNED_1 = 210
    UNSIGNED_2 = 212
    UNSIGNED_4 = 213
    SIGNED_1 = 216
    SIGNED_2 = 217
    SIGNED_4 = 218
    PHRASE_MARK = 224
    USER_MARK = 225  # a byte below 200
    SAFE_1 = 226
    SAFE_2 = 227
    UTF8_4 = 232
    INVALID = 233  # nothing readable: a byte no item starts with


class KindClass(IntEnum):
    """What an item is whatever the width of its tag, as vokxKindClass says:
    Item.kind_class of an UNSIGNED_1, UNSIGNED_2 or UNSIGNED_4 item is
    KindClass.UNSIGNED."""

    INVALID = 0
    FLAG = 1
    UNSIGNED = 2
    SIGNED = 3
    STRING = 4
    UTF8 = 5
    SAFE = 6
    USER_MARK = 7
    PHRASE = 8
    END = 9


class VokError(Exception):
    """A status other than success from one of the libraries.

    status is the code, name and text its name and description from
    vok32x, offset (or None) where in the block or byte sequence it arose.
    For NEED_MORE, needed is the number of bytes the whole block takes once
    its length field is there, else None.
    """

    status: int
    name: str
    text: str
    offset: Optional[int]
    needed: Optional[int]

    def __init__(
        self, status: int, offset: Optional[int] = None, needed: Optional[int] = None
    ) -> None:
        super().__init__(status, offset)
        self.status = int(status)
        self.name = _libraries.vokxStatusName(status).decode("ascii", "replace")
        self.text = _libraries.vokxStatusText(status).decode("ascii", "replace")
        self.offset = offset
        self.needed = needed

    def __str__(self) -> str:
        where = "" if self.offset is None else f" at offset {self.offset}"
        return f"{self.name} ({self.status}){where}: {self.text}"


class OutOfRange(VokError, ValueError):
    """A value the library would refuse with its own status (a user mark above
    199, a plain or safe string above 65,535 bytes), caught before the call."""


def checked_int(value: Any, low: int, high: int, what: str) -> int:
    """value as an int, or ValueError if it lies outside low..high (ctypes
    would silently cut it to the width of the C argument)."""
    number = operator.index(value)
    if not low <= number <= high:
        raise ValueError(f"{what} must be from {low} to {high}, not {number}")
    return number
