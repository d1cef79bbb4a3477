// SPDX-License-Identifier: GPL-3.0-or-later
// The call-expression evaluator: walks the object tree along an
// expression's dotted path (its segments scanned once per text, see
// expression.h), follows shortcuts to the text they expand to, and hands
// function calls to the built-in table. Every step happens in the order and
// with the outcome a scan of the text would have.

#include "common/limits.h"
#include "builtinfunctions.h"
#include "builtins.h"
#include "expression.h"
#include "engine.h"
#include "upperid.h"

#include "common/conventions.h"

#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace varnok {

namespace {

using Words = QVarLengthArray<QStringView, 4>;

constexpr QStringView kSkriptTarget = u"Skript(MyIndex())";
constexpr QStringView kFunktionTarget = u"Skript.Funktion(Skript.MyFunktion())";
constexpr QStringView kFunktionPrefix = u"Skript(MyIndex()).Funktion(Skript.MyFunktion())";

// A call's words: the name and at most 100 parameters.
void splitCallWords(QStringView text, Words &words, int &depth, const ParenJumps *jumps = nullptr)
{
    splitWords(text, words, depth, limits::kParameters + 1, jumps);
}

bool isLiteralText(QStringView name)
{
    return matchesUpperId(name, QLatin1StringView("MAINCONVERTTEXT"));
}

// What a one-word function body names, remembered in the function: an entry
// of the built-in table, Text, or nothing known.
const Builtin kLiteralText{{FunctionHome::None, {}, u"MainConvertText"}};
const Builtin kNoBuiltin{};

const Builtin *dispatchOf(const EineFunktion &f)
{
    if (const Builtin *known = f.dispatchCache())
        return known;
    const QString &body = f.GetFunktion();
    const Builtin *entry = isLiteralText(body) ? &kLiteralText : findBuiltin(body);
    f.setDispatchCache(entry ? entry : &kNoBuiltin);
    return f.dispatchCache();
}

// The position after the first blank outside parentheses, or -1.
qsizetype afterFirstWord(QStringView text)
{
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const ushort c = text[i].unicode();
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        else if (c == ' ' && depth == 0)
            return i + 1;
    }
    return -1;
}

// Sub-expressions over the views of `words`, which lie in `x`'s text.
std::unique_ptr<std::vector<SubExpr>> subExprs(const Words &words, qsizetype from, const Expr &x)
{
    auto out = std::make_unique<std::vector<SubExpr>>(size_t(words.size() - from));
    for (qsizetype k = from; k < words.size(); ++k) {
        (*out)[size_t(k - from)].text = words[k];
        (*out)[size_t(k - from)].jumps = x.jumps();
    }
    return out;
}

// How one evaluation is carried out beyond its text: whether its caller
// throws the result away, and which variable the result is about to replace.
struct Purpose
{
    bool discard = false;                 // an EXEC statement's own evaluation
    // The value evaluated for an assignment. Where it is the text form of a
    // whole number, the evaluation that made that text (a number literal, a
    // lent built-in's result handed back as it is) notes which number for
    // this variable (Engine::assignedNumber).
    EineVariable *assignTarget = nullptr;
};

// One evaluation's view of the engine. It holds nothing but the engine, so
// it costs nothing to make one per call.
class Evaluator
{
public:
    explicit Evaluator(Engine &engine) : m_engine(engine) {}

    // `inputSize`: the length of the text as handed to the evaluation,
    // which sets how much text shortcut expansions may build.
    QString evaluate(const Expr &e, qsizetype inputSize, const EvalContext &ctx, Purpose purpose);
    bool assignsLentCall(const Expr &e, const EvalContext &ctx);
    // A statement's condition: evaluated as evaluate() does.
    QString condition(const Expr &e, const EvalContext &ctx)
    {
        if (e.kind == Expr::Kind::Path && e.walk.layout == ScriptObjects::lastLayout() && !knownNotLent(e)
            && !released(ctx) && !nearStackEnd()) {
            // A remembered call's result is made where the caller reads it.
            if (const Expr::LentCall *known = e.lent.get();
                known && known->layout == ScriptObjects::lastLayout() && lentHolds(*known, e.text.size(), ctx, {}))
                return callWithLent(*known->builtin, known->params.data(), known->count, ctx, nullptr);
            QString value;
            if (tryLentCall(e, e.text.size(), ctx, {}, value))
                return value;
        }
        return evaluate(e, e.text.size(), ctx, {});
    }

private:
    QString fail(int number, const EvalContext &ctx) { return m_engine.fail(number, ctx); }
    // Error 4 for the segment `s` of `x`, naming it for the person who reads
    // the box (scripts see the same error as ever).
    QString notFound(const Expr &x, const Segment &s, const EvalContext &ctx)
    {
        const qsizetype to = s.argFrom >= 0 ? s.argFrom : s.end;
        QStringView path = QStringView(x.text).left(to);
        // After a shortcut taken straight to its object, the text the
        // expansion would have built.
        QString expanded;
        if (m_prefix.expr == &x && to > m_prefix.end) {
            expanded = concat({m_prefix.text, path.mid(m_prefix.end)});
            path = expanded;
        }
        const qsizetype dot = path.lastIndexOf(u'.');
        m_engine.noteMissingName(path.mid(dot + 1).trimmed().toString(), path.trimmed().toString());
        return fail(4, ctx);
    }
    // The one rule for released runs (docs/interpreter.md): once the run an
    // evaluation belongs to is no longer current, it evaluates nothing more.
    bool released(const EvalContext &ctx) const { return !m_engine.isCurrent(ctx.run); }
    // Every nested evaluation goes through these: its value, or nothing when
    // the run was released meanwhile, after which the enclosing evaluation
    // yields the empty text at once and carries out nothing.
    [[gnu::always_inline]] std::optional<QString> nested(const SubExpr &sub, const EvalContext &ctx,
                                                         Purpose purpose = {})
    {
        // One result object throughout: this sits inline in every frame
        // that evaluates parameters.
        std::optional<QString> value;
        const Expr &e = sub.get();
        // A number literal yields its text, and a path whose walk is
        // remembered what it reads or calls, unless the evaluation would
        // find the run released or the stack at its end.
        if (e.kind == Expr::Kind::Number && e.numberOk && !released(ctx) && !nearStackEnd()) {
            if (purpose.assignTarget)
                m_engine.assignedNumber() = {purpose.assignTarget, e.numberValue};
            value = e.number;
        } else if (!(e.kind == Expr::Kind::Path && e.walk.layout == ScriptObjects::lastLayout() && !knownNotLent(e)
                     && alongWalk(e, sub.text.size(), ctx, purpose, value))) {
            value.emplace(Evaluator(m_engine).evaluate(e, sub.text.size(), ctx, purpose));
            if (released(ctx))
                value.reset();
        }
        return value;
    }
    std::optional<QString> nested(QStringView text, const EvalContext &ctx, const Expr *within)
    {
        QString value = within && within->jumps() && text.size() > limits::kCachedExpressionLength
                                && text.utf16() >= within->text.utf16()
                                && text.utf16() + text.size() <= within->text.utf16() + within->text.size()
                            ? evaluateWithin(text, ctx, *within)
                            : m_engine.Evaluate(text, ctx);
        if (released(ctx))
            return std::nullopt;
        return value;
    }
    // The node the last segment of `x` is looked up in, when the walk there
    // is remembered and still holds (Expr::Walk); a walk through Skript
    // counts and charges what runShortcut would. Null otherwise: the caller
    // walks the path.
    const ScriptObjects *walkedBefore(const Expr &x, const EvalContext &ctx, int &expansions, qsizetype &textBudget)
    {
        const Expr::Walk &w = x.walk;
        if (w.layout != ScriptObjects::lastLayout() || w.root != &m_engine.root())
            return nullptr;
        if (w.run && !throughRun(w, ctx, expansions, textBudget))
            return nullptr;
        return w.node;
    }
    bool throughRun(const Expr::Walk &w, const EvalContext &ctx, int &expansions, qsizetype &textBudget);
    const ScriptObjects *walkedBeforeHere(const Expr &x, const EvalContext &ctx, int &expansions,
                                          qsizetype &textBudget);
    void rememberWalk(const Expr &x, const ScriptObjects *run, const ScriptObjects *node);
    // The variable an evaluation of the path `e` would do nothing but read,
    // found along its remembered walk; null when it would do anything else
    // or the walk is not remembered. The caller has checked the run and the
    // stack as for a literal.
    // How much text the shortcut expansions of one evaluation may write: a
    // fixed allowance and four times the text being evaluated.
    qsizetype shortcutTextBudget(qsizetype inputSize) const
    {
        return m_engine.guard().limits.shortcutText + 4 * inputSize;
    }
    const EineVariable *readsVariable(const Expr &e, qsizetype inputSize, const EvalContext &ctx)
    {
        int expansions = 0;
        qsizetype textBudget = shortcutTextBudget(inputSize);
        const ScriptObjects *node = walkedBefore(e, ctx, expansions, textBudget);
        if (!node)
            return nullptr;
        const Segment &last = e.last();
        if (last.argFrom >= 0)
            return nullptr;
        const Segment::Found &found = last.lookUp(*node);
        return found.shortcut ? nullptr : found.variable;
    }
    bool alongWalk(const Expr &e, qsizetype inputSize, const EvalContext &ctx, const Purpose &purpose,
                   std::optional<QString> &value);
    static bool knownNotLent(const Expr &e)
    {
        const Expr::LentCall *known = e.lent.get();
        return known && !known->lendable && known->layout == ScriptObjects::lastLayout();
    }
    bool lentCall(const Expr &e, qsizetype inputSize, const EvalContext &ctx, const Purpose &purpose,
                  QString &result)
    {
        // Known not to be lent at this layout: the usual outcome for calls
        // of user functions and calls with evaluated parameters.
        if (const Expr::LentCall *known = e.lent.get(); known && known->layout == ScriptObjects::lastLayout()) {
            if (!known->lendable)
                return false;
            if (lentHolds(*known, inputSize, ctx, purpose)) {
                result = callWithLent(*known->builtin, known->params.data(), known->count, ctx, purpose.assignTarget);
                return true;
            }
        }
        return tryLentCall(e, inputSize, ctx, purpose, result);
    }
    // A call remembered at this layout is carried out as it was last: what
    // its walks found cannot have changed.
    bool lentHolds(const Expr::LentCall &known, qsizetype inputSize, const EvalContext &ctx, const Purpose &purpose)
    {
        const EngineLimits &limits = m_engine.guard().limits;
        if (known.root != &m_engine.root() || known.inputSize != inputSize
            || known.function->dispatchCache() != known.builtin
            || known.shortcutExpansions != limits.shortcutExpansions || known.shortcutText != limits.shortcutText
            || (purpose.assignTarget && known.builtin->run == &builtin::textPlus))
            return false;
        if (known.run) {
            const RootPaths *r = rootPaths();
            if (!r || runObject(*r, ctx) != known.run)
                return false;
        }
        for (size_t k = 0; k < known.count; ++k)
            if (known.params[k].variable && known.params[k].variable->isBound())
                return false;
        return true;
    }
    bool tryLentCall(const Expr &e, qsizetype inputSize, const EvalContext &ctx, const Purpose &purpose,
                     QString &result);
    bool callLent(const Builtin &known, const std::vector<SubExpr> &words, const EvalContext &ctx, QString &result,
                  const EineVariable *target, Expr::LentCall *record = nullptr);
    bool callLentAt(const Builtin &known, const Expr &x, const std::vector<SubExpr> &words, const EvalContext &ctx,
                    QString &result, const EineVariable *target);
    QString callWithLent(const Builtin &known, const Expr::LentCall::Param *lent, size_t count, const EvalContext &ctx,
                         const EineVariable *target);
    const Expr *expand(const Expr &x, const Segment &s, const QString &target, bool afterDot,
                       int &expansions, qsizetype &textBudget, std::shared_ptr<const Expr> &held);
    QString assignVariable(EineVariable &v, const Expr &x, const Segment &s, const EvalContext &ctx,
                           bool discard);
    QString arrayAccess(ArrayVariable &array, const Expr &x, const Segment &s, const EvalContext &ctx);
    NodePtr arrayElement(ArrayObjects *array, const Expr &x, const Segment &s, const EvalContext &ctx);
    std::optional<qint16> runIndexCall(const SubExpr &sub, const EvalContext &ctx);
    QString callFunction(QStringView callText, const EvalContext &ctx);
    QString callBuiltinOf(const Builtin &known, const Expr &x, const Segment &s, const EvalContext &ctx,
                          const Purpose &purpose);
    QString callFunctionOf(const EineFunktion &f, const Expr &x, const Segment &s, const EvalContext &ctx);
    static const std::vector<SubExpr> &splitParameters(const Expr &x, const Segment &s);
    std::shared_ptr<const CallWords> splitCall(const QString &body, const Expr &x, const Segment &s);
    QString callWords(Words &words, const EvalContext &ctx, const Expr *within = nullptr);
    QString evaluateWithin(QStringView text, const EvalContext &ctx, const Expr &within);

    enum class Direct { No, Stop, Node };
    Direct runShortcut(const Expr &x, const Segment &s, const EineVerknuepfung &sc, const EvalContext &ctx,
                       int &expansions, qsizetype &textBudget, NodePtr &anchor, const ScriptObjects *&node,
                       ArrayObjects *&borrowedFrom);
    // The root's shortcut Skript and MyIndex as the program makes them, or
    // null when the root holds anything that would make a path through them
    // go another way. What was found holds while the root's layout, the
    // shortcut's target and what MyIndex's body names stay.
    [[gnu::always_inline]] const RootPaths *rootPaths()
    {
        const RootPaths &r = m_engine.rootPaths();
        if (r.layout == m_engine.root().layout() && r.usable && r.myIndex->dispatchCache() == r.myIndexRow
            && r.skript->GetVerknuepfung().constData() == r.skriptTarget)
            return &r;
        return checkRootPaths();
    }
    const RootPaths *checkRootPaths();
    // The current run's object where the run objects know it, else null.
    [[gnu::always_inline]] ScriptObjects *runObject(const RootPaths &r, const EvalContext &ctx)
    {
        const RunObjects &runs = m_engine.runs();
        return runs.array() == r.runs ? runs.borrowedNode(ctx.run) : nullptr;
    }
    bool nearStackEnd()
    {
        // A nested evaluation checks the stack a few frames further down.
        constexpr size_t kFramesBelow = 16 * 1024;
        return m_engine.guard().exhausted(static_cast<const char *>(__builtin_frame_address(0)) - kFramesBelow);
    }

    Engine &m_engine;
    // The part of `expr`'s text before `end` stands for `text`: a shortcut
    // was taken straight to its object instead of building its expansion.
    struct Prefix
    {
        const Expr *expr = nullptr;
        qsizetype end = 0;
        QStringView text;
    } m_prefix;
};

// The rewritten expression a shortcut leads to: its target, then after a
// dot the rest of the path, or at the last segment its argument text.
// Null past the limit of expansions or when the texts they build together
// run out of `textBudget`: a shortcut whose long target names itself again
// grows the text by the target on every expansion, and building and
// scanning it would take minutes before the count ran out. The budget is
// charged as if every expansion built its text, remembered or not.
[[gnu::noinline]] const Expr *Evaluator::expand(const Expr &x, const Segment &s, const QString &target,
                                               bool afterDot, int &expansions, qsizetype &textBudget,
                                               std::shared_ptr<const Expr> &held)
{
    const QStringView rest = afterDot ? QStringView(x.text).mid(s.end + 1)
                                      : (s.argFrom < 0 ? QStringView() : QStringView(x.text).mid(s.argFrom));
    const qsizetype size = target.size() + (afterDot ? 1 : 0) + rest.size();
    if (++expansions > m_engine.guard().limits.shortcutExpansions || size > textBudget)
        return nullptr;
    textBudget -= size;
    // The remembered target usually shares its characters with the link's.
    for (const Expansion &known : s.expansions)
        if ((known.target.constData() == target.constData() && known.target.size() == target.size())
            || sameText(known.target, target))
            return known.expr.get();
    QString text;
    text.reserve(target.size() + (afterDot ? 1 : 0) + rest.size());
    text.append(target);
    if (afterDot)
        text.append(u'.');
    text.append(rest);
    std::shared_ptr<const Expr> next = parsePath(std::move(text), x.expansionDepth + 1);
    // Remembered are the first few steps of short expansions, at most four
    // targets per segment: a shortcut that names itself again would
    // otherwise keep every step of its runaway growth, and one whose target
    // keeps changing every target it had.
    if (next->expansionDepth <= limits::kRememberedExpansions
        && next->text.size() <= limits::kRememberedExpansionLength
        && s.expansions.size() < limits::kRememberedTargets) {
        s.expansions.push_back({target, next});
        return next.get();
    }
    held = std::move(next);
    return held.get();
}

[[gnu::noinline]] QString Evaluator::assignVariable(EineVariable &v, const Expr &x, const Segment &s,
                                                   const EvalContext &ctx, bool discard)
{
    // The variable outlives the evaluation: the node it lives in is held by
    // the caller's anchor (or is the root's), and lists only grow.
    QString previous;
    if (!discard)
        previous = v.GetInhalt();
    if (!s.inner)
        s.inner = std::make_unique<SubExpr>(SubExpr{x.innerText(s), x.jumps(), nullptr});
    Purpose purpose;
    purpose.assignTarget = &v;
    m_engine.assignedNumber() = {};
    std::optional<QString> value = nested(*s.inner, ctx, purpose);
    if (!value)
        return {};
    if (const Engine::AssignedNumber known = m_engine.assignedNumber(); known.variable == &v)
        v.SetInhalt(std::move(*value), known.value);
    else
        v.SetInhalt(std::move(*value));
    return previous;
}

// The hot path of every script statement; cold work lives in the helpers
// so this frame stays small under deep recursion. The walk along the path
// and the restart after a shortcut share their locals.
QString Evaluator::evaluate(const Expr &e, qsizetype inputSize, const EvalContext &ctx, Purpose purpose)
{
    if (released(ctx))
        return {};
    StackGuard &guard = m_engine.guard();
    StackGuard::Nesting nesting(guard, __builtin_frame_address(0));
    // Recording an error takes a few levels of the reserve, also when the
    // error was that the stack ran out.
    if (guard.recordingError == 0 && guard.exhausted(__builtin_frame_address(0)))
        return fail(2, ctx);

    if (e.kind == Expr::Kind::Empty)
        return {};
    if (e.kind == Expr::Kind::Number)
        return e.numberOk ? e.number : fail(2, ctx);

    int expansions = 0;
    qsizetype textBudget = shortcutTextBudget(inputSize);
    std::shared_ptr<const Expr> held; // an expansion no segment keeps
    const Expr *x = &e;
    // `anchor` owns the last node reached through an array element (whose
    // index evaluation may replace it in the tree); `node` walks below it.
    // Sub-object lists only ever grow, so the anchor keeps them alive; the
    // root lives as long as the engine. The run's own object is borrowed
    // from the root's array `borrowedFrom` instead: only its release takes
    // it from there, after which the evaluation touches nothing of it; an
    // index evaluated below it, which may release the run, takes a share
    // first.
    NodePtr anchor;
    const ScriptObjects *node;
    ArrayObjects *borrowedFrom;

restart:
    anchor.reset();
    borrowedFrom = nullptr;
    m_prefix.expr = nullptr;
    // A remembered walk ends where the walk below would end, counting and
    // charging what it would.
    if (x->walk.layout != ScriptObjects::lastLayout() || !(node = walkedBeforeHere(*x, ctx, expansions, textBudget))) {
        node = &m_engine.root();
        bool plain = true; // named objects only, after Skript taken straight
        const ScriptObjects *run = nullptr;
        for (size_t k = 0;; ++k) {
            const Segment *const step = x->step(k);
            if (!step)
                break;
            const Segment &s = *step;
            const Segment::Found &found = s.lookUp(*node);
            if (s.argFrom < 0) {
                if (const EineVerknuepfung *sc = found.shortcut) {
                    switch (runShortcut(*x, s, *sc, ctx, expansions, textBudget, anchor, node, borrowedFrom)) {
                    case Direct::Stop:
                        return {};
                    case Direct::Node:
                        // Skript leads to the run's object, Funktion to a frame.
                        if (k == 0 && borrowedFrom)
                            run = node;
                        else
                            plain = false;
                        continue;
                    case Direct::No:
                        break;
                    }
                    x = expand(*x, s, sc->GetVerknuepfung(), true, expansions, textBudget, held);
                    if (!x)
                        return fail(2, ctx);
                    goto restart;
                }
                if (!found.object)
                    return notFound(*x, s, ctx);
                node = found.object;
            } else {
                plain = false;
                const NodePtr borrowed = borrowedFrom ? borrowedFrom->peekObject(ctx.run.index) : nullptr;
                borrowedFrom = nullptr;
                // Reports its own faults.
                anchor = arrayElement(found.objectArray, *x, s, ctx);
                if (!anchor || released(ctx))
                    return {};
                node = anchor.get();
            }
        }
        if (const int fault = x->fault())
            return fail(fault, ctx);
        // Nothing on the way could make or change a node's list but taking
        // an array element, after which nothing is remembered.
        if (plain)
            rememberWalk(*x, run, node);
        else if (!x->walk.winding)
            x->walk = Expr::Walk{.winding = true};
    }

    const Segment &last = x->last();
    const Segment::Found &found = last.lookUp(*node);
    if (const EineVerknuepfung *sc = found.shortcut) {
        x = expand(*x, last, sc->GetVerknuepfung(), false, expansions, textBudget, held);
        if (!x)
            return fail(2, ctx);
        goto restart;
    }
    if (last.argFrom < 0) {
        if (const EineVariable *v = found.variable)
            return v->GetInhalt();
        return notFound(*x, last, ctx);
    }
    if (EineFunktion *f = found.function) {
        if (f->bodyIsOneWord())
            if (const Builtin *known = dispatchOf(*f); known != &kNoBuiltin)
                return callBuiltinOf(*known, *x, last, ctx, purpose);
        return callFunctionOf(*f, *x, last, ctx);
    }
    if (EineVariable *v = found.variable)
        return assignVariable(*v, *x, last, ctx, purpose.discard);
    if (ArrayVariable *a = found.valueArray)
        return arrayAccess(*a, *x, last, ctx);
    return notFound(*x, last, ctx);
}

// The element `name(args)` of an object array. Null after reporting error 4
// (no such array) or error 2 (an index outside 16 bits, or a full array).
[[gnu::noinline]] NodePtr Evaluator::arrayElement(ArrayObjects *array, const Expr &x, const Segment &s,
                                                 const EvalContext &ctx)
{
    // The array lives as long as the node it was found in, which the
    // caller holds.
    if (!array) {
        notFound(x, s, ctx);
        return nullptr;
    }
    if (!s.inner)
        s.inner = std::make_unique<SubExpr>(SubExpr{x.innerText(s), x.jumps(), nullptr});
    // The element is claimed even when the index released the run, as it
    // always was; the caller then stops.
    std::optional<qint16> index = runIndexCall(*s.inner, ctx);
    if (!index) {
        const QString indexText = Evaluator(m_engine).evaluate(s.inner->get(), s.inner->text.size(), ctx, {});
        index = toInt16(numericValue(indexText));
    }
    NodePtr element = index ? array->GetObject(*index) : nullptr;
    if (!element)
        fail(2, ctx);
    return element;
}

// The names the run's own paths are made of, normalised once.
struct RunNames
{
    static const RunNames &get()
    {
        static const RunNames names;
        return names;
    }
    FixedName skript{u"Skript"};
    FixedName myIndex{u"MyIndex"};
    FixedName funktion{u"Funktion"};
    FixedName myFunktion{u"MyFunktion"};
};

bool namesBuiltin(const EineFunktion *f, BuiltinFunction run)
{
    return f && f->bodyIsOneWord() && dispatchOf(*f)->run == run;
}

[[gnu::noinline]] const RootPaths *Evaluator::checkRootPaths()
{
    const ScriptObjects &root = m_engine.root();
    RootPaths &r = m_engine.rootPaths();
    if (r.layout != root.layout()) {
        const RunNames &n = RunNames::get();
        r = RootPaths{};
        r.layout = root.layout();
        const ShortcutPtr *skript = root.shortcutSlot(n.skript.key());
        const ObjectArrayPtr *runs = root.objectArraySlot(n.skript.key());
        const FunctionPtr *myIndex = root.functionSlot(n.myIndex.key());
        if (skript && runs && myIndex && !root.shortcutSlot(n.myIndex.key())) {
            r.skript = skript->get();
            r.skriptTarget = r.skript->GetVerknuepfung().constData();
            r.runs = runs->get();
            r.myIndex = myIndex->get();
            r.usable = r.skript->GetVerknuepfung() == kSkriptTarget;
        }
    }
    if (!r.usable || !namesBuiltin(r.myIndex, &builtin::myIndex))
        return nullptr;
    r.myIndexRow = r.myIndex->dispatchCache();
    const QString &target = r.skript->GetVerknuepfung();
    if (target.constData() != r.skriptTarget) {
        if (target != kSkriptTarget)
            return nullptr;
        r.skriptTarget = target.constData();
    }
    return &r;
}

// The shortcuts every path into a run's own object takes, Skript and
// Skript.Funktion, followed straight to the object their expansion reaches:
// the run's object Skript(MyIndex()), and the frame
// Skript(MyIndex()).Funktion(Skript.MyFunktion()) of the current call level.
// What the expansions would count and charge is counted and charged, and
// the element is claimed as the walk along the expansion claims it. Not
// where anything could go another way than the expansion's walk (anything
// else in the root or the run's object under these names, a released run,
// a stack near its end); the caller then expands.
[[gnu::noinline]] Evaluator::Direct Evaluator::runShortcut(const Expr &x, const Segment &s,
                                                          const EineVerknuepfung &sc, const EvalContext &ctx,
                                                          int &expansions, qsizetype &textBudget, NodePtr &anchor,
                                                          const ScriptObjects *&node, ArrayObjects *&borrowedFrom)
{
    const RootPaths *r = rootPaths();
    if (!r)
        return Direct::No;
    const QString &target = sc.GetVerknuepfung();
    const bool skript = &sc == r->skript;
    if (!skript && target != kFunktionTarget)
        return Direct::No;
    if (released(ctx) || nearStackEnd())
        return Direct::No;
    const RunNames &n = RunNames::get();
    ArrayObjects *frames = nullptr;
    if (!skript) {
        const ScriptObjects *runNode = runObject(*r, ctx);
        if (!runNode)
            runNode = r->runs->borrowPeek(ctx.run.index);
        if (!runNode)
            return Direct::No;
        const ObjectArrayPtr *slot = runNode->objectArraySlot(n.funktion.key());
        if (!slot || runNode->shortcutSlot(n.myFunktion.key()))
            return Direct::No;
        const FunctionPtr *myFunktion = runNode->functionSlot(n.myFunktion.key());
        if (!myFunktion || !namesBuiltin(myFunktion->get(), &builtin::myFunktion))
            return Direct::No;
        frames = slot->get();
    }
    // What expand() charges: the target, the dot and the rest of the path;
    // for Funktion its own expansion and then that of the Skript it starts with.
    const qsizetype size = target.size() + 1 + (x.text.size() - s.end - 1);
    auto charge = [&](qsizetype built) {
        if (++expansions > m_engine.guard().limits.shortcutExpansions || built > textBudget)
            return false;
        textBudget -= built;
        return true;
    };
    if (!charge(size)) {
        fail(2, ctx);
        return Direct::Stop;
    }
    if (!skript && !charge(kSkriptTarget.size() + 1 + size - qsizetype(sizeof("Skript.") - 1))) {
        fail(2, ctx);
        return Direct::Stop;
    }
    // Claimed, not held: nothing below evaluates before the walk goes on.
    ScriptObjects *runNode = runObject(*r, ctx);
    if (!runNode)
        runNode = r->runs->borrowObject(ctx.run.index);
    if (!runNode) {
        fail(2, ctx);
        return Direct::Stop;
    }
    if (skript) {
        anchor.reset();
        node = runNode;
        borrowedFrom = r->runs;
    } else {
        anchor = frames->GetObject(ctx.callLevel);
        if (!anchor) {
            fail(2, ctx);
            return Direct::Stop;
        }
        node = anchor.get();
        borrowedFrom = nullptr;
    }
    m_prefix = Prefix{&x, s.end, skript ? kSkriptTarget : kFunktionPrefix};
    return Direct::Node;
}

// walkedBefore for evaluate() itself, which names a missing name after a
// walk through Skript in the path that walk's expansion spells.
[[gnu::noinline]] const ScriptObjects *Evaluator::walkedBeforeHere(const Expr &x, const EvalContext &ctx,
                                                                  int &expansions, qsizetype &textBudget)
{
    const ScriptObjects *node = walkedBefore(x, ctx, expansions, textBudget);
    if (node && x.walk.run)
        m_prefix = Prefix{&x, x.step(0)->end, kSkriptTarget};
    return node;
}

// What evaluate() found along `x`; a walk through Skript is charged what
// runShortcut charges for it: the target, the dot and the rest of the path.
[[gnu::noinline]] void Evaluator::rememberWalk(const Expr &x, const ScriptObjects *run, const ScriptObjects *node)
{
    const qsizetype charged = run ? kSkriptTarget.size() + 1 + (x.text.size() - x.step(0)->end - 1) : 0;
    x.walk = Expr::Walk{ScriptObjects::lastLayout(), &m_engine.root(), run, node, charged};
}

// The remembered walk through Skript: what runShortcut checks before it
// takes Skript straight to the run's object, and what it counts and
// charges; false where it would go another way or fail.
[[gnu::noinline]] bool Evaluator::throughRun(const Expr::Walk &w, const EvalContext &ctx, int &expansions,
                                            qsizetype &textBudget)
{
    // The run's object is in the table only while the run is current.
    const RootPaths *r = rootPaths();
    if (!r || runObject(*r, ctx) != w.run || nearStackEnd())
        return false;
    if (expansions + 1 > m_engine.guard().limits.shortcutExpansions || w.charged > textBudget)
        return false;
    ++expansions;
    textBudget -= w.charged;
    return true;
}

// The index `MyIndex()` stands for, as every path through the shortcut
// Skript asks for it, without writing it as a text and reading it back;
// nothing when the evaluation could go any other way than to the built-in
// MyIndex (another function or a shortcut of that name in the root, a
// released run, a stack near its end), which the caller then evaluates.
std::optional<qint16> Evaluator::runIndexCall(const SubExpr &sub, const EvalContext &ctx)
{
    if (!sub.isMyIndexCall() || released(ctx) || nearStackEnd())
        return std::nullopt;
    const Segment::Found &found = sub.get().last().lookUp(m_engine.root());
    const EineFunktion *f = found.function;
    if (found.shortcut || !f || !f->bodyIsOneWord() || dispatchOf(*f)->run != &builtin::myIndex)
        return std::nullopt;
    return ctx.run.index;
}

[[gnu::noinline]] QString Evaluator::arrayAccess(ArrayVariable &array, const Expr &x, const Segment &s,
                                                const EvalContext &ctx)
{
    if (!s.pieces) {
        Words pieces;
        int depth = 0;
        splitWords(x.innerText(s), pieces, depth, limits::kParameters, x.jumps());
        s.pieces = subExprs(pieces, 0, x);
    }
    const std::vector<SubExpr> &pieces = *s.pieces;
    QVarLengthArray<QString, 2> values;
    for (const SubExpr &piece : pieces) {
        std::optional<QString> value = nested(piece, ctx);
        if (!value)
            return {};
        values.push_back(std::move(*value));
    }
    if (values.size() == 1) {
        const auto number = wholeNumericValue(values[0]);
        const auto index = number && *number == std::trunc(*number) ? toInt16(*number) : std::nullopt;
        if (!index)
            return fail(2, ctx);
        auto content = array.GetInhalt(*index);
        if (!content)
            return fail(2, ctx);
        return *content;
    }
    if (values.size() == 2) {
        const auto index = toInt16(numericValue(values[0]));
        if (!index)
            return fail(2, ctx);
        auto previous = array.GetInhalt(*index);
        if (!previous)
            return fail(2, ctx);
        array.SetInhalt(*index, values[1]);
        return *previous;
    }
    return fail(2, ctx);
}

[[gnu::noinline]] QString Evaluator::callFunction(QStringView callText, const EvalContext &ctx)
{
    // The first word is the function name; Text(...) ends the call there
    // and yields the rest unchanged.
    const qsizetype after = afterFirstWord(callText);
    if (isLiteralText(after < 0 ? callText : callText.left(after - 1)))
        return after < 0 ? QString() : callText.mid(after).toString();
    Words words;
    int depth = 0;
    splitCallWords(callText, words, depth);
    return callWords(words, ctx);
}

// The usual built-in: a function whose body is one word that names the
// operation (or Text). Apart from callFunctionOf, so that neither frame
// holds the other's parameters while those are evaluated.
[[gnu::noinline]] QString Evaluator::callBuiltinOf(const Builtin &known, const Expr &x, const Segment &s,
                                                  const EvalContext &ctx, const Purpose &purpose)
{
    EineVariable *const assignTarget = purpose.assignTarget;
    const QStringView inner = x.innerText(s);
    if (&known == &kLiteralText)
        return inner.toString();
    const std::vector<SubExpr> &words = s.words ? *s.words : splitParameters(x, s);
    // Element 0, unused by the built-ins, takes a lent call's result: this
    // frame stays on the stack while the parameters are evaluated.
    Params params(qsizetype(words.size()) + 1);
    if (known.pure && !(assignTarget && known.run == &builtin::textPlus) && !knownNotLent(x)
        && callLentAt(known, x, words, ctx, params[0], assignTarget))
        return std::move(params[0]);
    for (size_t k = 0; k < words.size(); ++k) {
        std::optional<QString> value = nested(words[k], ctx);
        if (!value)
            return {};
        params[qsizetype(k) + 1] = std::move(*value);
    }
    // A text that grows by appending to itself keeps its buffer.
    if (assignTarget && known.run == &builtin::textPlus && params.size() == 3
        && assignTarget->appendInPlace(params[1], params[2]))
        return assignTarget->GetInhalt();
    return callBuiltin(m_engine, QStringView(), params, ctx, &known);
}

// The parameters after a one-word body, split once per segment.
[[gnu::noinline]] const std::vector<SubExpr> &Evaluator::splitParameters(const Expr &x, const Segment &s)
{
    Words words;
    words.append(QStringView(u"X"));
    int depth = 0;
    splitCallWords(trimBlanks(x.innerText(s)), words, depth, x.jumps());
    s.words = subExprs(words, 1, x);
    return *s.words;
}

// A function whose body is more than one word (a user function's), or a
// word that names no built-in.
[[gnu::noinline]] QString Evaluator::callFunctionOf(const EineFunktion &f, const Expr &x, const Segment &s,
                                                   const EvalContext &ctx)
{
    const QStringView inner = x.innerText(s);
    // The words as split for this body before, or split now. Held while
    // the call runs: evaluating the parameters may give the function a new
    // body, or a nested call of this segment split another one.
    const QString &body = f.GetFunktion();
    std::shared_ptr<const CallWords> call = s.call;
    if (!call || !((call->body.constData() == body.constData() && call->body.size() == body.size())
                   || call->body == body)) {
        call = splitCall(body, x, s);
        s.call = call;
    }
    switch (call->form) {
    case CallWords::Form::Joined: {
        QString joined;
        joined.reserve(call->body.size() + 1 + inner.size());
        joined.append(call->body).append(u' ').append(inner);
        return callFunction(joined, ctx);
    }
    case CallWords::Form::Literal:
        return inner.toString();
    case CallWords::Form::Words:
        break;
    }
    Params params(qsizetype(call->words.size()) + 1);
    for (size_t k = 0; k < call->words.size(); ++k) {
        std::optional<QString> value = nested(call->words[k], ctx);
        if (!value)
            return {};
        params[qsizetype(k) + 1] = std::move(*value);
    }
    return callBuiltin(m_engine, call->name, params, ctx, call->builtin);
}

// A built-in that only reads its parameters (Builtin::pure), called with
// parameters that are number literals or variables an evaluation would only
// read (readsVariable): as nothing runs between reading them and the call,
// the parameters lie over the literals' and the variables' own characters
// instead of being counted copies of them. False, with nothing done, when
// a parameter needs an evaluation of its own.
[[gnu::noinline]] bool Evaluator::callLent(const Builtin &known, const std::vector<SubExpr> &words,
                                          const EvalContext &ctx, QString &result, const EineVariable *target,
                                          Expr::LentCall *record)
{
    constexpr size_t kMost = Expr::LentCall::kMost;
    const size_t count = words.size();
    if (count > kMost || released(ctx) || nearStackEnd())
        return false;
    std::array<Expr::LentCall::Param, kMost> lent{};
    const ScriptObjects *run = nullptr;
    // A parameter that will need an evaluation of its own at this layout
    // too: not worth trying again before anything changes.
    auto never = [record] {
        if (record) {
            record->layout = ScriptObjects::lastLayout();
            record->lendable = false;
        }
        return false;
    };
    for (size_t k = 0; k < count; ++k) {
        const Expr &e = words[k].get();
        if (e.kind == Expr::Kind::Number && e.numberOk) {
            lent[k].literal = &e;
            continue;
        }
        if (e.kind != Expr::Kind::Path || e.walk.winding)
            return never();
        if (e.walk.layout != ScriptObjects::lastLayout())
            return false;
        if (e.last().argFrom >= 0)
            return never();
        const EineVariable *v = readsVariable(e, words[k].text.size(), ctx);
        if (!v)
            return false;
        if (!v->ownContent())
            return never();
        lent[k].variable = v;
        if (e.walk.run)
            run = e.walk.run;
    }
    if (record && (!record->run || !run || record->run == run)) {
        if (run)
            record->run = run;
        record->params = lent;
        record->count = count;
        record->layout = ScriptObjects::lastLayout();
    }
    result = callWithLent(known, lent.data(), count, ctx, target);
    return true;
}

// callLent for a call evaluate() has walked to; what it can find out
// besides is only that the call cannot be lent.
[[gnu::noinline]] bool Evaluator::callLentAt(const Builtin &known, const Expr &x, const std::vector<SubExpr> &words,
                                            const EvalContext &ctx, QString &result, const EineVariable *target)
{
    Expr::LentCall failed;
    if (callLent(known, words, ctx, result, target, &failed))
        return true;
    if (!failed.lendable) {
        if (!x.lent)
            x.lent = std::make_unique<Expr::LentCall>();
        *x.lent = failed;
    }
    return false;
}

// The call itself: the parameters lie over the literals' texts and the
// variables' contents, which nothing changes before the built-in has read
// them.
QString Evaluator::callWithLent(const Builtin &builtin, const Expr::LentCall::Param *lent, size_t count,
                                const EvalContext &ctx, const EineVariable *target)
{
    std::array<const QString *, Expr::LentCall::kMost> sources;
    Params::Known known;
    Params params(known);
    params.append(QString());
    for (size_t k = 0; k < count; ++k) {
        const QString &text = lent[k].literal ? lent[k].literal->number : *lent[k].variable->ownContent();
        sources[k] = &text;
        if (lent[k].literal)
            params.nextIsNumber(lent[k].literal->numberValue);
        else
            params.nextIsContent(*lent[k].variable);
        // Made where it lies, not moved there.
        if (text.isEmpty())
            params.append(text);
        else
            params.emplace_back(QString::DataPointer(
                nullptr, reinterpret_cast<char16_t *>(const_cast<QChar *>(text.constData())), text.size()));
    }
    QString result = callBuiltin(m_engine, params, ctx, builtin);
    if (target)
        if (const std::optional<double> whole = known.result())
            m_engine.assignedNumber() = {target, *whole};
    // A result over a parameter's characters (Left, Right, Mid or Plus
    // handing one back whole) outlives the parameters: it becomes the text
    // the parameter lay over, or a copy of its part. Only a text without a
    // buffer of its own can be one.
    if (!result.isEmpty() && !result.data_ptr().d_ptr()) {
        for (size_t k = 0; k < count; ++k) {
            const QString &text = *sources[k];
            if (result.constData() >= text.constData() && result.constData() < text.constData() + text.size()) {
                result = result.constData() == text.constData() && result.size() == text.size()
                             ? text
                             : QString(result.constData(), result.size());
                break;
            }
        }
    }
    return result;
}

// A nested evaluation of the path `e`, whose walk is remembered, when it
// reads a variable or calls a built-in that only reads its parameters:
// `value` as nested() yields it; false, with nothing done, otherwise.
[[gnu::noinline]] bool Evaluator::alongWalk(const Expr &e, qsizetype inputSize, const EvalContext &ctx,
                                           const Purpose &purpose, std::optional<QString> &value)
{
    if (released(ctx) || nearStackEnd())
        return false;
    if (e.last().argFrom < 0) {
        const EineVariable *v = readsVariable(e, inputSize, ctx);
        if (!v)
            return false;
        value = v->GetInhalt();
        return true;
    }
    QString result;
    if (!lentCall(e, inputSize, ctx, purpose, result))
        return false;
    if (!released(ctx))
        value = std::move(result);
    return true;
}

// An EXEC statement that assigns a variable the result of a call
// remembered by lentCall (`EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I
// 1))`), carried out as evaluate(), assignVariable(), nested() and
// alongWalk() carry it out, without their frames; false, with nothing done,
// where any of them could do anything else.
[[gnu::noinline]] bool Evaluator::assignsLentCall(const Expr &e, const EvalContext &ctx)
{
    if (released(ctx) || nearStackEnd())
        return false;
    int expansions = 0;
    qsizetype textBudget = shortcutTextBudget(e.text.size());
    const ScriptObjects *node = walkedBefore(e, ctx, expansions, textBudget);
    if (!node)
        return false;
    const Segment &last = e.last();
    if (last.argFrom < 0 || !last.inner)
        return false;
    const Segment::Found &found = last.lookUp(*node);
    if (found.shortcut || found.function || !found.variable)
        return false;
    EineVariable &v = *found.variable;
    const Expr &value = last.inner->get();
    if (value.kind != Expr::Kind::Path || value.walk.layout != ScriptObjects::lastLayout() || value.last().argFrom < 0)
        return false;
    const Expr::LentCall *known = value.lent.get();
    Purpose purpose;
    purpose.assignTarget = &v;
    if (!known || known->layout != ScriptObjects::lastLayout() || !known->lendable
        || !lentHolds(*known, last.inner->text.size(), ctx, purpose))
        return false;
    m_engine.assignedNumber() = {};
    QString result = callWithLent(*known->builtin, known->params.data(), known->count, ctx, &v);
    if (released(ctx))
        return true;
    if (const Engine::AssignedNumber number = m_engine.assignedNumber(); number.variable == &v)
        v.SetInhalt(std::move(result), number.value);
    else
        v.SetInhalt(std::move(result));
    return true;
}

// What evaluate() does with the path `e` when its walk is remembered and it
// calls a built-in that only reads its parameters, lent as callLent lends
// them: the same lookups, in the same order, without the walk's own frame.
// False, with nothing done, where evaluate() could do anything else. The
// caller has checked the run and the stack as for a literal.
[[gnu::noinline]] bool Evaluator::tryLentCall(const Expr &e, qsizetype inputSize, const EvalContext &ctx,
                                             const Purpose &purpose, QString &result)
{
    int expansions = 0;
    qsizetype textBudget = shortcutTextBudget(inputSize);
    const ScriptObjects *node = walkedBefore(e, ctx, expansions, textBudget);
    if (!node)
        return false;
    const Segment &last = e.last();
    if (last.argFrom < 0)
        return false;
    if (!e.lent)
        e.lent = std::make_unique<Expr::LentCall>();
    Expr::LentCall &record = *e.lent;
    record = Expr::LentCall{};
    const Segment::Found &found = last.lookUp(*node);
    const EineFunktion *f = found.function;
    const Builtin *known = !found.shortcut && f && f->bodyIsOneWord() ? dispatchOf(*f) : nullptr;
    if (!known || !known->pure) {
        record.layout = ScriptObjects::lastLayout();
        record.lendable = false;
        return false;
    }
    // Its parameters are split at its first evaluation.
    if (!last.words || (purpose.assignTarget && known->run == &builtin::textPlus))
        return false;
    const EngineLimits &limits = m_engine.guard().limits;
    record.root = &m_engine.root();
    record.run = e.walk.run;
    record.function = f;
    record.builtin = known;
    record.inputSize = inputSize;
    record.shortcutExpansions = limits.shortcutExpansions;
    record.shortcutText = limits.shortcutText;
    return callLent(*known, *last.words, ctx, result, purpose.assignTarget, &record);
}

// Splits body and argument text as if they were joined by one blank,
// without joining them: a body whose parentheses balance ends its last word
// at that blank. Each word is then evaluated as callWords evaluates it: a
// long one inside a long text over a view into it, any other one as a text
// of its own.
[[gnu::noinline]] std::shared_ptr<const CallWords> Evaluator::splitCall(const QString &body, const Expr &x,
                                                                      const Segment &s)
{
    auto call = std::make_shared<CallWords>();
    call->body = body;
    Words words;
    int depth = 0;
    splitCallWords(call->body, words, depth);
    if (call->body.isEmpty() || depth != 0 || (!words.isEmpty() && isLiteralText(words[0]) && words.size() > 1))
        return call;
    if (isLiteralText(words[0])) {
        call->form = CallWords::Form::Literal;
        return call;
    }
    splitCallWords(trimBlanks(x.innerText(s)), words, depth, x.jumps());
    call->form = CallWords::Form::Words;
    call->name = words[0];
    call->builtin = findBuiltin(words[0]);
    call->words.resize(size_t(words.size() - 1));
    const QStringView within = x.text;
    for (qsizetype k = 1; k < words.size(); ++k) {
        const QStringView w = words[k];
        SubExpr &sub = call->words[size_t(k - 1)];
        sub.text = w;
        if (x.jumps() && w.size() > limits::kCachedExpressionLength && w.utf16() >= within.utf16()
            && w.utf16() + w.size() <= within.utf16() + within.size())
            sub.jumps = x.jumps();
    }
    return call;
}

// A long parameter of a user function or window function inside a long
// text: evaluated over a view into that text, as no cache keeps it anyway.
[[gnu::noinline]] QString Evaluator::evaluateWithin(QStringView text, const EvalContext &ctx, const Expr &within)
{
    const std::unique_ptr<const Expr> e = parseNested(text, within.jumps());
    return Evaluator(m_engine).evaluate(*e, text.size(), ctx, {});
}

QString Evaluator::callWords(Words &words, const EvalContext &ctx, const Expr *within)
{
    const QStringView name = words.isEmpty() ? QStringView() : words[0];
    Params params(words.isEmpty() ? 1 : words.size());
    for (qsizetype k = 1; k < words.size(); ++k) {
        std::optional<QString> value = nested(words[k], ctx, within);
        if (!value)
            return {};
        params[k] = std::move(*value);
    }
    return callBuiltin(m_engine, name, params, ctx);
}

} // namespace

QString Engine::Evaluate(QStringView input, const EvalContext &ctx)
{
    const std::shared_ptr<const Expr> e = m_exprs->get(input);
    return Evaluator(*this).evaluate(*e, input.size(), ctx, {});
}

void Engine::evaluateStatement(const Expr &e, const EvalContext &ctx)
{
    Evaluator evaluator(*this);
    if (e.kind == Expr::Kind::Path && e.walk.layout == ScriptObjects::lastLayout() && evaluator.assignsLentCall(e, ctx))
        return;
    Purpose purpose;
    purpose.discard = true;
    evaluator.evaluate(e, e.text.size(), ctx, purpose);
}

QString Engine::evaluateCondition(const Expr &e, const EvalContext &ctx)
{
    return Evaluator(*this).condition(e, ctx);
}

QString Engine::EvaluateWaitCondition(QStringView condition, const EvalContext &ctx)
{
    QString result;
    m_guard.onRunStack([&] { result = Evaluate(condition, ctx); });
    return result;
}

} // namespace varnok
