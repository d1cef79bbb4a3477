// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine.h"

#include "builtins.h"
#include "expression.h"
#include "scriptcache.h"

#include "objects/builtintree.h"

namespace varnok {

Engine::Engine(Host &host)
    : m_host(host),
      m_root(BuildObjectTree(builtinSites())),
      m_runs(m_root->objectArray(u"Skript")),
      m_exprs(std::make_unique<ExprCache>()),
      m_scripts(std::make_unique<ScriptCaches>())
{
}

Engine::~Engine() = default;

void Engine::SetValueByPath(QStringView path, QStringView value, RunRef run, qint16 callLevel)
{
    QString expr;
    expr.reserve(path.size() + value.size() + 8);
    expr.append(path).append(u"(Text(").append(value).append(u"))");
    EvalContext ctx;
    ctx.run = run;
    ctx.callLevel = callLevel;
    Evaluate(expr, ctx);
}

QString Engine::GetValueByPath(QStringView path, RunRef run, qint16 callLevel)
{
    EvalContext ctx;
    ctx.run = run;
    ctx.callLevel = callLevel;
    return Evaluate(path, ctx);
}

void Engine::setWindowStatus(QStringView arrayName, int index, QStringView value)
{
    QString path;
    path.append(arrayName).append(u'(').append(QString::number(index)).append(u").Status");
    SetValueByPath(path, value, RunRef{}, 0);
}

} // namespace varnok
