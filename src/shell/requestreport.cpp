// SPDX-License-Identifier: GPL-3.0-or-later
#include "requestreport.h"

#include "common/fileaccess.h"
#include "request/requestsession.h"

#include <QDir>

#include <memory>

namespace varnok {

RequestReport::RequestReport(std::function<void(const QString &)> printError, QString folder, QObject *parent)
    : QObject(parent), m_printError(std::move(printError)), m_folder(std::move(folder))
{
}

QString RequestReport::fileName(int index, int k) const
{
    return QDir(m_folder).filePath(QStringLiteral("seite-%1-%2.txt").arg(index).arg(k));
}

void RequestReport::watch(int index, RequestSession *sessionPointer)
{
    RequestSession &session = *sessionPointer;
    // The reasons said since the session's last Senden.
    auto said = std::make_shared<QSet<QString>>();
    connect(&session, &RequestSession::started, this, [said] { said->clear(); });
    connect(&session, &RequestSession::failed, this, [this, said, index, s = &session](const QString &reason) {
        if (said->contains(reason))
            return;
        said->insert(reason);
        m_printError(QStringLiteral("varnok-run: Seite %1: %2 (%3)\n").arg(index).arg(reason, s->target()));
    });
    if (!m_folder.isEmpty())
        connect(&session, &RequestSession::ended, this, [this, index, s = &session] { write(index, *s); });
}

void RequestReport::write(int index, const RequestSession &session)
{
    const int k = ++m_written[index];
    const QString name = fileName(index, k);
    QByteArray text = QStringLiteral("== Info: Seite %1, Anfrage %2\n").arg(index).arg(k).toUtf8();
    text += session.transcript()->traceText();
    if (!replaceRegularFile(name, text) && !m_writeFailed) {
        m_writeFailed = true;
        m_printError(QStringLiteral("varnok-run: Mitschnitt kann nicht geschrieben werden: %1\n").arg(name));
    }
}

} // namespace varnok
