// The call-expression evaluator: scans an expression character by
// character, walks the object tree along its dotted path, rewrites shortcuts
// in place and hands function calls to the built-in table.

#include "builtins.h"
#include "engine.h"
#include "upperid.h"

#include "common/conventions.h"

#include <cmath>
#include <vector>

namespace varnok {

namespace {

bool startsNumberLiteral(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || u == '.' || u == ',' || u == '-' || u == '+';
}

// Parentheses are counted in 16 bits in the language; more open ones than
// that have no meaning.
constexpr int kMaxParenDepth = 32767;

constexpr int kMaxParameters = 100;

using Words = QVarLengthArray<QStringView, 4>;

// Replaces the expression by a shortcut's expansion; false past the limit
// of expansions or when the text they build runs out of `textBudget`: a
// shortcut whose long target names itself again grows the text by the
// target on every expansion, and copying and rescanning it would take
// minutes before the count ran out.
[[gnu::noinline]] bool expand(QString &rewritten, QStringView &expr, int &expansions, int limit,
                              qsizetype &textBudget, const QString &target, QStringView separator,
                              QStringView rest)
{
    const qsizetype size = target.size() + separator.size() + rest.size();
    if (++expansions > limit || size > textBudget)
        return false;
    textBudget -= size;
    QString next;
    next.reserve(size);
    next.append(target).append(separator).append(rest);
    rewritten = std::move(next);
    expr = rewritten;
    return true;
}

// Splits at blanks outside parentheses, as a call's words and an array
// access's pieces are split: the rest after a blank is trimmed at both ends.
// Past `most` words each word replaces the last one. `depth` carries the
// parenthesis count in and out, so a text can be split in two pieces.
void splitWords(QStringView text, Words &words, int &depth, qsizetype most)
{
    QStringView rest = text;
    qsizetype i = 0;
    auto add = [&words, most](QStringView word) {
        if (words.size() < most)
            words.append(word);
        else
            words.back() = word;
    };
    while (i < rest.size()) {
        const ushort c = rest[i].unicode();
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ' ' && depth == 0) {
            add(rest.left(i));
            rest = trimBlanks(rest.mid(i + 1));
            i = 0;
            continue;
        }
        ++i;
    }
    if (!rest.isEmpty())
        add(rest);
}

// A call's words: the name and at most 100 parameters.
void splitCallWords(QStringView text, Words &words, int &depth)
{
    splitWords(text, words, depth, kMaxParameters + 1);
}

bool isLiteralText(QStringView name)
{
    return matchesUpperId(name, QLatin1StringView("MAINCONVERTTEXT"));
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

// One evaluation's view of the engine. It holds nothing but the engine, so
// it costs nothing to make one per call; nested evaluations go through
// Engine::Evaluate again.
class Evaluator
{
public:
    explicit Evaluator(Engine &engine) : m_engine(engine) {}

    QString evaluate(QStringView input, const EvalContext &ctx);

private:
    QString fail(int number, const EvalContext &ctx) { return m_engine.fail(number, ctx); }
    QString normalizeNumber(QStringView literal, const EvalContext &ctx);
    QString assignVariable(const ScriptObjects &node, QStringView name, QStringView inner,
                           const EvalContext &ctx);
    QString accessArray(const ScriptObjects &node, QStringView name, QStringView inner,
                        const EvalContext &ctx);
    QString arrayAccess(ArrayVariable &array, QStringView args, const EvalContext &ctx);
    NodePtr arrayElement(const ScriptObjects &node, QStringView name, QStringView args,
                         const EvalContext &ctx);
    QString callFunction(QStringView callText, const EvalContext &ctx);
    QString callFunctionOf(const EineFunktion &f, QStringView inner, const EvalContext &ctx);
    QString callWords(Words &words, const EvalContext &ctx, const Builtin *known = nullptr);

    Engine &m_engine;
};

[[gnu::noinline]] QString Evaluator::normalizeNumber(QStringView lit, const EvalContext &ctx)
{
    // One leading "+" goes, the first "," is the decimal separator.
    if (lit[0] == u'+')
        lit = lit.mid(1);
    double value;
    const qsizetype comma = lit.indexOf(u',');
    if (comma >= 0) {
        QString copy = lit.toString();
        copy[comma] = u'.';
        value = numericValue(copy);
    } else {
        value = numericValue(lit);
    }
    if (!std::isfinite(value))
        return fail(2, ctx);
    return numberText(value);
}

[[gnu::noinline]] QString Evaluator::assignVariable(const ScriptObjects &node, QStringView name,
                                                   QStringView inner, const EvalContext &ctx)
{
    // Held for the evaluation, which may replace the node it lives in.
    const VariablePtr v = node.variable(name);
    QString previous = v->GetInhalt();
    const QString value = m_engine.Evaluate(inner, ctx);
    if (!m_engine.isCurrent(ctx.run))
        return {};
    v->SetInhalt(value);
    return previous;
}

[[gnu::noinline]] QString Evaluator::accessArray(const ScriptObjects &node, QStringView name,
                                                QStringView inner, const EvalContext &ctx)
{
    const ValueArrayPtr a = node.valueArray(name);
    return arrayAccess(*a, inner, ctx);
}

// The hot path of every script statement; cold work lives in the helpers
// so this frame stays small under deep recursion. About 100 lines on purpose:
// the scan, the walk along the path and the restart after a shortcut share
// their locals, and split up they would cost a call per path segment. The compiler inlines it
// into Engine::Evaluate, its only caller (forcing that also inlines the
// name lookups and makes the frame a third bigger).
QString Evaluator::evaluate(QStringView input, const EvalContext &ctx)
{
    // A run whose object has been released evaluates nothing more.
    if (!m_engine.isCurrent(ctx.run))
        return {};
    StackGuard &guard = m_engine.guard();
    StackGuard::Nesting nesting(guard, __builtin_frame_address(0));
    // Recording an error needs a few levels of its own, also when the error
    // was that the levels ran out.
    DepthGuard depth(guard.evalDepth, guard.limits.evaluationDepth + (guard.recordingError > 0 ? 16 : 0));
    if (!depth.ok() || (guard.recordingError == 0 && guard.exhausted(__builtin_frame_address(0))))
        return fail(2, ctx);

    QStringView expr = trimBlanks(input);
    if (expr.isEmpty())
        return {};
    if (startsNumberLiteral(expr[0]))
        return normalizeNumber(expr, ctx);

    QString rewritten; // the expression after a shortcut expansion
    int expansions = 0;
    const int limit = guard.limits.shortcutExpansions;
    qsizetype textBudget = guard.limits.shortcutText + 4 * input.size();
    // `anchor` owns the last node reached through an array element (whose
    // index evaluation may replace it in the tree); `node` walks below it.
    // Sub-object lists only ever grow, so the anchor keeps them alive; the
    // root lives as long as the engine.
    NodePtr anchor;
    const ScriptObjects *node;

restart:
    anchor.reset();
    node = &m_engine.root();
    qsizetype segStart = 0;
    qsizetype argStart = -1; // first "(" of the current segment
    int parens = 0;
    const qsizetype n = expr.size();
    const char16_t *const chars = expr.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        // Most characters are name or argument text: skip them in a tight loop.
        char16_t c = chars[i];
        while (c != u'(' && c != u')' && c != u'.') {
            if (++i == n)
                goto scanned;
            c = chars[i];
        }
        if (c == '(') {
            if (argStart < 0)
                argStart = i;
            if (++parens > kMaxParenDepth)
                return fail(2, ctx);
        } else if (c == ')') {
            if (parens == 0)
                return fail(3, ctx);
            --parens;
        } else if (c == '.' && parens == 0) {
            const QStringView name = expr.mid(segStart, (argStart < 0 ? i : argStart) - segStart);
            if (argStart < 0) {
                if (const EineVerknuepfung *sc = node->peekShortcut(name)) {
                    if (!expand(rewritten, expr, expansions, limit, textBudget, sc->GetVerknuepfung(), u".",
                                expr.mid(i + 1)))
                        return fail(2, ctx);
                    goto restart;
                }
                node = node->peekObject(name);
                if (!node)
                    return fail(4, ctx);
            } else {
                // Reports its own faults.
                anchor = arrayElement(*node, name, expr.mid(argStart, i - argStart), ctx);
                if (!anchor || !m_engine.isCurrent(ctx.run))
                    return {};
                node = anchor.get();
            }
            segStart = i + 1;
            argStart = -1;
        }
    }
scanned:
    if (parens != 0)
        return fail(3, ctx);

    const QStringView name = expr.mid(segStart, (argStart < 0 ? n : argStart) - segStart);
    if (const EineVerknuepfung *sc = node->peekShortcut(name)) {
        if (!expand(rewritten, expr, expansions, limit, textBudget, sc->GetVerknuepfung(),
                    QStringView(), argStart < 0 ? QStringView() : expr.mid(argStart)))
            return fail(2, ctx);
        goto restart;
    }
    if (argStart < 0) {
        if (const EineVariable *v = node->peekVariable(name))
            return v->GetInhalt();
        return fail(4, ctx);
    }
    const QStringView inner = expr.mid(argStart + 1, n - argStart - 2);
    if (const EineFunktion *f = node->peekFunction(name))
        return callFunctionOf(*f, inner, ctx);
    if (node->peekVariable(name))
        return assignVariable(*node, name, inner, ctx);
    if (node->peekValueArray(name))
        return accessArray(*node, name, inner, ctx);
    return fail(4, ctx);
}

// The element `name(args)` of an object array. Null after reporting error 4
// (no such array) or error 2 (an index outside 16 bits, or a full array).
[[gnu::noinline]] NodePtr Evaluator::arrayElement(const ScriptObjects &node, QStringView name,
                                                 QStringView args, const EvalContext &ctx)
{
    const ObjectArrayPtr array = node.objectArray(name);
    if (!array) {
        fail(4, ctx);
        return nullptr;
    }
    const QString indexText = m_engine.Evaluate(args.mid(1, args.size() - 2), ctx);
    const auto index = toInt16(numericValue(indexText));
    NodePtr element = index ? array->GetObject(*index) : nullptr;
    if (!element)
        fail(2, ctx);
    return element;
}

[[gnu::noinline]] QString Evaluator::arrayAccess(ArrayVariable &array, QStringView args, const EvalContext &ctx)
{
    Words pieces;
    int depth = 0;
    splitWords(args, pieces, depth, kMaxParameters);
    std::vector<QString> values;
    values.reserve(pieces.size());
    for (const QStringView piece : pieces) {
        values.push_back(m_engine.Evaluate(piece, ctx));
        if (!m_engine.isCurrent(ctx.run))
            return {};
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

[[gnu::noinline]] QString Evaluator::callFunctionOf(const EineFunktion &f, QStringView inner,
                                                   const EvalContext &ctx)
{
    // Splits body and argument text as if they were joined by one blank,
    // without joining them: a body whose parentheses balance ends its last
    // word at that blank.
    // A copy (shared, not duplicated): evaluating the parameters may give
    // the function a new body while the words still point into this one.
    const QString body = f.GetFunktion();
    Words words;
    int depth = 0;
    if (f.bodyIsOneWord()) {
        // The usual built-in: one word that names the operation.
        if (!f.dispatchCache())
            f.setDispatchCache(findBuiltin(body));
        const Builtin *known = f.dispatchCache();
        if (known && !isLiteralText(body)) {
            words.append(body);
            splitCallWords(trimBlanks(inner), words, depth);
            return callWords(words, ctx, known);
        }
    }
    splitCallWords(body, words, depth);
    if (body.isEmpty() || depth != 0 || (!words.isEmpty() && isLiteralText(words[0]) && words.size() > 1)) {
        QString call;
        call.reserve(body.size() + 1 + inner.size());
        call.append(body).append(u' ').append(inner);
        return callFunction(call, ctx);
    }
    if (isLiteralText(words[0]))
        return inner.toString();
    splitCallWords(trimBlanks(inner), words, depth);
    return callWords(words, ctx);
}

QString Evaluator::callWords(Words &words, const EvalContext &ctx, const Builtin *known)
{
    const QStringView name = words.isEmpty() ? QStringView() : words[0];
    Params params(words.isEmpty() ? 1 : words.size());
    for (qsizetype k = 1; k < words.size(); ++k) {
        params[k] = m_engine.Evaluate(words[k], ctx);
        if (!m_engine.isCurrent(ctx.run))
            return {};
    }
    return callBuiltin(m_engine, name, params, ctx, known);
}

} // namespace

QString Engine::Evaluate(QStringView input, const EvalContext &ctx)
{
    return Evaluator(*this).evaluate(input, ctx);
}

} // namespace varnok
