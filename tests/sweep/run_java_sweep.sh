#!/usr/bin/env bash
# Runs the Java sweep against the built library in fresh ZYQSEC_HOME, HOME and TMPDIR folders,
# with the virtual machine's JNI checks on; a JNI warning fails the run.
# Usage: run_java_sweep.sh <java> <classpath> <library folder> <sweep driver> <result codes header>
set -uo pipefail
java=$1 classpath=$2 libdir=$3 driver=$4 codes=$5
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/state" "$root/tmp"
export HOME=$root/home ZYQSEC_HOME=$root/state TMPDIR=$root/tmp ZYQSEC_UI=none
# The operation table as the library was built from it.
"$driver" --table >"$root/table" || exit 1
"$java" -Xcheck:jni -Djava.library.path="$libdir" -cp "$classpath" NativeSweep \
  "$root/table" "$codes" 90 2>&1 | tee "$root/out"
status=${PIPESTATUS[0]}
if grep -q "WARNING in native method" "$root/out"; then
  echo "the virtual machine reported a JNI fault" >&2
  exit 1
fi
exit "$status"
