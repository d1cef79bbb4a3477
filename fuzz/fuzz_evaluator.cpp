// SPDX-License-Identifier: GPL-3.0-or-later
// The evaluator and the runner: any script text runs to an orderly end on a
// headless host, without a crash or sanitizer report, in bounded time and
// memory, with every run over and every wait ended afterwards.
//
// Input: the bytes of a script file. It is loaded into script window 1 of
// the test host (as Laden would) with script window 2 open beside it, and
// executed with Ausführen through the run control every window uses. Comment
// lines "'@N ACTION W" schedule clicks and timer ticks (see Event).
//
// Files: the process may only write beneath its working folder (see
// sandbox.h); each script runs in the empty folder "box" inside it.

#include "fuzzcheck.h"
#include "sandbox.h"
#include "support/testhost.h"

#include "editor/scriptfile.h"
#include "editor/runcontrol.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VARNOK_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNOK_FUZZ_ASAN 1
#endif
#endif
#ifdef VARNOK_FUZZ_ASAN
// Part of the sanitizer runtime of clang and gcc (gcc ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

using namespace varnok;

namespace {

// Limits of one script: statements (loops end there), wall time and memory
// that its texts may take. Past one of them the run is stopped as with the
// Stopp button; waits get a few ticks before they are ended the same way.
constexpr int kMaxStatements = 3000;
constexpr qint64 kMaxMilliseconds = 1000;
constexpr size_t kMaxHeapGrowth = size_t(32) << 20;
constexpr int kWaitTicks = 50;

// Exit status when the process cannot confine itself (libFuzzer uses 1, 70
// and 77 for its findings).
constexpr int kNoSandbox = 3;

size_t heapInUse()
{
#ifdef VARNOK_FUZZ_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

// The working folder and the script's box inside it, fixed at start-up.
struct Folders
{
    std::filesystem::path work;
    std::filesystem::path box;
};

const Folders &folders()
{
    static const Folders f = [] {
        Folders r;
        r.work = std::filesystem::current_path();
        r.box = r.work / "box";
        return r;
    }();
    return f;
}

// Presses Stopp in every script window whose run has not been asked to
// stop yet.
void stopAll(test::TestHost &host)
{
    for (int i = 1; i <= limits::kWindowsPerKind; ++i)
        if (test::FakeSkriptWindow *w = host.skript(i))
            if (!w->control->isIdle() && !w->control->stopRequested())
                w->control->ausfuehren();
}

// What a person or a timer does while a script yields, written into the
// script as comment lines "'@N ACTION W" (the runner skips them): at the N-th
// yield, press Ausfuehren/Stopp of script window W ("ausfuehren"), let its
// wait timer tick ("tick"), close it ("close"), or close request window W
// ("seiteclose"). These are the events that run inside a yield in the
// application, so runs nest and continue inside each other as they do there.
struct Event
{
    enum class Kind { Ausfuehren, Tick, Close, SeiteClose };
    int atYield;
    Kind kind;
    int window;
};

std::vector<Event> scheduledEvents(QStringView script)
{
    static constexpr std::pair<QStringView, Event::Kind> kNames[] = {
        {u"AUSFUEHREN", Event::Kind::Ausfuehren},
        {u"TICK", Event::Kind::Tick},
        {u"CLOSE", Event::Kind::Close},
        {u"SEITECLOSE", Event::Kind::SeiteClose},
    };
    std::vector<Event> events;
    for (QStringView line : script.tokenize(u'\n')) {
        line = line.trimmed();
        if (!line.startsWith(u"'@") || events.size() >= 64)
            continue;
        const QList<QStringView> words = line.mid(2).split(u' ', Qt::SkipEmptyParts);
        if (words.size() != 3)
            continue;
        bool okYield = false;
        bool okWindow = false;
        const int atYield = words[0].toInt(&okYield);
        const int window = words[2].toInt(&okWindow);
        if (!okYield || !okWindow || window < 1 || window > limits::kWindowsPerKind)
            continue;
        for (const auto &[name, kind] : kNames)
            if (words[1].compare(name, Qt::CaseInsensitive) == 0)
                events.push_back({atYield, kind, window});
    }
    return events;
}

void perform(test::TestHost &host, const Event &e)
{
    switch (e.kind) {
    case Event::Kind::Ausfuehren:
        host.ausfuehren(e.window);
        break;
    case Event::Kind::Tick:
        host.tick(e.window);
        break;
    case Event::Kind::Close:
        if (host.hasSkriptWindow(e.window))
            host.skriptClose(e.window);
        break;
    case Event::Kind::SeiteClose:
        if (host.hasSeiteWindow(e.window))
            host.seiteClose(e.window);
        break;
    }
}

void emptyBox()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directory(folders().box, ec);
    for (const auto &entry : fs::directory_iterator(folders().box, ec))
        fs::remove_all(entry.path(), ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const std::string work = folders().work.string();
    std::string why = fuzz::unfitWorkFolder(work);
    if (why.empty())
        why = fuzz::confineWritesTo(work);
    if (why.empty())
        return 0;
    std::fprintf(stderr, "fuzz_evaluator: Schreibschutz außerhalb von %s nicht möglich: %s\n",
                 work.c_str(), why.c_str());
    // The regression driver feeds only the reviewed files of the repository;
    // generated scripts never run unconfined.
    if (!std::getenv("VARNOK_FUZZ_KNOWN_INPUTS"))
        std::exit(kNoSandbox);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString script =
        decodeScriptFile(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    emptyBox();
    FUZZ_CHECK(::chdir(folders().box.c_str()) == 0);
    {
        test::TestHost host;
        FUZZ_CHECK(host.createSkriptWindow() == 1);
        FUZZ_CHECK(host.createSkriptWindow() == 2);

        QElapsedTimer clock;
        clock.start();
        const size_t heapAtStart = heapInUse();
        int statements = 0;
        bool capped = false;
        const std::vector<Event> events = scheduledEvents(script);
        host.onYield = [&] {
            const int now = ++statements;
            if (!capped)
                for (const Event &e : events)
                    if (e.atYield == now)
                        perform(host, e);
            if (!capped && (statements > kMaxStatements
                            || (statements % 8 == 0
                                && (clock.elapsed() > kMaxMilliseconds
                                    || heapInUse() > heapAtStart + kMaxHeapGrowth))))
                capped = true;
            // Pressed again at every yield: a run started later clears it.
            if (capped)
                stopAll(host);
        };

        host.runScript(script, kWaitTicks);
        capped = true;
        stopAll(host);
        host.runUntilIdle(2);

        // Nothing runs or waits any more, and every run gave its object back.
        for (int i = 1; i <= limits::kWindowsPerKind; ++i) {
            if (const test::FakeSkriptWindow *w = host.skript(i)) {
                FUZZ_CHECK(w->control->isIdle());
                FUZZ_CHECK(!w->running);
                FUZZ_CHECK(!w->timerOn);
            }
            FUZZ_CHECK(!host.engine().waitEntry(i).waiting);
        }
        // A window cannot run twice at once, so fewer than 101 runs live at
        // any time (plus the waiting ones) and take the lowest free indices.
        for (int i = 1; i <= 256; ++i)
            FUZZ_CHECK(!host.engine().SkriptObjectAlive(qint16(i)));
    }
    FUZZ_CHECK(::chdir(folders().work.c_str()) == 0);
    return 0;
}
