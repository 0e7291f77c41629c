// Reads an XML document from a file that may come from anywhere (a
// satellites.xml dropped on the window, or named to bdaprobe) and hands its
// elements, attributes and comments to the caller as it goes.
//
// Why not a library: the one that would fit a small static Windows program is
// expat, and expat is mostly a document type machine (entity and attribute
// list declarations, parameter entities, external subsets) that a file like
// this never needs and that would have to be switched off callback by
// callback; its security history lives in that machinery (the billion laughs,
// recursion through nested entities). This reader has no such machine at all:
// it refuses any document type declaration, so no entity other than XML's
// five and no character reference other than a plain one is ever expanded,
// and nothing outside the given bytes is ever opened. Everything else it
// checks as XML 1.0 requires of a well-formed document (UTF-8, or ISO-8859-1
// where the declaration says so, as older receivers' files do; characters,
// names, matching tags, attributes named once, '<' only as markup, '&' only
// in a reference, one root element), and refuses the file at the first
// fault, saying where.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// No satellite table comes near it; a larger file is refused before it is
// read. It is the file's size as given, an ISO-8859-1 one's too.
constexpr size_t kXmlSizeLimit = 100u * 1024 * 1024;

struct XmlAttribute {
    std::string_view Name;
    // References replaced and white space normalised as XML 1.0 says
    // (a tab or a line end in the value is a space).
    std::string_view Value;
};

// What the caller hears of the document. The views are valid only during
// the call.
struct XmlEvents {
    void* Context = nullptr;
    // Returning false stops the reading: the handler keeps its own reason,
    // and the failure's position is the element's.
    bool (*StartElement)(void* context, std::string_view name, const XmlAttribute* attributes,
                         size_t count) = nullptr;
    void (*EndElement)(void* context, std::string_view name) = nullptr;
    void (*Comment)(void* context, std::string_view text) = nullptr;
};

struct XmlFailure {
    // From 1; the column counts characters, as an editor shows them.
    size_t Line = 0;
    size_t Column = 0;
    // What is wrong; empty when a handler stopped the reading.
    std::string What;
};

// Text from the file as a message quotes it: at most 40 bytes, cut at a
// character's start.
std::string XmlQuote(std::string_view text);

// True when the whole text is a well-formed document and no handler stopped
// it; otherwise false with the failure filled in.
bool ReadXml(std::string_view text, const XmlEvents& events, XmlFailure* failure);
