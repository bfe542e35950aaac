#!/usr/bin/env python3
"""Telemetry readings for the benchmarks, the same on every machine.

    python3 bench/typed/telemetry.py [--count N] [--seed S] > readings.jsonl

Writes N records of bench/typed/telemetry.schema.json as JSON lines, the
form `vok pack --schema --json` reads and `vok dump --schema --json` writes:
a 64-bit sensor id, a time in 2026, a state, a temperature, up to 5 float32
samples, a site name on most readings, a battery level that is often the
default, and up to 2 alarms, so that every record fits the schema's small
variant (max 5 and 2) as well as its large one (500 and 16).
"""
import argparse
import datetime
import json
import random
import struct
import sys

SITES = ["Nordhavn", "Kastrup", "Ørestad", "Valby", "Amager Strand"]
STATES = ["OK", "OK", "OK", "DEGRADED", "FAILED"]
START = datetime.datetime(2026, 1, 1, tzinfo=datetime.timezone.utc)


def float32(value):
    """The float32 nearest value, as the number JSON carries for it."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def reading(rng):
    time = START + datetime.timedelta(milliseconds=rng.randrange(365 * 86_400_000))
    record = {
        "sensor": rng.randrange(2**40, 2**48),
        "time": time.strftime("%Y-%m-%dT%H:%M:%S.") + f"{time.microsecond // 1000:03d}Z",
        "state": rng.choice(STATES),
        "temperature": round(rng.uniform(-30.0, 45.0), 2),
        "samples": [float32(rng.gauss(20.0, 5.0)) for _ in range(rng.randint(0, 5))],
    }
    if rng.random() < 0.8:
        record["site"] = rng.choice(SITES)
    if rng.random() < 0.3:
        record["battery"] = rng.randrange(100)
    record["alarms"] = [
        {"code": rng.randrange(1000), "level": rng.randrange(-(2**40), 2**40)}
        for _ in range(rng.choice((0, 0, 0, 1, 2)))
    ]
    return record


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=10_000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    for _ in range(args.count):
        sys.stdout.write(json.dumps(reading(rng), ensure_ascii=False) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
