#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each one for N seconds (default 30) over its seed corpus.
#   bash scripts/fuzz.sh [seconds] [target ...]
# Inputs the run finds go to build-fuzz/corpus/<target>/ (the committed seeds stay unchanged);
# a crash leaves its input in build-fuzz/artifacts/<target>/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(base64_decode certificate name_match pkcs12 path_rules pkcs7_certs registry_values
    der_reader dialog_script dispatch_invoke registration_record batch_lines native_frames)
fi
jobs=${FUZZ_JOBS:-2}
dir=build-fuzz

sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYQ_WERROR=ON \
  -DZYQ_BUILD_TESTS=OFF -DZYQ_BUILD_FUZZ=ON \
  -DCMAKE_C_FLAGS="$sanitizers -fno-omit-frame-pointer" \
  -DCMAKE_CXX_FLAGS="$sanitizers -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$dir" -j "$jobs" --target "${build_targets[@]}"

# Each run gets its own temporary folder: the registry target makes its state folder (its
# ZYQSEC_HOME and HOME) below it, and it goes when the run ends.
state=$(mktemp -d)
trap 'rm -rf "$state"' EXIT
export TMPDIR="$state"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for t in "${targets[@]}"; do
  work="$dir/corpus/$t"
  artifacts="$dir/artifacts/$t"
  mkdir -p "$work" "$artifacts"
  echo "== fuzz_$t: ${seconds}s"
  log="$dir/fuzz_$t.log"
  status=0
  "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=25 \
    -rss_limit_mb=2048 -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$t" >"$log" 2>&1 ||
    status=$?
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|INFO: seed corpus)" \
    "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzz_$t failed (exit $status); inputs in $artifacts" >&2
    exit "$status"
  fi
done
echo "All fuzz targets ran clean."
