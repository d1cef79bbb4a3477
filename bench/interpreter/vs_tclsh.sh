#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The script language against Tcl on the same machine in the same run:
# each case runs in varnok-run and in tclsh by turns, several rounds, and the
# medians of processor time (user + system) and of elapsed time are printed
# with their ratio. Processor time is the fairer figure on a shared machine.
# The Tcl loops run at script level, as the script language's do; inside a
# proc Tcl compiles them to local-variable bytecode and is several times
# faster again. Each case also prints the cost of one pass (or call) with
# its min-max over the rounds: processor time less the median of that
# program starting on an empty script, divided by the passes. python3 runs
# the same cases when it is installed.
#
#   bench/interpreter/vs_tclsh.sh [BUILD_DIR]     (default: build/release)
#   ROUNDS=7 bench/interpreter/vs_tclsh.sh
#   BASELINE=/path/to/other/varnok-run bench/interpreter/vs_tclsh.sh
# BASELINE runs an earlier build by turns with the others, so that a change
# is measured beside its peers under the same load.
set -euo pipefail

build=${1:-build/release}
run="$build/src/shell/varnok-run"
rounds=${ROUNDS:-5}
[ -x "$run" ] || { echo "no $run: build first (cmake --build --preset release)" >&2; exit 1; }
base=${BASELINE:-}
[ -z "$base" ] || [ -x "$base" ] || { echo "no $base" >&2; exit 1; }
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

# 3. Recursive Fibonacci as a user function (Tcl: a proc), fib(22) and fib(25):
# 57,313 and 242,785 calls.
fib() {
    crlf "$dir/fib$1.varnok-skript" <<S
GOTO Start
:Fib
IF Main.Bedingung.Mathe.Kleiner(Skript.Funktion.Parameter(1) 2)
EXEC Skript.Funktion.Rueckgabe(Skript.Funktion.Parameter(1))
EXITFUNCTION
ENDIF
EXEC Skript.Funktion.Rueckgabe(Main.Mathe.Plus(Skript.User.Fib(Main.Mathe.Minus(Skript.Funktion.Parameter(1) 1)) Skript.User.Fib(Main.Mathe.Minus(Skript.Funktion.Parameter(1) 2))))
EXITFUNCTION
:Start
EXEC Skript.User.NewFunction(Text(Fib) Text(Fib))
IF Main.Bedingung.Mathe.Ungleich(Skript.User.Fib($1) $2)
EXEC Falsch()
ENDIF
S
    cat >"$dir/fib$1.tcl" <<S
proc fib {n} { if {\$n < 2} { return \$n }; return [expr {[fib [expr {\$n - 1}]] + [fib [expr {\$n - 2}]]}] }
if {[fib $1] != $2} { exit 1 }
S
    cat >"$dir/fib$1.py" <<S
import sys
def fib(n):
    return n if n < 2 else fib(n - 1) + fib(n - 2)
if fib($1) != $2: sys.exit(1)
S
}
fib 22 17711
fib 25 75025

cat >"$dir/count.py" <<'S'
import sys
i = 0
while True:
    i = i + 1
    if not i < 1000000: break
if i != 1000000: sys.exit(1)
S

# Empty scripts: what each program costs before its first statement.
printf '' >"$dir/empty.varnok-skript"
printf '' >"$dir/empty.tcl"
printf '' >"$dir/empty.py"

# Prints "elapsed processor" seconds of one run; fails when the run fails.
measure() {
    local out
    out=$( { TIMEFORMAT='%R %U %S'; time "$@" <"${input:-/dev/null}" >/dev/null 2>"$dir/err"; } 2>&1 ) \
        || { echo "FAILED: $*" >&2; cat "$dir/err" >&2; exit 1; }
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$out"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
range() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }

# The interpreter itself, not a launcher script in front of it (pyenv).
python=$(python3 -c 'import sys; print(sys.executable)' 2>/dev/null || true)
startup_v=0 startup_t=0 startup_p=0 startup_b=0
startups() {
    : >"$dir/sv"; : >"$dir/st"; : >"$dir/sp"; : >"$dir/sb"
    for ((r = 0; r < rounds; r++)); do
        measure "$run" "$dir/empty.varnok-skript" | cut -d' ' -f2 >>"$dir/sv"
        [ -z "$base" ] || measure "$base" "$dir/empty.varnok-skript" | cut -d' ' -f2 >>"$dir/sb"
        measure tclsh "$dir/empty.tcl" | cut -d' ' -f2 >>"$dir/st"
        [ -z "$python" ] || measure "$python" "$dir/empty.py" | cut -d' ' -f2 >>"$dir/sp"
    done
    startup_v=$(median <"$dir/sv"); startup_t=$(median <"$dir/st")
    [ -z "$base" ] || startup_b=$(median <"$dir/sb")
    [ -z "$python" ] || startup_p=$(median <"$dir/sp")
    printf 'start-up on an empty script (median of %d, processor): varnok-run %.3f s, tclsh %.3f s' \
        "$rounds" "$startup_v" "$startup_t"
    [ -z "$python" ] || printf ', python3 %.3f s' "$startup_p"
    [ -z "$base" ] || printf ', baseline %.3f s' "$startup_b"
    printf '\n'
}

# One line per program: medians of processor and elapsed time, then the cost
# of one unit (µs, start-up taken off) as median and min-max.
report() {
    local label=$1 file=$2 startup=$3 units=$4 unit=$5
    local e c
    e=$(cut -d' ' -f1 "$file" | median); c=$(cut -d' ' -f2 "$file" | median)
    awk -v s="$startup" -v n="$units" '{ printf "%.3f\n", ($2 - s) * 1e6 / n }' "$file" >"$file.per"
    printf '  %-11s processor %6.3f s  elapsed %6.3f s  per %s %.3f µs (%s)\n' "$label" "$c" "$e" "$unit" \
        "$(median <"$file.per")" "$(range <"$file.per")"
}

# compare NAME UNITS UNIT VARNOK TCL [PYTHON]; a TCL of "<FILE" is read
# from standard input, where tclsh runs each command as it arrives.
compare() {
    local name=$1 units=$2 unit=$3 vs=$4 tcl=$5 py=${6:-}
    : >"$dir/v" ; : >"$dir/t"; : >"$dir/p"; : >"$dir/b"
    for ((r = 0; r < rounds; r++)); do
        measure "$run" "$vs" >>"$dir/v"
        [ -z "$base" ] || measure "$base" "$vs" >>"$dir/b"
        if [ "${tcl:0:1}" = "<" ]; then
            input=${tcl:1} measure tclsh >>"$dir/t"
        else
            measure tclsh "$tcl" >>"$dir/t"
        fi
        [ -z "$python" ] || [ -z "$py" ] || measure "$python" "$py" >>"$dir/p"
    done
    local ve vc te tc
    ve=$(cut -d' ' -f1 "$dir/v" | median); vc=$(cut -d' ' -f2 "$dir/v" | median)
    te=$(cut -d' ' -f1 "$dir/t" | median); tc=$(cut -d' ' -f2 "$dir/t" | median)
    printf '%s (median of %d, start-up included)\n' "$name" "$rounds"
    report varnok-run "$dir/v" "$startup_v" "$units" "$unit"
    [ -z "$base" ] || report baseline "$dir/b" "$startup_b" "$units" "$unit"
    report tclsh "$dir/t" "$startup_t" "$units" "$unit"
    [ -z "$python" ] || [ -z "$py" ] || report python3 "$dir/p" "$startup_p" "$units" "$unit"
    awk -v a="$vc" -v b="$tc" -v c="$ve" -v d="$te" \
        'BEGIN { printf "  ratio varnok/tcl: processor %.2f, elapsed %.2f\n", a / b, c / d }'
}

echo "tclsh $(echo 'puts [info patchlevel]' | tclsh)${python:+, $("$python" --version 2>&1)}, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
startups
compare "counting loop, 1,000,000 passes (DO / EXEC I = I + 1 / LOOPWHILE I < 1000000)" 1000000 pass \
    "$dir/count.varnok-skript" "$dir/count.tcl" "$dir/count.py"
compare "the same loop, Tcl reading it from standard input" 1000000 pass \
    "$dir/count.varnok-skript" "<$dir/count.tcl"
compare "the same loop against Tcl's own shortest form (while {\$i < 1000000} { incr i })" 1000000 pass \
    "$dir/count.varnok-skript" "$dir/incr.tcl"
compare "10,000 appends of 1,000 characters (Tcl: append)" 10000 append \
    "$dir/append.varnok-skript" "$dir/append.tcl"
compare "fib(22) as a user function (Tcl: a proc), 57,313 calls" 57313 call \
    "$dir/fib22.varnok-skript" "$dir/fib22.tcl" "$dir/fib22.py"
compare "fib(25) as a user function (Tcl: a proc), 242,785 calls" 242785 call \
    "$dir/fib25.varnok-skript" "$dir/fib25.tcl" "$dir/fib25.py"
