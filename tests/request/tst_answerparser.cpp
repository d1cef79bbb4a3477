// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting an answer into status line, header fields, further headers and
// body, however the bytes are cut into arrivals.
#include "common/conventions.h"
#include "common/textmodel.h"
#include "request/answerparser.h"

#include <QTest>

using namespace varnok;

namespace {

// Writes every event as one text, so two runs compare as lists.
class RecordingSink : public AnswerSink
{
public:
    QStringList events;
    QByteArray bodyBytes;
    std::function<void()> onEvent;

    void statusLine(const QString &line) override { add(QStringLiteral("status:") + line); }
    void knownHeader(SeiteField h, const QString &value) override
    {
        add(QStringLiteral("known ") + seiteField(h).header.toString() + QLatin1Char(':') + value);
    }
    void otherHeader(const QString &line) override { add(QStringLiteral("other:") + line); }
    void headerEnded() override { add(QStringLiteral("end")); }
    void body(QByteArrayView bytes) override
    {
        bodyBytes += bytes;
        if (onEvent)
            onEvent();
    }

    // Header events plus the whole body as one entry: body pieces depend on
    // the arrivals, their concatenation does not.
    QStringList summary() const
    {
        QStringList s = events;
        s << QStringLiteral("body:") + decodeCp1252(bodyBytes);
        return s;
    }

private:
    void add(const QString &e)
    {
        events << e;
        if (onEvent)
            onEvent();
    }
};

QStringList parseInPieces(const QByteArray &answer, const QList<qsizetype> &cuts)
{
    RecordingSink sink;
    AnswerParser parser(sink);
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        parser.feed(QByteArrayView(answer).sliced(from, cut - from));
        from = cut;
    }
    parser.feed(QByteArrayView(answer).sliced(from));
    return sink.summary();
}

QStringList parseWhole(const QByteArray &answer)
{
    return parseInPieces(answer, {});
}

struct Fields
{
    SeiteModels models;
    int headerEnds = 0;
    std::unique_ptr<ModelAnswerSink> sink;
    std::unique_ptr<AnswerParser> parser;

    Fields()
    {
        for (auto &m : models.items)
            m = std::make_shared<TextModel>();
        sink = std::make_unique<ModelAnswerSink>(models, [this] { ++headerEnds; });
        parser = std::make_unique<AnswerParser>(*sink);
    }
    QString header(SeiteField h) const { return models[h]->text(); }
};

const QByteArray kTypical =
    "HTTP/1.1 200 OK\r\n"
    "Server: Apache\r\n"
    "Date: Mon, 07 Dec 2026 09:00:00 GMT\r\n"
    "Content-Type: text/html\r\n"
    "Set-Cookie: a=1\r\n"
    "Last-Modified: gestern\r\n"
    "ETag: \"x\"\r\n"
    "Content-Length: 11\r\n"
    "Content-Range: bytes 0-10/11\r\n"
    "Content-Location: /i.html\r\n"
    "Accept-Ranges: bytes\r\n"
    "Location: http://h.test:81/a\r\n"
    "Set-Cookie: b=2\r\n"
    "\r\n"
    "Hallo\r\nWelt";

} // namespace

class TestAnswerParser : public QObject
{
    Q_OBJECT
private slots:
    void fillsEveryField()
    {
        Fields f;
        f.parser->feed(kTypical);
        QCOMPARE(f.models[SeiteField::Rueckgabe]->text(), QStringLiteral("HTTP/1.1 200 OK"));
        QCOMPARE(f.header(SeiteField::AnswerServer), QStringLiteral("Apache"));
        QCOMPARE(f.header(SeiteField::Date), QStringLiteral("Mon, 07 Dec 2026 09:00:00 GMT"));
        QCOMPARE(f.header(SeiteField::AnswerContentType), QStringLiteral("text/html"));
        QCOMPARE(f.header(SeiteField::LastModified), QStringLiteral("gestern"));
        QCOMPARE(f.header(SeiteField::ETag), QStringLiteral("\"x\""));
        QCOMPARE(f.header(SeiteField::ContentLength), QStringLiteral("11"));
        QCOMPARE(f.header(SeiteField::ContentRange), QStringLiteral("bytes 0-10/11"));
        QCOMPARE(f.header(SeiteField::ContentLocation), QStringLiteral("/i.html"));
        QCOMPARE(f.header(SeiteField::AcceptRanges), QStringLiteral("bytes"));
        QCOMPARE(f.header(SeiteField::Location), QStringLiteral("http://h.test:81/a"));
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("Set-Cookie: a=1\r\nSet-Cookie: b=2"));
        QCOMPARE(f.models[SeiteField::Text]->text(), QStringLiteral("Hallo\r\nWelt"));
        QCOMPARE(f.headerEnds, 1);
        QVERIFY(!f.parser->inHeader());
    }

    void blankAfterColon_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("server");
        QTest::newRow("none") << QByteArray("Server:Apache") << QStringLiteral("Apache");
        QTest::newRow("one") << QByteArray("Server: Apache") << QStringLiteral("Apache");
        QTest::newRow("two") << QByteArray("Server:  Apache") << QStringLiteral(" Apache");
        QTest::newRow("tab stays") << QByteArray("Server:\tApache") << QStringLiteral("\tApache");
        QTest::newRow("lower case name") << QByteArray("server: x") << QStringLiteral("x");
        QTest::newRow("mixed case name") << QByteArray("sErVeR: y") << QStringLiteral("y");
        QTest::newRow("colon in value") << QByteArray("Server: a:b: c") << QStringLiteral("a:b: c");
    }
    void blankAfterColon()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, server);
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\n" + line + "\r\n\r\n");
        QCOMPARE(f.header(SeiteField::AnswerServer), server);
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QString());
    }

    void blankBeforeColonGoesToWeiteres()
    {
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\nServer : Apache\r\n\r\n");
        QCOMPARE(f.header(SeiteField::AnswerServer), QString());
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("Server : Apache"));
    }

    void emptyValueEmptiesField()
    {
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\nServer: A\r\nServer:\r\n\r\n");
        QCOMPARE(f.header(SeiteField::AnswerServer), QString());
    }

    void lineWithoutColonGoesToWeiteres()
    {
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\nkein Doppelpunkt\r\nX-Eigen: 1\r\n\r\n");
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("kein Doppelpunkt\r\nX-Eigen: 1"));
    }

    void otherHeadersKeepTheirLetterCase()
    {
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\nx-PoWeReD-by:  PHP\r\n\r\n");
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("x-PoWeReD-by:  PHP"));
    }

    void weiteresAppendsToWhatIsThere()
    {
        // The box is editable; a line arriving later goes after the user's text.
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\nA: 1\r\n");
        f.models[SeiteField::Weiteres]->setText(QStringLiteral("eigene Notiz"));
        f.parser->feed("B: 2\r\n\r\n");
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("eigene Notiz\r\nB: 2"));
    }

    void laterDuplicateWins()
    {
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\nDate: eins\r\nDate: zwei\r\n\r\n");
        QCOMPARE(f.header(SeiteField::Date), QStringLiteral("zwei"));
    }

    void lfOnlyLikeCrLf()
    {
        QByteArray lf = kTypical;
        lf.replace("\r\n", "\n");
        const QStringList a = parseWhole(lf);
        QStringList b = parseWhole(kTypical);
        b.last() = QStringLiteral("body:Hallo\nWelt"); // the body is raw, its line ends stay
        QCOMPARE(a, b);
    }

    void loneCrStaysInLine()
    {
        Fields f;
        f.parser->feed("HTTP/1.0 200 OK\r\r\nServer: a\rb\r\n\r\r\n\r\n");
        QCOMPARE(f.models[SeiteField::Rueckgabe]->text(), QStringLiteral("HTTP/1.0 200 OK\r"));
        QCOMPARE(f.header(SeiteField::AnswerServer), QStringLiteral("a\rb"));
        // A line holding just CR is not the empty line.
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("\r"));
        QCOMPARE(f.headerEnds, 1);
    }

    void onePieceFillsEverything()
    {
        RecordingSink sink;
        AnswerParser parser(sink);
        parser.feed("HTTP/1.1 404 Nicht da\r\nServer: s\r\n\r\nKörper");
        QCOMPARE(sink.events, QStringList({QStringLiteral("status:HTTP/1.1 404 Nicht da"),
                                           QStringLiteral("known Server:s"), QStringLiteral("end")}));
        QCOMPARE(sink.bodyBytes, QByteArray("Körper"));
    }

    void everySplitPositionGivesTheSameAnswer()
    {
        const QStringList whole = parseWhole(kTypical);
        for (qsizetype cut = 0; cut <= kTypical.size(); ++cut)
            QCOMPARE(parseInPieces(kTypical, {cut}), whole);
    }

    void everyPairOfSplitsGivesTheSameAnswer()
    {
        const QByteArray answer = "HTTP/1.1 200 OK\nServer: x\r\nA: b\r\n\nKörper\r\n";
        const QStringList whole = parseWhole(answer);
        for (qsizetype i = 0; i <= answer.size(); ++i)
            for (qsizetype j = i; j <= answer.size(); ++j)
                QCOMPARE(parseInPieces(answer, {i, j}), whole);
    }

    void byteByByte()
    {
        QList<qsizetype> cuts;
        for (qsizetype i = 1; i < kTypical.size(); ++i)
            cuts << i;
        QCOMPARE(parseInPieces(kTypical, cuts), parseWhole(kTypical));
    }

    void splitLineProcessedOnceWhenItsLfArrives()
    {
        RecordingSink sink;
        AnswerParser parser(sink);
        parser.feed("HTTP/1.1 200 OK\r\nSer");
        QCOMPARE(sink.events.size(), 1);
        parser.feed("ver: Apa");
        QCOMPARE(sink.events.size(), 1);
        QCOMPARE(parser.receiveBuffer(), QByteArray("Server: Apa"));
        parser.feed("che\r");
        QCOMPARE(sink.events.size(), 1);
        parser.feed("\nDa");
        QCOMPARE(sink.events, QStringList({QStringLiteral("status:HTTP/1.1 200 OK"),
                                           QStringLiteral("known Server:Apache")}));
        QCOMPARE(parser.receiveBuffer(), QByteArray("Da"));
    }

    void answerStartingWithEmptyLine()
    {
        Fields f;
        f.models[SeiteField::Rueckgabe]->setText(QStringLiteral("alt"));
        f.parser->feed("\r\nHTTP/1.1 200 OK\r\nServer: s\r\n\r\nrest");
        QCOMPARE(f.models[SeiteField::Rueckgabe]->text(), QString());
        // The real status line was taken for an ordinary header line.
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("HTTP/1.1 200 OK"));
        QCOMPARE(f.header(SeiteField::AnswerServer), QStringLiteral("s"));
        QCOMPARE(f.models[SeiteField::Text]->text(), QStringLiteral("rest"));
    }

    void answerWithoutHeaderEndNeverReachesBody()
    {
        Fields f;
        f.parser->feed("HTTP/1.1 200 OK\r\nServer: s\r\nnur Zeilen\r\nund mehr\nohne Ende");
        QVERIFY(f.parser->inHeader());
        QCOMPARE(f.headerEnds, 0);
        QCOMPARE(f.models[SeiteField::Text]->text(), QString());
        QCOMPARE(f.models[SeiteField::Weiteres]->text(), QStringLiteral("nur Zeilen\r\nund mehr"));
        // The unfinished last line waits in the buffer and is never shown.
        QCOMPARE(f.parser->receiveBuffer(), QByteArray("ohne Ende"));
    }

    void resetStartsAFreshAnswer()
    {
        RecordingSink sink;
        AnswerParser parser(sink);
        parser.feed("HTTP/1.1 200 OK\r\n\r\nbody");
        parser.feed("more body");
        parser.reset();
        QVERIFY(parser.inHeader());
        QVERIFY(parser.firstLine());
        parser.feed("zweite Antwort\r\nhalb");
        parser.reset();
        QCOMPARE(parser.receiveBuffer(), QByteArray());
        parser.feed("dritte\r\n");
        QCOMPARE(sink.events.last(), QStringLiteral("status:dritte"));
        QCOMPARE(sink.bodyBytes, QByteArray("bodymore body"));
    }

    void resetFromACallbackDropsTheRestOfTheChunk()
    {
        RecordingSink sink;
        AnswerParser parser(sink);
        sink.onEvent = [&] {
            if (sink.events.size() == 2 && sink.events.last().startsWith(u"known"))
                parser.reset();
        };
        parser.feed("HTTP/1.1 200 OK\r\nServer: s\r\nDate: d\r\n\r\nbody");
        QCOMPARE(sink.events.size(), 2);
        QVERIFY(parser.inHeader());
        QVERIFY(parser.receiveBuffer().isEmpty());
        QVERIFY(sink.bodyBytes.isEmpty());
    }

    void binaryBodyRoundTrip()
    {
        QByteArray body;
        for (int round = 0; round < 3; ++round)
            for (int b = 0; b < 256; ++b)
                body += char(b);
        Fields f;
        f.parser->feed("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
        for (qsizetype i = 0; i < body.size(); i += 7)
            f.parser->feed(QByteArrayView(body).sliced(i, std::min<qsizetype>(7, body.size() - i)));
        QCOMPARE(f.models[SeiteField::Text]->text().size(), body.size());
        QCOMPARE(encodeCp1252(f.models[SeiteField::Text]->text()), body);
    }

    void longPiecesDecodeLikeShortOnes()
    {
        // Long pieces are widened in blocks; plain blocks, blocks with one
        // byte of 0x80..0x9F at either end and a short tail must all come
        // out as the table says, character for character.
        QByteArray body(64 * 5 + 13, 'a');
        body[64] = char(0x80);
        body[64 * 2 + 63] = char(0x9F);
        body[64 * 3] = char(0x7F);
        body[64 * 3 + 1] = char(0xA0);
        body[64 * 4 + 5] = char(0x81);
        body[body.size() - 1] = char(0x8D);
        for (int b = 0; b < 256; ++b)
            body += char(b);
        Fields f;
        f.parser->feed("HTTP/1.1 200 OK\r\n\r\n");
        f.parser->feed(body);
        const QString text = f.models[SeiteField::Text]->text();
        QCOMPARE(text.size(), body.size());
        for (qsizetype i = 0; i < body.size(); ++i)
            QCOMPARE(text[i], cp1252ToChar(static_cast<unsigned char>(body[i])));
    }

    void bodyKeptUndecodedReadsAsIfDecodedAtOnce()
    {
        // The body waits as pieces of the socket's reads (or copies of the
        // bytes) until someone reads it. Order, length, selection, appends
        // of other text, a piece changed by its owner afterwards and a
        // replaced text must all come out as with decoding at once.
        Fields f;
        TextModel &text = *f.models[SeiteField::Text];
        QByteArray piece = "HTTP/1.1 200 OK\r\n\r\nab\x80";
        f.sink->holdPiece(piece);
        f.parser->feed(piece);
        f.sink->holdPiece(QByteArray());
        QByteArray second = "cd\x9F";
        f.sink->holdPiece(second);
        f.parser->feed(second);
        f.sink->holdPiece(QByteArray());
        f.parser->feed("ef"); // no owner: copied
        piece[piece.size() - 1] = 'X';
        second.fill('Y');
        QCOMPARE(text.size(), 8);
        text.setSelection(6, 50);
        QCOMPARE(text.selectionLength(), 2);
        QCOMPARE(text.text(), QStringLiteral("ab\u20ACcd\u0178ef"));
        f.parser->feed("g");
        text.append(u"h");
        f.parser->feed("i");
        text.replaceRange(0, 1, u"A");
        QCOMPARE(text.text(), QStringLiteral("Ab\u20ACcd\u0178efghi"));
        f.parser->feed("j");
        text.setText(QStringLiteral("neu"));
        QCOMPARE(text.scriptText(), QStringLiteral("neu"));
        QCOMPARE(text.size(), 3);
    }

    void largeBodyDecodedInHalvesReadsAsOneDecoder()
    {
        // A body of many MiB is decoded by two threads, each from the middle
        // of a piece; text before it, every byte value and the pieces'
        // offsets must come out as one character per byte, in order.
        TextModel text;
        text.append(u"vorn");
        QString expected = QStringLiteral("vorn");
        std::vector<QByteArray> owners;
        for (const qsizetype size : {qsizetype(3) << 20, qsizetype(1), qsizetype(5) << 20, qsizetype(777777)}) {
            QByteArray bytes(size + 3, Qt::Uninitialized);
            for (qsizetype i = 0; i < bytes.size(); ++i)
                bytes[i] = char((i * 37 + size) & 0xFF);
            text.appendEncoded(QByteArrayView(bytes).sliced(2, size), bytes);
            for (qsizetype i = 2; i < size + 2; ++i)
                expected += cp1252ToChar(static_cast<unsigned char>(bytes[i]));
            owners.push_back(bytes);
        }
        QCOMPARE(text.size(), expected.size());
        QVERIFY(text.text() == expected);
    }

    void contentLengthIsOnlyAHint()
    {
        // Room made for the body must not depend on the server telling the
        // truth: a huge or broken length still shows what arrives.
        for (const QByteArray &length : {QByteArray("999999999999999999"), QByteArray("-5"),
                                         QByteArray("12abc"), QByteArray("1000000")}) {
            Fields f;
            f.parser->feed("HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\nabc");
            QCOMPARE(f.models[SeiteField::Text]->text(), QStringLiteral("abc"));
            QCOMPARE(f.header(SeiteField::ContentLength), QString::fromLatin1(length));
        }
    }

    void bodyInTheHeaderEndingChunkKeepsNulAndHighBytes()
    {
        QByteArray body("\0\x80\x81\xFF\r\n\n\r", 8);
        Fields f;
        f.parser->feed("HTTP/1.1 200 OK\r\n\r\n" + body);
        QCOMPARE(encodeCp1252(f.models[SeiteField::Text]->text()), body);
    }

    void highBytesInHeaders()
    {
        Fields f;
        f.parser->feed("HTTP/1.1 200 \xDC" "berall\r\nServer: M\xFCller\x80\r\n\r\n");
        QCOMPARE(f.models[SeiteField::Rueckgabe]->text(), QString::fromUtf8("HTTP/1.1 200 Überall"));
        QCOMPARE(f.header(SeiteField::AnswerServer), QString::fromUtf8("Müller€"));
    }

    void longHeaderLineSplitCorrectly()
    {
        // Far beyond what 16-bit positions could reach.
        const QByteArray value(200000, 'v');
        Fields f;
        QByteArray answer = "HTTP/1.1 200 OK\r\nETag: " + value + "\r\nServer: s\r\n\r\nb";
        for (qsizetype i = 0; i < answer.size(); i += 1000)
            f.parser->feed(QByteArrayView(answer).sliced(i, std::min<qsizetype>(1000, answer.size() - i)));
        QCOMPARE(f.header(SeiteField::ETag).size(), value.size());
        QCOMPARE(f.header(SeiteField::AnswerServer), QStringLiteral("s"));
        QCOMPARE(f.models[SeiteField::Text]->text(), QStringLiteral("b"));
    }

    void completeLineOverTheLimitInOnePieceIsStillSplit()
    {
        RecordingSink sink;
        AnswerParser parser(sink, 16);
        parser.feed("HTTP/1.1 200 OK\r\nX-Lang: 0123456789abcdefghij\r\n\r\nb");
        QCOMPARE(sink.events.size(), 3);
        QCOMPARE(sink.bodyBytes, QByteArray("b"));
    }

    void unfinishedLineOverTheLimitBecomesBody()
    {
        RecordingSink sink;
        AnswerParser parser(sink, 18);
        parser.feed("HTTP/1.1 200 OK\r\nX-Lang: 0123");
        QVERIFY(parser.inHeader());
        parser.feed("456789");
        QVERIFY(parser.inHeader()); // 18 bytes held: not over the limit yet
        parser.feed("a");
        QVERIFY(!parser.inHeader());
        QCOMPARE(sink.events, QStringList({QStringLiteral("status:HTTP/1.1 200 OK"),
                                           QStringLiteral("end")}));
        QCOMPARE(sink.bodyBytes, QByteArray("X-Lang: 0123456789a"));
        parser.feed("\r\nServer: s\r\n");
        QCOMPARE(sink.bodyBytes, QByteArray("X-Lang: 0123456789a\r\nServer: s\r\n"));
        QCOMPARE(sink.events.size(), 2);
    }

    void productLimitIsOneMebibyte()
    {
        Fields f;
        f.parser->feed("HTTP/1.1 200 OK\r\n");
        const QByteArray piece(64 * 1024, 'x');
        for (int i = 0; i < 16; ++i)
            f.parser->feed(piece);
        QVERIFY(f.parser->inHeader());
        f.parser->feed("y");
        QVERIFY(!f.parser->inHeader());
        QCOMPARE(f.headerEnds, 1);
        QCOMPARE(f.models[SeiteField::Text]->text().size(), 16 * 64 * 1024 + 1);
    }

    void statusLineOverTheLimitBecomesBody()
    {
        RecordingSink sink;
        AnswerParser parser(sink, 4);
        parser.feed("abcdef");
        QCOMPARE(sink.events, QStringList({QStringLiteral("end")}));
        QCOMPARE(sink.bodyBytes, QByteArray("abcdef"));
    }

    void knownHeaderNames()
    {
        QCOMPARE(knownHeaderByName(u"LOCATION"), SeiteField::Location);
        QCOMPARE(knownHeaderByName(u"CONTENT-LOCATION"), SeiteField::ContentLocation);
        QVERIFY(!knownHeaderByName(u"Server"));
        QVERIFY(!knownHeaderByName(u"SERVER "));
        QVERIFY(!knownHeaderByName(u"SET-COOKIE"));
        // Request headers of the input fields have no answer field.
        QVERIFY(!knownHeaderByName(u"REFERER"));
        QVERIFY(!knownHeaderByName(u"HOST"));
    }
};

QTEST_APPLESS_MAIN(TestAnswerParser)
#include "tst_answerparser.moc"
