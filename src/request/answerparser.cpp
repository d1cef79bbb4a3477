// SPDX-License-Identifier: GPL-3.0-or-later
#include "answerparser.h"

#include "common/limits.h"

#include "common/conventions.h"
#include "common/textmodel.h"

namespace varnok {

namespace {

// The table spells header names as they are written; a received name is
// compared after upper-casing, so the table's is upper-cased here too (it is
// ASCII).
bool sameUpperCased(QStringView upperName, QStringView tableName)
{
    if (upperName.size() != tableName.size())
        return false;
    for (qsizetype i = 0; i < upperName.size(); ++i) {
        char16_t c = tableName[i].unicode();
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - (u'a' - u'A'));
        if (upperName[i].unicode() != c)
            return false;
    }
    return true;
}

QString decode(QByteArrayView bytes)
{
    return decodeCp1252(bytes.data(), bytes.size());
}

} // namespace

std::optional<SeiteField> knownHeaderByName(QStringView upperName)
{
    for (const SeiteFieldRow &row : kSeiteFields)
        if (row.node == SeiteNode::Output && !row.header.isEmpty()
            && sameUpperCased(upperName, row.header))
            return row.field;
    return std::nullopt;
}

void AnswerParser::reset()
{
    m_buffer.clear();
    m_inHeader = true;
    m_firstLine = true;
    ++m_generation;
}

void AnswerParser::feed(QByteArrayView chunk)
{
    if (chunk.isEmpty())
        return;
    if (!m_inHeader) {
        m_sink.body(chunk);
        return;
    }

    // The buffer never holds an LF between two calls, so only the new bytes
    // need scanning; and while nothing is buffered the chunk is split in
    // place without a copy.
    const bool buffered = !m_buffer.isEmpty();
    qsizetype scanFrom = 0;
    if (buffered) {
        scanFrom = m_buffer.size();
        m_buffer.append(chunk);
    }
    // A shared copy keeps the bytes alive should a callback reset the parser.
    QByteArray held = m_buffer;
    const QByteArrayView data = buffered ? QByteArrayView(held) : chunk;
    const quint64 generation = m_generation;

    qsizetype pos = 0;
    while (m_inHeader) {
        const qsizetype lf = data.indexOf('\n', scanFrom);
        if (lf < 0)
            break;
        qsizetype end = lf;
        if (end > pos && data[end - 1] == '\r')
            --end;
        const QByteArrayView line = data.sliced(pos, end - pos);
        pos = lf + 1;
        scanFrom = pos;
        if (!takeLine(line) || m_generation != generation)
            return;
    }

    if (!m_inHeader) {
        m_buffer.clear();
        const QByteArrayView rest = data.sliced(pos);
        if (!rest.isEmpty())
            m_sink.body(rest);
        return;
    }
    if (data.size() - pos > m_maxHeaderLine) {
        // No line end in sight: show it rather than hold it forever.
        m_buffer.clear();
        endHeader();
        if (m_generation == generation)
            m_sink.body(data.sliced(pos));
        return;
    }
    if (buffered) {
        // Only bytes of this chunk lie behind the last line end, so keeping
        // the unfinished line costs no more than the chunk itself.
        held.clear();
        if (pos > 0)
            m_buffer.remove(0, pos);
    } else {
        m_buffer = chunk.sliced(pos).toByteArray();
    }
}

bool AnswerParser::takeLine(QByteArrayView line)
{
    const quint64 generation = m_generation;
    const QString text = decode(line);
    if (m_firstLine) {
        m_firstLine = false;
        m_sink.statusLine(text);
    } else {
        checkItem(text);
    }
    return m_generation == generation;
}

void AnswerParser::checkItem(const QString &line)
{
    if (line.isEmpty()) {
        endHeader();
        return;
    }
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0) {
        m_sink.otherHeader(line);
        return;
    }
    const std::optional<SeiteField> header =
        knownHeaderByName(upperCase(QStringView(line).first(colon)));
    if (!header) {
        m_sink.otherHeader(line);
        return;
    }
    qsizetype valueStart = colon + 1;
    if (valueStart < line.size() && line[valueStart] == u' ')
        ++valueStart;
    m_sink.knownHeader(*header, line.sliced(valueStart));
}

void AnswerParser::endHeader()
{
    m_inHeader = false;
    m_firstLine = false;
    m_sink.headerEnded();
}

ModelAnswerSink::ModelAnswerSink(SeiteModels models, std::function<void()> onHeaderEnded)
    : m_models(std::move(models)), m_onHeaderEnded(std::move(onHeaderEnded))
{
}

void ModelAnswerSink::statusLine(const QString &line)
{
    m_models[SeiteField::Rueckgabe]->setText(line);
}

void ModelAnswerSink::knownHeader(SeiteField field, const QString &value)
{
    m_models[field]->setText(value);
}

void ModelAnswerSink::otherHeader(const QString &line)
{
    TextModel &box = *m_models[SeiteField::Weiteres];
    if (box.scriptText().isEmpty()) {
        box.append(line);
    } else {
        QString add;
        add.reserve(line.size() + 2);
        add += u"\r\n";
        add += line;
        box.append(add);
    }
}

void ModelAnswerSink::headerEnded()
{
    // The body's length as the header gives it, only as a hint for the room
    // the output box needs: a wrong or missing value changes nothing else.
    bool ok = false;
    const qint64 length = m_models[SeiteField::ContentLength]->scriptText().toLongLong(&ok);
    if (ok && length > 0 && length <= limits::kAnswerReserve)
        m_models[SeiteField::Text]->reserveMore(qsizetype(length));
    if (m_onHeaderEnded)
        m_onHeaderEnded();
}

void ModelAnswerSink::body(QByteArrayView bytes)
{
    m_models[SeiteField::Text]->appendEncoded(bytes, m_piece);
}

} // namespace varnok
