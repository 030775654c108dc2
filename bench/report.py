#!/usr/bin/env python3
"""Turns the benchmark's JSON output into the table of the report.

Reads the JSON that voltrima_bench writes with --benchmark_format=json (or
--benchmark_out) and prints, per workload and form, the nanoseconds per call
of the three routes (the median when the run has repetitions) and the two
ratios: how many times faster than sscanf DllSscanf is, and how many times
slower than the limit.
"""
import json
import sys

ROUTES = ("DllSscanf", "sscanf", "limit")


def times(benchmarks):
    """Nanoseconds per call by run name: the median if there is one."""
    found = {}
    for b in benchmarks:
        name = b.get("run_name", b["name"])
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("run_type") == "iteration" and name in found:
            continue  # repetitions without aggregates: keep the first
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        found[name] = b["cpu_time"] * scale
    return found


def main(path):
    with open(path) as f:
        data = json.load(f)
    ns = times(data["benchmarks"])
    context = data["context"]
    print(f"{context['date']}, {context['num_cpus']} x {context['mhz_per_cpu']} MHz\n")
    print("| workload | form | DllSscanf ns | sscanf ns | limit ns | sscanf / DllSscanf | DllSscanf / limit |")
    print("|---|---|--:|--:|--:|--:|--:|")
    rows = []
    for name in ns:
        parts = name.split("/")
        if len(parts) == 3 and parts[2] == "DllSscanf":
            rows.append((parts[0], parts[1], [f"{parts[0]}/{parts[1]}/{r}" for r in ROUTES]))
        elif len(parts) == 3 and parts[1] == "DllSscanf":
            rows.append((parts[0], f"{parts[2]}-byte text", [f"{parts[0]}/{r}/{parts[2]}" for r in ROUTES]))
    for workload, form, keys in rows:
        if not all(k in ns for k in keys):
            continue
        ours, libc, limit = (ns[k] for k in keys)
        print(f"| {workload} | {form} | {ours:.1f} | {libc:.1f} | {limit:.1f} | "
              f"{libc / ours:.1f} | {ours / limit:.2f} |")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: report.py results.json")
    main(sys.argv[1])
