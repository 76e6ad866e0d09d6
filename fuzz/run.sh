#!/usr/bin/env bash
# Builds the fuzz preset and runs every target for a fixed time (first
# argument, seconds, default 20) on a copy of its committed corpus. Fails when
# a target crashes, leaks, times out or is missing; the input that did it is
# kept in build/fuzz/artifacts/.
#
#   fuzz/run.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" _fuzz.cpp)")
  done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"

passed=0
failed=0
for name in "${targets[@]}"; do
  exe=build/fuzz/fuzz/${name}_fuzz
  if [ ! -x "$exe" ]; then
    echo "$name: no executable (add ku_add_fuzz($name) to fuzz/CMakeLists.txt)"
    failed=$((failed + 1))
    continue
  fi
  # libFuzzer adds what it finds to the corpus directory: use a copy.
  corpus=$work/$name
  mkdir -p "$corpus"
  if [ -d "fuzz/corpus/$name" ]; then
    cp -r "fuzz/corpus/$name/." "$corpus/"
  fi
  args=(-max_total_time="$seconds" -timeout=25 -print_final_stats=1
        -artifact_prefix="$artifacts/$name-")
  if [ -f "fuzz/$name.dict" ]; then
    args+=(-dict="fuzz/$name.dict")
  fi
  log=$work/$name.log
  if "$exe" "${args[@]}" "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "$name: ${runs:-?} runs, $cov"
    passed=$((passed + 1))
  else
    echo "$name: FAILED"
    grep -v -e '^#[0-9]' "$log" | tail -40
    failed=$((failed + 1))
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
