#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The script language against Tcl on the same machine in the same run:
# each case runs in varnok-run and in tclsh by turns, several rounds, and the
# medians of processor time (user + system) and of elapsed time are printed
# with their ratio. Processor time is the fairer figure on a shared machine.
# The Tcl loops run at script level, as the script language's do; inside a
# proc Tcl compiles them to local-variable bytecode and is several times
# faster again.
#
#   bench/interpreter/vs_tclsh.sh [BUILD_DIR]     (default: build/release)
#   ROUNDS=7 bench/interpreter/vs_tclsh.sh
set -euo pipefail

build=${1:-build/release}
run="$build/src/shell/varnok-run"
rounds=${ROUNDS:-5}
[ -x "$run" ] || { echo "no $run: build first (cmake --build --preset release)" >&2; exit 1; }
command -v tclsh >/dev/null || { echo "tclsh not found (apt-get install tcl)" >&2; exit 1; }
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

crlf() { sed 's/$/\r/' >"$1"; }

# 1. Counting loop, 1,000,000 passes.
crlf "$dir/count.varnok-skript" <<'S'
EXEC Skript.User.NewVariable(Text(I))
EXEC Skript.User.I(0)
DO
EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))
LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I 1000000)
IF Main.Bedingung.Mathe.Ungleich(Skript.User.I 1000000)
EXEC Falsch()
ENDIF
S
cat >"$dir/count.tcl" <<'S'
set i 0
while 1 {
    set i [expr {$i + 1}]
    if {!($i < 1000000)} break
}
if {$i != 1000000} { exit 1 }
S

cat >"$dir/incr.tcl" <<'S'
set i 0
while {$i < 1000000} { incr i }
S

# 2. 10,000 appends of 1,000 characters to one variable (10 MB).
crlf "$dir/append.varnok-skript" <<'S'
EXEC Skript.User.NewVariable(Text(C))
EXEC Skript.User.NewVariable(Text(V))
EXEC Skript.User.NewVariable(Text(I))
EXEC Skript.User.C(Text(0123456789))
EXEC Skript.User.I(0)
DO
EXEC Skript.User.C(Main.Text.Plus(Skript.User.C Skript.User.C))
EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))
LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I 7)
EXEC Skript.User.C(Main.Text.Left(Skript.User.C 1000))
EXEC Skript.User.I(0)
DO
EXEC Skript.User.V(Main.Text.Plus(Skript.User.V Skript.User.C))
EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))
LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I 10000)
IF Main.Bedingung.Mathe.Ungleich(Main.Text.Len(Skript.User.V) 10000000)
EXEC Falsch()
ENDIF
S
cat >"$dir/append.tcl" <<'S'
set c [string repeat 0123456789 100]
set v ""
for {set i 0} {$i < 10000} {incr i} { append v $c }
if {[string length $v] != 10000000} { exit 1 }
S

# Prints "elapsed processor" seconds of one run; fails when the run fails.
measure() {
    local out
    out=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>"$dir/err"; } 2>&1 ) \
        || { echo "FAILED: $*" >&2; cat "$dir/err" >&2; exit 1; }
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$out"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

compare() {
    local name=$1 vs=$2 tcl=$3
    : >"$dir/v" ; : >"$dir/t"
    for ((r = 0; r < rounds; r++)); do
        measure "$run" "$vs" >>"$dir/v"
        measure tclsh "$tcl" >>"$dir/t"
    done
    local ve vc te tc
    ve=$(cut -d' ' -f1 "$dir/v" | median); vc=$(cut -d' ' -f2 "$dir/v" | median)
    te=$(cut -d' ' -f1 "$dir/t" | median); tc=$(cut -d' ' -f2 "$dir/t" | median)
    printf '%s (median of %d, start-up included)\n' "$name" "$rounds"
    printf '  varnok-run  processor %6.3f s  elapsed %6.3f s\n' "$vc" "$ve"
    printf '  tclsh       processor %6.3f s  elapsed %6.3f s\n' "$tc" "$te"
    awk -v a="$vc" -v b="$tc" -v c="$ve" -v d="$te" \
        'BEGIN { printf "  ratio varnok/tcl: processor %.2f, elapsed %.2f\n", a / b, c / d }'
}

echo "tclsh $(echo 'puts [info patchlevel]' | tclsh), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
compare "counting loop, 1,000,000 passes (DO / EXEC I = I + 1 / LOOPWHILE I < 1000000)" \
    "$dir/count.varnok-skript" "$dir/count.tcl"
compare "the same loop against Tcl's own shortest form (while {\$i < 1000000} { incr i })" \
    "$dir/count.varnok-skript" "$dir/incr.tcl"
compare "10,000 appends of 1,000 characters (Tcl: append)" "$dir/append.varnok-skript" "$dir/append.tcl"
