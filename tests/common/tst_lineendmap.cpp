// SPDX-License-Identifier: GPL-3.0-or-later
// The line-end map and the edit history, against plain recomputation from
// the text: after every change the map must say what a fresh scan says.

#include "common/edithistory.h"
#include "common/lineendmap.h"

#include <QTest>

#include <random>

using namespace varnok;

namespace {

struct Naive {
    std::vector<qsizetype> lfs;
    std::vector<bool> pairs;
    std::vector<qsizetype> modelToShown; // for every model position
    explicit Naive(const QString &t)
    {
        qsizetype shown = 0;
        for (qsizetype i = 0; i <= t.size(); ++i) {
            const bool crBeforeLf = i < t.size() && t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n';
            const bool betweenCrLf = i > 0 && i < t.size() && t[i] == u'\n' && t[i - 1] == u'\r';
            modelToShown.push_back(betweenCrLf ? shown - 1 : shown);
            if (i == t.size())
                break;
            if (t[i] == u'\n') {
                lfs.push_back(i);
                pairs.push_back(i > 0 && t[i - 1] == u'\r');
                shown += pairs.back() ? 0 : 2;
            } else {
                shown += 1;
            }
            Q_UNUSED(crBeforeLf);
        }
    }
};

QString randomText(std::mt19937 &rng, int length)
{
    static const char16_t kChars[] = {u'\r', u'\n', u'\n', u'x', u'\r', u'y'};
    QString t;
    for (int i = 0; i < length; ++i)
        t += QChar(kChars[rng() % 6]);
    return t;
}

void compare(const LineEndMap &map, const QString &t)
{
    const Naive n(t);
    QCOMPARE(map.count(), qsizetype(n.lfs.size()));
    qsizetype pairs = 0;
    for (std::size_t i = 0; i < n.lfs.size(); ++i) {
        QCOMPARE(map.lfPosition(qsizetype(i)), n.lfs[i]);
        QCOMPARE(map.isPair(qsizetype(i)), bool(n.pairs[i]));
        QCOMPARE(map.pairsBefore(qsizetype(i)), pairs);
        pairs += n.pairs[i] ? 1 : 0;
    }
    QCOMPARE(map.pairCount(), pairs);
    // Reading on from any LF gives the same LFs as looking each one up.
    for (std::size_t from : {std::size_t(0), n.lfs.size() / 3, n.lfs.size()}) {
        LineEndMap::Reader reader(map, qsizetype(from));
        qsizetype pos = 0;
        bool pair = false;
        for (std::size_t i = from; i < n.lfs.size(); ++i) {
            QVERIFY(reader.next(pos, pair));
            QCOMPARE(pos, n.lfs[i]);
            QCOMPARE(pair, bool(n.pairs[i]));
        }
        QVERIFY(!reader.next(pos, pair));
    }
    std::size_t k = 0;
    for (qsizetype p = 0; p <= t.size(); ++p) {
        while (k < n.lfs.size() && n.lfs[k] < p)
            ++k;
        QCOMPARE(map.countBefore(p), qsizetype(k));
        QCOMPARE(map.shownPosition(p), n.modelToShown[std::size_t(p)]);
    }
    // Every screen position maps back to the model position it stands for:
    // the greatest model position shown at or before it, except between a
    // lone LF's symbol and its break, which is the position after the LF.
    const qsizetype shownLength = map.shownLength(t.size());
    QCOMPARE(shownLength, n.modelToShown.back());
    const auto between = [&](qsizetype m) { return m > 0 && m < t.size() && t[m] == u'\n' && t[m - 1] == u'\r'; };
    qsizetype m = 0;
    for (qsizetype d = 0; d <= shownLength; ++d) {
        while (m + 1 <= t.size() && n.modelToShown[std::size_t(m + 1)] <= d)
            ++m;
        qsizetype expected = m;
        while (between(expected))
            --expected;
        if (m < t.size() && t[m] == u'\n' && !between(m) && d == n.modelToShown[std::size_t(m)] + 1)
            expected = m + 1; // after a lone LF's symbol
        QCOMPARE(map.modelPosition(d), expected);
    }
}

} // namespace

class TstLineEndMap : public QObject
{
    Q_OBJECT
private slots:
    void emptyAndSingleLines()
    {
        LineEndMap map;
        map.reset(u"");
        QCOMPARE(map.count(), 0);
        QCOMPARE(map.lineCount(), 1);
        QCOMPARE(map.lineOf(0), 0);
        map.reset(u"a\r\nb\nc\rd");
        QCOMPARE(map.lineCount(), 3);
        QCOMPARE(map.lineStart(1), 3);
        QCOMPARE(map.lineStart(2), 5);
        QCOMPARE(map.lineOf(4), 1);
        QCOMPARE(map.lineOf(5), 2);
        QVERIFY(map.isPair(0));
        QVERIFY(!map.isPair(1));
    }

    // Texts over several blocks, changed at random places, and appends
    // that split a CR from its LF.
    void randomChangesMatchAFreshScan()
    {
        std::mt19937 rng(7);
        for (int round = 0; round < 6; ++round) {
            QString t = randomText(rng, 2500 + int(rng() % 3000));
            LineEndMap map;
            map.reset(t);
            compare(map, t);
            for (int step = 0; step < 40; ++step) {
                const qsizetype start = qsizetype(rng() % quint32(t.size() + 1));
                const qsizetype removed = qsizetype(rng() % quint32(std::min<qsizetype>(t.size() - start, 1500) + 1));
                const QString inserted = randomText(rng, int(rng() % (step % 5 == 0 ? 2200 : 6)));
                t.replace(start, removed, inserted);
                map.update(t, start, start + removed, start + inserted.size());
                if (step % 8 == 0)
                    compare(map, t);
            }
            compare(map, t);
            for (int step = 0; step < 300; ++step) { // a flood of pieces
                const qsizetype from = t.size();
                t += randomText(rng, int(1 + rng() % 7));
                map.update(t, from, from, t.size());
            }
            compare(map, t);
        }
    }

    void aLineCostsAboutFourBytes()
    {
        QString t;
        for (int i = 0; i < 200000; ++i)
            t += QStringLiteral("X-Flut: %1\r\n").arg(i);
        LineEndMap map;
        map.reset(t);
        QCOMPARE(map.count(), 200000);
        QVERIFY2(map.memoryBytes() < 200000 * 5, QByteArray::number(qulonglong(map.memoryBytes())));
    }

    // A body of bare LFs is a line per character: its index must stay
    // well below the two bytes the character itself takes.
    void bareLfsCostAboutAByteEach()
    {
        const QString t(1 << 20, u'\n');
        LineEndMap map;
        map.reset(t);
        QCOMPARE(map.count(), qsizetype(t.size()));
        QVERIFY2(map.memoryBytes() < std::size_t(t.size()) * 5 / 4,
                 QByteArray::number(qulonglong(map.memoryBytes())));
        LineEndMap appended;
        for (qsizetype from = 0; from < t.size(); from += 65536)
            appended.update(QStringView(t).first(from + 65536), from, from, from + 65536);
        QCOMPARE(appended.count(), qsizetype(t.size()));
        QCOMPARE(appended.lfPosition(777777), 777777);
        QVERIFY2(appended.memoryBytes() < std::size_t(t.size()) * 5 / 4,
                 QByteArray::number(qulonglong(appended.memoryBytes())));
    }

    void historyJoinsTypingAndUndoesExactly()
    {
        EditHistory h;
        h.record({0, {}, QStringLiteral("a")});
        h.record({1, {}, QStringLiteral("\t")});
        h.record({2, {}, QStringLiteral("b")});
        QCOMPARE(h.undoSteps(), std::size_t(1));
        h.record({3, {}, QStringLiteral("pasted")}, true);
        h.record({9, {}, QStringLiteral("c")});
        QCOMPARE(h.undoSteps(), std::size_t(3)); // typing after a paste is a step of its own
        h.record({10, QStringLiteral("\n"), {}}); // delete
        h.record({10, QString(QChar(u'\0')), {}});
        h.record({9, QStringLiteral("c"), {}});  // backspace
        QCOMPARE(h.undoSteps(), std::size_t(4));
        auto u = h.takeUndo();
        QVERIFY(u);
        QCOMPARE(u->start, 9);
        QCOMPARE(u->removed, QStringLiteral("c\n") + QChar(u'\0'));
        QVERIFY(h.canRedo());
        // After an undo, typing starts a step of its own and clears redo.
        h.record({9, {}, QStringLiteral("x")});
        QVERIFY(!h.canRedo());
        QCOMPARE(h.undoSteps(), std::size_t(4));
        EditHistory small(2);
        for (int i = 0; i < 5; ++i)
            small.record({i, {}, QStringLiteral("ab")}, true);
        QCOMPARE(small.undoSteps(), std::size_t(2));
        QCOMPARE(small.takeUndo()->start, 4);
    }
};

QTEST_APPLESS_MAIN(TstLineEndMap)
#include "tst_lineendmap.moc"
