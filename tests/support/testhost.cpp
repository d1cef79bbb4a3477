#include "testhost.h"

#include "common/conventions.h"

#include <QFile>

namespace varnok::test {

TestHost::TestHost() : m_engine(std::make_unique<Engine>(*this)) {}

void TestHost::yield()
{
    ++yields;
    if (onYield)
        onYield();
}

void TestHost::showMessage(const QString &title, const QString &text)
{
    messages << title + QStringLiteral(": ") + text;
}

bool TestHost::askYesNo(const QString &title, const QString &text)
{
    messages << title + QStringLiteral(": ") + text;
    if (answers.empty())
        return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

int TestHost::openSeiteWindow()
{
    for (int i = 1; i <= 100; ++i) {
        if (m_seite[size_t(i)])
            continue;
        auto w = std::make_unique<FakeSeiteWindow>();
        for (auto *f : {&w->fields.text10, &w->fields.text1, &w->fields.text2, &w->fields.text3,
                        &w->fields.text4, &w->fields.text12, &w->fields.text5, &w->fields.text6,
                        &w->fields.text7, &w->fields.text8, &w->fields.text9, &w->fields.text11,
                        &w->fields.label25, &w->fields.label26, &w->fields.label27,
                        &w->fields.label28, &w->fields.label29, &w->fields.label30,
                        &w->fields.label31, &w->fields.label32, &w->fields.label33,
                        &w->fields.label34, &w->fields.label35, &w->fields.text13})
            *f = std::make_shared<TextModel>();
        RegisterSeiteFenster(m_engine->root(), qint16(i), w->fields);
        m_seite[size_t(i)] = std::move(w);
        m_engine->setWindowStatus(u"SeiteFenster", i, u"0");
        return i;
    }
    return 0;
}

int TestHost::openSkriptWindow()
{
    for (int i = 1; i <= 100; ++i) {
        if (m_skript[size_t(i)])
            continue;
        m_skript[size_t(i)] = std::make_unique<FakeSkriptWindow>();
        RegisterSkriptFenster(m_engine->root(), qint16(i), m_skript[size_t(i)]->text);
        m_engine->setWindowStatus(u"SkriptFenster", i, u"0");
        return i;
    }
    return 0;
}

bool TestHost::isSeiteWindowOpen(int index) const
{
    return index >= 1 && index <= 100 && m_seite[size_t(index)];
}

bool TestHost::isSkriptWindowOpen(int index) const
{
    return index >= 1 && index <= 100 && m_skript[size_t(index)];
}

void TestHost::seiteSenden(int index)
{
    ++m_seite[size_t(index)]->sendClicks;
}

void TestHost::seiteClose(int index)
{
    m_seite[size_t(index)].reset();
    UnregisterSeiteFenster(m_engine->root(), qint16(index));
}

void TestHost::skriptNeu(int index)
{
    m_skript[size_t(index)]->text->setText(QString());
}

bool TestHost::skriptLaden(int index, const QString &fileName)
{
    QFile f(fileName);
    if (fileName.isEmpty() || !f.open(QIODevice::ReadOnly))
        return false;
    m_skript[size_t(index)]->text->setText(decodeCp1252(f.readAll()));
    m_skript[size_t(index)]->loadedFrom = fileName;
    return true;
}

bool TestHost::skriptSpeichern(int index, const QString &fileName)
{
    QFile f(fileName);
    if (fileName.isEmpty() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(encodeCp1252(m_skript[size_t(index)]->text->text() + QStringLiteral("\r\n")));
    return true;
}

void TestHost::skriptAusfuehren(int index)
{
    ausfuehren(index);
}

void TestHost::skriptClose(int index)
{
    if (m_skript[size_t(index)]->running)
        return;
    m_skript[size_t(index)].reset();
    UnregisterSkriptFenster(m_engine->root(), qint16(index));
}

void TestHost::ausfuehren(int index)
{
    FakeSkriptWindow *w = skript(index);
    if (!w)
        return;
    if (w->running) {
        w->runCommand->stop = true;
        return;
    }
    m_engine->setWindowStatus(u"SkriptFenster", index, u"1");
    w->runCommand->stop = false;
    w->running = true;
    w->text->setReadOnly(true);
    m_engine->waitEntry(index).waiting = false;
    RunRef run;
    qint16 level = 0;
    const auto text = w->text;
    const auto cmd = w->runCommand;
    m_engine->RunScript(text, cmd, QString(), run, level, 0, qint16(index));
    if (m_engine->waitEntry(index).waiting) {
        if ((w = skript(index)))
            w->timerOn = true;
        return;
    }
    finishRun(index);
}

void TestHost::finishRun(int index)
{
    if (FakeSkriptWindow *w = skript(index)) {
        w->timerOn = false;
        w->running = false;
        w->text->setReadOnly(false);
    }
    m_engine->setWindowStatus(u"SkriptFenster", index, u"0");
}

void TestHost::tick(int index)
{
    FakeSkriptWindow *w = skript(index);
    if (!w || !w->timerOn)
        return;
    WaitEntry &entry = m_engine->waitEntry(index);
    if (w->runCommand->stop) {
        entry.waiting = false;
        m_engine->ReleaseSkriptObject(entry.run.index);
        finishRun(index);
        return;
    }
    w->timerOn = false; // no second tick while the condition is evaluated
    EvalContext ctx;
    ctx.run = entry.run;
    ctx.textBox = w->text;
    ctx.runCommand = w->runCommand;
    const QString result = m_engine->Evaluate(entry.condition, ctx);
    if (!m_engine->isCurrent(entry.run)) {
        entry.waiting = false;
        finishRun(index);
        return;
    }
    if (numericValue(result) == 0) {
        w->timerOn = true;
        return;
    }
    entry.waiting = false;
    RunRef run = entry.run;
    qint16 level = 0;
    const auto text = w->text;
    const auto cmd = w->runCommand;
    m_engine->RunScript(text, cmd, QString(), run, level, entry.resumePosition, qint16(index));
    if (m_engine->waitEntry(index).waiting) {
        if ((w = skript(index)))
            w->timerOn = true;
        return;
    }
    finishRun(index);
}

void TestHost::runUntilIdle(int maxTicks)
{
    for (int t = 0; t < maxTicks; ++t) {
        bool any = false;
        for (int i = 1; i <= 100; ++i) {
            if (m_skript[size_t(i)] && m_skript[size_t(i)]->timerOn) {
                any = true;
                tick(i);
            }
        }
        if (!any)
            return;
    }
}

QStringList TestHost::runScript(const QString &script, int maxTicks)
{
    if (!skript(1))
        openSkriptWindow();
    skript(1)->text->setText(script);
    ausfuehren(1);
    runUntilIdle(maxTicks);
    return messages;
}

QString lines(std::initializer_list<const char *> rows)
{
    QStringList out;
    for (const char *r : rows)
        out << QString::fromUtf8(r);
    return out.join(QStringLiteral("\r\n"));
}

} // namespace varnok::test
