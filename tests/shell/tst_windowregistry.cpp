// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/windowregistry.h"

#include <QObject>
#include <QTest>
#include <memory>

using varnok::WindowSlots;

class TestWindowRegistry : public QObject
{
    Q_OBJECT
private slots:
    void hundredIndicesInOrderThenNone()
    {
        WindowSlots table;
        QObject w;
        for (int i = 1; i <= 100; ++i) {
            QCOMPARE(table.lowestFree(), i);
            QVERIFY(table.take(i, &w));
        }
        QCOMPARE(table.lowestFree(), 0);
        QCOMPARE(table.openCount(), 100);
    }

    void lowestFreeIndexIsReused()
    {
        WindowSlots table;
        QObject w;
        for (int i = 1; i <= 10; ++i)
            table.take(table.lowestFree(), &w);
        table.release(5);
        table.release(8);
        QCOMPARE(table.lowestFree(), 5);
        table.take(5, &w);
        QCOMPARE(table.lowestFree(), 8);
    }

    void takingAnIndexInUseOrOutsideFails()
    {
        WindowSlots table;
        QObject a, b;
        QVERIFY(table.take(3, &a));
        QVERIFY(!table.take(3, &b));
        QCOMPARE(table.window(3), &a);
        QVERIFY(!table.take(0, &a));
        QVERIFY(!table.take(101, &a));
        QVERIFY(!table.take(-1, &a));
    }

    void isOpenOnlyForUsedIndicesInRange()
    {
        WindowSlots table;
        QObject w;
        table.take(1, &w);
        QVERIFY(table.isOpen(1));
        QVERIFY(!table.isOpen(2));
        QVERIFY(!table.isOpen(0));
        QVERIFY(!table.isOpen(101));
        QVERIFY(!table.isOpen(-32768));
        table.release(1);
        QVERIFY(!table.isOpen(1));
        table.release(0);   // ignored
        table.release(500); // ignored
    }

    void slotKeepsItsWindowAfterReleaseButNotAfterDeletion()
    {
        WindowSlots table;
        auto w = std::make_unique<QObject>();
        table.take(2, w.get());
        table.release(2);
        QCOMPARE(table.window(2), w.get());
        w.reset();
        QCOMPARE(table.window(2), nullptr);
        QCOMPARE(table.window(0), nullptr);
    }

    void clearFreesEverything()
    {
        varnok::WindowRegistry registry;
        QObject w;
        registry.seite.take(1, &w);
        registry.skript.take(1, &w);
        QCOMPARE(registry.seite.lowestFree(), 2);
        QCOMPARE(registry.skript.lowestFree(), 2);
        registry.clear();
        QCOMPARE(registry.seite.lowestFree(), 1);
        QCOMPARE(registry.skript.lowestFree(), 1);
    }
};

QTEST_GUILESS_MAIN(TestWindowRegistry)
#include "tst_windowregistry.moc"
