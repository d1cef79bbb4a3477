// SPDX-License-Identifier: GPL-3.0-or-later
#include "requestcomposer.h"

#include "common/conventions.h"

#include <QHostAddress>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace varnok {

namespace {

// "Name: value" and CR LF, the name being the field's header in the table.
void headerLine(QString &out, SeiteField field, QStringView value)
{
    out += seiteField(field).header;
    out += u": ";
    out += value;
    out += u"\r\n";
}

// The scheme in any letter case; only ASCII letters count as the same
// letter in another case.
bool startsWithScheme(QStringView text, QStringView scheme)
{
    if (text.size() < scheme.size())
        return false;
    for (qsizetype i = 0; i < scheme.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + (u'a' - u'A'));
        if (c != scheme[i].unicode())
            return false;
    }
    return true;
}

} // namespace

QStringView connectHostOf(QStringView host)
{
    // Brackets are how a URL writes an IPv6 address beside a port; a name
    // lookup of the bracketed text would find nothing.
    if (host.size() > 2 && host.startsWith(u'[') && host.endsWith(u']')) {
        const QStringView inside = host.sliced(1, host.size() - 2);
        // The address parser forgives blanks around the address; a text
        // with a blank is a name, as it always was.
        const bool blank = std::any_of(inside.begin(), inside.end(), [](QChar c) { return c.unicode() <= u' '; });
        QHostAddress address;
        if (!blank && address.setAddress(inside.toString()) && address.protocol() == QAbstractSocket::IPv6Protocol)
            return inside;
    }
    return host;
}

ServerTarget serverTarget(QStringView serverText)
{
    constexpr std::pair<QStringView, Transport> kSchemes[] = {
        {u"http://", Transport::Plain},
        {u"https://", Transport::Tls},
        {u"https+unsicher://", Transport::TlsUnverified},
    };
    ServerTarget target{Transport::Plain, serverText, serverText};
    for (const auto &[scheme, transport] : kSchemes) {
        if (startsWithScheme(serverText, scheme)) {
            target.transport = transport;
            target.host = serverText.sliced(scheme.size());
            break;
        }
    }
    target.connectHost = connectHostOf(target.host);
    return target;
}

RequestFields::RequestFields()
{
    for (std::size_t i = 0; i < kRequestFieldCount; ++i)
        m_texts[i] = kSeiteFields[i].defaultText.toString();
}

QString composeRequestText(const RequestFields &f)
{
    using F = SeiteField;
    qsizetype size = 512;
    for (std::size_t i = 0; i < kRequestFieldCount; ++i)
        size += f[F(i)].size();
    QString out;
    out.reserve(size);
    out += f[F::Befehl];
    out += u"\r\n";
    if (!f[F::Referer].isEmpty())
        headerLine(out, F::Referer, f[F::Referer]);
    headerLine(out, F::Accept, f[F::Accept].isEmpty() ? QStringView(u"*/*") : QStringView(f[F::Accept]));
    if (!f[F::AcceptLanguage].isEmpty())
        headerLine(out, F::AcceptLanguage, f[F::AcceptLanguage]);
    if (!f[F::AcceptEncoding].isEmpty())
        headerLine(out, F::AcceptEncoding, f[F::AcceptEncoding]);
    headerLine(out, F::UserAgent, f[F::UserAgent]);
    out += seiteField(F::Server).header;
    out += u": ";
    out += serverTarget(f[F::Server]).host;
    if (!f[F::Port].isEmpty()) {
        out += u':';
        out += f[F::Port];
    }
    out += u"\r\n";
    const QString &body = f[F::Anhang];
    if (!body.isEmpty()) {
        // encodeCp1252 writes exactly one byte per UTF-16 unit (a character
        // outside the table becomes one '?'), so the unit count is the byte
        // count of the body on the wire.
        out += u"Content-Length: ";
        out += integerText(body.size());
        out += u"\r\n";
        headerLine(out, F::ContentType, f[F::ContentType]);
    }
    if (!f[F::Range].isEmpty())
        headerLine(out, F::Range, f[F::Range]);
    out += u"Connection: Close\r\n\r\n";
    out += body;
    return out;
}

QByteArray composeRequest(const RequestFields &fields)
{
    return encodeCp1252(composeRequestText(fields));
}

std::optional<qint32> requestPort(QStringView portText)
{
    return toInt32(numericValue(portText));
}

QString connectProblem(QStringView server, QStringView portText)
{
    if (serverTarget(server).host.isEmpty())
        return QStringLiteral("Kein Server angegeben");
    const std::optional<qint32> port = requestPort(portText);
    if (!port || *port < 1 || *port > 65535)
        return QStringLiteral("Ungültiger Port");
    return {};
}

QString socketErrorReason(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("Verbindung abgelehnt");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("Server nicht gefunden");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("Netzwerk nicht erreichbar");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("Zeitüberschreitung beim Verbinden");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("Verbindung vom Server getrennt");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("Zugriff verweigert");
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("Zu wenige Systemressourcen");
    case QAbstractSocket::UnsupportedSocketOperationError:
        return QStringLiteral("Adresse nicht unterstützt");
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("Adresse schon belegt");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("Adresse nicht verfügbar");
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return QStringLiteral("Proxy-Fehler");
    default:
        return QStringLiteral("Verbindungsfehler");
    }
}

namespace {

QString certificateReason(QSslError::SslError error)
{
    switch (error) {
    case QSslError::SelfSignedCertificate:
        return QStringLiteral("selbst signiert");
    case QSslError::SelfSignedCertificateInChain:
        return QStringLiteral("Kette endet in einem selbst signierten Zertifikat");
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
        return QStringLiteral("Aussteller unbekannt");
    case QSslError::CertificateExpired:
        return QStringLiteral("abgelaufen");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("noch nicht gültig");
    case QSslError::HostNameMismatch:
        return QStringLiteral("für einen anderen Namen ausgestellt");
    case QSslError::CertificateRevoked:
        return QStringLiteral("widerrufen");
    case QSslError::CertificateUntrusted:
    case QSslError::CertificateRejected:
        return QStringLiteral("nicht für diesen Zweck vertrauenswürdig");
    case QSslError::NoPeerCertificate:
        return QStringLiteral("Server zeigt kein Zertifikat");
    default:
        return QStringLiteral("ungültig");
    }
}

} // namespace

QString certificateProblem(const QList<QSslError> &errors)
{
    QStringList reasons;
    for (const QSslError &e : errors) {
        const QString r = certificateReason(e.error());
        if (!reasons.contains(r))
            reasons << r;
    }
    if (reasons.isEmpty())
        reasons << certificateReason(QSslError::UnspecifiedError);
    return QStringLiteral("Zertifikat nicht vertrauenswürdig: ") + reasons.join(QStringLiteral(", "));
}

QString clientCertificateRefusal(QStringView libraryText)
{
    if (libraryText.contains(u"certificate required", Qt::CaseInsensitive))
        return QStringLiteral("Server verlangt ein Client-Zertifikat");
    static constexpr QStringView kRefused[] = {u"alert bad certificate", u"alert unknown ca",
                                               u"alert certificate unknown", u"alert unsupported certificate",
                                               u"alert certificate revoked", u"alert certificate expired",
                                               u"alert access denied"};
    for (QStringView r : kRefused)
        if (libraryText.contains(r, Qt::CaseInsensitive))
            return QStringLiteral("Client-Zertifikat vom Server abgelehnt");
    return {};
}

QString handshakeProblem(QAbstractSocket::SocketError error, QStringView libraryText)
{
    const QString refusal = clientCertificateRefusal(libraryText);
    if (!refusal.isEmpty())
        return QStringLiteral("TLS-Handshake fehlgeschlagen: ") + refusal;
    // OpenSSL's reasons when the two sides have no protocol version in
    // common: the server's alert, or a version the client does not speak.
    static constexpr QStringView kVersionReasons[] = {
        u"protocol version", u"unsupported protocol", u"no protocols available", u"version too low"};
    for (QStringView r : kVersionReasons)
        if (libraryText.contains(r, Qt::CaseInsensitive))
            return QStringLiteral("TLS-Version vom Server nicht unterstützt: Varnok spricht TLS 1.2 und 1.3");
    // The commonest cause is a port where no TLS server listens.
    QString reason;
    switch (error) {
    case QAbstractSocket::SslHandshakeFailedError:
        reason = QStringLiteral("keine gültige TLS-Antwort");
        break;
    case QAbstractSocket::RemoteHostClosedError:
        reason = QStringLiteral("Verbindung vom Server getrennt");
        break;
    case QAbstractSocket::SslInternalError:
        reason = QStringLiteral("interner TLS-Fehler");
        break;
    default:
        reason = socketErrorReason(error);
        break;
    }
    return QStringLiteral("TLS-Handshake fehlgeschlagen: ") + reason + QStringLiteral(" (Port richtig?)");
}

} // namespace varnok
