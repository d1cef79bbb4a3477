// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Dialogs for running without a person: every box becomes one line
// "TITLE: TEXT" on an output descriptor, is answered OK (questions: No),
// and every file dialog is cancelled. A line that cannot be written is
// lost and changes nothing else: the box is answered all the same.

#include "common/dialogs.h"

#include <functional>
#include <unistd.h>

namespace varnok {

class HeadlessDialogs : public Dialogs
{
public:
    explicit HeadlessDialogs(int fd = STDERR_FILENO) : m_fd(fd) {}
    // Asked for every box: where it happened ("FILE:LINE"), or the empty
    // text; a place is written before the box's line, as compilers do.
    void setLocation(std::function<QString()> location) { m_location = std::move(location); }
    // Detail lines (where a script error happened) begin with this and
    // follow the box's line, which stays as it is; none while it is empty.
    void setDetailPrefix(const QString &prefix) { m_detailPrefix = prefix; }
    // Told of every box after its line is written: title and text.
    void setObserver(std::function<void(const QString &, const QString &)> observer)
    {
        m_observer = std::move(observer);
    }
    void message(QObject *parent, const QString &title, const QString &text) override;
    // The box's line, then the place on a line of its own. The line number
    // is left out when the box's line already begins with a place.
    void scriptErrorMessage(QObject *parent, const QString &title, const QString &text,
                            const ErrorPlace &place) override;
    bool askYesNo(QObject *parent, const QString &title, const QString &text) override;
    std::optional<QString> openFile(QObject *parent, const FileDialogSettings &settings) override;
    std::optional<QString> saveFile(QObject *parent, const FileDialogSettings &settings) override;

    // The line written for a box: line breaks of the text become blanks so
    // that one box is always one line.
    static QString line(const QString &title, const QString &text);

private:
    int m_fd;
    std::function<QString()> m_location;
    QString m_detailPrefix;
    bool m_lastHadLocation = false;
    std::function<void(const QString &, const QString &)> m_observer;
};

} // namespace varnok
