// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the runner works out once about a script text: each statement it has
// read (where it stands, its keyword, its argument parsed) and where each
// label is. Kept per text box and dropped as soon as the text changes, so
// what a run reads is always what the text says now.

#include "expression.h"

#include "common/scripttext.h"

#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace varnok {

enum class Keyword {
    None, // nothing left once the comment is cut
    Label, Exec, OnError, Goto, ExitFunction, If, ElseIf, Else, EndIf,
    Do, DoWhile, Loop, LoopWhile, WaitTill, WaitWhile, Quit, Other,
};

struct Statement
{
    Keyword keyword = Keyword::None;
    QString arg;                      // trimmed, letter case kept
    std::unique_ptr<const Expr> expr; // the argument, for keywords that evaluate it
    QString label;                    // GOTO: the argument in upper case
    // Where it was read from: the selection and the scan position after it.
    qsizetype from = 0;
    qsizetype length = 0;
    qint32 end = 0;
};

// One statement line, already trimmed of blanks: comment cut, keyword and
// argument split.
std::shared_ptr<const Statement> parseStatement(QStringView line);

// 1-based position of the next statement after `position`, skipping CR and
// LF; 0 past the end.
qint32 nextStatementStart(const QString &text, qint32 position);

// The statement read from scan position `scan`: the line from the next
// statement start to its CR, blanks trimmed; false past the end.
struct LineRange
{
    qsizetype from = 0;
    qsizetype to = 0; // exclusive
    qint32 end = 0;   // the scan position after it
};
std::optional<LineRange> lineAt(const QString &text, qint32 scan);

class ScriptCache
{
public:
    explicit ScriptCache(const std::shared_ptr<ScriptText> &box) : m_box(box) {}

    bool belongsTo(const std::shared_ptr<ScriptText> &box) const
    {
        return !m_box.owner_before(box) && !box.owner_before(m_box);
    }
    bool expired() const { return m_box.expired(); }

    // The statement read from `scan`, or null past the end of the text.
    std::shared_ptr<const Statement> statementAt(const ScriptText &box, qint32 scan);

    // Where a label search from the top of the text ends.
    struct LabelPlace
    {
        LineRange line;        // the label line (or, when none is found, the last line)
        qint32 before = 0;     // the scan position it was read from
        bool found = false;
        bool anyLine = false;  // false: the text has no line at all
    };
    LabelPlace findLabel(const ScriptText &box, const QString &upperName);

private:
    void sync(const ScriptText &box);

    std::weak_ptr<ScriptText> m_box;
    quint64 m_version = 0;
    bool m_synced = false;
    std::unordered_map<qint32, std::shared_ptr<const Statement>> m_statements;
    // Label name (upper case) -> the first label line of that name.
    std::optional<QHash<QString, LabelPlace>> m_labels;
    LabelPlace m_lastLine;
};

// The caches of all text boxes a run has read.
class ScriptCaches
{
public:
    std::shared_ptr<ScriptCache> of(const std::shared_ptr<ScriptText> &box);
    // A single statement (a function's GOTO, a handler) read from its text;
    // the last one is kept, since a user function's calls repeat theirs.
    std::shared_ptr<const Statement> single(const QString &statement);

private:
    std::vector<std::shared_ptr<ScriptCache>> m_caches;
    QString m_singleText;
    std::shared_ptr<const Statement> m_single;
};

} // namespace varnok
