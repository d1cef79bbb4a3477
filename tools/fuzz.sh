#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UBSan) and runs
# each for a bounded time. See docs/fuzzing.md.
#
#   tools/fuzz.sh [-t SECONDS] [TARGET...]
#
# TARGET is one of evaluator, answerparser, scriptfile, numbers (default:
# all), SECONDS the time per target (default 60). Each target works in
# build/fuzz/work/TARGET: corpus/ keeps what it found for the next run,
# artifacts/ receives crash, timeout and out-of-memory inputs, log the output.
# Exit status 1 when a target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=60
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -t) seconds="$2"; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(evaluator answerparser scriptfile numbers)

tools/setup.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export QT_QPA_PLATFORM=offscreen

failed=()
for t in "${targets[@]}"; do
  bin="$root/build/fuzz/fuzz/fuzz_$t"
  if [ ! -x "$bin" ]; then
    echo "Unbekanntes Ziel: $t" >&2
    exit 2
  fi
  work="$root/build/fuzz/work/$t"
  mkdir -p "$work/corpus" "$work/artifacts"
  # New finds go into the first folder; the others are read-only seeds.
  folders=("$work/corpus" "$root/fuzz/corpus/$t" "$root/fuzz/regressions/$t")
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$work/artifacts/")
  if [ "$t" = evaluator ]; then
    # The golden scripts, without the test program beside them.
    rm -rf "$work/golden" && mkdir -p "$work/golden"
    cp "$root"/tests/scripts/*.varnok-skript "$work/golden/"
    folders+=("$work/golden")
    options+=(-max_len=4096 -dict="$root/fuzz/evaluator.dict")
  fi

  echo "== fuzz_$t: $seconds s in $work"
  status=0
  # Paths are absolute: the evaluator changes its working folder per input.
  (cd "$work" && "$bin" "${options[@]}" "${folders[@]}" </dev/null >"$work/log" 2>&1) || status=$?
  grep -E 'DONE +cov|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    "$work/log" || true
  if [ "$t" = evaluator ] && [ "$status" -eq 3 ]; then
    echo "ÜBERSPRUNGEN: $(grep -m1 'fuzz_evaluator:' "$work/log")"
  elif [ "$status" -ne 0 ]; then
    failed+=("$t")
    tail -n 60 "$work/log"
    echo "BEFUND in fuzz_$t; Eingaben: $(ls "$work/artifacts")"
    echo "Nachstellen: (cd $work && $bin $work/artifacts/DATEI)"
    echo "Als Regressionsfall: DATEI nach fuzz/regressions/$t/ (behoben) oder fuzz/open/$t/ (offen)"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Befunde in: ${failed[*]}" >&2
  exit 1
fi
