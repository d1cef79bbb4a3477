// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Evaluates single expressions inside a live run and collects the numbers of
// the errors they raise (through an ONERROR handler written in the language
// itself), so a test sees value and errors of one evaluation together.

#include "support/testhost.h"

namespace varnok::test {

struct EvalResult
{
    QString value;
    QString errors; // error numbers in order, e.g. "43"
};

class EvalFixture
{
public:
    EvalFixture()
    {
        ctx.run = host.engine().NewSkriptObject();
        ctx.errorHandler = QStringLiteral(
            "EXEC Skript.User.Log(Main.Text.Plus(Skript.User.Log Skript.Error.Nummer))");
        host.engine().Evaluate(u"Skript.User.NewVariable(Text(Log))", ctx);
    }
    EvalResult eval(QStringView expr)
    {
        Engine &e = host.engine();
        e.Evaluate(u"Skript.User.Log(Text())", ctx);
        EvalResult r;
        r.value = e.Evaluate(expr, ctx);
        r.errors = e.GetValueByPath(u"Skript.User.Log", ctx.run, 0);
        return r;
    }
    QString value(QStringView expr) { return eval(expr).value; }
    QString errors(QStringView expr) { return eval(expr).errors; }

    TestHost host;
    EvalContext ctx;
};

} // namespace varnok::test
