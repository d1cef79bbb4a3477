// SPDX-License-Identifier: GPL-3.0-or-later
#include "textbox.h"

#include "common/limits.h"
#include "common/textsearch.h"
#include "widgets/exactaccessible.h"
#include "widgets/scripthighlighter.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace varnok {

namespace {

constexpr int kSelectionIntervalMs = 33; // about the screen's rate
// The program's changes are shown at most this often, and an append of a
// long text a piece per frame, so the event loop never waits long for one.
constexpr int kShowIntervalMs = 16;
constexpr qsizetype kAppendCharsPerFrame = qsizetype(1) << 16;
// A text longer than this is shown plain; it is also the characters a
// window holds, so a coloured script is always shown whole.
constexpr qsizetype kMostHighlighted = limits::kMaxShownChars;
const QChar kShownBreak(QChar::ParagraphSeparator); // a block break in QTextDocument

bool isLineBreakInput(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator
        || c == QChar::LineSeparator;
}

// What the user typed into the editor, as model text: every line break the
// editor produced (Enter, Shift+Enter, an input method's) becomes CR LF;
// every other character is taken as it is. Pastes and drops do not come
// this way: they are inserted exactly (insertExactText).
QString userInputToModel(QStringView shown)
{
    QString out;
    out.reserve(shown.size() + 8);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown[i];
        if (isLineBreakInput(c)) {
            if (c == u'\r' && i + 1 < shown.size() && shown[i + 1] == u'\n')
                ++i;
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// The inner editors route undo and redo (keys and context menu) to the box,
// whose history works on model text.
void retargetHistoryActions(QMenu *menu, TextBox *box)
{
    for (QAction *a : menu->actions()) {
        const QString name = a->objectName();
        if (name == QLatin1String("edit-undo")) {
            QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
            QObject::connect(a, &QAction::triggered, box, &TextBox::undo);
            a->setEnabled(box->acceptsUserEdits() && box->isUndoAvailable());
        } else if (name == QLatin1String("edit-redo")) {
            QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
            QObject::connect(a, &QAction::triggered, box, &TextBox::redo);
            a->setEnabled(box->acceptsUserEdits() && box->isRedoAvailable());
        }
    }
}

// Copy and cut of a single-line box hand out the model's characters; the
// line edit's own would hand out the symbols it shows.
void copyExact(TextBox *box, QClipboard::Mode mode = QClipboard::Clipboard)
{
    const QString text = box->selectedExactText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text, mode);
}

void retargetClipboardActions(QMenu *menu, TextBox *box, QLineEdit *edit)
{
    for (QAction *a : menu->actions()) {
        const QString name = a->objectName();
        if (name == QLatin1String("edit-copy")) {
            QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
            QObject::connect(a, &QAction::triggered, box, [box] { copyExact(box); });
        } else if (name == QLatin1String("edit-cut")) {
            QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
            QObject::connect(a, &QAction::triggered, box, [box, edit] {
                copyExact(box);
                if (box->acceptsUserEdits())
                    edit->del();
            });
        }
    }
}

// What an input method is told about the text around the caret: the model's
// characters of the same display range. Within one line a display character
// stands for exactly one model character, so the positions an input method
// works with stay valid.
QVariant exactInputMethodText(const TextBox *box, Qt::InputMethodQuery query,
                              const QVariant &shown, int displayFrom)
{
    const QString s = shown.toString();
    const qsizetype from = box->displayToModel(displayFrom);
    const qsizetype to = box->displayToModel(displayFrom + int(s.size()));
    const QString exact = box->model()->scriptText().mid(from, to - from);
    if (query == Qt::ImSurroundingText && exact.size() != s.size())
        return shown; // positions would no longer fit
    return exact;
}

bool handleHistoryKey(QKeyEvent *e, TextBox *box)
{
    if (e->matches(QKeySequence::Undo)) {
        box->undo();
        e->accept();
        return true;
    }
    // Ctrl+Y redoes as well, as in most editors people know.
    if (e->matches(QKeySequence::Redo)
        || (e->key() == Qt::Key_Y && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier)) {
        box->redo();
        e->accept();
        return true;
    }
    return false;
}

// Keys that would change the text: refused while the box takes no edits,
// and the box says so.
bool isEditKey(QKeyEvent *e)
{
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut)
        || e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo)
        || e->matches(QKeySequence::Delete) || e->matches(QKeySequence::DeleteStartOfWord)
        || e->matches(QKeySequence::DeleteEndOfWord))
        return true;
    switch (e->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        return true;
    default:
        break;
    }
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::NoModifier && !e->text().isEmpty() && e->text()[0].isPrint();
}

class PlainEdit;

// The line-number gutter left of a multi-line box's text.
class Gutter final : public QWidget
{
public:
    explicit Gutter(PlainEdit *edit);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    PlainEdit *m_edit;
};

// A block whose formats are those of its text now (QTextBlock::userState;
// a new or changed block has -1).
constexpr int kColoured = 1;

class PlainEdit final : public QPlainTextEdit
{
public:
    PlainEdit(TextBox *box) : QPlainTextEdit(box), m_box(box)
    {
        // A changed line is coloured anew when it is painted next.
        connect(document(), &QTextDocument::contentsChange, this, [this](int pos, int, int added) {
            if (!m_colours)
                return;
            QTextDocument *doc = document();
            const QTextBlock last = doc->findBlock(pos + added);
            for (QTextBlock b = doc->findBlock(pos); b.isValid(); b = b.next()) {
                b.setUserState(-1);
                if (b == last)
                    break;
            }
        });
    }

    // Colours the lines on screen with `colours` (none: plain).
    void setColours(const ScriptHighlighter *colours)
    {
        m_colours = colours;
        viewport()->update();
    }
    void uncolourAll()
    {
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
            if (b.userState() == kColoured) {
                ScriptHighlighter::uncolour(document(), b);
                b.setUserState(-1);
            }
        }
    }

    void setGutterShown(bool on)
    {
        if (on && !m_gutter) {
            m_gutter = new Gutter(this);
            connect(this, &QPlainTextEdit::updateRequest, m_gutter, [this](const QRect &r, int dy) {
                if (dy)
                    m_gutter->scroll(0, dy);
                else
                    m_gutter->update(0, r.y(), m_gutter->width(), r.height());
            });
            connect(this, &QPlainTextEdit::blockCountChanged, m_gutter, [this] { placeGutter(); });
            connect(this, &QPlainTextEdit::cursorPositionChanged, m_gutter,
                    [this] { m_gutter->update(); });
        }
        if (m_gutter)
            m_gutter->setVisible(on);
        placeGutter();
    }
    int gutterWidth() const
    {
        if (!m_gutter || !m_gutter->isVisible())
            return 0;
        const qsizetype lines = m_box->lastShownLine();
        int digits = 1;
        for (qsizetype n = lines; n >= 10; n /= 10)
            ++digits;
        return 10 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 2);
    }
    void placeGutter()
    {
        const int w = gutterWidth();
        if (viewportMargins().left() != w)
            setViewportMargins(w, 0, 0, 0);
        if (m_gutter) {
            const QRect cr = contentsRect();
            m_gutter->setGeometry(QRect(cr.left(), cr.top(), w, cr.height()));
            m_gutter->update();
        }
    }
    void paintGutter(QPaintEvent *e, QWidget *gutter)
    {
        QPainter p(gutter);
        const QPalette &pal = palette();
        p.fillRect(e->rect(), pal.color(QPalette::Window));
        const qsizetype current = m_box->lineOfShownBlock(textCursor().blockNumber(), nullptr);
        const qsizetype marked = m_box->markedLine();
        QTextBlock block = firstVisibleBlock();
        int number = block.blockNumber();
        qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        qreal bottom = top + blockBoundingRect(block).height();
        const int w = gutter->width();
        QFont normal = font();
        QFont bold = normal;
        bold.setBold(true);
        while (block.isValid() && top <= e->rect().bottom()) {
            if (block.isVisible() && bottom >= e->rect().top()) {
                bool continued = false;
                const qsizetype line = m_box->lineOfShownBlock(number, &continued);
                const QRectF row(0, top, w, bottom - top);
                if (line == marked)
                    p.fillRect(row, QColor(0xf4, 0xb0, 0xb0));
                else if (line == current)
                    p.fillRect(row, pal.color(QPalette::Midlight));
                p.setPen(pal.color(QPalette::WindowText));
                p.setFont(line == current ? bold : normal);
                // A screen line that a lone LF began belongs to the model
                // line above it: it has no number of its own.
                p.drawText(row.adjusted(0, 0, -5, 0), Qt::AlignRight | Qt::AlignVCenter,
                           continued ? QStringLiteral("·") : QString::number(line));
            }
            block = block.next();
            top = bottom;
            bottom = top + blockBoundingRect(block).height();
            ++number;
        }
    }
    // Display range [from, to) of the blocks on screen.
    std::pair<int, int> visibleRange() const
    {
        const QTextBlock first = firstVisibleBlock();
        const QTextCursor last = cursorForPosition(QPoint(viewport()->width() - 1, viewport()->height() - 1));
        const QTextBlock lastBlock = last.block();
        return {first.position(), lastBlock.position() + lastBlock.length() - 1};
    }

protected:
    void paintEvent(QPaintEvent *e) override
    {
        if (m_colours)
            colourShownBlocks();
        QPlainTextEdit::paintEvent(e);
    }
    void resizeEvent(QResizeEvent *e) override
    {
        QPlainTextEdit::resizeEvent(e);
        placeGutter();
    }
    void changeEvent(QEvent *e) override
    {
        QPlainTextEdit::changeEvent(e);
        if (e->type() == QEvent::FontChange)
            placeGutter();
    }
    void keyPressEvent(QKeyEvent *e) override
    {
        // The lock of a run: the key still does nothing, but the box says why.
        if (m_box->model()->isReadOnly() && !m_box->isUserReadOnly() && isEditKey(e))
            emit m_box->editRefused();
        if (handleHistoryKey(e, m_box))
            return;
        // Ctrl+I is the tab character's own control key; where Tab moves the
        // focus, it still types a tab.
        if (tabChangesFocus() && e->key() == Qt::Key_I
            && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            if (m_box->acceptsUserEdits())
                insertPlainText(QStringLiteral("\t"));
            e->accept();
            return;
        }
        if (m_box->windowKey(e))
            return;
        QPlainTextEdit::keyPressEvent(e);
        m_box->followView();
    }
    void wheelEvent(QWheelEvent *e) override
    {
        QPlainTextEdit::wheelEvent(e);
        m_box->followView();
    }
    void contextMenuEvent(QContextMenuEvent *e) override
    {
        const std::unique_ptr<QMenu> menu(createStandardContextMenu(e->pos()));
        retargetHistoryActions(menu.get(), m_box);
        if (m_box->isWindowed()) {
            // The whole text, not only the part the document holds.
            for (QAction *a : menu->actions()) {
                if (a->objectName() == QLatin1String("select-all")) {
                    QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
                    QObject::connect(a, &QAction::triggered, m_box, &TextBox::selectAllText);
                }
            }
        }
        menu->exec(e->globalPos());
    }
    // Copy, cut, drag and the X11 selection all take their data from here.
    QMimeData *createMimeDataFromSelection() const override
    {
        auto *data = new QMimeData;
        data->setText(m_box->selectedExactText());
        return data;
    }
    bool canInsertFromMimeData(const QMimeData *source) const override
    {
        return source->hasText();
    }
    // Paste and drop: the characters as the clipboard holds them.
    void insertFromMimeData(const QMimeData *source) override
    {
        if (source && source->hasText() && m_box->acceptsUserEdits())
            m_box->insertExactText(source->text());
    }
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override
    {
        const QVariant shown = QPlainTextEdit::inputMethodQuery(query);
        const QTextCursor c = textCursor();
        switch (query) {
        case Qt::ImSurroundingText:
            return exactInputMethodText(m_box, query, shown, c.block().position());
        case Qt::ImCurrentSelection:
            return m_box->selectedExactText();
        case Qt::ImTextBeforeCursor:
            return exactInputMethodText(m_box, query, shown,
                                        c.position() - int(shown.toString().size()));
        case Qt::ImTextAfterCursor:
            return exactInputMethodText(m_box, query, shown, c.position());
        default:
            return shown;
        }
    }

private:
    // Only the lines about to be painted get their colours: colouring every
    // line of the document when the text is set gave each its own layout
    // object, several times the size of a short line's text.
    void colourShownBlocks()
    {
        const qreal bottom = viewport()->height();
        QTextBlock block = firstVisibleBlock();
        qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        while (block.isValid() && top <= bottom) {
            if (block.userState() != kColoured) {
                m_colours->colour(document(), block);
                block.setUserState(kColoured);
            }
            top += blockBoundingRect(block).height();
            block = block.next();
        }
    }

    TextBox *m_box;
    Gutter *m_gutter = nullptr; // child widget
    const ScriptHighlighter *m_colours = nullptr; // the box's
};

Gutter::Gutter(PlainEdit *edit) : QWidget(edit), m_edit(edit)
{
    setCursor(Qt::ArrowCursor);
}

QSize Gutter::sizeHint() const
{
    return QSize(m_edit->gutterWidth(), 0);
}

void Gutter::paintEvent(QPaintEvent *e)
{
    m_edit->paintGutter(e, this);
}

void Gutter::mousePressEvent(QMouseEvent *e)
{
    // A click on a number puts the caret at the start of that screen line.
    const QTextCursor c = m_edit->cursorForPosition(QPoint(0, int(e->position().y())));
    QTextCursor to = m_edit->textCursor();
    to.setPosition(c.block().position());
    m_edit->setTextCursor(to);
    m_edit->setFocus();
}

class LineEdit final : public QLineEdit
{
public:
    LineEdit(TextBox *box) : QLineEdit(box), m_box(box) {}

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (m_box->model()->isReadOnly() && !m_box->isUserReadOnly() && isEditKey(e))
            emit m_box->editRefused();
        if (handleHistoryKey(e, m_box))
            return;
        if (e->matches(QKeySequence::Copy)) {
            copyExact(m_box);
            e->accept();
            return;
        }
        if (e->matches(QKeySequence::Cut)) {
            copyExact(m_box);
            if (m_box->acceptsUserEdits())
                del();
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        QLineEdit::mouseReleaseEvent(e);
        // The line edit has just put what it shows into the X11 selection.
        if (e->button() == Qt::LeftButton && hasSelectedText()
            && QGuiApplication::clipboard()->supportsSelection())
            copyExact(m_box, QClipboard::Selection);
    }
    void contextMenuEvent(QContextMenuEvent *e) override
    {
        const std::unique_ptr<QMenu> menu(createStandardContextMenu());
        retargetHistoryActions(menu.get(), m_box);
        retargetClipboardActions(menu.get(), m_box, this);
        menu->exec(e->globalPos());
    }
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override
    {
        const QVariant shown = QLineEdit::inputMethodQuery(query);
        switch (query) {
        case Qt::ImSurroundingText:
            return exactInputMethodText(m_box, query, shown, 0);
        case Qt::ImCurrentSelection:
            return m_box->selectedExactText();
        case Qt::ImTextBeforeCursor:
            return exactInputMethodText(m_box, query, shown,
                                        cursorPosition() - int(shown.toString().size()));
        case Qt::ImTextAfterCursor:
            return exactInputMethodText(m_box, query, shown, cursorPosition());
        default:
            return shown;
        }
    }

private:
    TextBox *m_box;
};

// Characters [from, to) of the editor, block breaks as U+2029.
QString documentText(QTextDocument *doc, int from, int to)
{
    if (to <= from)
        return {};
    QTextCursor c(doc);
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    return c.selectedText();
}

// Splits old -> new into (prefix, suffix) of unchanged characters. The
// changed part of the new text ends at `caret` where possible, which decides
// ambiguous cases (typing a character next to an equal one) the way the user
// typed them.
std::pair<qsizetype, qsizetype> unchangedEnds(QStringView oldText, QStringView newText,
                                              qsizetype caret)
{
    const qsizetype oldLen = oldText.size();
    const qsizetype newLen = newText.size();
    const qsizetype shorter = std::min(oldLen, newLen);
    qsizetype suffix = 0;
    const qsizetype maxSuffix = std::clamp<qsizetype>(newLen - caret, 0, shorter);
    while (suffix < maxSuffix && oldText[oldLen - 1 - suffix] == newText[newLen - 1 - suffix])
        ++suffix;
    qsizetype prefix = 0;
    const qsizetype maxPrefix = shorter - suffix;
    while (prefix < maxPrefix && oldText[prefix] == newText[prefix])
        ++prefix;
    return {prefix, suffix};
}

} // namespace

TextBox::TextBox(std::shared_ptr<TextModel> model, Mode mode, QWidget *parent)
    : QWidget(parent), m_model(std::move(model)), m_mode(mode),
      m_maxShownLines(limits::kMaxShownLines), m_winSize(limits::kMaxShownLines)
{
    Q_ASSERT(m_model);
    installExactTextAccessibility();
    // A multi-line box has room for the scroll bar of a windowed text
    // beside its editor.
    QBoxLayout *layout = m_mode == Mode::MultiLine ? static_cast<QBoxLayout *>(new QHBoxLayout(this))
                                                   : new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QWidget *editor = nullptr;
    if (m_mode == Mode::MultiLine) {
        m_plain = new PlainEdit(this);
        m_plain->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_plain->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_plain->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        // The history lives in this box, on model text.
        m_plain->setUndoRedoEnabled(false);
        QTextDocument *doc = m_plain->document();
        connect(doc, &QTextDocument::contentsChange, this, &TextBox::onDocumentChange);
        connect(m_plain, &QPlainTextEdit::cursorPositionChanged, this,
                &TextBox::pushWidgetSelection);
        connect(m_plain, &QPlainTextEdit::selectionChanged, this,
                &TextBox::pushWidgetSelection);
        m_plain->viewport()->installEventFilter(this);
        m_plain->installEventFilter(this);
        editor = m_plain;
    } else {
        m_line = new LineEdit(this);
        // QLineEdit cuts text at 32767 characters by default; a box holds
        // whatever the model holds.
        m_line->setMaxLength(std::numeric_limits<int>::max());
        connect(m_line, &QLineEdit::textEdited, this, &TextBox::onLineEdited);
        connect(m_line, &QLineEdit::cursorPositionChanged, this, &TextBox::pushWidgetSelection);
        connect(m_line, &QLineEdit::selectionChanged, this, &TextBox::pushWidgetSelection);
        m_line->installEventFilter(this);
        editor = m_line;
    }
    layout->addWidget(editor);
    if (m_plain) {
        // The scroll bar of a windowed text, in screen lines of the whole
        // text; the editor's own only knows the window.
        m_bar = new QScrollBar(Qt::Vertical, this);
        m_bar->hide();
        layout->addWidget(m_bar);
        connect(m_bar, &QScrollBar::valueChanged, this, &TextBox::onOuterBarMoved);
        connect(m_plain->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
            if (m_moving || !isWindowed())
                return;
            {
                const QSignalBlocker block(m_bar);
                m_bar->setValue(int(m_winLine + value));
            }
            // A wheel, a drag selection scrolling the view: the window
            // follows once Qt is done with the event.
            if (!m_followQueued) {
                m_followQueued = true;
                QTimer::singleShot(0, this, [this] {
                    m_followQueued = false;
                    followView();
                });
            }
        });
    }
    // A compound widget: the box takes the focus as its editor does and
    // hands it on, so a window can put the box itself in its tab order.
    setFocusProxy(editor);
    setFocusPolicy(editor->focusPolicy());
    setSizePolicy(editor->sizePolicy());

    m_selectionTimer = new QTimer(this);
    m_selectionTimer->setSingleShot(true);
    m_selectionTimer->setInterval(kSelectionIntervalMs);
    connect(m_selectionTimer, &QTimer::timeout, this, [this] {
        if (m_model->takeSelectionDirty())
            showModelSelection();
    });

    // The program's changes reach the screen at most once per frame: an
    // answer may append hundreds of thousands of header lines one by one.
    m_showTimer = new QTimer(this);
    m_showTimer->setSingleShot(true);
    m_showTimer->setInterval(kShowIntervalMs);
    connect(m_showTimer, &QTimer::timeout, this, &TextBox::showPending);

    TextModel *m = m_model.get();
    connect(m, &TextModel::textReset, this, &TextBox::onModelReplaced);
    connect(m, &TextModel::textAppended, this, &TextBox::onModelAppended);
    connect(m, &TextModel::textEdited, this, [this] {
        // Our own edits are already on screen; another viewer's are not.
        if (m_ownModelChange)
            emit selectionReadoutRequested();
        else
            onModelReplaced();
    });
    connect(m, &TextModel::selectionPending, this, &TextBox::onSelectionPending);
    connect(m, &TextModel::readOnlyChanged, this, &TextBox::updateReadOnly);
    // A mark is about a place in the text as it was.
    connect(m, &TextModel::changed, this, [this] {
        if (m_markLine >= 0)
            clearMark();
    });

    m_extraTimer = new QTimer(this);
    m_extraTimer->setSingleShot(true);
    m_extraTimer->setInterval(0);
    connect(m_extraTimer, &QTimer::timeout, this, &TextBox::updateExtraSelections);
    if (m_plain) {
        // Matches are highlighted on the lines on screen only, so a search
        // in a long script costs what one screen costs.
        connect(m_plain, &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
            if (dy != 0 && !m_searchPattern.isEmpty())
                m_extraTimer->start();
        });
    }

    showWholeModelNow();
    updateReadOnly();
}

TextBox::~TextBox()
{
    // The editors go down after this object's members; nothing they emit on
    // the way may reach this box any more.
    if (m_plain) {
        static_cast<PlainEdit *>(m_plain)->setColours(nullptr); // goes before the editor
        m_plain->document()->disconnect(this);
        m_plain->verticalScrollBar()->disconnect(this);
        m_bar->disconnect(this);
        m_plain->disconnect(this);
        m_plain->viewport()->removeEventFilter(this);
        m_plain->removeEventFilter(this);
    }
    if (m_line) {
        m_line->disconnect(this);
        m_line->removeEventFilter(this);
    }
}

// ---- settings ---------------------------------------------------------------

void TextBox::setForceHorizontalScrollBar(bool on)
{
    if (m_plain)
        m_plain->setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

void TextBox::setForceVerticalScrollBar(bool on)
{
    m_wantVerticalBar = on;
    if (m_plain && !isWindowed())
        m_plain->setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
}

void TextBox::setWordWrap(bool on)
{
    if (m_plain)
        m_plain->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TextBox::setTabChangesFocus(bool on)
{
    if (m_plain)
        m_plain->setTabChangesFocus(on);
}

bool TextBox::tabChangesFocus() const
{
    return m_plain && m_plain->tabChangesFocus();
}

void TextBox::setUserReadOnly(bool readOnly)
{
    m_userReadOnly = readOnly;
    updateReadOnly();
}

bool TextBox::acceptsUserEdits() const
{
    return !m_userReadOnly && !m_model->isReadOnly();
}

void TextBox::updateReadOnly()
{
    const bool readOnly = !acceptsUserEdits();
    if (m_plain) {
        m_plain->setReadOnly(readOnly);
        // Locked text can still be selected with the keyboard and copied.
        if (readOnly)
            m_plain->setTextInteractionFlags(Qt::TextSelectableByMouse
                                             | Qt::TextSelectableByKeyboard);
    }
    if (m_line)
        m_line->setReadOnly(readOnly);
}

void TextBox::setFixedFont(const QString &family, qreal pointSize)
{
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(pointSize);
    // Font configuration may hand out any font for a family it lacks; only a
    // fixed-pitch one keeps columns aligned.
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(pointSize);
    }
    setFont(font);
}

void TextBox::setButtonFaceBackground(bool on)
{
    QWidget *editor = m_plain ? static_cast<QWidget *>(m_plain) : m_line;
    if (!on) {
        editor->setPalette(QPalette());
        return;
    }
    QPalette p = editor->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setBrush(group, QPalette::Base, p.brush(group, QPalette::Button));
    editor->setPalette(p);
}

bool TextBox::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTipChange) {
        // The inner editor covers this widget; it has to carry the tooltip.
        if (m_plain) {
            m_plain->setToolTip(toolTip());
            m_plain->viewport()->setToolTip(toolTip());
        }
        if (m_line)
            m_line->setToolTip(toolTip());
    }
    return QWidget::event(event);
}

bool TextBox::selectionBeyondWindow() const
{
    if (!isWindowed())
        return false;
    const auto [from, length] = shownSelectionInModel();
    return length > 0 && (from < m_winStart || from + length > m_winEnd);
}

bool TextBox::editBeyondWindow(QEvent *event)
{
    if (event->type() == QEvent::InputMethod) {
        auto *im = static_cast<QInputMethodEvent *>(event);
        if (im->commitString().isEmpty() || !im->preeditString().isEmpty() || !acceptsUserEdits())
            return false;
        replaceSelectionByUser(userInputToModel(im->commitString()));
        return true;
    }
    // A selection dragged within the box: the editor would move only the
    // part the window holds, so the box moves the whole of it, as one edit.
    auto *drop = static_cast<QDropEvent *>(event);
    if (drop->source() != m_plain && drop->source() != m_plain->viewport())
        return false;
    if (!(drop->possibleActions() & Qt::MoveAction) || !acceptsUserEdits())
        return false;
    const auto [from, length] = shownSelectionInModel();
    const qsizetype to = from + length;
    const qsizetype at = toModel(m_plain->cursorForPosition(drop->position().toPoint()).position());
    drop->setDropAction(Qt::CopyAction); // nothing for the editor to take away
    drop->accept();
    if (at >= from && at <= to)
        return true;
    const QString &t = m_model->scriptText();
    const QString moved = t.mid(from, length);
    m_history.closeStep();
    if (at > to) {
        applyUserEdit(from, at, t.mid(to, at - to) + moved, true);
        m_selAnchor = at - length;
        m_selCaret = at;
    } else {
        applyUserEdit(at, to, moved + t.mid(at, from - at), true);
        m_selAnchor = at;
        m_selCaret = at + length;
    }
    m_history.closeStep();
    bringCaretIntoWindow();
    showBoxSelection(true);
    pushBoxSelection();
    return true;
}

bool TextBox::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::Drop:
    case QEvent::ContextMenu:
        // The user acts on what the screen shows: it must show the model.
        flushDisplay();
        if ((event->type() == QEvent::InputMethod || event->type() == QEvent::Drop)
            && selectionBeyondWindow() && editBeyondWindow(event))
            return true;
        break;
    default:
        break;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        flushDisplay();
        emit selectionReadoutRequested();
        break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
        emit selectionReadoutRequested();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- position mapping --------------------------------------------------------

int TextBox::toShown(qsizetype modelPos) const
{
    if (m_mode != Mode::MultiLine)
        return int(std::clamp<qsizetype>(modelPos, 0, m_shownModelLength));
    modelPos = std::clamp<qsizetype>(modelPos, m_winStart, m_winEnd);
    return int(m_lines.shownPosition(modelPos) - m_winShownStart);
}

qsizetype TextBox::toModel(int displayPos) const
{
    const qsizetype d = std::clamp<qsizetype>(displayPos, 0, m_shownLength);
    if (m_mode != Mode::MultiLine)
        return d;
    return std::clamp(m_lines.modelPosition(d + m_winShownStart), m_winStart, m_winEnd);
}

std::pair<qsizetype, qsizetype> TextBox::cursorInModel() const
{
    const QTextCursor c = m_plain->textCursor();
    qsizetype anchor = toModel(c.anchor());
    qsizetype caret = toModel(c.position());
    // Where the window holds only part of the selection, the cursor stands
    // at its edge for the rest: what the user did not move stays where the
    // box has it.
    const auto beyond = [this](qsizetype at) { return at < m_winStart || at > m_winEnd; };
    if (isWindowed() && c.anchor() == m_docAnchor) {
        if (beyond(m_selAnchor))
            anchor = m_selAnchor;
        if (c.position() == m_docCaret && beyond(m_selCaret))
            caret = m_selCaret;
    }
    return {anchor, caret};
}

std::pair<qsizetype, qsizetype> TextBox::shownSelectionInModel() const
{
    int anchor = 0;
    int pos = 0;
    if (m_plain) {
        const auto [a, c] = cursorInModel();
        return {std::min(a, c), std::abs(c - a)};
    } else if (m_line->hasSelectedText()) {
        anchor = m_line->selectionStart();
        pos = m_line->selectionEnd();
    } else {
        anchor = pos = m_line->cursorPosition();
    }
    const qsizetype from = toModel(std::min(anchor, pos));
    const qsizetype to = toModel(std::max(anchor, pos));
    return {from, to - from};
}

QString TextBox::selectedExactText() const
{
    const auto [from, length] = shownSelectionInModel();
    return m_model->scriptText().mid(from, length);
}

void TextBox::insertExactText(const QString &text)
{
    if (!acceptsUserEdits())
        return;
    flushDisplay();
    const auto [from, length] = shownSelectionInModel();
    m_history.closeStep(); // a paste is a step of its own
    if (m_plain) {
        applyUserEdit(from, from + length, text, true);
        showModelSelection();
    } else {
        if (!commitUserEdit(from, length, text, true))
            return;
        ++m_quiet;
        m_line->setText(render(0, m_shownModelLength));
        m_line->setCursorPosition(int(from + text.size()));
        --m_quiet;
        emit userEdited();
    }
    m_history.closeStep();
    pushWidgetSelection();
}

int TextBox::modelToDisplay(qsizetype modelPos) const
{
    const_cast<TextBox *>(this)->flushDisplay();
    return toShown(modelPos);
}

qsizetype TextBox::displayToModel(int displayPos) const
{
    const_cast<TextBox *>(this)->flushDisplay();
    return toModel(displayPos);
}

QPlainTextEdit *TextBox::plainTextEdit() const
{
    const_cast<TextBox *>(this)->flushDisplay();
    return m_plain;
}

QWidget *TextBox::innerEditor() const
{
    return m_plain ? static_cast<QWidget *>(m_plain) : m_line;
}

QLineEdit *TextBox::lineEdit() const
{
    const_cast<TextBox *>(this)->flushDisplay();
    return m_line;
}

std::pair<qsizetype, qsizetype> TextBox::modelSelection() const
{
    return {m_model->selectionStart(), m_model->selectionLength()};
}

QString TextBox::displayText() const
{
    const_cast<TextBox *>(this)->flushDisplay();
    if (m_line)
        return m_line->text();
    QString s = documentText(m_plain->document(), 0, int(m_plain->document()->characterCount() - 1));
    s.replace(kShownBreak, u'\n');
    return s;
}





void TextBox::noteShownChange(qsizetype start, qsizetype oldEnd, qsizetype newEnd)
{
    m_shownModelLength += newEnd - oldEnd;
    if (m_mode != Mode::MultiLine) {
        m_shownLength = m_shownModelLength;
        return;
    }
    const QStringView shown = QStringView(m_model->scriptText()).first(m_shownModelLength);
    m_lines.update(shown, start, oldEnd, newEnd);
    // A change within the window (an append at its end included) is made
    // on screen too; one elsewhere refills the window after it.
    const qsizetype delta = newEnd - oldEnd;
    if (start >= m_winStart && oldEnd <= m_winEnd) {
        m_winEnd += delta;
    } else if (oldEnd <= m_winStart) {
        m_winStart += delta;
        m_winEnd += delta;
    }
    m_winEnd = std::clamp<qsizetype>(m_winEnd, 0, m_shownModelLength);
    m_winStart = std::clamp<qsizetype>(m_winStart, 0, m_winEnd);
    m_winLine = m_lines.lineOf(m_winStart);
    m_winShownStart = m_lines.shownPosition(m_winStart);
    m_shownLength = m_lines.shownPosition(m_winEnd) - m_winShownStart;
}

QString TextBox::render(qsizetype from, qsizetype to) const
{
    const QString &t = m_model->scriptText();
    QString out;
    out.reserve(to - from + 16);
    const bool lines = m_mode == Mode::MultiLine;
    for (qsizetype i = from; i < to; ++i) {
        const QChar c = t[i];
        if (lines && c == u'\r' && i + 1 < to && t[i + 1] == u'\n') {
            out += kShownBreak;
            ++i;
        } else if (lines && c == u'\n') {
            out += textdisplay::visibleChar(c);
            out += kShownBreak;
        } else {
            out += textdisplay::visibleChar(c);
        }
    }
    return out;
}

bool TextBox::replaceDisplay(int from, int to, const QString &shown)
{
    // Touch only what differs, so that the caret and the view stay put.
    const QString current = documentText(m_plain->document(), from, to);
    if (current == shown)
        return false;
    const auto [prefix, suffix] = unchangedEnds(current, shown, shown.size());
    ++m_quiet;
    QTextCursor c(m_plain->document());
    c.setPosition(from + int(prefix));
    c.setPosition(to - int(suffix), QTextCursor::KeepAnchor);
    c.insertText(shown.mid(prefix, shown.size() - prefix - suffix));
    --m_quiet;
    return true;
}

// ---- model -> widget ---------------------------------------------------------

void TextBox::onModelReplaced()
{
    m_history.clear();
    m_replacePending = true;
    // What was set is shown in one piece; what is appended after it, a
    // piece per frame like any append.
    m_replacedLength = m_model->scriptText().size();
    if (!m_showTimer->isActive())
        m_showTimer->start();
}

void TextBox::onModelAppended(qsizetype)
{
    m_history.clear();
    if (!m_showTimer->isActive())
        m_showTimer->start();
}

bool TextBox::isDisplayBehind() const
{
    return m_replacePending || m_shownModelLength != m_model->scriptText().size();
}

void TextBox::showPending()
{
    if (m_replacePending)
        showWholeModelNow(m_replacedLength);
    else
        showAppendedPart(kAppendCharsPerFrame);
    if (isDisplayBehind())
        m_showTimer->start();
    emit selectionReadoutRequested();
}

void TextBox::flushDisplay()
{
    // Not while this box changes its own editor: whoever asks then (an
    // accessibility update, a signal of the editor) sees the shown part.
    if (!m_showTimer || m_quiet || !isDisplayBehind())
        return;
    m_showTimer->stop();
    if (m_replacePending)
        showWholeModelNow();
    else
        showAppendedPart(0);
    emit selectionReadoutRequested();
}

void TextBox::showWholeModelNow(qsizetype upTo)
{
    m_replacePending = false;
    ++m_quiet;
    const QString &t = m_model->scriptText();
    upTo = std::clamp<qsizetype>(upTo, 0, t.size());
    if (upTo > 0 && upTo < t.size() && t[upTo - 1].isHighSurrogate())
        ++upTo;
    m_shownModelLength = upTo;
    if (m_plain) {
        m_lines.reset(QStringView(t).first(upTo));
        attachHighlighter(upTo);
        // A long text is shown around the model's caret.
        const qsizetype caret = std::clamp<qsizetype>(
            m_model->selectionStart() + m_model->selectionLength(), 0, upTo);
        const auto [first, end] = windowAround(m_lines.lineOf(caret));
        ++m_moving;
        m_winSize = end - first;
        setWindowBounds(first, end);
        fillDocument();
        updateOuterBar();
        --m_moving;
    } else {
        m_shownLength = upTo;
        m_line->setText(render(0, upTo));
    }
    showModelSelection();
    --m_quiet;
}

void TextBox::fillDocument()
{
    // Every change of the editor's width makes Qt give each block of the
    // document a layout object of its own (some 300 bytes a line, whether
    // the line is ever on screen or not). The gutter's width and the
    // vertical scroll bar, both of which the new text may change, are
    // therefore settled while the document is empty.
    m_plain->setPlainText(QString());
    auto *edit = static_cast<PlainEdit *>(m_plain);
    edit->placeGutter();
    // A windowed text has the box's scroll bar instead of the editor's.
    const Qt::ScrollBarPolicy wanted = isWindowed() ? Qt::ScrollBarAlwaysOff
                                       : m_wantVerticalBar ? Qt::ScrollBarAlwaysOn
                                                           : Qt::ScrollBarAsNeeded;
    if (m_plain->verticalScrollBarPolicy() != wanted)
        m_plain->setVerticalScrollBarPolicy(wanted);
    m_bar->setVisible(isWindowed());
    const qsizetype screenLines = m_lines.lineOf(m_winEnd) - m_winLine + 1;
    const qsizetype rows = viewRows();
    const bool barNeeded = wanted == Qt::ScrollBarAsNeeded && screenLines > 2 * rows + 16;
    if (barNeeded)
        m_plain->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The document is built in one edit, from a rendering made a piece at a
    // time, so no second whole copy of the text exists beside the model's
    // and the document's.
    const QString &t = m_model->scriptText();
    const qsizetype upTo = m_winEnd;
    QTextCursor c(m_plain->document());
    c.beginEditBlock();
    for (qsizetype from = m_winStart; from < upTo;) {
        qsizetype to = std::min(upTo, from + kAppendCharsPerFrame);
        // A CR LF pair is one break and a surrogate pair one character:
        // neither is cut between two pieces.
        if (to < upTo && t[to - 1].isHighSurrogate())
            ++to;
        if (to < upTo && t[to - 1] == u'\r' && t[to] == u'\n')
            ++to;
        c.insertText(render(from, to));
        from = to;
    }
    c.endEditBlock();
    if (barNeeded)
        m_plain->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TextBox::showAppendedPart(qsizetype maxChars)
{
    const QString &t = m_model->scriptText();
    const qsizetype from = m_shownModelLength;
    if (from >= t.size())
        return;
    if (!m_plain) {
        // Single-line boxes hold short texts; showing them anew is cheap.
        ++m_quiet;
        m_line->setText(render(0, t.size()));
        m_shownModelLength = m_shownLength = t.size();
        m_line->setCursorPosition(toShown(m_model->selectionStart()));
        --m_quiet;
        return;
    }
    qsizetype to = maxChars > 0 ? std::min(t.size(), from + maxChars) : t.size();
    if (to < t.size() && t[to - 1].isHighSurrogate())
        ++to;
    // A CR that ended the shown text and the LF that starts the new part
    // make one line break: the CR's symbol gives way to it.
    const bool joins = from > 0 && t[from - 1] == u'\r' && t[from] == u'\n';
    const qsizetype renderFrom = joins ? from - 1 : from;
    const int displayFrom = int(m_shownLength - (joins ? 1 : 0));
    const int displayTo = int(m_shownLength);

    ++m_quiet;
    const int caretBefore = m_plain->textCursor().position();
    const int anchorBefore = m_plain->textCursor().anchor();
    const bool windowAtEnd = m_winEnd == from;
    noteShownChange(from, from, to);
    if (!windowAtEnd) {
        // The window holds an earlier part; only the scroll bar grows.
        updateOuterBar();
        --m_quiet;
        return;
    }
    replaceDisplay(displayFrom, displayTo, render(renderFrom, to));
    if (isWindowed()) {
        trimWindow();
        updateOuterBar();
    }
    // The editor's caret moves along when it stood at the end; the model's
    // selection did not, so put it back. A selection that reached past
    // what was shown is shown whole now.
    const QTextCursor now = m_plain->textCursor();
    if (now.position() != caretBefore || now.anchor() != anchorBefore
        || m_model->selectionStart() + m_model->selectionLength() > from)
        showModelSelection();
    --m_quiet;
}

void TextBox::onSelectionPending()
{
    if (m_quiet)
        return;
    if (!m_selectionTimer->isActive())
        m_selectionTimer->start();
}

void TextBox::syncSelectionNow()
{
    m_selectionTimer->stop();
    m_model->takeSelectionDirty();
    showModelSelection();
}

void TextBox::showModelSelection()
{
    const qsizetype start = m_model->selectionStart();
    if (m_plain) {
        m_selAnchor = start;
        m_selCaret = start + m_model->selectionLength();
        if (isWindowed() && (m_selCaret < m_winStart || m_selCaret > m_winEnd))
            bringCaretIntoWindow();
        showBoxSelection(true);
        return;
    }
    ++m_quiet;
    const int from = toShown(start);
    const int to = toShown(start + m_model->selectionLength());
    if (to > from) {
        m_line->setSelection(from, to - from);
    } else {
        m_line->setCursorPosition(from);
    }
    --m_quiet;
}

// ---- the window -----------------------------------------------------------------

bool TextBox::isWindowed() const
{
    if (!m_plain)
        return false;
    const qsizetype lines = m_lines.count() + 1;
    return lines > m_maxShownLines || (m_shownModelLength > m_maxShownChars && lines > minShownLines());
}

void TextBox::setMaxShownLinesForTests(qsizetype lines, qsizetype chars, qsizetype minLines)
{
    m_maxShownLines = std::max<qsizetype>(lines, 8);
    m_maxShownChars = std::max<qsizetype>(chars, 1);
    m_minShownLines = std::max<qsizetype>(minLines, 8);
    flushDisplay();
    showWholeModelNow();
}

qsizetype TextBox::windowLines() const
{
    return m_plain ? m_plain->document()->blockCount() : 1;
}

int TextBox::viewRows() const
{
    if (!m_plain)
        return 1;
    return std::max(1, m_plain->viewport()->height() / std::max(1, m_plain->fontMetrics().lineSpacing()));
}

std::pair<qsizetype, qsizetype> TextBox::windowAround(qsizetype centre) const
{
    const qsizetype total = m_lines.count() + 1;
    if (!isWindowed())
        return {0, total};
    const auto around = [&](qsizetype n) {
        const qsizetype first = std::clamp<qsizetype>(centre - n / 2, 0, total - n);
        return std::pair{first, first + n};
    };
    const auto fits = [&](qsizetype n) {
        const auto [first, end] = around(n);
        return windowChars(first, end) <= m_maxShownChars;
    };
    const qsizetype most = std::min(m_maxShownLines, total);
    if (fits(most))
        return around(most);
    // Fewer lines of longer ones: the most that stay within the characters,
    // but never fewer than the lines around the view, whatever their length.
    // A window of one line more holds the one of a line less, so the
    // characters grow with the lines and halving finds the count.
    qsizetype lo = std::min(minShownLines(), most);
    qsizetype hi = most;
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        (fits(mid) ? lo : hi) = mid;
    }
    return around(lo);
}

qsizetype TextBox::windowChars(qsizetype firstLine, qsizetype endLine) const
{
    return windowEndPosition(endLine) - m_lines.lineStart(firstLine);
}

qsizetype TextBox::fittingLines(qsizetype from, bool forward) const
{
    const qsizetype available = forward ? m_lines.count() + 1 - from : from;
    const auto fits = [&](qsizetype n) {
        return (forward ? windowChars(from, from + n) : windowChars(from - n, from)) <= m_maxShownChars;
    };
    const qsizetype most = std::min(m_maxShownLines, available);
    if (fits(most))
        return most;
    qsizetype lo = std::min(minShownLines(), most);
    qsizetype hi = most;
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        (fits(mid) ? lo : hi) = mid;
    }
    return lo;
}

void TextBox::setWindowBounds(qsizetype firstLine, qsizetype endLine)
{
    const qsizetype total = m_lines.count() + 1;
    m_winLine = std::clamp<qsizetype>(firstLine, 0, total - 1);
    m_winStart = m_lines.lineStart(m_winLine);
    m_winEnd = windowEndPosition(std::clamp<qsizetype>(endLine, m_winLine + 1, total));
    m_winShownStart = m_lines.shownPosition(m_winStart);
    m_shownLength = m_lines.shownPosition(m_winEnd) - m_winShownStart;
}

qsizetype TextBox::windowEndPosition(qsizetype endLine) const
{
    if (endLine >= m_lines.count() + 1)
        return m_shownModelLength;
    // The window ends before the line break of its last line.
    const qsizetype lf = m_lines.lfPosition(endLine - 1);
    return m_lines.isPair(endLine - 1) ? lf - 1 : lf;
}

void TextBox::shiftWindow(qsizetype first, qsizetype end)
{
    // Only the lines that leave and those that come are touched; the
    // document's positions before an edit are those of the window as it
    // was, so its end goes first.
    QTextCursor c(m_plain->document());
    c.beginEditBlock();
    const qsizetype oldEnd = windowEndLine();
    const qsizetype newEndPos = windowEndPosition(end);
    if (end < oldEnd) {
        c.setPosition(int(m_lines.shownPosition(newEndPos) - m_winShownStart));
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    } else if (end > oldEnd) {
        c.movePosition(QTextCursor::End);
        c.insertText(render(m_winEnd, newEndPos));
    }
    const qsizetype newStart = m_lines.lineStart(first);
    if (first > m_winLine) {
        c.setPosition(0);
        c.setPosition(int(m_lines.shownPosition(newStart) - m_winShownStart), QTextCursor::KeepAnchor);
        c.removeSelectedText();
    } else if (first < m_winLine) {
        c.setPosition(0);
        c.insertText(render(newStart, m_winStart));
    }
    c.endEditBlock();
    setWindowBounds(first, end);
}

void TextBox::refillWindow(qsizetype centre, qsizetype top, bool documentInStep)
{
    if (!m_plain)
        return;
    ++m_moving;
    ++m_quiet;
    const auto [first, end] = windowAround(centre);
    m_winSize = end - first;
    const qsizetype oldFirst = m_winLine;
    const qsizetype oldEnd = windowEndLine();
    if (!documentInStep) {
        setWindowBounds(first, end);
        fillDocument();
    } else if (first < oldEnd && end > oldFirst) {
        // A window that overlaps the one shown moves by what differs.
        if (first != oldFirst || end != oldEnd)
            shiftWindow(first, end);
    } else {
        setWindowBounds(first, end);
        fillDocument();
    }
    if (m_shownLength != m_plain->document()->characterCount() - 1) {
        // Should never happen; if the editor surprised us, start afresh.
        setWindowBounds(first, end);
        fillDocument();
    }
    updateOuterBar();
    showBoxSelection(false);
    QScrollBar *v = m_plain->verticalScrollBar();
    v->setValue(int(std::max<qsizetype>(0, top - m_winLine)));
    {
        const QSignalBlocker block(m_bar);
        m_bar->setValue(int(m_winLine + v->value()));
    }
    --m_quiet;
    --m_moving;
    m_extraTimer->start();
}

void TextBox::followView()
{
    if (!m_plain || m_moving || m_quiet)
        return;
    if (!isWindowed()) {
        if (m_winStart != 0 || m_winEnd != m_shownModelLength)
            refillWindow(0, m_plain->verticalScrollBar()->value());
        else if (m_bar->isVisible())
            updateOuterBar();
        return;
    }
    const qsizetype lines = windowLines();
    const qsizetype total = m_lines.count() + 1;
    const qsizetype top = m_plain->verticalScrollBar()->value();
    const qsizetype rows = viewRows();
    const qsizetype margin = m_winSize / 4;
    const bool nearTop = m_winLine > 0 && top < margin;
    const bool nearBottom = m_winLine + lines < total && top + rows > lines - margin;
    // Typing and pasting grow the window; past a quarter over either bound
    // it is placed anew.
    const bool tooLong = lines > m_maxShownLines + m_maxShownLines / 4
                         || (m_winEnd - m_winStart > m_maxShownChars + m_maxShownChars / 4
                             && lines > minShownLines());
    if (nearTop || nearBottom || tooLong)
        refillWindow(m_winLine + top + rows / 2, m_winLine + top, true);
    else
        updateOuterBar();
}

void TextBox::bringCaretIntoWindow()
{
    if (!isWindowed())
        return;
    const qsizetype line = m_lines.lineOf(m_selCaret);
    const qsizetype margin = m_winSize / 4;
    const qsizetype end = windowEndLine();
    const bool inside = line >= m_winLine + (m_winLine > 0 ? margin : 0)
                        && line < end - (end < m_lines.count() + 1 ? margin : 0);
    if (!inside)
        refillWindow(line, line - viewRows() / 3, true);
}

void TextBox::updateOuterBar()
{
    if (!m_plain)
        return;
    ++m_moving;
    if (isWindowed()) {
        if (m_plain->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
            m_plain->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        const qsizetype total = m_lines.count() + 1;
        const int rows = viewRows();
        const QSignalBlocker block(m_bar);
        m_bar->setRange(0, int(std::max<qsizetype>(0, total - rows)));
        m_bar->setPageStep(rows);
        m_bar->setSingleStep(1);
        m_bar->setValue(int(m_winLine + m_plain->verticalScrollBar()->value()));
        m_bar->show();
    } else if (m_bar->isVisible() || m_plain->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff) {
        m_bar->hide();
        m_plain->setVerticalScrollBarPolicy(m_wantVerticalBar ? Qt::ScrollBarAlwaysOn
                                                              : Qt::ScrollBarAsNeeded);
    }
    --m_moving;
}

void TextBox::onOuterBarMoved(int value)
{
    if (m_moving || !isWindowed())
        return;
    const qsizetype rows = viewRows();
    if (value >= m_winLine && value + rows <= windowEndLine()) {
        ++m_moving;
        m_plain->verticalScrollBar()->setValue(int(value - m_winLine));
        --m_moving;
        followView();
    } else {
        refillWindow(value + rows / 2, value, true);
    }
}

void TextBox::showBoxSelection(bool ensureVisible)
{
    ++m_quiet;
    const int anchor = toShown(m_selAnchor);
    const int caret = toShown(m_selCaret);
    QScrollBar *v = m_plain->verticalScrollBar();
    const int top = v->value();
    QTextCursor c = m_plain->textCursor();
    c.setPosition(anchor);
    c.setPosition(caret, QTextCursor::KeepAnchor);
    m_plain->setTextCursor(c);
    m_docAnchor = anchor;
    m_docCaret = caret;
    const bool caretHeld = m_selCaret >= m_winStart && m_selCaret <= m_winEnd;
    if (ensureVisible && caretHeld)
        m_plain->ensureCursorVisible();
    else
        v->setValue(top); // a caret beyond the window does not pull the view
    --m_quiet;
}

void TextBox::pushBoxSelection()
{
    ++m_quiet;
    m_model->setSelectionBetween(m_selAnchor, m_selCaret);
    m_model->takeSelectionDirty();
    --m_quiet;
    emit selectionReadoutRequested();
}

void TextBox::selectAllText()
{
    if (!m_plain)
        return;
    flushDisplay();
    m_selAnchor = 0;
    m_selCaret = m_shownModelLength;
    bringCaretIntoWindow();
    showBoxSelection(true);
    pushBoxSelection();
}

qsizetype TextBox::outsidePair(qsizetype modelPos) const
{
    // A position between CR and LF is where the screen shows it: before
    // the break, as the editor's own edits take it.
    const QString &t = m_model->scriptText();
    if (modelPos > 0 && modelPos < t.size() && t[modelPos - 1] == u'\r' && t[modelPos] == u'\n')
        return modelPos - 1;
    return modelPos;
}

void TextBox::replaceSelectionByUser(const QString &text)
{
    const qsizetype from = outsidePair(std::min(m_selAnchor, m_selCaret));
    const qsizetype to = outsidePair(std::max(m_selAnchor, m_selCaret));
    m_history.closeStep();
    applyUserEdit(from, to, text, true);
    m_history.closeStep();
    m_selAnchor = m_selCaret = outsidePair(from + text.size());
    bringCaretIntoWindow();
    showBoxSelection(true);
    pushBoxSelection();
}

bool TextBox::windowKey(QKeyEvent *e)
{
    if (!isWindowed())
        return false;
    switch (e->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return false;
    default:
        break;
    }
    if (!e->matches(QKeySequence::Copy)) {
        // A key acts where the caret is, however far the view has gone.
        if (m_selCaret < m_winStart || m_selCaret > m_winEnd) {
            bringCaretIntoWindow();
            showBoxSelection(true);
        }
    }
    const qsizetype size = m_shownModelLength;
    const auto select = [&](qsizetype anchor, qsizetype caret) {
        m_selAnchor = anchor;
        m_selCaret = caret;
        bringCaretIntoWindow();
        showBoxSelection(true);
        pushBoxSelection();
        e->accept();
        return true;
    };
    if (e->matches(QKeySequence::SelectAll))
        return select(0, size);
    if (e->matches(QKeySequence::MoveToStartOfDocument))
        return select(0, 0);
    if (e->matches(QKeySequence::MoveToEndOfDocument))
        return select(size, size);
    if (e->matches(QKeySequence::SelectStartOfDocument))
        return select(m_selAnchor, 0);
    if (e->matches(QKeySequence::SelectEndOfDocument))
        return select(m_selAnchor, size);
    const qsizetype from = std::min(m_selAnchor, m_selCaret);
    const qsizetype to = std::max(m_selAnchor, m_selCaret);
    if (from == to || (from >= m_winStart && to <= m_winEnd) || !acceptsUserEdits())
        return false;
    // The selection reaches beyond the window: the editor would only change
    // the part it holds.
    e->accept();
    if (e->matches(QKeySequence::Cut)) {
        QGuiApplication::clipboard()->setText(m_model->scriptText().mid(from, to - from));
        replaceSelectionByUser(QString());
        return true;
    }
    if (e->matches(QKeySequence::Delete) || e->matches(QKeySequence::DeleteStartOfWord)
        || e->matches(QKeySequence::DeleteEndOfWord) || e->key() == Qt::Key_Backspace
        || e->key() == Qt::Key_Delete) {
        replaceSelectionByUser(QString());
        return true;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        replaceSelectionByUser(QStringLiteral("\r\n"));
        return true;
    }
    if (e->key() == Qt::Key_Tab && !m_plain->tabChangesFocus()
        && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        replaceSelectionByUser(QStringLiteral("\t"));
        return true;
    }
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (mods == Qt::NoModifier && !e->text().isEmpty() && e->text()[0].isPrint()) {
        replaceSelectionByUser(e->text());
        return true;
    }
    e->ignore();
    return false;
}

void TextBox::trimWindow()
{
    // An append at the end of a window that has grown past its size: the
    // window keeps to the end when the view is in its later half, else to
    // where it is (what is appended then only grows the scroll bar).
    const qsizetype lines = windowLines();
    if (lines <= m_maxShownLines + m_maxShownLines / 4
        && (m_winEnd - m_winStart <= m_maxShownChars + m_maxShownChars / 4 || lines <= minShownLines()))
        return;
    QScrollBar *v = m_plain->verticalScrollBar();
    const qsizetype top = v->value();
    const bool keepEnd = top + viewRows() / 2 > lines / 2;
    const qsizetype kept = keepEnd ? fittingLines(m_winLine + lines, false) : fittingLines(m_winLine, true);
    if (kept >= lines)
        return;
    m_winSize = kept;
    ++m_moving;
    ++m_quiet;
    QTextDocument *doc = m_plain->document();
    if (keepEnd) {
        const qsizetype cut = lines - kept;
        const qsizetype newStart = m_lines.lineStart(m_winLine + cut);
        QTextCursor c(doc);
        c.setPosition(0);
        c.setPosition(int(m_lines.shownPosition(newStart) - m_winShownStart), QTextCursor::KeepAnchor);
        c.removeSelectedText();
        m_winLine += cut;
        m_winStart = newStart;
        m_winShownStart = m_lines.shownPosition(m_winStart);
        m_shownLength = m_lines.shownPosition(m_winEnd) - m_winShownStart;
        v->setValue(int(std::max<qsizetype>(0, top - cut)));
    } else {
        setWindowBounds(m_winLine, m_winLine + kept);
        QTextCursor c(doc);
        c.setPosition(int(m_shownLength));
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        v->setValue(int(top));
    }
    showBoxSelection(false);
    --m_quiet;
    --m_moving;
}

void TextBox::applyUserEdit(qsizetype start, qsizetype end, const QString &inserted, bool record)
{
    if (start >= m_winStart && end <= m_winEnd) {
        applyMultiLineEdit(start, end, inserted, toShown(start), toShown(end), 0, record);
        // An edit may take the text across the window's size either way.
        if (isWindowed() || m_winStart != 0 || m_winEnd != m_shownModelLength) {
            m_selCaret = m_selAnchor = outsidePair(start + inserted.size());
            followView();
        }
        return;
    }
    const bool changed = commitUserEdit(start, end - start, inserted, record);
    const qsizetype caret = outsidePair(start + inserted.size());
    m_selAnchor = m_selCaret = caret;
    const qsizetype line = m_lines.lineOf(caret);
    refillWindow(line, line - viewRows() / 3);
    if (changed)
        emit userEdited();
}

// ---- script editors ------------------------------------------------------------

void TextBox::setLineNumbersShown(bool on)
{
    if (m_plain)
        static_cast<PlainEdit *>(m_plain)->setGutterShown(on);
}

qsizetype TextBox::modelLineOf(qsizetype modelPos) const
{
    const_cast<TextBox *>(this)->flushDisplay();
    if (!m_plain)
        return 1 + QStringView(m_model->scriptText()).left(modelPos).count(u"\r\n");
    modelPos = std::clamp<qsizetype>(modelPos, 0, m_shownModelLength);
    return 1 + m_lines.pairsBefore(m_lines.countBefore(modelPos));
}

qsizetype TextBox::modelLineCount() const
{
    const_cast<TextBox *>(this)->flushDisplay();
    return m_plain ? 1 + m_lines.pairCount()
                   : 1 + QStringView(m_model->scriptText()).count(u"\r\n");
}

qsizetype TextBox::modelLineStart(qsizetype line) const
{
    if (line < 1)
        return -1;
    const QStringView t(m_model->scriptText());
    qsizetype at = 0;
    for (qsizetype n = 1; n < line; ++n) {
        const qsizetype crlf = t.indexOf(u"\r\n", at);
        if (crlf < 0)
            return -1;
        at = crlf + 2;
    }
    return at;
}

qsizetype TextBox::lineOfShownBlock(int block, bool *continued) const
{
    if (continued)
        *continued = false;
    if (m_mode != Mode::MultiLine || m_winLine + block <= 0)
        return 1;
    const qsizetype b = std::min<qsizetype>(m_winLine + block, m_lines.count());
    if (continued)
        *continued = !m_lines.isPair(b - 1);
    return 1 + m_lines.pairsBefore(b);
}

void TextBox::setMarkedRange(qsizetype start, qsizetype length)
{
    flushDisplay();
    const qsizetype size = m_model->scriptText().size();
    m_markStart = std::clamp<qsizetype>(start, 0, size);
    m_markLength = std::clamp<qsizetype>(length, 0, size - m_markStart);
    m_markLine = modelLineOf(m_markStart);
    updateExtraSelections();
    if (m_plain)
        m_plain->viewport()->update();
    if (m_plain)
        static_cast<PlainEdit *>(m_plain)->placeGutter();
}

void TextBox::clearMark()
{
    m_markStart = -1;
    m_markLength = 0;
    m_markLine = -1;
    if (m_plain) {
        m_extraTimer->start();
        static_cast<PlainEdit *>(m_plain)->placeGutter();
    }
}

void TextBox::ensureModelRangeVisible(qsizetype start, qsizetype length)
{
    flushDisplay();
    if (!m_plain)
        return;
    if (isWindowed() && (start < m_winStart || start > m_winEnd)) {
        const qsizetype line = m_lines.lineOf(start);
        refillWindow(line, line - viewRows() / 3, true);
    }
    const int from = toShown(start);
    const int to = toShown(start + length);
    QTextDocument *doc = m_plain->document();
    const int firstBlock = doc->findBlock(from).blockNumber();
    const int lastBlock = doc->findBlock(to).blockNumber();
    QScrollBar *v = m_plain->verticalScrollBar();
    const int rows = std::max(1, m_plain->viewport()->height() / std::max(1, m_plain->fontMetrics().lineSpacing()));
    if (firstBlock < v->value() || lastBlock >= v->value() + rows)
        v->setValue(std::max(0, firstBlock - rows / 3));
    // Columns: the start of the range in view.
    QTextCursor c(doc);
    c.setPosition(from);
    const QRect r = m_plain->cursorRect(c);
    QScrollBar *h = m_plain->horizontalScrollBar();
    if (r.left() < 0 || r.left() > m_plain->viewport()->width() - 20)
        h->setValue(std::max(0, h->value() + r.left() - m_plain->viewport()->width() / 4));
}

void TextBox::setSearchHighlight(const QString &pattern, bool matchCase, bool wholeWord)
{
    m_searchPattern = pattern;
    m_searchCase = matchCase;
    m_searchWord = wholeWord;
    m_extraTimer->start();
}

void TextBox::updateExtraSelections()
{
    if (!m_plain)
        return;
    QList<QTextEdit::ExtraSelection> extras;
    QTextDocument *doc = m_plain->document();
    if (m_markLine >= 0 && m_markStart >= m_winStart && m_markStart <= m_winEnd) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(doc);
        mark.cursor.setPosition(toShown(m_markStart));
        mark.cursor.setPosition(toShown(m_markStart + m_markLength), QTextCursor::KeepAnchor);
        mark.format.setBackground(QColor(0xfb, 0xd8, 0xd8));
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        extras << mark;
        if (m_markLength > 0) {
            // The statement itself, a little stronger than its line.
            QTextEdit::ExtraSelection statement = mark;
            statement.format = QTextCharFormat();
            statement.format.setBackground(QColor(0xf4, 0xb0, 0xb0));
            extras << statement;
        }
    }
    if (!m_searchPattern.isEmpty()) {
        const auto [dFrom, dTo] = static_cast<PlainEdit *>(m_plain)->visibleRange();
        const QStringView t = QStringView(m_model->scriptText()).first(m_shownModelLength);
        const qsizetype from = std::max<qsizetype>(0, toModel(dFrom) - m_searchPattern.size());
        const qsizetype to = std::min<qsizetype>(t.size(), toModel(dTo) + m_searchPattern.size());
        const QStringView part = t.mid(from, to - from);
        const SearchOptions options{m_searchCase, m_searchWord};
        QTextCharFormat match;
        match.setBackground(QColor(0xff, 0xe8, 0x70));
        int shown = 0;
        for (qsizetype at = findInText(part, m_searchPattern, 0, false, options); at >= 0 && shown < 2000;
             at = findInText(part, m_searchPattern, at + m_searchPattern.size(), false, options), ++shown) {
            // Whole-word tests at the edges of the part look at the text around it.
            const qsizetype m = from + at;
            if (m_searchWord && findInText(t.mid(std::max<qsizetype>(0, m - 1), m_searchPattern.size() + 2),
                                           m_searchPattern, m > 0 ? 1 : 0, false, options) != (m > 0 ? 1 : 0))
                continue;
            QTextEdit::ExtraSelection sel;
            sel.cursor = QTextCursor(doc);
            sel.cursor.setPosition(toShown(m));
            sel.cursor.setPosition(toShown(m + m_searchPattern.size()), QTextCursor::KeepAnchor);
            sel.format = match;
            extras << sel;
        }
    }
    m_plain->setExtraSelections(extras);
}

void TextBox::replaceExactRange(qsizetype start, qsizetype length, const QString &text)
{
    if (!acceptsUserEdits())
        return;
    flushDisplay();
    const qsizetype size = m_model->scriptText().size();
    start = std::clamp<qsizetype>(start, 0, size);
    length = std::clamp<qsizetype>(length, 0, size - start);
    m_history.closeStep();
    if (m_plain) {
        applyUserEdit(start, start + length, text, true);
    } else {
        if (!commitUserEdit(start, length, text, true))
            return;
        ++m_quiet;
        m_line->setText(render(0, m_shownModelLength));
        --m_quiet;
        emit userEdited();
    }
    m_history.closeStep();
    m_model->setSelection(start, text.size());
    syncSelectionNow();
    emit selectionReadoutRequested();
}

void TextBox::setScriptHighlighting(bool on)
{
    if (!m_plain)
        return;
    m_highlightWanted = on;
    attachHighlighter(m_shownModelLength);
}

void TextBox::attachHighlighter(qsizetype textLength)
{
    // Scripts beyond this size are shown plain, as they always were.
    const bool on = m_highlightWanted && textLength <= kMostHighlighted;
    if (on == bool(m_highlighter))
        return;
    auto *edit = static_cast<PlainEdit *>(m_plain);
    if (on) {
        m_highlighter = std::make_unique<ScriptHighlighter>();
    } else {
        edit->uncolourAll();
        m_highlighter.reset();
    }
    edit->setColours(m_highlighter.get());
}

// ---- widget -> model ---------------------------------------------------------

void TextBox::pushWidgetSelection()
{
    if (m_quiet)
        return;
    if (m_plain) {
        const auto [anchor, caret] = cursorInModel();
        m_selAnchor = anchor;
        m_selCaret = caret;
        const QTextCursor c = m_plain->textCursor();
        m_docAnchor = c.anchor();
        m_docCaret = c.position();
    }
    const auto [from, length] = shownSelectionInModel();
    ++m_quiet;
    m_model->setSelection(from, length);
    // The screen already shows this selection; nothing is pending.
    m_model->takeSelectionDirty();
    --m_quiet;
    emit selectionReadoutRequested();
}

bool TextBox::commitUserEdit(qsizetype start, qsizetype removedLen, const QString &inserted,
                             bool record)
{
    if (removedLen == 0 && inserted.isEmpty())
        return false;
    TextEdit edit{start, m_model->scriptText().mid(start, removedLen), inserted};
    m_ownModelChange = true;
    m_model->replaceRange(start, removedLen, inserted);
    m_ownModelChange = false;
    noteShownChange(start, start + removedLen, start + inserted.size());
    if (record)
        m_history.record(std::move(edit));
    return true;
}

QString TextBox::shownSlice(int from, int to) const
{
    if (to <= from)
        return {};
    qsizetype mFrom = toModel(from);
    if (toShown(mFrom) > from) // inside a lone LF's two characters
        --mFrom;
    const qsizetype mTo = toModel(to);
    return render(mFrom, mTo).mid(from - toShown(mFrom), to - from);
}

void TextBox::applyMultiLineEdit(qsizetype start, qsizetype end, const QString &inserted,
                                 int displayFrom, int displayTo, int displayDelta, bool record)
{
    // The screen region to redo: one model character more on each side, so
    // that pairs joined or split by the edit and a lone LF's screen break
    // are shown anew; never starting or ending inside a CR LF pair.
    const QString &t = m_model->scriptText();
    qsizetype from = std::max<qsizetype>(start - 1, m_winStart);
    if (from > m_winStart && t[from - 1] == u'\r' && t[from] == u'\n')
        --from;
    const qsizetype shownEnd = m_winEnd;
    qsizetype to = std::min<qsizetype>(end + 1, shownEnd);
    if (to > 0 && to < shownEnd && t[to - 1] == u'\r' && t[to] == u'\n')
        ++to;
    int shownFrom = toShown(from);
    int shownTo = toShown(to);
    if (shownFrom > displayFrom || shownTo < displayTo) { // cannot happen; stay safe
        from = m_winStart;
        to = shownEnd;
        shownFrom = 0;
        shownTo = int(m_shownLength);
    }
    const bool changed = commitUserEdit(start, end - start, inserted, record);
    const qsizetype newTo = to + inserted.size() - (end - start);
    if (replaceDisplay(shownFrom, shownTo + displayDelta, render(from, newTo)))
        showModelSelection();
    if (m_shownLength != m_plain->document()->characterCount() - 1) {
        // Should never happen; if the editor surprised us, the model wins.
        showWholeModelNow();
    }
    if (changed)
        emit userEdited();
}

void TextBox::onDocumentChange(int pos, int removed, int added)
{
    if (m_quiet)
        return;
    if (m_replacePending) {
        // The editor still showed a text the model no longer holds (an edit
        // through one of its slots, not through input the box saw first).
        showWholeModelNow();
        return;
    }
    QTextDocument *doc = m_plain->document();
    const int oldLen = int(m_shownLength);
    const int newLen = doc->characterCount() - 1;
    // The document counts its closing block break in some reports; keep to
    // the characters that really exist.
    int rem = std::min(removed, oldLen - pos);
    int add = rem + (newLen - oldLen);
    if (pos < 0 || rem < 0 || add < 0 || add > added || pos + add > newLen) {
        pos = 0;
        rem = oldLen;
        add = newLen;
    }
    const QString oldShown = shownSlice(pos, pos + rem);
    const QString newShown = documentText(doc, pos, pos + add);
    const int caret = m_plain->textCursor().position() - pos;
    const auto [prefix, suffix] = unchangedEnds(oldShown, newShown, caret);
    const int dFrom = pos + int(prefix);
    const int dOldTo = pos + rem - int(suffix);
    const int dNewTo = pos + add - int(suffix);
    const QString shownInput = newShown.mid(prefix, dNewTo - dFrom);
    const qsizetype selFrom = std::min(m_selAnchor, m_selCaret);
    const qsizetype selTo = std::max(m_selAnchor, m_selCaret);
    if (acceptsUserEdits() && isWindowed() && (selFrom < m_winStart || selTo > m_winEnd)
        && pos == toShown(selFrom) && pos + rem == toShown(selTo)) {
        // One of the editor's own slots (the context menu's Cut or Delete,
        // the selection dragged elsewhere) replaced the part of a selection
        // that the window holds: the whole of it goes.
        replaceSelectionByUser(userInputToModel(newShown));
        return;
    }
    if (!acceptsUserEdits()) {
        // Qt's own slots (paste() called directly) do not all honour the
        // lock; the model does.
        replaceDisplay(dFrom, dNewTo, oldShown.mid(prefix, dOldTo - dFrom));
        return;
    }
    // The screen is then made to show what the model holds: typed or pasted
    // control characters become symbols, other line breaks become blocks,
    // a deletion that brought a CR next to an LF shows one line break.
    qsizetype mFrom = toModel(dFrom);
    const qsizetype mTo = toModel(dOldTo);
    // Backspace at the start of the line after a lone LF, or Delete at the
    // end of the line before it, removes only the screen break; the user
    // means to join the lines, so the LF goes.
    const QString &t = m_model->scriptText();
    if (shownInput.isEmpty() && dOldTo - dFrom == 1 && mFrom == mTo && mFrom > m_winStart
        && t[mFrom - 1] == u'\n' && !(mFrom > 1 && t[mFrom - 2] == u'\r'))
        --mFrom;
    applyMultiLineEdit(mFrom, mTo, userInputToModel(shownInput), dFrom, dOldTo,
                       shownInput.size() - (dOldTo - dFrom), true);
    pushWidgetSelection();
}

void TextBox::onLineEdited()
{
    if (m_quiet)
        return;
    if (m_replacePending) {
        showWholeModelNow();
        return;
    }
    const QString newShown = m_line->text();
    const QString oldShown = render(0, m_shownModelLength);
    if (!acceptsUserEdits()) {
        // QLineEdit::paste() ignores the read-only flag; the model does not.
        ++m_quiet;
        m_line->setText(oldShown);
        --m_quiet;
        return;
    }
    const auto [prefix, suffix] = unchangedEnds(oldShown, newShown, m_line->cursorPosition());
    const qsizetype removedLen = oldShown.size() - prefix - suffix;
    // A single-line editor makes no line breaks of its own: what reached it
    // came from a paste or a drop and is taken exactly as it was.
    const QString input = newShown.mid(prefix, newShown.size() - prefix - suffix);
    commitUserEdit(prefix, removedLen, input, true);

    const QString expected = render(0, m_shownModelLength);
    if (expected != newShown) {
        ++m_quiet;
        m_line->setText(expected);
        m_line->setCursorPosition(int(prefix + input.size()));
        --m_quiet;
    }
    m_shownLength = expected.size();
    emit userEdited();
    pushWidgetSelection();
}

// ---- history -----------------------------------------------------------------



void TextBox::applyHistoryEdit(qsizetype start, qsizetype removedLen, const QString &inserted)
{
    if (m_plain) {
        applyUserEdit(start, start + removedLen, inserted, false);
    } else {
        commitUserEdit(start, removedLen, inserted, false);
        ++m_quiet;
        m_line->setText(render(0, m_shownModelLength));
        --m_quiet;
        emit userEdited();
    }
    showModelSelection();
    emit selectionReadoutRequested();
}

void TextBox::undo()
{
    if (!acceptsUserEdits())
        return;
    flushDisplay();
    if (const std::optional<TextEdit> e = m_history.takeUndo())
        applyHistoryEdit(e->start, e->inserted.size(), e->removed);
}

void TextBox::redo()
{
    if (!acceptsUserEdits())
        return;
    flushDisplay();
    if (const std::optional<TextEdit> e = m_history.takeRedo())
        applyHistoryEdit(e->start, e->removed.size(), e->inserted);
}

} // namespace varnok
