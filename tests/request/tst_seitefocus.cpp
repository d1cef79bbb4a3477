// SPDX-License-Identifier: GPL-3.0-or-later
// A request window driven by the keyboard alone: Tab and Shift+Tab follow
// the fixed focus order and leave every multi-line box, Ctrl+I still types
// a tab character into a body, Ctrl+Return presses the Send/Stop button.
#include "seitefixture.h"

#include "widgets/textbox.h"

#include <QApplication>
#include <QTest>

using namespace varnok;
using namespace varnok::test;

namespace {

const QStringList kOrder = {
    "Text1",   "Text2",   "Text3",   "Text4",   "Text5",   "Text6",   "Text7",
    "Text8",   "Text9",   "Text10",  "Command1", "Text11", "Text12",  "Text13",
    "Label25", "Label26", "Label28", "Label27", "Label29", "Label30", "Label31",
    "Label32", "Label33", "Label34", "Label35"};

// The control of the order that holds the focus, or what else holds it.
QString focusOwner(const SeiteWindow &w)
{
    QWidget *f = QApplication::focusWidget();
    if (!f)
        return QStringLiteral("<none>");
    for (const QString &name : kOrder) {
        QWidget *c = w.control(name);
        if (f == c || c->isAncestorOf(f))
            return name;
    }
    return QStringLiteral("<%1 %2>").arg(QLatin1String(f->metaObject()->className()), f->objectName());
}

// The field of a text box's control name.
SeiteField fieldOf(const QString &control)
{
    for (const SeiteFieldRow &row : kSeiteFields)
        if (row.control == control)
            return row.field;
    qFatal("no such box");
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

struct ActiveSeite : SeiteSetup
{
    ActiveSeite()
    {
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
    }
    void focus(const char *name) { window->control(QLatin1StringView(name))->setFocus(); }
};

} // namespace

class TestSeiteFocus : public QObject
{
    Q_OBJECT
private slots:
    void tabAndShiftTabWalkTheFixedOrder()
    {
        ActiveSeite s;
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        s.focus("Text1");
        QStringList forward;
        for (qsizetype i = 0; i <= kOrder.size(); ++i) {
            forward << focusOwner(*s.window);
            press(Qt::Key_Tab);
        }
        QCOMPARE(forward, kOrder + QStringList{"Text1"});

        s.focus("Label35");
        QStringList backward;
        for (qsizetype i = 0; i <= kOrder.size(); ++i) {
            backward << focusOwner(*s.window);
            press(Qt::Key_Backtab, Qt::ShiftModifier);
        }
        QStringList reversed(kOrder.rbegin(), kOrder.rend());
        QCOMPARE(backward, reversed + QStringList{"Label35"});
    }

    void tabLeavesEveryMultiLineBoxWithoutTypingIntoIt_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("before");
        QTest::newRow("Anhang") << "Text9" << "Text10" << "Text8";
        QTest::newRow("Ausgabe") << "Text10" << "Command1" << "Text9";
        QTest::newRow("weitere Angaben") << "Text13" << "Label25" << "Text12";
    }
    void tabLeavesEveryMultiLineBoxWithoutTypingIntoIt()
    {
        QFETCH(QString, box);
        QFETCH(QString, after);
        QFETCH(QString, before);
        ActiveSeite s;
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        const QString text = QStringLiteral("a\r\nb");
        s.window->model(fieldOf(box))->setText(text);

        s.window->control(box)->setFocus();
        press(Qt::Key_Tab);
        QCOMPARE(focusOwner(*s.window), after);
        s.window->control(box)->setFocus();
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focusOwner(*s.window), before);
        QCOMPARE(s.window->model(fieldOf(box))->text(), text);
    }

    void ctrlITypesATabCharacterIntoABody()
    {
        ActiveSeite s;
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        s.focus("Text9");
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("a"));
        press(Qt::Key_I, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("b"));
        QCOMPARE(s.text(SeiteField::Anhang), QStringLiteral("a\tb"));
        QCOMPARE(focusOwner(*s.window), QStringLiteral("Text9"));
        // A box the user may not edit takes no tab either.
        s.set(SeiteField::Weiteres, QStringLiteral("x"));
        qobject_cast<TextBox *>(s.window->control(u"Text13"))->setUserReadOnly(true);
        s.focus("Text13");
        press(Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(s.text(SeiteField::Weiteres), QStringLiteral("x"));
    }

    void ctrlReturnPressesTheButtonFromAnyField_data()
    {
        QTest::addColumn<QString>("field");
        for (const char *name : {"Text1", "Text9", "Text10", "Text13", "Label27", "Command1"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void ctrlReturnPressesTheButtonFromAnyField()
    {
        QFETCH(QString, field);
        ActiveSeite s;
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        // No server: the Send action runs without touching the network.
        s.set(SeiteField::Server, QString());
        const QString body = s.text(SeiteField::Anhang);
        s.window->control(field)->setFocus();
        press(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QCOMPARE(s.status(), QStringLiteral("1"));
        press(Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::Anhang), body);
    }
};

QTEST_MAIN(TestSeiteFocus)
#include "tst_seitefocus.moc"
