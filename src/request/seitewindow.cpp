// SPDX-License-Identifier: GPL-3.0-or-later
#include "seitewindow.h"

#include "common/textmodel.h"
#include "interpreter/engine.h"
#include "request/outputview.h"
#include "widgets/textbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMdiSubWindow>
#include <QNetworkProxy>
#include <QPushButton>
#include <QShortcut>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

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

const QString kSenden = QStringLiteral("Senden");
constexpr qint64 kReadBufferSize = qint64(4) << 20;

} // namespace

SeiteWindow::SeiteWindow(Engine &engine, QWidget *parent) : QWidget(parent), m_engine(engine)
{
    buildControls();

    m_sink = std::make_unique<ModelAnswerSink>(m_models, [this] { onHeaderEnded(); });
    m_parser = std::make_unique<AnswerParser>(*m_sink);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true); // its handler disables it first
    m_timer->setInterval(kTimeoutMs);
    connect(m_timer, &QTimer::timeout, this, &SeiteWindow::onTimeout);

    makeSocket(Transport::Plain);
}

SeiteWindow::~SeiteWindow()
{
    // The socket is a child and goes down after this object's members; a
    // connection it still holds must not call back into a half-destroyed
    // window.
    m_closed = true;
    m_timer->stop();
    stopWatching();
    m_socket->disconnect(this);
    m_socket->abort();
}

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
    auto model = std::make_shared<TextModel>(row.defaultText.toString());
    auto *box = new TextBox(model, row.multiLine ? TextBox::Mode::MultiLine : TextBox::Mode::SingleLine,
                            this);
    box->setObjectName(row.control.toString());
    if (row.multiLine) {
        box->setForceHorizontalScrollBar(true);
        box->setForceVerticalScrollBar(true);
        // The keyboard must be able to leave a body for the fields after it.
        box->setTabChangesFocus(true);
    }
    m_models[row.field] = std::move(model);
    m_widgets[row.field] = box;
    return box;
}

void SeiteWindow::buildControls()
{
    for (const SeiteFieldRow &row : kSeiteFields) {
        if (row.field == SeiteField::Rueckgabe) {
            // The button row closes the left column.
            m_command1 = new QPushButton(kSenden, this);
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

            m_label10 = new QLabel(this);
            m_label10->setObjectName(QStringLiteral("Label10"));
            m_label10->setTextFormat(Qt::PlainText);
            m_label10->setFrameStyle(QFrame::Box | QFrame::Plain);
            m_label10->setLineWidth(1);
            m_label10->setIndent(2);
        }
        if (!row.captionControl.isEmpty())
            addCaption(row.captionControl, row.caption);
        if (row.place == SeitePlace::Bottom) {
            auto output = std::make_shared<TextModel>(row.defaultText.toString());
            m_output = new OutputView(output, this);
            m_output->setObjectName(row.control.toString());
            m_models[row.field] = std::move(output);
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

std::shared_ptr<TextModel> SeiteWindow::model(QAnyStringView controlName) const
{
    for (const SeiteFieldRow &row : kSeiteFields)
        if (controlName == row.control)
            return m_models[row.field];
    return nullptr;
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

SeiteFields SeiteWindow::fields() const
{
    SeiteFields f;
    for (std::size_t i = 0; i < kSeiteFieldCount; ++i)
        f.items[i] = m_models.items[i];
    return f;
}

RequestFields SeiteWindow::requestFields() const
{
    RequestFields f;
    for (std::size_t i = 0; i < kRequestFieldCount; ++i)
        f[SeiteField(i)] = m_models.items[i]->text();
    return f;
}

void SeiteWindow::setIndex(int index)
{
    m_index = index;
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
    return m_label10->text();
}

void SeiteWindow::setTimeoutInterval(int ms)
{
    m_timer->setInterval(ms);
}

int SeiteWindow::timeoutInterval() const
{
    return m_timer->interval();
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

    for (const SeiteFieldRow &row : kSeiteFields) {
        QWidget *box = m_widgets[row.field];
        QWidget *caption = row.captionControl.isEmpty() ? nullptr : control(row.captionControl);
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
    const auto fits = [&](const QFont &f) {
        const QFontMetrics fm(f);
        for (const QLabel *label : m_captions)
            if (fm.horizontalAdvance(label->text()) > room)
                return false;
        return true;
    };
    QFont chosen = base;
    for (double size = full; size >= smallest; size -= 0.5) {
        if (inPoints)
            chosen.setPointSizeF(size);
        else
            chosen.setPixelSize(int(size));
        if (fits(chosen))
            break;
    }
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
    m_requestState = 0;
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
    if (m_closed)
        return;
    // The request ends with the window: no more socket or timer events, no
    // more Status.
    m_closed = true;
    m_timer->stop();
    closeSocket();
    m_socket->disconnect(this);
    emit closed(m_index);
}

void SeiteWindow::updateSelectionReadout()
{
    const TextModel &m = *m_output->model();
    const qsizetype start = m.selectionStart() + 1;
    m_output->setToolTip(QStringLiteral("SelStart: ") + QString::number(start)
                         + QStringLiteral("; SelEnd: ") + QString::number(start + m.selectionLength()));
}

// ---- request -------------------------------------------------------------------

void SeiteWindow::makeSocket(Transport transport)
{
    const bool tls = transport != Transport::Plain;
    if (m_socket && tls == (qobject_cast<QSslSocket *>(m_socket) != nullptr))
        return;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    if (tls) {
        auto *ssl = new QSslSocket(this);
        connect(ssl, &QSslSocket::connected, this, [this] {
            m_tcpConnected = true;
            watchSocket();
        });
        connect(ssl, &QSslSocket::encrypted, this, &SeiteWindow::onConnected);
        connect(ssl, &QSslSocket::sslErrors, this, &SeiteWindow::onCertificateErrors);
        m_socket = ssl;
    } else {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, &SeiteWindow::onConnected);
    }
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    // Straight to the host the user typed, never through a proxy.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    // Each notification takes what the system holds, up to a bound that
    // keeps a fast server on a busy machine from piling tens of megabytes
    // into one arrival; the window hands all of it on before it returns.
    m_socket->setReadBufferSize(kReadBufferSize);
    connect(m_socket, &QTcpSocket::readyRead, this, &SeiteWindow::onDataArrival);
    connect(m_socket, &QTcpSocket::disconnected, this, &SeiteWindow::onPeerClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { onSocketError(int(e)); });
}

void SeiteWindow::connectSocket(const ServerTarget &target, quint16 port)
{
    m_transport = target.transport;
    const QString host = target.host.toString();
    auto *ssl = qobject_cast<QSslSocket *>(m_socket);
    if (!ssl) {
        m_socket->connectToHost(host, port);
        return;
    }
    QSslConfiguration config = ssl->sslConfiguration();
    config.setAllowedNextProtocols({QByteArray(QSslConfiguration::NextProtocolHttp1_1)});
    if (!m_trusted.isEmpty())
        config.setCaCertificates(m_trusted);
    ssl->setSslConfiguration(config);
    ssl->setPeerVerifyMode(target.transport == Transport::TlsUnverified ? QSslSocket::VerifyNone
                                                                        : QSslSocket::VerifyPeer);
    // The host name is also the name sent for SNI and the name the
    // certificate must carry.
    ssl->connectToHostEncrypted(host, port);
}

void SeiteWindow::setTrustedCertificates(const QList<QSslCertificate> &certificates)
{
    m_trusted = certificates;
}

void SeiteWindow::setStatus(QStringView value)
{
    if (m_index > 0 && !m_closed)
        m_engine.setWindowStatus(u"SeiteFenster", m_index, value);
}

void SeiteWindow::setStatusLabel(const QString &text)
{
    // Whatever a connection without a certificate check shows says so.
    if (m_connected && m_transport == Transport::TlsUnverified && !text.isEmpty())
        m_label10->setText(text + QStringLiteral(" (ohne Zertifikatsprüfung)"));
    else
        m_label10->setText(text);
}

void SeiteWindow::restartTimer()
{
    m_timer->stop();
    m_timer->start();
}

void SeiteWindow::setReceptionWatch(std::weak_ptr<ReceptionWatch> watch)
{
    m_watch = std::move(watch);
}

void SeiteWindow::watchSocket()
{
    // The socket has a descriptor once its connection is up.
    const auto watch = m_watch.lock();
    const qintptr fd = m_socket->socketDescriptor();
    if (!watch || fd < 0 || fd == m_watched)
        return;
    stopWatching();
    watch->add(fd);
    m_watched = fd;
}

void SeiteWindow::stopWatching()
{
    if (m_watched < 0)
        return;
    if (const auto watch = m_watch.lock())
        watch->remove(m_watched);
    m_watched = -1;
}

void SeiteWindow::closeSocket()
{
    stopWatching();
    ++m_ownClose;
    m_socket->abort();
    --m_ownClose;
    m_connected = false;
    m_tcpConnected = false;
    m_certificateProblem.clear();
    m_handshakeError = QAbstractSocket::RemoteHostClosedError;
}

void SeiteWindow::Command1_Click()
{
    if (m_closed)
        return;
    if (m_command1->text() == kSenden)
        sendAction();
    else
        stopAction();
}

void SeiteWindow::sendAction()
{
    const QString server = m_models[SeiteField::Server]->text();
    const QString portText = m_models[SeiteField::Port]->text();

    m_parser->reset();
    // The output box, the further headers, then the answer fields in order.
    m_models[SeiteField::Text]->setText(QString());
    m_models[SeiteField::Weiteres]->setText(QString());
    for (const SeiteFieldRow &row : kSeiteFields)
        if (row.node == SeiteNode::Output && row.field != SeiteField::Weiteres)
            m_models[row.field]->setText(QString());

    // Whatever the socket still holds belongs to an earlier request.
    closeSocket();
    m_reasonAfterStop.clear();
    const ServerTarget target = serverTarget(server);
    QString problem = connectProblem(server, portText);
    if (problem.isEmpty() && target.transport != Transport::Plain && !QSslSocket::supportsSsl())
        problem = QStringLiteral("TLS nicht verfügbar (OpenSSL fehlt)");
    m_connectedDuringSend = false;
    m_errorDuringSend.clear();
    if (problem.isEmpty()) {
        makeSocket(target.transport);
        // The socket may report success or failure from inside the call;
        // both are taken up once the window has entered state 1.
        m_inSend = true;
        connectSocket(target, quint16(*requestPort(portText)));
        m_inSend = false;
    }

    setStatusLabel(QStringLiteral("Verbinde..."));
    setStatus(u"1");
    if (m_closed)
        return;
    m_requestState = 1;
    m_command1->setText(QStringLiteral("Stopp"));
    restartTimer();

    // A connection that cannot be made keeps state 1 and is retried after
    // the timeout, as any other; the label says why.
    if (!problem.isEmpty())
        setStatusLabel(problem);
    else if (!m_errorDuringSend.isEmpty())
        setStatusLabel(m_errorDuringSend);
    else if (m_connectedDuringSend)
        onConnected();
}

void SeiteWindow::stopAction()
{
    closeSocket();
    m_command1->setText(kSenden);
    setStatusLabel(QString());
    setStatus(u"0");
    m_requestState = 0;
}

void SeiteWindow::onConnected()
{
    if (m_closed)
        return;
    if (m_inSend) {
        m_connectedDuringSend = true;
        return;
    }
    m_connected = true;
    watchSocket();
    setStatusLabel(QStringLiteral("Verbunden"));
    m_socket->write(composeRequest(requestFields()));
    setStatusLabel(QStringLiteral("Befehl gesendet"));
    restartTimer();
}

void SeiteWindow::onDataArrival()
{
    if (m_closed || m_ownClose)
        return;
    restartTimer();
    // Decided before the new bytes are looked at: the arrival that ends the
    // header still reports the header.
    if (m_parser->inHeader()) {
        setStatusLabel(QStringLiteral("Empfange Header..."));
        setStatus(u"2");
        m_requestState = 2;
    } else {
        setStatusLabel(QStringLiteral("Empfange Daten..."));
        setStatus(u"3");
        m_requestState = 3;
    }
    if (m_closed)
        return;
    // Everything the socket holds now, so nothing waits for the next turn
    // of the event loop. While the socket's buffer is one block, as it is
    // after a plain socket's notification, the read hands that block over
    // without a copy.
    for (qint64 waiting = m_socket->bytesAvailable(); waiting > 0;
         waiting = m_socket->bytesAvailable()) {
        const QByteArray piece = m_socket->read(waiting);
        if (piece.isEmpty())
            return;
        m_parser->feed(piece);
        if (m_closed || m_ownClose)
            return;
    }
}

void SeiteWindow::onPeerClosed()
{
    if (m_closed || m_ownClose)
        return;
    if (tlsHandshaking()) {
        // A handshake that broke off is a connection that could not be
        // made: state 1 stays until Stopp or the timeout, the label says why.
        m_tcpConnected = false;
        setStatusLabel(tlsProblem());
        return;
    }
    // Bytes that came with the close are still part of the answer.
    if (m_socket->bytesAvailable() > 0)
        onDataArrival();
    if (m_closed || m_requestState == 0)
        return;
    const QString reason = m_reasonAfterStop;
    Command1_Click();
    if (!reason.isEmpty() && m_requestState == 0)
        setStatusLabel(reason);
}

void SeiteWindow::onSocketError(int error)
{
    if (m_closed || m_ownClose)
        return;
    const auto e = QAbstractSocket::SocketError(error);
    if (tlsHandshaking()) {
        m_handshakeError = e;
        setStatusLabel(tlsProblem());
        return;
    }
    if (e == QAbstractSocket::RemoteHostClosedError) {
        // A plain socket's closed notification follows. A TLS socket that
        // received the server's close_notify reports only this error and
        // stays open: the end of the answer all the same.
        if (m_transport != Transport::Plain && m_connected)
            onPeerClosed();
        return;
    }
    const QString reason = socketErrorReason(e);
    if (m_inSend) {
        m_errorDuringSend = reason;
        return;
    }
    if (m_requestState == 0)
        return;
    if (m_connected) {
        // A broken connection ends like a closed one; the reason is shown
        // after the Stop action has emptied the label.
        m_reasonAfterStop = reason;
        return;
    }
    setStatusLabel(reason);
}

void SeiteWindow::onCertificateErrors(const QList<QSslError> &errors)
{
    if (m_closed || m_ownClose)
        return;
    // Not ignored: the handshake fails and nothing of the request is sent.
    m_certificateProblem = certificateProblem(errors);
    setStatusLabel(m_certificateProblem);
}

bool SeiteWindow::tlsHandshaking() const
{
    return m_tcpConnected && !m_connected;
}

QString SeiteWindow::tlsProblem() const
{
    return m_certificateProblem.isEmpty() ? handshakeProblem(m_handshakeError) : m_certificateProblem;
}

void SeiteWindow::onTimeout()
{
    if (m_closed)
        return;
    m_timer->stop();
    if (m_requestState == 0)
        return;
    setStatusLabel(QStringLiteral("Timeout"));
    m_models[SeiteField::Rueckgabe]->setText(QStringLiteral("Timeout"));
    Command1_Click();
    Command1_Click();
}

void SeiteWindow::onHeaderEnded()
{
    m_command1->setText(QStringLiteral("Stop"));
    m_command1->setEnabled(true);
}

} // namespace varnok
