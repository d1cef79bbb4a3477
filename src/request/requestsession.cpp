// SPDX-License-Identifier: GPL-3.0-or-later
#include "requestsession.h"

#include "common/freshmemory.h"
#include "common/textmodel.h"
#include "interpreter/engine.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>
#include <chrono>

#include <sys/ioctl.h>
#include <sys/socket.h>

namespace varnok {

namespace {

const QString kSenden = QStringLiteral("Senden");
constexpr qint64 kReadBufferSize = qint64(4) << 20;
constexpr qint64 kArrivalBudget = 4 * kReadBufferSize;
constexpr qint64 kBodyReadBufferSize = qint64(64) << 10;
constexpr std::chrono::milliseconds kArrivalTime{8};

} // namespace

// The parser writes the answer fields; the Mitschnitt notes the codings
// and the body's length from the same calls, so the answer is split once.
class RequestSession::TeeSink : public AnswerSink
{
public:
    TeeSink(AnswerSink &fields, RequestSession &session) : m_fields(fields), m_session(session) {}
    void statusLine(const QString &line) override { m_fields.statusLine(line); }
    void knownHeader(SeiteField field, const QString &value) override { m_fields.knownHeader(field, value); }
    void otherHeader(const QString &line) override
    {
        m_session.m_transcript->noteOtherHeader(line);
        m_fields.otherHeader(line);
    }
    void headerEnded() override
    {
        m_session.m_transcript->noteHeaderEnded();
        m_fields.headerEnded();
    }
    void body(QByteArrayView bytes) override
    {
        m_session.m_transcript->addBodyBytes(bytes.size());
        m_fields.body(bytes);
    }

private:
    AnswerSink &m_fields;
    RequestSession &m_session;
};

// One variable of SeiteFenster(i).Mitschnitt: made from the current
// request's Mitschnitt when read; a script's write stands until the next
// Senden.
class RequestSession::MitschnittField : public TextField
{
public:
    MitschnittField(const RequestSession &session, MitschnittValue value) : m_session(session), m_value(value) {}
    QString text() const override
    {
        if (m_written)
            return *m_written;
        const Transcript &t = *m_session.m_transcript;
        switch (m_value) {
        case MitschnittValue::Gesendet: return t.gesendetText();
        case MitschnittValue::Empfangen: return t.empfangenText();
        case MitschnittValue::Zeiten: return t.zeitenText();
        case MitschnittValue::Ankuenfte: return t.ankuenfteText();
        case MitschnittValue::Meldung: return t.meldungText();
        case MitschnittValue::Tls: return t.tlsText();
        case MitschnittValue::Dekodiert: return t.dekodiertText();
        }
        return QString();
    }
    void setText(const QString &text) override { m_written = text; }
    void forget() { m_written.reset(); }

private:
    const RequestSession &m_session;
    MitschnittValue m_value;
    std::optional<QString> m_written;
};

RequestSession::RequestSession(Engine &engine, SeiteModels models, std::unique_ptr<RequestClock> clock,
                               QObject *parent)
    : QObject(parent),
      m_engine(engine),
      m_models(std::move(models)),
      m_clock(clock ? std::move(clock) : makeSystemRequestClock()),
      m_caption(kSenden)
{
    m_clock->setTimeoutHandler([this] { onTimeout(); });
    m_modelSink = std::make_unique<ModelAnswerSink>(m_models, [this] { onHeaderEnded(); });
    m_sink = std::make_unique<TeeSink>(*m_modelSink, *this);
    m_parser = std::make_unique<AnswerParser>(*m_sink);
    for (auto &model : m_verbindung)
        model = std::make_shared<TextModel>();
    m_lookup = makeSystemHostLookup();
    for (std::size_t i = 0; i < kMitschnittValueCount; ++i)
        m_mitschnitt[i] = std::make_shared<MitschnittField>(*this, MitschnittValue(i));
    makeSocket(Transport::Plain);
}

VerbindungFields RequestSession::verbindungFields() const
{
    VerbindungFields out;
    for (std::size_t i = 0; i < kVerbindungValueCount; ++i)
        out[i] = m_verbindung[i];
    return out;
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

MitschnittFields RequestSession::mitschnittFields() const
{
    MitschnittFields out;
    for (std::size_t i = 0; i < kMitschnittValueCount; ++i)
        out[i] = m_mitschnitt[i];
    return out;
}

void RequestSession::record(TranscriptEvent event)
{
    m_transcript->addEvent(event, m_clock->nanoseconds());
}

void RequestSession::noteTls()
{
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket))
        m_transcript->setTls(tlsDetailLines(ssl->sslConfiguration(), ssl->isEncrypted()));
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
    if (m_requestState != 0)
        record(TranscriptEvent::Gestoppt);
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
    m_transcript->setMeldung(reason);
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
            record(TranscriptEvent::Verbunden);
            m_tcpConnected = true;
            watchSocket();
        });
        connect(ssl, &QSslSocket::encrypted, this, [this] {
            record(TranscriptEvent::Tls);
            noteTls();
        });
        connect(ssl, &QSslSocket::encrypted, this, &RequestSession::onConnected);
        connect(ssl, &QSslSocket::sslErrors, this, &RequestSession::onCertificateErrors);
        m_socket = ssl;
    } else {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, [this] { record(TranscriptEvent::Verbunden); });
        connect(m_socket, &QTcpSocket::connected, this, &RequestSession::onConnected);
    }
    connect(m_socket, &QTcpSocket::hostFound, this, [this] {
        // A literal address is no name that was resolved.
        if (m_literalHost)
            return;
        record(TranscriptEvent::Aufgeloest);
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 n) {
        const qint64 before = m_written;
        m_written += n;
        if (before < m_transcript->sent().size() && m_written >= m_transcript->sent().size())
            record(TranscriptEvent::Gesendet);
    });
    m_socket->setObjectName(QStringLiteral("Winsock1"));
    // Straight to the host the user typed, never through a proxy.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    connect(m_socket, &QTcpSocket::readyRead, this, &RequestSession::onDataArrival);
    connect(m_socket, &QTcpSocket::disconnected, this, &RequestSession::onPeerClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &RequestSession::onSocketError);
}

void RequestSession::connectSocket(const ConnectionPlan &plan, const QString &host, quint16 port)
{
    // A literal address is no name that was resolved.
    m_literalHost = !QHostAddress(host).isNull();
    auto *ssl = qobject_cast<QSslSocket *>(m_socket);
    if (!ssl) {
        m_socket->connectToHost(host, port);
        return;
    }
    // Fresh for every connection: the socket is kept between requests, and
    // a CA or client certificate of the last one must not stay with it.
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setAllowedNextProtocols({QByteArray(QSslConfiguration::NextProtocolHttp1_1)});
    if (!plan.caCertificates.isEmpty())
        config.setCaCertificates(plan.caCertificates);
    if (plan.identity && !plan.identity->isNull()) {
        config.setLocalCertificateChain(QList<QSslCertificate>{plan.identity->certificate} + plan.identity->chain);
        config.setPrivateKey(plan.identity->key);
    }
    ssl->setSslConfiguration(config);
    ssl->setPeerVerifyMode(m_transport == Transport::TlsUnverified ? QSslSocket::VerifyNone
                                                                   : QSslSocket::VerifyPeer);
    // The Server text's host is the name sent for SNI and the name the
    // certificate must carry, wherever the socket connects.
    ssl->connectToHostEncrypted(host, port, plan.peerName);
}

void RequestSession::lookUpAndConnect(const ConnectionPlan &plan, quint16 port)
{
    const quint64 serial = m_connectSerial;
    const QHostAddress literal(plan.connectTo);
    const bool named = literal.isNull();
    auto connectToFirst = [this, plan, port, serial, named](const QList<QHostAddress> &addresses) {
        if (m_shutDown || serial != m_connectSerial || m_requestState == 0)
            return;
        if (named && !addresses.isEmpty())
            record(TranscriptEvent::Aufgeloest);
        for (const QHostAddress &a : addresses) {
            if (a.protocol() == plan.family) {
                connectSocket(plan, a.toString(), port);
                return;
            }
        }
        showFailure(familyProblem(plan.family, plan.connectTo, !addresses.isEmpty()));
    };
    if (!literal.isNull())
        connectToFirst({literal});
    else
        m_lookup->lookUp(plan.connectTo, this, connectToFirst);
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
    m_handshakeErrorText.clear();
    ++m_connectSerial;
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

    // The Mitschnitt of this request, from now until the next Senden.
    m_transcript = std::make_shared<Transcript>(
        m_clock->nanoseconds(), serverTarget(server).host.toString() + QLatin1Char(':') + portText);
    for (const auto &field : m_mitschnitt)
        field->forget();
    m_written = 0;

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
    ConnectionPlan plan;
    if (problem.isEmpty()) {
        VerbindungTexts texts;
        texts.ca = m_verbindung[std::size_t(VerbindungValue::Ca)]->text();
        texts.zertifikat = m_verbindung[std::size_t(VerbindungValue::Zertifikat)]->text();
        texts.schluessel = m_verbindung[std::size_t(VerbindungValue::Schluessel)]->text();
        texts.passwort = m_verbindung[std::size_t(VerbindungValue::Passwort)]->text();
        texts.adresse = m_verbindung[std::size_t(VerbindungValue::Adresse)]->text();
        texts.ip = m_verbindung[std::size_t(VerbindungValue::Ip)]->text();
        plan = planConnection(target, texts, m_settings.trustedCertificates);
        problem = plan.problem;
    }
    const quint16 port = problem.isEmpty() ? quint16(*requestPort(portText)) : 0;
    const bool lookUpFirst = problem.isEmpty() && plan.family != QAbstractSocket::AnyIPProtocol;
    if (problem.isEmpty()) {
        makeSocket(target.transport);
        // Each notification takes what the system holds, up to a bound that
        // keeps a fast server on a busy machine from piling tens of megabytes
        // into one arrival; the engine hands all of it on before it returns.
        // The socket is kept between requests, and the last body made it small.
        m_socket->setReadBufferSize(kReadBufferSize);
        m_transport = target.transport;
        // The socket may report success or failure from inside the call;
        // both are taken up once the engine has entered state 1.
        m_inSend = true;
        if (!lookUpFirst)
            connectSocket(plan, plan.connectTo, port);
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
    else if (lookUpFirst)
        lookUpAndConnect(plan, port);
}

void RequestSession::stopAction(RequestEnd how)
{
    record(how == RequestEnd::Closed    ? TranscriptEvent::Geschlossen
           : how == RequestEnd::Stopped ? TranscriptEvent::Gestoppt
                                        : TranscriptEvent::Timeout);
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
    m_transcript->addSent(request);
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
    // of the event loop. First Qt's buffer, always emptied, since no
    // notification comes for what stays in it: while it is one block, as
    // after a plain socket's notification, the read hands the block over
    // without a copy; a TLS socket's buffer never is (it decrypts 4 KiB at a
    // time), so its read copies, into pages made in one call. Then, for a
    // plain socket's body, what the system holds beyond it (header lines
    // cost far more per byte), bounded in bytes and in time, so a server
    // that never pauses cannot keep the event loop, and with it Stopp and
    // the paints, waiting.
    const bool copies = qobject_cast<QSslSocket *>(m_socket) != nullptr;
    const auto began = std::chrono::steady_clock::now();
    for (qint64 taken = 0;;) {
        QByteArray piece;
        const qint64 waiting = m_socket->bytesAvailable();
        if (waiting > 0 && copies) {
            piece = QByteArray(waiting, Qt::Uninitialized);
            populatePages(piece.data(), std::size_t(waiting));
            piece.truncate(std::max<qint64>(0, m_socket->read(piece.data(), waiting)));
        } else if (waiting > 0) {
            piece = m_socket->read(waiting);
        } else if (!copies && !m_parser->inHeader() && taken < kArrivalBudget
                   && std::chrono::steady_clock::now() - began < kArrivalTime) {
            piece = readReceived();
        }
        if (piece.isEmpty())
            return;
        taken += piece.size();
        m_transcript->addArrival(m_clock->nanoseconds(), piece);
        emit arrived(piece.size());
        m_modelSink->holdPiece(piece);
        m_parser->feed(piece);
        m_modelSink->holdPiece(QByteArray());
        if (m_shutDown || m_ownClose)
            return;
    }
}

QByteArray RequestSession::readReceived()
{
    // Only what is there is taken: the end of the stream and any error stay
    // in the socket for Qt to report as it always does.
    const int fd = int(m_socket->socketDescriptor());
    int held = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &held) != 0 || held <= 0)
        return {};
    const qint64 wanted = std::min<qint64>(held, kReadBufferSize);
    QByteArray piece(wanted, Qt::Uninitialized);
    populatePages(piece.data(), std::size_t(wanted));
    const ssize_t got = ::recv(fd, piece.data(), std::size_t(wanted), MSG_DONTWAIT);
    piece.truncate(got > 0 ? qsizetype(got) : 0);
    return piece;
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
    // The Mitschnitt that ends here names why, for whoever takes it at its end.
    if (!reason.isEmpty())
        m_transcript->setMeldung(reason);
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
        m_handshakeErrorText = m_socket->errorString();
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
    QString reason = socketErrorReason(error);
    if (m_connected && m_transport != Transport::Plain) {
        const QString refusal = clientCertificateRefusal(m_socket->errorString());
        if (!refusal.isEmpty())
            reason = refusal;
    }
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
    noteTls();
    m_certificateProblem = certificateProblem(errors);
    showFailure(m_certificateProblem);
}

bool RequestSession::tlsHandshaking() const
{
    return m_tcpConnected && !m_connected;
}

QString RequestSession::tlsProblem() const
{
    return m_certificateProblem.isEmpty() ? handshakeProblem(m_handshakeError, m_handshakeErrorText)
                                         : m_certificateProblem;
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
    // From here on the body is read past Qt's buffer (readReceived); Qt's
    // part stays small, in memory its allocator reuses, instead of blocks
    // whose pages fault in one at a time.
    if (!qobject_cast<QSslSocket *>(m_socket))
        m_socket->setReadBufferSize(kBodyReadBufferSize);
    record(TranscriptEvent::HeaderEnde);
    setCaption(QStringLiteral("Stop"));
    emit headerEnded();
}

} // namespace varnok
