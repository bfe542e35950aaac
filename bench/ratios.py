#!/usr/bin/env python3
"""Turns the benchmark's JSON output into the comparison table.

    vok32_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_format=json > run.json
    bench/ratios.py run.json [--plot ratios.png] [--markdown]

Every figure is the median of the repetitions (CPU time).  A time ratio below 1
means vok32 (or vok32x) is faster.  msgpack-c is represented by the faster of
its two pull decoders for each data set.  A run restricted with
--benchmark_filter gives the ratios whose contenders it holds.
"""
import argparse
import json
import sys

SETS = ["ints", "records", "blobs"]
OPS = ["encode", "decode"]
CONTENDERS = ["vok32_cursor", "vok32_handle", "vok32_handle_nogrow", "vok32x_walk",
              "msgpack_zone", "msgpack_next", "libcbor", "memcpy", "strlen_memcpy",
              "cursor_floor", "walk_floor", "sum"]

# (label, numerator, denominator, target, data sets it applies to).  A target
# is None, a number, or a dict by "<data set> <op>" or by "<op>".
RATIOS = [
    ("cursor / msgpack", "vok32_cursor", "msgpack",
     {"ints encode": 0.35, "ints decode": 0.30, "records encode": 0.33, "records decode": None},
     ["ints", "records"]),
    ("cursor / libcbor", "vok32_cursor", "libcbor", 0.6, ["ints", "records"]),
    ("handle / cursor", "vok32_handle", "vok32_cursor", {"records encode": 1.25, "encode": 1.3,
                                                         "decode": 1.3}, ["ints", "records"]),
    # The handle's floor: the same writes into a buffer that never grows.
    ("no growth / cursor", "vok32_handle_nogrow", "vok32_cursor", None, ["ints", "records"]),
    ("cursor / memcpy", "vok32_cursor", "memcpy", {"encode": None, "decode": 1.2}, ["blobs"]),
    # Encoding strings cannot beat measuring and copying them where they go.
    ("cursor / strlen+memcpy", "vok32_cursor", "strlen_memcpy", 1.03, ["blobs"]),
    ("handle / memcpy", "vok32_handle", "memcpy", None, ["blobs"]),
    # The records' floors: four cursor calls with the name measured and copied,
    # and the walk passing over the items without describing them.
    ("cursor floor / msgpack", "cursor_floor", "msgpack", None, ["records"]),
    ("cursor / cursor floor", "vok32_cursor", "cursor_floor", None, ["records"]),
    # vok32x's walk decodes only; its encode rows are absent and skipped.
    ("walk / libcbor", "vok32x_walk", "libcbor", 0.42, ["records"]),
    ("walk floor / libcbor", "walk_floor", "libcbor", None, ["records"]),
    ("walk / walk floor", "vok32x_walk", "walk_floor", None, ["records"]),
    ("walk / msgpack", "vok32x_walk", "msgpack", 1.0, ["records"]),
    ("walk / cursor", "vok32x_walk", "vok32_cursor", None, ["ints", "records"]),
    ("walk / sum", "vok32x_walk", "sum", None, ["records"]),
]


def load(path):
    with open(path) as f:
        doc = json.load(f)
    medians = {}
    for b in doc["benchmarks"]:
        if b.get("aggregate_name", "median") != "median" or b.get("error_occurred"):
            continue
        medians[b["run_name"]] = b
    return doc.get("context", {}), medians


def time_of(medians, data_set, op, who):
    if who == "msgpack":
        return min(time_of(medians, data_set, op, w) for w in ("msgpack_zone", "msgpack_next"))
    return medians[f"{data_set}/{op}/{who}"]["cpu_time"]


def ratio_rows(medians):
    rows = []
    for label, num, den, target, sets in RATIOS:
        for data_set in sets:
            for op in OPS:
                try:
                    r = time_of(medians, data_set, op, num) / time_of(medians, data_set, op, den)
                except KeyError:
                    continue
                t = target.get(f"{data_set} {op}", target.get(op)) if isinstance(
                    target, dict) else target
                rows.append((f"{data_set} {op}", label, r, t))
    return rows


def print_tables(medians, markdown):
    def line(cells, widths):
        if markdown:
            return "| " + " | ".join(str(c) for c in cells) + " |"
        return " ".join(str(c).rjust(w) for c, w in zip(cells, widths))

    head = ["data set", "op", "contender", "ns/item", "MB/s", "encoded bytes"]
    widths = [8, 6, 13, 12, 9, 13]
    print(line(head, widths))
    if markdown:
        print("|" + "|".join("---:" if i > 2 else "---" for i in range(len(head))) + "|")
    for data_set in SETS:
        for op in OPS:
            for who in CONTENDERS:
                b = medians.get(f"{data_set}/{op}/{who}")
                if b is None:
                    continue
                size = int(b.get("encoded_bytes", 0))
                print(line([data_set, op, who, f"{b['ns_per_item']:.2f}",
                            f"{b['bytes_per_second'] / 1e6:.0f}", size if size else "-"],
                           widths))
    print()
    head = ["case", "ratio", "time ratio", "target", "met"]
    widths = [15, 22, 10, 6, 4]
    print(line(head, widths))
    if markdown:
        print("|---|---|---:|---:|---|")
    for case, label, r, t in ratio_rows(medians):
        met = "-" if t is None else ("yes" if r <= t else "no")
        print(line([case, label, f"{r:.2f}", "-" if t is None else t, met], widths))


def plot(medians, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    rows = ratio_rows(medians)
    labels = [f"{case}\n{label}" for case, label, _, _ in rows]
    values = [r for _, _, r, _ in rows]
    fig, ax = plt.subplots(figsize=(9, 0.42 * len(rows) + 1.2))
    ax.barh(range(len(rows)), values, color=[
        "#4c72b0" if t is None or r <= t else "#dd8452" for _, _, r, t in rows])
    for i, (_, _, r, t) in enumerate(rows):
        if t is not None:
            ax.plot([t, t], [i - 0.4, i + 0.4], color="black", linewidth=1.5)
        ax.text(r, i, f" {r:.2f}", va="center", fontsize=8)
    ax.axvline(1.0, color="grey", linestyle=":", linewidth=1)
    ax.set_yticks(range(len(rows)), labels, fontsize=7)
    ax.invert_yaxis()
    ax.set_xlabel("time ratio (median CPU time; below 1: vok32 faster; black tick: target)")
    ax.set_title("vok32 against msgpack-c, libcbor and memcpy")
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json", help="output of --benchmark_format=json ('-' for stdin)")
    parser.add_argument("--plot", help="write a bar chart of the ratios to this PNG")
    parser.add_argument("--markdown", action="store_true", help="print Markdown tables")
    args = parser.parse_args()
    context, medians = load("/dev/stdin" if args.json == "-" else args.json)
    if not medians:
        sys.exit("no median results in the input (run with --benchmark_repetitions)")
    print(f"# {context.get('date', '')}, {context.get('num_cpus', '?')} CPUs at "
          f"{context.get('mhz_per_cpu', '?')} MHz, load {context.get('load_avg', '?')}")
    print_tables(medians, args.markdown)
    if args.plot:
        plot(medians, args.plot)


if __name__ == "__main__":
    main()
