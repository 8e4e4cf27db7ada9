#!/usr/bin/env python3
"""Writes the table of ours-against-OpenSSL ratios from the benchmarks' JSON output.

Every figure is the median of the repetitions of that benchmark (run with
--benchmark_repetitions and random interleaving, so both sides of a pair saw the same load).
Where one benchmark times both sides in turns (the counters ours_ns and openssl_ns, and
turn_bytes for throughput), its row comes from the medians of those counters.
Every ratio reads the same way: above 1 means ours is faster.

  throughput benchmarks (digests, ciphers, encodings, HashFile):
      ratio = our bytes per second / OpenSSL's bytes per second
  per-operation benchmarks (signatures, CreatePKCS10, loading the library):
      ratio = OpenSSL's time per operation / our time per operation

Usage:
  bench/report.py --codec codec.json --engine engine.json [--rss rss.jsonl] \
      [--machine machine.txt] [--out docs/performance.md]

rss.jsonl holds one JSON line per algorithm from `bench_probe hashfile-rss`, each with an
"algorithm" key added. machine.txt holds "key: value" lines (CPU, compiler, OpenSSL...) printed
above the table.
"""
import argparse
import json
import statistics
import sys

# (family, size) -> (label, target ratio or None). Throughput pairs: every digest, DES and Base64
# row at least level with OpenSSL.
CODEC_ROWS = [
    ("md5", 64, "MD5, 64 B", 1.0),
    ("md5", 4096, "MD5, 4 KiB", 1.0),
    ("md5", 1 << 20, "MD5, 1 MiB", 1.0),
    ("sha1", 64, "SHA-1, 64 B", 1.0),
    ("sha1", 4096, "SHA-1, 4 KiB", 1.0),
    ("sha1", 1 << 20, "SHA-1, 1 MiB", 1.0),
    ("sha256", 64, "SHA-256, 64 B", 1.0),
    ("sha256", 4096, "SHA-256, 4 KiB", 1.0),
    ("sha256", 1 << 20, "SHA-256, 1 MiB", 1.0),
    ("sha512", 64, "SHA-512, 64 B", 1.0),
    ("sha512", 4096, "SHA-512, 4 KiB", 1.0),
    ("sha512", 1 << 20, "SHA-512, 1 MiB", 1.0),
    ("des-encrypt", 1 << 20, "DES CBC encrypt, 1 MiB", 1.0),
    ("des-decrypt", 1 << 20, "DES CBC decrypt, 1 MiB", 1.0),
    ("3des-encrypt", 64, "3DES CBC encrypt, 64 B", 1.0),
    ("3des-encrypt", 1 << 20, "3DES CBC encrypt, 1 MiB", 1.0),
    ("3des-decrypt", 64, "3DES CBC decrypt, 64 B", 1.0),
    ("3des-decrypt", 1 << 20, "3DES CBC decrypt, 1 MiB", 1.0),
    ("base64-encode", 64, "Base64 encode, 64 B", 1.0),
    ("base64-encode", 1 << 20, "Base64 encode, 1 MiB", 1.0),
    ("base64-decode", 64, "Base64 decode, 64 B", 1.0),
    ("base64-decode", 1 << 20, "Base64 decode, 1 MiB", 1.0),
    ("hex-encode", 1 << 20, "hex encode, 1 MiB", None),
]

HASHFILE_ROWS = [
    ("hashfile-md5", "HashFile MD5"),
    ("hashfile-sha1", "HashFile SHA-1"),
    ("hashfile-sha256", "HashFile SHA-256"),
    ("hashfile-sha512", "HashFile SHA-512"),
]

# Per-operation pairs: family -> (label, target ratio or None).
OPERATION_ROWS = [
    ("sign-pkcs7", "SignPkcs7, register mode 3, per signature", None),
    ("sign-pkcs1", "SignPkcs1, register mode 3, per signature", None),
    ("pkcs10-2048", "CreatePKCS10, 2048-bit key", None),
]

# Pairs measured in one benchmark, both sides in turn: run -> (label, target ratio); the
# counters ours_ns and openssl_ns of each repetition hold that repetition's medians.
PAIRED_ROWS = [
    # At most 1.5 times OpenSSL's load.
    ("load/pair", "load the library + first call (GetDllVersion)", 1 / 1.5),
    # Signatures at most 1.2 times EVP_DigestSign with the key loaded.
    ("sign-pkcs7/against-floor",
     "SignPkcs7, register mode 3, against EVP_DigestSign with the key loaded", 1 / 1.2),
    ("sign-pkcs1/against-floor",
     "SignPkcs1, register mode 3, against EVP_DigestSign with the key loaded", 1 / 1.2),
]

RSS_LIMIT_KIB = 64 * 1024


def load_runs(path):
    """{run_name: [run, ...]} of the individual repetitions (aggregates left out)."""
    if path is None:
        return {}
    with open(path, encoding="utf-8") as f:
        benchmarks = json.load(f)["benchmarks"]
    runs = {}
    for r in benchmarks:
        if r.get("run_type") == "aggregate" or r.get("error_occurred"):
            continue
        # Options of a benchmark follow its name: "/manual_time", "/min_time:4.000".
        parts = r["run_name"].split("/")
        name = "/".join(p for p in parts if p != "manual_time" and ":" not in p)
        runs.setdefault(name, []).append(r)
    return runs


def median_rate(runs, name):
    values = [r["bytes_per_second"] for r in runs.get(name, []) if "bytes_per_second" in r]
    return statistics.median(values) if values else None


def paired_nanoseconds(runs):
    """(ours, OpenSSL's) medians of a benchmark timed in turns, or None."""
    if not runs or any("ours_ns" not in r or "openssl_ns" not in r for r in runs):
        return None
    return (statistics.median(r["ours_ns"] for r in runs),
            statistics.median(r["openssl_ns"] for r in runs))


def paired_rates(runs, name):
    """(ours, OpenSSL's) bytes per second of a throughput benchmark timed in turns, or None."""
    times = paired_nanoseconds(runs.get(name, []))
    if times is None or any("turn_bytes" not in r for r in runs[name]):
        return None
    turn_bytes = runs[name][0]["turn_bytes"]
    return tuple(turn_bytes / (ns * 1e-9) for ns in times)


def throughputs(runs, family, size):
    """(ours, OpenSSL's) bytes per second at one size: from the pair benchmark where there is
    one, else from the two separate benchmarks (None for a side that is missing)."""
    paired = paired_rates(runs, f"{family}/pair/{size}")
    if paired:
        return paired
    return (median_rate(runs, f"{family}/ours/{size}"),
            median_rate(runs, f"{family}/openssl/{size}"))


UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def median_seconds(runs, name):
    values = [r["real_time"] * UNIT_SECONDS[r.get("time_unit", "ns")] for r in runs.get(name, [])]
    return statistics.median(values) if values else None


def verdict(ratio, target):
    if target is None:
        return ""
    return "yes" if ratio >= target else "**no**"


def fmt_rate(bps):
    return f"{bps / 1e6:,.0f} MB/s"


def fmt_time(seconds):
    if seconds >= 1:
        return f"{seconds:.2f} s"
    if seconds >= 1e-3:
        return f"{seconds * 1e3:.2f} ms"
    return f"{seconds * 1e6:.1f} µs"


def build_table(codec, engine, rss):
    lines = [
        "| benchmark | ours | OpenSSL | ratio (>1: ours faster) | target | met |",
        "|---|---:|---:|---:|---:|:-:|",
    ]
    for family, size, label, target in CODEC_ROWS:
        ours, theirs = throughputs(codec, family, size)
        if ours is None or theirs is None:
            continue
        ratio = ours / theirs
        lines.append(f"| {label} | {fmt_rate(ours)} | {fmt_rate(theirs)} | {ratio:.2f} | "
                     f"{'≥ %.1f' % target if target else ''} | {verdict(ratio, target)} |")
    for family, label in HASHFILE_ROWS:
        names = [n for n in engine if n.startswith(family + "/")]
        if not names:
            continue
        size = int(names[0].rsplit("/", 1)[1])
        ours, theirs = throughputs(engine, family, size)
        if ours is None or theirs is None:
            continue
        ratio = ours / theirs
        size_text = f"{size / (1 << 30):g} GiB" if size >= 1 << 30 else f"{size / (1 << 20):g} MiB"
        lines.append(f"| {label}, {size_text} file | {fmt_rate(ours)} | {fmt_rate(theirs)} | "
                     f"{ratio:.2f} | ≥ 0.9 | {verdict(ratio, 0.9)} |")
    for family, label, target in OPERATION_ROWS:
        ours = median_seconds(engine, f"{family}/ours")
        theirs = median_seconds(engine, f"{family}/openssl")
        if ours is None or theirs is None:
            continue
        ratio = theirs / ours
        lines.append(f"| {label} | {fmt_time(ours)} | {fmt_time(theirs)} | {ratio:.2f} | "
                     f"{'≥ %.2f' % target if target else ''} | {verdict(ratio, target)} |")
    for name, label, target in PAIRED_ROWS:
        times = paired_nanoseconds(engine.get(name, []))
        if times is None:
            continue
        ours, theirs = (ns * 1e-9 for ns in times)
        ratio = theirs / ours
        lines.append(f"| {label} | {fmt_time(ours)} | {fmt_time(theirs)} | {ratio:.2f} | "
                     f"{'≥ %.2f' % target if target else ''} | {verdict(ratio, target)} |")
    for entry in rss:
        peak = entry["rss_after_kib"]
        met = "yes" if peak < RSS_LIMIT_KIB and entry.get("code") == 0 else "**no**"
        lines.append(f"| HashFile {entry['algorithm']}, peak resident memory of the process | "
                     f"{peak / 1024:.1f} MiB (after loading: "
                     f"{entry['rss_before_kib'] / 1024:.1f} MiB) | | | < 64 MiB | {met} |")
    return "\n".join(lines)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--codec")
    parser.add_argument("--engine")
    parser.add_argument("--rss")
    parser.add_argument("--machine")
    parser.add_argument("--repetitions", default="?")
    parser.add_argument("--out")
    args = parser.parse_args()

    codec = load_runs(args.codec)
    engine = load_runs(args.engine)
    rss = []
    if args.rss:
        with open(args.rss, encoding="utf-8") as f:
            rss = [json.loads(line) for line in f if line.strip()]
    table = build_table(codec, engine, rss)
    print(table)
    if args.out:
        machine = ""
        if args.machine:
            with open(args.machine, encoding="utf-8") as f:
                machine = "".join(f"- {line.strip()}\n" for line in f if line.strip())
        with open(args.out, "w", encoding="utf-8") as f:
            f.write(PAGE.format(machine=machine, table=table, repetitions=args.repetitions))
    return 0


PAGE = """# Performance against OpenSSL

Written by `scripts/bench.sh`; run it again to measure this machine.

{machine}
## How it was measured

`codec_bench` and `engine_bench` (in `bench/`) run each case beside OpenSSL doing the same work
in the same process, {repetitions} repetitions with random interleaving, so both sides of a pair
saw the same load on a shared machine. Every figure below is the median of the repetitions.

- Digests, DES, Base64, hex: one whole message per iteration (see `bench/README.md`). The
  digests' rows come from the pair benchmarks, where ours and OpenSSL's take turns within every
  iteration (about 256 KiB of messages per turn, the order swapped each time).
- HashFile: the engine's operation on a 1 GiB file of random bytes (read through the platform
  port in 1 MiB pieces, hex result) against OpenSSL's EVP digest over the same file read in
  1 MiB pieces, the two in turns. The file was in the page cache for both. Peak resident memory: `bench_probe
  hashfile-rss`, a fresh process that loads `libZYQSecuritiesATL.so` and calls its `HashFile`
  export once (`getrusage` `ru_maxrss`, before and after the call).
- SignPkcs7 / SignPkcs1: one engine signing an order again and again for a user registered in
  register mode 3 (no dialog; SHA-1; PKCS#7 attached with the signer's certificate and a signing
  time; PKCS#1 in Base64), against OpenSSL reading the same PKCS#12 file, `PKCS12_parse`, then
  `CMS_sign` (SHA-1, signing time) or an RSA PKCS#1 v1.5 signature, and Base64. The first
  signature of the engine is left out. The floor rows set the same signatures against
  `EVP_DigestSign` (SHA-1) of the order with the key already parsed: one digest and one RSA
  operation, the least any signature costs. Ours and the floor take turns within every
  iteration (the order swapped each time), and each figure is the median over the repetitions
  of each side's median within one.
- CreatePKCS10: a 2048-bit key in a new container and the request, against `EVP_RSA_gen` and
  `X509_REQ_sign`; both are dominated by the prime search, so their spread is wide.
- Loading: a fresh process each time; from before `dlopen` to after the first call
  (`GetDllVersion`), our library (which constructs the engine while loading and brings in
  libcrypto and SQLite; the engine lists the installed providers from the state database, and
  the dialog toolkit is loaded only when an operation needs it) against `dlopen` of libcrypto
  and `OPENSSL_init_crypto`. The two probes take turns, as the signatures and their floor do.

What the figures show and what limits them (the profiles behind them): `bench/README.md`.

## Results

Ratios: throughput rows are our throughput / OpenSSL's; time rows are OpenSSL's time / ours.
Either way a ratio above 1 means ours is faster.

{table}
"""

if __name__ == "__main__":
    sys.exit(main())
