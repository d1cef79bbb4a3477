// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// varnok-run's reports on the script files it runs: the checks of
// Main.Test.Pruefe, the error box that ended a run and the files that could
// not be loaded, as a TAP stream (version 14) written while the runs go on
// and as a JUnit XML report written at the end, and the exit status they
// add up to.
//
// With one file the TAP stream is flat; with several, each file is a
// subtest (its lines indented by four blanks) followed by one test point
// for the file. An error box ends one file's run, not the call, so only a
// single file's stream says "Bail out!"; within a subtest the box is a
// failing test point of that file.

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <optional>

namespace varnok {

// Where something happened: the file as named on the command line and the
// line (0 when no statement of that file was executing).
struct ScriptPlace
{
    QString file;
    int line = 0;
};

class RunReport
{
public:
    // `tapFd` < 0: no TAP stream.
    RunReport(int tapFd, int fileCount);

    void beginFile(const QString &name);
    void check(const QString &name, bool passed, const ScriptPlace &place);
    // A line of Main.Konsole.Schreibe: in the TAP stream a comment line
    // ("# …") for each of its lines.
    void consoleLine(const QString &text);
    // The error box that ended the file's run: title ("Fehler 4") and text.
    void errorBox(const ScriptPlace &place, const QString &title, const QString &text);
    void loadFailure(const QString &message);
    void endFile();
    // The plan at the end of the stream.
    void finish();

    // The exit status the files add up to: the worst of 2 (not loaded),
    // 1 (an error box ended the run), 3 (a check failed), 0.
    int status() const;
    QByteArray junitXml() const;

private:
    struct Check
    {
        QString name;
        bool passed = true;
        ScriptPlace place;
        qint64 elapsedMs = 0;
    };
    struct Box
    {
        ScriptPlace place;
        QString title;
        QString text;
    };
    struct Suite
    {
        QString name;
        QList<Check> checks;
        std::optional<Box> box;
        QString loadFailure;
        qint64 startedMs = 0;
        qint64 elapsedMs = 0;
        QString timestamp;
    };
    static int suiteStatus(const Suite &suite);
    void tap(const QString &line);
    void tapTestPoint(bool ok, const QString &description, const ScriptPlace *place, int number);

    int m_fd;
    bool m_subtests;
    QList<Suite> m_suites;
    QElapsedTimer m_clock;
    qint64 m_lastMs = 0;
    int m_points = 0;    // test points of the current file's list
    bool m_bailedOut = false;
};

} // namespace varnok
