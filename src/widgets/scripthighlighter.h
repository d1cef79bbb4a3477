// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours for a script editor: statement keywords, labels, comments and
// Text(...) literals, read as the runner reads a line (a comment begins at
// the first "'", a label line with ":"). Only formats change; the document's
// characters never do.
//
// The colours of a line are worked out when it is about to be painted
// (TextBox asks for the blocks on screen), not for every line of the
// document when the text is set: a line costs a layout object of its own
// once it has formats, which for a script of many short lines was several
// times the text itself.

#include <QList>
#include <QStringView>
#include <QTextCharFormat>
#include <QTextLayout>

class QTextBlock;
class QTextDocument;

namespace varnok {

class ScriptHighlighter final
{
public:
    ScriptHighlighter();

    // The formats of one line of the screen.
    QList<QTextLayout::FormatRange> formats(QStringView line) const;
    // Gives `block` of `document` the formats of its text, keeping an input method's
    // formats of text being composed, and has it laid out anew.
    void colour(QTextDocument *document, const QTextBlock &block) const;
    // Takes a block's formats away again.
    static void uncolour(QTextDocument *document, const QTextBlock &block);

private:
    QTextCharFormat m_keyword;
    QTextCharFormat m_label;
    QTextCharFormat m_comment;
    QTextCharFormat m_literal;
};

} // namespace varnok
