// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request engine of one request window, without any widget: the
// socket (plain TCP or TLS), the request composed from the window's input
// fields, the answer split into its answer fields, the 60-second timeout
// with its retry, the request state 0..3 and the reasons a connection
// fails. It publishes the window's Status through the engine and tells
// whoever listens what happens; the window shows the caption and the status
// label it reports and presses its toggle, as the script window drives its
// RunControl.
//
//   RequestSession session(engine, models);   // the window's text models
//   session.setIndex(3);                      // the Tag: SeiteFenster(3).Status
//   connect(&session, &RequestSession::captionChanged, button, &QPushButton::setText);
//   session.toggle();                         // Command1_Click
//   ...
//   session.shutDown();                       // the window closes
//
// Everything runs on the thread that owns the object; the listeners are
// called from inside the engine's handlers and must not destroy it.

#include "objects/verbindungfields.h"
#include "request/answerparser.h"
#include "request/connectionsettings.h"
#include "request/hostlookup.h"
#include "request/receptionwatch.h"
#include "request/requestclock.h"
#include "request/requestcomposer.h"
#include "request/transcript.h"
#include "objects/windowobjects.h"

#include <QAbstractSocket>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

class QTcpSocket;

namespace varnok {

class Engine;
class TextModel;

// How one request came to its end.
enum class RequestEnd {
    Closed,  // the server closed (or broke) the connection
    Stopped, // Stopp, by the button or a script
    Timeout, // no data for the timeout's interval; a new request follows
};

// Where and how a window connects, beside what its fields say. Kept per
// window and used from the next Senden on.
struct ConnectionSettings
{
    // Certificates that https:// checks against instead of the system's
    // store (empty: the system's store).
    QList<QSslCertificate> trustedCertificates;
};

class RequestSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 60000;

    // `models` are the window's text models, one per field; the engine
    // reads the input fields and writes the answer fields. Without a clock
    // it uses the system's.
    RequestSession(Engine &engine, SeiteModels models, std::unique_ptr<RequestClock> clock = nullptr,
                   QObject *parent = nullptr);
    ~RequestSession() override;

    // The window's index (its Tag); Status is published only with one.
    void setIndex(int index) { m_index = index; }
    int index() const { return m_index; }

    // The Send/Stop toggle (Command1_Click): sends when the caption reads
    // "Senden", stops otherwise.
    void toggle();
    // The window goes: the connection and the timer end at once, nothing
    // is published or reported any more, every call is ignored.
    void shutDown();
    bool isShutDown() const { return m_shutDown; }

    // 0 idle, 1 connecting or request sent, 2 header, 3 data.
    int requestState() const { return m_requestState; }
    // The Send/Stop button's caption, the toggle's state: "Senden",
    // "Stopp", "Stop" after the answer's header.
    const QString &caption() const { return m_caption; }
    // The status label's text.
    const QString &statusLabel() const { return m_statusLabel; }

    void setTimeoutInterval(int ms) { m_timeoutMs = ms; }
    int timeoutInterval() const { return m_timeoutMs; }
    RequestClock &clock() { return *m_clock; }

    void setSettings(ConnectionSettings settings) { m_settings = std::move(settings); }
    const ConnectionSettings &settings() const { return m_settings; }
    // The texts of SeiteFenster(i).Verbindung (CA, Zertifikat, Schluessel,
    // Passwort, Adresse, IP), owned here; read at every Senden.
    const std::shared_ptr<TextModel> &verbindung(VerbindungValue value) const
    {
        return m_verbindung[std::size_t(value)];
    }
    VerbindungFields verbindungFields() const;
    // How names are looked up when IP limits the address family (the
    // system's resolver unless a test gives another).
    void setHostLookup(std::unique_ptr<HostLookup> lookup) { m_lookup = std::move(lookup); }
    // The TLS details of the current request (since the last Senden), once
    // its handshake got as far as the server's certificate: the lines of
    // Mitschnitt.TLS, as tlsDetailLines makes them; empty before that and
    // for plain requests.
    const QStringList &tlsDetails() const { return m_transcript->tlsLines(); }
    // Where the open connection's socket is named, for a script run that
    // waits in a loop (the main window's yield).
    void setReceptionWatch(std::weak_ptr<ReceptionWatch> watch) { m_watch = std::move(watch); }

    const SeiteModels &models() const { return m_models; }
    // The input fields' texts as they are now.
    RequestFields requestFields() const;

    // The Mitschnitt of the current request (since the last Senden; an
    // empty one before the first). A new one is made at every Senden, so
    // one taken here stays as it was when its request is over.
    std::shared_ptr<const Transcript> transcript() const { return m_transcript; }
    // What the variables of SeiteFenster(i).Mitschnitt read: the current
    // request's Mitschnitt, or what a script wrote until the next Senden.
    MitschnittFields mitschnittFields() const;
    // The target of the current request as its failure line names it,
    // "HOST:PORT" (the host without its scheme, the port as typed).
    const QString &target() const { return m_transcript->target(); }

signals:
    void statusLabelChanged(const QString &text);
    void captionChanged(const QString &caption);
    // The Send action has run: a new request, state 1.
    void started();
    // The connection is up (for TLS: the handshake is done) and the request
    // is about to be composed.
    void connected();
    // The request was handed to the socket, `bytes` long.
    void requestWritten(qint64 bytes);
    // Answer bytes were handed to the parser.
    void arrived(qint64 bytes);
    void headerEnded();
    void ended(RequestEnd how);
    // The status label shows why the connection cannot be made or broke.
    void failed(const QString &reason);

private:
    class TeeSink;
    class MitschnittField;

    void sendAction();
    void stopAction(RequestEnd how);
    void setStatus(QStringView value);
    void setStatusLabel(const QString &text);
    void showFailure(const QString &reason);
    void setCaption(const QString &caption);
    void restartTimer();

    void makeSocket(Transport transport);
    void connectSocket(const ConnectionPlan &plan, const QString &host, quint16 port);
    void lookUpAndConnect(const ConnectionPlan &plan, quint16 port);
    void closeSocket();
    void watchSocket();
    void stopWatching();
    bool tlsHandshaking() const;
    QString tlsProblem() const;
    void onConnected();
    void onCertificateErrors(const QList<QSslError> &errors);
    void onDataArrival();
    // What a plain socket's system buffer holds beyond Qt's own, read straight
    // into fresh pages: Qt's read would fault them in one at a time.
    QByteArray readReceived();
    void onPeerClosed();
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeout();
    void onHeaderEnded();
    void record(TranscriptEvent event);
    void noteTls();

    Engine &m_engine;
    SeiteModels m_models;
    std::unique_ptr<RequestClock> m_clock;
    int m_timeoutMs = kTimeoutMs;
    int m_index = 0;
    int m_requestState = 0;
    QString m_caption;
    QString m_statusLabel;
    bool m_shutDown = false;
    bool m_connected = false;    // the current connection was established (TLS: encrypted)
    bool m_tcpConnected = false; // TLS: the TCP connection under the handshake is up
    Transport m_transport = Transport::Plain;
    QString m_certificateProblem; // why the server's certificate was refused
    QAbstractSocket::SocketError m_handshakeError = QAbstractSocket::RemoteHostClosedError;
    QString m_handshakeErrorText; // the TLS library's words for it
    ConnectionSettings m_settings;
    std::array<std::shared_ptr<TextModel>, kVerbindungValueCount> m_verbindung;
    std::unique_ptr<HostLookup> m_lookup;
    quint64 m_connectSerial = 0; // counts connection attempts; a late lookup of an old one is dropped
    int m_ownClose = 0;        // >0 while the engine closes its own socket
    bool m_inSend = false;     // inside the Send action's connect call
    bool m_connectedDuringSend = false;
    QString m_errorDuringSend;
    QString m_reasonAfterStop; // why an established connection broke
    std::weak_ptr<ReceptionWatch> m_watch;
    qintptr m_watched = -1;    // the socket named to m_watch

    std::shared_ptr<Transcript> m_transcript = std::make_shared<Transcript>();
    qint64 m_written = 0;
    bool m_literalHost = false; // the host is an address, not a name to resolve      // bytes of the request the socket has written
    std::array<std::shared_ptr<MitschnittField>, kMitschnittValueCount> m_mitschnitt;

    std::unique_ptr<ModelAnswerSink> m_modelSink;
    std::unique_ptr<TeeSink> m_sink;
    std::unique_ptr<AnswerParser> m_parser;
    QTcpSocket *m_socket = nullptr; // a child of this object
};

} // namespace varnok
