#!/usr/bin/env python3
"""Prints our throughput over OpenSSL's for every benchmark pair in codec_bench's JSON output.

Each side's figure is its best repetition: on a shared machine other work only ever slows a run
down, so the fastest of several interleaved repetitions is the steadiest estimate.

Usage:
  codec_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \
      --benchmark_format=json > out.json
  bench/ratios.py out.json
"""
import json
import sys


def main() -> int:
    with open(sys.argv[1], encoding="utf-8") as f:
        results = json.load(f)["benchmarks"]
    speed = {}
    for r in results:
        if r.get("run_type") == "aggregate":
            continue
        family, side, size = r["run_name"].split("/")
        key = (family, side, int(size))
        speed[key] = max(speed.get(key, 0.0), r["bytes_per_second"])
    print(f"{'benchmark':<16}{'size':>9}{'ours MB/s':>12}{'openssl MB/s':>14}{'ratio':>8}"
          f"{'portable':>10}")
    for (family, side, size), ours in sorted(speed.items()):
        if side != "ours":
            continue
        theirs = speed.get((family, "openssl", size))
        portable = speed.get((family, "ours-portable", size))
        if theirs is None:
            continue
        extra = f"{portable / theirs:>10.2f}" if portable else ""
        print(f"{family:<16}{size:>9}{ours / 1e6:>12.1f}{theirs / 1e6:>14.1f}"
              f"{ours / theirs:>8.2f}{extra}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
