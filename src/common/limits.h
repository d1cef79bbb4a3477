// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every limit of the script language and of the program, each with its
// reason, in one place. The language's own limits come from its 16-bit
// counters and its fixed tables; scripts observe them, so they never change.
// The program's limits keep a hostile or runaway input from costing
// unbounded memory or time (or the native stack); crossing one is reported
// the way the code using it says, never by ending the application. Nothing
// else in the code spells one of these numbers.

#include <QtGlobal>
#include <cstddef>

namespace varnok::limits {

// ---------------------------------------------------------------------------
// The language

// The 16-bit integer every index, count and level of the language is.
inline constexpr int kInt16Min = -32768;
inline constexpr int kInt16Max = 32767;

// Positions in a node's lists and in an array's index list are 16-bit: a
// list holds at most this many entries, an array this many distinct
// indices (the program's own elements may go past it, docs/interpreter.md).
inline constexpr int kListEntries = kInt16Max;

// Run indexes Skript(n) and user-function call levels are 16-bit; level
// 32767 is the deepest call.
inline constexpr int kRunIndexes = kInt16Max;
inline constexpr int kCallLevels = kInt16Max;

// The evaluator's parenthesis counter is 16-bit: one more open parenthesis
// is a run-time fault (error 2).
inline constexpr int kParenthesisDepth = kInt16Max;

// A call passes at most 100 parameters (later words replace the 100th); a
// value-array access is split into at most 100 pieces the same way.
inline constexpr int kParameters = 100;

// Entries of one runner invocation's DO loop stack.
inline constexpr int kLoopStack = 32000;

// Request windows and script windows: 100 of each kind, indices 1..100, one
// wait entry per script window.
inline constexpr int kWindowsPerKind = 100;

// Main.Mathe.Hoch counts its steps in a 16-bit loop, so only exponents in
// this range are carried out; Main.Mathe.Wurzel negates a negative degree
// in 16 bits, so kInt16Min is no degree.
inline constexpr int kHochExponentMin = kInt16Min + 1;
inline constexpr int kHochExponentMax = kInt16Max - 1;

// ---------------------------------------------------------------------------
// The program: bounds on what an input may cost

// Rewrites of shortcuts within one evaluation: a shortcut cycle ends here
// with error 2.
inline constexpr int kShortcutExpansions = 1000;
// Characters all shortcut rewrites of one evaluation may build together,
// beyond four times the expression's own length: a shortcut whose long
// target names itself again ends with error 2 after a few dozen rewrites
// instead of copying gigabytes.
inline constexpr qsizetype kShortcutText = qsizetype(16) * 1024 * 1024;

// Script runs execute on a stack of their own (src/interpreter/runstack.h)
// so that user functions reach all 32767 call levels and evaluations nest
// without a count of their own; nesting deeper than it holds ends with
// error 2. The first of these sizes the system grants is reserved, committed
// only where a run touches it. One call level of a recursive user function
// takes about 2.4 KiB of it (32767 levels: 80 MiB), one nested parameter
// about 600 bytes; the sanitizer build's frames are about two and a half
// times larger. The size is also what an endless recursion through
// parameters costs before it ends: each level keeps the few kilobytes of
// heap its expression needs, so a larger stack would make such a script
// take gigabytes and many seconds to fail.
#ifdef VARNOK_SANITIZE
inline constexpr std::size_t kRunStackSizes[] = {std::size_t(512) << 20, std::size_t(256) << 20,
                                                 std::size_t(64) << 20};
#else
inline constexpr std::size_t kRunStackSizes[] = {std::size_t(128) << 20, std::size_t(64) << 20,
                                                 std::size_t(16) << 20};
#endif
// The inaccessible pages below it, so that an overrun faults instead of
// writing into whatever lies beneath.
inline constexpr std::size_t kRunStackGuard = std::size_t(64) << 10;
// After a run, the pages of the stack below its top this many bytes go
// back to the system; what every run uses stays.
inline constexpr std::size_t kRunStackKept = std::size_t(256) << 10;
// Bytes of native stack kept free for the event loop, the error box and
// whatever runs at a yield (at most a quarter of a small thread stack).
// Nesting deeper than the stack allows minus this reserve ends with error 2.
inline constexpr std::size_t kStackReserve = std::size_t(1) << 20;

// The largest script file that is loaded (also from standard input).
// Real scripts are kilobytes; this stops a huge or endless file.
inline constexpr qint64 kScriptFileSize = qint64(16) * 1024 * 1024;

// Screen lines a multi-line text box hands Qt's document at most; a longer
// text is shown a window of this many lines at a time (docs/textbox.md).
// The document costs some 150 bytes and 3-5 microseconds per line, so the
// largest script, 3.4 million short lines, would take half a gigabyte and
// over ten seconds; a window of this size costs a sixth of a second and
// 15 MB.
inline constexpr qsizetype kMaxShownLines = 100000;
// Model characters the document holds at most, beside the lines: the
// document keeps a second copy of its text (UTF-16) and a block for each
// line, so a 4 MB script shown whole cost the text three times over (28
// MiB). A window of this size costs about 2 MB of text and, for lines of
// statements, 16,000 blocks (2.4 MB), and is still hundreds of screens long.
// It is the size above which scripts are shown without colours, so a
// script is either shown whole and coloured or windowed and plain.
inline constexpr qsizetype kMaxShownChars = qsizetype(1) << 20;
// The lines around the view a window always holds whole, whatever their
// length, even when they are longer than the bound above together (a text
// of this many lines or fewer is never windowed): a window moves when the
// view comes within a quarter of it of its edge, so it must span several
// screens (a tall editor shows some 140 lines) or every scroll would move
// it. A single line longer than the bound is thus shown whole, as before.
inline constexpr qsizetype kMinShownLines = 400;

// The largest certificate, key or CA file read; a system bundle of every
// root is a few hundred kilobytes.
inline constexpr qint64 kCertificateFileSize = qint64(16) * 1024 * 1024;

// The longest answer header line kept whole; a longer one is cut there.
inline constexpr qsizetype kHeaderLine = qsizetype(1) << 20;
// Room made ahead for an answer body whose Content-Length is known; beyond
// it the text grows as it arrives, so a header claiming more than it sends
// costs nothing.
inline constexpr qint64 kAnswerReserve = qint64(256) << 20;

// Random names tried for a temporary file beside a file being replaced.
inline constexpr int kTemporaryNameAttempts = 100;

// ---------------------------------------------------------------------------
// What the interpreter keeps about texts (docs/interpreter.md, Speed)

// Expressions from outside the script (wait conditions, window status,
// error records) are kept up to this length, and all of them together up
// to this many characters before the cache starts afresh.
inline constexpr qsizetype kCachedExpressionLength = 4096;
inline constexpr qsizetype kCachedExpressionChars = qsizetype(1) << 20;
// Steps of a shortcut's expansion remembered in its segment: only the
// first few, of short texts, for at most a few targets per segment.
inline constexpr int kRememberedExpansions = 8;
inline constexpr qsizetype kRememberedExpansionLength = 4096;
inline constexpr std::size_t kRememberedTargets = 4;
// Statements kept per script text.
inline constexpr std::size_t kCachedStatements = 16384;
// A node's list gets a name index from this many entries, an array a hash
// of its indices past this many.
inline constexpr std::size_t kNameIndexFrom = 8;
inline constexpr std::size_t kArrayHashFrom = 24;
// Frame nodes of finished user-function calls kept per run for later calls
// (and as many empty elements they replaced): enough for the depth of an
// ordinary recursion, so such a call builds and discards no node; deeper
// recursions build the rest as before.
inline constexpr std::size_t kKeptFrames = 256;

} // namespace varnok::limits
