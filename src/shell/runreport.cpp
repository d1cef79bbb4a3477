// SPDX-License-Identifier: GPL-3.0-or-later
#include "runreport.h"

#include "common/standardstreams.h"

#include <QDateTime>
#include <QStringList>
#include <QXmlStreamWriter>

namespace varnok {

namespace {

// A description in a test point: "#" would start a directive, a line break
// would end the line, and "\" escapes.
QString tapText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\' || c == u'#')
            out += u'\\';
        out += (c == u'\r' || c == u'\n') ? QChar(u' ') : c;
    }
    return out;
}

// A YAML scalar in double quotes.
QString yamlText(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        if (c.unicode() < 0x20)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + u'"';
}

QString where(const ScriptPlace &place)
{
    if (place.file.isEmpty())
        return {};
    return place.line > 0 ? place.file + u':' + QString::number(place.line) + QStringLiteral(": ")
                          : place.file + QStringLiteral(": ");
}

// XML 1.0 allows neither most control characters nor lone surrogates: a
// script may name a check with any of them.
QString xmlText(const QString &text)
{
    QString out = text;
    for (qsizetype k = 0; k < out.size(); ++k) {
        const char16_t c = out[k].unicode();
        const bool control = c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
        const bool high = QChar::isHighSurrogate(c);
        const bool pairs = high && k + 1 < out.size() && QChar::isLowSurrogate(out[k + 1].unicode());
        if (pairs) {
            ++k;
            continue;
        }
        if (control || high || QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            out[k] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 3);
}

} // namespace

RunReport::RunReport(int tapFd, int fileCount) : m_fd(tapFd), m_subtests(fileCount > 1)
{
    m_clock.start();
    if (m_fd >= 0)
        writeToStream(m_fd, "TAP version 14\n");
}

void RunReport::tap(const QString &line)
{
    if (m_fd < 0 || m_bailedOut)
        return;
    const QString indent = m_subtests && !m_suites.isEmpty() ? QStringLiteral("    ") : QString();
    writeToStream(m_fd, (indent + line + u'\n').toUtf8());
}

void RunReport::tapTestPoint(bool ok, const QString &description, const ScriptPlace *place, int number)
{
    // An empty name leaves the description out rather than end in " - ".
    tap((ok ? QStringLiteral("ok ") : QStringLiteral("not ok ")) + QString::number(number)
        + (description.isEmpty() ? QString() : QStringLiteral(" - ") + tapText(description)));
    if (!ok && place && !place->file.isEmpty()) {
        QStringList yaml{QStringLiteral("  ---"), QStringLiteral("  file: ") + yamlText(place->file)};
        if (place->line > 0)
            yaml << QStringLiteral("  line: ") + QString::number(place->line);
        yaml << QStringLiteral("  ...");
        for (const QString &l : yaml)
            tap(l);
    }
}

void RunReport::beginFile(const QString &name)
{
    if (m_subtests && m_fd >= 0 && !m_bailedOut)
        writeToStream(m_fd, (QStringLiteral("# Subtest: ") + tapText(name) + u'\n').toUtf8());
    Suite suite;
    suite.name = name;
    suite.startedMs = m_clock.elapsed();
    suite.timestamp = QDateTime::currentDateTime().toString(Qt::ISODate);
    m_suites.append(suite);
    m_lastMs = suite.startedMs;
    m_points = 0;
}

void RunReport::check(const QString &name, bool passed, const ScriptPlace &place)
{
    if (m_suites.isEmpty())
        return;
    const qint64 now = m_clock.elapsed();
    m_suites.last().checks.append({name, passed, place, now - m_lastMs});
    m_lastMs = now;
    tapTestPoint(passed, name, &place, ++m_points);
}

void RunReport::consoleLine(const QString &text)
{
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    flat.replace(u'\r', u'\n');
    for (const QString &line : flat.split(u'\n'))
        tap(line.isEmpty() ? QStringLiteral("#") : QStringLiteral("# ") + line);
}

void RunReport::errorBox(const ScriptPlace &place, const QString &title, const QString &text)
{
    if (m_suites.isEmpty())
        return;
    m_suites.last().box = Box{place, title, text};
    const QString what = where(place) + title + QStringLiteral(": ") + text;
    if (m_subtests) {
        tapTestPoint(false, what, &place, ++m_points);
    } else {
        tap(QStringLiteral("Bail out! ") + what);
        m_bailedOut = m_fd >= 0;
    }
}

void RunReport::loadFailure(const QString &message)
{
    if (m_suites.isEmpty())
        return;
    m_suites.last().loadFailure = message;
    if (m_subtests) {
        tapTestPoint(false, message, nullptr, ++m_points);
    } else {
        tap(QStringLiteral("Bail out! ") + message);
        m_bailedOut = m_fd >= 0;
    }
}

void RunReport::endFile()
{
    if (m_suites.isEmpty())
        return;
    Suite &suite = m_suites.last();
    suite.elapsedMs = m_clock.elapsed() - suite.startedMs;
    if (!m_subtests)
        return;
    tap(QStringLiteral("1..") + QString::number(m_points));
    // The file's own test point belongs to the outer list.
    const QString line = (suiteStatus(suite) == 0 ? QStringLiteral("ok ") : QStringLiteral("not ok "))
                         + QString::number(m_suites.size()) + QStringLiteral(" - ") + tapText(suite.name);
    if (m_fd >= 0 && !m_bailedOut)
        writeToStream(m_fd, (line + u'\n').toUtf8());
}

void RunReport::finish()
{
    if (m_fd < 0 || m_bailedOut)
        return;
    const int plan = m_subtests ? int(m_suites.size()) : m_points;
    writeToStream(m_fd, (QStringLiteral("1..") + QString::number(plan) + u'\n').toUtf8());
}

int RunReport::suiteStatus(const Suite &suite)
{
    if (!suite.loadFailure.isEmpty())
        return 2;
    if (suite.box)
        return 1;
    for (const Check &c : suite.checks)
        if (!c.passed)
            return 3;
    return 0;
}

int RunReport::status() const
{
    // 2 > 1 > 3 > 0.
    const auto rank = [](int s) { return s == 2 ? 3 : s == 1 ? 2 : s == 3 ? 1 : 0; };
    int worst = 0;
    for (const Suite &s : m_suites)
        if (rank(suiteStatus(s)) > rank(worst))
            worst = suiteStatus(s);
    return worst;
}

QByteArray RunReport::junitXml() const
{
    int tests = 0, failures = 0, errors = 0;
    qint64 total = 0;
    for (const Suite &s : m_suites) {
        tests += int(s.checks.size()) + (s.box || !s.loadFailure.isEmpty() ? 1 : 0);
        for (const Check &c : s.checks)
            failures += c.passed ? 0 : 1;
        errors += s.box || !s.loadFailure.isEmpty() ? 1 : 0;
        total += s.elapsedMs;
    }
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("varnok-run"));
    w.writeAttribute(QStringLiteral("tests"), QString::number(tests));
    w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    w.writeAttribute(QStringLiteral("errors"), QString::number(errors));
    w.writeAttribute(QStringLiteral("time"), seconds(total));
    for (const Suite &s : m_suites) {
        int sFailures = 0;
        for (const Check &c : s.checks)
            sFailures += c.passed ? 0 : 1;
        const bool error = s.box || !s.loadFailure.isEmpty();
        w.writeStartElement(QStringLiteral("testsuite"));
        w.writeAttribute(QStringLiteral("name"), xmlText(s.name));
        w.writeAttribute(QStringLiteral("tests"), QString::number(s.checks.size() + (error ? 1 : 0)));
        w.writeAttribute(QStringLiteral("failures"), QString::number(sFailures));
        w.writeAttribute(QStringLiteral("errors"), QString::number(error ? 1 : 0));
        w.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("time"), seconds(s.elapsedMs));
        w.writeAttribute(QStringLiteral("timestamp"), s.timestamp);
        const auto testcase = [&](const QString &name, const ScriptPlace &place, qint64 ms) {
            w.writeStartElement(QStringLiteral("testcase"));
            w.writeAttribute(QStringLiteral("name"), xmlText(name));
            w.writeAttribute(QStringLiteral("classname"), xmlText(s.name));
            if (!place.file.isEmpty())
                w.writeAttribute(QStringLiteral("file"), xmlText(place.file));
            if (place.line > 0)
                w.writeAttribute(QStringLiteral("line"), QString::number(place.line));
            w.writeAttribute(QStringLiteral("time"), seconds(ms));
        };
        for (const Check &c : s.checks) {
            testcase(c.name, c.place, c.elapsedMs);
            if (!c.passed) {
                w.writeStartElement(QStringLiteral("failure"));
                w.writeAttribute(QStringLiteral("message"), xmlText(QStringLiteral("Prüfung fehlgeschlagen: ") + c.name));
                w.writeAttribute(QStringLiteral("type"), QStringLiteral("Main.Test.Pruefe"));
                w.writeCharacters(xmlText(where(c.place) + c.name));
                w.writeEndElement();
            }
            w.writeEndElement();
        }
        if (s.box) {
            const QString message = s.box->title + QStringLiteral(": ") + s.box->text;
            testcase(message, s.box->place, 0);
            w.writeStartElement(QStringLiteral("error"));
            w.writeAttribute(QStringLiteral("message"), xmlText(message));
            w.writeAttribute(QStringLiteral("type"), xmlText(s.box->title));
            w.writeCharacters(xmlText(where(s.box->place) + message));
            w.writeEndElement();
            w.writeEndElement();
        } else if (!s.loadFailure.isEmpty()) {
            testcase(s.loadFailure, ScriptPlace{s.name, 0}, 0);
            w.writeStartElement(QStringLiteral("error"));
            w.writeAttribute(QStringLiteral("message"), xmlText(s.loadFailure));
            w.writeAttribute(QStringLiteral("type"), QStringLiteral("Laden"));
            w.writeEndElement();
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

} // namespace varnok
