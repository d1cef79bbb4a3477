#include "requestcomposer.h"

#include "common/conventions.h"

namespace varnok {

namespace {

void headerLine(QString &out, QLatin1StringView name, QStringView value)
{
    out += name;
    out += value;
    out += u"\r\n";
}

} // namespace

QString composeRequestText(const RequestFields &f)
{
    QString out;
    out.reserve(512 + f.befehl.size() + f.anhang.size() + f.accept.size() + f.userAgent.size()
                + f.referer.size() + f.range.size() + f.server.size());
    out += f.befehl;
    out += u"\r\n";
    if (!f.referer.isEmpty())
        headerLine(out, QLatin1StringView("Referer: "), f.referer);
    headerLine(out, QLatin1StringView("Accept: "),
               f.accept.isEmpty() ? QStringView(u"*/*") : QStringView(f.accept));
    if (!f.acceptLanguage.isEmpty())
        headerLine(out, QLatin1StringView("Accept-Language: "), f.acceptLanguage);
    if (!f.acceptEncoding.isEmpty())
        headerLine(out, QLatin1StringView("Accept-Encoding: "), f.acceptEncoding);
    headerLine(out, QLatin1StringView("User-Agent: "), f.userAgent);
    out += u"Host: ";
    out += f.server;
    if (!f.port.isEmpty()) {
        out += u':';
        out += f.port;
    }
    out += u"\r\n";
    if (!f.anhang.isEmpty()) {
        // encodeCp1252 writes exactly one byte per UTF-16 unit (a character
        // outside the table becomes one '?'), so the unit count is the byte
        // count of the body on the wire.
        headerLine(out, QLatin1StringView("Content-Length: "), integerText(f.anhang.size()));
        headerLine(out, QLatin1StringView("Content-Type: "), f.contentType);
    }
    if (!f.range.isEmpty())
        headerLine(out, QLatin1StringView("Range: "), f.range);
    out += u"Connection: Close\r\n\r\n";
    out += f.anhang;
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
    if (server.isEmpty())
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

} // namespace varnok
