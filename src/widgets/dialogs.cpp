#include "dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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
    dialog.setDefaultSuffix(settings.defaultSuffix);
    // The caller asks its own overwrite question, with its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // A preset made of wildcards is the filter, not a name: the filter list
    // already shows it. A real name opens its folder with the name selected.
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

} // namespace

void WidgetDialogs::message(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool WidgetDialogs::askYesNo(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetDialogs::openFile(QWidget *parent, const FileDialogSettings &settings)
{
    return runFileDialog(parent, settings, QFileDialog::AcceptOpen);
}

std::optional<QString> WidgetDialogs::saveFile(QWidget *parent, const FileDialogSettings &settings)
{
    return runFileDialog(parent, settings, QFileDialog::AcceptSave);
}

} // namespace varnok
