// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The built-in table: one row per built-in, from which the function nodes
// (the start-up tree, a run's object, the window objects), the dispatch and
// the help window's function rows are made. Adding a built-in is one row
// here plus its native function (docs/architecture.md, "How to add").

#include "engine.h"

#include "objects/builtintree.h"

#include <QVarLengthArray>
#include <array>
#include <optional>
#include <span>

namespace varnok {

// Parameters of one call, numbered from 1 (element 0 is unused). Where the
// caller knows a parameter's numeric value already (a number literal's, a
// variable's that was read as a number before), the built-in takes it from
// here instead of reading the text again; and a built-in whose result is a
// whole number says which, so that a variable it is assigned to knows it.
class Params : public QVarLengthArray<QString, 4>
{
public:
    using QVarLengthArray<QString, 4>::QVarLengthArray;

    // numericValue(at(k)).
    double number(qsizetype k) const
    {
        if (k < kKnown) {
            if (m_known & (1u << k))
                return m_numbers[size_t(k)];
            if (m_fromVariable & (1u << k))
                return m_variables[size_t(k)]->numericContent();
        }
        return numericValue(at(k));
    }
    // The next parameter, which holds the text form of `value`, or the
    // content of `v`.
    void appendNumber(QString &&text, double value)
    {
        m_numbers[size_t(size())] = value;
        m_known |= quint8(1u << size());
        append(std::move(text));
    }
    void appendContent(QString &&text, const EineVariable &v)
    {
        m_variables[size_t(size())] = &v;
        m_fromVariable |= quint8(1u << size());
        append(std::move(text));
    }
    static constexpr qsizetype kKnown = 4;

    // The result is the text form of `value`: a whole number below 1E15,
    // whose text reads back as exactly that number.
    void resultIsWhole(double value)
    {
        m_result = value + 0.0; // the text of -0 is "0"
        m_resultKnown = true;
    }
    std::optional<double> resultNumber() const
    {
        return m_resultKnown ? std::optional<double>(m_result) : std::nullopt;
    }

private:
    std::array<double, kKnown> m_numbers;
    std::array<const EineVariable *, kKnown> m_variables;
    quint8 m_known = 0;
    quint8 m_fromVariable = 0;
    bool m_resultKnown = false;
    double m_result = 0;
};

using BuiltinSignature = QString(Engine &engine, Params &params, const EvalContext &ctx);
using BuiltinFunction = BuiltinSignature *;

// Where the help window's fixed object list names a built-in. The list is
// fixed text with its own grouping (MyIndex at its top, the window
// functions under their windows, the root File node listed with
// Main.File.Copy), so each row says where it appears; built-ins added
// beside that text are None and are documented in the manual pages.
enum class HelpPlace : quint8 {
    None,
    Root,               // beside the shortcut Skript, at the top
    RunUser,            // Skript().User
    RunObject,          // Skript()
    SeiteFenster,       // SeiteFenster()
    SkriptFenster,      // SkriptFenster()
    File,               // File
    MainMathe,          // Main.Mathe
    MainText,           // Main.Text
    MainConvert,        // Main.Convert
    MainBedingungMathe, // Main.Bedingung.Mathe
    MainBedingungText,  // Main.Bedingung.Text
    Main,               // Main
    RootEnd,            // after the shortcut Text, at the end
};

struct Builtin
{
    FunctionSite site;     // the node it is made as and its id (matched in upper case)
    int params = -1;       // -1: any number (checked by the function itself)
    BuiltinFunction run = nullptr; // null: the id names no operation (see the table)
    HelpPlace help = HelpPlace::None;
    // Computes its value from its parameters alone: it runs nothing of a
    // script (an error it raises is the last thing it does) and keeps
    // nothing of them, so they may lie over texts that live on
    // (Evaluator::callLent).
    bool pure = false;
};

// Every row, in the order the nodes are made.
std::span<const Builtin> builtinTable();
// The rows' sites, for the tree and the window objects.
FunctionSites builtinSites();

// The row with an operation whose id matches `name`, or null.
const Builtin *findBuiltin(QStringView name);

// Checks the parameter count and runs the built-in `name` names; `known`,
// when given, is what findBuiltin found for `name` before.
QString callBuiltin(Engine &engine, QStringView name, Params &params, const EvalContext &ctx,
                    const Builtin *known = nullptr);
// The same for a built-in found before.
inline QString callBuiltin(Engine &engine, Params &p, const EvalContext &ctx, const Builtin &known)
{
    const int given = int(p.size()) - 1;
    if (known.params >= 0 && given != known.params)
        return engine.fail(2, ctx);
    return known.run(engine, p, ctx);
}

} // namespace varnok
