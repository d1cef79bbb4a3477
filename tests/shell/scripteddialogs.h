// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test double of the dialogs seam: records every box and dialog and gives
// the answers a test queued (questions default to No, file dialogs to
// cancel).

#include "common/dialogs.h"

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace varnok::test {

class ScriptedDialogs : public Dialogs
{
public:
    enum class Kind { Message, Question, Open, Save };
    struct Shown
    {
        Kind kind;
        QString title;
        QString text;
        FileDialogSettings settings;
    };

    void message(QObject *, const QString &title, const QString &text) override
    {
        shown.push_back({Kind::Message, title, text, {}});
        if (onMessage)
            onMessage(title, text);
    }
    void scriptErrorMessage(QObject *parent, const QString &title, const QString &text,
                            const ErrorPlace &place) override
    {
        places.push_back(place);
        message(parent, title, text);
    }
    bool askYesNo(QObject *, const QString &title, const QString &text) override
    {
        shown.push_back({Kind::Question, title, text, {}});
        if (onQuestion)
            onQuestion(title, text);
        if (answers.empty())
            return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    std::optional<QString> openFile(QObject *, const FileDialogSettings &s) override
    {
        shown.push_back({Kind::Open, s.title, QString(), s});
        if (onFileDialog)
            onFileDialog();
        return nextFile();
    }
    std::optional<QString> saveFile(QObject *, const FileDialogSettings &s) override
    {
        shown.push_back({Kind::Save, s.title, QString(), s});
        if (onFileDialog)
            onFileDialog();
        return nextFile();
    }

    std::vector<Shown> of(Kind kind) const
    {
        std::vector<Shown> out;
        for (const Shown &s : shown)
            if (s.kind == kind)
                out.push_back(s);
        return out;
    }
    std::vector<Shown> messages() const { return of(Kind::Message); }
    std::vector<Shown> questions() const { return of(Kind::Question); }
    void clear() { shown.clear(); }

    std::vector<Shown> shown;
    std::vector<ErrorPlace> places; // of the script error boxes
    std::deque<bool> answers;
    std::deque<std::optional<QString>> files;
    // Runs inside a message box, as a user would act while it is open.
    std::function<void(const QString &, const QString &)> onMessage;
    // Runs while a question is open, before it is answered.
    std::function<void(const QString &, const QString &)> onQuestion;
    // Runs while a file dialog is open, before it is answered.
    std::function<void()> onFileDialog;

private:
    std::optional<QString> nextFile()
    {
        // An empty queue cancels the dialog.
        std::optional<QString> f;
        if (!files.empty()) {
            f = std::move(files.front());
            files.pop_front();
        }
        return f;
    }
};

} // namespace varnok::test
