// SPDX-License-Identifier: GPL-3.0-or-later
// The script file format: what loading and saving promise for any bytes.
//
// Input: the bytes of a script file. The same bytes read as UTF-16 code
// units also make an editor text to save.

#include "fuzzcheck.h"

#include "common/conventions.h"
#include "editor/scriptfile.h"

#include <QByteArray>
#include <QString>

using namespace varnok;

namespace {

// Line breaks of a loaded text are CR LF and nothing else makes a CR.
bool onlyCrLfBreaks(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))
            return false;
    return true;
}

bool encodable(QStringView text)
{
    for (const QChar c : text)
        if (!charToCp1252(c))
            return false;
    return true;
}

void checkLoaded(const QByteArray &bytes)
{
    const QString text = decodeScriptFile(bytes);
    FUZZ_CHECK(onlyCrLfBreaks(text));
    FUZZ_CHECK(!text.startsWith(u"\r\n"));
    FUZZ_CHECK(text.size() <= bytes.size() + bytes.count('\r'));
    // Apart from the line breaks, the text is the file's bytes in order, one
    // character each.
    QByteArray content;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (bytes[i] != '\r' && !(bytes[i] == '\n' && i > 0 && bytes[i - 1] == '\r'))
            content += bytes[i];
    FUZZ_CHECK(QString(text).remove(QStringLiteral("\r\n")) == decodeCp1252(content));

    // Saving a loaded text and loading it again gives the same text; a
    // second save writes the same bytes.
    const QByteArray saved = encodeScriptFile(text);
    FUZZ_CHECK(saved.endsWith("\r\n"));
    FUZZ_CHECK(saved.size() == text.size() + 2);
    FUZZ_CHECK(decodeScriptFile(saved) == text);
    FUZZ_CHECK(encodeScriptFile(decodeScriptFile(saved)) == saved);
}

void checkSaved(QStringView text)
{
    // One byte per character, '?' for characters outside the code page.
    const QByteArray saved = encodeScriptFile(text);
    FUZZ_CHECK(saved.size() == text.size() + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto b = charToCp1252(text[i]);
        FUZZ_CHECK(static_cast<unsigned char>(saved[i]) == (b ? *b : '?'));
        if (b)
            FUZZ_CHECK(cp1252ToChar(*b) == text[i]);
    }
    // An editor text in the loaded form comes back unchanged.
    if (encodable(text) && onlyCrLfBreaks(text) && !text.startsWith(u"\r\n"))
        FUZZ_CHECK(decodeScriptFile(saved) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkLoaded(bytes);
    // The byte mapping is a bijection.
    FUZZ_CHECK(encodeCp1252(decodeCp1252(bytes)) == bytes);

    const QString units(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
    checkSaved(units);
    checkSaved(decodeCp1252(bytes));
    return 0;
}
