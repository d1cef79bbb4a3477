// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every message box, question and file dialog of the program goes through
// this seam, so tests and varnok-run answer them without a person. The
// parent is the window a box belongs to (a widget, when there is a screen),
// or null.

#include <QString>
#include <QStringList>
#include <optional>

class QObject;

namespace varnok {

// One file dialog's fixed settings and the file name it presets next time.
struct FileDialogSettings
{
    QString title;
    QString filter;        // Qt form: "Skripte (*.varnok-skript);;alle Dateien (*)"
    QString defaultSuffix; // empty: none
    QString fileName;      // preset; the caller stores each name given or chosen
};

// Where a script error happened, for a person to find it: shown below the
// box's text (the title and text stay exactly what the error gives).
struct ErrorPlace
{
    qsizetype line = 0;  // line of the script window's text, from 1; 0: unknown
    QString statement;   // the failing statement as it stands in the text
    QString missingName; // for "Objekt nicht gefunden": the name, as written
    QString missingPath; // and the path up to it

    bool isEmpty() const { return line <= 0 && statement.isEmpty() && missingName.isEmpty(); }
    // "Zeile 3: EXEC Foo.Bar()" and "„Bar“ nicht gefunden (in Foo.Bar)",
    // each part that is known, one per line.
    QStringList parts() const;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // A modal box without icon and with only an OK button.
    virtual void message(QObject *parent, const QString &title, const QString &text) = 0;
    // The same box for a script error, with where it happened as a second
    // part. By default only the box.
    virtual void scriptErrorMessage(QObject *parent, const QString &title, const QString &text,
                                    const ErrorPlace &place)
    {
        static_cast<void>(place);
        message(parent, title, text);
    }
    // A modal Yes/No question without icon; true for Yes.
    virtual bool askYesNo(QObject *parent, const QString &title, const QString &text) = 0;
    // The chosen file, or nothing when the dialog was cancelled.
    virtual std::optional<QString> openFile(QObject *parent, const FileDialogSettings &settings) = 0;
    virtual std::optional<QString> saveFile(QObject *parent, const FileDialogSettings &settings) = 0;
};

} // namespace varnok
