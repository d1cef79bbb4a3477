// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Splits a server's answer, fed in byte chunks of any size, into the status
// line, header lines and the raw body. Header lines end in LF or CR LF; the
// first empty line ends the header. Nothing is decoded beyond the one byte
// per character mapping of Windows-1252.

#include "common/limits.h"
#include "objects/seitefields.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>

namespace varnok {

class TextModel;

// The answer field that shows the header an already upper-cased name
// stands for; nothing for a header without a field of its own.
std::optional<SeiteField> knownHeaderByName(QStringView upperName);

// Where the parser writes. Callbacks must not feed or reset the parser that
// calls them; a reset from inside one drops the rest of the chunk.
class AnswerSink
{
public:
    virtual ~AnswerSink() = default;
    virtual void statusLine(const QString &line) = 0;                  // the first line
    virtual void knownHeader(SeiteField field, const QString &value) = 0;
    virtual void otherHeader(const QString &line) = 0;                 // NewUnknow
    virtual void headerEnded() = 0;
    virtual void body(QByteArrayView bytes) = 0;                       // appended raw
};

class AnswerParser
{
public:
    // A header line that grows past this without a line end ends header
    // reading: what was buffered and all that follows is body.
    static constexpr qsizetype kMaxHeaderLine = limits::kHeaderLine;

    explicit AnswerParser(AnswerSink &sink, qsizetype maxHeaderLine = kMaxHeaderLine)
        : m_sink(sink), m_maxHeaderLine(maxHeaderLine)
    {
    }

    // InHeader and FirstLine true, ReceiveBuffer empty.
    void reset();
    // Appends to ReceiveBuffer and runs CheckData.
    void feed(QByteArrayView chunk);

    bool inHeader() const { return m_inHeader; }
    bool firstLine() const { return m_firstLine; }
    // The unfinished header line held until its line end arrives.
    const QByteArray &receiveBuffer() const { return m_buffer; }

private:
    // One complete line of the header (without its line end); false when a
    // callback reset the parser.
    bool takeLine(QByteArrayView line);
    void checkItem(const QString &line);
    void endHeader();

    AnswerSink &m_sink;
    qsizetype m_maxHeaderLine;
    QByteArray m_buffer;
    bool m_inHeader = true;
    bool m_firstLine = true;
    quint64 m_generation = 0; // counts resets, so a callback's reset is noticed
};

// The models of a request window's text boxes; the sink writes the answer
// fields (Rueckgabe .. Weiteres) and the body (Text).
using SeiteModels = SeiteFieldMap<std::shared_ptr<TextModel>>;

// Writes an answer into the fields: known headers replace their field, other
// lines are appended to Weiteres (CR LF between lines), the body is appended
// to the output box.
class ModelAnswerSink : public AnswerSink
{
public:
    ModelAnswerSink(SeiteModels models, std::function<void()> onHeaderEnded);

    void statusLine(const QString &line) override;
    void knownHeader(SeiteField field, const QString &value) override;
    void otherHeader(const QString &line) override;
    void headerEnded() override;
    void body(QByteArrayView bytes) override;
    // The piece being fed, while it is: body bytes from it are kept as part
    // of it rather than copied.
    void holdPiece(const QByteArray &piece) { m_piece = piece; }

private:
    SeiteModels m_models;
    QByteArray m_piece;
    std::function<void()> m_onHeaderEnded;
};

} // namespace varnok
