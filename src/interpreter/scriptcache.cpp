// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptcache.h"

#include "common/limits.h"

#include "upperid.h"

#include "common/conventions.h"

namespace varnok {

namespace {

// A script that runs through more distinct lines than this is remembered
// only in part.

Keyword classify(QStringView word)
{
    using L = QLatin1StringView;
    static const std::pair<L, Keyword> words[] = {
        {L("EXEC"), Keyword::Exec},           {L("IF"), Keyword::If},
        {L("ENDIF"), Keyword::EndIf},         {L("ELSE"), Keyword::Else},
        {L("ELSEIF"), Keyword::ElseIf},       {L("DO"), Keyword::Do},
        {L("DOWHILE"), Keyword::DoWhile},     {L("LOOP"), Keyword::Loop},
        {L("LOOPWHILE"), Keyword::LoopWhile}, {L("GOTO"), Keyword::Goto},
        {L("ONERROR"), Keyword::OnError},     {L("EXITFUNCTION"), Keyword::ExitFunction},
        {L("WAITTILL"), Keyword::WaitTill},   {L("WAITWHILE"), Keyword::WaitWhile},
        {L("QUIT"), Keyword::Quit},
    };
    for (const auto &[text, kw] : words)
        if (matchesUpperId(word, text))
            return kw;
    return Keyword::Other;
}

bool evaluatesArgument(Keyword kw)
{
    return kw == Keyword::Exec || kw == Keyword::If || kw == Keyword::ElseIf || kw == Keyword::DoWhile
        || kw == Keyword::LoopWhile;
}

} // namespace

std::shared_ptr<const Statement> parseStatement(QStringView line)
{
    auto st = std::make_shared<Statement>();
    QStringView stmt = line;
    if (const qsizetype quote = stmt.indexOf(u'\''); quote >= 0)
        stmt = trimBlanks(stmt.left(quote));
    if (stmt.isEmpty())
        return st;
    QStringView arg;
    if (stmt[0] == u':') {
        st->keyword = Keyword::Label;
        arg = trimBlanks(stmt.mid(1));
    } else {
        const qsizetype space = stmt.indexOf(u' ');
        st->keyword = classify(space < 0 ? stmt : stmt.left(space));
        arg = space < 0 ? QStringView() : trimBlanks(stmt.mid(space + 1));
    }
    st->arg = arg.toString();
    if (st->keyword == Keyword::Goto)
        st->label = upperCase(st->arg);
    if (evaluatesArgument(st->keyword))
        st->expr = parseExpression(st->arg);
    return st;
}

qint32 nextStatementStart(const QString &text, qint32 position)
{
    qsizetype p = position; // 0-based index of position + 1
    const qsizetype n = text.size();
    while (p < n && (text[p] == u'\r' || text[p] == u'\n'))
        ++p;
    return p >= n ? 0 : qint32(p + 1);
}

std::optional<LineRange> lineAt(const QString &text, qint32 scan)
{
    const qint32 next = nextStatementStart(text, scan);
    if (next == 0)
        return std::nullopt;
    const qsizetype cr = text.indexOf(u'\r', next - 1);
    LineRange r;
    r.end = cr < 0 ? qint32(text.size() + 1) : qint32(cr + 1);
    r.from = next - 1;
    r.to = r.end - 1;
    while (r.from < r.to && (text[r.from] == u' ' || text[r.to - 1] == u' ')) {
        if (text[r.from] == u' ')
            ++r.from;
        else
            --r.to;
    }
    return r;
}

void ScriptCache::resync(const ScriptText &box)
{
    const quint64 version = box.textVersion();
    dropStatements();
    m_labels.reset();
    m_version = version;
    m_synced = true;
}

void ScriptCache::dropStatements()
{
    for (Reader *r = m_readers; r; r = r->next) {
        if (!r->current || r->kept.get() == r->current)
            continue;
        for (const auto &entry : m_statements)
            if (entry.second.get() == r->current) {
                r->kept = entry.second;
                break;
            }
    }
    m_statements.clear();
    m_recent.fill(Recent{});
}

const Statement *ScriptCache::readStatementAt(const ScriptText &box, qint32 scan)
{
    sync(box);
    Recent &recent = m_recent[size_t(scan) % kRecent];
    if (recent.scan == scan)
        return recent.statement;
    if (const auto it = m_statements.find(scan); it != m_statements.end()) {
        recent = Recent{scan, it->second.get()};
        return it->second.get();
    }
    const QString &text = box.scriptText();
    const std::optional<LineRange> r = lineAt(text, scan);
    std::shared_ptr<const Statement> st;
    if (r) {
        auto made = std::const_pointer_cast<Statement>(parseStatement(QStringView(text).mid(r->from, r->to - r->from)));
        made->from = r->from;
        made->length = r->to - r->from;
        made->end = r->end;
        st = std::move(made);
    }
    if (m_statements.size() >= limits::kCachedStatements)
        dropStatements();
    const Statement *read = st.get();
    m_statements.emplace(scan, std::move(st));
    recent = Recent{scan, read};
    return read;
}

ScriptCache::LabelPlace ScriptCache::findLabel(const ScriptText &box, const QString &upperName)
{
    sync(box);
    if (!m_labels) {
        // Every line from the top, read as the label search reads them; the
        // first label of a name is the one a search finds.
        m_labels.emplace();
        m_lastLine = LabelPlace{};
        const QString &text = box.scriptText();
        qint32 scan = 0;
        while (const std::optional<LineRange> r = lineAt(text, scan)) {
            m_lastLine.line = *r;
            m_lastLine.before = scan;
            m_lastLine.anyLine = true;
            QStringView stmt = QStringView(text).mid(r->from, r->to - r->from);
            if (const qsizetype quote = stmt.indexOf(u'\''); quote >= 0)
                stmt = trimBlanks(stmt.left(quote));
            if (!stmt.isEmpty() && stmt[0] == u':') {
                LabelPlace place{*r, scan, true, true};
                const QString name = upperCase(trimBlanks(stmt.mid(1)));
                if (!m_labels->contains(name))
                    m_labels->insert(name, place);
            }
            scan = r->end;
        }
    }
    if (const auto it = m_labels->constFind(upperName); it != m_labels->constEnd())
        return *it;
    return m_lastLine;
}

std::shared_ptr<const Statement> ScriptCaches::single(const QString &statement)
{
    if (!m_single || m_singleText != statement) {
        m_single = parseStatement(statement);
        m_singleText = statement;
    }
    return m_single;
}

std::shared_ptr<ScriptCache> ScriptCaches::of(const std::shared_ptr<ScriptText> &box)
{
    for (const auto &c : m_caches)
        if (c->belongsTo(box))
            return c;
    std::erase_if(m_caches, [](const std::shared_ptr<ScriptCache> &c) { return c->expired(); });
    m_caches.push_back(std::make_shared<ScriptCache>(box));
    return m_caches.back();
}

} // namespace varnok
