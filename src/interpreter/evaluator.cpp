// The call-expression evaluator: scans an expression character by
// character, walks the object tree along its dotted path, rewrites shortcuts
// in place and hands function calls to CallFunction.

#include "engine.h"

#include "common/conventions.h"
#include "objects/builtintree.h"

#include <chrono>
#include <sys/resource.h>

namespace varnok {

namespace {

// Counts one level of native nesting for as long as it lives.
class DepthGuard
{
public:
    DepthGuard(int &depth, int limit) : m_depth(depth), m_ok(++depth <= limit) {}
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;
    bool ok() const { return m_ok; }

private:
    int &m_depth;
    bool m_ok;
};

bool startsNumberLiteral(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || u == '.' || u == ',' || u == '-' || u == '+';
}

// Parentheses are counted in 16 bits in the language; more open ones than
// that have no meaning.
constexpr int kMaxParenDepth = 32767;

} // namespace


Engine::Engine(Host &host)
    : m_host(host),
      m_root(BuildObjectTree()),
      m_skriptArray(m_root->objectArray(u"Skript")),
      m_faultNode(std::make_shared<ScriptObjects>()),
      m_runSerials(1, 0),
      m_random(std::random_device{}() ^ quint32(std::chrono::steady_clock::now().time_since_epoch().count()))
{
    rlimit limit{};
    m_stackSize = 8u << 20;
    if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        m_stackSize = std::max<size_t>(limit.rlim_cur, 2u << 20);
}

QString Engine::fail(int number, const EvalContext &ctx)
{
    RaiseScriptError(number, ctx);
    return {};
}

[[gnu::noinline]] QString Engine::normalizeNumber(QStringView lit, const EvalContext &ctx)
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

namespace {

// Replaces the expression by a shortcut's expansion; false past the limit.
[[gnu::noinline]] bool expand(QString &rewritten, QStringView &expr, int &expansions, int limit,
                              const QString &target, QStringView separator, QStringView rest)
{
    if (++expansions > limit)
        return false;
    QString next;
    next.reserve(target.size() + separator.size() + rest.size());
    next.append(target).append(separator).append(rest);
    rewritten = std::move(next);
    expr = rewritten;
    return true;
}

} // namespace

[[gnu::noinline]] QString Engine::assignVariable(const ScriptObjects &node, QStringView name,
                                                QStringView inner, const EvalContext &ctx)
{
    // Held for the evaluation, which may replace the node it lives in.
    const VariablePtr v = node.variable(name);
    QString previous = v->GetInhalt();
    const QString value = Evaluate(inner, ctx);
    if (!isCurrent(ctx.run))
        return {};
    v->SetInhalt(value);
    return previous;
}

[[gnu::noinline]] QString Engine::accessArray(const ScriptObjects &node, QStringView name,
                                             QStringView inner, const EvalContext &ctx)
{
    const ValueArrayPtr a = node.valueArray(name);
    return arrayAccess(*a, inner, ctx);
}

// The hot path of every script statement; cold work lives in the helpers
// above so this frame stays small under deep recursion.
QString Engine::Evaluate(QStringView input, const EvalContext &ctx)
{
    // A run whose object has been released evaluates nothing more.
    if (!isCurrent(ctx.run))
        return {};
    NestingGuard nesting(*this, __builtin_frame_address(0));
    // Recording an error needs a few levels of its own, also when the error
    // was that the levels ran out.
    DepthGuard guard(m_evalDepth, m_limits.evaluationDepth + (m_recordingError > 0 ? 16 : 0));
    if (!guard.ok() || (m_recordingError == 0 && stackExhausted(__builtin_frame_address(0))))
        return fail(2, ctx);

    QStringView expr = trimBlanks(input);
    if (expr.isEmpty())
        return {};
    if (startsNumberLiteral(expr[0]))
        return normalizeNumber(expr, ctx);

    QString rewritten; // the expression after a shortcut expansion
    int expansions = 0;
    const int limit = m_limits.shortcutExpansions;
    // `anchor` owns the last node reached through an array element (whose
    // index evaluation may replace it in the tree); `node` walks below it.
    // Sub-object lists only ever grow, so the anchor keeps them alive.
    NodePtr anchor;
    const ScriptObjects *node;

restart:
    anchor = m_root;
    node = anchor.get();
    qsizetype segStart = 0;
    qsizetype argStart = -1; // first "(" of the current segment
    int depth = 0;
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
            if (++depth > kMaxParenDepth)
                return fail(2, ctx);
        } else if (c == ')') {
            if (depth == 0)
                return fail(3, ctx);
            --depth;
        } else if (c == '.' && depth == 0) {
            const QStringView name = expr.mid(segStart, (argStart < 0 ? i : argStart) - segStart);
            const QStringView args = argStart < 0 ? QStringView() : expr.mid(argStart, i - argStart);
            if (args.isEmpty()) {
                if (const EineVerknuepfung *sc = node->peekShortcut(name)) {
                    if (!expand(rewritten, expr, expansions, limit, sc->GetVerknuepfung(), u".", expr.mid(i + 1)))
                        return fail(2, ctx);
                    goto restart;
                }
            }
            if (args.isEmpty()) {
                node = node->peekObject(name);
            } else {
                anchor = resolveStep(*node, name, args, ctx);
                node = anchor.get();
                if (!isCurrent(ctx.run) || anchor == m_faultNode)
                    return {};
            }
            if (!node)
                return fail(4, ctx);
            segStart = i + 1;
            argStart = -1;
        }
    }
scanned:
    if (depth != 0)
        return fail(3, ctx);

    const QStringView name = expr.mid(segStart, (argStart < 0 ? n : argStart) - segStart);
    if (const EineVerknuepfung *sc = node->peekShortcut(name)) {
        if (!expand(rewritten, expr, expansions, limit, sc->GetVerknuepfung(), QStringView(),
                    argStart < 0 ? QStringView() : expr.mid(argStart)))
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

NodePtr Engine::resolveStep(const ScriptObjects &node, QStringView name, QStringView args,
                            const EvalContext &ctx)
{
    if (args.isEmpty())
        return node.object(name);
    const ObjectArrayPtr array = node.objectArray(name);
    if (!array)
        return nullptr;
    const QString indexText = Evaluate(args.mid(1, args.size() - 2), ctx);
    const auto index = toInt16(numericValue(indexText));
    NodePtr element = index ? array->GetObject(*index) : nullptr;
    if (!element) {
        // An index outside 16 bits, or a full array.
        fail(2, ctx);
        return m_faultNode;
    }
    return element;
}

namespace {

constexpr int kMaxParameters = 100;


using Words = QVarLengthArray<QStringView, 4>;

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

} // namespace


QString Engine::arrayAccess(ArrayVariable &array, QStringView args, const EvalContext &ctx)
{
    Words pieces;
    int depth = 0;
    splitWords(args, pieces, depth, kMaxParameters);
    std::vector<QString> values;
    values.reserve(pieces.size());
    for (const QStringView piece : pieces) {
        values.push_back(Evaluate(piece, ctx));
        if (!isCurrent(ctx.run))
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

namespace {

bool isLiteralText(QStringView name)
{
    static constexpr QLatin1StringView kId("MAINCONVERTTEXT");
    if (name.size() != kId.size())
        return false;
    for (qsizetype k = 0; k < name.size(); ++k)
        if (upperChar(name[k]) != QLatin1Char(kId[k]))
            return false;
    return true;
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

} // namespace

QString Engine::CallFunction(QStringView callText, const EvalContext &ctx)
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

[[gnu::noinline]] QString Engine::callFunctionOf(const EineFunktion &f, QStringView inner,
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
    const void *known = nullptr;
    if (f.bodyIsOneWord()) {
        // The usual built-in: one word that names the operation.
        if (!f.dispatchCache())
            f.setDispatchCache(lookupBuiltin(body));
        known = f.dispatchCache();
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
        return CallFunction(call, ctx);
    }
    if (isLiteralText(words[0]))
        return inner.toString();
    splitCallWords(trimBlanks(inner), words, depth);
    return callWords(words, ctx);
}

QString Engine::callWords(Words &words, const EvalContext &ctx, const void *known)
{
    const QStringView name = words.isEmpty() ? QStringView() : words[0];
    Params params(words.isEmpty() ? 1 : words.size());
    for (qsizetype k = 1; k < words.size(); ++k) {
        params[k] = Evaluate(words[k], ctx);
        if (!isCurrent(ctx.run))
            return {};
    }
    return callBuiltin(name, params, ctx, known);
}

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
