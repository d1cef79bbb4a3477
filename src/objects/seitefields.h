// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text boxes of a request window, in one table: the name scripts use,
// the control, the caption beside it, the header it is sent as or filled
// from, its default text and its place in the window. The window node, the
// request composition, the answer splitting, the window's layout and the
// test doubles all take what they need from here, so a field is added or
// changed in one row.

#include <QStringView>

#include <array>
#include <cstddef>

namespace varnok {

// One per row of the table, in table order: the input fields top to bottom
// of the left column, the answer fields top to bottom of the right column,
// then the answer body. This is also the order in which the window node
// binds its variables.
enum class SeiteField : unsigned char {
    Server, Port, Befehl, Referer, Range, Accept, AcceptLanguage, AcceptEncoding, UserAgent,
    Anhang, ContentType,
    Rueckgabe, AnswerServer, Date, AnswerContentType, LastModified, ETag, ContentLength,
    ContentRange, ContentLocation, AcceptRanges, Location, Weiteres,
    Text,
};
inline constexpr std::size_t kSeiteFieldCount = std::size_t(SeiteField::Text) + 1;
// The input fields are the first rows.
inline constexpr std::size_t kRequestFieldCount = std::size_t(SeiteField::Rueckgabe);

// The node of SeiteFenster(i) that holds a field's variable.
enum class SeiteNode : unsigned char { Window, Input, Output };

enum class SeitePlace : unsigned char {
    Left,       // caption at the window's left edge, box beside it
    Right,      // caption right of the divider, field beside it
    RightBelow, // caption right of the divider, a wide box under it
    Bottom,     // along the bottom, below the horizontal divider
};

struct SeiteFieldRow
{
    SeiteField field;
    SeiteNode node;
    QStringView scriptName;     // the variable below the node
    QStringView control;        // the control name
    QStringView captionControl; // empty for a box without a caption
    QStringView caption;
    // An input field: the request header its text is sent under (empty when
    // it has no header line of its own). An answer field: the answer header
    // it shows, matched upper-cased (empty for the status line and the rest).
    QStringView header;
    QStringView defaultText;
    SeitePlace place;
    int top;    // twips from the client area's top, of the caption and its box
    int height; // twips; the bottom box takes what the window leaves
    bool multiLine;
};

inline constexpr std::array<SeiteFieldRow, kSeiteFieldCount> kSeiteFields = {{
    // clang-format off
    {SeiteField::Server, SeiteNode::Input, u"Server", u"Text1", u"Label1", u"Server:", u"Host",
     u"localhost", SeitePlace::Left, 120, 285, false},
    {SeiteField::Port, SeiteNode::Input, u"Port", u"Text2", u"Label8", u"Port:", {},
     u"80", SeitePlace::Left, 480, 285, false},
    {SeiteField::Befehl, SeiteNode::Input, u"Befehl", u"Text3", u"Label5", u"Befehl:", {},
     u"GET / HTTP/1.1", SeitePlace::Left, 840, 285, false},
    {SeiteField::Referer, SeiteNode::Input, u"Referer", u"Text4", u"Label7", u"Referer:", u"Referer",
     {}, SeitePlace::Left, 1200, 285, false},
    {SeiteField::Range, SeiteNode::Input, u"Range", u"Text12", u"Label13", u"Range:", u"Range",
     {}, SeitePlace::Left, 1560, 285, false},
    {SeiteField::Accept, SeiteNode::Input, u"Accept", u"Text5", u"Label2", u"Accept:", u"Accept",
     u"image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
     u"application/vnd.ms-powerpoint, application/msword, */*",
     SeitePlace::Left, 1920, 285, false},
    {SeiteField::AcceptLanguage, SeiteNode::Input, u"Accept-Language", u"Text6", u"Label3",
     u"Accept-Language:", u"Accept-Language", u"de", SeitePlace::Left, 2280, 285, false},
    {SeiteField::AcceptEncoding, SeiteNode::Input, u"Accept-Encoding", u"Text7", u"Label4",
     u"Accept-Encoding:", u"Accept-Encoding", u"gzip, deflate", SeitePlace::Left, 2640, 285, false},
    {SeiteField::UserAgent, SeiteNode::Input, u"User-Agent", u"Text8", u"Label6", u"User-Agent:",
     u"User-Agent", u"Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 5.0; COM+ 1.0.2204)",
     SeitePlace::Left, 3000, 285, false},
    {SeiteField::Anhang, SeiteNode::Input, u"Anhang", u"Text9", u"Label9", u"Anhang:", {},
     {}, SeitePlace::Left, 3360, 975, true},
    {SeiteField::ContentType, SeiteNode::Input, u"Content-Type", u"Text11", u"Label11",
     u"Content-Type: ", u"Content-Type", u"application/x-www-form-urlencoded",
     SeitePlace::Left, 4440, 285, false},

    {SeiteField::Rueckgabe, SeiteNode::Output, u"Rueckgabe", u"Label25", u"Label20", u"Rückgabe:",
     {}, {}, SeitePlace::Right, 120, 285, false},
    {SeiteField::AnswerServer, SeiteNode::Output, u"Server", u"Label26", u"Label12", u"Server:",
     u"Server", {}, SeitePlace::Right, 480, 285, false},
    {SeiteField::Date, SeiteNode::Output, u"Date", u"Label27", u"Label14", u"Date:",
     u"Date", {}, SeitePlace::Right, 840, 285, false},
    {SeiteField::AnswerContentType, SeiteNode::Output, u"Content-Type", u"Label28", u"Label15",
     u"Content-Type:", u"Content-Type", {}, SeitePlace::Right, 1200, 285, false},
    {SeiteField::LastModified, SeiteNode::Output, u"Last-Modified", u"Label29", u"Label16",
     u"Last-Modified:", u"Last-Modified", {}, SeitePlace::Right, 1560, 285, false},
    {SeiteField::ETag, SeiteNode::Output, u"ETag", u"Label30", u"Label17", u"ETag:",
     u"ETag", {}, SeitePlace::Right, 1920, 285, false},
    {SeiteField::ContentLength, SeiteNode::Output, u"Content-Length", u"Label31", u"Label18",
     u"Content-Length:", u"Content-Length", {}, SeitePlace::Right, 2280, 285, false},
    {SeiteField::ContentRange, SeiteNode::Output, u"Content-Range", u"Label32", u"Label19",
     u"Content-Range:", u"Content-Range", {}, SeitePlace::Right, 2640, 285, false},
    {SeiteField::ContentLocation, SeiteNode::Output, u"Content-Location", u"Label33", u"Label21",
     u"Content-Location:", u"Content-Location", {}, SeitePlace::Right, 3000, 285, false},
    {SeiteField::AcceptRanges, SeiteNode::Output, u"Accept-Ranges", u"Label34", u"Label22",
     u"Accept-Ranges:", u"Accept-Ranges", {}, SeitePlace::Right, 3360, 285, false},
    {SeiteField::Location, SeiteNode::Output, u"Location", u"Label35", u"Label23", u"Location:",
     u"Location", {}, SeitePlace::Right, 3720, 285, false},
    {SeiteField::Weiteres, SeiteNode::Output, u"Weiteres", u"Text13", u"Label24",
     u"weitere Angaben:", {}, {}, SeitePlace::RightBelow, 4080, 735, true},

    {SeiteField::Text, SeiteNode::Window, u"Text", u"Text10", {}, {}, {}, {},
     SeitePlace::Bottom, 5280, 0, true},
    // clang-format on
}};

constexpr bool seiteFieldsInEnumOrder()
{
    for (std::size_t i = 0; i < kSeiteFieldCount; ++i)
        if (kSeiteFields[i].field != SeiteField(i))
            return false;
    return true;
}
static_assert(seiteFieldsInEnumOrder(), "rows of kSeiteFields must follow SeiteField");

constexpr const SeiteFieldRow &seiteField(SeiteField f)
{
    return kSeiteFields[std::size_t(f)];
}

// One value per field, indexed by SeiteField.
template <typename T>
struct SeiteFieldMap
{
    std::array<T, kSeiteFieldCount> items{};

    T &operator[](SeiteField f) { return items[std::size_t(f)]; }
    const T &operator[](SeiteField f) const { return items[std::size_t(f)]; }
};

} // namespace varnok
