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

// Parameters of one call, numbered from 1 (element 0 is unused). A caller
// that knows the numeric value of some of them already (a number literal's,
// a variable's that was read as a number before) hands them beside the
// texts; the built-in takes them from there instead of reading the text
// again, and says there when its result is a whole number, so that a
// variable it is assigned to knows it.
class Params : public QVarLengthArray<QString, 4>
{
public:
    static constexpr qsizetype kKnown = 3; // parameters 1 to 3

    // What the caller knows, on its own stack.
    class Known
    {
    public:
        std::optional<double> result() const
        {
            return m_resultKnown ? std::optional<double>(m_result) : std::nullopt;
        }

    private:
        friend class Params;
        union Value {
            double number;
            const EineVariable *variable;
        };
        std::array<Value, kKnown> m_values; // as the bits say
        quint8 m_numbers = 0;
        quint8 m_variables = 0;
        bool m_resultKnown = false;
        double m_result = 0;
    };

    using QVarLengthArray<QString, 4>::QVarLengthArray;
    explicit Params(Known &known) : m_known(&known) {}

    // numericValue(at(k)).
    double number(qsizetype k) const
    {
        if (m_known && k > 0 && k <= kKnown) {
            const quint8 bit = quint8(1u << k);
            if (m_known->m_numbers & bit)
                return m_known->m_values[size_t(k - 1)].number;
            if (m_known->m_variables & bit)
                return m_known->m_values[size_t(k - 1)].variable->numericContent();
        }
        return numericValue(at(k));
    }
    // The parameter appended next holds the text form of `value`, or the
    // content of `v`.
    void nextIsNumber(double value)
    {
        if (const qsizetype k = size(); m_known && k > 0 && k <= kKnown) {
            m_known->m_values[size_t(k - 1)].number = value;
            m_known->m_numbers |= quint8(1u << k);
        }
    }
    void nextIsContent(const EineVariable &v)
    {
        if (const qsizetype k = size(); m_known && k > 0 && k <= kKnown) {
            m_known->m_values[size_t(k - 1)].variable = &v;
            m_known->m_variables |= quint8(1u << k);
        }
    }
    // Whether the caller wants to know a whole-number result.
    bool takesResult() const { return m_known != nullptr; }
    // The result is the text form of `value`: a whole number below 1E15,
    // whose text reads back as exactly that number.
    void resultIsWhole(double value)
    {
        if (m_known) {
            m_known->m_result = value + 0.0; // the text of -0 is "0"
            m_known->m_resultKnown = true;
        }
    }

private:
    Known *m_known = nullptr;
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
    // Only reads its parameters: it runs nothing of a script (an error it
    // raises is the last thing it does) and keeps nothing of them, so they
    // may lie over texts that live on (Evaluator::callLent).
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
