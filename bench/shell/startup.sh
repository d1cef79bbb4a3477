#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What starting varnok-run costs, beside other programs that start to do
# nothing much, in the same run and by turns: varnok-run on an empty script,
# tclsh and python3 on an empty script, curl --version. Medians of
# processor time (user + system) and of peak memory (resident set) over
# ROUNDS runs each, and varnok-run's ratio to each peer.
#
#   bench/shell/startup.sh [BUILD_DIR]     (default: build/release)
#   ROUNDS=21 bench/shell/startup.sh
#   BEFORE=/tmp/old/varnok-run bench/shell/startup.sh   (an earlier build beside it)
set -euo pipefail

build=${1:-build/release}
run="$build/src/shell/varnok-run"
rounds=${ROUNDS:-15}
[ -x "$run" ] || { echo "no $run: build first (cmake --build --preset release)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (apt-get install time)" >&2; exit 1; }
command -v perf >/dev/null || { echo "perf not found (apt-get install linux-perf)" >&2; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
: >"$dir/empty.varnok-skript"
: >"$dir/empty.tcl"
: >"$dir/empty.py"

names=(varnok-run)
commands=("$run $dir/empty.varnok-skript")
[ -n "${BEFORE:-}" ] && { names+=(before); commands+=("$BEFORE $dir/empty.varnok-skript"); }
command -v tclsh >/dev/null && { names+=(tclsh); commands+=("tclsh $dir/empty.tcl"); }
# The interpreter itself, not a version manager's wrapper script.
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3 || true)
[ -n "$python" ] && { names+=(python3); commands+=("$python $dir/empty.py"); }
command -v curl >/dev/null && { names+=(curl); commands+=("curl --version"); }

# One run: "processor_ms peak_kib"; fails when the program fails. The
# processor time is perf's task clock (the rusage figures count in 10 ms
# steps); it includes starting /usr/bin/time, which reads the peak memory,
# about 0.5 ms alike for every program.
measure() {
    # shellcheck disable=SC2086 # the command is split on purpose
    perf stat -x, -e task-clock -o "$dir/perf" -- /usr/bin/time -o "$dir/time" -f '%M' $1 \
        >/dev/null 2>"$dir/err" || { echo "FAILED: $1" >&2; cat "$dir/err" >&2; exit 1; }
    printf '%s %s\n' "$(awk -F, '/task-clock/ { print $1 }' "$dir/perf")" "$(cat "$dir/time")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for ((i = 0; i < ${#names[@]}; i++)); do : >"$dir/r$i"; done
for ((r = 0; r < rounds; r++)); do
    for ((i = 0; i < ${#names[@]}; i++)); do
        measure "${commands[$i]}" >>"$dir/r$i"
    done
done

echo "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), median of $rounds runs each"
declare -a cpu mem
for ((i = 0; i < ${#names[@]}; i++)); do
    cpu[i]=$(cut -d' ' -f1 "$dir/r$i" | median)
    mem[i]=$(cut -d' ' -f2 "$dir/r$i" | median)
    lo=$(cut -d' ' -f1 "$dir/r$i" | sort -n | head -1)
    hi=$(cut -d' ' -f1 "$dir/r$i" | sort -n | tail -1)
    printf '  %-11s processor %6.1f ms (%.1f–%.1f)  peak memory %6.1f MiB\n' \
        "${names[i]}" "${cpu[i]}" "$lo" "$hi" "$(awk -v m="${mem[i]}" 'BEGIN { print m / 1024 }')"
done
for ((i = 1; i < ${#names[@]}; i++)); do
    awk -v a="${cpu[0]}" -v b="${cpu[i]}" -v c="${mem[0]}" -v d="${mem[i]}" -v n="${names[i]}" \
        'BEGIN { printf "  varnok-run / %-8s processor %.2f, memory %.2f\n", n, (b > 0 ? a / b : 0), c / d }'
done
