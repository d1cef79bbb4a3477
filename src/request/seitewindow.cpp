// SPDX-License-Identifier: GPL-3.0-or-later
#include "seitewindow.h"

#include "common/textmodel.h"
#include "request/outputview.h"
#include "request/statuslabel.h"
#include "request/verbindungdialog.h"
#include "widgets/textbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>
#include <cmath>

namespace varnok {

namespace {

// Geometry of the window's design, in twips of the client area; the rows
// are in the field table.
constexpr double kCaptionLeft = 120;
constexpr double kCaptionWidth = 1335; // Label1 and Label20
constexpr double kCaptionHeight = 255;
constexpr double kBoxLeft = 1560;
constexpr double kRowsBottom = 5160; // Line2
constexpr double kButtonTop = 4800;
constexpr double kBelowCaption = 240; // a wide box under its caption

// Keyboard focus order of the controls.
constexpr const char *kFocusOrder[] = {
    "Text1",   "Text2",   "Text3",   "Text4",   "Text5",   "Text6",   "Text7",
    "Text8",   "Text9",   "Text10",  "Command1", "Text11", "Text12",  "Text13",
    "Label25", "Label26", "Label28", "Label27", "Label29", "Label30", "Label31",
    "Label32", "Label33", "Label34", "Label35",
};


} // namespace

SeiteWindow::SeiteWindow(std::shared_ptr<SeiteDocument> document, QWidget *parent)
    : QWidget(parent), m_document(std::move(document))
{
    buildControls();

    RequestSession *session = &m_document->session();
    connect(session, &RequestSession::statusLabelChanged, m_label10, &StatusLabel::setFullText);
    connect(session, &RequestSession::captionChanged, m_command1, &QPushButton::setText);
    connect(session, &RequestSession::headerEnded, m_command1,
            [button = m_command1] { button->setEnabled(true); });
    connect(m_document.get(), &SeiteDocument::closed, this, &SeiteWindow::closed);
}

SeiteWindow::SeiteWindow(Engine &engine, QWidget *parent, std::unique_ptr<RequestClock> clock)
    : SeiteWindow(std::make_shared<SeiteDocument>(engine, std::move(clock)), parent)
{
}

// A document this window alone held ends its request as it goes, while the
// controls it reports to still exist.
SeiteWindow::~SeiteWindow() = default;

// ---- controls ------------------------------------------------------------------

QLabel *SeiteWindow::addCaption(QStringView name, QStringView caption)
{
    auto *label = new QLabel(caption.toString(), this);
    label->setObjectName(name.toString());
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_captions.push_back(label);
    return label;
}

TextBox *SeiteWindow::addBox(const SeiteFieldRow &row)
{
    auto *box = new TextBox(m_document->model(row.field), row.multiLine ? TextBox::Mode::MultiLine : TextBox::Mode::SingleLine,
                            this);
    box->setObjectName(row.control.toString());
    if (row.multiLine) {
        box->setForceHorizontalScrollBar(true);
        box->setForceVerticalScrollBar(true);
        // The keyboard must be able to leave a body for the fields after it.
        box->setTabChangesFocus(true);
    }
    m_widgets[row.field] = box;
    return box;
}

void SeiteWindow::buildControls()
{
    for (const SeiteFieldRow &row : kSeiteFields) {
        if (row.field == SeiteField::Rueckgabe) {
            // The button row closes the left column.
            m_command1 = new QPushButton(QStringLiteral("Senden"), this);
            m_command1->setObjectName(QStringLiteral("Command1"));
            m_command1->setAutoDefault(false);
            connect(m_command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
            // Ctrl+Return presses the button from any field of this window
            // (Enter itself belongs to the multi-line boxes).
            for (const QKeyCombination keys : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
                auto *senden = new QShortcut(QKeySequence(keys), this);
                senden->setContext(Qt::WidgetWithChildrenShortcut);
                connect(senden, &QShortcut::activated, this, [this] { Command1_Click(); });
            }
            auto *verbindung = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), this);
            verbindung->setContext(Qt::WidgetWithChildrenShortcut);
            connect(verbindung, &QShortcut::activated, this, &SeiteWindow::openVerbindungDialog);
            auto *mitschnitt = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), this);
            mitschnitt->setContext(Qt::WidgetWithChildrenShortcut);
            connect(mitschnitt, &QShortcut::activated, this, &SeiteWindow::openMitschnittWindow);

            m_label10 = new StatusLabel(this);
            m_label10->setObjectName(QStringLiteral("Label10"));
            m_label10->setFrameStyle(QFrame::Box | QFrame::Plain);
            m_label10->setLineWidth(1);
            m_label10->setIndent(2);
        }
        if (!row.captionControl.isEmpty())
            addCaption(row.captionControl, row.caption);
        if (row.place == SeitePlace::Bottom) {
            m_output = new OutputView(m_document->model(row.field), this);
            m_output->setObjectName(row.control.toString());
            m_widgets[row.field] = m_output;
            connect(m_output, &OutputView::selectionReadoutRequested, this,
                    &SeiteWindow::updateSelectionReadout);
            updateSelectionReadout();
            continue;
        }
        TextBox *box = addBox(row);
        if (row.node == SeiteNode::Output) {
            // The user can select and copy the answer fields but edit only
            // the further headers.
            if (row.field != SeiteField::Weiteres)
                box->setUserReadOnly(true);
            box->setButtonFaceBackground(true);
        }
    }

    for (QFrame **line : {&m_line1, &m_line2}) {
        *line = new QFrame(this);
        (*line)->setFrameShape(line == &m_line1 ? QFrame::VLine : QFrame::HLine);
        (*line)->setFrameShadow(QFrame::Plain);
        (*line)->setLineWidth(1);
    }
    m_line1->setObjectName(QStringLiteral("Line1"));
    m_line2->setObjectName(QStringLiteral("Line2"));
    fitCaptionFont();

    // Qt's chain is built over the boxes themselves, never over their inner
    // editors: a box left elsewhere in the chain would be a tab stop of its
    // own and send Tab back and forth between two fields. Tab itself follows
    // the table (focusNextPrevChild), whatever Qt makes of compound widgets.
    QWidget *previous = nullptr;
    for (const char *name : kFocusOrder) {
        QWidget *w = control(QLatin1StringView(name));
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
}

bool SeiteWindow::focusNextPrevChild(bool next)
{
    const QWidget *focus = QApplication::focusWidget();
    constexpr int count = int(std::size(kFocusOrder));
    for (int i = 0; focus && i < count; ++i) {
        QWidget *at = control(QLatin1StringView(kFocusOrder[i]));
        if (at != focus && !at->isAncestorOf(focus))
            continue;
        for (int step = 1; step < count; ++step) {
            QWidget *to = control(QLatin1StringView(kFocusOrder[(i + (next ? step : count - step)) % count]));
            if (to->isVisible() && to->isEnabled() && (to->focusPolicy() & Qt::TabFocus)) {
                to->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                return true;
            }
        }
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

QWidget *SeiteWindow::control(QAnyStringView controlName) const
{
    for (const SeiteFieldRow &row : kSeiteFields)
        if (controlName == row.control)
            return m_widgets[row.field];
    if (controlName == u"Command1")
        return m_command1;
    if (controlName == u"Label10")
        return m_label10;
    for (QLabel *label : m_captions)
        if (controlName == label->objectName())
            return label;
    return nullptr;
}

RequestFields SeiteWindow::requestFields() const
{
    return m_document->session().requestFields();
}

void SeiteWindow::setReceptionWatch(std::weak_ptr<ReceptionWatch> watch)
{
    m_document->session().setReceptionWatch(std::move(watch));
}

void SeiteWindow::setTrustedCertificates(const QList<QSslCertificate> &certificates)
{
    ConnectionSettings settings = m_document->session().settings();
    settings.trustedCertificates = certificates;
    m_document->session().setSettings(std::move(settings));
}

bool SeiteWindow::sendEnabled() const
{
    return m_command1->isEnabled();
}

QString SeiteWindow::buttonCaption() const
{
    return m_command1->text();
}

QString SeiteWindow::statusLabelText() const
{
    return m_label10->fullText();
}

void SeiteWindow::setTimeoutInterval(int ms)
{
    m_document->session().setTimeoutInterval(ms);
}

int SeiteWindow::timeoutInterval() const
{
    return m_document->session().timeoutInterval();
}

// ---- geometry ------------------------------------------------------------------

int SeiteWindow::twipsToPixelsX(double twips) const
{
    return int(std::lround(twips * logicalDpiX() / 1440.0));
}

int SeiteWindow::twipsToPixelsY(double twips) const
{
    return int(std::lround(twips * logicalDpiY() / 1440.0));
}

void SeiteWindow::place(QWidget *w, double left, double top, double width, double height)
{
    // Both edges rounded on their own, so neighbours meet without gaps.
    const int x = twipsToPixelsX(left);
    const int y = twipsToPixelsY(top);
    w->setGeometry(x, y, std::max(0, twipsToPixelsX(left + width) - x),
                   std::max(0, twipsToPixelsY(top + height) - y));
}

void SeiteWindow::applyLayout()
{
    // Below the minimum the controls keep their minimum layout and are
    // clipped by the window.
    const double W = std::max(width() * 1440.0 / logicalDpiX(), kCaptionWidth + kCaptionWidth + 840);
    const double H = std::max(height() * 1440.0 / logicalDpiY(), kRowsBottom + 360);
    const double half = W / 2;
    const double boxWidth = half - (kCaptionWidth + 360);
    const double rightCaptions = half + 120;
    const double fieldsLeft = rightCaptions + kCaptionWidth + 120;

    // The captions were made in the table's order, one for each row that
    // has one; finding each by its name took longer than placing it.
    auto nextCaption = m_captions.cbegin();
    for (const SeiteFieldRow &row : kSeiteFields) {
        QWidget *box = m_widgets[row.field];
        QWidget *caption = row.captionControl.isEmpty() ? nullptr : *nextCaption++;
        switch (row.place) {
        case SeitePlace::Left:
            place(caption, kCaptionLeft, row.top, kCaptionWidth, kCaptionHeight);
            place(box, kBoxLeft, row.top, boxWidth, row.height);
            break;
        case SeitePlace::Right:
            place(caption, rightCaptions, row.top, kCaptionWidth, kCaptionHeight);
            place(box, fieldsLeft, row.top, boxWidth, row.height);
            break;
        case SeitePlace::RightBelow:
            place(caption, rightCaptions, row.top, kCaptionWidth, kCaptionHeight);
            place(box, rightCaptions, row.top + kBelowCaption, W - (half + 240), row.height);
            break;
        case SeitePlace::Bottom:
            place(box, kCaptionLeft, row.top, W - 240, H - (kRowsBottom + 240));
            break;
        }
    }

    const double buttonWidth = (half - 240) / 3;
    place(m_command1, kCaptionLeft, kButtonTop, buttonWidth, kCaptionHeight);
    place(m_label10, buttonWidth + 120, kButtonTop, half - 240 - buttonWidth, kCaptionHeight);

    const int lineX = twipsToPixelsX(half);
    const int lineY = twipsToPixelsY(kRowsBottom);
    m_line1->setGeometry(lineX, 0, 1, lineY);
    m_line2->setGeometry(0, lineY, twipsToPixelsX(W), 1);
}

void SeiteWindow::fitCaptionFont()
{
    // The captions have a fixed width; the system's font may be wider than
    // the one the layout was made for. Rather than cut "Accept-Language:"
    // short, the captions keep the window's own font and family and only
    // become smaller, in half points, until the longest one fits.
    const QFont base = font();
    const bool inPoints = base.pointSizeF() > 0;
    const double full = inPoints ? base.pointSizeF() : base.pixelSize();
    const double smallest = inPoints ? std::min(full, 6.5) : std::min(full, 9.0);
    const int room = twipsToPixelsX(kCaptionWidth);
    // Every window has the same captions, so the size found for a font and
    // a width holds for the next window too: measuring two dozen captions
    // at every size tried was a good part of opening a window.
    static QHash<std::pair<QString, int>, double> fittedSize;
    const std::pair<QString, int> key{base.key(), room};
    const auto known = fittedSize.constFind(key);
    QFont chosen = base;
    const auto apply = [&](double size) {
        if (inPoints)
            chosen.setPointSizeF(size);
        else
            chosen.setPixelSize(int(size));
    };
    if (known != fittedSize.cend()) {
        apply(*known);
        for (QLabel *label : m_captions)
            label->setFont(chosen);
        return;
    }
    const auto fits = [&](const QFont &f) {
        const QFontMetrics fm(f);
        for (const QLabel *label : m_captions)
            if (fm.horizontalAdvance(label->text()) > room)
                return false;
        return true;
    };
    double size = full;
    for (; size >= smallest; size -= 0.5) {
        apply(size);
        if (fits(chosen))
            break;
    }
    // Past the smallest size the loop leaves the smallest one it tried.
    fittedSize.insert(key, size >= smallest ? size : size + 0.5);
    for (QLabel *label : m_captions)
        label->setFont(chosen);
}

// ---- window events -------------------------------------------------------------

void SeiteWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitCaptionFont();
}

void SeiteWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->resize(twipsToPixelsX(10000), twipsToPixelsY(10000));
    applyLayout();
}

void SeiteWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyLayout();
}

void SeiteWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_verbindungDialog)
        m_verbindungDialog->close();
    m_document->close();
}

void SeiteWindow::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *verbindung = menu.addAction(QStringLiteral("Verbindung..."), this, &SeiteWindow::openVerbindungDialog);
    verbindung->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    QAction *mitschnitt = menu.addAction(QStringLiteral("Mitschnitt..."), this, &SeiteWindow::openMitschnittWindow);
    mitschnitt->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    menu.exec(event->globalPos());
}

void SeiteWindow::openVerbindungDialog()
{
    if (m_document->isClosed())
        return;
    if (m_verbindungDialog) {
        m_verbindungDialog->raise();
        m_verbindungDialog->activateWindow();
        return;
    }
    VerbindungDialog::Models models;
    for (std::size_t i = 0; i < kVerbindungValueCount; ++i)
        models[i] = m_document->session().verbindung(VerbindungValue(i));
    m_verbindungDialog = new VerbindungDialog(models, m_document->session().tlsDetails(),
                                              QStringLiteral("Verbindung - Seite ") + QString::number(index()), this);
    m_verbindungDialog->setAttribute(Qt::WA_DeleteOnClose);
    m_verbindungDialog->setWindowFlag(Qt::Window);
    m_verbindungDialog->open();
}

void SeiteWindow::openMitschnittWindow()
{
    if (!m_document->isClosed())
        emit mitschnittRequested(index());
}

void SeiteWindow::updateSelectionReadout()
{
    const TextModel &m = *m_output->model();
    const qsizetype start = m.selectionStart() + 1;
    m_output->setToolTip(QStringLiteral("SelStart: ") + QString::number(start)
                         + QStringLiteral("; SelEnd: ") + QString::number(start + m.selectionLength()));
}

} // namespace varnok
