// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every message box, question and file dialog of the program goes through
// this seam, so tests and varnok-run answer them without a person.

#include <QString>
#include <optional>

class QWidget;

namespace varnok {

// One file dialog's fixed settings and the file name it presets next time.
struct FileDialogSettings
{
    QString title;
    QString filter;        // Qt form: "Skripte (*.varnok-skript);;alle Dateien (*)"
    QString defaultSuffix; // empty: none
    QString fileName;      // preset; the caller stores each name given or chosen
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // A modal box without icon and with only an OK button.
    virtual void message(QWidget *parent, const QString &title, const QString &text) = 0;
    // A modal Yes/No question without icon; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &title, const QString &text) = 0;
    // The chosen file, or nothing when the dialog was cancelled.
    virtual std::optional<QString> openFile(QWidget *parent, const FileDialogSettings &settings) = 0;
    virtual std::optional<QString> saveFile(QWidget *parent, const FileDialogSettings &settings) = 0;
};

// The real boxes and dialogs of Qt.
class WidgetDialogs : public Dialogs
{
public:
    void message(QWidget *parent, const QString &title, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &title, const QString &text) override;
    std::optional<QString> openFile(QWidget *parent, const FileDialogSettings &settings) override;
    std::optional<QString> saveFile(QWidget *parent, const FileDialogSettings &settings) override;
};

} // namespace varnok
