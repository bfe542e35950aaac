"""Records by schema through the engine, compared with the vok tool."""
import copy
import dataclasses
import datetime
import functools
import json
import math
import os
import struct
from typing import Optional

import pytest

import vok32

HERE = os.path.dirname(__file__)
V2 = os.path.join(HERE, "..", "..", "examples", "order.schema.json")
V1 = os.path.join(HERE, "..", "..", "tests", "tool", "order_v1.schema.json")
ORDER = {"id": 1, "customer": "Grüße", "amount": -5, "tags": [b"a", b"\x00\xff"], "card": 16,
         "paid": True, "placed": datetime.datetime(1969, 7, 20, 20, 17, 40, 123000,
                                                   tzinfo=datetime.timezone.utc),
         "status": "SHIPPED", "lines": [{"sku": b"X1", "quantity": 2}]}


@dataclasses.dataclass
class Line:
    sku: bytes
    quantity: int


@dataclasses.dataclass
class Order:
    id: int
    customer: str
    amount: Optional[int]
    tags: list[bytes]
    card: Optional[int]
    paid: bool
    placed: Optional[datetime.datetime]
    status: Optional[str]
    lines: list[Line]


def test_records_round_trip_through_dicts_and_dataclasses():
    schema = vok32.Schema.load(V2)
    block = schema.encode(ORDER)
    assert schema.decode(block) == ORDER
    order = schema.decode(block, Order)
    assert order.lines == [Line(b"X1", 2)] and schema.encode(order) == block
    assert list(schema.records(block + block)) == [ORDER, ORDER]  # the bytes: shared vectors
    with pytest.raises(vok32.SchemaError, match=r"^fields\[0\]\.name: .* is not an identifier"):
        vok32.Schema.from_dict({"name": "X", "type": 1, "version": 0,  # a lone surrogate
                                "fields": [{"mark": 1, "name": "\udc80", "kind": "flag"}]})


with open(os.path.join(HERE, "..", "..", "tests", "schema_vectors.json"), encoding="utf-8") as file:
    SCHEMA_VECTORS = json.load(file)


@pytest.mark.parametrize("case", SCHEMA_VECTORS["refusals"], ids=range(len(SCHEMA_VECTORS["refusals"])))
def test_schema_files_are_refused_where_vok32x_refuses_them(case):
    schema = copy.deepcopy(SCHEMA_VECTORS["base"])
    for pointer, value in case.get("set", {}).items():
        *parents, last = pointer.split("/")[1:]
        node = functools.reduce(lambda n, key: n[int(key) if isinstance(n, list) else key], parents, schema)
        node[int(last) if isinstance(node, list) else last] = value
    text = (bytes.fromhex(case["hex"]) if "hex" in case
            else case.get("text", json.dumps(schema)).encode("utf-8", "surrogatepass"))
    with pytest.raises(vok32.SchemaError) as raised:
        vok32.Schema(text + case.get("repeat", "").encode() * case.get("times", 0))
    assert raised.value.path == case["path"] and case["words"] in raised.value.message


S = vok32.Status
VECTORS = {"write": [], "read": []}  # the shared cases, and those the model of records made
for name in ("records_vectors.json", os.path.join("model", "cases.json")):
    with open(os.path.join(HERE, "..", "..", "tests", name), encoding="utf-8") as file:
        for key, cases in json.load(file).items():
            VECTORS.get(key, []).extend(cases)


def python_values(fields, groups, record, fill):
    """A vector's record, written as `vok dump --schema --json` prints it, as
    Python values; fill adds what decode gives for absent fields.  Values of
    the wrong shape pass through, for the writers to refuse."""
    def value(field, v):
        if isinstance(v, list) and field.repeated:
            return [value(field, x) for x in v]
        if field.kind in (18, 19):  # floats: their JSON words, or their bits
            width = ">f" if field.kind == 18 else ">d"
            words = {"NaN": math.nan, "Infinity": math.inf, "-Infinity": -math.inf}
            if isinstance(v, dict) and len(v.get("bits", "")) == struct.calcsize(width) * 2:
                return struct.unpack(width, bytes.fromhex(v["bits"]))[0]
            if isinstance(v, (int, float)) and not isinstance(v, bool):  # as the type holds it
                return struct.unpack(width, struct.pack(width, v))[0] if abs(v) < 1e38 else v
            return words.get(v, v) if isinstance(v, str) else v
        if field.kind == 21 and isinstance(v, str):  # a timestamp as RFC 3339
            try:
                return datetime.datetime.fromisoformat(v)
            except ValueError:
                return v
        if field.kind == 21 and isinstance(v, int) and -62135596800000 <= v <= 253402300799999:
            return datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc) + \
                datetime.timedelta(milliseconds=v)
        if field.kind not in (4, 5) or not isinstance(v, (str, dict)):
            return v
        raw = bytes.fromhex(v["hex"]) if isinstance(v, dict) else v.encode()
        return raw if field.kind == 4 else raw.decode("utf-8", "surrogateescape")

    def level(fields, v):
        if not isinstance(v, dict):
            return v
        out = {**({f.name: [] if f.repeated else None for f in fields} if fill else {}), **v}
        return {k: value(f, out[k]) if (f := next((f for f in fields if f.name == k), None))
                else out[k] for k in out}

    out = level(fields, record)
    for g in groups:
        occurrences = out.get(g.name, [] if g.repeated else None)
        out[g.name] = ([level(g.fields, o) for o in occurrences]
                       if isinstance(occurrences, list) else level(g.fields, occurrences))
    return out


def bits_of(values):
    """Floats as their bits, so that NaNs and the zeros compare as stored."""
    if isinstance(values, float):
        return ("float", struct.pack(">d", values))
    if isinstance(values, dict):
        return {k: bits_of(v) for k, v in values.items()}
    return [bits_of(v) for v in values] if isinstance(values, list) else values


@pytest.mark.parametrize("case", VECTORS["write"], ids=range(len(VECTORS["write"])))
def test_shared_vectors_written(case):
    schema = vok32.Schema.load(os.path.join(HERE, "..", "..", case["schema"]))
    record = python_values(schema.fields, schema.groups, case["record"], False)
    if "bytes" in case:
        assert schema.encode(record).hex() == case["bytes"]
        return
    with pytest.raises(vok32.RecordError) as raised:
        schema.encode(record)
    refusal = case["refusal"]
    assert (raised.value.name, raised.value.path) == (refusal["status"], refusal["path"])
    assert raised.value.message == refusal.get("words", raised.value.message)


@pytest.mark.parametrize("case", VECTORS["read"], ids=range(len(VECTORS["read"])))
def test_shared_vectors_read(case):
    schema = vok32.Schema.load(os.path.join(HERE, "..", "..", case["schema"]))
    if "record" in case:
        record, version = schema.decode_with_version(bytes.fromhex(case["bytes"]))
        expected = python_values(schema.fields, schema.groups, case["record"], True)
        assert bits_of(record) == bits_of(expected)
        assert "VOK_" + version.name == case.get("version", "VOK_OK")
        return
    with pytest.raises(vok32.RecordError) as raised:
        schema.decode(bytes.fromhex(case["bytes"]))
    refusal = case["refusal"]
    assert (raised.value.name, raised.value.path, raised.value.offset) == (
        refusal["status"], refusal["path"], refusal["offset"])


def test_bytes_after_the_block_are_refused_unless_allowed():
    schema = vok32.Schema.load(V2)
    block = schema.encode(ORDER)
    for trailing in (block, b"\xff"):
        with pytest.raises(vok32.RecordError) as raised:
            schema.decode(block + trailing)
        assert (raised.value.status, raised.value.offset) == (S.INVALID_STREAM, len(block))
        assert schema.decode(block + trailing, allow_trailing=True) == ORDER
    other = vok32.Schema.from_dict({"name": "O", "type": 7, "version": 2, "fields": [
        {"mark": 1, "name": "id", "kind": "string"}]}).encode({"id": b"x"})
    with pytest.raises(vok32.RecordError) as raised:  # the second block breaks the schema
        list(schema.records(block + other + block))
    assert (raised.value.status, raised.value.path, raised.value.block) == (
        S.WRONG_TYPE, "id", len(block))


@dataclasses.dataclass
class Note:
    sku: bytes
    quantity: int = 3  # absent from a record: its default stays
    priority: int = 5  # not in the schema: its default stays
    seen: int = dataclasses.field(default=0, init=False)  # the class's own


@dataclasses.dataclass
class Mislabelled:
    notes: list["NoSuchClass"]  # noqa: F821


def test_dataclasses_keep_their_defaults_and_name_what_they_cannot_hold():
    schema = vok32.Schema.from_dict({"name": "N", "type": 1, "version": 0, "groups": [
        {"phrase": 1, "name": "notes", "repeated": True, "max": 3, "fields": [
            {"mark": 1, "name": "sku", "kind": "string"},
            {"mark": 2, "name": "quantity", "kind": "unsigned", "optional": True},
            {"mark": 3, "name": "extra", "kind": "flag", "optional": True}]}]})

    @dataclasses.dataclass
    class Notes:
        notes: list[Note]

    assert schema.decode(schema.encode({"notes": [{"sku": b"a"}]}), Notes) == Notes([Note(b"a")])
    with pytest.raises(vok32.RecordError) as raised:  # extra has nowhere to go
        schema.decode(schema.encode({"notes": [{"sku": b"a"}, {"sku": b"b", "extra": True}]}), Notes)
    assert (raised.value.status, raised.value.path) == (S.BAD_FIELD, "notes[1].extra")
    with pytest.raises(vok32.RecordError) as raised:  # a priority that would be lost
        schema.encode(Notes([Note(b"a", priority=7)]))
    assert raised.value.path == "notes[0].priority"
    with pytest.raises(vok32.RecordError) as raised:
        schema.decode(schema.encode({"notes": [{"sku": b"a"}]}), Mislabelled)
    assert (raised.value.status, raised.value.path) == (S.WRONG_TYPE, "notes")
