// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputview.h"

#include "widgets/textdisplay.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace varnok {

namespace {

constexpr int kMargin = 3;          // blank pixels left of the text
constexpr int kMaxSliceChars = 8192; // layout work per line and paint stays bounded

int clampToInt(qsizetype v)
{
    return int(std::clamp<qsizetype>(v, 0, std::numeric_limits<int>::max()));
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

OutputView::OutputView(std::shared_ptr<TextModel> model, QWidget *parent)
    : QAbstractScrollArea(parent), m_model(std::move(model))
{
    Q_ASSERT(m_model);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setAttribute(Qt::WA_InputMethodEnabled, false);

    m_appendTimer = new QTimer(this);
    m_appendTimer->setSingleShot(true);
    m_appendTimer->setInterval(16);
    connect(m_appendTimer, &QTimer::timeout, this, &OutputView::showAppendedNow);

    TextModel *m = m_model.get();
    connect(m, &TextModel::textReset, this, [this] {
        onReset();
        emit selectionReadoutRequested();
    });
    connect(m, &TextModel::textEdited, this, [this] {
        onReset();
        emit selectionReadoutRequested();
    });
    connect(m, &TextModel::textAppended, this, &OutputView::onAppended);
    connect(m, &TextModel::selectionPending, this, &OutputView::onSelectionPending);
    onReset();
}

OutputView::~OutputView() = default;

// ---- line index ---------------------------------------------------------------

bool OutputView::endsWithCrLf(qsizetype line) const
{
    return line < m_lines.count() && m_lines.isPair(line);
}

qsizetype OutputView::lineLength(qsizetype line) const
{
    const qsizetype start = lineStart(line);
    if (line >= m_lines.count())
        return m_model->size() - start;
    const qsizetype lf = m_lines.lfPosition(line);
    return (m_lines.isPair(line) ? lf - 1 : lf + 1) - start;
}

qsizetype OutputView::caretLength(qsizetype line) const
{
    const qsizetype start = lineStart(line);
    if (line >= m_lines.count())
        return m_model->size() - start;
    const qsizetype lf = m_lines.lfPosition(line);
    return (m_lines.isPair(line) ? lf - 1 : lf) - start;
}

qsizetype OutputView::lineOf(qsizetype position) const
{
    return m_lines.lineOf(std::max<qsizetype>(position, 0));
}

void OutputView::indexFrom(qsizetype from)
{
    // Read where it stands, not decoded: the screen shows only a little.
    const qsizetype before = m_lines.count();
    bool crBefore = from > 0 && m_model->at(from - 1) == u'\r';
    qsizetype at = from;
    m_model->readRange(from, m_model->size() - from, [&](auto run) {
        m_lines.append(run, at, crBefore);
        at += run.size();
        crBefore = run[run.size() - 1] == u'\r';
    });
    // The new lines in order, as lineLength() measures them, without a
    // search per line: a body of bare LFs brings millions.
    LineEndMap::Reader lfs(m_lines, before);
    qsizetype start = lineStart(before);
    qsizetype lf = 0;
    bool pair = false;
    while (lfs.next(lf, pair)) {
        m_longestLine = std::max(m_longestLine, (pair ? lf - 1 : lf + 1) - start);
        start = lf + 1;
    }
}

qsizetype OutputView::longestLineLength() const
{
    // The open last line may still lose a CR to a CR LF; it is measured now.
    return std::max(m_longestLine, lineLength(lineCount() - 1));
}

void OutputView::onReset()
{
    m_appendTimer->stop();
    m_firstChangedLine = -1;
    m_lines.clear();
    m_longestLine = 0;
    indexFrom(0);
    m_model->takeSelectionDirty();
    m_anchor = m_model->selectionStart();
    m_caret = m_anchor + m_model->selectionLength();
    m_selecting = false;
    updateScrollBars();
    if (m_model->size() == 0) {
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    viewport()->update();
}

void OutputView::onAppended(qsizetype from)
{
    // A CR ending the old text and an LF starting the new part make one
    // line break; the line's look is worked out when it is drawn.
    const qsizetype firstChanged = lineCount() - 1;
    indexFrom(from);
    if (m_firstChangedLine < 0)
        m_firstChangedLine = firstChanged;
    // The scroll bars and the screen follow once per frame, not once per
    // arriving piece: repainting them is what would take the time.
    if (!m_appendTimer->isActive())
        m_appendTimer->start();
}

void OutputView::showAppendedNow()
{
    if (m_firstChangedLine < 0)
        return;
    const qsizetype firstChanged = m_firstChangedLine;
    m_firstChangedLine = -1;
    updateScrollBars();
    // Text arriving below the visible lines changes nothing on screen but the
    // scroll bars.
    if (firstChanged <= firstVisibleLine() + visibleLines())
        viewport()->update();
    emit selectionReadoutRequested();
}

void OutputView::onSelectionPending()
{
    if (m_quiet)
        return;
    m_model->takeSelectionDirty();
    m_anchor = m_model->selectionStart();
    m_caret = m_anchor + m_model->selectionLength();
    viewport()->update();
}

// ---- geometry -----------------------------------------------------------------

int OutputView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int OutputView::visibleLines() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

int OutputView::visibleColumns() const
{
    return std::max(1, (viewport()->width() - kMargin) / std::max(1, fontMetrics().averageCharWidth()));
}

int OutputView::sliceLimit() const
{
    // Generous: a slice must reach past the right edge even for narrow
    // characters.
    const int narrow = std::max(1, fontMetrics().averageCharWidth() / 3);
    return std::min(kMaxSliceChars, viewport()->width() / narrow + 8);
}

qsizetype OutputView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

qsizetype OutputView::firstVisibleColumn() const
{
    return horizontalScrollBar()->value();
}

void OutputView::updateScrollBars()
{
    const int lines = visibleLines();
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, clampToInt(lineCount() - lines));
    v->setPageStep(lines);
    v->setSingleStep(1);
    const int cols = visibleColumns();
    QScrollBar *h = horizontalScrollBar();
    h->setRange(0, clampToInt(longestLineLength() - cols + 1));
    h->setPageStep(cols);
    h->setSingleStep(1);
}

QString OutputView::shownSlice(qsizetype line, qsizetype fromColumn, qsizetype maxChars) const
{
    const qsizetype length = lineLength(line);
    if (fromColumn >= length)
        return {};
    const qsizetype n = std::min(maxChars, length - fromColumn);
    QString out = m_model->slice(lineStart(line) + fromColumn, n);
    for (QChar &c : out)
        c = textdisplay::visibleChar(c);
    return out;
}

QString OutputView::shownLine(qsizetype line) const
{
    return shownSlice(line, 0, lineLength(line));
}

void OutputView::layoutSlice(QTextLayout &layout, const QString &slice) const
{
    layout.setText(slice);
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine l = layout.createLine();
    if (l.isValid())
        l.setPosition(QPointF(0, 0));
    layout.endLayout();
}

qsizetype OutputView::positionAt(const QPoint &p) const
{
    const qsizetype top = firstVisibleLine();
    qsizetype line = top + (p.y() < 0 ? -1 - (-p.y()) / lineHeight() : p.y() / lineHeight());
    line = std::clamp<qsizetype>(line, 0, lineCount() - 1);
    const qsizetype left = firstVisibleColumn();
    const qsizetype length = caretLength(line);
    if (left >= length)
        return lineStart(line) + length;
    QTextLayout layout;
    layoutSlice(layout, shownSlice(line, left, sliceLimit()));
    const QTextLine l = layout.lineAt(0);
    qsizetype column = left + (l.isValid() ? l.xToCursor(p.x() - kMargin) : 0);
    if (p.x() < kMargin && left > 0)
        column = left - 1; // dragging past the left edge reaches further left
    return lineStart(line) + std::clamp<qsizetype>(column, 0, length);
}

QPoint OutputView::pointOf(qsizetype position) const
{
    position = std::clamp<qsizetype>(position, 0, m_model->size());
    const qsizetype line = lineOf(position);
    const qsizetype column = std::min(position - lineStart(line), caretLength(line));
    const qsizetype left = firstVisibleColumn();
    const int y = int((line - firstVisibleLine()) * lineHeight());
    if (column < left)
        return QPoint(kMargin - 1 - int(std::min<qsizetype>(left - column, 100000)), y);
    const qsizetype rel = column - left;
    if (rel > kMaxSliceChars)
        return QPoint(std::numeric_limits<int>::max() / 2, y);
    QTextLayout layout;
    layoutSlice(layout, shownSlice(line, left, rel));
    const QTextLine l = layout.lineAt(0);
    return QPoint(kMargin + (l.isValid() ? int(l.cursorToX(int(rel))) : 0), y);
}

void OutputView::ensureVisible(qsizetype position)
{
    showAppendedNow(); // the scroll bars must know every line
    position = std::clamp<qsizetype>(position, 0, m_model->size());
    const qsizetype line = lineOf(position);
    QScrollBar *v = verticalScrollBar();
    const int lines = visibleLines();
    if (line < v->value())
        v->setValue(clampToInt(line));
    else if (line >= v->value() + lines)
        v->setValue(clampToInt(line - lines + 1));

    const qsizetype column = std::min(position - lineStart(line), caretLength(line));
    QScrollBar *h = horizontalScrollBar();
    const int cols = visibleColumns();
    if (column < h->value()) {
        h->setValue(clampToInt(column - cols / 4));
    } else {
        const QPoint at = pointOf(position);
        if (at.x() >= viewport()->width() - 2) {
            // Put the position at three quarters of the width, measured on
            // the characters before it (symbols may be wider than letters).
            const qsizetype before = std::min<qsizetype>(column, sliceLimit());
            QTextLayout layout;
            layoutSlice(layout, shownSlice(line, column - before, before));
            const QTextLine l = layout.lineAt(0);
            qsizetype left = column - cols * 3 / 4;
            if (l.isValid()) {
                const qreal target = l.cursorToX(int(before)) - (viewport()->width() - kMargin) * 0.75;
                left = column - before + (target > 0 ? l.xToCursor(target) : 0);
            }
            left = std::max<qsizetype>(0, left);
            // Room for the last character may need a bar value past the
            // longest line's own end.
            if (left > h->maximum())
                h->setMaximum(clampToInt(left));
            h->setValue(clampToInt(left));
        }
    }
}

// ---- selection ----------------------------------------------------------------

void OutputView::setSelection(qsizetype anchor, qsizetype caret)
{
    const qsizetype size = m_model->size();
    m_anchor = std::clamp<qsizetype>(anchor, 0, size);
    m_caret = std::clamp<qsizetype>(caret, 0, size);
    pushSelectionToModel();
    viewport()->update();
}

void OutputView::pushSelectionToModel()
{
    ++m_quiet;
    m_model->setSelectionBetween(m_anchor, m_caret);
    m_model->takeSelectionDirty();
    --m_quiet;
}

void OutputView::moveCaret(qsizetype position, bool keepAnchor)
{
    // A position between the CR and the LF of a line break is not one the
    // user can stand on: it counts as the end of its line.
    position = std::clamp<qsizetype>(position, 0, m_model->size());
    const qsizetype line = lineOf(position);
    position = std::min(position, lineEnd(line));
    m_caret = position;
    if (!keepAnchor)
        m_anchor = position;
    pushSelectionToModel();
    ensureVisible(m_caret);
    viewport()->update();
}

QString OutputView::selectedText() const
{
    const qsizetype from = std::min(m_anchor, m_caret);
    return m_model->slice(from, std::max(m_anchor, m_caret) - from);
}

void OutputView::copy() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void OutputView::selectAll()
{
    m_anchor = 0;
    m_caret = m_model->size();
    pushSelectionToModel();
    viewport()->update();
}

// ---- painting -----------------------------------------------------------------

void OutputView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QPalette &pal = palette();
    const int lh = lineHeight();
    const qsizetype top = firstVisibleLine();
    const qsizetype left = firstVisibleColumn();
    const qsizetype selFrom = std::min(m_anchor, m_caret);
    const qsizetype selTo = std::max(m_anchor, m_caret);
    const int limit = sliceLimit();
    const int rows = viewport()->height() / lh + 1;
    const bool active = hasFocus();
    const QPalette::ColorGroup group = isEnabled() ? (active ? QPalette::Active : QPalette::Inactive)
                                                   : QPalette::Disabled;
    painter.setPen(pal.color(group, QPalette::Text));

    QTextLayout layout;
    for (int row = 0; row < rows; ++row) {
        const qsizetype line = top + row;
        if (line >= lineCount())
            break;
        const qsizetype start = lineStart(line);
        const qsizetype length = lineLength(line);
        const QString slice = shownSlice(line, left, limit);
        layoutSlice(layout, slice);
        const QTextLine tl = layout.lineAt(0);
        const qsizetype sliceFrom = start + std::min(left, length);
        const qsizetype sliceTo = sliceFrom + slice.size();

        QList<QTextLayout::FormatRange> selections;
        if (selFrom < sliceTo && selTo > sliceFrom) {
            QTextLayout::FormatRange r;
            r.start = int(std::max(selFrom, sliceFrom) - sliceFrom);
            r.length = int(std::min(selTo, sliceTo) - sliceFrom) - r.start;
            r.format.setBackground(pal.brush(group, QPalette::Highlight));
            r.format.setForeground(pal.brush(group, QPalette::HighlightedText));
            selections.append(r);
        }
        const QPointF origin(kMargin, qreal(row) * lh);
        layout.draw(&painter, origin, selections);

        // A selected CR LF shows as a small selected cell after the line (a
        // lone LF has its own symbol).
        const qsizetype end = start + length;
        if (endsWithCrLf(line) && selFrom <= end && selTo > end && left <= length && tl.isValid()) {
            const qreal x = kMargin + tl.naturalTextWidth();
            painter.fillRect(QRectF(x, qreal(row) * lh, fontMetrics().averageCharWidth(), lh),
                             pal.brush(group, QPalette::Highlight));
        }

        if (active && m_caret >= start && m_caret <= start + caretLength(line) && tl.isValid()) {
            const qsizetype column = m_caret - start;
            if (column >= left && column - left <= slice.size()) {
                const qreal x = kMargin + tl.cursorToX(int(column - left));
                painter.fillRect(QRectF(x, qreal(row) * lh, 1, lh), pal.brush(group, QPalette::Text));
            }
        }
    }
}

void OutputView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void OutputView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateScrollBars();
}

void OutputView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void OutputView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void OutputView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// ---- user input ---------------------------------------------------------------

void OutputView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const qsizetype pos = positionAt(event->position().toPoint());
    moveCaret(pos, event->modifiers() & Qt::ShiftModifier);
    m_selecting = true;
    emit selectionReadoutRequested();
}

void OutputView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    moveCaret(positionAt(event->position().toPoint()), true);
}

void OutputView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_selecting = false;
        if (!selectedText().isEmpty()) {
            QClipboard *cb = QGuiApplication::clipboard();
            if (cb->supportsSelection())
                cb->setText(selectedText(), QClipboard::Selection);
        }
    }
    emit selectionReadoutRequested();
}

void OutputView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qsizetype pos = positionAt(event->position().toPoint());
    const QString &t = m_model->scriptText();
    const qsizetype line = lineOf(pos);
    const qsizetype lineFrom = lineStart(line);
    const qsizetype lineTo = lineEnd(line);
    qsizetype from = pos;
    qsizetype to = pos;
    if (pos < lineTo && isWordChar(t[pos])) {
        while (from > lineFrom && isWordChar(t[from - 1]))
            --from;
        while (to < lineTo && isWordChar(t[to]))
            ++to;
    } else if (pos < lineTo) {
        to = pos + 1;
    }
    m_anchor = from;
    m_caret = to;
    pushSelectionToModel();
    m_selecting = false;
    viewport()->update();
    emit selectionReadoutRequested();
}

void OutputView::keyPressEvent(QKeyEvent *e)
{
    showAppendedNow();
    const qsizetype size = m_model->size();
    const qsizetype line = lineOf(m_caret);
    const qsizetype column = m_caret - lineStart(line);
    const auto onLine = [&](qsizetype target) {
        target = std::clamp<qsizetype>(target, 0, lineCount() - 1);
        return lineStart(target) + std::min(column, caretLength(target));
    };

    struct Move {
        QKeySequence::StandardKey move, select;
    };
    const auto matches = [e](const Move &m, bool &extend) {
        if (e->matches(m.move)) {
            extend = false;
            return true;
        }
        if (e->matches(m.select)) {
            extend = true;
            return true;
        }
        return false;
    };

    bool extend = false;
    if (matches({QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar}, extend)) {
        if (!extend && m_anchor != m_caret)
            moveCaret(std::max(m_anchor, m_caret), false);
        else
            moveCaret(m_caret == lineEnd(line) && line + 1 < lineCount() ? lineStart(line + 1)
                                                                         : m_caret + 1,
                      extend);
    } else if (matches({QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar}, extend)) {
        if (!extend && m_anchor != m_caret)
            moveCaret(std::min(m_anchor, m_caret), false);
        else
            moveCaret(m_caret == lineStart(line) && line > 0 ? lineEnd(line - 1) : m_caret - 1,
                      extend);
    } else if (matches({QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine}, extend)) {
        moveCaret(line + 1 < lineCount() ? onLine(line + 1) : size, extend);
    } else if (matches({QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine}, extend)) {
        moveCaret(line > 0 ? onLine(line - 1) : 0, extend);
    } else if (matches({QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine}, extend)
               || matches({QKeySequence::MoveToStartOfBlock, QKeySequence::SelectStartOfBlock}, extend)) {
        moveCaret(lineStart(line), extend);
    } else if (matches({QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine}, extend)
               || matches({QKeySequence::MoveToEndOfBlock, QKeySequence::SelectEndOfBlock}, extend)) {
        moveCaret(lineEnd(line), extend);
    } else if (matches({QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument}, extend)) {
        moveCaret(0, extend);
    } else if (matches({QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument}, extend)) {
        moveCaret(size, extend);
    } else if (matches({QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage}, extend)) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() + visibleLines());
        moveCaret(onLine(line + visibleLines()), extend);
    } else if (matches({QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage}, extend)) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() - visibleLines());
        moveCaret(onLine(line - visibleLines()), extend);
    } else if (e->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (e->matches(QKeySequence::Copy)) {
        copy();
    } else {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    e->accept();
}

void OutputView::keyReleaseEvent(QKeyEvent *event)
{
    QAbstractScrollArea::keyReleaseEvent(event);
    emit selectionReadoutRequested();
}

void OutputView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("Kopieren"), this, &OutputView::copy);
    copyAction->setEnabled(m_anchor != m_caret);
    menu.addSeparator();
    QAction *all = menu.addAction(QStringLiteral("Alles auswählen"), this, [this] {
        selectAll();
        emit selectionReadoutRequested();
    });
    all->setEnabled(m_model->size() > 0);
    menu.exec(event->globalPos());
}

} // namespace varnok
