#!/bin/sh
# Builds the example from a copy in a temporary folder, outside the source tree, through
# cmake/CrashReporter.cmake and checks the report its crash prints. Arguments: the source
# tree and the toolchain file. Runs under the test run's Wine environment.
set -eu
root=$1 toolchain=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/crash-reporter-example.XXXXXX")
cp "$root"/tests/crash/example/CMakeLists.txt "$root"/tests/crash/example/*.cpp "$scratch"/
cmake -S "$scratch" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCRASH_REPORTER_ROOT="$root" >"$scratch/configure.log" 2>&1 ||
  { cat "$scratch/configure.log"; exit 1; }
cmake --build "$scratch/build" --target example -j2 >"$scratch/build.log" 2>&1 ||
  { tail -50 "$scratch/build.log"; exit 1; }
status=0
wine "$scratch/build/example.exe" >"$scratch/report.txt" 2>&1 || status=$?
tr -d '\r' <"$scratch/report.txt" >"$scratch/report.lf"
fail=0
expect() {
  grep -q -- "$1" "$scratch/report.lf" || { echo "missing: $1"; fail=1; }
}
expect '^about to crash$'
expect '^exception class   : EAccessViolation$'
expect "^exception message : Access violation at address \$[0-9a-f]* in module 'example.exe'. Read of address \$0.$"
expect '^main thread (\$[0-9a-f]*):$'
expect '^[0-9a-f]\{8\} example.exe example *[0-9][0-9]* ReadNowhere$'
expect '^modules:$'
expect '^disassembling:$'
[ "$status" -ne 0 ] || { echo "the example's crash ended it with exit code 0"; fail=1; }
if [ "$fail" -eq 0 ]; then
  rm -rf "$scratch"
else
  cat "$scratch/report.lf"
fi
exit "$fail"
