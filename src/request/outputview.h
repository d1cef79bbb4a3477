// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The read-only viewer of a request window's output box.
//
// An answer body can be tens of megabytes, and a binary one may hold no line
// break at all. A text editor lays out whole lines and copies the text into
// its own document; here the text stays in the TextModel alone and only the
// lines and columns on screen are laid out and painted:
//   - CR LF is a line break; every other control character is drawn as its
//     symbol (U+2400 block), so one character on screen is one model
//     character; a lone LF is drawn as its symbol and also ends the line on
//     screen, as in the other text boxes, so LF-only answers read as lines;
//   - appended text only extends the line index, nothing is shown anew;
//   - the vertical scroll bar counts lines, the horizontal one characters,
//     so neither overflows however long the text or its lines get.
// The user can select (mouse, keyboard, double click for a word) and copy
// the exact model text; the selection is kept in the model, where the
// selection read-out and scripts find it.

#include "common/lineendmap.h"
#include "common/textmodel.h"

#include <QAbstractScrollArea>
#include <memory>
#include <vector>

class QTextLayout;
class QTimer;

namespace varnok {

class OutputView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit OutputView(std::shared_ptr<TextModel> model, QWidget *parent = nullptr);
    ~OutputView() override;

    const std::shared_ptr<TextModel> &model() const { return m_model; }

    // Lines as the viewer splits the text (after every LF); never fewer
    // than one.
    qsizetype lineCount() const { return m_lines.lineCount(); }
    qsizetype lineStart(qsizetype line) const { return m_lines.lineStart(line); }
    // Bytes the line index takes (one or two per line).
    std::size_t lineIndexBytes() const { return m_lines.memoryBytes(); }
    // Characters the line shows: without its CR LF, with a lone LF's symbol.
    qsizetype lineLength(qsizetype line) const;
    // Where the caret can stand on the line: up to before its line break
    // (a lone LF's symbol included), counted from the line's start.
    qsizetype caretLength(qsizetype line) const;
    qsizetype longestLineLength() const;
    // What line `line` shows: its characters with control characters as
    // symbols.
    QString shownLine(qsizetype line) const;

    // The selection, model positions; the caret is where the user's end of it is.
    qsizetype anchorPosition() const { return m_anchor; }
    qsizetype caretPosition() const { return m_caret; }
    void setSelection(qsizetype anchor, qsizetype caret);
    // The model position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &viewportPos) const;
    // The viewport point where a model position is drawn (top left of its cell).
    QPoint pointOf(qsizetype position) const;
    // First line and first column on screen.
    qsizetype firstVisibleLine() const;
    qsizetype firstVisibleColumn() const;
    void ensureVisible(qsizetype position);

    QString selectedText() const;
    void copy() const;
    void selectAll();

signals:
    // The text changed, or the user clicked, double-clicked, released a key
    // or a mouse button: a read-out of the selection should refresh now.
    void selectionReadoutRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void onReset();
    void onAppended(qsizetype from);
    void onSelectionPending();
    void indexFrom(qsizetype from);
    void showAppendedNow();
    void updateScrollBars();
    void pushSelectionToModel();
    void moveCaret(qsizetype position, bool keepAnchor);
    qsizetype lineOf(qsizetype position) const;
    qsizetype lineEnd(qsizetype line) const { return lineStart(line) + caretLength(line); }
    bool endsWithCrLf(qsizetype line) const;
    int visibleLines() const;
    int visibleColumns() const;
    int lineHeight() const;
    // The shown part of a line starting at column `fromColumn`, at most
    // `maxChars` characters.
    QString shownSlice(qsizetype line, qsizetype fromColumn, qsizetype maxChars) const;
    int sliceLimit() const;
    void layoutSlice(QTextLayout &layout, const QString &slice) const;

    std::shared_ptr<TextModel> m_model;
    // Every LF of the text; a line starts at 0 and after each of them.
    LineEndMap m_lines;
    qsizetype m_longestLine = 0; // of the lines already ended by an LF
    // Appends reach the scroll bars and the screen once per frame.
    QTimer *m_appendTimer = nullptr;
    qsizetype m_firstChangedLine = -1; // since the screen last looked
    qsizetype m_anchor = 0;
    qsizetype m_caret = 0;
    bool m_selecting = false;
    int m_quiet = 0; // >0 while this viewer writes the model's selection
};

} // namespace varnok
