"""Records through ctypes: the engine's reader and writer called field by
field from Python.  The fallback where the compiled extension is not built,
held to the same shared vectors and tests as the extension."""

from __future__ import annotations

import ctypes
import datetime
import struct
from typing import Any, Mapping

from . import _libraries
from ._blocks import Bytes, as_block
from ._codes import Status
from ._schema import (DECODE_META, DECODE_PLAIN, ENUM, FLAG, FLOAT32, FLOAT64, GROUP_BEGINS,
                      PASSED_OVER, SAFE, SIGNED, SIGNED64, STRING, TIMESTAMP, UNSIGNED,
                      UNSIGNED64, UTF8, EPOCH, MILLISECOND, NO_DEFAULT, Field, Group,
                      RecordError, as_mapping, dataclass_fields, dataclass_in, hint_text,
                      python_value, refuse_unknown, trailing_refusal)
from ._writer import Writer, as_bytes
from ._reader import item_of


class Codec:
    """Encodes and decodes the records of one schema."""

    def __init__(self, schema: Any) -> None:
        self._schema_ref = schema._schema_ref
        self.type, self.version = schema.type, schema.version
        self.fields, self.groups = schema.fields, schema.groups
        self._names = {f.name for f in self.fields} | {g.name for g in self.groups}

    def encode(self, obj: Any) -> bytes:
        values = as_mapping(obj, "", "a record must be a mapping or a dataclass instance",
                            self._names)
        refuse_unknown(values, self.fields, self.groups, "")
        writer = _libraries.VokxRecordWriter()
        error = _libraries.VokxRecordError()
        with Writer(self.type, self.version) as stream:
            refs = (ctypes.addressof(writer), ctypes.addressof(error))
            _libraries.vokxRecordBegin(refs[0], self._schema_ref, stream._ref, refs[1])
            _put_level(refs, error, self.fields, values, "")
            for g, group in enumerate(self.groups):
                occurrences = values.get(group.name)
                if occurrences is None:
                    continue
                if group.repeated and not isinstance(occurrences, (list, tuple)):
                    raise RecordError(Status.WRONG_TYPE, group.name, "must be an array of objects")
                for n, occurrence in enumerate(occurrences if group.repeated else [occurrences]):
                    where = f"{group.name}[{n}]"
                    level = as_mapping(occurrence, where, "must be an object",
                                       {f.name for f in group.fields})
                    refuse_unknown(level, group.fields, [], where + ".")
                    _check(_libraries.vokxRecordGroup(refs[0], g, refs[1]), error)
                    _put_level(refs, error, group.fields, level, where + ".")
            _check(_libraries.vokxRecordEnd(*refs), error)
            return stream.finish()

    def decode(self, data: Bytes, cls: Any, allow_trailing: bool, want: int) -> Any:
        """The record; with want DECODE_STATUS also the version's status,
        with DECODE_META also the items passed over (as vok32.Item)."""
        raw = as_block(data)
        if not allow_trailing:
            refusal = trailing_refusal(raw)
            if refusal is not None:
                raise refusal
        reader = _libraries.VokxRecordReader()
        error = _libraries.VokxRecordError()
        field = _libraries.VokxRecordField()
        refs = (ctypes.addressof(reader), ctypes.addressof(field), ctypes.addressof(error))
        opened = _libraries.vokxRecordOpen(refs[0], self._schema_ref, raw, len(raw), refs[2])
        if opened not in (Status.OK, Status.OLDER_VERSION, Status.NEWER_VERSION):
            _check(opened, error)
        top: dict[str, Any] = _empty_level(self.fields)
        groups: list[list[dict[str, Any]]] = [[] for _ in self.groups]
        unknown = []
        while (status := _libraries.vokxRecordNext(*refs)) == Status.OK:
            if field.field == PASSED_OVER:
                if want == DECODE_META:
                    unknown.append(item_of(field.item))
                continue
            if field.field == GROUP_BEGINS:
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
        record = top if cls is None else _build(cls, top, self.groups, "")
        if want == DECODE_PLAIN:
            return record
        return (record, opened) if want != DECODE_META else (record, opened, unknown)


def _put_level(refs: tuple[int, int], error: Any, fields: list[Field],
               values: Mapping[str, Any], prefix: str) -> None:
    item = _libraries.VokxItem()
    for i, field in enumerate(fields):
        value = values.get(field.name)
        if value is None:
            continue
        if field.repeated and not isinstance(value, (list, tuple)):
            raise RecordError(Status.WRONG_TYPE, prefix + field.name, "must be an array")
        if field.holds_default(value):
            continue
        for one in (value if field.repeated else [value]):
            if field.kind >= UNSIGNED64:
                number = _engine_value(field, one, prefix + field.name)
                _check(_libraries.vokxRecordPutValue(refs[0], i, ctypes.addressof(number), refs[1]),
                       error)
                continue
            keep = _set_item(item, field, one, prefix + field.name)  # noqa: F841 (alive for the call)
            _check(_libraries.vokxRecordPut(refs[0], i, ctypes.addressof(item), refs[1]), error)


def _check(status: int, error: Any) -> None:
    if status:
        raise RecordError(status, error.path.decode("utf-8", "replace"),
                          error.message.decode("utf-8", "replace"), error.offset)


def _empty_level(fields: list[Field]) -> dict[str, Any]:
    return {f.name: [] if f.repeated else None if f.default is NO_DEFAULT else f.default
            for f in fields}


def _value_of(item: Any, field: Field) -> Any:
    kind = field.kind
    if kind >= UNSIGNED64:
        value = _libraries.VokxValue()
        _libraries.vokxFieldValue(field.spec, ctypes.addressof(item), ctypes.addressof(value))
        return python_value(kind, value, field.names)
    if kind == FLAG:
        return item.value != 0
    if kind == SIGNED:
        return item.signed_value
    if kind in (STRING, UTF8):
        content = ctypes.string_at(item.text, item.length) if item.length else b""
        return content if kind == STRING else content.decode("utf-8", "surrogateescape")
    return item.value  # unsigned, or a safe string's length


_WORDS = {
    UNSIGNED64: (0, 2**64 - 1, "must be an integer from 0 to 18446744073709551615"),
    SIGNED64: (-2**63, 2**63 - 1,
               "must be an integer from -9223372036854775808 to 9223372036854775807"),
    TIMESTAMP: (-2**63, 2**63 - 1, "must be RFC 3339 text such as \"2026-12-06T23:24:49.123Z\" "
                                   "or an integer of milliseconds"),
    ENUM: (0, 2**32 - 1, "must be a name of the enumeration or an integer from 0 to 4294967295"),
}


def _engine_value(field: Field, value: Any, path: str) -> Any:
    """A Python value as the engine's vokxValue for a field of a 64-bit,
    float, enum or timestamp kind; the tool's words where it refuses."""
    out = _libraries.VokxValue()
    kind = field.kind
    if kind in (FLOAT32, FLOAT64):
        bits = ">f" if kind == FLOAT32 else ">d"
        words = ("must be a number, \"NaN\", \"Infinity\", \"-Infinity\" or {\"bits\": \"<"
                 + ("8" if kind == FLOAT32 else "16") + " hex digits>\"}")
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise RecordError(Status.WRONG_TYPE, path, words)
        try:
            packed = struct.pack(bits, value)
        except (OverflowError, struct.error):  # too large for the format, or for any float
            packed = b""
        if not packed or (value != 0 and struct.unpack(bits, packed)[0] == 0):
            raise RecordError(Status.BAD_FIELD, path,
                              f"is out of float{32 if kind == FLOAT32 else 64}'s range")
        # The bits, stored where the union's member of the kind lies.
        (ctypes.c_uint32 if kind == FLOAT32 else ctypes.c_uint64).from_buffer(out).value = \
            int.from_bytes(packed, "big")
        return out
    low, high, words = _WORDS[kind]
    if kind == TIMESTAMP and isinstance(value, datetime.datetime):
        if value.tzinfo is None or value.utcoffset() is None:
            raise RecordError(Status.WRONG_TYPE, path, "must be a timezone-aware datetime "
                              "or an integer of milliseconds; a naive datetime names no instant")
        delta = value - EPOCH
        if delta % MILLISECOND:
            raise RecordError(Status.BAD_FIELD, path, "has digits below the millisecond")
        value = delta // MILLISECOND
    elif kind == ENUM and isinstance(value, str):
        numbers = {name: number for number, name in field.names.items()}
        if value not in numbers:
            raise RecordError(Status.WRONG_TYPE, path, words)
        value = numbers[value]
    if isinstance(value, bool) or not isinstance(value, int):
        raise RecordError(Status.WRONG_TYPE, path, words)
    if not low <= value <= high:
        raise RecordError(Status.BAD_FIELD, path, words)
    if kind in (SIGNED64, TIMESTAMP):
        out.signed64 = value
    else:
        out.unsigned64 = value
    return out


_RANGES = {UNSIGNED: (0, 0xFFFFFFFF), SAFE: (0, 0xFFFFFFFF), SIGNED: (-2**31, 2**31 - 1)}


def _set_item(item: Any, field: Field, value: Any, path: str) -> Any:
    """Fills item from a Python value for the field; returns what its text
    points into, to be kept alive during the call."""
    if field.kind == FLAG:  # the words of `vok pack --schema --json`
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
        if field.kind == SIGNED:
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


def _build(cls: type, values: dict[str, Any], groups: list[Group], prefix: str) -> Any:
    """values (one level of a decoded record) as an instance of cls."""
    init, names = dataclass_fields(cls)
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
            inner = dataclass_in(f.hint)
            if inner is None:
                raise RecordError(Status.WRONG_TYPE, prefix + f.name,
                                  f"the type hint of {cls.__name__}.{f.name} names no "
                                  f"dataclass for the group ({hint_text(f.hint)})")
            build = lambda v, n: _build(inner, v, [], f"{group.name}[{n}].")  # noqa: E731
            value = ([build(v, n) for n, v in enumerate(value)] if group.repeated
                     else build(value, 0))
        arguments[f.name] = value
    return cls(**arguments)
