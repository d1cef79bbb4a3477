// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes a request window puts on the wire, field by field.
#include "request/requestcomposer.h"

#include <QTest>

using namespace varnok;

namespace {

QByteArray lines(std::initializer_list<const char *> ls)
{
    QByteArray out;
    for (const char *l : ls) {
        out += l;
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

constexpr const char *kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*";
constexpr const char *kUserAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0; COM+ 1.0.2204)";

int port(QStringView text)
{
    return requestPort(text).value_or(-1);
}

} // namespace

class TestRequestCompose : public QObject
{
    Q_OBJECT
private slots:
    void defaults()
    {
        QCOMPARE(composeRequest(RequestFields{}),
                 lines({"GET / HTTP/1.1", kAccept, "Accept-Language: de",
                        "Accept-Encoding: gzip, deflate", kUserAgent, "Host: localhost:80",
                        "Connection: Close"}));
    }

    void emptyAcceptSendsWildcard()
    {
        RequestFields f;
        f[SeiteField::Accept].clear();
        QVERIFY(composeRequest(f).contains("\r\nAccept: */*\r\n"));
    }

    void emptyUserAgentLineStillSent()
    {
        RequestFields f;
        f[SeiteField::UserAgent].clear();
        QVERIFY(composeRequest(f).contains("\r\nUser-Agent: \r\nHost: "));
    }

    void emptyOptionalHeadersLeftOut()
    {
        RequestFields f;
        f[SeiteField::AcceptLanguage].clear();
        f[SeiteField::AcceptEncoding].clear();
        QCOMPARE(composeRequest(f),
                 lines({"GET / HTTP/1.1", kAccept, kUserAgent, "Host: localhost:80",
                        "Connection: Close"}));
    }

    void emptyPortHostWithoutColon()
    {
        RequestFields f;
        f[SeiteField::Port].clear();
        QVERIFY(composeRequest(f).contains("\r\nHost: localhost\r\nConnection: Close\r\n\r\n"));
        QCOMPARE(port(f[SeiteField::Port]), 0);
    }

    void port8080()
    {
        RequestFields f;
        f[SeiteField::Server] = QStringLiteral("example.test");
        f[SeiteField::Port] = QStringLiteral("8080");
        QVERIFY(composeRequest(f).contains("\r\nHost: example.test:8080\r\n"));
        QCOMPARE(port(f[SeiteField::Port]), 8080);
    }

    void portAsTypedInHostLine()
    {
        // The Host line carries the text, the connection its number.
        RequestFields f;
        f[SeiteField::Port] = QStringLiteral(" 8080x");
        QVERIFY(composeRequest(f).contains("\r\nHost: localhost: 8080x\r\n"));
        QCOMPARE(port(f[SeiteField::Port]), 8080);
        QCOMPARE(port(u"80.5"), 80); // half to even
        QCOMPARE(port(u"81.5"), 82);
        QCOMPARE(port(u"abc"), 0);
        QCOMPARE(port(u"1E300"), -1);
    }

    void bodyWithLengthAndType()
    {
        RequestFields f;
        f[SeiteField::Befehl] = QStringLiteral("POST /form HTTP/1.1");
        f[SeiteField::Anhang] = QStringLiteral("a=1&b=2");
        QCOMPARE(composeRequest(f),
                 lines({"POST /form HTTP/1.1", kAccept, "Accept-Language: de",
                        "Accept-Encoding: gzip, deflate", kUserAgent, "Host: localhost:80",
                        "Content-Length: 7", "Content-Type: application/x-www-form-urlencoded",
                        "Connection: Close"})
                     + "a=1&b=2");
    }

    void bodyWithEmptyContentType()
    {
        RequestFields f;
        f[SeiteField::Anhang] = QStringLiteral("x");
        f[SeiteField::ContentType].clear();
        QVERIFY(composeRequest(f).endsWith(
            "Content-Length: 1\r\nContent-Type: \r\nConnection: Close\r\n\r\nx"));
    }

    void twoLineBodyCountsCrLf()
    {
        RequestFields f;
        f[SeiteField::Anhang] = QStringLiteral("abc\r\ndef");
        const QByteArray r = composeRequest(f);
        QVERIFY(r.contains("\r\nContent-Length: 8\r\n"));
        QVERIFY(r.endsWith("\r\n\r\nabc\r\ndef"));
    }

    void noBodyNoContentHeaders()
    {
        RequestFields f;
        f[SeiteField::ContentType] = QStringLiteral("text/plain");
        const QByteArray r = composeRequest(f);
        QVERIFY(!r.contains("Content-Length"));
        QVERIFY(!r.contains("Content-Type"));
    }

    void refererAndRangeOrder()
    {
        RequestFields f;
        f[SeiteField::Referer] = QStringLiteral("http://a.test/");
        f[SeiteField::Range] = QStringLiteral("bytes=0-99");
        QCOMPARE(composeRequest(f),
                 lines({"GET / HTTP/1.1", "Referer: http://a.test/", kAccept,
                        "Accept-Language: de", "Accept-Encoding: gzip, deflate", kUserAgent,
                        "Host: localhost:80", "Range: bytes=0-99", "Connection: Close"}));
        f[SeiteField::Anhang] = QStringLiteral("q");
        const QByteArray r = composeRequest(f);
        QVERIFY(r.contains("Content-Type: application/x-www-form-urlencoded\r\n"
                           "Range: bytes=0-99\r\nConnection: Close\r\n\r\nq"));
    }

    void embeddedLineBreaksGoOutUnchanged()
    {
        RequestFields f;
        f[SeiteField::Befehl] = QStringLiteral("GET /a HTTP/1.1\r\nX-Eigen: 1");
        f[SeiteField::UserAgent] = QStringLiteral("A\nB");
        const QByteArray r = composeRequest(f);
        QVERIFY(r.startsWith("GET /a HTTP/1.1\r\nX-Eigen: 1\r\nAccept: "));
        QVERIFY(r.contains("\r\nUser-Agent: A\nB\r\n"));
    }

    void emptyBefehlSendsEmptyFirstLine()
    {
        RequestFields f;
        f[SeiteField::Befehl].clear();
        QVERIFY(composeRequest(f).startsWith("\r\nAccept: "));
    }

    void windows1252OneBytePerCharacter()
    {
        RequestFields f;
        f[SeiteField::Anhang] = QString::fromUtf8("€ä\xE4\xB8\xAD"); // euro, a-umlaut, a CJK character
        f[SeiteField::Anhang] += QChar(0x81);                       // an unassigned byte's stand-in
        const QByteArray r = composeRequest(f);
        QVERIFY(r.contains("\r\nContent-Length: 4\r\n"));
        QVERIFY(r.endsWith(QByteArray("\r\n\r\n\x80\xE4?\x81")));
    }

    void surrogatePairCountsAsWhatGoesOut()
    {
        RequestFields f;
        f[SeiteField::Anhang] = QString::fromUtf8("\xF0\x9F\x98\x80"); // one emoji, two UTF-16 units
        const QByteArray r = composeRequest(f);
        const QByteArray sent = r.sliced(r.indexOf("\r\n\r\n") + 4);
        QVERIFY(r.contains("\r\nContent-Length: " + QByteArray::number(sent.size()) + "\r\n"));
    }

    void schemes_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("transport");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("connectTo");
        const int plain = int(Transport::Plain), tls = int(Transport::Tls),
                  unverified = int(Transport::TlsUnverified);
        QTest::newRow("none") << "example.test" << plain << "example.test" << "example.test";
        QTest::newRow("http") << "http://example.test" << plain << "example.test" << "example.test";
        QTest::newRow("HTTP") << "HTTP://example.test" << plain << "example.test" << "example.test";
        QTest::newRow("https") << "https://example.test" << tls << "example.test" << "example.test";
        QTest::newRow("HttpS") << "HttpS://example.test" << tls << "example.test" << "example.test";
        QTest::newRow("unsicher") << "https+unsicher://127.0.0.1" << unverified << "127.0.0.1" << "127.0.0.1";
        QTest::newRow("UNSICHER") << "HTTPS+UNSICHER://h" << unverified << "h" << "h";
        QTest::newRow("only scheme") << "https://" << tls << "" << "";
        // Anything else is a host name as typed.
        QTest::newRow("ftp") << "ftp://example.test" << plain << "ftp://example.test" << "ftp://example.test";
        QTest::newRow("one slash") << "https:/example.test" << plain << "https:/example.test" << "https:/example.test";
        QTest::newRow("blank first") << " https://example.test" << plain << " https://example.test" << " https://example.test";
        QTest::newRow("long s") << QString::fromUtf8("http\u017F://x") << plain
                                << QString::fromUtf8("http\u017F://x") << QString::fromUtf8("http\u017F://x");
        // An IPv6 address in brackets connects to the address; the Host
        // line keeps the brackets. Everything else stays a name as typed.
        QTest::newRow("[::1]") << "[::1]" << plain << "[::1]" << "::1";
        QTest::newRow("http [::1]") << "http://[::1]" << plain << "[::1]" << "::1";
        QTest::newRow("https [::1]") << "https://[::1]" << tls << "[::1]" << "::1";
        QTest::newRow("unsicher [2001:db8::7]") << "https+unsicher://[2001:db8::7]" << unverified
                                                << "[2001:db8::7]" << "2001:db8::7";
        QTest::newRow("scope") << "[fe80::1%eth0]" << plain << "[fe80::1%eth0]" << "fe80::1%eth0";
        QTest::newRow("bare ::1") << "::1" << plain << "::1" << "::1";
        QTest::newRow("port inside") << "[::1]:8080" << plain << "[::1]:8080" << "[::1]:8080";
        QTest::newRow("IPv4 in brackets") << "[127.0.0.1]" << plain << "[127.0.0.1]" << "[127.0.0.1]";
        QTest::newRow("name in brackets") << "[localhost]" << plain << "[localhost]" << "[localhost]";
        QTest::newRow("empty brackets") << "[]" << plain << "[]" << "[]";
        QTest::newRow("blank inside") << "[ ::1]" << plain << "[ ::1]" << "[ ::1]";
    }

    void schemes()
    {
        QFETCH(QString, server);
        QFETCH(int, transport);
        QFETCH(QString, host);
        QFETCH(QString, connectTo);
        const ServerTarget t = serverTarget(server);
        QCOMPARE(int(t.transport), transport);
        QCOMPARE(t.host.toString(), host);
        QCOMPARE(t.connectHost.toString(), connectTo);
        // The Host line carries the host after the scheme.
        RequestFields f;
        f[SeiteField::Server] = server;
        QVERIFY(composeRequestText(f).contains(QStringLiteral("\r\nHost: ") + host + QStringLiteral(":80\r\n")));
        QCOMPARE(connectProblem(server, u"80").isEmpty(), !host.isEmpty());
    }

    void tlsReasons()
    {
        const QString refused = certificateProblem(
            {QSslError(QSslError::SelfSignedCertificate), QSslError(QSslError::HostNameMismatch),
             QSslError(QSslError::SelfSignedCertificate)});
        QCOMPARE(refused, QStringLiteral("Zertifikat nicht vertrauenswürdig: selbst signiert, "
                                         "für einen anderen Namen ausgestellt"));
        QVERIFY(handshakeProblem(QAbstractSocket::SslHandshakeFailedError)
                    .startsWith(u"TLS-Handshake fehlgeschlagen: "));
        QVERIFY(handshakeProblem(QAbstractSocket::SslHandshakeFailedError).contains(u"Port"));
        // A server without TLS: OpenSSL reads its HTTP answer as a record
        // of a wrong version, which is not a refused protocol version.
        QCOMPARE(handshakeProblem(QAbstractSocket::SslHandshakeFailedError,
                                  u"error:0A00010B:SSL routines::wrong version number"),
                 QStringLiteral("TLS-Handshake fehlgeschlagen: keine gültige TLS-Antwort (Port richtig?)"));
        const QString version =
            QStringLiteral("TLS-Version vom Server nicht unterstützt: Varnok spricht TLS 1.2 und 1.3");
        QCOMPARE(handshakeProblem(QAbstractSocket::SslHandshakeFailedError,
                                  u"error:0A00042E:SSL routines::tlsv1 alert protocol version"),
                 version);
        QCOMPARE(handshakeProblem(QAbstractSocket::SslHandshakeFailedError,
                                  u"error:0A000102:SSL routines::unsupported protocol"),
                 version);
        // What a server that wants a client certificate says, in TLS 1.3
        // after the handshake, in TLS 1.2 during it.
        QCOMPARE(clientCertificateRefusal(u"error:0A00045C:SSL routines::tlsv13 alert certificate required"),
                 QStringLiteral("Server verlangt ein Client-Zertifikat"));
        QCOMPARE(clientCertificateRefusal(u"error:0A000412:SSL routines::sslv3 alert bad certificate"),
                 QStringLiteral("Client-Zertifikat vom Server abgelehnt"));
        QCOMPARE(clientCertificateRefusal(u"The remote host closed the connection"), QString());
        QCOMPARE(handshakeProblem(QAbstractSocket::SslHandshakeFailedError,
                                  u"error:0A000418:SSL routines::tlsv1 alert unknown ca"),
                 QStringLiteral("TLS-Handshake fehlgeschlagen: Client-Zertifikat vom Server abgelehnt"));
    }

    void connectProblems()
    {
        QCOMPARE(connectProblem(u"localhost", u"80"), QString());
        QCOMPARE(connectProblem(u"", u"80"), QStringLiteral("Kein Server angegeben"));
        QCOMPARE(connectProblem(u"localhost", u""), QStringLiteral("Ungültiger Port"));
        QCOMPARE(connectProblem(u"localhost", u"0"), QStringLiteral("Ungültiger Port"));
        QCOMPARE(connectProblem(u"localhost", u"65536"), QStringLiteral("Ungültiger Port"));
        QCOMPARE(connectProblem(u"localhost", u"-80"), QStringLiteral("Ungültiger Port"));
        QCOMPARE(connectProblem(u"localhost", u"1E300"), QStringLiteral("Ungültiger Port"));
        QCOMPARE(connectProblem(u"localhost", u"65535"), QString());
        QCOMPARE(connectProblem(u"localhost", u"0.6"), QString()); // rounds to 1
    }

    void socketErrorReasons()
    {
        QCOMPARE(socketErrorReason(QAbstractSocket::ConnectionRefusedError),
                 QStringLiteral("Verbindung abgelehnt"));
        QCOMPARE(socketErrorReason(QAbstractSocket::HostNotFoundError),
                 QStringLiteral("Server nicht gefunden"));
        QCOMPARE(socketErrorReason(QAbstractSocket::NetworkError),
                 QStringLiteral("Netzwerk nicht erreichbar"));
        QCOMPARE(socketErrorReason(QAbstractSocket::UnknownSocketError),
                 QStringLiteral("Verbindungsfehler"));
    }
};

QTEST_GUILESS_MAIN(TestRequestCompose)
#include "tst_requestcompose.moc"
