// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request a request window sends: composed from the texts of its input
// fields, exactly as typed, one Windows-1252 byte per character.

#include "objects/seitefields.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QSslError>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace varnok {

// The texts of a request window's input fields (the first rows of the
// field table); a new one holds the defaults a new window shows.
class RequestFields
{
public:
    RequestFields();

    QString &operator[](SeiteField f) { return m_texts[slot(f)]; }
    const QString &operator[](SeiteField f) const { return m_texts[slot(f)]; }

private:
    static std::size_t slot(SeiteField f)
    {
        Q_ASSERT(std::size_t(f) < kRequestFieldCount);
        return std::size_t(f);
    }
    std::array<QString, kRequestFieldCount> m_texts;
};

// How a request travels, by the scheme the Server text starts with.
enum class Transport {
    Plain,         // no scheme, or http://
    Tls,           // https://: the certificate is checked
    TlsUnverified, // https+unsicher://: any certificate is accepted
};

struct ServerTarget
{
    Transport transport = Transport::Plain;
    QStringView host;        // the text after the scheme: the Host header, the TLS server name
    QStringView connectHost; // where the socket connects: host, an IPv6 literal without its brackets
};

// The scheme (any letter case) and the host of a Server text. A text
// without one of the three schemes is the host itself, for plain TCP. A
// host that is an IPv6 address in brackets ("[::1]", "[fe80::1%eth0]")
// connects to that address; the Host header keeps the brackets.
ServerTarget serverTarget(QStringView serverText);
// Where a host text connects: the address of "[IPv6 address]", otherwise
// the text itself.
QStringView connectHostOf(QStringView host);

// The request as text (CR LF line ends, header end, then the body). The
// Host line carries the Server text without its scheme.
QString composeRequestText(const RequestFields &fields);
// The same as the bytes that go on the wire.
QByteArray composeRequest(const RequestFields &fields);

// The port a Port text names: its numeric value, rounded half to even.
// Nothing when the value has no 32-bit integer form.
std::optional<qint32> requestPort(QStringView portText);

// Why a connection cannot even be attempted (no host after the scheme, port
// outside 1..65535), as the German text the status label shows; empty when
// the connect call may go ahead.
QString connectProblem(QStringView server, QStringView portText);

// The short German reason the status label shows for a socket error.
QString socketErrorReason(QAbstractSocket::SocketError error);

// The status label's text when the certificate of a TLS server is refused:
// "Zertifikat nicht vertrauenswürdig: " and why, every reason once.
QString certificateProblem(const QList<QSslError> &errors);

// The status label's text when a TLS handshake fails for another reason
// than the certificate (the socket error that ended it, and the TLS
// library's own text of it, which tells a refused protocol version from a
// server that speaks no TLS).
QString handshakeProblem(QAbstractSocket::SocketError error, QStringView libraryText = {});

// Why a TLS server refused this client, from the TLS library's text of its
// alert: "Server verlangt ein Client-Zertifikat" or "Client-Zertifikat vom
// Server abgelehnt"; empty for any other text. Over TLS 1.3 a server says
// so only after the handshake, once the request has gone.
QString clientCertificateRefusal(QStringView libraryText);

} // namespace varnok
