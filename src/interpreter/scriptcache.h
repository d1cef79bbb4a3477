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
#include <array>
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

    // A runner invocation reading this text. The statement it executes
    // stays alive while it does, even when the text changes under it or
    // the cache starts afresh, without a share taken for every statement:
    // the cache hands it a share only when it drops its own.
    struct Reader
    {
        const Statement *current = nullptr;
        std::shared_ptr<const Statement> kept;
        Reader *next = nullptr;
    };
    void enter(Reader &reader)
    {
        reader.next = m_readers;
        m_readers = &reader;
    }
    void leave(Reader &reader)
    {
        for (Reader **r = &m_readers; *r; r = &(*r)->next)
            if (*r == &reader) {
                *r = reader.next;
                return;
            }
    }

    // The statement read from `scan`, or null past the end of the text. It
    // lives while the cache keeps it or a reader holds it as its current.
    const Statement *statementAt(const ScriptText &box, qint32 scan)
    {
        // A loop reads the same few statements again and again.
        if (m_synced && box.textVersion() == m_version) {
            const Recent &recent = m_recent[size_t(scan) % kRecent];
            if (recent.scan == scan)
                return recent.statement;
        }
        return readStatementAt(box, scan);
    }

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
    void sync(const ScriptText &box)
    {
        if (!m_synced || box.textVersion() != m_version)
            resync(box);
    }
    void resync(const ScriptText &box);
    const Statement *readStatementAt(const ScriptText &box, qint32 scan);
    void dropStatements();

    std::weak_ptr<ScriptText> m_box;
    quint64 m_version = 0;
    bool m_synced = false;
    std::unordered_map<qint32, std::shared_ptr<const Statement>> m_statements;
    // The last statements read, by scan position modulo their number: a
    // loop reads the same few again and again.
    struct Recent
    {
        qint32 scan = -1;
        const Statement *statement = nullptr;
    };
    static constexpr size_t kRecent = 64;
    std::array<Recent, kRecent> m_recent{};
    // Label name (upper case) -> the first label line of that name.
    std::optional<QHash<QString, LabelPlace>> m_labels;
    LabelPlace m_lastLine;
    Reader *m_readers = nullptr;
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
