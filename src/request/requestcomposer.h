#pragma once
// The request a request window sends: composed from the texts of its input
// fields, exactly as typed, one Windows-1252 byte per character.

#include "objects/seitefields.h"

#include <QAbstractSocket>
#include <QByteArray>
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
