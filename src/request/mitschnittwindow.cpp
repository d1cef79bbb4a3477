// SPDX-License-Identifier: GPL-3.0-or-later
#include "request/mitschnittwindow.h"

#include "common/conventions.h"
#include "common/fileaccess.h"
#include "request/requestsession.h"
#include "widgets/widgetdialogs.h"
#include "widgets/textdisplay.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace varnok {

namespace {

// Rows a scroll bar counts at most; beyond it a step covers several rows,
// so the bar's int range never overflows.
constexpr qint64 kMaxBarRows = 1 << 30;

const QString kSaveFailed = QStringLiteral("Fehler beim Speichern.");

} // namespace

// ---- ByteView -------------------------------------------------------------------

ByteView::ByteView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    m_source = {[] { return qint64(0); }, [](qint64, qint64) { return QByteArray(); }};
}

void ByteView::setSource(ByteSource source)
{
    m_source = std::move(source);
    m_textRows.assign(1, 0);
    m_indexedTo = 0;
    m_anchorRow = m_caretRow = -1;
    m_longestRow = 80;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    refresh();
}

void ByteView::setMode(Mode mode)
{
    if (mode == m_mode)
        return;
    const qint64 offset = rowOffset(firstVisibleRow());
    m_mode = mode;
    m_anchorRow = m_caretRow = -1;
    refresh();
    // Keep the same bytes on screen.
    if (m_mode == Mode::Hex) {
        scrollToRow(offset / kHexRowBytes);
    } else {
        const auto it = std::upper_bound(m_textRows.begin(), m_textRows.end(), offset);
        scrollToRow(qint64(it - m_textRows.begin()) - 1);
    }
}

void ByteView::refresh()
{
    if (m_mode == Mode::Text)
        extendTextIndex();
    updateScrollBars();
    viewport()->update();
}

void ByteView::extendTextIndex()
{
    // Only the new bytes are scanned; the last row may have grown.
    const qint64 size = m_source.size();
    constexpr qint64 kChunk = qint64(1) << 20;
    while (m_indexedTo < size) {
        const QByteArray chunk = m_source.read(m_indexedTo, std::min(kChunk, size - m_indexedTo));
        if (chunk.isEmpty())
            break;
        const char *data = chunk.constData();
        qint64 at = 0;
        while (at < chunk.size()) {
            const qint64 rowStart = m_textRows.back();
            const qint64 rowEnd = rowStart + kTextRowBytes; // absolute, exclusive
            const qint64 limit = std::min<qint64>(chunk.size(), rowEnd - m_indexedTo);
            const void *lf = std::memchr(data + at, '\n', std::size_t(limit - at));
            qint64 next;
            if (lf) {
                next = m_indexedTo + (static_cast<const char *>(lf) - data) + 1;
                at = next - m_indexedTo;
            } else if (m_indexedTo + limit == rowEnd) {
                next = rowEnd;
                at = limit;
            } else {
                at = limit;
                break;
            }
            m_longestRow = std::max<int>(m_longestRow, int(next - rowStart));
            m_textRows.push_back(next);
        }
        m_indexedTo += chunk.size();
    }
    if (m_textRows.size() == 1 || m_textRows.back() < size)
        m_longestRow = std::max<int>(m_longestRow, int(size - m_textRows.back()));
}

qint64 ByteView::rowCount() const
{
    const qint64 size = m_source.size();
    if (m_mode == Mode::Hex)
        return std::max<qint64>(1, (size + kHexRowBytes - 1) / kHexRowBytes);
    // The last start is a row of its own only if bytes follow it.
    const qint64 starts = qint64(m_textRows.size());
    return (starts > 1 && m_textRows.back() >= size) ? starts - 1 : starts;
}

qint64 ByteView::rowOffset(qint64 row) const
{
    if (m_mode == Mode::Hex)
        return row * kHexRowBytes;
    return m_textRows[std::size_t(std::clamp<qint64>(row, 0, qint64(m_textRows.size()) - 1))];
}

qint64 ByteView::rowLength(qint64 row) const
{
    const qint64 size = m_source.size();
    const qint64 start = std::min(rowOffset(row), size);
    if (m_mode == Mode::Hex)
        return std::min<qint64>(kHexRowBytes, size - start);
    const qint64 end = row + 1 < qint64(m_textRows.size()) ? m_textRows[std::size_t(row + 1)] : size;
    return std::max<qint64>(0, std::min(end, size) - start);
}

QString ByteView::hexRow(qint64 offset, const QByteArray &bytes)
{
    static const char digits[] = "0123456789abcdef";
    QString out;
    out.reserve(80);
    out += QStringLiteral("%1").arg(offset, 8, 16, QLatin1Char('0'));
    out += QLatin1Char(' ');
    for (int i = 0; i < kHexRowBytes; ++i) {
        if (i == 8)
            out += QLatin1Char(' ');
        out += QLatin1Char(' ');
        if (i < bytes.size()) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            out += QLatin1Char(digits[b >> 4]);
            out += QLatin1Char(digits[b & 15]);
        } else {
            out += QStringLiteral("  ");
        }
    }
    out += QStringLiteral("  |");
    for (const char c : bytes)
        out += (c >= 0x20 && c < 0x7f) ? QLatin1Char(c) : QLatin1Char('.');
    out += QLatin1Char('|');
    return out;
}

QString ByteView::textRow(const QByteArray &bytes) const
{
    // One character per byte, as the Mitschnitt's variables read, each
    // shown by the program's one display rule (LF too: the row ends after it).
    QString text = decodeCp1252(bytes);
    for (QChar &c : text)
        c = textdisplay::visibleChar(c);
    return text;
}

QString ByteView::rowText(qint64 row) const
{
    const QByteArray bytes = m_source.read(rowOffset(row), rowLength(row));
    return m_mode == Mode::Hex ? hexRow(rowOffset(row), bytes) : textRow(bytes);
}

int ByteView::rowHeight() const { return std::max(1, fontMetrics().height()); }
int ByteView::charWidth() const { return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0'))); }

qint64 ByteView::firstVisibleRow() const
{
    const qint64 rows = rowCount();
    const qint64 step = std::max<qint64>(1, (rows + kMaxBarRows - 1) / kMaxBarRows);
    return std::min<qint64>(rows - 1, qint64(verticalScrollBar()->value()) * step);
}

void ByteView::scrollToRow(qint64 row)
{
    const qint64 rows = rowCount();
    const qint64 step = std::max<qint64>(1, (rows + kMaxBarRows - 1) / kMaxBarRows);
    verticalScrollBar()->setValue(int(std::clamp<qint64>(row, 0, rows - 1) / step));
    viewport()->update();
}

void ByteView::updateScrollBars()
{
    const qint64 rows = rowCount();
    const qint64 step = std::max<qint64>(1, (rows + kMaxBarRows - 1) / kMaxBarRows);
    const int page = std::max(1, viewport()->height() / rowHeight());
    verticalScrollBar()->setRange(0, int(std::max<qint64>(0, rows - page) / step + (rows > page && (rows - page) % step ? 1 : 0)));
    verticalScrollBar()->setPageStep(std::max(1, int(page / step)));
    const int columns = m_mode == Mode::Hex ? 79 : m_longestRow + 1;
    const int visibleColumns = std::max(1, viewport()->width() / charWidth());
    horizontalScrollBar()->setRange(0, std::max(0, columns - visibleColumns));
    horizontalScrollBar()->setPageStep(visibleColumns);
}

void ByteView::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    p.setFont(font());
    const int h = rowHeight();
    const int cw = charWidth();
    const qint64 first = firstVisibleRow();
    const qint64 rows = rowCount();
    const int firstColumn = horizontalScrollBar()->value();
    const int visibleColumns = viewport()->width() / cw + 2;
    const qint64 selFirst = selectionFirstRow();
    const qint64 selLast = selectionLastRow();
    m_lastPaintRead = 0;
    if (m_source.size() == 0)
        return;
    // Only the rows on screen, read from the source by their offsets.
    for (qint64 row = first, y = 0; row < rows && y < viewport()->height(); ++row, y += h) {
        const qint64 length = rowLength(row);
        m_lastPaintRead += length;
        if (row >= selFirst && row <= selLast && selFirst >= 0) {
            p.fillRect(QRect(0, int(y), viewport()->width(), h), palette().highlight());
            p.setPen(palette().highlightedText().color());
        } else {
            p.setPen(palette().text().color());
        }
        const QString text = rowText(row);
        p.drawText(QPoint(0, int(y) + fontMetrics().ascent()), text.mid(firstColumn, visibleColumns));
    }
}

void ByteView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

bool ByteView::viewportEvent(QEvent *event)
{
    // The page is the viewport's height, which is laid out after the view's.
    if (event->type() == QEvent::Resize)
        updateScrollBars();
    return QAbstractScrollArea::viewportEvent(event);
}

qint64 ByteView::rowAt(int y) const
{
    return std::clamp<qint64>(firstVisibleRow() + std::max(0, y) / rowHeight(), 0, rowCount() - 1);
}

qint64 ByteView::selectionFirstRow() const { return m_anchorRow < 0 ? -1 : std::min(m_anchorRow, m_caretRow); }
qint64 ByteView::selectionLastRow() const { return m_anchorRow < 0 ? -1 : std::max(m_anchorRow, m_caretRow); }

void ByteView::selectRows(qint64 first, qint64 last)
{
    const qint64 rows = rowCount();
    m_anchorRow = std::clamp<qint64>(first, 0, rows - 1);
    m_caretRow = std::clamp<qint64>(last, 0, rows - 1);
    viewport()->update();
}

void ByteView::selectAll() { selectRows(0, rowCount() - 1); }

QByteArray ByteView::selectedBytes() const
{
    if (m_anchorRow < 0)
        return {};
    const qint64 from = rowOffset(selectionFirstRow());
    const qint64 to = rowOffset(selectionLastRow()) + rowLength(selectionLastRow());
    return m_source.read(from, to - from);
}

void ByteView::copy() const
{
    const QByteArray bytes = selectedBytes();
    if (bytes.isEmpty())
        return;
    // As text one character per byte (what the script variables read), and
    // the bytes themselves for programs that take them.
    auto mime = std::make_unique<QMimeData>();
    mime->setText(decodeCp1252(bytes));
    mime->setData(QStringLiteral("application/octet-stream"), bytes);
    QApplication::clipboard()->setMimeData(mime.release());
}

void ByteView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qint64 row = rowAt(event->position().toPoint().y());
    if (event->modifiers() & Qt::ShiftModifier && m_anchorRow >= 0)
        m_caretRow = row;
    else
        m_anchorRow = m_caretRow = row;
    viewport()->update();
}

void ByteView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_anchorRow < 0)
        return;
    const int y = event->position().toPoint().y();
    if (y < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (y >= viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m_caretRow = rowAt(y);
    viewport()->update();
}

void ByteView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    if (event->key() == Qt::Key_Home && event->modifiers() & Qt::ControlModifier) {
        scrollToRow(0);
        return;
    }
    if (event->key() == Qt::Key_End && event->modifiers() & Qt::ControlModifier) {
        scrollToRow(rowCount() - 1);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ByteView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("Kopieren"), this, &ByteView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(m_anchorRow >= 0);
    QAction *all = menu.addAction(QStringLiteral("Alles markieren"), this, &ByteView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

// ---- MitschnittWindow --------------------------------------------------------

MitschnittWindow::MitschnittWindow(Dialogs &dialogs, int index, QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), m_index(index)
{
    setWindowTitle(QStringLiteral("Mitschnitt - Seite ") + QString::number(index));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *layout = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    m_summary = new QLabel(this);
    bar->addWidget(m_summary, 1);
    bar->addWidget(new QLabel(QStringLiteral("Darstellung:"), this));
    m_mode = new QComboBox(this);
    m_mode->addItems({QStringLiteral("Text"), QStringLiteral("Hex")});
    m_mode->setCurrentIndex(1);
    bar->addWidget(m_mode);
    auto *copyButton = new QToolButton(this);
    copyButton->setText(QStringLiteral("Kopieren"));
    bar->addWidget(copyButton);
    auto *saveButton = new QToolButton(this);
    saveButton->setText(QStringLiteral("Speichern…"));
    saveButton->setPopupMode(QToolButton::InstantPopup);
    auto *saveMenu = new QMenu(saveButton);
    saveMenu->addAction(QStringLiteral("Empfangene Bytes…"), this, [this] { save(SaveWhat::Empfangen); });
    saveMenu->addAction(QStringLiteral("Dekodierten Inhalt…"), this, [this] { save(SaveWhat::Dekodiert); });
    saveMenu->addAction(QStringLiteral("Ganzen Mitschnitt als Text…"), this, [this] { save(SaveWhat::Mitschnitt); });
    saveButton->setMenu(saveMenu);
    bar->addWidget(saveButton);
    layout->addLayout(bar);

    m_tabs = new QTabWidget(this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_timeline = new QPlainTextEdit(this);
    m_timeline->setReadOnly(true);
    m_timeline->setFont(fixed);
    m_timeline->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_sent = new ByteView(this);
    m_received = new ByteView(this);
    auto *decodedPage = new QWidget(this);
    auto *decodedLayout = new QVBoxLayout(decodedPage);
    decodedLayout->setContentsMargins(0, 0, 0, 0);
    m_decodeProblem = new QLabel(decodedPage);
    m_decodeProblem->setWordWrap(true);
    m_decodeProblem->hide();
    m_decoded = new ByteView(decodedPage);
    m_decoded->setMode(ByteView::Mode::Text);
    decodedLayout->addWidget(m_decodeProblem);
    decodedLayout->addWidget(m_decoded, 1);
    m_tls = new QPlainTextEdit(this);
    m_tls->setReadOnly(true);
    m_tls->setFont(fixed);
    m_tls->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_tabs->addTab(m_timeline, QStringLiteral("Zeitablauf"));
    m_tabs->addTab(m_sent, QStringLiteral("Gesendet"));
    m_tabs->addTab(m_received, QStringLiteral("Empfangen"));
    m_tabs->addTab(decodedPage, QStringLiteral("Dekodiert"));
    m_tabs->addTab(m_tls, QStringLiteral("TLS"));
    layout->addWidget(m_tabs, 1);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(100);
    connect(m_refreshTimer, &QTimer::timeout, this, &MitschnittWindow::refresh);

    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        const Tab tab = Tab(m_tabs->currentIndex());
        if (ByteView *view = byteView(tab))
            m_mode->setCurrentIndex(view->mode() == ByteView::Mode::Hex ? 1 : 0);
        m_mode->setEnabled(byteView(tab) != nullptr);
        refreshCurrentTab();
    });
    connect(m_mode, &QComboBox::currentIndexChanged, this, [this](int mode) {
        if (ByteView *view = byteView(Tab(m_tabs->currentIndex())))
            view->setMode(mode == 1 ? ByteView::Mode::Hex : ByteView::Mode::Text);
    });
    connect(copyButton, &QToolButton::clicked, this, [this] {
        const Tab tab = Tab(m_tabs->currentIndex());
        if (ByteView *view = byteView(tab))
            view->copy();
        else
            (tab == Zeitablauf ? m_timeline : m_tls)->copy();
    });
    m_mode->setEnabled(false);
    resize(760, 480);
    setTranscript(m_transcript);
}

MitschnittWindow::~MitschnittWindow() = default;

void MitschnittWindow::follow(RequestSession &session)
{
    m_session = &session;
    setTranscript(session.transcript());
    connect(&session, &RequestSession::started, this, [this] {
        if (m_session)
            setTranscript(m_session->transcript());
    });
    for (auto signal : {&RequestSession::connected, &RequestSession::headerEnded})
        connect(&session, signal, this, &MitschnittWindow::scheduleRefresh);
    connect(&session, &RequestSession::requestWritten, this, &MitschnittWindow::scheduleRefresh);
    connect(&session, &RequestSession::arrived, this, &MitschnittWindow::scheduleRefresh);
    connect(&session, &RequestSession::failed, this, &MitschnittWindow::scheduleRefresh);
    connect(&session, &RequestSession::ended, this, &MitschnittWindow::refresh);
}

void MitschnittWindow::setTranscript(std::shared_ptr<const Transcript> transcript)
{
    m_transcript = transcript ? std::move(transcript) : std::make_shared<Transcript>();
    m_decodedBody.reset();
    m_decodedOf = nullptr;
    // New sources: the rows of the old request go.
    for (ByteView *view : {m_sent, m_received, m_decoded}) {
        const ByteView::Mode mode = view->mode();
        ByteSource source = {nullptr, nullptr};
        if (view == m_sent)
            source = {[this] { return qint64(m_transcript->sent().size()); },
                      [this](qint64 o, qint64 c) { return m_transcript->sent().mid(o, c); }};
        else if (view == m_received)
            source = {[this] { return m_transcript->receivedSize(); },
                      [this](qint64 o, qint64 c) { return m_transcript->receivedBytes(o, c); }};
        else
            // Decoded only when its tab is shown (refreshCurrentTab): opening
            // the window on a huge answer decodes nothing.
            source = {[this] { return m_decodedBody ? qint64(m_decodedBody->bytes.size()) : qint64(0); },
                      [this](qint64 o, qint64 c) { return m_decodedBody ? m_decodedBody->bytes.mid(o, c) : QByteArray(); }};
        view->setSource(std::move(source));
        view->setMode(mode);
    }
    refresh();
}

void MitschnittWindow::scheduleRefresh()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
}

void MitschnittWindow::refresh()
{
    m_refreshTimer->stop();
    updateSummary();
    refreshCurrentTab();
}

void MitschnittWindow::updateSummary()
{
    const Transcript &t = *m_transcript;
    QString text = t.target().isEmpty() ? QStringLiteral("Noch keine Anfrage") : t.target();
    text += QStringLiteral(" · gesendet ") + QString::number(t.sent().size()) + QStringLiteral(" Bytes, empfangen ")
            + QString::number(t.receivedSize()) + QStringLiteral(" Bytes");
    if (!t.ended() && !t.target().isEmpty())
        text += QStringLiteral(" · läuft");
    m_summary->setText(text);
}

void MitschnittWindow::refreshCurrentTab()
{
    // Only what is on screen is brought up to date; the others catch up
    // when they are shown.
    switch (Tab(m_tabs->currentIndex())) {
    case Zeitablauf:
        m_timeline->setPlainText(timelineText());
        break;
    case GesendetTab:
        m_sent->refresh();
        break;
    case EmpfangenTab:
        m_received->refresh();
        break;
    case DekodiertTab: {
        const std::shared_ptr<DecodedBody> before = m_decodedBody;
        const QString problem = decodedBody().problem;
        m_decodeProblem->setText(problem.isEmpty() ? QString() : QStringLiteral("Nicht ganz dekodierbar: ") + problem);
        m_decodeProblem->setVisible(!problem.isEmpty());
        if (m_decodedBody != before) {
            // A new decoding: its rows are indexed anew, the place is kept.
            const qint64 row = m_decoded->firstVisibleRow();
            const ByteView::Mode mode = m_decoded->mode();
            ByteSource source = {[this] { return qint64(m_decodedBody->bytes.size()); },
                                 [this](qint64 o, qint64 c) { return m_decodedBody->bytes.mid(o, c); }};
            m_decoded->setSource(std::move(source));
            m_decoded->setMode(mode);
            m_decoded->scrollToRow(row);
        } else {
            m_decoded->refresh();
        }
        break;
    }
    case TlsTab:
        m_tls->setPlainText(tlsViewText());
        break;
    }
}

QString MitschnittWindow::timelineText() const
{
    const Transcript &t = *m_transcript;
    if (t.target().isEmpty())
        return QStringLiteral("Noch keine Anfrage gesendet.");
    // Events and arrivals merged by time; an event before an arrival of
    // the same time, as it happened first.
    struct Line
    {
        qint64 ns;
        int order;
        QString text;
    };
    std::vector<Line> lines;
    lines.reserve(t.events().size() + t.arrivals().size());
    for (const Transcript::Event &e : t.events())
        lines.push_back({e.ns, 0, transcriptEventName(e.kind).toString()});
    for (const Transcript::Arrival &a : t.arrivals())
        lines.push_back({a.ns, 1, QStringLiteral("empfangen %1 Bytes (ab Byte %2)").arg(a.bytes.size()).arg(a.offset)});
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line &a, const Line &b) { return a.ns != b.ns ? a.ns < b.ns : a.order < b.order; });
    QString out = QStringLiteral("Ziel: ") + t.target() + QLatin1Char('\n');
    out += QStringLiteral("%1 ms  Senden\n").arg(Transcript::msText(0), 12);
    for (const Line &l : lines)
        out += QStringLiteral("%1 ms  %2\n").arg(Transcript::msText(l.ns), 12).arg(l.text);
    const QString meldung = t.meldungText();
    if (!meldung.isEmpty())
        out += QStringLiteral("Meldung: ") + meldung + QLatin1Char('\n');
    return out;
}

QString MitschnittWindow::tlsViewText() const
{
    if (m_transcript->tlsLines().isEmpty())
        return QStringLiteral("Keine TLS-Verbindung.");
    return m_transcript->tlsLines().join(QLatin1Char('\n'));
}

const DecodedBody &MitschnittWindow::decodedBody() const
{
    // Decoded once per answer size: a live answer is decoded anew only
    // when its tab is shown again after more bytes came.
    if (!m_decodedBody || m_decodedOf != m_transcript.get() || m_decodedAt != m_transcript->receivedSize()
        || m_decodedBodyAt != m_transcript->bodyOffset()) {
        m_decodedBody = std::make_shared<DecodedBody>(m_transcript->decoded());
        m_decodedOf = m_transcript.get();
        m_decodedAt = m_transcript->receivedSize();
        m_decodedBodyAt = m_transcript->bodyOffset();
    }
    return *m_decodedBody;
}

void MitschnittWindow::showTab(Tab tab) { m_tabs->setCurrentIndex(int(tab)); }

ByteView *MitschnittWindow::byteView(Tab tab) const
{
    switch (tab) {
    case GesendetTab:
        return m_sent;
    case EmpfangenTab:
        return m_received;
    case DekodiertTab:
        return m_decoded;
    default:
        return nullptr;
    }
}

QByteArray MitschnittWindow::bytesToSave(SaveWhat what) const
{
    switch (what) {
    case SaveWhat::Empfangen:
        return m_transcript->received();
    case SaveWhat::Dekodiert:
        return decodedBody().bytes;
    case SaveWhat::Mitschnitt:
        return m_transcript->traceText();
    }
    return {};
}

void MitschnittWindow::save(SaveWhat what)
{
    FileDialogSettings settings;
    settings.title = QStringLiteral("Mitschnitt speichern");
    settings.filter = what == SaveWhat::Mitschnitt ? QStringLiteral("Textdateien (*.txt);;alle Dateien (*)")
                                                   : QStringLiteral("alle Dateien (*)");
    settings.fileName = m_lastSaveName;
    const std::optional<QString> name = m_dialogs.saveFile(this, settings);
    if (!name)
        return;
    m_lastSaveName = *name;
    // The bytes are taken now: a live answer is saved as far as it came.
    if (!replaceRegularFile(*name, bytesToSave(what)))
        m_dialogs.message(this, QStringLiteral("Fehler"), kSaveFailed);
}

} // namespace varnok
