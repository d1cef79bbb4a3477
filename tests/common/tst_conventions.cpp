// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers and texts: numeric value, number text form, integer conversion,
// the Windows-1252 table and case mapping.

#include "common/conventions.h"

#include <QRandomGenerator>
#include <QTest>

#include <limits>
#include <cmath>

using namespace varnok;

class TestConventions : public QObject
{
    Q_OBJECT
private slots:
    void numericValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("prefix") << "12abc" << 12.0;
        QTest::newRow("blanks anywhere") << " 1 2 . 5 " << 12.5;
        QTest::newRow("tabs and lf") << "\t-\n3" << -3.0;
        QTest::newRow("cr stops") << "1\r2" << 1.0;
        QTest::newRow("one dot only") << "1.2.3" << 1.2;
        QTest::newRow("comma stops") << "1,5" << 1.0;
        QTest::newRow("exponent E") << "1.5E3" << 1500.0;
        QTest::newRow("exponent d") << "2d-2" << 0.02;
        QTest::newRow("exponent without digits") << "7e" << 7.0;
        QTest::newRow("lone dot") << "." << 0.0;
        QTest::newRow("leading dot") << ".5" << 0.5;
        QTest::newRow("sign twice") << "+-1" << 0.0;
        QTest::newRow("hex") << "&H1F" << 31.0;
        QTest::newRow("hex 16 bit") << "&HFFFF" << -1.0;
        QTest::newRow("hex 32 bit") << "&H10000" << 65536.0;
        QTest::newRow("hex lower") << "&hff" << 255.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("octal stops at 8") << "&O78" << 7.0;
        QTest::newRow("ampersand alone") << "&" << 0.0;
        QTest::newRow("long mantissa") << QString(400, u'1').prepend(u'.') << 0.11111111111111111;
        QTest::newRow("many zeros") << QStringLiteral("0.") + QString(500, u'0') + u'1' << 0.0;
    }
    void numericValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(varnok::numericValue(text), value);
    }

    void overflowIsInfinite()
    {
        QVERIFY(std::isinf(varnok::numericValue(u"1e400")));
        QCOMPARE(varnok::numericValue(u"1e-400"), 0.0);
        QVERIFY(std::isinf(varnok::numericValue(QString(400, u'9'))));
    }

    void wholeNumbers()
    {
        QCOMPARE(wholeNumericValue(u" 5 "), std::optional<double>(5));
        QCOMPARE(wholeNumericValue(u"5x"), std::nullopt);
        QCOMPARE(wholeNumericValue(u""), std::nullopt);
        QCOMPARE(wholeNumericValue(u"-2.5e1"), std::optional<double>(-25));
    }

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("integer") << 42.0 << "42";
        QTest::newRow("quarter") << 0.25 << ".25";
        QTest::newRow("negative fraction") << -0.25 << "-.25";
        QTest::newRow("third") << 1.0 / 3 << ".333333333333333";
        QTest::newRow("point three") << 0.1 + 0.2 << ".3";
        QTest::newRow("fifteen digits") << 123456789012345.0 << "123456789012345";
        QTest::newRow("1E15") << 1e15 << "1E+15";
        QTest::newRow("big") << 1.5e20 << "1.5E+20";
        QTest::newRow("rounds up to exponent") << 999999999999999.9 << "1E+15";
        QTest::newRow("small plain") << 0.0001 << ".0001";
        QTest::newRow("small exponent") << 0.00001 << "1E-05";
        QTest::newRow("tiny") << 1.25e-300 << "1.25E-300";
        QTest::newRow("max") << 1.7976931348623157e308 << "1.79769313486232E+308";
        QTest::newRow("mixed") << 12.5 << "12.5";
    }
    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(varnok::numberText(value), text);
    }

    void numberTextRoundTrips()
    {
        // The text form keeps 15 significant digits: reading it back gives
        // the value rounded to 15 digits, and writing that again is stable.
        QRandomGenerator rng(12345);
        for (int i = 0; i < 20000; ++i) {
            const double mantissa = rng.generateDouble() * 2 - 1;
            const double v = mantissa * std::pow(10.0, int(rng.bounded(60)) - 30);
            const QString t = varnok::numberText(v);
            const double back = varnok::numericValue(t);
            QVERIFY2(std::fabs(back - v) <= std::fabs(v) * 1e-14, qPrintable(t));
            QCOMPARE(varnok::numberText(back), t);
            QVERIFY(!t.contains(u' ') && !t.contains(u','));
        }
    }

    void integerTextIsPlainDecimal()
    {
        // Integers are written without the locale machinery; the digits
        // must be what plain decimal conversion gives.
        QRandomGenerator rng(7);
        for (int i = 0; i < 20000; ++i) {
            const qint64 v = qint64(rng.generate64() >> rng.bounded(64)) * (i % 2 ? 1 : -1);
            QCOMPARE(varnok::integerText(v), QString::number(v));
        }
        for (const qint64 v : {qint64(0), qint64(1023), qint64(1024), qint64(-1), std::numeric_limits<qint64>::min(),
                               std::numeric_limits<qint64>::max()})
            QCOMPARE(varnok::integerText(v), QString::number(v));
    }

    void integerConversion()
    {
        QCOMPARE(toInt16(2.5), std::optional<qint16>(2));
        QCOMPARE(toInt16(3.5), std::optional<qint16>(4));
        QCOMPARE(toInt16(-2.5), std::optional<qint16>(-2));
        QCOMPARE(toInt16(32767.4), std::optional<qint16>(32767));
        QCOMPARE(toInt16(32767.5), std::nullopt);
        QCOMPARE(toInt16(-32768.5), std::optional<qint16>(-32768));
        QCOMPARE(toInt16(-32769), std::nullopt);
        QCOMPARE(toInt32(2147483647.0), std::optional<qint32>(2147483647));
        QCOMPARE(toInt32(2147483648.0), std::nullopt);
        QCOMPARE(toInt32(std::nan("")), std::nullopt);
        QCOMPARE(toInt32(INFINITY), std::nullopt);
    }

    void windows1252IsBijective()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString decoded = decodeCp1252(all);
        QCOMPARE(decoded.size(), 256);
        QCOMPARE(encodeCp1252(decoded), all);
        QCOMPARE(decoded[0x80], QChar(0x20AC));
        QCOMPARE(decoded[0x81], QChar(0x81));
        QCOMPARE(decoded[0x9F], QChar(0x178));
        QCOMPARE(decoded[0xE4], QChar(0xE4));
        QCOMPARE(encodeCp1252(u"\u4e2d"), QByteArray("?"));
        QCOMPARE(charToCp1252(QChar(0x2122)), std::optional<unsigned char>(0x99));

        // Long texts are decoded sixteen or sixty-four bytes at a time: every
        // byte at every place in such a block, and every length of the rest.
        QByteArray mixed;
        for (int k = 0; k < 4096; ++k)
            mixed.append(char((k * 167 + k / 256) & 0xFF));
        for (qsizetype from = 0; from < 20; ++from) {
            for (qsizetype len : {qsizetype(0), qsizetype(15), qsizetype(16), qsizetype(17), qsizetype(63),
                                  qsizetype(64), qsizetype(65), qsizetype(1000), mixed.size() - from}) {
                const QString part = decodeCp1252(mixed.constData() + from, len);
                for (qsizetype k = 0; k < len; ++k) {
                    if (part[k] != cp1252ToChar(static_cast<unsigned char>(mixed[from + k])))
                        QFAIL(qPrintable(QStringLiteral("byte %1 of %2 from %3").arg(k).arg(len).arg(from)));
                }
            }
        }
    }

    void caseMappingKeepsLength()
    {
        QCOMPARE(upperCase(u"straße äöü"), QStringLiteral("STRAßE ÄÖÜ"));
        QCOMPARE(lowerCase(u"ÄÖÜ ABC"), QStringLiteral("äöü abc"));
        QCOMPARE(normalizeName(u"  Accept-Language "), QStringLiteral("ACCEPT-LANGUAGE"));
        QCOMPARE(normalizeName(u"\tx"), QStringLiteral("\tX"));
        QVERIFY(nameMatches(u"HOST", u"  host "));
        QVERIFY(!nameMatches(u"HOST", u"ho st"));
    }
};

QTEST_GUILESS_MAIN(TestConventions)
#include "tst_conventions.moc"
