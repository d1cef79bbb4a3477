#pragma once
// The request a request window sends: composed from the texts of its input
// fields, exactly as typed, one Windows-1252 byte per character.

#include <QAbstractSocket>
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

namespace varnok {

// The input fields of a request window; the defaults are what a new window
// shows.
struct RequestFields
{
    QString server = QStringLiteral("localhost");                 // Text1
    QString port = QStringLiteral("80");                          // Text2
    QString befehl = QStringLiteral("GET / HTTP/1.1");            // Text3
    QString referer;                                              // Text4
    QString range;                                                // Text12
    QString accept = QStringLiteral(                              // Text5
        "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
        "application/vnd.ms-powerpoint, application/msword, */*");
    QString acceptLanguage = QStringLiteral("de");                // Text6
    QString acceptEncoding = QStringLiteral("gzip, deflate");     // Text7
    QString userAgent = QStringLiteral(                           // Text8
        "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0; COM+ 1.0.2204)");
    QString anhang;                                               // Text9, the body
    QString contentType = QStringLiteral("application/x-www-form-urlencoded"); // Text11
};

// The request as text (CR LF line ends, header end, then the body).
QString composeRequestText(const RequestFields &fields);
// The same as the bytes that go on the wire.
QByteArray composeRequest(const RequestFields &fields);

// The port a Port text names: its numeric value, rounded half to even.
// Nothing when the value has no 32-bit integer form.
std::optional<qint32> requestPort(QStringView portText);

// Why a connection cannot even be attempted (empty server, port outside
// 1..65535), as the German text the status label shows; empty when the
// connect call may go ahead.
QString connectProblem(QStringView server, QStringView portText);

// The short German reason the status label shows for a socket error.
QString socketErrorReason(QAbstractSocket::SocketError error);

} // namespace varnok
