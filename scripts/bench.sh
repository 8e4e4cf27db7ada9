#!/usr/bin/env bash
# Builds the benchmarks, runs them beside OpenSSL (repetitions, randomly interleaved), prints
# one table of ratios and writes it with the machine's description to docs/performance.md.
#
#   scripts/bench.sh [--no-write]
#
# Environment: ZYQ_BENCH_BUILD (build folder, default build-bench; an existing folder keeps its
# configuration), ZYQ_BENCH_REPETITIONS (default 5), ZYQ_BENCH_FILE_MIB (size of the file for
# HashFile, default 1024), ZYQ_BENCH_KEEP (a folder that receives the JSON results, so that
# bench/report.py can be run on them again).
#
# The engine's state and the large file live in a temporary folder under /tmp that is removed
# at the end; the user's own state is never touched.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZYQ_BENCH_BUILD:-$root/build-bench}
repetitions=${ZYQ_BENCH_REPETITIONS:-5}
file_mib=${ZYQ_BENCH_FILE_MIB:-1024}
write=1
[[ "${1:-}" == "--no-write" ]] && write=0

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYQ_BUILD_BENCH=ON \
    -DZYQ_BUILD_TESTS=OFF
else
  cmake -S "$root" -B "$build" -DZYQ_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" --target codec_bench engine_bench bench_probe ZYQSecuritiesATL -j2

work=$(mktemp -d /tmp/zyq-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/state" "$work/home" "$work/tmp"
export ZYQSEC_HOME=$work/state HOME=$work/home TMPDIR=$work/tmp ZYQSEC_UI=none
unset XDG_DATA_HOME

# Real bytes, not a sparse file: the digest must read every page.
echo "writing a ${file_mib} MiB file of random bytes" >&2
head -c "$((file_mib * 1024 * 1024))" /dev/urandom >"$work/big.bin"

common=(--benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true
        --benchmark_format=json)
echo "codec_bench: $repetitions repetitions" >&2
"$build/bench/codec_bench" "${common[@]}" --benchmark_min_time=0.2 >"$work/codec.json"
echo "engine_bench: $repetitions repetitions" >&2
ZYQ_BENCH_FILE=$work/big.bin "$build/bench/engine_bench" "${common[@]}" \
  --benchmark_min_time=1 >"$work/engine.json"

# Peak resident memory of HashFile in a fresh process per algorithm.
library=$(find "$build/api" -maxdepth 1 -name 'libZYQSecuritiesATL.so' | head -1)
: >"$work/rss.jsonl"
for pair in MD5:1 SHA-1:2 SHA-256:3 SHA-512:4; do
  line=$("$build/bench/bench_probe" hashfile-rss "$library" "$work/big.bin" "${pair#*:}")
  python3 -c 'import json,sys; d=json.loads(sys.argv[1]); d["algorithm"]=sys.argv[2]; print(json.dumps(d))' \
    "$line" "${pair%%:*}" >>"$work/rss.jsonl"
done
rm -f "$work/big.bin"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
flags=$(grep -m1 '^flags' /proc/cpuinfo)
features=""
for f in sha_ni avx2 bmi2 aes; do [[ " $flags " == *" $f "* ]] && features+="$f "; done
compiler=$(grep -m1 '^CMAKE_CXX_COMPILER:' "$build/CMakeCache.txt" | cut -d= -f2)
build_type=$(grep -m1 '^CMAKE_BUILD_TYPE:' "$build/CMakeCache.txt" | cut -d= -f2)
{
  echo "CPU: $cpu ($(nproc) cores seen; features: ${features% })"
  echo "Compiler: $(basename "$(readlink -f "$(command -v "$compiler")")") ($("$compiler" --version | head -1)), build type $build_type"
  echo "OpenSSL: $(openssl version)"
  echo "Google Benchmark: $(dpkg-query -W -f='${Version}' libbenchmark-dev 2>/dev/null || echo unknown)"
  echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'), load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$work/machine.txt"

if [[ -n "${ZYQ_BENCH_KEEP:-}" ]]; then
  mkdir -p "$ZYQ_BENCH_KEEP"
  cp "$work/codec.json" "$work/engine.json" "$work/rss.jsonl" "$work/machine.txt" "$ZYQ_BENCH_KEEP/"
fi

out=()
[[ $write == 1 ]] && out=(--out "$root/docs/performance.md")
python3 "$root/bench/report.py" --codec "$work/codec.json" --engine "$work/engine.json" \
  --rss "$work/rss.jsonl" --machine "$work/machine.txt" --repetitions "$repetitions" "${out[@]}"
[[ $write == 1 ]] && echo "written: docs/performance.md" >&2
exit 0
