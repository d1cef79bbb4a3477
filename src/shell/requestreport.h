// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What varnok-run tells about the requests of its request windows: one
// line on standard error when a status label shows why a connection cannot
// be made or broke (once per Senden and reason, so a 60-second retry loop
// says it once a minute), and with a folder, the Mitschnitt of every request
// that ends as a text file seite-N-K.txt there (K counts the requests of
// window N).

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <map>

namespace varnok {

class RequestSession;

class RequestReport : public QObject
{
    Q_OBJECT
public:
    // `printError` writes one line (with its line end) to standard error;
    // `folder` empty writes no files.
    RequestReport(std::function<void(const QString &)> printError, QString folder, QObject *parent = nullptr);

    // Follows request window `index`'s session from now on, until it goes.
    void watch(int index, RequestSession *session);

    // The file of request `k` of window `index`.
    QString fileName(int index, int k) const;

private:
    void write(int index, const RequestSession &session);

    std::function<void(const QString &)> m_printError;
    QString m_folder;
    std::map<int, int> m_written;   // requests written per window index
    bool m_writeFailed = false;     // said once
};

} // namespace varnok
