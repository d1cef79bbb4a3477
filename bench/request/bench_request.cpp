// Time until a request window's Status is "0" with a whole 20 MiB answer in
// its output box, beside curl fetching the same answer from the same server
// in the same run, and the window process's peak memory; then the same over
// TLS (https+unsicher://, a certificate made by the openssl program for this
// run) beside plain TCP.
//
//   bench_request [MiB] [runs]
//
// The servers are forked child processes on 127.0.0.1, so their copies of
// the body do not count towards the window's memory.

#include "common/textmodel.h"
#include "interpreter/engine.h"
#include "objects/windowobjects.h"
#include "request/outputview.h"
#include "request/seitewindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace varnok;

namespace {

std::vector<char> makeAnswer(size_t bodySize, bool binary)
{
    std::string header = "HTTP/1.1 200 OK\r\nServer: bench\r\nContent-Type: "
                         + std::string(binary ? "application/octet-stream" : "text/plain")
                         + "\r\nContent-Length: " + std::to_string(bodySize)
                         + "\r\nConnection: close\r\n\r\n";
    std::vector<char> out(header.begin(), header.end());
    out.reserve(header.size() + bodySize);
    std::mt19937 rng(42);
    for (size_t i = 0; i < bodySize; ++i) {
        if (binary)
            out.push_back(char(rng() & 0xFF));
        else
            out.push_back(i % 80 == 78 ? '\r' : i % 80 == 79 ? '\n' : char('a' + rng() % 26));
    }
    return out;
}

// Serves `answer` to every connection after reading its request header.
[[noreturn]] void serve(int listenFd, const std::vector<char> &answer)
{
    for (;;) {
        const int c = accept(listenFd, nullptr, nullptr);
        if (c < 0)
            continue;
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = read(c, buf, sizeof buf);
            if (n <= 0)
                break;
            request.append(buf, size_t(n));
        }
        size_t sent = 0;
        while (sent < answer.size()) {
            const ssize_t n = write(c, answer.data() + sent, answer.size() - sent);
            if (n <= 0)
                break;
            sent += size_t(n);
        }
        shutdown(c, SHUT_WR);
        while (read(c, buf, sizeof buf) > 0) {
        }
        close(c);
    }
}

long currentRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The same over TLS, with Qt's own TLS server in the child process.
[[noreturn]] void serveTls(int listenFd, const std::vector<char> &answer, const QString &certFile,
                           const QString &keyFile)
{
    int argc = 1;
    char name[] = "tls-server";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QFile certIn(certFile), keyIn(keyFile);
    if (!certIn.open(QIODevice::ReadOnly) || !keyIn.open(QIODevice::ReadOnly))
        std::_Exit(1);
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(QSslCertificate(certIn.readAll(), QSsl::Pem));
    config.setPrivateKey(QSslKey(keyIn.readAll(), QSsl::Ec, QSsl::Pem));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    QSslServer server;
    server.setSslConfiguration(config);
    if (!server.setSocketDescriptor(listenFd))
        std::_Exit(1);
    const QByteArray bytes = QByteArray::fromRawData(answer.data(), qsizetype(answer.size()));
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket *c = server.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(c, &QTcpSocket::readyRead, c, [c, request, bytes] {
                const bool had = request->contains("\r\n\r\n");
                *request += c->readAll();
                if (had || !request->contains("\r\n\r\n"))
                    return;
                c->write(bytes);
                c->disconnectFromHost();
            });
            QObject::connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
        }
    });
    app.exec();
    std::_Exit(0);
}

struct Server {
    pid_t pid = -1;
    quint16 port = 0;
};

// Listens on 127.0.0.1 and hands the socket to `serveIn`, run in a child.
template <typename Serve>
Server startServer(Serve serveIn)
{
    Server s;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
        std::perror("server");
        std::exit(1);
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    s.port = ntohs(addr.sin_port);
    s.pid = fork();
    if (s.pid == 0)
        serveIn(fd);
    close(fd);
    return s;
}

void stopServer(const Server &s)
{
    kill(s.pid, SIGTERM);
    waitpid(s.pid, nullptr, 0);
}

// The same window fetches `url` (`runs` times) beside curl; prints a row.
struct Measure
{
    SeiteWindow &window;
    Engine &engine;
    size_t bodySize;
    int runs;
    bool ok = true;

    double row(const char *name, const QString &server, quint16 port, const QStringList &curlArgs,
               const QString &url)
    {
        window.model(u"Text1")->setText(server);
        window.model(u"Text2")->setText(QString::number(port));
        std::vector<double> curlMs, ownMs;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            const int rc = QProcess::execute(QStringLiteral("curl"), curlArgs + QStringList{url});
            curlMs.push_back(t.nsecsElapsed() / 1e6);
            if (rc != 0)
                std::printf("curl failed (%d)\n", rc);

            t.start();
            window.Command1_Click();
            while (window.requestState() != 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            ownMs.push_back(t.nsecsElapsed() / 1e6);
            const QString status = engine.GetValueByPath(u"SeiteFenster(1).Status", {}, 0);
            const qsizetype got = window.model(u"Text10")->text().size();
            if (status != u"0" || got != qsizetype(bodySize)) {
                std::printf("incomplete: Status %s, %lld of %zu body characters\n",
                            qPrintable(status), (long long)got, bodySize);
                ok = false;
            }
            // The answer is on screen, not only in the model.
            window.outputView()->viewport()->repaint();
        }
        const double c = median(curlMs), o = median(ownMs);
        std::printf("%-8s %12.1f %12.1f %7.1fx\n", name, c, o, o / c);
        return o;
    }
};

// A self-signed certificate and its key for 127.0.0.1 in `dir`.
bool makeCertificate(const QString &dir)
{
    const std::string cmd =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
        " -subj /CN=127.0.0.1 -keyout '" + dir.toStdString() + "/key.pem' -out '"
        + dir.toStdString() + "/cert.pem' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const size_t bodySize = size_t(mib) * 1024 * 1024;

    // The answers are made and the servers started before Qt starts any
    // thread in this process, so the forks copy a single-threaded process.
    QTemporaryDir certDir;
    const bool tls = certDir.isValid() && makeCertificate(certDir.path());
    std::vector<char> textAnswer = makeAnswer(bodySize, false);
    const Server textServer = startServer([&](int fd) { serve(fd, textAnswer); });
    std::vector<char> binaryAnswer = makeAnswer(bodySize, true);
    const Server binaryServer = startServer([&](int fd) { serve(fd, binaryAnswer); });
    Server tlsServer;
    if (tls)
        tlsServer = startServer([&](int fd) {
            serveTls(fd, binaryAnswer, certDir.filePath(QStringLiteral("cert.pem")),
                     certDir.filePath(QStringLiteral("key.pem")));
        });
    const size_t answerSize = textAnswer.size();
    // The parent no longer needs its copies.
    std::vector<char>().swap(textAnswer);
    std::vector<char>().swap(binaryAnswer);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NullHost host;
    Engine engine(host);
    SeiteWindow window(engine);
    window.resize(700, 620);
    window.show();
    window.setIndex(1);
    RegisterSeiteFenster(engine.root(), 1, window.fields());
    engine.setWindowStatus(u"SeiteFenster", 1, u"0");
    QCoreApplication::processEvents();
    const long baseRss = currentRssKb();

    std::printf("answer: %d MiB body (%zu bytes with header), %d runs each, median shown\n", mib,
                answerSize, runs);
    std::printf("%-8s %12s %12s %8s\n", "body", "curl ms", "Varnok ms", "ratio");
    Measure m{window, engine, bodySize, runs};
    const QStringList curlArgs = {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null")};
    const auto url = [](const char *scheme, quint16 port) {
        return QStringLiteral("%1://127.0.0.1:%2/").arg(QLatin1StringView(scheme)).arg(port);
    };
    m.row("text", QStringLiteral("127.0.0.1"), textServer.port, curlArgs, url("http", textServer.port));
    const double plain = m.row("binary", QStringLiteral("127.0.0.1"), binaryServer.port, curlArgs,
                               url("http", binaryServer.port));
    const long peak = peakRssKb();
    std::printf("peak RSS %.1f MiB (%.1fx the body); before the first request %.1f MiB\n",
                peak / 1024.0, peak * 1024.0 / double(bodySize), baseRss / 1024.0);

    if (!tls || !QSslSocket::supportsSsl()) {
        std::printf("TLS: not measured (no openssl program or no TLS backend)\n");
    } else {
        const double overTls = m.row("tls", QStringLiteral("https+unsicher://127.0.0.1"), tlsServer.port,
                                     curlArgs + QStringList{QStringLiteral("-k")},
                                     url("https", tlsServer.port));
        std::printf("TLS beside plain TCP (binary body): %.1fx\n", overTls / plain);
        stopServer(tlsServer);
    }

    stopServer(textServer);
    stopServer(binaryServer);
    return m.ok ? 0 : 1;
}
