"""Records: a schema file naming a stream type's fields, and records encoded,
decoded and checked by it through vok32x's records engine (docs/schema.md).

Schema files are read by vok32x (vokxSchemaParse), and records encoded and
decoded through its engine, so Python, the tool and generated code follow
one set of rules.  What this module holds is shared by the two
implementations of the package (the compiled extension and ctypes): the
schema's tables as Python sees them, the refusals, and the rules that map a
dataclass to a level of a record.
"""

from __future__ import annotations

import ctypes
import dataclasses
import datetime
import json
import struct
import sys
import typing
from typing import Any, BinaryIO, Iterator, Mapping, NamedTuple, Optional, Union

from . import _libraries
from ._codes import Status, VokError

FLAG, UNSIGNED, SIGNED, STRING, UTF8, SAFE = range(1, 7)
UNSIGNED64, SIGNED64, FLOAT32, FLOAT64, ENUM, TIMESTAMP = range(16, 22)
OPTIONAL, REPEATED = 1, 2
GROUP_BEGINS, PASSED_OVER = -1, -2
# What a codec's decode gives: the record; with the version's status; with
# that and the items passed over.
DECODE_PLAIN, DECODE_STATUS, DECODE_META = range(3)

Bytes = Union[bytes, bytearray, memoryview]


class SchemaError(VokError, ValueError):
    """A schema the format refuses: path says where ("fields[2].mark")."""

    def __init__(self, path: str, message: str) -> None:
        super().__init__(Status.BAD_SCHEMA, 0)
        self.path, self.message = path, message

    def __str__(self) -> str:
        return f"{self.path}: {self.message}" if self.path else self.message


class RecordError(VokError):
    """A record the schema refuses: status, path ("lines[3].sku"), offset
    (of the item in the block, where known) and block (where the block
    starts in the bytes or file read, for records(); else None) say where
    and why."""

    def __init__(self, status: int, path: str, message: str, offset: Optional[int] = None,
                 block: Optional[int] = None) -> None:
        super().__init__(status, offset)
        self.path, self.message, self.block = path, message, block

    def __str__(self) -> str:
        where = f"{self.path}: " if self.path else ""
        return f"{where}{self.message} ({self.name})"



NO_DEFAULT: Any = object()


class Field(typing.NamedTuple):
    name: str
    mark: int
    kind: int
    flags: int
    max: int
    spec: Any = None  # the engine's vokxFieldSpec, for vokxFieldValue
    names: dict[int, str] = {}  # an enum's numbers to names
    default: Any = NO_DEFAULT  # as decode gives it

    @property
    def repeated(self) -> bool:
        return bool(self.flags & REPEATED)

    def holds_default(self, value: Any) -> bool:
        if self.default is NO_DEFAULT:
            return False
        if self.kind in (FLOAT32, FLOAT64):
            fmt = ">f" if self.kind == FLOAT32 else ">d"
            if isinstance(value, bool) or not isinstance(value, (int, float)):
                return False
            bits = float_bits(fmt, value)
            return bits is not None and bits == float_bits(fmt, self.default)
        if self.kind == ENUM:  # by number, whether named or not
            numbers = {name: number for number, name in self.names.items()}
            number = numbers.get(value, value) if isinstance(value, str) else value
            default = numbers.get(self.default, self.default) if isinstance(self.default, str) \
                else self.default
            return type(number) is int and number == default
        return type(value) is type(self.default) and value == self.default


class Group(typing.NamedTuple):
    name: str
    phrase: int
    flags: int
    max: int
    fields: list[Field]

    @property
    def repeated(self) -> bool:
        return bool(self.flags & REPEATED)


def _fields_of(array: Any, count: int) -> list[Field]:
    fields = []
    for i in range(count):
        f = array[i]
        names: dict[int, str] = {}
        default = NO_DEFAULT
        if f.detail:
            d = f.detail.contents
            names = {d.values[k].number: d.values[k].name.decode("ascii")
                     for k in range(d.value_count)}
            if d.has_default:
                if f.kind in (STRING, UTF8):
                    raw = ctypes.string_at(d.default_text, d.default_length) if d.default_length else b""
                    default = raw if f.kind == STRING else raw.decode("utf-8", "surrogateescape")
                else:
                    default = python_value(f.kind, d.default_value, names)
        fields.append(Field(f.name.decode("ascii"), f.mark, f.kind, f.flags, f.max,
                             ctypes.pointer(f), names, default))
    return fields


class RecordMeta(NamedTuple):
    """What a record's block holds beside its fields, as decode(meta=True)
    gives it: the block's version, how it stands to the schema's
    (Status.OK, OLDER_VERSION or NEWER_VERSION), and the items the schema
    does not name, passed over where they stood (vok32.Item, offsets in the
    block), as the tool's $version and $unknown."""

    version: int
    version_status: Status
    unknown: list


class Schema:
    """A checked schema.  Schema.load(path) reads a schema file,
    Schema.from_dict(d) takes the same JSON as Python objects; both raise
    SchemaError naming the fault's place.  The file's rules are vok32x's
    (vokxSchemaParse), the ones the vok tool follows."""

    def __init__(self, text: bytes) -> None:
        from . import _implementation  # it imports this module

        document = ctypes.c_void_p()
        error = _libraries.VokxRecordError()
        status = _libraries.vokxSchemaParse(text, len(text), ctypes.byref(document),
                                            ctypes.addressof(error))
        if status:
            raise SchemaError(error.path.decode("utf-8", "replace"),
                              error.message.decode("utf-8", "replace"))
        self._document = _Document(document)
        self._schema_ref = _libraries.vokxSchemaOf(document)
        table = ctypes.cast(self._schema_ref, ctypes.POINTER(_libraries.VokxSchema)).contents
        self.name = table.name.decode("ascii")
        self.type, self.version = table.type, table.version
        self.fields = _fields_of(table.fields, table.field_count)
        self.groups = [Group(g.name.decode("ascii"), g.phrase, g.flags, g.max,
                             _fields_of(g.fields, g.field_count))
                       for g in (table.groups[i] for i in range(table.group_count))]
        self._implementation = _implementation.current
        codec = self._implementation.Codec(self)
        self._encode, self._decode = codec.encode, codec.decode

    @classmethod
    def load(cls, path: str) -> Schema:
        with open(path, "rb") as file:
            return cls(file.read())

    @classmethod
    def from_dict(cls, d: Any) -> Schema:
        try:
            text = json.dumps(d, ensure_ascii=True, allow_nan=False)
        except (TypeError, ValueError) as error:
            raise SchemaError("", f"not JSON: {error}") from None
        return cls(text.encode("ascii"))

    def encode(self, obj: Any) -> bytes:
        """The block of one record: obj is a mapping of field names (and group
        names) to values, or a dataclass instance.  Raises RecordError, with
        the path and words of `vok pack --schema --json`: a key that is no
        field of its level, a repeated field or group given no list or
        tuple, an occurrence that is no mapping or dataclass instance."""
        return self._encode(obj)

    def decode(self, data: Bytes, cls: Optional[type] = None, *,
               allow_trailing: bool = False, meta: bool = False) -> Any:
        """One record: a dict (field names to values, groups to lists of
        dicts), or, given a dataclass, an instance of it (groups as its
        nested dataclasses, found from the type hints) built through its
        __init__.  With meta=True, the pair (record, RecordMeta).  Raises
        RecordError.

        Bytes after the block raise RecordError INVALID_STREAM (offset: the
        block's length) unless allow_trailing is true.  Into a dataclass: an
        absent field takes the class's default where it has one (None or []
        otherwise); a class field the schema lacks keeps its default, and
        init=False fields are left to the class; a schema field the class
        lacks raises RecordError naming it once a record holds a value for
        it, as does a group whose type hint names no dataclass."""
        if not meta:
            return self._decode(data, cls, allow_trailing, DECODE_PLAIN)
        record, status, unknown = self._decode(data, cls, allow_trailing, DECODE_META)
        version = self._implementation.inspect(data).version
        return record, RecordMeta(version, Status(status), unknown)

    def decode_with_version(self, data: Bytes, cls: Optional[type] = None, *,
                            allow_trailing: bool = False) -> tuple[Any, Status]:
        """decode's record, and what its block's version is to the schema's:
        Status.OK, OLDER_VERSION or NEWER_VERSION (each is read)."""
        record, status = self._decode(data, cls, allow_trailing, DECODE_STATUS)
        return record, Status(status)

    def records(self, source: Union[Bytes, BinaryIO], cls: Optional[type] = None) -> Iterator[Any]:
        """Each record of blocks stored back to back, in bytes or a binary
        file.  A refusal is a RecordError whose block is where the refused
        block starts in source and offset where in it the fault lies; a
        block that does not frame is refused so too, with its status
        (INVALID_STREAM, or NEED_MORE for one cut short), block and offset
        both its start."""
        start = 0
        decode = self._decode
        iterator = self._implementation.blocks(source)
        while True:
            try:
                block = next(iterator)
            except StopIteration:
                return
            except RecordError:
                raise
            except VokError as error:
                refusal = RecordError(error.status, "", error.text, error.offset, error.offset)
                raise refusal from None
            try:
                yield decode(block, cls, False, DECODE_PLAIN)
            except RecordError as error:
                error.block = start
                raise
            start += len(block)


class _Document:
    """Owns a parsed schema document; the codecs keep it alive too."""

    def __init__(self, document: ctypes.c_void_p) -> None:
        self._document = document

    def __del__(self) -> None:
        if getattr(self, "_document", None):
            _libraries.vokxSchemaFree(self._document)
            self._document = None


def trailing_refusal(raw: Bytes) -> Optional[RecordError]:
    """The refusal of bytes after the block, if there are any."""
    if len(raw) >= 4:
        length = int.from_bytes(raw[:4], "big")
        if length < len(raw):
            return RecordError(Status.INVALID_STREAM, "", "bytes after the block", length)
    return None


def as_mapping(obj: Any, path: str, refusal: str, known: Any) -> Mapping[str, Any]:
    """A record or occurrence as a mapping.  Of a dataclass instance, a field
    whose name is not in known (the level's names) is left out when it is
    init=False or holds its default: only a value that would be lost is
    refused as no field of the schema."""
    if dataclasses.is_dataclass(obj) and not isinstance(obj, type):
        return {f.name: getattr(obj, f.name) for f in dataclasses.fields(obj)
                if f.name in known or (f.init and not _holds_default(obj, f))}
    if isinstance(obj, Mapping):
        return obj
    raise RecordError(Status.WRONG_TYPE, path, refusal)


def _holds_default(obj: Any, f: dataclasses.Field) -> bool:
    value = getattr(obj, f.name)
    if f.default is not dataclasses.MISSING:
        return value is f.default or value == f.default
    if f.default_factory is not dataclasses.MISSING:
        return value == f.default_factory()
    return False


def refuse_unknown(values: Mapping[str, Any], fields: list[Field], groups: list[Group],
                   prefix: str) -> None:
    """RecordError BAD_FIELD naming the first key (in sorted order) that is
    no field or group of the level."""
    unknown = set(values) - {f.name for f in fields} - {g.name for g in groups}
    if unknown:
        raise RecordError(Status.BAD_FIELD, prefix + sorted(unknown, key=str)[0],
                          "not a field of the schema")


EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)
MILLISECOND = datetime.timedelta(milliseconds=1)
# The instants a datetime holds: years 1 to 9999, as JSON writes as text.
FIRST_DATETIME, LAST_DATETIME = -62135596800000, 253402300799999


def float_bits(fmt: str, value: float) -> Optional[bytes]:
    """The bits of value in a float format; None where it overflows it."""
    try:
        return struct.pack(fmt, value)
    except (OverflowError, struct.error):  # too large for the format, or for any float
        return None


def python_value(kind: int, value: Any, names: dict[int, str]) -> Any:
    """A value of the engine (vokxValue) as Python gives it."""
    if kind == FLAG:
        return value.unsigned64 != 0
    if kind in (SIGNED, SIGNED64):
        return value.signed64
    if kind == FLOAT32:
        return value.float32
    if kind == FLOAT64:
        return value.float64
    if kind == ENUM:
        return names.get(value.unsigned64, value.unsigned64)
    if kind == TIMESTAMP:
        ms = value.signed64
        if FIRST_DATETIME <= ms <= LAST_DATETIME:
            return EPOCH + ms * MILLISECOND
        return ms  # outside datetime's years: the milliseconds, as JSON writes them
    return value.unsigned64  # unsigned, unsigned64, safe


class ClassField(NamedTuple):
    name: str
    has_default: bool
    hint: Any  # the resolved type hint, or the exception resolving it raised
    keyword_only: bool  # may be given only by name (kw_only, Python 3.10 on)


_CLASSES: dict[type, tuple[list[ClassField], frozenset[str]]] = {}


def dataclass_fields(cls: type) -> tuple[list[ClassField], frozenset[str]]:
    """A dataclass's init fields (name, whether it has a default, its type
    hint) and the names of all its fields; looked up once per class."""
    known = _CLASSES.get(cls)
    if known is None:
        if not dataclasses.is_dataclass(cls):
            raise TypeError(f"{getattr(cls, '__name__', cls)!s} is not a dataclass")
        every = dataclasses.fields(cls)
        known = ([ClassField(f.name, f.default is not dataclasses.MISSING
                             or f.default_factory is not dataclasses.MISSING, _hint(cls, f),
                             getattr(f, "kw_only", False) is True)
                  for f in every if f.init], frozenset(f.name for f in every))
        _CLASSES[cls] = known
    return known


def _hint(cls: type, f: dataclasses.Field) -> Any:
    """A field's type hint, resolved as typing.get_type_hints would; the
    exception if it cannot be (it matters only for a group's field)."""
    hint = f.type
    if isinstance(hint, str):
        module = sys.modules.get(cls.__module__)
        try:
            hint = eval(hint, vars(module) if module else {}, dict(vars(cls)))  # noqa: S307
        except Exception as error:  # noqa: BLE001 (any failure is a wrong hint)
            return error
    return hint


def hint_text(hint: Any) -> str:
    return f"cannot resolve it: {hint}" if isinstance(hint, Exception) else repr(hint)


def dataclass_in(hint: Any) -> Optional[type]:
    """The dataclass a hint names, directly, in a list or in an Optional."""
    if isinstance(hint, type) and dataclasses.is_dataclass(hint):
        return hint
    for argument in typing.get_args(hint):
        found = dataclass_in(argument)
        if found is not None:
            return found
    return None
