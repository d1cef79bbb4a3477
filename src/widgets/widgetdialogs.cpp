// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgetdialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

namespace varnok {

namespace {

std::optional<QString> runFileDialog(QWidget *parent, const FileDialogSettings &settings,
                                     QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, settings.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilter(settings.filter);
    // The type list names the filters as the script files' dialogs always
    // did, "Skripte" and "alle Dateien", without Qt's pattern in brackets;
    // "alle Dateien" matches every name, dot or not.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setDefaultSuffix(settings.defaultSuffix);
    // The caller asks its own overwrite question, with its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // A preset made of wildcards is the filter, not a name: Qt's dialog
    // would open or save a file literally named "*.varnok-skript", and the
    // selected filter already shows just those files. A real name opens its
    // folder with the name selected.
    const QString preset = settings.fileName;
    if (!preset.isEmpty() && !preset.contains(QLatin1Char('*')) && !preset.contains(QLatin1Char('?'))) {
        const QFileInfo info(preset);
        if (info.isAbsolute() || preset.contains(QLatin1Char('/')))
            dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return std::nullopt;
    return files.first();
}

// Keeps a question open on Escape and on a close request from the window
// system (close button, Alt+F4). The dialog's own closing when a button is
// clicked is not spontaneous and passes.
class AnswerOnlyByButtons : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel))
            return true;
        if (event->type() == QEvent::Close && event->spontaneous()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void WidgetDialogs::message(QObject *owner, const QString &title, const QString &text)
{
    QWidget *const parent = qobject_cast<QWidget *>(owner);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void WidgetDialogs::scriptErrorMessage(QObject *owner, const QString &title, const QString &text,
                                       const ErrorPlace &place)
{
    QWidget *const parent = qobject_cast<QWidget *>(owner);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    // Qt shows the informative text below the message, smaller; the
    // message itself stays the error's own text.
    box.setInformativeText(place.parts().join(QLatin1Char('\n')));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool WidgetDialogs::askYesNo(QObject *owner, const QString &title, const QString &text)
{
    QWidget *const parent = qobject_cast<QWidget *>(owner);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    // Only the two buttons answer. Qt would take Escape and the window's
    // close button for "Nein", and "Nein" to the save question throws the
    // edits away without a word.
    box.setWindowFlag(Qt::WindowCloseButtonHint, false);
    AnswerOnlyByButtons onlyButtons;
    box.installEventFilter(&onlyButtons);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetDialogs::openFile(QObject *owner, const FileDialogSettings &settings)
{
    QWidget *const parent = qobject_cast<QWidget *>(owner);
    return runFileDialog(parent, settings, QFileDialog::AcceptOpen);
}

std::optional<QString> WidgetDialogs::saveFile(QObject *owner, const FileDialogSettings &settings)
{
    QWidget *const parent = qobject_cast<QWidget *>(owner);
    return runFileDialog(parent, settings, QFileDialog::AcceptSave);
}

} // namespace varnok
