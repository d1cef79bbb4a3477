// SPDX-License-Identifier: GPL-3.0-or-later
#include "requestsession.h"

#include "common/textmodel.h"
#include "interpreter/engine.h"

#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

namespace varnok {

namespace {

const QString kSenden = QStringLiteral("Senden");
constexpr qint64 kReadBufferSize = qint64(4) << 20;

} // namespace

RequestSession::RequestSession(Engine &engine, SeiteModels models, std::unique_ptr<RequestClock> clock,
                               QObject *parent)
    : QObject(parent),
      m_engine(engine),
      m_models(std::move(models)),
      m_clock(clock ? std::move(clock) : makeSystemRequestClock()),
      m_caption(kSenden)
{
    m_clock->setTimeoutHandler([this] { onTimeout(); });
    m_sink = std::make_unique<ModelAnswerSink>(m_models, [this] { onHeaderEnded(); });
    m_parser = std::make_unique<AnswerParser>(*m_sink);
    makeSocket(Transport::Plain);
}

RequestSession::~RequestSession()
{
    // The socket is a child and goes down after this object's members; a
    // connection it still holds must not call back into a half-destroyed
    // engine.
    m_shutDown = true;
    m_clock->setTimeoutHandler(nullptr);
    m_clock->stopTimer();
    stopWatching();
    m_socket->disconnect(this);
    m_socket->abort();
}

RequestFields RequestSession::requestFields() const
{
    RequestFields f;
    for (std::size_t i = 0; i < kRequestFieldCount; ++i)
        f[SeiteField(i)] = m_models.items[i]->text();
    return f;
}

void RequestSession::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_clock->stopTimer();
    closeSocket();
    m_socket->disconnect(this);
}

// ---- what the window sees ------------------------------------------------------

void RequestSession::setStatus(QStringView value)
{
    if (m_index > 0 && !m_shutDown)
        m_engine.setWindowStatus(u"SeiteFenster", m_index, value);
}

void RequestSession::setStatusLabel(const QString &text)
{
    // Whatever a connection without a certificate check shows says so.
    if (m_connected && m_transport == Transport::TlsUnverified && !text.isEmpty())
        m_statusLabel = text + QStringLiteral(" (ohne Zertifikatsprüfung)");
    else
        m_statusLabel = text;
    emit statusLabelChanged(m_statusLabel);
}

void RequestSession::showFailure(const QString &reason)
{
    setStatusLabel(reason);
    emit failed(reason);
}

void RequestSession::setCaption(const QString &caption)
{
    m_caption = caption;
    emit captionChanged(m_caption);
}

void RequestSession::restartTimer()
{
    m_clock->startTimer(m_timeoutMs);
}

// ---- the socket ----------------------------------------------------------------

void RequestSession::makeSocket(Transport transport)
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
        connect(ssl, &QSslSocket::encrypted, this, &RequestSession::onConnected);
        connect(ssl, &QSslSocket::sslErrors, this, &RequestSession::onCertificateErrors);
        m_socket = ssl;
    } else {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, &RequestSession::onConnected);
    }
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    // Straight to the host the user typed, never through a proxy.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    // Each notification takes what the system holds, up to a bound that
    // keeps a fast server on a busy machine from piling tens of megabytes
    // into one arrival; the engine hands all of it on before it returns.
    m_socket->setReadBufferSize(kReadBufferSize);
    connect(m_socket, &QTcpSocket::readyRead, this, &RequestSession::onDataArrival);
    connect(m_socket, &QTcpSocket::disconnected, this, &RequestSession::onPeerClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &RequestSession::onSocketError);
}

void RequestSession::connectSocket(const ServerTarget &target, quint16 port)
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
    if (!m_settings.trustedCertificates.isEmpty())
        config.setCaCertificates(m_settings.trustedCertificates);
    ssl->setSslConfiguration(config);
    ssl->setPeerVerifyMode(target.transport == Transport::TlsUnverified ? QSslSocket::VerifyNone
                                                                        : QSslSocket::VerifyPeer);
    // The host name is also the name sent for SNI and the name the
    // certificate must carry.
    ssl->connectToHostEncrypted(host, port);
}

void RequestSession::watchSocket()
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

void RequestSession::stopWatching()
{
    if (m_watched < 0)
        return;
    if (const auto watch = m_watch.lock())
        watch->remove(m_watched);
    m_watched = -1;
}

void RequestSession::closeSocket()
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

// ---- the toggle ----------------------------------------------------------------

void RequestSession::toggle()
{
    if (m_shutDown)
        return;
    if (m_caption == kSenden)
        sendAction();
    else
        stopAction(RequestEnd::Stopped);
}

void RequestSession::sendAction()
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
        // both are taken up once the engine has entered state 1.
        m_inSend = true;
        connectSocket(target, quint16(*requestPort(portText)));
        m_inSend = false;
    }

    setStatusLabel(QStringLiteral("Verbinde..."));
    setStatus(u"1");
    if (m_shutDown)
        return;
    m_requestState = 1;
    setCaption(QStringLiteral("Stopp"));
    restartTimer();
    emit started();

    // A connection that cannot be made keeps state 1 and is retried after
    // the timeout, as any other; the label says why.
    if (!problem.isEmpty())
        showFailure(problem);
    else if (!m_errorDuringSend.isEmpty())
        showFailure(m_errorDuringSend);
    else if (m_connectedDuringSend)
        onConnected();
}

void RequestSession::stopAction(RequestEnd how)
{
    closeSocket();
    setCaption(kSenden);
    setStatusLabel(QString());
    setStatus(u"0");
    m_requestState = 0;
    emit ended(how);
}

// ---- socket events -------------------------------------------------------------

void RequestSession::onConnected()
{
    if (m_shutDown)
        return;
    if (m_inSend) {
        m_connectedDuringSend = true;
        return;
    }
    m_connected = true;
    watchSocket();
    emit connected();
    setStatusLabel(QStringLiteral("Verbunden"));
    const QByteArray request = composeRequest(requestFields());
    m_socket->write(request);
    emit requestWritten(request.size());
    setStatusLabel(QStringLiteral("Befehl gesendet"));
    restartTimer();
}

void RequestSession::onDataArrival()
{
    if (m_shutDown || m_ownClose)
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
    if (m_shutDown)
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
        emit arrived(piece.size());
        m_parser->feed(piece);
        if (m_shutDown || m_ownClose)
            return;
    }
}

void RequestSession::onPeerClosed()
{
    if (m_shutDown || m_ownClose)
        return;
    if (tlsHandshaking()) {
        // A handshake that broke off is a connection that could not be
        // made: state 1 stays until Stopp or the timeout, the label says why.
        m_tcpConnected = false;
        showFailure(tlsProblem());
        return;
    }
    // Bytes that came with the close are still part of the answer.
    if (m_socket->bytesAvailable() > 0)
        onDataArrival();
    if (m_shutDown || m_requestState == 0)
        return;
    const QString reason = m_reasonAfterStop;
    // What the button would do now: its caption reads "Stopp" or "Stop".
    stopAction(RequestEnd::Closed);
    if (!reason.isEmpty() && m_requestState == 0)
        showFailure(reason);
}

void RequestSession::onSocketError(QAbstractSocket::SocketError error)
{
    if (m_shutDown || m_ownClose)
        return;
    if (tlsHandshaking()) {
        m_handshakeError = error;
        showFailure(tlsProblem());
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // A plain socket's closed notification follows. A TLS socket that
        // received the server's close_notify reports only this error and
        // stays open: the end of the answer all the same.
        if (m_transport != Transport::Plain && m_connected)
            onPeerClosed();
        return;
    }
    const QString reason = socketErrorReason(error);
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
    showFailure(reason);
}

void RequestSession::onCertificateErrors(const QList<QSslError> &errors)
{
    if (m_shutDown || m_ownClose)
        return;
    // Not ignored: the handshake fails and nothing of the request is sent.
    m_certificateProblem = certificateProblem(errors);
    showFailure(m_certificateProblem);
}

bool RequestSession::tlsHandshaking() const
{
    return m_tcpConnected && !m_connected;
}

QString RequestSession::tlsProblem() const
{
    return m_certificateProblem.isEmpty() ? handshakeProblem(m_handshakeError) : m_certificateProblem;
}

void RequestSession::onTimeout()
{
    if (m_shutDown)
        return;
    m_clock->stopTimer();
    if (m_requestState == 0)
        return;
    setStatusLabel(QStringLiteral("Timeout"));
    m_models[SeiteField::Rueckgabe]->setText(QStringLiteral("Timeout"));
    // The toggle twice: its caption reads "Stopp" or "Stop", so it stops,
    // then it reads "Senden" and sends the same request again.
    stopAction(RequestEnd::Timeout);
    toggle();
}

void RequestSession::onHeaderEnded()
{
    setCaption(QStringLiteral("Stop"));
    emit headerEnded();
}

} // namespace varnok
