// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text and number rules shared by every layer: every script value is a
// QString, numbers are read and written by one set of functions, and bytes on
// the wire or on disk are one Windows-1252 byte per character.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <initializer_list>
#include <optional>

namespace varnok {

// Numeric value of a text: the longest numeric prefix, with blanks, tabs and
// line feeds skipped wherever they stand; sign, digits, at most one ".",
// exponent with E or D; "&H" / "&O" introduce hexadecimal / octal integers.
// A text without a number has the value 0. Out of double range gives ±inf.
double numericValue(QStringView text);

// The value of a text that is nothing but a number (blanks, tabs and line
// feeds aside); nothing when anything else follows or there is no number.
std::optional<double> wholeNumericValue(QStringView text);

// Number text form: at most 15 significant digits, "." as separator, no "0"
// before the separator below 1, exponent form from 1E+15 upwards and below
// 1E-4. Non-finite values have no text form (callers report them first).
QString numberText(double value);

// Plain decimal form of an integer.
QString integerText(qint64 value);

// Offers the buffer of a text no one needs any more (a variable's content
// it just replaced) to the next integerText, which then writes its digits
// into it instead of allocating: a counter that is written again and again
// allocates nothing. Kept only when no one else shares it and it is small.
void recycleText(QString &&text);

// Round half to even, then range check. Empty on NaN or out of range.
std::optional<qint16> toInt16(double value);
std::optional<qint32> toInt32(double value);

// Windows-1252, made bijective: the five unassigned bytes map to the C1
// control characters of the same code, so every byte sequence survives a
// decode and encode unchanged.
QChar cp1252ToChar(unsigned char byte);
// The byte of a character, or nothing when the character is outside the set.
std::optional<unsigned char> charToCp1252(QChar ch);
QString decodeCp1252(const QByteArray &bytes);
QString decodeCp1252(const char *data, qsizetype size);
// The same into `out`, which has room for `size` characters. Runs of plain
// Latin-1 bytes are widened by a loop the compiler vectorises.
void decodeCp1252Into(const char *data, qsizetype size, char16_t *out);
// Characters outside the set become '?'.
QByteArray encodeCp1252(QStringView text);

// Per-character case mapping: a text never changes its length.
QString upperCase(QStringView text);
QString lowerCase(QStringView text);
inline QChar upperChar(QChar c)
{
    const ushort u = c.unicode();
    if (u < 0x80)
        return (u >= 'a' && u <= 'z') ? QChar(u - 32) : c;
    return c.toUpper();
}

// Joins texts with one allocation.
inline QString concat(std::initializer_list<QStringView> parts)
{
    qsizetype size = 0;
    for (const QStringView p : parts)
        size += p.size();
    QString out;
    out.reserve(size);
    for (const QStringView p : parts)
        out.append(p);
    return out;
}

// Blanks (U+0020 only) removed at one or both ends.
inline QStringView trimLeadingBlanks(QStringView text)
{
    qsizetype b = 0;
    while (b < text.size() && text[b] == u' ')
        ++b;
    return text.mid(b);
}
inline QStringView trimTrailingBlanks(QStringView text)
{
    qsizetype e = text.size();
    while (e > 0 && text[e - 1] == u' ')
        --e;
    return text.left(e);
}
inline QStringView trimBlanks(QStringView text)
{
    return trimTrailingBlanks(trimLeadingBlanks(text));
}

// Exact equality, inline: names are short, most differ in length, and a
// name that shares its characters with the stored one needs no comparison.
inline bool sameText(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    if (a.data() == b.data())
        return true;
    const char16_t *x = a.utf16();
    const char16_t *y = b.utf16();
    for (qsizetype i = 0; i < a.size(); ++i)
        if (x[i] != y[i])
            return false;
    return true;
}

// Names are stored trimmed of blanks and in upper case.
QString normalizeName(QStringView name);
// True when `request` (already trimmed of blanks), upper-cased, equals the
// normalised `stored`; allocates nothing.
inline bool nameMatchesTrimmed(QStringView stored, QStringView request)
{
    if (request.size() != stored.size())
        return false;
    for (qsizetype i = 0; i < request.size(); ++i)
        if (upperChar(request[i]) != stored[i])
            return false;
    return true;
}
// True when `request`, normalised, equals the already normalised `stored`;
// allocates nothing.
bool nameMatches(QStringView stored, QStringView request);

} // namespace varnok
