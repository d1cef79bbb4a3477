// SPDX-License-Identifier: GPL-3.0-or-later
// The number reader and writer: numeric value of any text, the number text
// form and the integer conversions.
//
// Input: the bytes as a Windows-1252 text and as UTF-16 code units; the
// first eight bytes (when there are eight) are also the bits of a double.

#include "fuzzcheck.h"

#include "common/conventions.h"

#include <QString>
#include <cmath>
#include <cstring>
#include <limits>

using namespace varnok;

namespace {

bool sameDouble(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

template<typename Int>
void checkInteger(double value, const std::optional<Int> &converted)
{
    if (!std::isfinite(value)) {
        FUZZ_CHECK(!converted);
        return;
    }
    const double r = std::nearbyint(value);
    const bool inRange = r >= double(std::numeric_limits<Int>::min())
                      && r <= double(std::numeric_limits<Int>::max());
    FUZZ_CHECK(converted.has_value() == inRange);
    if (!converted)
        return;
    const double back = double(*converted);
    // Nearest integer, halves to the even one.
    FUZZ_CHECK(std::fabs(back - value) <= 0.5);
    if (std::fabs(back - value) == 0.5)
        FUZZ_CHECK(std::fmod(back, 2.0) == 0);
}

void checkText(QStringView text)
{
    const double value = numericValue(text);
    FUZZ_CHECK(!std::isnan(value));
    // Blanks in front and anything that cannot continue a number behind
    // change nothing (the first also takes the general path instead of the
    // quick one for plain digits).
    FUZZ_CHECK(sameDouble(numericValue(QString(u' ' + text.toString())), value));
    FUZZ_CHECK(sameDouble(numericValue(QString(text.toString() + u'#')), value));
    // A text that is nothing but a number has that number's value.
    if (const auto whole = wholeNumericValue(text))
        FUZZ_CHECK(sameDouble(*whole, value));
    checkInteger(value, toInt16(value));
    checkInteger(value, toInt32(value));
    if (std::isfinite(value))
        numberText(value);
}

void checkNumber(double value)
{
    checkInteger(value, toInt16(value));
    checkInteger(value, toInt32(value));
    if (!std::isfinite(value))
        return;
    const QString text = numberText(value);
    FUZZ_CHECK(!text.isEmpty() && !text.contains(u' ') && !text.contains(u','));
    FUZZ_CHECK(!text.startsWith(u"0.") && !text.startsWith(u"-0."));
    const auto back = wholeNumericValue(text);
    FUZZ_CHECK(back.has_value());
    // Fifteen significant digits: the text reads back within half a unit of
    // its last digit (at most 5E-15 of the value) plus the rounding of the
    // reading itself (2^-53). The largest doubles round up past the greatest
    // finite value and read back as infinite.
    if (std::fabs(value) <= 1.79769313486231e308) {
        FUZZ_CHECK(std::fabs(*back - value) <= std::fabs(value) * 5.12e-15);
        // Writing what was read gives the same text again.
        FUZZ_CHECK(numberText(*back) == text);
    }
    // Integers below 1E15 are written with all their digits.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        FUZZ_CHECK(*back == value);
        FUZZ_CHECK(text == integerText(qint64(value)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    checkText(decodeCp1252(bytes, qsizetype(size)));
    checkText(QStringView(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2)));
    if (size >= 8) {
        double value;
        std::memcpy(&value, data, sizeof value);
        checkNumber(value);
        qint64 integer;
        std::memcpy(&integer, data, sizeof integer);
        const QString text = integerText(integer);
        FUZZ_CHECK(text == QString::number(integer));
        if (integer > -(qint64(1) << 53) && integer < (qint64(1) << 53))
            FUZZ_CHECK(wholeNumericValue(text) == double(integer));
    }
    // What the reader finds is written and read again.
    checkNumber(numericValue(decodeCp1252(bytes, qsizetype(size))));
    return 0;
}
