"""Records by schema through the engine, compared with the vok tool."""
import dataclasses
import json
import os
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


@pytest.mark.parametrize("change, path, message", [
    ({"fields": [{"mark": 1, "name": "a", "kind": "int"}]}, "fields[0].kind", 'unknown kind "int"'),
    ({"fields": [{"mark": 200, "name": "a", "kind": "flag"}]}, "fields[0].mark", "200 is above 199"),
    ({"colour": 1}, "colour", "is not a key of the schema format"),
    ({"groups": [{"phrase": 1, "name": "g", "fields": [], "groups": []}]}, "groups[0].groups",
     "groups cannot nest"),
], ids=range(4))
def test_schema_refusals_name_the_place(change, path, message):
    with pytest.raises(vok32.SchemaError) as raised:
        vok32.Schema.from_dict({"name": "X", "type": 1, "version": 0, **change})
    assert (raised.value.path, raised.value.message) == (path, message)
    assert raised.value.status == vok32.Status.BAD_SCHEMA


@pytest.mark.parametrize("change, status, path", [
    ({"customer": None}, vok32.Status.MISSING_FIELD, "customer"),
    ({"tags": [b""] * 9}, vok32.Status.TOO_MANY, "tags"),
    ({"id": "1"}, vok32.Status.WRONG_TYPE, "id"),
    ({"amount": 2**31}, vok32.Status.BAD_FIELD, "amount"),
    ({"lines": [{"sku": b"a"}]}, vok32.Status.MISSING_FIELD, "lines[0].quantity"),
    ({"colour": 1}, vok32.Status.BAD_FIELD, "colour"),
], ids=range(6))
def test_record_refusals(change, status, path):
    with pytest.raises(vok32.RecordError) as raised:
        vok32.Schema.load(V2).encode({**ORDER, **change})
    assert (raised.value.status, raised.value.path) == (status, path)


def test_a_block_that_breaks_the_schema_names_the_item():
    block = vok32.Schema.load(V1).encode({"id": 2, "customer": "B", "paid": False})
    with pytest.raises(vok32.RecordError) as raised:  # a newer required field is missing
        vok32.Schema.from_dict({**json.load(open(V2)), "fields": [
            {"mark": 9, "name": "due", "kind": "unsigned"}]}).decode(block)
    assert (raised.value.status, raised.value.path, raised.value.offset) == (
        vok32.Status.MISSING_FIELD, "due", len(block) - 1)
