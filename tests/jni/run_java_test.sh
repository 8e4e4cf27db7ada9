#!/usr/bin/env bash
# Runs a Java test program against the built library in fresh ZYQSEC_HOME, HOME and TMPDIR
# folders, with the virtual machine's JNI checks on; a JNI warning fails the run.
# Usage: run_java_test.sh <java> <classpath> <library folder> <main class>
set -uo pipefail
java=$1 classpath=$2 libdir=$3 main=$4
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/state" "$root/tmp"
export HOME=$root/home ZYQSEC_HOME=$root/state TMPDIR=$root/tmp ZYQSEC_UI=none
"$java" -Xcheck:jni -Djava.library.path="$libdir" -cp "$classpath" "$main" 2>&1 | tee "$root/out"
status=${PIPESTATUS[0]}
if grep -q "WARNING in native method" "$root/out"; then
  echo "the virtual machine reported a JNI fault" >&2
  exit 1
fi
exit "$status"
