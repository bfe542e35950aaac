"""Records by schema through the engine, compared with the vok tool."""
import dataclasses
import json
import os
import subprocess
from typing import Optional

import pytest

import vok32
from conftest import vok

HERE = os.path.dirname(__file__)
V2 = os.path.join(HERE, "..", "..", "examples", "order.schema.json")
V1 = os.path.join(HERE, "..", "..", "tests", "tool", "order_v1.schema.json")
ORDER = {"id": 1, "customer": "Grüße", "amount": -5, "tags": [b"a", b"\x00\xff"], "card": 16,
         "paid": True, "lines": [{"sku": b"X1", "quantity": 2}]}


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
    lines: list[Line]


def test_records_round_trip_and_agree_with_the_tool():
    schema = vok32.Schema.load(V2)
    block = schema.encode(ORDER)
    assert schema.decode(block) == ORDER
    order = schema.decode(block, Order)
    assert order.lines == [Line(b"X1", 2)] and schema.encode(order) == block
    listed = json.loads(vok("dump", "--schema", V2, "--json", "-", data=block))
    assert listed["tags"] == ["a", {"hex": "00ff"}] and listed["customer"] == "Grüße"
    assert vok("pack", "--schema", V2, "--json", data=json.dumps(listed).encode()) == block
    assert list(schema.records(block + block)) == [ORDER, ORDER]


def test_versions_read_each_other():
    old, new = vok32.Schema.load(V1), vok32.Schema.load(V2)
    written_by_old = old.encode({"id": 2, "customer": "B", "paid": False})
    assert new.decode(written_by_old) == {"id": 2, "customer": "B", "amount": None, "tags": [],
                                          "card": None, "paid": False, "lines": []}
    assert old.decode(new.encode(ORDER)) == {k: ORDER[k] for k in ("id", "customer", "tags",
                                                                    "card", "paid")}


def test_schema_refusals_name_the_place():  # the rules are vok32x's, tested there
    with pytest.raises(vok32.SchemaError) as raised:
        vok32.Schema.from_dict({"name": "X", "type": 1, "version": 0,
                                "fields": [{"mark": 1, "name": "\udc80", "kind": "flag"}]})
    assert (raised.value.path, raised.value.status) == ("fields[0].name", vok32.Status.BAD_SCHEMA)
    assert "is not an identifier" in raised.value.message


S = vok32.Status


@pytest.mark.parametrize("change, status, path, words", [
    ({"customer": None}, S.MISSING_FIELD, "customer", "is required but was not written"),
    ({"tags": [""] * 9}, S.TOO_MANY, "tags", "occurs more often than its max"),
    ({"id": "1"}, S.WRONG_TYPE, "id", None),
    ({"amount": 2**31}, S.BAD_FIELD, "amount", None),
    ({"lines": [{"sku": "a"}]}, S.MISSING_FIELD, "lines[0].quantity", None),
    ({"colour": 1}, S.BAD_FIELD, "colour", "not a field of the schema"),
    ({"lines": [{"sku": "X", "quantity": 2, "quantityy": 5}]}, S.BAD_FIELD,
     "lines[0].quantityy", "not a field of the schema"),
    ({"tags": "urgent"}, S.WRONG_TYPE, "tags", "must be an array"),
    ({"lines": {"sku": "X", "quantity": 2}}, S.WRONG_TYPE, "lines", "must be an array of objects"),
    ({"lines": ["X"]}, S.WRONG_TYPE, "lines[0]", "must be an object"),
], ids=range(10))
def test_record_refusals_as_the_tool_words_them(change, status, path, words):
    record = {"id": 1, "customer": "x", "paid": True, **change}
    with pytest.raises(vok32.RecordError) as raised:
        vok32.Schema.load(V2).encode(record)
    assert (raised.value.status, raised.value.path) == (status, path)
    if words is not None:
        assert raised.value.message == words
        tool = subprocess.run([os.environ.get("VOK_TOOL", "vok"), "pack", "--schema", V2, "--json"],
                              input=json.dumps(record).encode(), capture_output=True)
        assert tool.stderr.decode() == f"<stdin>:1: {path}: {words}\n"


def test_bytes_after_the_block_are_refused_unless_allowed():
    schema = vok32.Schema.load(V2)
    block = schema.encode(ORDER)
    for trailing in (block, b"\xff" * 5):
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
    priority: int = 5  # not in the schema: its default stays
    seen: int = dataclasses.field(default=0, init=False)  # the class's own


@dataclasses.dataclass
class Mislabelled:
    id: int
    customer: str
    paid: bool
    lines: list["NoSuchClass"]  # noqa: F821


def test_dataclasses_keep_their_defaults_and_name_what_they_cannot_hold():
    schema = vok32.Schema.from_dict({"name": "N", "type": 1, "version": 0, "groups": [
        {"phrase": 1, "name": "notes", "repeated": True, "max": 3, "fields": [
            {"mark": 1, "name": "sku", "kind": "string"},
            {"mark": 2, "name": "quantity", "kind": "unsigned", "optional": True}]}]})

    @dataclasses.dataclass
    class Notes:
        notes: list[Note]

    assert schema.decode(schema.encode({"notes": [{"sku": b"a"}]}), Notes) == Notes([Note(b"a")])
    with pytest.raises(vok32.RecordError) as raised:  # quantity has nowhere to go
        schema.decode(schema.encode({"notes": [{"sku": b"a"}, {"sku": b"b", "quantity": 1}]}), Notes)
    assert (raised.value.status, raised.value.path) == (S.BAD_FIELD, "notes[1].quantity")
    with pytest.raises(vok32.RecordError) as raised:  # a priority that would be lost
        schema.encode(Notes([Note(b"a", 7)]))
    assert raised.value.path == "notes[0].priority"
    with pytest.raises(vok32.RecordError) as raised:
        order = {k: ORDER[k] for k in ("id", "customer", "paid", "lines")}
        vok32.Schema.load(V2).decode(vok32.Schema.load(V2).encode(order), Mislabelled)
    assert (raised.value.status, raised.value.path) == (S.WRONG_TYPE, "lines")
