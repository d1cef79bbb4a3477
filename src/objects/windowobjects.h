#pragma once
// The nodes SeiteFenster(i) and SkriptFenster(i) that stand for open windows.

#include "objecttree.h"

#include <memory>

namespace varnok {

// The text boxes of a request window a node binds to, by their control names.
struct SeiteFields
{
    std::shared_ptr<TextField> text10; // the answer body (output box)
    // Input: Server, Port, Befehl, Referer, Range, Accept, Accept-Language,
    // Accept-Encoding, User-Agent, Anhang, Content-Type
    std::shared_ptr<TextField> text1, text2, text3, text4, text12, text5, text6, text7, text8,
        text9, text11;
    // Output: Rueckgabe, Server, Date, Content-Type, Last-Modified, ETag,
    // Content-Length, Content-Range, Content-Location, Accept-Ranges,
    // Location, then Weiteres (Text13)
    std::shared_ptr<TextField> label25, label26, label27, label28, label29, label30, label31,
        label32, label33, label34, label35, text13;
};

void RegisterSeiteFenster(ScriptObjects &root, qint16 index, const SeiteFields &fields);
void UnregisterSeiteFenster(ScriptObjects &root, qint16 index);
void RegisterSkriptFenster(ScriptObjects &root, qint16 index, const std::shared_ptr<TextField> &text1);
void UnregisterSkriptFenster(ScriptObjects &root, qint16 index);

} // namespace varnok
