// SPDX-License-Identifier: GPL-3.0-or-later
// The real boxes and file dialogs behind the dialogs seam: a Yes/No
// question answers only by its buttons, the file dialogs show their
// filters by name.

#include "widgets/widgetdialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using varnok::FileDialogSettings;
using varnok::WidgetDialogs;

namespace {

// Runs `act` on the modal dialog as soon as it is open.
void whenOpen(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, qApp, [act = std::move(act)] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        act(modal);
    });
}

QWidget *keyTarget(QWidget *box)
{
    QWidget *f = QApplication::focusWidget();
    return f && box->isAncestorOf(f) ? f : box;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void questionAnswersOnlyByItsButtons_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Ja") << true;
        QTest::newRow("Nein") << false;
    }
    void questionAnswersOnlyByItsButtons()
    {
        QFETCH(bool, yes);
        WidgetDialogs dialogs;
        bool openAfterEscape = false;
        bool openAfterClose = false;
        whenOpen([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("Speichern"));
            QTest::keyClick(keyTarget(box), Qt::Key_Escape);
            openAfterEscape = box->isVisible();
            // The window's close button (or Alt+F4), as the window system
            // reports it.
            QCloseEvent close;
            QSpontaneKeyEvent::setSpontaneous(&close);
            qApp->notify(box, &close); // as QTest delivers its spontaneous events
            openAfterClose = box->isVisible() && !close.isAccepted();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QCOMPARE(dialogs.askYesNo(nullptr, QStringLiteral("Speichern"), QStringLiteral("Frage?")), yes);
        QVERIFY(openAfterEscape);
        QVERIFY(openAfterClose);
    }

    void questionKeysOfTheButtonsAnswer()
    {
        WidgetDialogs dialogs;
        whenOpen([](QWidget *box) { QTest::keyClick(keyTarget(box), Qt::Key_Return); });
        QVERIFY(dialogs.askYesNo(nullptr, QStringLiteral("Überschreiben"), QStringLiteral("Frage?")));
        whenOpen([](QWidget *box) {
            QMessageBox *b = qobject_cast<QMessageBox *>(box);
            const QString no = b->button(QMessageBox::No)->text();
            // The mnemonic of "Nein" (or of Qt's English "No").
            const qsizetype amp = no.indexOf(u'&');
            const QChar key = amp >= 0 ? no.at(amp + 1) : no.at(0);
            QTest::keyClick(keyTarget(box), Qt::Key(key.toUpper().unicode()));
        });
        QVERIFY(!dialogs.askYesNo(nullptr, QStringLiteral("Überschreiben"), QStringLiteral("Frage?")));
    }

    void messageStillClosesWithEscape()
    {
        WidgetDialogs dialogs;
        bool closed = false;
        whenOpen([&](QWidget *box) {
            QTest::keyClick(keyTarget(box), Qt::Key_Escape);
            closed = !box->isVisible();
            if (!closed)
                box->close();
        });
        dialogs.message(nullptr, QStringLiteral("Fehler"), QStringLiteral("Meldung"));
        QVERIFY(closed);
    }

    void fileDialogsNameTheirFilters()
    {
        WidgetDialogs dialogs;
        const FileDialogSettings settings{QStringLiteral("Skript laden"),
                                          QStringLiteral("Skripte (*.varnok-skript);;alle Dateien (*)"),
                                          QString(), QStringLiteral("*.varnok-skript")};
        QStringList shownTypes;
        QString nameField = QStringLiteral("<unset>");
        QString title;
        whenOpen([&](QWidget *w) {
            w->close(); // whatever is found, the dialog ends
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            title = dialog->windowTitle();
            if (auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < types->count(); ++i)
                    shownTypes << types->itemText(i);
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                nameField = name->text();
        });
        QVERIFY(!dialogs.openFile(nullptr, settings));
        QCOMPARE(title, settings.title);
        QCOMPARE(shownTypes, (QStringList{"Skripte", "alle Dateien"}));
        // A wildcard preset would be taken as a file name by Qt's dialog.
        QCOMPARE(nameField, QString());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
