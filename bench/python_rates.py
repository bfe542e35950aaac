#!/usr/bin/env python3
"""Items per second through the Python package, on a million small items.

    VOK32_LIBRARY_PATH=DIR python3 bench/python_rates.py [--items N] [--runs R]

The items are records of four, as in the C benchmark's records set: an
unsigned value, a signed value (negative half the time), a flag and an
ASCII name of 5 to 20 bytes.  Each figure is the best of the runs in CPU
time, which the other programs on a shared machine disturb less than the
clock.  The same records, one block each, also go through a schema of
four fields (vok32.Schema.encode and decode): records per second; and
telemetry readings (bench/typed/telemetry.py) through their schema.
"""
import argparse
import datetime
import os
import random
import sys
import time

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
    best = float("inf")
    for _ in range(runs):
        start = time.process_time()
        result = function(argument)
        best = min(best, time.process_time() - start)
    return items / best, result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--items", type=int, default=1_000_000)
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
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


if __name__ == "__main__":
    main()
