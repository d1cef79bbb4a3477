// SPDX-License-Identifier: GPL-3.0-or-later
// The built-ins over values: arithmetic, text, conversion, comparison,
// logic, random numbers and the clock.

#include "common/limits.h"
#include "builtinfunctions.h"

#include "common/conventions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace varnok::builtin {

namespace {

double num(const Params &p, qsizetype k)
{
    return p.number(k);
}

// The text of a finite result; error 2 otherwise.
QString number(Engine &engine, Params &p, double v, const EvalContext &ctx)
{
    if (!std::isfinite(v))
        return engine.fail(2, ctx);
    if (p.takesResult() && std::fabs(v) < 1e15 && v == std::trunc(v))
        p.resultIsWhole(v);
    return numberText(v);
}

QString truth(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

// The root of degree n (>= 1) of x by bisection; nullopt on overflow.
std::optional<double> bisectRoot(double x, int n)
{
    double low, high;
    if (x >= 1) {
        low = 1;
        high = x;
    } else if (x >= 0) {
        low = 0;
        high = 1;
    } else {
        low = x < -1 ? x : -1;
        high = 0;
    }
    double mid = 0;
    for (;;) {
        mid = low + (high - low) / 2;
        double pw = 1;
        for (int k = 0; k < n; ++k) {
            pw *= mid;
            if (!std::isfinite(pw))
                return std::nullopt;
        }
        if (pw < x) {
            if (low == mid)
                break;
            low = mid;
        } else if (pw > x) {
            if (high == mid)
                break;
            high = mid;
        } else {
            break;
        }
    }
    return mid;
}

} // namespace

QString plus(Engine &engine, Params &p, const EvalContext &ctx)
{
    return number(engine, p, num(p, 1) + num(p, 2), ctx);
}

QString minus(Engine &engine, Params &p, const EvalContext &ctx)
{
    return number(engine, p, num(p, 1) - num(p, 2), ctx);
}

QString mal(Engine &engine, Params &p, const EvalContext &ctx)
{
    return number(engine, p, num(p, 1) * num(p, 2), ctx);
}

QString durch(Engine &engine, Params &p, const EvalContext &ctx)
{
    if (num(p, 2) == 0)
        return engine.fail(2, ctx);
    return number(engine, p, num(p, 1) / num(p, 2), ctx);
}

QString hoch(Engine &engine, Params &p, const EvalContext &ctx)
{
    const auto n = toInt16(num(p, 2));
    if (!n || *n < limits::kHochExponentMin || *n > limits::kHochExponentMax)
        return engine.fail(2, ctx);
    const double x = num(p, 1);
    double r = 1;
    for (int k = 0; k < std::abs(int(*n)); ++k) {
        if (*n > 0) {
            r *= x;
        } else {
            if (x == 0)
                return engine.fail(2, ctx);
            r /= x;
        }
        if (!std::isfinite(r))
            return engine.fail(2, ctx);
    }
    return number(engine, p, r, ctx);
}

QString wurzel(Engine &engine, Params &p, const EvalContext &ctx)
{
    const auto deg = toInt16(num(p, 2));
    if (!deg || *deg == limits::kInt16Min)
        return engine.fail(2, ctx);
    const double x = num(p, 1);
    if (!std::isfinite(x))
        return engine.fail(2, ctx);
    int n = *deg;
    const bool reciprocal = n < 0;
    if (reciprocal)
        n = -n;
    if (x < 0 && n % 2 == 0)
        return QStringLiteral("0");
    const std::optional<double> root = bisectRoot(x, n);
    if (!root)
        return engine.fail(2, ctx);
    double mid = *root;
    if (reciprocal) {
        if (mid == 0)
            return engine.fail(2, ctx);
        mid = 1 / mid;
    }
    return number(engine, p, mid, ctx);
}

QString textPlus(Engine &, Params &p, const EvalContext &)
{
    return p[1] + p[2];
}

QString left(Engine &engine, Params &p, const EvalContext &ctx)
{
    qint32 n;
    if (!int32(num(p, 2), n) || n < 0)
        return engine.fail(2, ctx);
    return p[1].left(n);
}

QString right(Engine &engine, Params &p, const EvalContext &ctx)
{
    qint32 k;
    if (!int32(double(p[1].size()) - num(p, 2) + 1, k) || k < 0)
        return engine.fail(2, ctx);
    return k >= p[1].size() ? p[1] : p[1].right(k);
}

QString mid(Engine &engine, Params &p, const EvalContext &ctx)
{
    qint32 start, count;
    if (!int32(num(p, 2), start) || !int32(num(p, 3) - num(p, 2) + 1, count) || start < 1 || count < 0)
        return engine.fail(2, ctx);
    if (start > p[1].size())
        return {};
    return p[1].mid(start - 1, count);
}

QString suche(Engine &engine, Params &p, const EvalContext &ctx)
{
    // START below 1 searches from the start; an empty TEIL is found at
    // START while START is inside the text or just past its end.
    qint32 start;
    if (!int32(num(p, 3), start))
        return engine.fail(2, ctx);
    const qsizetype from = std::max<qint32>(start, 1) - 1;
    if (from > p[1].size())
        return QStringLiteral("0");
    return integerText(p[1].indexOf(p[2], from, Qt::CaseSensitive) + 1);
}

QString len(Engine &, Params &p, const EvalContext &)
{
    return integerText(p[1].size());
}

QString lTrim(Engine &, Params &p, const EvalContext &)
{
    return trimLeadingBlanks(p[1]).toString();
}

QString rTrim(Engine &, Params &p, const EvalContext &)
{
    return trimTrailingBlanks(p[1]).toString();
}

QString zTrim(Engine &, Params &p, const EvalContext &)
{
    return trimBlanks(p[1]).toString();
}

QString uCase(Engine &, Params &p, const EvalContext &)
{
    return upperCase(p[1]);
}

QString lCase(Engine &, Params &p, const EvalContext &)
{
    return lowerCase(p[1]);
}

QString chr(Engine &engine, Params &p, const EvalContext &ctx)
{
    qint32 code;
    if (!int32(num(p, 1), code) || code < 0 || code > 255)
        return engine.fail(2, ctx);
    return QString(cp1252ToChar(static_cast<unsigned char>(code)));
}

QString asc(Engine &engine, Params &p, const EvalContext &ctx)
{
    if (p[1].isEmpty())
        return engine.fail(2, ctx);
    const auto byte = charToCp1252(p[1][0]);
    return integerText(byte ? *byte : '?');
}

QString groesser(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) > num(p, 2));
}

QString groesserGleich(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) >= num(p, 2));
}

QString kleiner(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) < num(p, 2));
}

QString kleinerGleich(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) <= num(p, 2));
}

QString gleich(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) == num(p, 2));
}

QString ungleich(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) != num(p, 2));
}

QString textGleich(Engine &, Params &p, const EvalContext &)
{
    return truth(p[1] == p[2]);
}

QString textUngleich(Engine &, Params &p, const EvalContext &)
{
    return truth(p[1] != p[2]);
}

QString und(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) != 0 && num(p, 2) != 0);
}

QString oder(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) != 0 || num(p, 2) != 0);
}

QString xOder(Engine &, Params &p, const EvalContext &)
{
    return truth((num(p, 1) != 0) != (num(p, 2) != 0));
}

QString nicht(Engine &, Params &p, const EvalContext &)
{
    return truth(num(p, 1) == 0);
}

QString random(Engine &engine, Params &p, const EvalContext &ctx)
{
    qint32 lo, hi;
    if (!int32(num(p, 1), lo) || !int32(num(p, 2), hi))
        return engine.fail(2, ctx);
    if (lo > hi)
        std::swap(lo, hi);
    const qint64 range = qint64(hi) - qint64(lo) + 1;
    if (range > std::numeric_limits<qint32>::max())
        return engine.fail(2, ctx);
    const double r = engine.random().next();
    const double v = std::floor(r * double(range) + double(lo));
    return integerText(qint64(std::min(v, double(hi))));
}

QString timer(Engine &, Params &, const EvalContext &)
{
    return integerText(monotonicClockMs());
}

} // namespace varnok::builtin
