// SPDX-License-Identifier: GPL-3.0-or-later
#include "conventions.h"
#include "common/limits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace varnok {

namespace {

bool isSkippedInNumber(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n';
}

int digitValue(ushort u, int base)
{
    int v = -1;
    if (u >= '0' && u <= '9')
        v = u - '0';
    else if (u >= 'a' && u <= 'f')
        v = u - 'a' + 10;
    else if (u >= 'A' && u <= 'F')
        v = u - 'A' + 10;
    return v < base ? v : -1;
}

// "&H" / "&O" integers take the width of the smallest integer they fill, the
// way such literals have always behaved: &HFFFF is -1, &H10000 is 65536.
double radixValue(QStringView text, qsizetype pos, int base, qsizetype *end)
{
    double value = 0;
    bool any = false;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (isSkippedInNumber(c))
            continue;
        const int d = digitValue(c.unicode(), base);
        if (d < 0)
            break;
        value = value * base + d;
        any = true;
        if (end)
            *end = pos + 1;
    }
    if (!any)
        return 0;
    if (value <= 0xFFFF)
        return value >= 0x8000 ? value - 65536.0 : value;
    if (value <= 4294967295.0)
        return value >= 2147483648.0 ? value - 4294967296.0 : value;
    return value;
}

} // namespace

namespace {
double scanNumber(QStringView text, qsizetype *end);
} // namespace

double numericValue(QStringView text)
{
    // Plain digit strings (indices, counters) are by far the most common.
    const qsizetype n = text.size();
    if (n > 0 && n <= 15) {
        qint64 v = 0;
        qsizetype i = 0;
        for (; i < n; ++i) {
            const char16_t c = text.utf16()[i];
            if (c < u'0' || c > u'9')
                break;
            v = v * 10 + (c - u'0');
        }
        if (i == n)
            return double(v);
    }
    return scanNumber(text, nullptr);
}

std::optional<double> wholeNumericValue(QStringView text)
{
    qsizetype end = 0;
    const double v = scanNumber(text, &end);
    if (end < 0)
        return std::nullopt;
    for (qsizetype i = end; i < text.size(); ++i)
        if (!isSkippedInNumber(text[i]))
            return std::nullopt;
    return v;
}

namespace {
// `end` receives the position after the last character of the number, or -1
// when the text holds no number at all.
double scanNumber(QStringView text, qsizetype *end)
{
    if (end)
        *end = -1;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skip = [&] {
        while (i < n && isSkippedInNumber(text[i]))
            ++i;
    };
    skip();
    if (i < n && text[i] == u'&' && i + 1 < n) {
        qsizetype j = i + 1;
        while (j < n && isSkippedInNumber(text[j]))
            ++j;
        if (j < n) {
            const ushort k = text[j].unicode() | 0x20;
            if (k == 'h' || k == 'o')
                return radixValue(text, j + 1, k == 'h' ? 16 : 8, end);
        }
        return 0;
    }

    // Keep at most 40 significant digits (more cannot change a double) and
    // track the decimal exponent separately, so any length of input is fine.
    char digits[48];
    int count = 0;
    long exponent = 0;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool anyDigit = false;
    bool dot = false;
    for (; i < n; ++i) {
        const ushort u = text[i].unicode();
        if (u == ' ' || u == '\t' || u == '\n')
            continue;
        if (u >= '0' && u <= '9') {
            anyDigit = true;
            if (count == 0 && u == '0') {
                if (dot)
                    --exponent;
            } else if (count < 40) {
                digits[count++] = char(u);
                if (dot)
                    --exponent;
            } else if (!dot) {
                ++exponent;
            }
        } else if (u == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return 0;
    if (end)
        *end = i;
    // Exponent: E or D, optional sign, digits; without digits it is not part
    // of the number.
    if (i < n) {
        const ushort e = text[i].unicode() | 0x20;
        if (e == 'e' || e == 'd') {
            qsizetype j = i + 1;
            while (j < n && isSkippedInNumber(text[j]))
                ++j;
            int sign = 1;
            if (j < n && (text[j] == u'+' || text[j] == u'-')) {
                sign = text[j] == u'-' ? -1 : 1;
                ++j;
            }
            long exp = 0;
            bool expDigits = false;
            for (; j < n; ++j) {
                const ushort u = text[j].unicode();
                if (u == ' ' || u == '\t' || u == '\n')
                    continue;
                if (u < '0' || u > '9')
                    break;
                expDigits = true;
                if (end)
                    *end = j + 1;
                if (exp < 100000)
                    exp = exp * 10 + (u - '0');
            }
            if (expDigits)
                exponent += sign * exp;
        }
    }
    if (count == 0)
        return 0;
    // Up to 15 digits and a power of ten up to 22 are both exact doubles, so
    // one multiplication or division is correctly rounded: the common case
    // needs no string round trip.
    if (count <= 15 && exponent >= -22 && exponent <= 22) {
        qint64 mantissa = 0;
        for (int k = 0; k < count; ++k)
            mantissa = mantissa * 10 + (digits[k] - '0');
        static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        double v = double(mantissa);
        v = exponent >= 0 ? v * kPow10[exponent] : v / kPow10[-exponent];
        return negative ? -v : v;
    }
    char buf[80];
    std::snprintf(buf, sizeof buf, "%s%.*se%ld", negative ? "-" : "", count, digits, exponent);
    return std::strtod(buf, nullptr);
}
} // namespace

namespace {
// Small integers (indices, counters, truth values) are the most common
// results; they share one immutable text each instead of allocating. The
// texts lie over characters that live as long as the program, and such a
// text is copied and dropped without counting its users (an atomic
// operation each) as a text of its own would be.
char16_t smallIntegerChars[1024][5];
const std::array<QString, 1024> kSmallIntegers = [] {
    std::array<QString, 1024> texts;
    for (int i = 0; i < 1024; ++i) {
        const QString digits = QString::number(i);
        std::copy(digits.utf16(), digits.utf16() + digits.size(), smallIntegerChars[i]);
        texts[size_t(i)] = QString::fromRawData(reinterpret_cast<const QChar *>(smallIntegerChars[i]), digits.size());
    }
    return texts;
}();
} // namespace

namespace {

QString &spareText()
{
    thread_local QString spare;
    return spare;
}

} // namespace

namespace {
// "00" to "99", two characters each.
constexpr std::array<char16_t, 200> kDigitPairs = [] {
    std::array<char16_t, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[size_t(2 * i)] = char16_t(u'0' + i / 10);
        pairs[size_t(2 * i + 1)] = char16_t(u'0' + i % 10);
    }
    return pairs;
}();
} // namespace

QString integerText(qint64 value)
{
    if (value >= 0 && value < 1024)
        return kSmallIntegers[size_t(value)];
    quint64 rest = value < 0 ? 0 - quint64(value) : quint64(value);
    qsizetype length = value < 0 ? 2 : 1;
    // At most 19 digits: the power stays below 2^64.
    for (quint64 power = 10; power <= 1000000000000000000ull && rest >= power; power *= 10)
        ++length;
    // Digits written straight into the result, from its end (not through a
    // buffer of their own, which the copy would read back in wider pieces
    // than they were written): its one allocation, or none when the spare
    // buffer takes them.
    QString out;
    QString &spare = spareText();
    if (spare.isDetached() && spare.capacity() >= length) {
        out = std::move(spare);
        // A counter's digits mostly keep their number.
        if (out.size() != length)
            out.resize(length);
    } else {
        out = QString(length, Qt::Uninitialized);
    }
    char16_t *at = reinterpret_cast<char16_t *>(out.data()) + length;
    while (rest >= 100) {
        const size_t pair = size_t(rest % 100) * 2;
        rest /= 100;
        *--at = kDigitPairs[pair + 1];
        *--at = kDigitPairs[pair];
    }
    if (rest >= 10) {
        *--at = kDigitPairs[size_t(rest) * 2 + 1];
        *--at = kDigitPairs[size_t(rest) * 2];
    } else {
        *--at = char16_t(u'0' + rest);
    }
    if (value < 0)
        *--at = u'-';
    return out;
}

void recycleText(QString &&text)
{
    // Small: the spare lives as long as the thread.
    constexpr qsizetype kLargest = 32;
    if (text.isDetached() && text.capacity() <= kLargest && text.capacity() > 0)
        spareText() = std::move(text);
}

namespace {
QString fractionText(double value);
} // namespace

QString numberText(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return integerText(qint64(value));
    return fractionText(value);
}

namespace {
[[gnu::noinline]] QString fractionText(double value)
{
    const double mag = std::fabs(value);
    // Round to 15 significant digits first; the decision between plain and
    // exponent form is taken on the rounded value.
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.14e", mag);
    // digits: d.dddddddddddddde±XX
    char *e = std::strchr(digits, 'e');
    const int exponent = std::atoi(e + 1);
    std::string mant;
    mant.push_back(digits[0]);
    mant.append(digits + 2, e);
    while (mant.size() > 1 && mant.back() == '0')
        mant.pop_back();

    std::string out;
    if (value < 0)
        out.push_back('-');
    if (exponent >= 15 || exponent < -4) {
        out.push_back(mant[0]);
        if (mant.size() > 1) {
            out.push_back('.');
            out.append(mant, 1, std::string::npos);
        }
        char ebuf[16];
        std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += ebuf;
    } else if (exponent < 0) {
        out.push_back('.');
        out.append(size_t(-exponent - 1), '0');
        out += mant;
    } else {
        const size_t intDigits = size_t(exponent) + 1;
        if (mant.size() <= intDigits) {
            out += mant;
            out.append(intDigits - mant.size(), '0');
        } else {
            out.append(mant, 0, intDigits);
            out.push_back('.');
            out.append(mant, intDigits, std::string::npos);
        }
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}
} // namespace

std::optional<qint16> toInt16(double value)
{
    // Whole numbers in range, the usual index, need no rounding.
    if (value >= limits::kInt16Min && value <= limits::kInt16Max && value == double(int(value)))
        return qint16(value);
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);
    if (r < limits::kInt16Min || r > limits::kInt16Max)
        return std::nullopt;
    return qint16(r);
}

std::optional<qint32> toInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return qint32(r);
}

namespace {

// 0x80..0x9F of Windows-1252; unassigned bytes keep their own code.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<char16_t, 256> cp1252Table()
{
    std::array<char16_t, 256> t{};
    for (size_t b = 0; b < 256; ++b)
        t[b] = b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : char16_t(b);
    return t;
}
constexpr std::array<char16_t, 256> kCp1252 = cp1252Table();

} // namespace

QChar cp1252ToChar(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(kHigh[byte - 0x80]);
    return QChar(ushort(byte));
}

std::optional<unsigned char> charToCp1252(QChar ch)
{
    const ushort u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<unsigned char>(u);
    for (int k = 0; k < 32; ++k)
        if (kHigh[size_t(k)] == u)
            return static_cast<unsigned char>(0x80 + k);
    return std::nullopt;
}

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Random bytes hold one of 0x80..0x9F in nearly every 64-byte block, so the
// portable loop below takes its table path for almost all of them. SSSE3's
// byte shuffle looks sixteen bytes up in the 32 characters of that range at
// once; the tables are those characters' low and high bytes, in halves of 16.
constexpr std::array<unsigned char, 16> highPart(bool highByte, int half)
{
    std::array<unsigned char, 16> t{};
    for (int k = 0; k < 16; ++k) {
        const char16_t c = kHigh[size_t(half * 16 + k)];
        t[size_t(k)] = static_cast<unsigned char>(highByte ? c >> 8 : c & 0xFF);
    }
    return t;
}
alignas(16) constexpr std::array<unsigned char, 16> kLowBytes0 = highPart(false, 0);
alignas(16) constexpr std::array<unsigned char, 16> kLowBytes1 = highPart(false, 1);
alignas(16) constexpr std::array<unsigned char, 16> kHighBytes0 = highPart(true, 0);
alignas(16) constexpr std::array<unsigned char, 16> kHighBytes1 = highPart(true, 1);

// Each byte's entry from the half of the table that bit 4 of `x` names.
__attribute__((target("ssse3"))) inline __m128i lookUpHalves(__m128i t0, __m128i t1, __m128i index,
                                                             __m128i second)
{
    return _mm_or_si128(_mm_and_si128(second, _mm_shuffle_epi8(t1, index)),
                        _mm_andnot_si128(second, _mm_shuffle_epi8(t0, index)));
}

__attribute__((target("ssse3"))) qsizetype decodeBlocksSsse3(const unsigned char *src, qsizetype size,
                                                             char16_t *out)
{
    const auto load = [](const std::array<unsigned char, 16> &t) {
        return _mm_load_si128(reinterpret_cast<const __m128i *>(t.data()));
    };
    const __m128i low0 = load(kLowBytes0), low1 = load(kLowBytes1);
    const __m128i high0 = load(kHighBytes0), high1 = load(kHighBytes1);
    const __m128i bit7 = _mm_set1_epi8(char(0x80));
    const __m128i last = _mm_set1_epi8(31);
    const __m128i bit4 = _mm_set1_epi8(16);
    const __m128i nibble = _mm_set1_epi8(15);
    qsizetype i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        const __m128i x = _mm_xor_si128(c, bit7); // 0x80..0x9F become 0..31
        const __m128i inRange = _mm_cmpeq_epi8(_mm_min_epu8(x, last), x);
        const __m128i index = _mm_and_si128(x, nibble);
        const __m128i second = _mm_cmpeq_epi8(_mm_and_si128(x, bit4), bit4);
        const __m128i lowBytes = _mm_or_si128(_mm_and_si128(inRange, lookUpHalves(low0, low1, index, second)),
                                              _mm_andnot_si128(inRange, c));
        const __m128i highBytes = _mm_and_si128(inRange, lookUpHalves(high0, high1, index, second));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(lowBytes, highBytes));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(lowBytes, highBytes));
    }
    return i;
}

bool hasSsse3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

void decodeCp1252Into(const char *data, qsizetype size, char16_t *out)
{
    const auto *src = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (hasSsse3())
        i = decodeBlocksSsse3(src, size, out);
#endif
    // Only 0x80..0x9F differ from Latin-1. A block without one of them is
    // widened as it is; the check and the widening are simple enough loops
    // for the compiler to turn into vector instructions.
    constexpr qsizetype kBlock = 64;
    for (; i + kBlock <= size; i += kBlock) {
        unsigned char high = 0;
        for (qsizetype k = 0; k < kBlock; ++k)
            high |= static_cast<unsigned char>(static_cast<unsigned char>(src[i + k] - 0x80) < 0x20);
        if (!high) {
            for (qsizetype k = 0; k < kBlock; ++k)
                out[i + k] = src[i + k];
        } else {
            for (qsizetype k = 0; k < kBlock; ++k)
                out[i + k] = kCp1252[src[i + k]];
        }
    }
    for (; i < size; ++i)
        out[i] = kCp1252[src[i]];
}

QString decodeCp1252(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    decodeCp1252Into(data, size, reinterpret_cast<char16_t *>(out.data()));
    return out;
}

QString decodeCp1252(const QByteArray &bytes)
{
    return decodeCp1252(bytes.constData(), bytes.size());
}

QByteArray encodeCp1252(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char *dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const ushort u = text[i].unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            dst[i] = char(u);
        } else {
            const auto b = charToCp1252(text[i]);
            dst[i] = b ? char(*b) : '?';
        }
    }
    return out;
}

QString upperCase(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        dst[i] = upperChar(text[i]);
    return out;
}

QString lowerCase(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const ushort u = text[i].unicode();
        dst[i] = u < 0x80 ? ((u >= 'A' && u <= 'Z') ? QChar(u + 32) : text[i]) : text[i].toLower();
    }
    return out;
}

QString normalizeName(QStringView name)
{
    return upperCase(trimBlanks(name));
}

bool nameMatches(QStringView stored, QStringView request)
{
    return nameMatchesTrimmed(stored, trimBlanks(request));
}

} // namespace varnok
