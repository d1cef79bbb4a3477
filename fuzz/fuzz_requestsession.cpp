// SPDX-License-Identifier: GPL-3.0-or-later
// The request engine against a server that does anything in any order: it
// accepts or not, sends arbitrary pieces, closes, half-closes, resets or
// stays silent, while the engine's clock jumps over timeouts and the
// toggle is pressed at any moment. After every event the engine must be
// consistent with itself and with what really crossed the wire.
//
// Input: a script of events, one byte each (low four bits the event, the
// high bit: go on at once, without letting the sockets settle first), some
// followed by a parameter byte:
//   0 toggle (Senden/Stopp)       6 server reads what arrived
//   1 server accepts              7 P: the clock moves on by P × 500 ms
//   2 L B…: server sends L bytes  8 silence: the event loop turns
//   3 server half-closes (FIN)    9 Port names a port that refuses / the server's
//   4 server resets (RST)        10 the window closes (shutDown)
//   5 server closes its socket   11 P: the timeout interval becomes (P + 1) × 500 ms
// Server events act on the newest connection the server accepted.
//
// The server is a plain POSIX socket on 127.0.0.1, non-blocking and driven
// from this thread; every connection of an input ends with a reset, so no
// socket is left in TIME_WAIT.

#include "fuzzcheck.h"

#include "request/sessionfixture.h"

#include "request/answerparser.h"
#include "request/requestcomposer.h"

#include <QCoreApplication>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

using namespace varnok;

namespace {

constexpr int kMaxEvents = 256;

int nonBlockingSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    FUZZ_CHECK(fd >= 0);
    return fd;
}

sockaddr_in loopback(quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

quint16 boundPort(int fd)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    FUZZ_CHECK(::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0);
    return ntohs(a.sin_port);
}

// Closes with RST: nothing stays behind in TIME_WAIT.
void resetClose(int fd)
{
    const linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

// One accepted connection, as the server side saw it.
struct Connection
{
    int fd = -1;
    quint16 peerPort = 0; // the engine's end
    QByteArray sent;      // what the server handed to the system
    QByteArray received;  // what the server read
    bool writeShut = false;
    bool reset = false; // ended with RST: bytes in flight may be lost
    bool open() const { return fd >= 0; }
};

// The server of one process: a listening socket and a bound one that does
// not listen (connections to it are refused, and no one else can take its
// port while it stays bound).
class Server
{
public:
    Server()
    {
        m_listener = nonBlockingSocket();
        sockaddr_in a = loopback(0);
        FUZZ_CHECK(::bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0);
        FUZZ_CHECK(::listen(m_listener, 1024) == 0);
        port = boundPort(m_listener);
        m_refuser = nonBlockingSocket();
        FUZZ_CHECK(::bind(m_refuser, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0);
        refusedPort = boundPort(m_refuser);
    }

    quint16 port = 0;
    quint16 refusedPort = 0;
    std::vector<Connection> connections;

    void acceptAll()
    {
        for (;;) {
            sockaddr_in a{};
            socklen_t len = sizeof a;
            const int fd = ::accept4(m_listener, reinterpret_cast<sockaddr *>(&a), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                return;
            Connection c;
            c.fd = fd;
            c.peerPort = ntohs(a.sin_port);
            connections.push_back(c);
        }
    }

    Connection *newest()
    {
        for (auto it = connections.rbegin(); it != connections.rend(); ++it)
            if (it->open())
                return &*it;
        return nullptr;
    }

    Connection *byPeerPort(quint16 peerPort)
    {
        // The latest: a port may come again once its connection is gone.
        for (auto it = connections.rbegin(); it != connections.rend(); ++it)
            if (it->peerPort == peerPort)
                return &*it;
        return nullptr;
    }

    void send(Connection &c, QByteArrayView bytes)
    {
        if (c.writeShut || bytes.isEmpty())
            return;
        const ssize_t n = ::send(c.fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (n > 0)
            c.sent += bytes.first(n);
    }

    void read(Connection &c)
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            c.received.append(buffer, n);
        }
    }

    void halfClose(Connection &c)
    {
        ::shutdown(c.fd, SHUT_WR);
        c.writeShut = true;
    }

    void close(Connection &c)
    {
        // Unread bytes make the system answer a close with RST, not FIN.
        int unread = 0;
        if (::ioctl(c.fd, FIONREAD, &unread) == 0 && unread > 0)
            c.reset = true;
        ::close(c.fd);
        c.fd = -1;
    }

    void reset(Connection &c)
    {
        resetClose(c.fd);
        c.fd = -1;
        c.reset = true;
    }

    // Ends every connection of an input, those still waiting to be
    // accepted too.
    void clear()
    {
        acceptAll();
        for (Connection &c : connections)
            if (c.open())
                resetClose(c.fd);
        connections.clear();
    }

private:
    int m_listener = -1;
    int m_refuser = -1;
};

Server &server()
{
    static Server s;
    return s;
}

bool isAnswerField(const SeiteFieldRow &row)
{
    return row.node == SeiteNode::Output || row.field == SeiteField::Text;
}

// The fields the engine writes (the input fields are the user's), in
// field order.
QStringList answerTexts(const SeiteModels &models)
{
    QStringList texts;
    for (const SeiteFieldRow &row : kSeiteFields)
        if (isAnswerField(row))
            texts << models[row.field]->text();
    return texts;
}

// The answer fields a fresh parser writes from the same received bytes, cut
// as they arrived.
QStringList referenceFields(const Transcript &t)
{
    SeiteModels models;
    for (auto &m : models.items)
        m = std::make_shared<TextModel>();
    ModelAnswerSink sink(models, [] {});
    AnswerParser parser(sink);
    for (const Transcript::Arrival &a : t.arrivals())
        parser.feed(a.bytes);
    return answerTexts(models);
}

class Run
{
public:
    Run()
    {
        Server &srv = server();
        m_setup.set(SeiteField::Server, QStringLiteral("127.0.0.1"));
        m_setup.set(SeiteField::Port, QString::number(srv.port));

        RequestSession &s = *m_setup.session;
        QObject::connect(&s, &RequestSession::started, &m_context, [this] {
            activity();
            m_started = true;
            m_requestWritten = false;
            m_closedByPeer = false;
            m_enginePort = 0;
            m_arrivedBytes = 0;
            observe();
            FUZZ_CHECK(m_observed.back() == 1);
        });
        QObject::connect(&s, &RequestSession::connected, &m_context, [this] {
            activity();
            // The connection the request goes out on: its local port names
            // the server's end. The request is made from the fields as they
            // are now.
            m_request = composeRequest(m_setup.session->requestFields());
            if (QTcpSocket *socket = clientSocket()) {
                m_enginePort = socket->localPort();
                m_requestOn[m_enginePort] = m_request;
            }
        });
        QObject::connect(&s, &RequestSession::requestWritten, &m_context, [this](qint64 n) {
            activity();
            m_requestWritten = true;
            FUZZ_CHECK(n == m_request.size());
        });
        QObject::connect(&s, &RequestSession::arrived, &m_context, [this](qint64 n) {
            activity();
            FUZZ_CHECK(n > 0);
            m_arrivedBytes += n;
            observe();
            FUZZ_CHECK(m_observed.back() == 2 || m_observed.back() == 3);
        });
        QObject::connect(&s, &RequestSession::headerEnded, &m_context, [this] { activity(); });
        QObject::connect(&s, &RequestSession::ended, &m_context, [this](RequestEnd how) {
            activity();
            if (how == RequestEnd::Closed)
                m_closedByPeer = true;
            observe();
            FUZZ_CHECK(m_observed.back() == 0);
        });
        QObject::connect(&s, &RequestSession::failed, &m_context, [this](const QString &reason) {
            activity();
            FUZZ_CHECK(!reason.isEmpty());
        });
        QObject::connect(&s, &RequestSession::statusLabelChanged, &m_context, [this](const QString &) { activity(); });
        QObject::connect(&s, &RequestSession::captionChanged, &m_context, [this](const QString &) { activity(); });
    }

    ~Run() { server().clear(); }

    void play(QByteArrayView input)
    {
        qsizetype pos = 0;
        auto param = [&]() -> unsigned { return pos < input.size() ? static_cast<unsigned char>(input[pos++]) : 0; };
        for (int events = 0; pos < input.size() && events < kMaxEvents; ++events) {
            const unsigned byte = static_cast<unsigned char>(input[pos++]);
            const bool hurry = byte & 0x80;
            Server &srv = server();
            Connection *c = srv.newest();
            switch (byte & 0x0F) {
            case 0:
                m_setup.session->toggle();
                break;
            case 1:
                srv.acceptAll();
                break;
            case 2: {
                // The length byte is read first: it moves `pos`, and
                // arguments are evaluated in no fixed order.
                const qsizetype wanted = param();
                const qsizetype n = std::min<qsizetype>(wanted, input.size() - pos);
                if (c)
                    srv.send(*c, input.sliced(pos, n));
                pos += n;
                break;
            }
            case 3:
                if (c)
                    srv.halfClose(*c);
                break;
            case 4:
                if (c)
                    srv.reset(*c);
                break;
            case 5:
                if (c)
                    srv.close(*c);
                break;
            case 6:
                if (c)
                    srv.read(*c);
                break;
            case 7:
                m_setup.clock->advance(qint64(param()) * 500);
                break;
            case 8:
                break;
            case 9:
                m_refused = !m_refused;
                m_setup.set(SeiteField::Port, QString::number(m_refused ? srv.refusedPort : srv.port));
                break;
            case 10:
                closeWindow();
                break;
            case 11:
                m_setup.session->setTimeoutInterval(int(param() + 1) * 500);
                break;
            default:
                break;
            }
            if (!hurry)
                settle();
            check();
            if (m_trace)
                trace(byte);
        }
        closeWindow();
        settle();
        check();
    }

private:
    // One line per event, for a person looking at a finding.
    void trace(unsigned byte)
    {
        const RequestSession &s = *m_setup.session;
        const Connection *c = server().newest();
        std::fprintf(stderr, "%3u: Zustand %d, %s, \"%s\", empfangen %lld, Rückgabe \"%s\", Server: %zu Verbindungen, zuletzt %lld gesendet, %lld gelesen\n",
                     byte, s.requestState(), qPrintable(s.caption()), qPrintable(s.statusLabel()),
                     static_cast<long long>(s.transcript()->receivedSize()),
                     qPrintable(m_setup.text(SeiteField::Rueckgabe)), server().connections.size(),
                     c ? static_cast<long long>(c->sent.size()) : -1LL,
                     c ? static_cast<long long>(c->received.size()) : -1LL);
    }

    void activity()
    {
        FUZZ_CHECK(!m_shutDown); // nothing is reported once the window is gone
        ++m_activity;
    }

    QTcpSocket *clientSocket() const { return m_setup.session->findChild<QTcpSocket *>(); }

    // The published Status, which must be the engine's own state.
    void observe()
    {
        const QString published = m_setup.status();
        const int state = m_setup.session->requestState();
        FUZZ_CHECK(published == QString::number(state));
        const int last = m_observed.empty() ? 0 : m_observed.back();
        // Forward one step at a time; back to 0 from anywhere (Stopp, the
        // peer's close, the timeout before its retry).
        FUZZ_CHECK(state == last || state == 0 || state == last + 1);
        m_observed.push_back(state);
    }

    // Lets the event loop run until the engine has taken up what the
    // server did: until nothing happens for a few turns, and longer while
    // bytes the server sent on the engine's connection are still on the way.
    void settle()
    {
        int quiet = 0;
        for (int turn = 0; turn < 400 && quiet < 3; ++turn) {
            const quint64 before = m_activity;
            QCoreApplication::processEvents();
            if (m_activity != before || bytesOnTheWay() || connecting()) {
                quiet = 0;
                if (m_activity == before)
                    ::poll(nullptr, 0, 0);
            } else {
                ++quiet;
            }
        }
    }

    // The engine's connection, as the server accepted it.
    Connection *engineConnection()
    {
        return m_enginePort ? server().byPeerPort(m_enginePort) : nullptr;
    }

    bool bytesOnTheWay()
    {
        const Connection *c = engineConnection();
        if (!c || c->reset || m_setup.session->requestState() == 0)
            return false;
        return m_setup.session->transcript()->receivedSize() < c->sent.size();
    }

    bool connecting()
    {
        const QTcpSocket *socket = m_shutDown ? nullptr : clientSocket();
        return socket && m_setup.session->requestState() == 1
            && (socket->state() == QAbstractSocket::ConnectingState
                || socket->state() == QAbstractSocket::HostLookupState);
    }

    QStringList answerFields() const { return answerTexts(m_setup.models); }

    void closeWindow()
    {
        if (m_shutDown)
            return;
        m_setup.session->shutDown();
        m_shutDown = true;
        FUZZ_CHECK(!m_setup.clock->timerActive());
        // Whatever the engine would publish from now on would overwrite this.
        m_setup.engine.setWindowStatus(u"SeiteFenster", 1, u"geschlossen");
        m_fieldsAtClose = answerFields();
    }

    void check()
    {
        RequestSession &s = *m_setup.session;
        const Transcript &t = *s.transcript();
        if (m_shutDown) {
            FUZZ_CHECK(m_setup.status() == u"geschlossen");
            FUZZ_CHECK(answerFields() == m_fieldsAtClose);
        } else {
            observe();
            const int state = s.requestState();
            FUZZ_CHECK((state == 0) == (s.caption() == u"Senden"));
            // A request under way always has its timeout coming: a silent
            // server cannot hold the window for ever.
            FUZZ_CHECK(state == 0 || s.clock().timerActive());
        }

        // What went out is the request the fields make, once, whole.
        FUZZ_CHECK(t.sent() == (m_requestWritten ? m_request : QByteArray()));
        for (const Connection &c : server().connections) {
            const auto it = m_requestOn.find(c.peerPort);
            FUZZ_CHECK(it == m_requestOn.end() ? c.received.isEmpty() : it->second.startsWith(c.received));
        }

        // What came in is what the server sent, in order, nothing twice.
        FUZZ_CHECK(t.receivedSize() == m_arrivedBytes);
        const QByteArray received = t.received();
        if (const Connection *c = engineConnection()) {
            FUZZ_CHECK(c->sent.startsWith(received));
            // Bytes that came before the server's FIN are all part of the
            // answer the close ended.
            if (m_closedByPeer && !c->reset && (c->writeShut || !c->open()))
                FUZZ_CHECK(received == c->sent);
        } else if (m_enginePort == 0) {
            FUZZ_CHECK(received.isEmpty());
        }

        // The answer fields are what a fresh parser makes of those bytes.
        // (Made again only when more arrived.)
        if (m_started) {
            const auto transcript = s.transcript();
            if (transcript != m_referenceOf || t.arrivals().size() != m_referenceArrivals) {
                m_reference = referenceFields(t);
                m_referenceOf = transcript;
                m_referenceArrivals = t.arrivals().size();
            }
            FUZZ_CHECK(answerFields() == m_reference);
        }
    }

    test::SessionSetup m_setup;
    QObject m_context;
    QByteArray m_request; // of the current request, once connected
    std::map<quint16, QByteArray> m_requestOn; // by the engine's local port
    quint16 m_enginePort = 0; // of the current request's connection
    bool m_closedByPeer = false; // the current request ended by the server's close
    bool m_started = false;
    QStringList m_reference; // what a fresh parser made of the received bytes
    std::shared_ptr<const Transcript> m_referenceOf;
    size_t m_referenceArrivals = 0;
    std::vector<int> m_observed;
    QStringList m_fieldsAtClose;
    quint64 m_activity = 0;
    qint64 m_arrivedBytes = 0;
    bool m_requestWritten = false;
    bool m_refused = false;
    bool m_shutDown = false;
    const bool m_trace = qEnvironmentVariableIsSet("VARNOK_FUZZ_TRACE");
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_requestsession";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    server();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Run run;
    run.play(QByteArrayView(data, qsizetype(size)));
    return 0;
}
