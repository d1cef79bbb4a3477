// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours for a script editor: statement keywords, labels, comments and
// Text(...) literals, read as the runner reads a line (a comment begins at
// the first "'", a label line with ":"). Only formats change; the document's
// characters never do.

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace varnok {

class ScriptHighlighter final : public QSyntaxHighlighter
{
public:
    explicit ScriptHighlighter(QTextDocument *document);

protected:
    void highlightBlock(const QString &text) override;

private:
    QTextCharFormat m_keyword;
    QTextCharFormat m_label;
    QTextCharFormat m_comment;
    QTextCharFormat m_literal;
};

} // namespace varnok
