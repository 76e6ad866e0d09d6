#!/usr/bin/env bash
# Builds the fuzz preset and runs every target for a fixed time (first
# argument, seconds, default 20) on a copy of its committed corpus, as many at
# once as there are cores. Fails when a target crashes, leaks, times out or is
# missing; the input that did it is kept in build/fuzz/artifacts/.
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

# One target on a copy of its corpus; its verdict goes to $work/NAME.result.
fuzz_one() {
  local name=$1 exe=build/fuzz/fuzz/${1}_fuzz corpus=$work/$1 log=$work/$1.log
  if [ ! -x "$exe" ]; then
    echo "$name: no executable (add ku_add_fuzz($name) to fuzz/CMakeLists.txt)" >"$work/$name.result"
    return
  fi
  # libFuzzer adds what it finds to the corpus directory: use a copy.
  mkdir -p "$corpus"
  if [ -d "fuzz/corpus/$name" ]; then
    cp -r "fuzz/corpus/$name/." "$corpus/"
  fi
  local args=(-max_total_time="$seconds" -timeout=25 -print_final_stats=1
              -artifact_prefix="$artifacts/$name-")
  if [ -f "fuzz/$name.dict" ]; then
    args+=(-dict="fuzz/$name.dict")
  fi
  if "$exe" "${args[@]}" "$corpus" >"$log" 2>&1; then
    local runs cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "ok $name: ${runs:-?} runs, $cov" >"$work/$name.result"
  else
    { echo "$name: FAILED"; grep -v -e '^#[0-9]' "$log" | tail -40; } >"$work/$name.result"
  fi
}

# As many targets at once as there are cores: each runs for its own time.
jobs=$(nproc)
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  fuzz_one "$name" &
done
wait

passed=0
failed=0
for name in "${targets[@]}"; do
  result=$(cat "$work/$name.result" 2>/dev/null || echo "$name: FAILED (no result)")
  case $result in
    "ok "*) echo "${result#ok }"; passed=$((passed + 1)) ;;
    *) echo "$result"; failed=$((failed + 1)) ;;
  esac
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
