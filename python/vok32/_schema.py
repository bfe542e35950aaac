"""Records: a schema file naming a stream type's fields, and records encoded,
decoded and checked by it through vok32x's records engine (docs/schema.md).

Schema files are read by vok32x (vokxSchemaParse), and records encoded and
decoded through its engine, so Python, the tool and generated code follow
one set of rules.
"""

from __future__ import annotations

import ctypes
import dataclasses
import datetime
import json
import struct
import sys
import typing
from typing import Any, BinaryIO, Iterator, Mapping, Optional, Union

from . import _native
from ._blocks import Bytes, as_block, blocks
from ._codes import Status, VokError
from ._writer import Writer, as_bytes

_FLAG, _UNSIGNED, _SIGNED, _STRING, _UTF8, _SAFE = range(1, 7)
_UNSIGNED64, _SIGNED64, _FLOAT32, _FLOAT64, _ENUM, _TIMESTAMP = range(16, 22)
_OPTIONAL, _REPEATED = 1, 2
_GROUP_BEGINS, _PASSED_OVER = -1, -2


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


_NO_DEFAULT: Any = object()


class _Field(typing.NamedTuple):
    name: str
    mark: int
    kind: int
    flags: int
    max: int
    spec: Any = None  # the engine's vokxFieldSpec, for vokxFieldValue
    names: dict[int, str] = {}  # an enum's numbers to names
    default: Any = _NO_DEFAULT  # as decode gives it

    @property
    def repeated(self) -> bool:
        return bool(self.flags & _REPEATED)

    def holds_default(self, value: Any) -> bool:
        if self.default is _NO_DEFAULT:
            return False
        if self.kind in (_FLOAT32, _FLOAT64):
            fmt = ">f" if self.kind == _FLOAT32 else ">d"
            return isinstance(value, (int, float)) and not isinstance(value, bool) and \
                _float_bits(fmt, value) == _float_bits(fmt, self.default)
        if self.kind == _ENUM:
            numbers = {name: number for number, name in self.names.items()}
            return numbers.get(value, value) == numbers.get(self.default, self.default)
        return type(value) is type(self.default) and value == self.default


class _Group(typing.NamedTuple):
    name: str
    phrase: int
    flags: int
    max: int
    fields: list[_Field]

    @property
    def repeated(self) -> bool:
        return bool(self.flags & _REPEATED)


def _fields_of(array: Any, count: int) -> list[_Field]:
    fields = []
    for i in range(count):
        f = array[i]
        names: dict[int, str] = {}
        default = _NO_DEFAULT
        if f.detail:
            d = f.detail.contents
            names = {d.values[k].number: d.values[k].name.decode("ascii")
                     for k in range(d.value_count)}
            if d.has_default:
                if f.kind in (_STRING, _UTF8):
                    raw = ctypes.string_at(d.default_text, d.default_length) if d.default_length else b""
                    default = raw if f.kind == _STRING else raw.decode("utf-8", "surrogateescape")
                else:
                    default = _python_value(f.kind, d.default_value, names)
        fields.append(_Field(f.name.decode("ascii"), f.mark, f.kind, f.flags, f.max,
                             ctypes.pointer(f), names, default))
    return fields


class Schema:
    """A checked schema.  Schema.load(path) reads a schema file,
    Schema.from_dict(d) takes the same JSON as Python objects; both raise
    SchemaError naming the fault's place.  The file's rules are vok32x's
    (vokxSchemaParse), the ones the vok tool follows."""

    def __init__(self, text: bytes) -> None:
        document = ctypes.c_void_p()
        error = _native.VokxRecordError()
        status = _native.vokxSchemaParse(text, len(text), ctypes.byref(document),
                                         ctypes.addressof(error))
        if status:
            raise SchemaError(error.path.decode("utf-8", "replace"),
                              error.message.decode("utf-8", "replace"))
        self._document = document
        self._schema_ref = _native.vokxSchemaOf(document)
        table = ctypes.cast(self._schema_ref, ctypes.POINTER(_native.VokxSchema)).contents
        self.name = table.name.decode("ascii")
        self.type, self.version = table.type, table.version
        self.fields = _fields_of(table.fields, table.field_count)
        self.groups = [_Group(g.name.decode("ascii"), g.phrase, g.flags, g.max,
                              _fields_of(g.fields, g.field_count))
                       for g in (table.groups[i] for i in range(table.group_count))]
        self._dataclasses = _Dataclasses()
        self._names = {f.name for f in self.fields} | {g.name for g in self.groups}

    def __del__(self) -> None:
        if getattr(self, "_document", None):
            _native.vokxSchemaFree(self._document)
            self._document = None

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

    # ---------------------------------------------------------------- encoding

    def encode(self, obj: Any) -> bytes:
        """The block of one record: obj is a mapping of field names (and group
        names) to values, or a dataclass instance.  Raises RecordError, with
        the path and words of `vok pack --schema --json`: a key that is no
        field of its level, a repeated field or group given no list or
        tuple, an occurrence that is no mapping or dataclass instance."""
        values = _as_mapping(obj, "", "a record must be a mapping or a dataclass instance",
                             self._names)
        _refuse_unknown(values, self.fields, self.groups, "")
        writer = _native.VokxRecordWriter()
        error = _native.VokxRecordError()
        with Writer(self.type, self.version) as stream:
            refs = (ctypes.addressof(writer), ctypes.addressof(error))
            _native.vokxRecordBegin(refs[0], self._schema_ref, stream._ref, refs[1])
            self._put_level(refs, error, self.fields, values, "")
            for g, group in enumerate(self.groups):
                occurrences = values.get(group.name)
                if occurrences is None:
                    continue
                if group.repeated and not isinstance(occurrences, (list, tuple)):
                    raise RecordError(Status.WRONG_TYPE, group.name, "must be an array of objects")
                for n, occurrence in enumerate(occurrences if group.repeated else [occurrences]):
                    where = f"{group.name}[{n}]"
                    level = _as_mapping(occurrence, where, "must be an object",
                                        {f.name for f in group.fields})
                    _refuse_unknown(level, group.fields, [], where + ".")
                    _check(_native.vokxRecordGroup(refs[0], g, refs[1]), error)
                    self._put_level(refs, error, group.fields, level, where + ".")
            _check(_native.vokxRecordEnd(*refs), error)
            return stream.finish()

    def _put_level(self, refs: tuple[int, int], error: Any, fields: list[_Field],
                   values: Mapping[str, Any], prefix: str) -> None:
        item = _native.VokxItem()
        for i, field in enumerate(fields):
            value = values.get(field.name)
            if value is None:
                continue
            if field.repeated and not isinstance(value, (list, tuple)):
                raise RecordError(Status.WRONG_TYPE, prefix + field.name, "must be an array")
            if field.holds_default(value):
                continue
            for one in (value if field.repeated else [value]):
                if field.kind >= _UNSIGNED64:
                    number = _engine_value(field, one, prefix + field.name)
                    _check(_native.vokxRecordPutValue(refs[0], i, ctypes.addressof(number), refs[1]),
                           error)
                    continue
                keep = _set_item(item, field, one, prefix + field.name)  # noqa: F841 (alive for the call)
                _check(_native.vokxRecordPut(refs[0], i, ctypes.addressof(item), refs[1]), error)

    # ---------------------------------------------------------------- decoding

    def decode(self, data: Bytes, cls: Optional[type] = None, *,
               allow_trailing: bool = False) -> Any:
        """The record of decode_with_version, without its version's status."""
        return self.decode_with_version(data, cls, allow_trailing=allow_trailing)[0]

    def decode_with_version(self, data: Bytes, cls: Optional[type] = None, *,
                            allow_trailing: bool = False) -> tuple[Any, Status]:
        """One record, and what its block's version is to the schema's:
        Status.OK, OLDER_VERSION or NEWER_VERSION (each is read).  The record
        is a dict (field names to values, groups to lists of
        dicts), or, given a dataclass, an instance of it (groups as its
        nested dataclasses, found from the type hints).  Raises RecordError.

        Bytes after the block raise RecordError INVALID_STREAM (offset: the
        block's length) unless allow_trailing is true.  Into a dataclass: an
        absent field takes the class's default where it has one (None or []
        otherwise); a class field the schema lacks keeps its default, and
        init=False fields are left to the class; a schema field the class
        lacks raises RecordError naming it once a record holds a value for
        it, as does a group whose type hint names no dataclass."""
        raw = as_block(data)
        if not allow_trailing and len(raw) >= 4 and int.from_bytes(raw[:4], "big") < len(raw):
            length = int.from_bytes(raw[:4], "big")
            raise RecordError(Status.INVALID_STREAM, "", "bytes after the block", length)
        reader = _native.VokxRecordReader()
        error = _native.VokxRecordError()
        field = _native.VokxRecordField()
        refs = (ctypes.addressof(reader), ctypes.addressof(field), ctypes.addressof(error))
        opened = _native.vokxRecordOpen(refs[0], self._schema_ref, raw, len(raw), refs[2])
        if opened not in (Status.OK, Status.OLDER_VERSION, Status.NEWER_VERSION):
            _check(opened, error)
        top: dict[str, Any] = _empty_level(self.fields)
        groups: list[list[dict[str, Any]]] = [[] for _ in self.groups]
        while (status := _native.vokxRecordNext(*refs)) == Status.OK:
            if field.field == _PASSED_OVER:
                continue
            if field.field == _GROUP_BEGINS:
                groups[field.group].append(_empty_level(self.groups[field.group].fields))
                continue
            level = top if field.group < 0 else groups[field.group][field.occurrence]
            spec = (self.fields if field.group < 0 else self.groups[field.group].fields)[field.field]
            value = _value_of(field.item, spec)
            if spec.repeated:
                level[spec.name].append(value)
            else:
                level[spec.name] = value
        if status != Status.END_OF_STREAM:
            _check(status, error)
        for group, occurrences in zip(self.groups, groups):
            top[group.name] = occurrences if group.repeated else (occurrences[0] if occurrences else None)
        if cls is None:
            return top, Status(opened)
        return self._dataclasses.build(cls, top, self.fields, self.groups, ""), Status(opened)

    def records(self, source: Union[Bytes, BinaryIO], cls: Optional[type] = None) -> Iterator[Any]:
        """Each record of blocks stored back to back, in bytes or a binary file;
        a RecordError's block is where the refused one starts."""
        start = 0
        for block in blocks(source):
            try:
                yield self.decode(block, cls)
            except RecordError as error:
                error.block = start
                raise
            start += len(block)


def _check(status: int, error: Any) -> None:
    if status:
        raise RecordError(status, error.path.decode("utf-8", "replace"),
                          error.message.decode("utf-8", "replace"), error.offset)


def _empty_level(fields: list[_Field]) -> dict[str, Any]:
    return {f.name: [] if f.repeated else None if f.default is _NO_DEFAULT else f.default
            for f in fields}


def _as_mapping(obj: Any, path: str, refusal: str, known: Any) -> Mapping[str, Any]:
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


def _refuse_unknown(values: Mapping[str, Any], fields: list[_Field], groups: list[_Group],
                    prefix: str) -> None:
    unknown = set(values) - {f.name for f in fields} - {g.name for g in groups}
    if unknown:
        raise RecordError(Status.BAD_FIELD, prefix + sorted(unknown)[0], "not a field of the schema")


def _value_of(item: Any, field: _Field) -> Any:
    kind = field.kind
    if kind >= _UNSIGNED64:
        value = _native.VokxValue()
        _native.vokxFieldValue(field.spec, ctypes.addressof(item), ctypes.addressof(value))
        return _python_value(kind, value, field.names)
    if kind == _FLAG:
        return item.value != 0
    if kind == _SIGNED:
        return item.signed_value
    if kind in (_STRING, _UTF8):
        content = ctypes.string_at(item.text, item.length) if item.length else b""
        return content if kind == _STRING else content.decode("utf-8", "surrogateescape")
    return item.value  # unsigned, or a safe string's length


_EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)
_MILLISECOND = datetime.timedelta(milliseconds=1)
# The instants a datetime holds: years 1 to 9999, as JSON writes as text.
_FIRST_DATETIME, _LAST_DATETIME = -62135596800000, 253402300799999


def _float_bits(fmt: str, value: float) -> bytes:
    return struct.pack(fmt, value)


def _python_value(kind: int, value: Any, names: dict[int, str]) -> Any:
    """A value of the engine (vokxValue) as Python gives it."""
    if kind == _FLAG:
        return value.unsigned64 != 0
    if kind in (_SIGNED, _SIGNED64):
        return value.signed64
    if kind == _FLOAT32:
        return value.float32
    if kind == _FLOAT64:
        return value.float64
    if kind == _ENUM:
        return names.get(value.unsigned64, value.unsigned64)
    if kind == _TIMESTAMP:
        ms = value.signed64
        if _FIRST_DATETIME <= ms <= _LAST_DATETIME:
            return _EPOCH + ms * _MILLISECOND
        return ms  # outside datetime's years: the milliseconds, as JSON writes them
    return value.unsigned64  # unsigned, unsigned64, safe


_WORDS = {
    _UNSIGNED64: (0, 2**64 - 1, "must be an integer from 0 to 18446744073709551615"),
    _SIGNED64: (-2**63, 2**63 - 1,
                "must be an integer from -9223372036854775808 to 9223372036854775807"),
    _TIMESTAMP: (-2**63, 2**63 - 1, "must be RFC 3339 text such as \"2026-12-06T23:24:49.123Z\" "
                                    "or an integer of milliseconds"),
    _ENUM: (0, 2**32 - 1, "must be a name of the enumeration or an integer from 0 to 4294967295"),
}


def _engine_value(field: _Field, value: Any, path: str) -> Any:
    """A Python value as the engine's vokxValue for a field of a 64-bit,
    float, enum or timestamp kind; the tool's words where it refuses."""
    out = _native.VokxValue()
    kind = field.kind
    if kind in (_FLOAT32, _FLOAT64):
        bits = ">f" if kind == _FLOAT32 else ">d"
        words = ("must be a number, \"NaN\", \"Infinity\", \"-Infinity\" or {\"bits\": \"<"
                 + ("8" if kind == _FLOAT32 else "16") + " hex digits>\"}")
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise RecordError(Status.WRONG_TYPE, path, words)
        try:
            packed = struct.pack(bits, value)
        except OverflowError:
            packed = b""
        if not packed or (value != 0 and struct.unpack(bits, packed)[0] == 0):
            raise RecordError(Status.BAD_FIELD, path,
                              f"is out of float{32 if kind == _FLOAT32 else 64}'s range")
        # The bits, stored where the union's member of the kind lies.
        (ctypes.c_uint32 if kind == _FLOAT32 else ctypes.c_uint64).from_buffer(out).value = \
            int.from_bytes(packed, "big")
        return out
    low, high, words = _WORDS[kind]
    if kind == _TIMESTAMP and isinstance(value, datetime.datetime):
        if value.tzinfo is None or value.utcoffset() is None:
            raise RecordError(Status.WRONG_TYPE, path, "must be a timezone-aware datetime "
                              "or an integer of milliseconds; a naive datetime names no instant")
        delta = value - _EPOCH
        if delta % _MILLISECOND:
            raise RecordError(Status.BAD_FIELD, path, "has digits below the millisecond")
        value = delta // _MILLISECOND
    elif kind == _ENUM and isinstance(value, str):
        numbers = {name: number for number, name in field.names.items()}
        if value not in numbers:
            raise RecordError(Status.WRONG_TYPE, path, words)
        value = numbers[value]
    if isinstance(value, bool) or not isinstance(value, int):
        raise RecordError(Status.WRONG_TYPE, path, words)
    if not low <= value <= high:
        raise RecordError(Status.BAD_FIELD, path, words)
    if kind in (_SIGNED64, _TIMESTAMP):
        out.signed64 = value
    else:
        out.unsigned64 = value
    return out


_RANGES = {_UNSIGNED: (0, 0xFFFFFFFF), _SAFE: (0, 0xFFFFFFFF), _SIGNED: (-2**31, 2**31 - 1)}


def _set_item(item: Any, field: _Field, value: Any, path: str) -> Any:
    """Fills item from a Python value for the field; returns what its text
    points into, to be kept alive during the call."""
    if field.kind == _FLAG:  # the words of `vok pack --schema --json`
        if not isinstance(value, bool):
            raise RecordError(Status.WRONG_TYPE, path, "must be true or false")
        item.value = int(value)
        return None
    if field.kind in _RANGES:
        low, high = _RANGES[field.kind]
        words = f"must be an integer from {low} to {high}"
        if isinstance(value, bool) or not isinstance(value, int):
            raise RecordError(Status.WRONG_TYPE, path, words)
        if not low <= value <= high:
            raise RecordError(Status.BAD_FIELD, path, words)
        if field.kind == _SIGNED:
            item.signed_value = value
        else:
            item.value = value
        return None
    try:
        content = as_bytes(value)
    except TypeError:
        raise RecordError(Status.WRONG_TYPE, path, f"must be str or bytes, not {type(value).__name__}") from None
    buffer = ctypes.create_string_buffer(content, len(content))
    item.text = ctypes.addressof(buffer)
    item.length = len(content)
    return buffer


class _ClassField(typing.NamedTuple):
    name: str
    has_default: bool
    hint: Any  # the resolved type hint, or the exception resolving it raised


class _Dataclasses:
    """Records into dataclasses, with each class's fields and type hints
    looked up once, not per record."""

    def __init__(self) -> None:
        self._classes: dict[type, tuple[list[_ClassField], frozenset[str]]] = {}

    def _fields_of(self, cls: type) -> tuple[list[_ClassField], frozenset[str]]:
        known = self._classes.get(cls)
        if known is None:
            if not dataclasses.is_dataclass(cls):
                raise TypeError(f"{cls.__name__} is not a dataclass")
            every = dataclasses.fields(cls)
            known = ([_ClassField(f.name, f.default is not dataclasses.MISSING
                                  or f.default_factory is not dataclasses.MISSING, _hint(cls, f))
                      for f in every if f.init], frozenset(f.name for f in every))
            self._classes[cls] = known
        return known

    def build(self, cls: type, values: dict[str, Any], fields: list[_Field],
              groups: list[_Group], prefix: str) -> Any:
        """values (one level of a decoded record) as an instance of cls."""
        init, names = self._fields_of(cls)
        for name, value in values.items():
            if name not in names and value is not None and value != []:
                raise RecordError(Status.BAD_FIELD, prefix + name,
                                  f"holds a value but {cls.__name__} has no field of that name")
        group_of = {g.name: g for g in groups}
        arguments = {}
        for f in init:
            if f.name not in values or (values[f.name] is None and f.has_default):
                if not f.has_default:
                    raise RecordError(Status.BAD_FIELD, prefix + f.name,
                                      f"is not in the schema and {cls.__name__} gives it no default")
                continue  # the class's default stands
            value = values[f.name]
            group = group_of.get(f.name)
            if group is not None and value is not None:
                inner = _dataclass_in(f.hint)
                if inner is None:
                    raise RecordError(Status.WRONG_TYPE, prefix + f.name,
                                      f"the type hint of {cls.__name__}.{f.name} names no "
                                      f"dataclass for the group ({_hint_text(f.hint)})")
                build = lambda v, n: self.build(inner, v, group.fields, [],
                                                f"{group.name}[{n}].")
                value = ([build(v, n) for n, v in enumerate(value)] if group.repeated
                         else build(value, 0))
            arguments[f.name] = value
        return cls(**arguments)


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


def _hint_text(hint: Any) -> str:
    return f"cannot resolve it: {hint}" if isinstance(hint, Exception) else repr(hint)


def _dataclass_in(hint: Any) -> Optional[type]:
    """The dataclass a hint names, directly, in a list or in an Optional."""
    if isinstance(hint, type) and dataclasses.is_dataclass(hint):
        return hint
    for argument in typing.get_args(hint):
        found = _dataclass_in(argument)
        if found is not None:
            return found
    return None
