// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A text box that shows and edits one TextModel exactly.
//
// Qt's editors fold line ends and swallow control characters, so the exact
// text lives in the model and this widget only presents it:
//   - multi-line: CR LF is a line break; every other control character
//     (lone CR, lone LF, TAB, NUL, 0x01-0x1F, 0x7F) is drawn as its symbol
//     from the U+2400 block. A lone LF is drawn as its symbol followed by a
//     line break on screen only, so that LF-terminated answers stay readable
//     lines instead of one endless line (which Qt also lays out very slowly).
//     One display character stands for one model character, except that a
//     CR LF break stands for two and a lone LF is shown as two;
//   - single-line: no line breaks at all, CR LF shows as two symbols, and a
//     display position is a model position.
// User edits reach the model through TextModel::replaceRange; changes made
// by the program (setText, append) are shown without coming back as edits.
//
// Typical use in a window:
//   auto model = std::make_shared<TextModel>();
//   auto *box = new TextBox(model, TextBox::Mode::MultiLine, this);
//   box->setFixedFont(QStringLiteral("Courier"), 9.75);
//   connect(box, &TextBox::userEdited, this, &Window::markModified);
// Scripts bind to the model (a TextField); the box follows it.

#include "common/edithistory.h"
#include "common/limits.h"
#include "common/lineendmap.h"
#include "common/textmodel.h"
#include "widgets/textdisplay.h"

#include <QString>
#include <QWidget>

#include <limits>

#include <memory>
#include <utility>
#include <vector>

class QKeyEvent;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class QTimer;

namespace varnok {

class ScriptHighlighter;

class TextBox : public QWidget
{
    Q_OBJECT
public:
    enum class Mode { SingleLine, MultiLine };

    TextBox(std::shared_ptr<TextModel> model, Mode mode, QWidget *parent = nullptr);
    ~TextBox() override;

    const std::shared_ptr<TextModel> &model() const { return m_model; }
    Mode mode() const { return m_mode; }

    // Multi-line only: scroll bars appear when needed unless forced on.
    void setForceHorizontalScrollBar(bool on);
    void setForceVerticalScrollBar(bool on);
    // Multi-line only: wrap long lines at the box's width (off by default).
    void setWordWrap(bool on);
    // Multi-line only: Tab and Shift+Tab move the focus on instead of typing
    // a tab character (off by default); Ctrl+I then types one.
    void setTabChangesFocus(bool on);
    bool tabChangesFocus() const;

    // A box the user may never edit (answer fields, help text). Independent
    // of the model's own read-only flag, which a script run sets; either one
    // blocks user edits. Selecting and copying stay possible.
    void setUserReadOnly(bool readOnly);
    bool isUserReadOnly() const { return m_userReadOnly; }
    bool acceptsUserEdits() const;

    // Uses `family` if it resolves to a fixed-pitch font here, otherwise the
    // system's fixed font, both at `pointSize`.
    void setFixedFont(const QString &family, qreal pointSize);
    // Paints the editing area in the button-face colour.
    void setButtonFaceBackground(bool on);

    // Shows the model's selection now instead of at the next screen tick;
    // for when a run waits or ends.
    void syncSelectionNow();

    // Position mapping between the widget's characters and the model's.
    // A model position between the CR and the LF of a line break maps to the
    // display position before that break; the display position between a
    // lone LF's symbol and its screen break maps to the model position after
    // the LF, as does the start of the next line.
    qsizetype displayToModel(int displayPos) const;
    int modelToDisplay(qsizetype modelPos) const;
    // The selection as the model holds it: (start, length), 0-based.
    std::pair<qsizetype, qsizetype> modelSelection() const;
    // The characters the widget shows, line breaks as "\n".
    QString displayText() const;
    // The selection the widget shows, in model positions (start, length);
    // the model's own may be ahead of it while a run moves it.
    std::pair<qsizetype, qsizetype> shownSelectionInModel() const;
    // The model's characters under the selection the widget shows: what
    // copy, cut and drag hand out.
    QString selectedExactText() const;
    // Replaces the selection the widget shows with `text` exactly, as one
    // user edit (paste, drop): no character is changed on the way in.
    void insertExactText(const QString &text);

    // Undo and redo of the user's own edits, kept as model edits so that
    // control characters come back exactly.
    void undo();
    void redo();
    bool isUndoAvailable() const { return m_history.canUndo(); }
    bool isRedoAvailable() const { return m_history.canRedo(); }

    // The program's changes of the model are shown at most once per frame
    // (and a long append a piece per frame); this shows all of them now.
    // Everything that reads the screen's state (the positions above,
    // displayText(), the inner editors) and every user input does it first.
    void flushDisplay();
    bool isDisplayBehind() const;

    // The inner editor (one of the two is null, depending on the mode),
    // showing the whole model.
    QPlainTextEdit *plainTextEdit() const;
    QLineEdit *lineEdit() const;
    // The inner editor as it is, without bringing it up to date.
    QWidget *innerEditor() const;

    // ---- script editors (multi-line) ----
    // Model lines end at CR LF only, as varnok-run counts them: a lone CR
    // or LF stays inside its line (a lone LF's screen break starts a screen
    // line without a number of its own). Lines count from 1.
    void setLineNumbersShown(bool on);
    qsizetype modelLineOf(qsizetype modelPos) const;
    qsizetype modelLineCount() const;
    // Where model line `line` starts; -1 past the last line.
    qsizetype modelLineStart(qsizetype line) const;
    // The line of screen block `block` as shown now; `continued` (may be
    // null) tells a screen line that a lone LF began.
    qsizetype lineOfShownBlock(int block, bool *continued) const;
    qsizetype lastShownLine() const { return 1 + m_lines.pairCount(); }
    // A range kept marked (the statement an error box was about): its line
    // in the gutter and a tint behind it, until the text changes or
    // clearMark(). markedLine() is -1 without a mark.
    void setMarkedRange(qsizetype start, qsizetype length);
    void clearMark();
    qsizetype markedLine() const { return m_markLine; }
    // Scrolls so that the model range is on screen; the selection stays.
    void ensureModelRangeVisible(qsizetype start, qsizetype length);
    // The matches of `pattern` on screen are highlighted (none when empty).
    void setSearchHighlight(const QString &pattern, bool matchCase, bool wholeWord);
    // Replaces [start, start + length) with `text` as one user edit (one
    // undo step) and selects what was inserted.
    void replaceExactRange(qsizetype start, qsizetype length, const QString &text);
    // Statement keywords, comments, labels and Text(...) in colour; the text
    // itself is never changed. Off by default (only script editors).
    void setScriptHighlighting(bool on);

    // ---- the shown window (multi-line) ----
    // A text of more screen lines than limits::kMaxShownLines, or of more
    // characters than limits::kMaxShownChars (and more lines than
    // limits::kMinShownLines), is shown a window of it at a time
    // (docs/textbox.md); the box's own scroll bar then spans the whole
    // text. Tests make the window small.
    void setMaxShownLinesForTests(qsizetype lines, qsizetype chars = limits::kMaxShownChars,
                                  qsizetype minLines = limits::kMinShownLines);
    bool isWindowed() const;
    // Selects the whole text, also beyond the window (Ctrl+A).
    void selectAllText();
    // The first screen line (0-based) the editor's document holds, and the
    // model position where it starts.
    qsizetype firstShownLine() const { return m_winLine; }
    qsizetype shownModelStart() const { return m_winStart; }
    // The inner editor's hooks: the keys that act beyond the window (true
    // when one was handled), and the window following the view when the
    // view or the caret comes near its edge.
    bool windowKey(QKeyEvent *e);
    void followView();

signals:
    // The user changed the text (typing, paste, delete, cut, drop, undo).
    void userEdited();
    // The text changed, or the user moved the caret or selection, clicked,
    // double-clicked, released a key or a mouse button: whoever shows a
    // read-out of the selection should refresh it now.
    void selectionReadoutRequested();
    // The user tried to change a text that a run has locked.
    void editRefused();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    // model -> widget
    void onModelReplaced();
    void onModelAppended(qsizetype from);
    void showPending();
    // Shows the model's first `upTo` characters anew (by default all).
    void showWholeModelNow(qsizetype upTo = std::numeric_limits<qsizetype>::max());
    // The editor's document anew, showing the window [m_winStart,
    // m_winEnd) (multi-line; m_lines already holds the line ends).
    void fillDocument();
    // Shows up to `maxChars` more of an appended text (0: all of it).
    void showAppendedPart(qsizetype maxChars);
    void onSelectionPending();
    void showModelSelection();
    // Puts m_selAnchor and m_selCaret on the screen, as far as the window
    // holds them.
    void showBoxSelection(bool ensureVisible);
    // The selection the editor's cursor stands for, in model positions.
    std::pair<qsizetype, qsizetype> cursorInModel() const;
    void updateReadOnly();

    // widget -> model
    void onDocumentChange(int pos, int removed, int added);
    void onLineEdited();
    void pushWidgetSelection();
    bool commitUserEdit(qsizetype start, qsizetype removedLen, const QString &inserted,
                        bool record);
    void applyMultiLineEdit(qsizetype start, qsizetype end, const QString &inserted,
                            int displayFrom, int displayTo, int displayDelta, bool record);
    void applyHistoryEdit(qsizetype start, qsizetype removedLen, const QString &inserted);

    // Positions between the model and what the editor shows now.
    int toShown(qsizetype modelPos) const;
    qsizetype toModel(int displayPos) const;
    // [start, oldEnd) of the shown part became [start, newEnd).
    void noteShownChange(qsizetype start, qsizetype oldEnd, qsizetype newEnd);
    QString render(qsizetype from, qsizetype to) const;
    bool replaceDisplay(int from, int to, const QString &shown);
    QString shownSlice(int from, int to) const;
    // Any user edit of the model range [start, end): on screen where the
    // window holds it, else in the model with the window refilled.
    void applyUserEdit(qsizetype start, qsizetype end, const QString &inserted, bool record);

    // The window: the document holds screen lines [m_winLine, m_winLine +
    // lines), model characters [m_winStart, m_winEnd).
    qsizetype maxShownLines() const { return m_maxShownLines; }
    qsizetype windowLines() const;
    // The document anew, holding the window around screen line `centre`;
    // screen line `top` stays at the top of the view when it can. When the
    // document still shows the window as it was (nothing was edited beyond
    // it), only the lines that differ are changed.
    void refillWindow(qsizetype centre, qsizetype top, bool documentInStep = false);
    void shiftWindow(qsizetype firstLine, qsizetype endLine);
    qsizetype windowEndPosition(qsizetype endLine) const;
    void bringCaretIntoWindow();
    void updateOuterBar();
    void onOuterBarMoved(int value);
    int viewRows() const;
    void setWindowBounds(qsizetype firstLine, qsizetype endLine);
    std::pair<qsizetype, qsizetype> windowAround(qsizetype centre) const;
    // Model characters of the window of screen lines [firstLine, endLine).
    qsizetype windowChars(qsizetype firstLine, qsizetype endLine) const;
    // The lines a window holds whole, however long they are.
    qsizetype minShownLines() const { return std::min(m_minShownLines, m_maxShownLines); }
    // How many lines from screen line `from` on (or, backwards, before it)
    // a window may hold within both bounds.
    qsizetype fittingLines(qsizetype from, bool forward) const;
    // Screen line after the window's last.
    qsizetype windowEndLine() const { return m_winLine + windowLines(); }
    // The box's selection put into the model (a user's move).
    void pushBoxSelection();
    qsizetype outsidePair(qsizetype modelPos) const;
    // A user's key over a selection that reaches beyond the window.
    void replaceSelectionByUser(const QString &text);
    // The selection reaches beyond the window; an input method's text or
    // a drop of the box's own selection then acts on it here (true when
    // done).
    bool selectionBeyondWindow() const;
    bool editBeyondWindow(QEvent *event);
    // Keeps an appended window within its size.
    void trimWindow();

    std::shared_ptr<TextModel> m_model;
    const Mode m_mode;
    QPlainTextEdit *m_plain = nullptr; // child widget
    QLineEdit *m_line = nullptr;       // child widget
    QTimer *m_selectionTimer = nullptr;
    QTimer *m_showTimer = nullptr;

    // The editor shows the model's first m_shownModelLength characters as
    // m_shownLength characters; the rest is waiting for the next frame.
    // The line ends are those of the shown part (multi-line).
    LineEndMap m_lines;
    qsizetype m_shownModelLength = 0;
    qsizetype m_shownLength = 0;
    bool m_replacePending = false; // the model's text was replaced since
    qsizetype m_replacedLength = 0; // its length then

    EditHistory m_history;

    void updateExtraSelections();
    qsizetype m_markStart = -1;
    qsizetype m_markLength = 0;
    qsizetype m_markLine = -1;
    QString m_searchPattern;
    bool m_searchCase = false;
    bool m_searchWord = false;
    QTimer *m_extraTimer = nullptr;
    std::unique_ptr<ScriptHighlighter> m_highlighter;
    bool m_highlightWanted = false;
    void attachHighlighter(qsizetype textLength);

    qsizetype m_maxShownLines;
    qsizetype m_maxShownChars = limits::kMaxShownChars;
    qsizetype m_minShownLines = limits::kMinShownLines;
    // The lines the window was given when it was placed: a quarter of it is
    // how near the view may come to its edge before it moves.
    qsizetype m_winSize;
    qsizetype m_winLine = 0;
    qsizetype m_winStart = 0;
    qsizetype m_winEnd = 0;
    qsizetype m_winShownStart = 0; // m_lines.shownPosition(m_winStart)
    // The selection as the box shows it, in model positions; the editor's
    // cursor holds the part inside the window (m_docAnchor, m_docCaret as
    // the box last put it there).
    qsizetype m_selAnchor = 0;
    qsizetype m_selCaret = 0;
    int m_docAnchor = 0;
    int m_docCaret = 0;
    QScrollBar *m_bar = nullptr; // child widget, shown while windowed
    bool m_wantVerticalBar = false;
    int m_moving = 0; // >0 while the window moves
    bool m_followQueued = false;

    bool m_userReadOnly = false;
    int m_quiet = 0;              // >0 while this box changes its own editor
    bool m_ownModelChange = false; // the model change under way came from here
};

} // namespace varnok
