#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UBSan) and runs
# each for a bounded time. See docs/fuzzing.md.
#
#   tools/fuzz.sh [-t SECONDS] [-s] [TARGET...]
#
# TARGET is one of evaluator, answerparser, scriptfile, numbers,
# requestsession (default: all), SECONDS the time per target (default
# 60). Each target works in build/fuzz/work/TARGET: corpus/ keeps what it
# found for the next run, artifacts/ receives crash, timeout and
# out-of-memory inputs, log the output.
# Every run starts from the seeds, the regressions and the saved corpus
# fuzz/saved/TARGET (in the repository, so CI starts where the last saved
# run ended). -s afterwards minimises what was found into fuzz/saved/TARGET:
# only inputs that reach code the seeds do not, at most 256 KiB per target.
# Exit status 1 when a target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=60
save=0
# The saved corpus of one target may hold at most this many bytes.
saved_budget=$((256 * 1024))
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -t) seconds="$2"; shift 2 ;;
    -s) save=1; shift ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(evaluator answerparser scriptfile numbers requestsession)

tools/setup.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export QT_QPA_PLATFORM=offscreen

# Minimises the seeds, the regressions, the saved and the found inputs of
# target $1 (binary $2, work folder $3) with libFuzzer's merge and keeps in
# fuzz/saved/$1 those that are not seeds or regressions, smallest first,
# within the budget. Names are the inputs' SHA-1, as libFuzzer gives them.
save_corpus() {
  local t="$1" bin="$2" work="$3" merged="$3/merged"
  rm -rf "$merged" && mkdir -p "$merged"
  cp "$root/fuzz/corpus/$t/"* "$root/fuzz/regressions/$t/"* "$merged/" 2>/dev/null || true
  local before
  before=$(ls "$merged")
  local extra=()
  [ "$t" = evaluator ] && extra=(-max_len=4096 -dict="$root/fuzz/evaluator.dict")
  (cd "$work" && TMPDIR="$work" "$bin" -merge=1 -timeout=10 -rss_limit_mb=2048 "${extra[@]}" \
     "$merged" "$root/fuzz/saved/$t" "$work/corpus" </dev/null >"$work/merge.log" 2>&1) || {
    echo "Zusammenführen von $t fehlgeschlagen, siehe $work/merge.log" >&2
    return 0
  }
  for f in $before; do rm -f "$merged/$f"; done
  rm -rf "$root/fuzz/saved/$t" && mkdir -p "$root/fuzz/saved/$t"
  local used=0 size
  while read -r size f; do
    [ $((used + size)) -le "$saved_budget" ] || break
    cp "$merged/$f" "$root/fuzz/saved/$t/$f"
    used=$((used + size))
  done < <(cd "$merged" && find . -maxdepth 1 -type f -printf '%s %f\n' | sort -n)
  echo "fuzz/saved/$t: $(ls "$root/fuzz/saved/$t" | wc -l) Eingaben, $used Bytes"
}

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
  mkdir -p "$root/fuzz/saved/$t"
  folders=("$work/corpus" "$root/fuzz/corpus/$t" "$root/fuzz/regressions/$t" "$root/fuzz/saved/$t")
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
  elif [ "$save" -eq 1 ]; then
    save_corpus "$t" "$bin" "$work"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Befunde in: ${failed[*]}" >&2
  exit 1
fi
