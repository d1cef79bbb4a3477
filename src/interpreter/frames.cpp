// SPDX-License-Identifier: GPL-3.0-or-later
#include "frames.h"
#include "common/limits.h"

namespace varnok {

namespace {

// The names a frame's entries are looked up by, normalised once.
struct FrameNames
{
    static const FrameNames &get()
    {
        static const FrameNames names;
        return names;
    }
    FixedName funktion{u"Funktion"};
    FixedName parameter{u"Parameter"};
    FixedName anzahl{u"AnzahlParameter"};
    FixedName rueckgabe{u"Rueckgabe"};
};

ArrayObjects *framesOf(const NodePtr &runObject)
{
    if (!runObject)
        return nullptr;
    // Made with the run's object and never replaced while it lives.
    const ObjectArrayPtr *frames = runObject->objectArraySlot(FrameNames::get().funktion.key());
    return frames ? frames->get() : nullptr;
}

bool isEmptyNode(const ScriptObjects &n)
{
    return n.objectCount() == 0 && n.shortcutCount() == 0 && n.variableCount() == 0 && n.functionCount() == 0
        && n.valueArrayCount() == 0 && n.objectArrayCount() == 0;
}

// A frame holding exactly what beginFunctionFrame puts in it, of which no
// one but the frame itself keeps any part: it can serve the next call once
// its values are set back.
bool isPlainFrame(const NodePtr &n)
{
    if (n.use_count() != 1 || n->objectCount() != 0 || n->shortcutCount() != 0 || n->functionCount() != 0
        || n->objectArrayCount() != 0 || n->variableCount() != 2 || n->valueArrayCount() != 1)
        return false;
    const FrameNames &names = FrameNames::get();
    const auto &vars = n->variables();
    return vars[0].use_count() == 1 && vars[1].use_count() == 1 && n->valueArrays()[0].use_count() == 1
        && vars[0]->GetName() == names.anzahl.name && vars[1]->GetName() == names.rueckgabe.name
        && n->valueArrays()[0]->GetName() == names.parameter.name && !vars[0]->isBound() && !vars[1]->isBound();
}

void fillNewFrame(ScriptObjects &frame)
{
    frame.AddArrayVariable(u"Parameter");
    frame.AddVariable(u"AnzahlParameter");
    frame.variable(u"AnzahlParameter")->SetInhalt(QStringLiteral("0"));
    frame.AddVariable(u"Rueckgabe");
}

// The frame node for a call at `level`, its entries in place and their
// values as a new frame's.
NodePtr openFrame(RunObjects &runs, const RunRef &run, qint16 level)
{
    ArrayObjects *frames = framesOf(runs.node(run));
    if (!frames)
        return nullptr;
    NodePtr frame = frames->claimObject(level);
    // A frame that served an earlier call takes the place of the empty
    // element, unless something else holds that element (an evaluation
    // that reached it and goes on with it after the call).
    FramePool &pool = runs.framePool();
    if (!pool.used.empty() && frame.use_count() == 2 && isEmptyNode(*frame)) {
        NodePtr reused = std::move(pool.used.back());
        pool.used.pop_back();
        // Its values as a new frame's; its entries, and so what lookups
        // found in it, stay.
        reused->valueArrays()[0]->Initialize();
        reused->variables()[0]->SetInhalt(QStringLiteral("0"));
        reused->variables()[1]->SetInhalt(QString());
        NodePtr empty = frames->exchangeObject(level, reused);
        if (pool.empty.size() < limits::kKeptFrames)
            pool.empty.push_back(std::move(empty));
        return reused;
    }
    fillNewFrame(*frame);
    return frame;
}

} // namespace

void beginFunctionFrame(RunObjects &runs, const RunRef &run, qint16 level)
{
    openFrame(runs, run, level);
}

void beginFunctionFrame(RunObjects &runs, const RunRef &run, qint16 level, std::span<const QString> params)
{
    const NodePtr frame = openFrame(runs, run, level);
    if (!frame || params.empty())
        return;
    const FrameNames &names = FrameNames::get();
    const VariablePtr *count = frame->variableSlot(names.anzahl.key());
    const ValueArrayPtr *values = frame->valueArraySlot(names.parameter.key());
    if (!count || !values)
        return;
    // Nothing runs between the parameters: the count goes from 0 to their
    // number, one at a time.
    qint16 k = 0;
    for (const QString &value : params)
        (*values)->SetInhalt(++k, value);
    (*count)->SetInhalt(integerText(k));
}

void addFunctionParameter(const RunObjects &runs, const RunRef &run, qint16 level, const QString &value)
{
    ArrayObjects *frames = framesOf(runs.node(run));
    const NodePtr frame = frames ? frames->peekObject(level) : nullptr;
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

void endFunctionFrame(RunObjects &runs, const RunRef &run, qint16 level)
{
    ArrayObjects *frames = framesOf(runs.node(run));
    if (!frames)
        return;
    FramePool &pool = runs.framePool();
    if (!pool.empty.empty()) {
        // The frame's place gets an empty element, as a new one would be;
        // the frame itself is kept for a later call if nothing else holds it.
        NodePtr empty = std::move(pool.empty.back());
        pool.empty.pop_back();
        NodePtr done = frames->exchangeObject(level, std::move(empty));
        if (done && isPlainFrame(done) && pool.used.size() < limits::kKeptFrames)
            pool.used.push_back(std::move(done));
        return;
    }
    NodePtr done = frames->peekObject(level);
    frames->ResetObject(level);
    if (done && isPlainFrame(done) && pool.used.size() < limits::kKeptFrames)
        pool.used.push_back(std::move(done));
}

bool readFrameReturn(Engine &engine, const RunRef &run, qint16 level, QString &out)
{
    // The walk along Skript.Funktion.Rueckgabe goes through the root's
    // shortcut Skript and the run object's shortcut Funktion, which the
    // program makes and no script can change, to the frame at `level`; a
    // frame has no shortcuts, so the name finds its variable. Near the end
    // of the stack the evaluation itself decides.
    constexpr size_t kFramesBelow = 16 * 1024;
    if (run.index == 0 || !engine.isCurrent(run)
        || engine.guard().exhausted(static_cast<const char *>(__builtin_frame_address(0)) - kFramesBelow))
        return false;
    ArrayObjects *frames = framesOf(engine.runs().node(run));
    const NodePtr frame = frames ? frames->peekObject(level) : nullptr;
    if (!frame || frame->shortcutCount() != 0)
        return false;
    const VariablePtr *value = frame->variableSlot(FrameNames::get().rueckgabe.key());
    if (!value)
        return false;
    out = (*value)->GetInhalt();
    return true;
}

} // namespace varnok
