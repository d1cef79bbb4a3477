// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The native functions behind the built-in table, by the file that holds
// them. All share the BuiltinFunction signature; the table has checked the
// parameter count (unless it is -1) before one runs.

#include "builtins.h"

#include "common/conventions.h"

namespace varnok::builtin {

// The 32-bit integer of a value into `out`; false when out of range. Shared
// by the value and file built-ins.
inline bool int32(double value, qint32 &out)
{
    const auto r = toInt32(value);
    if (r)
        out = *r;
    return r.has_value();
}

// scriptbuiltins.cpp: the run object's own functions and user-function calls.
BuiltinSignature myIndex;
BuiltinSignature myFunktion;
BuiltinSignature userNewFunction;
BuiltinSignature userNewArray;
BuiltinSignature userNewVariable;
BuiltinSignature userNewShortcut;
BuiltinSignature user;

// valuebuiltins.cpp: arithmetic, text, conversion, comparison, logic,
// random numbers and the clock.
BuiltinSignature plus;
BuiltinSignature minus;
BuiltinSignature mal;
BuiltinSignature durch;
BuiltinSignature hoch;
BuiltinSignature wurzel;
BuiltinSignature textPlus;
BuiltinSignature left;
BuiltinSignature right;
BuiltinSignature mid;
BuiltinSignature suche;
BuiltinSignature len;
BuiltinSignature lTrim;
BuiltinSignature rTrim;
BuiltinSignature zTrim;
BuiltinSignature uCase;
BuiltinSignature lCase;
BuiltinSignature chr;
BuiltinSignature asc;
BuiltinSignature groesser;
BuiltinSignature groesserGleich;
BuiltinSignature kleiner;
BuiltinSignature kleinerGleich;
BuiltinSignature gleich;
BuiltinSignature ungleich;
BuiltinSignature textGleich;
BuiltinSignature textUngleich;
BuiltinSignature und;
BuiltinSignature oder;
BuiltinSignature xOder;
BuiltinSignature nicht;
BuiltinSignature random;
BuiltinSignature timer;

// consolebuiltins.cpp: checks, standard output and parameters, for
// running scripts as tests (Main.Test, Main.Konsole, Main.Parameter).
BuiltinSignature pruefe;
BuiltinSignature schreibe;
BuiltinSignature parameter;

// filebuiltins.cpp: Main.File.*.
BuiltinSignature fileRead;
BuiltinSignature fileWrite;
BuiltinSignature fileCreate;
BuiltinSignature fileDelete;
BuiltinSignature fileCopy;

// windowbuiltins.cpp: the request and script windows' functions.
BuiltinSignature seiteSenden;
BuiltinSignature seiteClose;
BuiltinSignature skriptNeu;
BuiltinSignature skriptLaden;
BuiltinSignature skriptSpeichern;
BuiltinSignature skriptAusfuehren;
BuiltinSignature skriptClose;
BuiltinSignature newSkriptFenster;
BuiltinSignature newSeiteFenster;

} // namespace varnok::builtin
