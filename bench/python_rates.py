#!/usr/bin/env python3
"""Items and records per second through the Python package.

    VOK32_LIBRARY_PATH=DIR python3 bench/python_rates.py [--items N] [--runs R] [--json FILE]

The items are records of four, as in the C benchmark's records set: an
unsigned value, a signed value (negative half the time), a flag and an
ASCII name of 5 to 20 bytes.  Each figure is the best of the runs in CPU
time, which the other programs on a shared machine disturb less than the
clock, with the garbage collector off while timing, as timeit does.  The
same records, one block each, also go through a schema of
four fields (vok32.Schema.encode and decode): records per second; and
telemetry readings (bench/typed/telemetry.py) through their schema.

Then the ratios the package is held to, all in one process on the same
records: order records of examples/order.schema.json (one to four lines
each) and telemetry readings, decoded into dicts and encoded from them
against the msgpack package's C extension on the same records as maps;
decoding into dataclasses against into dicts; and vok32.blocks over 100,000
blocks against a pure-Python loop that slices them by their length fields.
VOK32_IMPLEMENTATION=ctypes measures the fallback.
"""
import argparse
import dataclasses
import datetime
import gc
import io
import json
import os
import random
import sys
import time
from typing import Optional

import vok32

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "typed"))
import telemetry  # noqa: E402  (beside this file, not a package)


def make_records(count):
    rng = random.Random(1)
    letters = "abcdefghijklmnopqrstuvwxyz"
    return [
        (
            rng.choice((rng.randrange(256), rng.randrange(65536), rng.randrange(2**32))),
            rng.randrange(-(2**31), 2**31),
            rng.random() < 0.5,
            "".join(rng.choices(letters, k=rng.randint(5, 20))).encode(),
        )
        for _ in range(count)
    ]


def write(records):
    with vok32.Writer(1, 1) as writer:
        for unsigned, signed, flag, name in records:
            writer.unsigned(unsigned)
            writer.signed(signed)
            writer.flag(flag)
            writer.string(name)
        return writer.finish()


def iterate(block):
    count = 0
    for _ in vok32.Reader(block, 1, 1):
        count += 1
    return count


def read_typed(block):
    reader = vok32.Reader(block, 1, 1)
    records = []
    while reader.peek() != vok32.Kind.END:
        records.append(
            (reader.read_unsigned(), reader.read_signed(), reader.read_flag(), reader.read_string())
        )
    return records


# The records as a schema names them, one block per record.
SCHEMA = vok32.Schema.from_dict({"name": "Entry", "type": 1, "version": 1, "fields": [
    {"mark": 1, "name": "count", "kind": "unsigned"}, {"mark": 2, "name": "delta", "kind": "signed"},
    {"mark": 3, "name": "flag", "kind": "flag"}, {"mark": 4, "name": "name", "kind": "string"}]})


def encode_records(records):
    return [SCHEMA.encode({"count": u, "delta": s, "flag": f, "name": n}) for u, s, f, n in records]


def decode_records(blocks):
    return [tuple(SCHEMA.decode(b).values()) for b in blocks]


TELEMETRY = vok32.Schema.load(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "typed", "telemetry.schema.json"))


def telemetry_readings(count):
    """The generator's records as Python gives them: times as datetimes."""
    rng = random.Random(1)
    readings = [telemetry.reading(rng) for _ in range(count)]
    for r in readings:
        r["time"] = datetime.datetime.fromisoformat(r["time"].replace("Z", "+00:00"))
    return readings


def best_rate(function, argument, items, runs):
    """Items per second of the fastest run.  As timeit does, the cyclic
    garbage collector is off while a run is timed: its passes depend on
    everything else the process holds, and would measure that."""
    best = float("inf")
    for _ in range(runs):
        gc.collect()
        gc.disable()
        try:
            start = time.process_time()
            result = function(argument)
            best = min(best, time.process_time() - start)
        finally:
            gc.enable()
    return items / best, result


HERE = os.path.dirname(os.path.abspath(__file__))
ORDERS = vok32.Schema.load(os.path.join(HERE, "..", "examples", "order.schema.json"))
CUSTOMERS = ["Grüße GmbH", "Ada Lovelace", "Bob's Bikes", "Émile Zola", "Nordhavn A/S"]
EPOCH_2026 = datetime.datetime(2026, 1, 1, tzinfo=datetime.timezone.utc)


def order_records(count):
    """Orders as Python gives them, every field present as decode fills it."""
    rng = random.Random(2)
    return [{
        "id": n, "customer": rng.choice(CUSTOMERS),
        "amount": rng.randrange(-10**6, 10**6) if rng.random() < 0.7 else None,
        "tags": [b"t%d" % rng.randrange(100) for _ in range(rng.randint(0, 3))],
        "card": 16 if rng.random() < 0.3 else None, "paid": rng.random() < 0.5,
        "placed": EPOCH_2026 + datetime.timedelta(milliseconds=rng.randrange(365 * 86_400_000)),
        "status": rng.choice(["OPEN", "SHIPPED", "CANCELLED"]),
        "lines": [{"sku": b"SKU-%05d" % rng.randrange(99999), "quantity": rng.randint(1, 20)}
                  for _ in range(rng.randint(1, 4))]} for n in range(count)]


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


@dataclasses.dataclass
class Alarm:
    code: int
    level: int


@dataclasses.dataclass
class Reading:
    sensor: int
    time: datetime.datetime
    state: str
    temperature: float
    samples: list[float]
    site: Optional[str]
    battery: int
    alarms: list[Alarm]


def timed(function, argument):
    gc.collect()
    gc.disable()
    try:
        start = time.process_time()
        function(argument)
        return time.process_time() - start
    finally:
        gc.enable()


def best_times(cases, runs):
    """The fastest run of each (function, argument), the runs taken in turn
    so that a slow spell of a shared machine touches every case alike."""
    best = [float("inf")] * len(cases)
    for _ in range(runs):
        for i, (function, argument) in enumerate(cases):
            best[i] = min(best[i], timed(function, argument))
    return best


def ratios(runs):
    """The targets' ratios, as a dict of name to (vok32 rate, peer rate)."""
    import msgpack  # Debian's python3-msgpack, a C extension

    rates = {}
    sets = {"orders": (ORDERS, order_records(20_000), Order),
            "telemetry": (TELEMETRY, telemetry_readings(20_000), Reading)}
    for name, (schema, records, cls) in sets.items():
        n = len(records)
        blocks = [schema.encode(r) for r in records]
        maps = [msgpack.packb(r, datetime=True) for r in records]
        assert name != "orders" or [schema.decode(b) for b in blocks] == records
        encode, pack, decode, unpack, into = best_times([
            (lambda rs: [schema.encode(r) for r in rs], records),
            (lambda rs: [msgpack.packb(r, datetime=True) for r in rs], records),
            (lambda bs: [schema.decode(b) for b in bs], blocks),
            (lambda ms: [msgpack.unpackb(m, timestamp=3) for m in ms], maps),
            (lambda bs: [schema.decode(b, cls) for b in bs], blocks)], runs)
        rates[f"{name} decode into dicts / msgpack.unpackb"] = (n / decode, n / unpack)
        rates[f"{name} encode from dicts / msgpack.packb"] = (n / encode, n / pack)
        rates[f"{name} dataclass decode time / dict decode time"] = (into * 1e6 / n,
                                                                     decode * 1e6 / n)
    data = b"".join(ORDERS.encode(r) for r in order_records(1000)) * 100
    assert sum(1 for _ in vok32.blocks(io.BytesIO(data))) == 100_000
    of_file, of_bytes, sliced = best_times([
        (lambda d: sum(1 for _ in vok32.blocks(io.BytesIO(d))), data),
        (lambda d: sum(1 for _ in vok32.blocks(d)), data),
        (lambda d: sum(1 for _ in sliced_blocks(d)), data)], runs)
    rates["blocks of a file / slicing loop"] = (100_000 / of_file, 100_000 / sliced)
    rates["blocks of bytes / slicing loop"] = (100_000 / of_bytes, 100_000 / sliced)
    return rates


def sliced_blocks(data):
    """Blocks cut by their length fields in pure Python, checking nothing."""
    at = 0
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], "big")
        yield data[at:at + length]
        at += length


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--items", type=int, default=1_000_000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--json", help="also record the ratios in this file")
    options = parser.parse_args()
    print(f"vok32 {vok32.__version__}, implementation {vok32.implementation}")
    records = make_records(options.items // 4)
    items = 4 * len(records)

    rate, block = best_rate(write, records, items, options.runs)
    print(f"write            {rate / 1e6:6.2f} M items/s  ({len(block)} bytes)")
    rate, count = best_rate(iterate, block, items, options.runs)
    assert count == items
    print(f"read, iterating  {rate / 1e6:6.2f} M items/s")
    rate, read_back = best_rate(read_typed, block, items, options.runs)
    assert records == read_back
    print(f"read, typed      {rate / 1e6:6.2f} M items/s")
    some = records[: len(records) // 10]
    rate, blocks = best_rate(encode_records, some, len(some), options.runs)
    print(f"schema encode    {rate / 1e3:6.1f} k records/s")
    rate, decoded = best_rate(decode_records, blocks, len(some), options.runs)
    assert decoded == some
    print(f"schema decode    {rate / 1e3:6.1f} k records/s")
    readings = telemetry_readings(len(some))
    rate, blocks = best_rate(lambda rs: [TELEMETRY.encode(r) for r in rs], readings,
                             len(readings), options.runs)
    print(f"telemetry encode {rate / 1e3:6.1f} k records/s")
    rate, decoded = best_rate(lambda bs: [TELEMETRY.decode(b) for b in bs], blocks,
                              len(readings), options.runs)
    print(f"telemetry decode {rate / 1e3:6.1f} k records/s")
    results = ratios(max(options.runs, 9))
    for name, (ours, peer) in results.items():
        unit = "us" if "time" in name else "per s"
        print(f"{name:50} {ours / peer:5.2f}  ({ours:,.2f} against {peer:,.2f} {unit})")
    if options.json:  # one entry per implementation, added to what the file holds
        try:
            with open(options.json, encoding="utf-8") as existing:
                recorded = json.load(existing)
        except FileNotFoundError:
            recorded = {}
        recorded[vok32.implementation] = {
            "version": vok32.__version__,
            "ratios": {k: {"ratio": round(a / b, 3), "vok32": round(a, 2), "peer": round(b, 2)}
                       for k, (a, b) in results.items()}}
        with open(options.json, "w", encoding="utf-8") as out:
            json.dump(recorded, out, indent=1)
            out.write("\n")

if __name__ == "__main__":
    main()
