// SPDX-License-Identifier: GPL-3.0-or-later
#include "expression.h"

#include "common/conventions.h"
#include "common/limits.h"

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
            m_segments.push_back(makeSegment(expr, m_segStart, m_argStart, m_pos));
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
    m_segments.push_back(makeSegment(expr, m_segStart, m_argStart, n));
}

std::unique_ptr<Expr> parsePath(QString text, int expansionDepth)
{
    auto e = std::make_unique<Expr>();
    e->text = std::move(text);
    e->kind = Expr::Kind::Path;
    e->expansionDepth = expansionDepth;
    return e;
}

std::unique_ptr<Expr> parseExpression(QStringView input)
{
    auto e = std::make_unique<Expr>();
    const QStringView expr = trimBlanks(input);
    if (expr.isEmpty())
        return e;
    e->text = expr.toString();
    if (!startsNumberLiteral(expr[0])) {
        e->kind = Expr::Kind::Path;
        return e;
    }
    // A number literal: one leading "+" goes, the first "," is the decimal
    // separator.
    e->kind = Expr::Kind::Number;
    QString lit = e->text;
    if (lit[0] == u'+')
        lit.remove(0, 1);
    if (const qsizetype comma = lit.indexOf(u','); comma >= 0)
        lit[comma] = u'.';
    const double value = numericValue(lit);
    e->numberOk = std::isfinite(value);
    if (e->numberOk)
        e->number = numberText(value);
    return e;
}

void Segment::refill(const ScriptObjects &node) const
{
    const NameKey k = key();
    auto get = [](const auto *slot) { return slot ? slot->get() : nullptr; };
    Found f;
    f.alive = node.weak_from_this();
    // A node no one shares (never the case in a tree) is not remembered.
    f.node = f.alive.expired() ? nullptr : &node;
    f.layout = node.layout();
    f.shortcut = get(node.shortcutSlot(k));
    f.object = get(node.objectSlot(k));
    f.variable = get(node.variableSlot(k));
    f.function = get(node.functionSlot(k));
    f.valueArray = get(node.valueArraySlot(k));
    f.objectArray = get(node.objectArraySlot(k));
    found = std::move(f);
}

const Expr &SubExpr::get() const
{
    if (!expr)
        expr = parseExpression(text);
    return *expr;
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
