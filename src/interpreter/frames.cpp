// SPDX-License-Identifier: GPL-3.0-or-later
#include "frames.h"

namespace varnok {

namespace {

NodePtr frameNode(const NodePtr &runObject, qint16 level, bool create)
{
    if (!runObject)
        return nullptr;
    const ObjectArrayPtr frames = runObject->objectArray(u"Funktion");
    if (!frames)
        return nullptr;
    return create ? frames->claimObject(level) : frames->peekObject(level);
}

} // namespace

void beginFunctionFrame(const RunObjects &runs, const RunRef &run, qint16 level)
{
    const NodePtr frame = frameNode(runs.node(run), level, true);
    if (!frame)
        return;
    frame->AddArrayVariable(u"Parameter");
    frame->AddVariable(u"AnzahlParameter");
    frame->variable(u"AnzahlParameter")->SetInhalt(QStringLiteral("0"));
    frame->AddVariable(u"Rueckgabe");
}

void addFunctionParameter(const RunObjects &runs, const RunRef &run, qint16 level, const QString &value)
{
    const NodePtr frame = frameNode(runs.node(run), level, false);
    if (!frame)
        return;
    const VariablePtr count = frame->variable(u"AnzahlParameter");
    const ValueArrayPtr params = frame->valueArray(u"Parameter");
    if (!count || !params)
        return;
    const double next = numericValue(count->GetInhalt()) + 1;
    count->SetInhalt(numberText(next));
    if (const auto k = toInt16(next))
        params->SetInhalt(*k, value);
}

void endFunctionFrame(const RunObjects &runs, const RunRef &run, qint16 level)
{
    if (const NodePtr runObject = runs.node(run))
        if (const ObjectArrayPtr frames = runObject->objectArray(u"Funktion"))
            frames->ResetObject(level);
}

} // namespace varnok
