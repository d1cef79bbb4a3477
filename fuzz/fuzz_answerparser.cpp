// SPDX-License-Identifier: GPL-3.0-or-later
// The answer parser: however a server's bytes are cut into arrivals, the
// fields come out as when the whole answer arrives at once.
//
// Input: byte 0 holds the number n (0..15) of cut bytes that follow; each
// gives the length of one arrival (0 is an empty arrival), used in turn until
// the answer is used up. Everything after them is the answer.

#include "fuzzcheck.h"

#include "common/textmodel.h"
#include "request/answerparser.h"

#include <QByteArray>
#include <QStringList>
#include <memory>
#include <vector>

using namespace varnok;

namespace {

// Records the header events in order and the body as one piece (how the body
// is cut depends on the arrivals, its bytes do not); also writes everything
// into the fields of a request window, as the window does.
class Recorder : public AnswerSink
{
public:
    Recorder()
    {
        for (auto &model : m_models.items)
            model = std::make_shared<TextModel>();
        m_fields = std::make_unique<ModelAnswerSink>(m_models, [this] { ++headerEnds; });
    }

    void statusLine(const QString &line) override
    {
        events << QStringLiteral("S") + line;
        m_fields->statusLine(line);
    }
    void knownHeader(SeiteField field, const QString &value) override
    {
        events << QStringLiteral("K") + QString::number(int(field)) + u':' + value;
        m_fields->knownHeader(field, value);
    }
    void otherHeader(const QString &line) override
    {
        events << QStringLiteral("O") + line;
        m_fields->otherHeader(line);
    }
    void headerEnded() override
    {
        events << QStringLiteral("E");
        m_fields->headerEnded();
    }
    void body(QByteArrayView bytes) override
    {
        body_ += bytes;
        m_fields->body(bytes);
    }

    // Every field of the window, in field order.
    QStringList fields() const
    {
        QStringList f;
        for (const auto &model : m_models.items)
            f << model->text();
        return f;
    }

    QStringList events;
    QByteArray body_;
    int headerEnds = 0;

private:
    SeiteModels m_models;
    std::unique_ptr<ModelAnswerSink> m_fields;
};

struct Outcome
{
    QStringList events;
    QByteArray body;
    QStringList fields;
    bool inHeader = true;
    bool firstLine = true;
    QByteArray pending;
};

Outcome parse(QByteArrayView answer, const std::vector<qsizetype> &pieces, qsizetype maxHeaderLine)
{
    Recorder recorder;
    AnswerParser parser(recorder, maxHeaderLine);
    qsizetype pos = 0;
    size_t k = 0;
    while (pos < answer.size()) {
        qsizetype n = answer.size() - pos;
        if (!pieces.empty())
            n = std::min(n, pieces[k++ % pieces.size()]);
        parser.feed(answer.sliced(pos, n));
        pos += n;
    }
    // Whatever was cut how, the header ends at most once and before any body.
    FUZZ_CHECK(recorder.headerEnds <= 1);
    FUZZ_CHECK(recorder.body_.isEmpty() || recorder.headerEnds == 1);
    FUZZ_CHECK(recorder.headerEnds == (parser.inHeader() ? 0 : 1));
    // The body is always the tail of what arrived.
    FUZZ_CHECK(QByteArrayView(answer).endsWith(recorder.body_));
    return {recorder.events, recorder.body_, recorder.fields(), parser.inHeader(), parser.firstLine(),
            parser.receiveBuffer()};
}

bool same(const Outcome &a, const Outcome &b)
{
    return a.events == b.events && a.body == b.body && a.fields == b.fields && a.inHeader == b.inHeader
        && a.firstLine == b.firstLine && a.pending == b.pending;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    if (input.isEmpty())
        return 0;
    const qsizetype cutCount = std::min<qsizetype>(input[0] & 0x0F, input.size() - 1);
    std::vector<qsizetype> pieces;
    for (qsizetype i = 1; i <= cutCount; ++i)
        pieces.push_back(static_cast<unsigned char>(input[i]));
    bool anyNonEmpty = false;
    for (qsizetype p : pieces)
        anyNonEmpty = anyNonEmpty || p > 0;
    if (!anyNonEmpty)
        pieces.clear(); // only empty arrivals would never end
    const QByteArrayView answer = input.sliced(1 + cutCount);

    // The line limit lies far beyond any input, so the cuts must not matter.
    const Outcome whole = parse(answer, {}, AnswerParser::kMaxHeaderLine);
    FUZZ_CHECK(same(whole, parse(answer, pieces, AnswerParser::kMaxHeaderLine)));
    FUZZ_CHECK(same(whole, parse(answer, {1}, AnswerParser::kMaxHeaderLine)));

    // With a tiny line limit where a header line ends depends on the cuts;
    // only the properties checked inside parse() must hold.
    parse(answer, pieces, 8);
    parse(answer, {1}, 8);
    return 0;
}
