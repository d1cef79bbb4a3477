// The native operations behind built-in ids: arithmetic, text, conversion,
// comparison, logic, random numbers, the clock, files, the script object's
// own functions, user-function calls and the window functions.

#include "engine.h"

#include "common/conventions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>

namespace varnok {

namespace {

enum class Id {
    MyIndex, SkriptMyFunktion, UserNewFunction, UserNewArray, UserNewVariable, UserNewShortcut, User,
    Plus, Minus, Mal, Durch, Hoch, Wurzel,
    TextPlus, Left, Right, Mid, Len, LTrim, RTrim, ZTrim, UCase, LCase,
    Chr, Asc,
    Groesser, GroesserGleich, Kleiner, KleinerGleich, Gleich, Ungleich, TextGleich, TextUngleich,
    Und, Oder, Xor, Nicht, Random, Timer,
    FileRead, FileWrite, FileCreate, FileDelete, FileCopy,
    SeiteSenden, SeiteClose, SkriptNeu, SkriptLaden, SkriptSpeichern, SkriptAusfuehren, SkriptClose,
    NewSkriptFenster, NewSeiteFenster,
};

struct Signature
{
    Id id;
    int params; // -1: any number (checked by the operation itself)
};

struct Entry
{
    QLatin1StringView id;
    Signature signature;
};

// Ids in upper case; a call name matches when its upper-cased characters do.
constexpr Entry kBuiltins[] = {
    {QLatin1StringView("MYINDEX"), {Id::MyIndex, 0}},
    {QLatin1StringView("SKRIPTMYFUNKTION"), {Id::SkriptMyFunktion, 0}},
    {QLatin1StringView("SKRIPTUSERNEWFUNCTION"), {Id::UserNewFunction, 2}},
    {QLatin1StringView("SKRIPTUSERNEWARRAY"), {Id::UserNewArray, 1}},
    {QLatin1StringView("SKRIPTUSERNEWVARIABLE"), {Id::UserNewVariable, 1}},
    {QLatin1StringView("SKRIPTUSERNEWSHORTCUT"), {Id::UserNewShortcut, 2}},
    {QLatin1StringView("USER"), {Id::User, -1}},
    {QLatin1StringView("MAINMATHEPLUS"), {Id::Plus, 2}},
    {QLatin1StringView("MAINMATHEMINUS"), {Id::Minus, 2}},
    {QLatin1StringView("MAINMATHEMAL"), {Id::Mal, 2}},
    {QLatin1StringView("MAINMATHEDURCH"), {Id::Durch, 2}},
    {QLatin1StringView("MAINMATHEHOCH"), {Id::Hoch, 2}},
    {QLatin1StringView("MAINMATHEWURZEL"), {Id::Wurzel, 2}},
    {QLatin1StringView("MAINTEXTPLUS"), {Id::TextPlus, 2}},
    {QLatin1StringView("MAINTEXTLEFT"), {Id::Left, 2}},
    {QLatin1StringView("MAINTEXTRIGHT"), {Id::Right, 2}},
    {QLatin1StringView("MAINTEXTMID"), {Id::Mid, 3}},
    {QLatin1StringView("MAINTEXTLEN"), {Id::Len, 1}},
    {QLatin1StringView("MAINTEXTLTRIM"), {Id::LTrim, 1}},
    {QLatin1StringView("MAINTEXTRTRIM"), {Id::RTrim, 1}},
    {QLatin1StringView("MAINTEXTZTRIM"), {Id::ZTrim, 1}},
    {QLatin1StringView("MAINTEXTUCASE"), {Id::UCase, 1}},
    {QLatin1StringView("MAINTEXTLCASE"), {Id::LCase, 1}},
    {QLatin1StringView("MAINCONVERTCHR"), {Id::Chr, 1}},
    {QLatin1StringView("MAINCONVERTASC"), {Id::Asc, 1}},
    {QLatin1StringView("MAINBEDINGUNGMATHEGROESSER"), {Id::Groesser, 2}},
    {QLatin1StringView("MAINBEDINGUNGMATHEGROESSERGLEICH"), {Id::GroesserGleich, 2}},
    {QLatin1StringView("MAINBEDINGUNGMATHEKLEINER"), {Id::Kleiner, 2}},
    {QLatin1StringView("MAINBEDINGUNGMATHEKLEINERGLEICH"), {Id::KleinerGleich, 2}},
    {QLatin1StringView("MAINBEDINGUNGMATHEGLEICH"), {Id::Gleich, 2}},
    {QLatin1StringView("MAINBEDINGUNGMATHEUNGLEICH"), {Id::Ungleich, 2}},
    {QLatin1StringView("MAINBEDINGUNGTEXTGLEICH"), {Id::TextGleich, 2}},
    {QLatin1StringView("MAINBEDINGUNGTEXTUNGLEICH"), {Id::TextUngleich, 2}},
    {QLatin1StringView("MAINUND"), {Id::Und, 2}},
    {QLatin1StringView("MAINODER"), {Id::Oder, 2}},
    {QLatin1StringView("MAINXOR"), {Id::Xor, 2}},
    {QLatin1StringView("MAINNICHT"), {Id::Nicht, 1}},
    {QLatin1StringView("MAINRANDOM"), {Id::Random, 2}},
    {QLatin1StringView("MAINTIMER"), {Id::Timer, 0}},
    {QLatin1StringView("MAINFILEREAD"), {Id::FileRead, 3}},
    {QLatin1StringView("MAINFILEWRITE"), {Id::FileWrite, 3}},
    {QLatin1StringView("MAINFILECREATE"), {Id::FileCreate, 1}},
    {QLatin1StringView("MAINFILEDELETE"), {Id::FileDelete, 1}},
    {QLatin1StringView("MAINFILECOPY"), {Id::FileCopy, 2}},
    {QLatin1StringView("SEITEFENSTERSENDEN"), {Id::SeiteSenden, 1}},
    {QLatin1StringView("SEITEFENSTERCLOSE"), {Id::SeiteClose, 1}},
    {QLatin1StringView("SKRIPTFENSTERNEU"), {Id::SkriptNeu, 1}},
    {QLatin1StringView("SKRIPTFENSTERLADEN"), {Id::SkriptLaden, 2}},
    {QLatin1StringView("SKRIPTFENSTERSPEICHERN"), {Id::SkriptSpeichern, 2}},
    {QLatin1StringView("SKRIPTFENSTERAUSFUEHREN"), {Id::SkriptAusfuehren, 1}},
    {QLatin1StringView("SKRIPTFENSTERCLOSE"), {Id::SkriptClose, 1}},
    {QLatin1StringView("NEWSKRIPTFENSTER"), {Id::NewSkriptFenster, 0}},
    {QLatin1StringView("NEWSEITEFENSTER"), {Id::NewSeiteFenster, 0}},
};

const Signature *findBuiltin(QStringView name)
{
    for (const Entry &e : kBuiltins) {
        if (e.id.size() != name.size())
            continue;
        qsizetype k = 0;
        while (k < name.size() && upperChar(name[k]) == QLatin1Char(e.id[k]))
            ++k;
        if (k == name.size())
            return &e.signature;
    }
    return nullptr;
}

// The 32-bit integer of a value into `out`; false when out of range.
bool int32(double value, qint32 &out)
{
    const auto r = toInt32(value);
    if (r)
        out = *r;
    return r.has_value();
}

QString truth(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

// Matches "*" and "?" only; every other character stands for itself.
QRegularExpression wildcardPattern(const QString &pattern)
{
    QString rx;
    for (const QChar c : pattern) {
        if (c == u'*')
            rx += QStringLiteral(".*");
        else if (c == u'?')
            rx += u'.';
        else
            rx += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(rx));
}

bool deleteFiles(const QString &name)
{
    const qsizetype slash = name.lastIndexOf(u'/');
    const QString filePart = slash >= 0 ? name.mid(slash + 1) : name;
    if (!filePart.contains(u'*') && !filePart.contains(u'?'))
        return QFileInfo(name).isFile() || QFileInfo(name).isSymLink() ? QFile::remove(name) : false;
    const QString dirPart = slash >= 0 ? name.left(slash + 1) : QStringLiteral(".");
    QDir dir(dirPart.isEmpty() ? QStringLiteral("/") : dirPart);
    if (!dir.exists())
        return false;
    const QRegularExpression rx = wildcardPattern(filePart);
    bool any = false;
    bool ok = true;
    const auto entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : entries) {
        if (!rx.match(fi.fileName()).hasMatch())
            continue;
        any = true;
        ok = QFile::remove(fi.filePath()) && ok;
    }
    return any && ok;
}

} // namespace

float Engine::nextRandom()
{
    // 24 random bits: a single-precision value in [0, 1).
    return float(m_random() >> 8) * (1.0f / 16777216.0f);
}

qint32 Engine::clockMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const quint64 ms = quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
    return qint32(quint32(ms & 0xFFFFFFFFu));
}

const void *Engine::lookupBuiltin(QStringView name)
{
    return findBuiltin(name);
}

QString Engine::callBuiltin(QStringView name, Params &p, const EvalContext &ctx, const void *known)
{
    // Kept small on purpose: this frame sits on the native stack for every
    // level of user-function recursion, so the operations live in their own
    // functions.
    const Signature *it = known ? static_cast<const Signature *>(known) : findBuiltin(name);
    if (!it)
        return fail(5, ctx);
    const int given = int(p.size()) - 1;
    if (it->params >= 0 && given != it->params)
        return fail(2, ctx);
    const Id id = it->id;
    if (id == Id::User)
        return callUserFunction(p, ctx);
    if (id < Id::User)
        return scriptBuiltin(int(id), p, ctx);
    if (id < Id::FileRead)
        return valueBuiltin(int(id), p, ctx);
    if (id < Id::SeiteSenden)
        return fileBuiltin(int(id), p, ctx);
    return windowBuiltin(int(id), p, ctx);
}

[[gnu::noinline]] QString Engine::scriptBuiltin(int which, Params &p, const EvalContext &ctx)
{
    switch (Id(which)) {
    case Id::MyIndex:
        return integerText(ctx.run.index);
    case Id::SkriptMyFunktion:
        return integerText(ctx.callLevel);
    case Id::UserNewFunction:
    case Id::UserNewArray:
    case Id::UserNewVariable:
    case Id::UserNewShortcut: {
        const NodePtr runObject = runNode(ctx.run);
        const NodePtr user = runObject ? runObject->object(u"User") : nullptr;
        if (!user)
            return {};
        bool added = false;
        switch (Id(which)) {
        case Id::UserNewFunction:
            if ((added = user->AddFunction(p[1])))
                user->function(p[1])->SetFunktion(QStringLiteral("User Text(") + p[2] + u')');
            break;
        case Id::UserNewArray:
            added = user->AddArrayVariable(p[1]);
            break;
        case Id::UserNewVariable:
            added = user->AddVariable(p[1]);
            break;
        default:
            if ((added = user->AddShortcut(p[1])))
                user->shortcut(p[1])->SetVerknuepfung(p[2]);
            break;
        }
        return added ? QString() : fail(2, ctx);
    }
    default:
        break;
    }
    return {};
}

[[gnu::noinline]] QString Engine::valueBuiltin(int which, Params &p, const EvalContext &ctx)
{
    auto num = [&](size_t k) { return numericValue(p[k]); };
    auto number = [&](double v) { return std::isfinite(v) ? numberText(v) : fail(2, ctx); };
    switch (Id(which)) {
    case Id::Plus:
        return number(num(1) + num(2));
    case Id::Minus:
        return number(num(1) - num(2));
    case Id::Mal:
        return number(num(1) * num(2));
    case Id::Durch:
        if (num(2) == 0)
            return fail(2, ctx);
        return number(num(1) / num(2));
    case Id::Hoch: {
        const auto n = toInt16(num(2));
        if (!n || *n == 32767 || *n == -32768)
            return fail(2, ctx);
        const double x = num(1);
        double r = 1;
        for (int k = 0; k < std::abs(int(*n)); ++k) {
            if (*n > 0) {
                r *= x;
            } else {
                if (x == 0)
                    return fail(2, ctx);
                r /= x;
            }
            if (!std::isfinite(r))
                return fail(2, ctx);
        }
        return number(r);
    }
    case Id::Wurzel: {
        const auto deg = toInt16(num(2));
        if (!deg || *deg == -32768)
            return fail(2, ctx);
        const double x = num(1);
        if (!std::isfinite(x))
            return fail(2, ctx);
        int n = *deg;
        const bool reciprocal = n < 0;
        if (reciprocal)
            n = -n;
        if (x < 0 && n % 2 == 0)
            return QStringLiteral("0");
        double low, high;
        if (x >= 1) {
            low = 1;
            high = x;
        } else if (x >= 0) {
            low = 0;
            high = 1;
        } else {
            low = x < -1 ? x : -1;
            high = 0;
        }
        double mid = 0;
        for (;;) {
            mid = low + (high - low) / 2;
            double pw = 1;
            for (int k = 0; k < n; ++k) {
                pw *= mid;
                if (!std::isfinite(pw))
                    return fail(2, ctx);
            }
            if (pw < x) {
                if (low == mid)
                    break;
                low = mid;
            } else if (pw > x) {
                if (high == mid)
                    break;
                high = mid;
            } else {
                break;
            }
        }
        if (reciprocal) {
            if (mid == 0)
                return fail(2, ctx);
            mid = 1 / mid;
        }
        return number(mid);
    }

    case Id::TextPlus:
        return p[1] + p[2];
    case Id::Left: {
        qint32 n;
        if (!int32(num(2), n) || n < 0)
            return fail(2, ctx);
        return p[1].left(n);
    }
    case Id::Right: {
        qint32 k;
        if (!int32(double(p[1].size()) - num(2) + 1, k) || k < 0)
            return fail(2, ctx);
        return k >= p[1].size() ? p[1] : p[1].right(k);
    }
    case Id::Mid: {
        qint32 start, count;
        if (!int32(num(2), start) || !int32(num(3) - num(2) + 1, count) || start < 1 || count < 0)
            return fail(2, ctx);
        if (start > p[1].size())
            return {};
        return p[1].mid(start - 1, count);
    }
    case Id::Len:
        return integerText(p[1].size());
    case Id::LTrim:
        return trimLeadingBlanks(p[1]).toString();
    case Id::RTrim:
        return trimTrailingBlanks(p[1]).toString();
    case Id::ZTrim:
        return trimBlanks(p[1]).toString();
    case Id::UCase:
        return upperCase(p[1]);
    case Id::LCase:
        return lowerCase(p[1]);
    case Id::Chr: {
        qint32 code;
        if (!int32(num(1), code) || code < 0 || code > 255)
            return fail(2, ctx);
        return QString(cp1252ToChar(static_cast<unsigned char>(code)));
    }
    case Id::Asc: {
        if (p[1].isEmpty())
            return fail(2, ctx);
        const auto byte = charToCp1252(p[1][0]);
        return integerText(byte ? *byte : '?');
    }

    case Id::Groesser:
        return truth(num(1) > num(2));
    case Id::GroesserGleich:
        return truth(num(1) >= num(2));
    case Id::Kleiner:
        return truth(num(1) < num(2));
    case Id::KleinerGleich:
        return truth(num(1) <= num(2));
    case Id::Gleich:
        return truth(num(1) == num(2));
    case Id::Ungleich:
        return truth(num(1) != num(2));
    case Id::TextGleich:
        return truth(p[1] == p[2]);
    case Id::TextUngleich:
        return truth(p[1] != p[2]);
    case Id::Und:
        return truth(num(1) != 0 && num(2) != 0);
    case Id::Oder:
        return truth(num(1) != 0 || num(2) != 0);
    case Id::Xor:
        return truth((num(1) != 0) != (num(2) != 0));
    case Id::Nicht:
        return truth(num(1) == 0);
    case Id::Random: {
        qint32 lo, hi;
        if (!int32(num(1), lo) || !int32(num(2), hi))
            return fail(2, ctx);
        if (lo > hi)
            std::swap(lo, hi);
        const qint64 range = qint64(hi) - qint64(lo) + 1;
        if (range > std::numeric_limits<qint32>::max())
            return fail(2, ctx);
        const double r = nextRandom();
        const double v = std::floor(r * double(range) + double(lo));
        return integerText(qint64(std::min(v, double(hi))));
    }
    case Id::Timer:
        return integerText(clockMs());

    default:
        break;
    }
    return {};
}

[[gnu::noinline]] QString Engine::fileBuiltin(int which, Params &p, const EvalContext &ctx)
{
    auto num = [&](size_t k) { return numericValue(p[k]); };
    switch (Id(which)) {
    case Id::FileRead:
    case Id::FileWrite: {
        qint32 pos, len = 0;
        const bool write = Id(which) == Id::FileWrite;
        if (!int32(num(2), pos) || pos < 1 || (!write && (!int32(num(3), len) || len < 0)))
            return fail(8, ctx);
        QFile file(p[1]);
        if (p[1].isEmpty() || !file.open(QIODevice::ReadWrite) || !file.seek(qint64(pos) - 1))
            return fail(8, ctx);
        if (write) {
            const QByteArray bytes = encodeCp1252(p[3]);
            if (file.write(bytes) != bytes.size())
                return fail(8, ctx);
            return {};
        }
        // Past the end of the file only the bytes that exist are returned.
        const qint64 available = std::max<qint64>(0, file.size() - (qint64(pos) - 1));
        const QByteArray bytes = file.read(std::min<qint64>(len, available));
        if (bytes.size() < std::min<qint64>(len, available))
            return fail(8, ctx);
        return decodeCp1252(bytes);
    }
    case Id::FileCreate: {
        QFile file(p[1]);
        if (p[1].isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(8, ctx);
        return {};
    }
    case Id::FileDelete:
        if (p[1].isEmpty() || !deleteFiles(p[1]))
            return fail(8, ctx);
        return {};
    case Id::FileCopy: {
        std::error_code ec;
        const std::filesystem::path from(QFile::encodeName(p[1]).toStdString());
        const std::filesystem::path to(QFile::encodeName(p[2]).toStdString());
        if (p[1].isEmpty() || p[2].isEmpty() || !std::filesystem::is_regular_file(from, ec)
            || !std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec))
            return fail(8, ctx);
        return {};
    }

    default:
        break;
    }
    return {};
}

[[gnu::noinline]] QString Engine::windowBuiltin(int which, Params &p, const EvalContext &ctx)
{
    auto num = [&](size_t k) { return numericValue(p[k]); };
    // 0: open window in `out`; otherwise the error number to report.
    auto windowIndex = [&](bool seite, int &out) {
        const auto i16 = toInt16(num(1));
        if (!i16)
            return 2;
        out = *i16;
        return (seite ? m_host.isSeiteWindowOpen(out) : m_host.isSkriptWindowOpen(out)) ? 0 : 4;
    };
    switch (Id(which)) {
    case Id::SeiteSenden:
    case Id::SeiteClose: {
        int i = 0;
        if (const int error = windowIndex(true, i))
            return fail(error, ctx);
        if (Id(which) == Id::SeiteSenden)
            m_host.seiteSenden(i);
        else
            m_host.seiteClose(i);
        return {};
    }
    case Id::SkriptNeu:
    case Id::SkriptLaden:
    case Id::SkriptSpeichern:
    case Id::SkriptAusfuehren:
    case Id::SkriptClose: {
        int i = 0;
        if (const int error = windowIndex(false, i))
            return fail(error, ctx);
        switch (Id(which)) {
        case Id::SkriptNeu:
            m_host.skriptNeu(i);
            break;
        case Id::SkriptLaden:
            if (!m_host.skriptLaden(i, p[2]))
                return fail(6, ctx);
            break;
        case Id::SkriptSpeichern:
            if (!m_host.skriptSpeichern(i, p[2]))
                return fail(7, ctx);
            break;
        case Id::SkriptAusfuehren:
            m_host.skriptAusfuehren(i);
            break;
        default:
            m_host.skriptClose(i);
            break;
        }
        return {};
    }
    case Id::NewSkriptFenster:
        return integerText(m_host.openSkriptWindow());
    case Id::NewSeiteFenster:
        return integerText(m_host.openSeiteWindow());
    default:
        break;
    }
    return {};
}

QString Engine::callUserFunction(Params &p, const EvalContext &ctx)
{
    if (p.size() < 2)
        return fail(2, ctx);
    if (ctx.run.index == 0 || !runNode(ctx.run))
        return {};
    if (ctx.callLevel >= 32767 || m_callDepth >= m_limits.callDepth
        || stackExhausted(__builtin_frame_address(0)))
        return fail(2, ctx);
    const qint16 level = qint16(ctx.callLevel + 1);
    BeginFunctionFrame(ctx.run, level);
    for (qsizetype k = 2; k < p.size(); ++k)
        AddFunctionParameter(ctx.run, level, p[k]);
    RunRef run = ctx.run;
    qint16 callLevel = level;
    ++m_callDepth;
    RunScript(ctx.textBox, ctx.runCommand, QStringLiteral("goto ") + p[1], run, callLevel, 0, 0);
    --m_callDepth;
    QString result = GetValueByPath(u"Skript.Funktion.Rueckgabe", ctx.run, level);
    EndFunctionFrame(ctx.run, level);
    return result;
}

NodePtr Engine::runNode(const RunRef &run) const
{
    if (run.index == 0 || !isCurrent(run))
        return nullptr;
    return m_skriptArray->peekObject(run.index);
}

namespace {
NodePtr frameNode(const NodePtr &runObject, qint16 level, bool create)
{
    if (!runObject)
        return nullptr;
    const ObjectArrayPtr frames = runObject->objectArray(u"Funktion");
    if (!frames)
        return nullptr;
    return create ? frames->GetObject(level) : frames->peekObject(level);
}
} // namespace

void Engine::BeginFunctionFrame(const RunRef &run, qint16 level)
{
    const NodePtr frame = frameNode(runNode(run), level, true);
    if (!frame)
        return;
    frame->AddArrayVariable(u"Parameter");
    frame->AddVariable(u"AnzahlParameter");
    frame->variable(u"AnzahlParameter")->SetInhalt(QStringLiteral("0"));
    frame->AddVariable(u"Rueckgabe");
}

void Engine::AddFunctionParameter(const RunRef &run, qint16 level, const QString &value)
{
    const NodePtr frame = frameNode(runNode(run), level, false);
    if (!frame)
        return;
    const VariablePtr count = frame->variable(u"AnzahlParameter");
    const ValueArrayPtr params = frame->valueArray(u"Parameter");
    if (!count || !params)
        return;
    const double next = numericValue(count->GetInhalt()) + 1;
    count->SetInhalt(numberText(next));
    if (const auto k = toInt16(next))
        params->SetInhalt(*k, value);
}

void Engine::EndFunctionFrame(const RunRef &run, qint16 level)
{
    if (const NodePtr runObject = runNode(run))
        if (const ObjectArrayPtr frames = runObject->objectArray(u"Funktion"))
            frames->ResetObject(level);
}

} // namespace varnok
