// SPDX-License-Identifier: GPL-3.0-or-later
// Where the request window puts its controls at any size, its focus order
// and its size when it loads in a multi-document area.
#include "seitefixture.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include <cmath>

using namespace varnok;
using namespace varnok::test;

class TestSeiteLayout : public QObject
{
    Q_OBJECT

    // What the layout keeps at a client area of W x H twips (the window's
    // or the minimum): every control has a size and none overlaps another;
    // each caption stands on its box's row (a wide box under it); the left
    // column ends before the divider at half the width and the right column
    // starts after it; all boxes of both columns are equally wide; the
    // output box fills the bottom up to a margin of 120 twips.
    static void checkLayout(SeiteWindow &w, double W, double H)
    {
        const QWidget *line1 = w.findChild<QWidget *>(QStringLiteral("Line1"));
        const QWidget *line2 = w.findChild<QWidget *>(QStringLiteral("Line2"));
        QCOMPARE(line1->x(), w.twipsToPixelsX(W / 2));
        QCOMPARE(line1->y(), 0);
        QCOMPARE(line1->geometry().bottom() + 1, line2->y());
        QCOMPARE(line2->x(), 0);
        QCOMPARE(line2->width(), w.twipsToPixelsX(W));

        QList<std::pair<QString, QRect>> placed;
        const auto add = [&](const QWidget *c) {
            QVERIFY2(c->width() > 0 && c->height() > 0, qPrintable(c->objectName()));
            placed.emplace_back(c->objectName(), c->geometry());
        };
        const int boxWidth = w.control(u"Text1")->width();
        for (const SeiteFieldRow &row : kSeiteFields) {
            const QRect box = w.control(row.control)->geometry();
            add(w.control(row.control));
            const QString name = row.control.toString();
            if (row.place == SeitePlace::Bottom) {
                QVERIFY(box.top() > line2->y());
                QCOMPARE(box.left(), w.twipsToPixelsX(120));
                QCOMPARE(box.right() + 1, w.twipsToPixelsX(W - 120));
                QCOMPARE(box.bottom() + 1, w.twipsToPixelsY(H - 120));
                continue;
            }
            const QRect caption = w.control(row.captionControl)->geometry();
            // The design lets "weitere Angaben:" reach 15 twips into the box
            // under it; its text is drawn from the top and is not covered.
            placed.emplace_back(row.captionControl.toString(),
                                caption.adjusted(0, 0, 0, -w.twipsToPixelsY(15)));
            QVERIFY2(box.bottom() < line2->y(), qPrintable(name));
            if (row.place == SeitePlace::RightBelow) {
                QVERIFY2(box.top() > caption.top() + caption.height() / 2, qPrintable(name));
                QCOMPARE(box.left(), caption.left());
                QCOMPARE(box.right() + 1, w.twipsToPixelsX(W - 120));
            } else {
                QVERIFY2(box.top() == caption.top(), qPrintable(name));
                QVERIFY2(box.left() > caption.right(), qPrintable(name));
                QVERIFY2(box.width() == boxWidth, qPrintable(name));
            }
            if (row.place == SeitePlace::Left)
                QVERIFY2(box.right() < line1->x(), qPrintable(name));
            else
                QVERIFY2(caption.left() > line1->x(), qPrintable(name));
        }
        add(w.control(u"Command1"));
        add(w.control(u"Label10"));
        QVERIFY(w.control(u"Label10")->geometry().right() < line1->x());
        QVERIFY(w.control(u"Command1")->geometry().bottom() < line2->y());
        for (qsizetype i = 0; i < placed.size(); ++i)
            for (qsizetype j = i + 1; j < placed.size(); ++j)
                QVERIFY2(!placed[i].second.intersects(placed[j].second),
                         qPrintable(placed[i].first + QStringLiteral(" / ") + placed[j].first));
    }

    static QSize pixels(const SeiteWindow &w, double W, double H)
    {
        // Sizes that convert back to exactly W x H twips.
        return QSize(int(W * w.logicalDpiX() / 1440), int(H * w.logicalDpiY() / 1440));
    }

private slots:
    void twipsFollowTheScreen()
    {
        SeiteSetup s;
        const int dpi = s.window->logicalDpiX();
        QCOMPARE(s.window->twipsToPixelsX(1440), dpi);
        QCOMPARE(s.window->twipsToPixelsX(720), int(std::lround(dpi / 2.0)));
    }

    void designSize()
    {
        SeiteSetup s;
        // 8370 x 7785 twips at 96 dpi is 558 x 519 pixels exactly.
        const QSize px = pixels(*s.window, 8370, 7785);
        s.window->resize(px);
        checkLayout(*s.window, px.width() * 1440.0 / s.window->logicalDpiX(),
                    px.height() * 1440.0 / s.window->logicalDpiY());
    }

    void widerAndTaller()
    {
        SeiteSetup s;
        s.window->resize(1200, 900);
        checkLayout(*s.window, 1200 * 1440.0 / s.window->logicalDpiX(),
                    900 * 1440.0 / s.window->logicalDpiY());
        // Both columns' boxes grow alike.
        const int before = s.window->control(u"Text1")->width();
        s.window->resize(1400, 900);
        const int grown = s.window->control(u"Text1")->width() - before;
        QVERIFY(grown > 90);
        QCOMPARE(s.window->control(u"Label25")->width(), s.window->control(u"Text1")->width());
        QCOMPARE(s.window->control(u"Text8")->width(), s.window->control(u"Label30")->width());
    }

    void narrowedBelowTheMinimumKeepsTheMinimumLayout()
    {
        SeiteSetup s;
        s.window->resize(120, 90);
        checkLayout(*s.window, 3510, 5520);
        // Nothing overlaps further: the boxes keep a width and the output
        // box its small height.
        QVERIFY(s.window->control(u"Text1")->width() > 0);
        QVERIFY(s.window->control(u"Text10")->height() > 0);
        const QRect right = s.window->control(u"Label25")->geometry();
        QVERIFY(right.left() > s.window->findChild<QWidget *>(QStringLiteral("Line1"))->x());
        // Only one dimension below its minimum.
        s.window->resize(120, 700);
        checkLayout(*s.window, 3510, 700 * 1440.0 / s.window->logicalDpiY());
    }

    void focusOrder()
    {
        SeiteSetup s;
        const QStringList order = {
            "Text1",   "Text2",   "Text3",   "Text4",   "Text5",   "Text6",   "Text7",
            "Text8",   "Text9",   "Text10",  "Command1", "Text11", "Text12",  "Text13",
            "Label25", "Label26", "Label28", "Label27", "Label29", "Label30", "Label31",
            "Label32", "Label33", "Label34", "Label35"};
        const auto owner = [&](QWidget *f) -> QString {
            for (const QString &name : order) {
                QWidget *c = s.window->control(name);
                if (f == c || c->isAncestorOf(f))
                    return name;
            }
            return QString();
        };
        // Walk the chain Tab follows: the widgets that take focus by Tab.
        QWidget *start = s.window->control(u"Text1");
        QVERIFY(start);
        QStringList seen;
        QWidget *w = start;
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(s.window.get())
                && s.window->isAncestorOf(w)) {
                const QString name = owner(w);
                if (!name.isEmpty() && (seen.isEmpty() || seen.last() != name))
                    seen << name;
            }
            w = w->nextInFocusChain();
        } while (w != start && seen.size() <= order.size());
        QCOMPARE(seen, order);
    }

    void captionsAreNotCutShort()
    {
        SeiteSetup s;
        for (const char *name : {"Label1", "Label3", "Label4", "Label11", "Label18", "Label21",
                                 "Label22", "Label24", "Label20"}) {
            auto *label = qobject_cast<QLabel *>(s.window->control(QLatin1StringView(name)));
            QVERIFY(label);
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), name);
        }
        // A larger window font keeps them whole as well.
        QFont big = s.window->font();
        big.setPointSizeF(big.pointSizeF() + 3);
        s.window->setFont(big);
        for (const char *name : {"Label3", "Label21"}) {
            auto *label = qobject_cast<QLabel *>(s.window->control(QLatin1StringView(name)));
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), name);
        }
    }

    void captionsAreNotFocusable()
    {
        SeiteSetup s;
        for (const char *name : {"Label1", "Label20", "Label24", "Label10"})
            QCOMPARE(s.window->control(QLatin1StringView(name))->focusPolicy(), Qt::NoFocus);
    }

    void loadsAtTenThousandTwipsInAnMdiArea()
    {
        SeiteHost host;
        Engine engine(host);
        QMdiArea area;
        area.resize(1200, 1000);
        area.show();
        auto *w = new SeiteWindow(engine);
        QMdiSubWindow *sub = area.addSubWindow(w);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->show();
        QCOMPARE(sub->size(), QSize(w->twipsToPixelsX(10000), w->twipsToPixelsY(10000)));
        QCOMPARE(w->requestState(), 0);
        // The layout followed the client area the frame leaves.
        const double W = w->width() * 1440.0 / w->logicalDpiX();
        QCOMPARE(w->control(u"Text10")->width(), w->twipsToPixelsX(120 + W - 240) - w->twipsToPixelsX(120));

        // A second show (restore after minimise) keeps the size the user chose.
        sub->resize(500, 600);
        sub->hide();
        sub->show();
        QCOMPARE(sub->size(), QSize(500, 600));
    }

    void closingTheFrameRunsTheUnload()
    {
        SeiteHost host;
        Engine engine(host);
        QMdiArea area;
        area.show();
        auto *w = new SeiteWindow(engine);
        w->setIndex(7);
        QPointer<SeiteWindow> guard(w);
        QMdiSubWindow *sub = area.addSubWindow(w);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->show();
        QList<int> closed;
        connect(w, &SeiteWindow::closed, this, [&](int i) { closed << i; });
        sub->close();
        QCOMPARE(closed, QList<int>{7});
        QTRY_VERIFY(guard.isNull());
        QCOMPARE(closed.size(), 1);
    }
};

QTEST_MAIN(TestSeiteLayout)
#include "tst_seitelayout.moc"
