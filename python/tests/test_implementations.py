"""The two implementations held to each other on random records and damaged
blocks, and what records carry beside their fields."""
import dataclasses
import datetime
import io
import math
import os
import random
import resource
import sys
from typing import Optional

import pytest

import vok32
from vok32 import Status

HERE = os.path.dirname(__file__)
TELEMETRY = os.path.join(HERE, "..", "..", "bench", "typed", "telemetry.schema.json")
ORDER = os.path.join(HERE, "..", "..", "examples", "order.schema.json")
UTC = datetime.timezone.utc


def random_value(rng, kind):
    """Mostly a value the kind takes, sometimes one at or past its edge or
    of another type, so that refusals are compared too."""
    edge = rng.random() < 0.04
    if kind == 1:
        return rng.choice([True, False, 1, None]) if edge else rng.random() < 0.5
    if kind in (2, 6, 20):  # a safe string's length, too, and an enum's number
        return rng.choice([-1, 2**32, 2**32 - 1, "x", 1.5, True, 65536]) if edge \
            else rng.randrange(2**16 if kind == 6 else 2**32)
    if kind == 3:
        return rng.choice([-2**31 - 1, 2**31, -2**31, b"x"]) if edge else rng.randrange(-2**31, 2**31)
    if kind in (4, 5):
        return rng.choice([b"\0\xff", "\udcff", 7, "x" * 65536]) if edge else "".join(
            rng.choices("aé\0z", k=rng.randrange(6)))
    if kind == 16:
        return rng.choice([-1, 2**64, 2**64 - 1]) if edge else rng.randrange(2**rng.choice((8, 40, 64)))
    if kind == 17:
        return rng.choice([-2**63 - 1, 2**63, "1"]) if edge else rng.randrange(-2**63, 2**63)
    if kind in (18, 19):
        return rng.choice([1e39, 1e-50, math.nan, -0.0, 10**400, math.inf, "NaN"]) if edge \
            else rng.uniform(-1e6, 1e6)
    if kind == 21:
        instant = datetime.datetime(1, 1, 1, tzinfo=UTC) + datetime.timedelta(
            milliseconds=rng.randrange(315537897600000))
        zone = datetime.timezone(datetime.timedelta(minutes=rng.randrange(-900, 900)))
        return rng.choice([instant.replace(tzinfo=None), instant.replace(microsecond=1),
                           2**63, "2026"]) if edge else rng.choice([instant, instant.astimezone(zone)
                                                                   if instant.year > 1 else instant,
                                                                   rng.randrange(-2**50, 2**50)])
    return rng.randrange(2**32)


def random_level(rng, fields):
    level = {}
    for f in fields:
        if rng.random() < 0.1:
            continue
        if f.repeated:
            level[f.name] = [random_value(rng, f.kind) for _ in range(rng.randrange(7))]
        elif f.kind == 20 and rng.random() < 0.5:  # an enum's name
            level[f.name] = rng.choice(list(f.names.values()) + ["NOPE"])
        else:
            level[f.name] = random_value(rng, f.kind)
    return level


def random_record(rng, schema):
    record = random_level(rng, schema.fields)
    for g in schema.groups:
        occurrences = [random_level(rng, g.fields) for _ in range(rng.randrange(4))]
        record[g.name] = occurrences if g.repeated else (occurrences[0] if occurrences else None)
    if rng.random() < 0.03:
        record["nope"] = 1
    return record


def outcome(call, *arguments):
    """What a call gives: its result, or its refusal as data."""
    try:
        return "ok", call(*arguments)
    except vok32.RecordError as error:
        return "refused", (error.status, error.path, error.message, error.offset)


def same(a, b):
    """Equal, with floats compared by their bits (NaN included)."""
    if isinstance(a, float) and isinstance(b, float):
        return a == b and math.copysign(1, a) == math.copysign(1, b) or (a != a and b != b)
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    return type(a) is type(b) and a == b


@pytest.mark.parametrize("path", [TELEMETRY, ORDER], ids=["telemetry", "order"])
def test_both_implementations_write_and_read_alike(path, implementation):
    if implementation != "native":
        pytest.skip("compares the two implementations: once is enough")
    if len(vok32._implementation.available) < 2:
        pytest.skip("the extension is not built")
    vok32._use("native")
    native = vok32.Schema.load(path)
    vok32._use("ctypes")
    plain = vok32.Schema.load(path)
    rng = random.Random(11)
    written = 0
    for _ in range(400):
        record = random_record(rng, native)
        ours, theirs = outcome(native.encode, record), outcome(plain.encode, record)
        assert ours == theirs, record
        if ours[0] != "ok":
            continue
        written += 1
        block = bytearray(ours[1])
        for _ in range(3):  # the block, then damaged copies of it
            decoded = [outcome(lambda b: s.decode(b, allow_trailing=True, meta=True), bytes(block))
                       for s in (native, plain)]
            assert decoded[0][0] == decoded[1][0] and same(decoded[0][1], decoded[1][1]), block.hex()
            block[rng.randrange(len(block))] = rng.randrange(256)
    assert written > 100


@dataclasses.dataclass
class Alarm:
    code: int
    level: int
    seen: list = dataclasses.field(default_factory=list, init=False)

    def __post_init__(self):
        self.seen.append(self.code)


@dataclasses.dataclass
class Reading:
    sensor: int
    time: datetime.datetime
    alarms: list[Alarm]
    state: str = "OK"
    samples: list[float] = dataclasses.field(default_factory=list)
    site: Optional[str] = "nowhere"  # absent from a record: its own default stands
    battery: int = 0  # the schema's default comes first
    temperature: float = 0.0
    note: str = "mine"  # not in the schema


def test_dataclasses_are_built_through_their_own_init():
    schema = vok32.Schema.load(TELEMETRY)
    time = datetime.datetime(2026, 12, 7, 9, 30, tzinfo=UTC)
    block = schema.encode({"sensor": 2**40, "time": time, "state": "FAILED", "temperature": 1.5,
                           "alarms": [{"code": 7, "level": -2**40}]})
    reading = schema.decode(block, Reading)
    assert reading == Reading(2**40, time, [Alarm(7, -2**40)], "FAILED", [], "nowhere", 100, 1.5)
    assert reading.alarms[0].seen == [7] and schema.decode(schema.encode(reading), Reading) == reading
    bare = dataclasses.make_dataclass("Bare", [  # no samples: refused only once some are lost
        ("sensor", int), ("time", datetime.datetime), ("alarms", list[Alarm]), ("state", str),
        ("temperature", float), ("site", Optional[str]), ("battery", int)])
    assert schema.decode(block, bare).sensor == 2**40
    with pytest.raises(vok32.RecordError) as raised:
        schema.decode(schema.encode({**schema.decode(block), "samples": [0.5]}), bare)
    assert (raised.value.status, raised.value.path) == (Status.BAD_FIELD, "samples")
    if sys.version_info >= (3, 10):  # fields given only by name, after those given by position
        Later = dataclasses.make_dataclass("Later", [
            ("sensor", int), ("time", datetime.datetime), ("temperature", float), ("samples", list),
            ("site", Optional[str]), ("battery", int),
            ("alarms", list[Alarm], dataclasses.field(kw_only=True)),
            ("state", str, dataclasses.field(default="OK", kw_only=True))])
        assert schema.decode(block, Later) == Later(2**40, time, 1.5, [], None, 100,
                                                    alarms=[Alarm(7, -2**40)], state="FAILED")


def test_wide_records_read_alike_into_dicts_and_dataclasses():
    """Past what a level keeps inline: 70 fields, 150 occurrences, and a
    dataclass of more arguments than a call's mask of names covers."""
    fields = [{"mark": i, "name": f"f{i}", "kind": "unsigned", "optional": True} for i in range(1, 71)]
    schema = vok32.Schema.from_dict({"name": "W", "type": 1, "version": 0, "fields": fields, "groups": [
        {"phrase": 1, "name": "g", "repeated": True, "max": 200, "fields": fields[:40]}]})
    record = {**{f"f{i}": i for i in range(1, 71)},
              "g": [{f"f{i}": i * n for i in range(1, 41)} for n in range(150)]}
    group = dataclasses.make_dataclass("G", [(f"f{i}", int) for i in range(1, 41)])
    wide = dataclasses.make_dataclass("Wide", [(f"f{i}", int) for i in range(1, 71)] + [("g", list[group])])
    block = schema.encode(record)
    assert schema.decode(block) == record
    assert schema.encode(schema.decode(block, wide)) == block


def test_meta_gives_the_version_and_the_items_passed_over():
    schema = vok32.Schema.from_dict({"name": "A", "type": 4, "version": 2, "fields": [
        {"mark": 1, "name": "a", "kind": "unsigned"}]})
    with vok32.Writer(4, 7) as writer:  # a newer writer's block: mark 9 is unknown here
        for method, value in [("user_mark", 1), ("unsigned", 5), ("user_mark", 9),
                              ("utf8", "new"), ("phrase", 3), ("flag", True)]:
            getattr(writer, method)(value)
        block = writer.finish()
    record, meta = schema.decode(block, meta=True)
    assert record == {"a": 5} and meta.version == 7 and meta.version_status == Status.NEWER_VERSION
    items = list(vok32.Reader(block))
    assert meta.unknown == items[2:]  # where they stood, as the reader lists them
    assert schema.decode(schema.encode(record), meta=True)[1] == (2, Status.OK, [])


def test_records_of_a_file_name_the_block_of_a_refusal():
    schema = vok32.Schema.load(ORDER)
    good = schema.encode({"id": 1, "customer": "x", "paid": True})
    for damaged, status, start in [(good * 2 + good[:7], Status.NEED_MORE, 2 * len(good)),
                                   (good + b"\0\0\0\x05" + good, Status.INVALID_STREAM, len(good))]:
        taken = []
        with pytest.raises(vok32.RecordError) as raised:
            taken.extend(schema.records(io.BytesIO(damaged)))
        assert (raised.value.status, raised.value.block, raised.value.offset) == (status, start, start)
        assert len(taken) == start // len(good)


def test_a_forged_length_costs_no_more_memory_than_the_file_holds():
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    forged = b"\xff\xff\xff\xf0\xc8\x01\xd2\x01" + b"\0" * 1000
    for source in (io.BytesIO(forged), forged):
        with pytest.raises(vok32.VokError) as raised:
            list(vok32.blocks(source))
        assert (raised.value.status, raised.value.offset) == (Status.NEED_MORE, 0)
    feeder = vok32.Feeder(max_block=2**32 - 1)
    feeder.feed(forged)
    assert list(feeder) == []
    assert resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before < 64 * 1024  # KiB


def test_the_package_names_its_version_and_implementation(implementation):
    assert vok32.implementation == implementation in ("native", "ctypes")
    assert vok32.__version__.count(".") == 2
