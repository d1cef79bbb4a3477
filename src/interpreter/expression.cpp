// SPDX-License-Identifier: GPL-3.0-or-later
#include "expression.h"

#include "common/conventions.h"
#include "common/limits.h"

#include <algorithm>
#include <cmath>

namespace varnok {

namespace {

bool startsNumberLiteral(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || u == '.' || u == ',' || u == '-' || u == '+';
}

Segment makeSegment(QStringView text, qsizetype from, qsizetype argFrom, qsizetype end)
{
    Segment s;
    s.name = normalizeName(text.mid(from, (argFrom < 0 ? end : argFrom) - from));
    s.hash = nameHash(s.name);
    s.argFrom = argFrom;
    s.end = end;
    return s;
}

} // namespace

void Expr::scanOn() const
{
    const QStringView expr(text);
    const qsizetype n = expr.size();
    const char16_t *const chars = expr.utf16();
    for (; m_pos < n; ++m_pos) {
        const char16_t c = chars[m_pos];
        if (c == u'(') {
            if (m_argStart < 0)
                m_argStart = m_pos;
            // A balanced part ends where it began, with no dot at depth 0
            // and no fault in between, unless its parentheses overflow.
            if (m_jumps) {
                if (const auto pair = m_jumps->closing(chars + m_pos);
                    pair && pair->close < chars + n && m_parens + pair->depth <= limits::kParenthesisDepth) {
                    m_pos = pair->close - chars;
                    continue;
                }
            }
            if (++m_parens > limits::kParenthesisDepth) {
                m_fault = 2;
                m_scanned = true;
                return;
            }
        } else if (c == u')') {
            if (m_parens == 0) {
                m_fault = 3;
                m_scanned = true;
                return;
            }
            --m_parens;
        } else if (c == u'.' && m_parens == 0) {
            m_segments.push_back(std::make_unique<Segment>(makeSegment(expr, m_segStart, m_argStart, m_pos)));
            ++m_steps;
            m_segStart = ++m_pos;
            m_argStart = -1;
            return;
        }
    }
    m_scanned = true;
    if (m_parens != 0) {
        m_fault = 3;
        return;
    }
    m_segments.push_back(std::make_unique<Segment>(makeSegment(expr, m_segStart, m_argStart, n)));
}

ParenJumps::ParenJumps(const QString &text)
    : m_text(text), m_begin(reinterpret_cast<const char16_t *>(m_text.constData())), m_close(size_t(text.size()), -1), m_depth(size_t(text.size()), 0)
{
    struct Open
    {
        qint32 at;
        int depth; // the deepest nesting inside so far, itself counted
    };
    std::vector<Open> open;
    for (qint32 i = 0; i < qint32(text.size()); ++i) {
        const char16_t c = m_begin[i];
        if (c == u'(') {
            open.push_back({i, 1});
        } else if (c == u')' && !open.empty()) {
            const Open o = open.back();
            open.pop_back();
            m_close[size_t(o.at)] = i;
            m_depth[size_t(o.at)] = quint16(std::min(o.depth, 65535));
            if (!open.empty())
                open.back().depth = std::max(open.back().depth, o.depth + 1);
        }
    }
}

void Expr::own(QString owned)
{
    m_storage = std::move(owned);
    text = m_storage;
    if (m_storage.size() >= ParenJumps::kFrom) {
        m_ownJumps = std::make_unique<const ParenJumps>(m_storage);
        m_jumps = m_ownJumps.get();
    }
}

std::unique_ptr<Expr> parsePath(QString text, int expansionDepth)
{
    auto e = std::make_unique<Expr>();
    e->own(std::move(text));
    e->kind = Expr::Kind::Path;
    e->expansionDepth = expansionDepth;
    return e;
}

std::unique_ptr<Expr> parseNested(QStringView input, const ParenJumps *jumps)
{
    if (!jumps)
        return parseExpression(input);
    auto e = std::make_unique<Expr>();
    const QStringView expr = trimBlanks(input);
    if (expr.isEmpty())
        return e;
    if (startsNumberLiteral(expr[0]))
        return parseExpression(expr);
    e->text = expr;
    e->m_jumps = jumps;
    e->kind = Expr::Kind::Path;
    return e;
}

std::unique_ptr<Expr> parseExpression(QStringView input)
{
    auto e = std::make_unique<Expr>();
    const QStringView expr = trimBlanks(input);
    if (expr.isEmpty())
        return e;
    e->own(expr.toString());
    if (!startsNumberLiteral(expr[0])) {
        e->kind = Expr::Kind::Path;
        return e;
    }
    // A number literal: one leading "+" goes, the first "," is the decimal
    // separator.
    e->kind = Expr::Kind::Number;
    QString lit = e->text.toString();
    if (lit[0] == u'+')
        lit.remove(0, 1);
    if (const qsizetype comma = lit.indexOf(u','); comma >= 0)
        lit[comma] = u'.';
    const double value = numericValue(lit);
    e->numberOk = std::isfinite(value);
    if (e->numberOk) {
        e->number = numberText(value);
        e->numberValue = numericValue(e->number);
    }
    return e;
}

void Segment::refill(const ScriptObjects &node) const
{
    const NameKey k = key();
    auto get = [](const auto *slot) { return slot ? slot->get() : nullptr; };
    Found f;
    f.node = &node;
    f.layout = node.layout();
    f.shortcut = get(node.shortcutSlot(k));
    f.object = get(node.objectSlot(k));
    f.variable = get(node.variableSlot(k));
    f.function = get(node.functionSlot(k));
    f.valueArray = get(node.valueArraySlot(k));
    f.objectArray = get(node.objectArraySlot(k));
    found = f;
}

bool Segment::stillListed(const ScriptObjects &node) const
{
    const NameKey k = key();
    auto get = [](const auto *slot) { return slot ? slot->get() : nullptr; };
    return found.shortcut == get(node.shortcutSlot(k)) && found.object == get(node.objectSlot(k))
        && found.variable == get(node.variableSlot(k)) && found.function == get(node.functionSlot(k))
        && found.valueArray == get(node.valueArraySlot(k)) && found.objectArray == get(node.objectArraySlot(k));
}

const Expr &SubExpr::parse() const
{
    expr = parseNested(text, jumps);
    return *expr;
}

bool SubExpr::isMyIndexCall() const
{
    if (callsMyIndex < 0) {
        const Expr &e = get();
        bool form = e.kind == Expr::Kind::Path && !e.step(0) && e.fault() == 0;
        if (form) {
            const Segment &last = e.last();
            form = last.argFrom >= 0 && last.name == u"MYINDEX" && trimBlanks(e.innerText(last)).isEmpty();
        }
        callsMyIndex = form ? 1 : 0;
    }
    return callsMyIndex == 1;
}

// Moves the expressions `e` holds into the lists, so that none is
// destroyed inside `e`'s destructor.
void releaseNested(const Expr &e, std::vector<std::unique_ptr<const Expr>> &unique,
                   std::vector<std::shared_ptr<const Expr>> &shared)
{
    auto take = [&unique](const SubExpr &sub) {
        if (sub.expr)
            unique.push_back(std::move(sub.expr));
    };
    for (const auto &held : e.m_segments) {
        const Segment &s = *held;
        for (Expansion &x : s.expansions)
            if (x.expr)
                shared.push_back(std::move(x.expr));
        if (s.inner)
            take(*s.inner);
        for (const auto *list : {s.words.get(), s.pieces.get()})
            if (list)
                for (const SubExpr &sub : *list)
                    take(sub);
        if (s.call && s.call.use_count() == 1)
            for (const SubExpr &sub : s.call->words)
                take(sub);
    }
}

Expr::~Expr()
{
    std::vector<std::unique_ptr<const Expr>> unique;
    std::vector<std::shared_ptr<const Expr>> shared;
    releaseNested(*this, unique, shared);
    while (!unique.empty() || !shared.empty()) {
        if (!unique.empty()) {
            const std::unique_ptr<const Expr> next = std::move(unique.back());
            unique.pop_back();
            releaseNested(*next, unique, shared);
        } else {
            const std::shared_ptr<const Expr> next = std::move(shared.back());
            shared.pop_back();
            // Only the last owner takes apart what it holds.
            if (next.use_count() == 1)
                releaseNested(*next, unique, shared);
        }
    }
}

std::shared_ptr<const Expr> ExprCache::get(QStringView input)
{
    const QStringView key = trimBlanks(input);
    if (const auto it = m_map.find(key); it != m_map.end())
        return it->second;
    std::shared_ptr<const Expr> e = parseExpression(key);
    if (key.size() > limits::kCachedExpressionLength)
        return e;
    if (m_chars + key.size() > limits::kCachedExpressionChars) {
        m_map.clear();
        m_chars = 0;
    }
    m_map.emplace(key.toString(), e);
    m_chars += key.size() + 64;
    return e;
}

} // namespace varnok
