// SPDX-License-Identifier: GPL-3.0-or-later
#include "headlessdialogs.h"

#include "common/standardstreams.h"

namespace varnok {

QString HeadlessDialogs::line(const QString &title, const QString &text)
{
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return title + QStringLiteral(": ") + flat;
}

void HeadlessDialogs::message(QObject *, const QString &title, const QString &text)
{
    const QString where = m_location ? m_location() : QString();
    m_lastHadLocation = !where.isEmpty();
    const QString prefix = where.isEmpty() ? QString() : where + QStringLiteral(": ");
    const QByteArray bytes = (prefix + line(title, text) + QLatin1Char('\n')).toUtf8();
    writeToStream(m_fd, bytes);
    if (m_observer)
        m_observer(title, text);
}

void HeadlessDialogs::scriptErrorMessage(QObject *parent, const QString &title, const QString &text,
                                         const ErrorPlace &place)
{
    message(parent, title, text);
    if (m_detailPrefix.isEmpty())
        return;
    ErrorPlace shown = place;
    if (m_lastHadLocation)
        shown.line = 0; // "FILE:LINE:" stands before the box already
    const QStringList parts = shown.parts();
    if (parts.isEmpty())
        return;
    QString flat = parts.join(QStringLiteral("; "));
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    writeToStream(m_fd, (m_detailPrefix + flat + QLatin1Char('\n')).toUtf8());
}

bool HeadlessDialogs::askYesNo(QObject *parent, const QString &title, const QString &text)
{
    message(parent, title, text);
    return false;
}

std::optional<QString> HeadlessDialogs::openFile(QObject *, const FileDialogSettings &)
{
    return std::nullopt;
}

std::optional<QString> HeadlessDialogs::saveFile(QObject *, const FileDialogSettings &)
{
    return std::nullopt;
}

} // namespace varnok
