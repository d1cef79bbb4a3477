// The call-expression evaluator: scans an expression character by
// character, walks the object tree along its dotted path, rewrites shortcuts
// in place and hands function calls to CallFunction.

#include "engine.h"

#include "common/conventions.h"
#include "objects/builtintree.h"

#include <chrono>

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
      m_runSerials(1, 0),
      m_random(std::random_device{}() ^ quint32(std::chrono::steady_clock::now().time_since_epoch().count()))
{
}

QString Engine::fail(int number, const EvalContext &ctx)
{
    RaiseScriptError(number, ctx);
    return {};
}

QString Engine::Evaluate(QStringView expression, const EvalContext &ctx)
{
    // A run whose object has been released evaluates nothing more.
    if (!isCurrent(ctx.run))
        return {};
    // Recording an error needs a few levels of its own, also when the error
    // was that the levels ran out.
    DepthGuard guard(m_evalDepth, m_limits.evaluationDepth + (m_recordingError > 0 ? 16 : 0));
    if (!guard.ok())
        return fail(2, ctx);
    return evaluate(expression, ctx);
}

QString Engine::evaluate(QStringView input, const EvalContext &ctx)
{
    QStringView expr = trimBlanks(input);
    if (expr.isEmpty())
        return {};

    if (startsNumberLiteral(expr[0])) {
        // NormalizeNumber: one leading "+" goes, the first "," is the decimal
        // separator.
        QStringView lit = expr;
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

    QString rewritten; // the expression after a shortcut expansion
    int expansions = 0;
    auto expand = [&](QString next) -> bool {
        if (++expansions > m_limits.shortcutExpansions)
            return false;
        rewritten = std::move(next);
        expr = rewritten;
        return true;
    };

restart:
    NodePtr node = m_root;
    qsizetype segStart = 0;
    qsizetype argStart = -1; // first "(" of the current segment
    int depth = 0;
    const qsizetype n = expr.size();
    for (qsizetype i = 0; i < n; ++i) {
        const ushort c = expr[i].unicode();
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
                if (const ShortcutPtr sc = node->shortcut(name)) {
                    if (!expand(concat({sc->GetVerknuepfung(), u".", expr.mid(i + 1)})))
                        return fail(2, ctx);
                    goto restart;
                }
            }
            bool faulted = false;
            NodePtr found = resolveStep(node, name, args, ctx, faulted);
            if (!isCurrent(ctx.run))
                return {};
            if (faulted)
                return fail(2, ctx);
            if (!found)
                return fail(4, ctx);
            node = std::move(found);
            segStart = i + 1;
            argStart = -1;
        }
    }
    if (depth != 0)
        return fail(3, ctx);

    const QStringView name = expr.mid(segStart, (argStart < 0 ? n : argStart) - segStart);
    if (argStart < 0) {
        if (const ShortcutPtr sc = node->shortcut(name)) {
            if (!expand(sc->GetVerknuepfung()))
                return fail(2, ctx);
            goto restart;
        }
        if (const VariablePtr v = node->variable(name))
            return v->GetInhalt();
        return fail(4, ctx);
    }

    const QStringView args = expr.mid(argStart);
    if (const ShortcutPtr sc = node->shortcut(name)) {
        if (!expand(concat({sc->GetVerknuepfung(), args})))
            return fail(2, ctx);
        goto restart;
    }
    const QStringView inner = args.mid(1, args.size() - 2);
    if (const FunctionPtr f = node->function(name)) {
        const QString &body = f->GetFunktion();
        QString call;
        call.reserve(body.size() + 1 + inner.size());
        call.append(body).append(u' ').append(inner);
        return CallFunction(call, ctx);
    }
    if (const VariablePtr v = node->variable(name)) {
        QString previous = v->GetInhalt();
        QString value = Evaluate(inner, ctx);
        if (!isCurrent(ctx.run))
            return {};
        v->SetInhalt(value);
        return previous;
    }
    if (const ValueArrayPtr a = node->valueArray(name))
        return arrayAccess(*a, inner, ctx);
    return fail(4, ctx);
}

NodePtr Engine::resolveStep(const NodePtr &node, QStringView name, QStringView args,
                            const EvalContext &ctx, bool &faulted)
{
    if (args.isEmpty())
        return node->object(name);
    const ObjectArrayPtr array = node->objectArray(name);
    if (!array)
        return nullptr;
    const QString indexText = Evaluate(args.mid(1, args.size() - 2), ctx);
    const auto index = toInt16(numericValue(indexText));
    if (!index) {
        faulted = true;
        return nullptr;
    }
    NodePtr element = array->GetObject(*index);
    if (!element)
        faulted = true;
    return element;
}

namespace {

// Splits at blanks outside parentheses; the rest after a split is trimmed.
// At most `maxPieces` pieces: later ones replace the last.
template <typename Sink>
void splitWords(QStringView text, Sink &&sink)
{
    QStringView rest = text;
    int depth = 0;
    qsizetype i = 0;
    while (i < rest.size()) {
        const ushort c = rest[i].unicode();
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ' ' && depth == 0) {
            if (!sink(rest.left(i), rest.mid(i + 1)))
                return;
            rest = trimBlanks(rest.mid(i + 1));
            i = 0;
            continue;
        }
        ++i;
    }
    if (!rest.isEmpty())
        sink(rest, QStringView());
}

constexpr int kMaxParameters = 100;

} // namespace

QString Engine::arrayAccess(ArrayVariable &array, QStringView args, const EvalContext &ctx)
{
    std::vector<QStringView> pieces;
    splitWords(args, [&](QStringView piece, QStringView) {
        if (pieces.size() < size_t(kMaxParameters))
            pieces.push_back(piece);
        else
            pieces.back() = piece;
        return true;
    });
    // A trailing remainder of blanks only is no piece; splitWords already
    // trims after each split, so only an all-blank text can end here empty.
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

QString Engine::CallFunction(QStringView callText, const EvalContext &ctx)
{
    QString name;
    std::vector<QString> params; // params[0] unused: parameters count from 1
    params.emplace_back();
    int count = 0;
    bool literal = false;
    QString literalResult;
    splitWords(callText, [&](QStringView word, QStringView after) {
        if (count < kMaxParameters + 1)
            ++count;
        if (count == 1) {
            name = upperCase(word);
            if (name == u"MAINCONVERTTEXT") {
                literal = true;
                literalResult = after.toString();
                return false;
            }
        } else if (size_t(count) >= params.size()) {
            params.emplace_back(word.toString());
        } else {
            params[size_t(count - 1)] = word.toString();
        }
        return true;
    });
    if (literal)
        return literalResult;

    for (size_t k = 1; k < params.size(); ++k) {
        params[k] = Evaluate(params[k], ctx);
        if (!isCurrent(ctx.run))
            return {};
    }
    return callBuiltin(name, params, ctx);
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
