#include "listmaker/xml_reader.h"

#include <cstdint>
#include <vector>

#include "common/utf8.h"
#include "listmaker/ascii_text.h"

namespace {

// satellites.xml nests three deep and gives a transponder about a dozen
// attributes; the limits keep a hostile file from making the reader's own
// records grow with it.
constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxAttributes = 64;
// Names quoted in a message are cut to this many bytes.
constexpr size_t kQuotedBytes = 40;

const char kDoctypeRefused[] =
    "a document type declaration (<!DOCTYPE): it could declare entities, and this reader expands none";

struct PendingAttribute {
    std::string_view Name;
    size_t Begin = 0;
    size_t End = 0;
};

struct Reader {
    std::string_view Text;
    size_t At = 0;
    const XmlEvents* Events = nullptr;
    std::vector<std::string_view> Open;
    // The element being read: its attribute values, decoded, one after another.
    std::string Values;
    std::vector<PendingAttribute> Pending;
    std::vector<XmlAttribute> Attributes;
    std::string Error;
    size_t ErrorAt = 0;
    bool Latin1 = false;  // the declaration names ISO-8859-1
};

bool Fail(Reader& r, size_t at, std::string what) {
    r.Error = std::move(what);
    r.ErrorAt = at;
    return false;
}

bool AtEnd(const Reader& r) { return r.At >= r.Text.size(); }

bool StartsWith(const Reader& r, std::string_view prefix) {
    return r.Text.size() - r.At >= prefix.size() && r.Text.compare(r.At, prefix.size(), prefix) == 0;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool SkipSpace(Reader& r) {
    const size_t start = r.At;
    while (!AtEnd(r) && IsSpace(r.Text[r.At])) ++r.At;
    return r.At > start;
}

bool IsXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsNameStart(uint32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' || c == '_';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(uint32_t c) {
    return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

// The character at the cursor, checked; its length, or 0 after a failure.
size_t CharAt(Reader& r, uint32_t* code) {
    const size_t length = ReadUtf8(r.Text, r.At, code);
    if (length == 0) {
        Fail(r, r.At, "bytes that are not UTF-8");
        return 0;
    }
    if (!IsXmlChar(*code)) {
        Fail(r, r.At, "a character XML does not allow (code " + std::to_string(*code) + ")");
        return 0;
    }
    return length;
}

// Past one character, checked; plain ASCII takes the short way.
bool SkipChar(Reader& r) {
    const unsigned char c = static_cast<unsigned char>(r.Text[r.At]);
    if ((c >= 0x20 && c < 0x80) || c == '\n' || c == '\r' || c == '\t') {
        ++r.At;
        return true;
    }
    uint32_t code = 0;
    const size_t length = CharAt(r, &code);
    r.At += length;
    return length != 0;
}

bool ReadName(Reader& r, std::string_view* name) {
    const size_t start = r.At;
    uint32_t code = 0;
    while (!AtEnd(r)) {
        const size_t length = CharAt(r, &code);
        if (length == 0) return false;
        if (!(r.At == start ? IsNameStart(code) : IsNameChar(code))) break;
        r.At += length;
    }
    if (r.At == start)
        return Fail(r, start, AtEnd(r) ? "the file is cut short where a name should follow" : "a name was expected here");
    *name = r.Text.substr(start, r.At - start);
    return true;
}

void AppendUtf8(std::string* out, uint32_t c) {
    char bytes[4];
    out->append(bytes, WriteUtf8(c, bytes));
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "&#65;" or "&#x41;", the cursor past the '#'.
bool ReadCharacterReference(Reader& r, size_t start, std::string* out) {
    const bool hex = !AtEnd(r) && r.Text[r.At] == 'x';
    if (hex) ++r.At;
    uint32_t value = 0;
    size_t digits = 0;
    for (; !AtEnd(r) && DigitValue(r.Text[r.At], hex) >= 0; ++r.At, ++digits) {
        // Past the last character the value only has to stay past it.
        if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<uint32_t>(DigitValue(r.Text[r.At], hex));
    }
    if (digits == 0 || AtEnd(r) || r.Text[r.At] != ';')
        return Fail(r, start, "a character reference that is not &#digits; or &#xhex-digits;");
    ++r.At;
    if (!IsXmlChar(value)) return Fail(r, start, "a character reference to a character XML does not allow");
    if (out) AppendUtf8(out, value);
    return true;
}

// A reference at the cursor ('&'); the character it stands for is appended
// to out when there is one.
bool ReadReference(Reader& r, std::string* out) {
    const size_t start = r.At++;
    if (!AtEnd(r) && r.Text[r.At] == '#') {
        ++r.At;
        return ReadCharacterReference(r, start, out);
    }
    std::string_view name;
    if (!ReadName(r, &name)) return Fail(r, start, "an '&' that begins no reference (a plain '&' is written &amp;)");
    if (AtEnd(r) || r.Text[r.At] != ';') return Fail(r, start, "a reference without its ';'");
    ++r.At;
    static const struct { std::string_view Name; char Text; } kPredefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& entity : kPredefined) {
        if (entity.Name != name) continue;
        if (out) out->push_back(entity.Text);
        return true;
    }
    return Fail(r, start, "the entity &" + XmlQuote(name) + "; (only XML's own five are read; no other entity is expanded)");
}

// Text between markup: checked, not kept (what a satellite table says is in
// its attributes).
bool ReadText(Reader& r) {
    while (!AtEnd(r)) {
        const char c = r.Text[r.At];
        if (c == '<') return true;
        if (c == '&') {
            if (!ReadReference(r, nullptr)) return false;
        } else if (c == ']' && StartsWith(r, "]]>")) {
            return Fail(r, r.At, "']]>' outside a CDATA section");
        } else if (!SkipChar(r)) {
            return false;
        }
    }
    return true;
}

bool ReadComment(Reader& r) {
    const size_t start = r.At;
    r.At += 4;  // <!--
    const size_t textStart = r.At;
    while (!AtEnd(r)) {
        if (StartsWith(r, "--")) {
            if (!StartsWith(r, "-->")) return Fail(r, r.At, "'--' inside a comment");
            const XmlEvents& events = *r.Events;
            if (events.Comment) events.Comment(events.Context, r.Text.substr(textStart, r.At - textStart));
            r.At += 3;
            return true;
        }
        if (!SkipChar(r)) return false;
    }
    return Fail(r, start, "the file is cut short inside a comment");
}

// Runs to the closing text, every character checked.
bool SkipTo(Reader& r, std::string_view end, size_t start, const char* cutShort) {
    while (!AtEnd(r)) {
        if (StartsWith(r, end)) {
            r.At += end.size();
            return true;
        }
        if (!SkipChar(r)) return false;
    }
    return Fail(r, start, cutShort);
}

bool IsXmlTarget(std::string_view name) {
    return name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l';
}

bool ReadProcessingInstruction(Reader& r) {
    const size_t start = r.At;
    r.At += 2;  // <?
    std::string_view target;
    if (!ReadName(r, &target)) return false;
    if (IsXmlTarget(target)) return Fail(r, start, "an XML declaration that is not at the very start of the file");
    if (StartsWith(r, "?>")) {
        r.At += 2;
        return true;
    }
    if (!SkipSpace(r)) return Fail(r, r.At, "white space or '?>' was expected after a processing instruction's name");
    return SkipTo(r, "?>", start, "the file is cut short inside a processing instruction");
}

bool ReadAttributeValue(Reader& r) {
    if (AtEnd(r) || (r.Text[r.At] != '"' && r.Text[r.At] != '\''))
        return Fail(r, r.At, "an attribute value in quotes was expected");
    const size_t start = r.At;
    const char quote = r.Text[r.At++];
    while (!AtEnd(r) && r.Text[r.At] != quote) {
        const char c = r.Text[r.At];
        if (c == '<') return Fail(r, r.At, "a '<' inside an attribute value");
        if (c == '&') {
            if (!ReadReference(r, &r.Values)) return false;
        } else if (c == '\r' || c == '\n' || c == '\t') {
            // A line end (CR LF is one) or a tab is a space in a value.
            r.Values.push_back(' ');
            r.At += c == '\r' && StartsWith(r, "\r\n") ? 2 : 1;
        } else {
            const size_t from = r.At;
            if (!SkipChar(r)) return false;
            r.Values.append(r.Text.data() + from, r.At - from);
        }
    }
    if (AtEnd(r)) return Fail(r, start, "the file is cut short inside an attribute value");
    ++r.At;
    return true;
}

bool ReadAttribute(Reader& r) {
    const size_t start = r.At;
    PendingAttribute attribute;
    if (!ReadName(r, &attribute.Name)) return false;
    for (const PendingAttribute& other : r.Pending)
        if (other.Name == attribute.Name) return Fail(r, start, "the attribute " + XmlQuote(attribute.Name) + " is given twice");
    if (r.Pending.size() == kMaxAttributes) return Fail(r, start, "more than 64 attributes on one element");
    SkipSpace(r);
    if (AtEnd(r) || r.Text[r.At] != '=') return Fail(r, r.At, "'=' was expected after an attribute's name");
    ++r.At;
    SkipSpace(r);
    attribute.Begin = r.Values.size();
    if (!ReadAttributeValue(r)) return false;
    attribute.End = r.Values.size();
    r.Pending.push_back(attribute);
    return true;
}

// The attributes up to '>' or '/>' (then *empty).
bool ReadAttributes(Reader& r, bool* empty) {
    r.Values.clear();
    r.Pending.clear();
    for (;;) {
        const bool spaced = SkipSpace(r);
        if (AtEnd(r)) return Fail(r, r.At, "the file is cut short inside a tag");
        if (r.Text[r.At] == '>' || StartsWith(r, "/>")) {
            *empty = r.Text[r.At] == '/';
            r.At += *empty ? 2 : 1;
            return true;
        }
        if (!spaced) return Fail(r, r.At, "white space, '>' or '/>' was expected");
        if (!ReadAttribute(r)) return false;
    }
}

bool ReadStartTag(Reader& r) {
    const size_t start = r.At++;
    std::string_view name;
    bool empty = false;
    if (!ReadName(r, &name) || !ReadAttributes(r, &empty)) return false;
    if (!empty && r.Open.size() == kMaxDepth) return Fail(r, start, "elements nested more than 256 deep");
    r.Attributes.clear();
    const std::string_view values = r.Values;
    for (const PendingAttribute& a : r.Pending)
        r.Attributes.push_back(XmlAttribute{a.Name, values.substr(a.Begin, a.End - a.Begin)});
    const XmlEvents& events = *r.Events;
    if (events.StartElement &&
        !events.StartElement(events.Context, name, r.Attributes.data(), r.Attributes.size()))
        return Fail(r, start, std::string());
    if (!empty) r.Open.push_back(name);
    else if (events.EndElement) events.EndElement(events.Context, name);
    return true;
}

bool ReadEndTag(Reader& r) {
    const size_t start = r.At;
    r.At += 2;  // </
    std::string_view name;
    if (!ReadName(r, &name)) return false;
    SkipSpace(r);
    if (AtEnd(r) || r.Text[r.At] != '>') return Fail(r, r.At, "'>' was expected to end </" + XmlQuote(name) + ">");
    ++r.At;
    if (name != r.Open.back())
        return Fail(r, start, "</" + XmlQuote(name) + "> where <" + XmlQuote(r.Open.back()) + "> should be closed");
    r.Open.pop_back();
    const XmlEvents& events = *r.Events;
    if (events.EndElement) events.EndElement(events.Context, name);
    return true;
}

bool ReadMarkup(Reader& r) {
    if (StartsWith(r, "</")) return ReadEndTag(r);
    if (StartsWith(r, "<!--")) return ReadComment(r);
    if (StartsWith(r, "<![CDATA[")) {
        const size_t start = r.At;
        r.At += 9;
        return SkipTo(r, "]]>", start, "the file is cut short inside a CDATA section");
    }
    if (StartsWith(r, "<?")) return ReadProcessingInstruction(r);
    if (StartsWith(r, "<!")) return Fail(r, r.At, "a declaration inside an element");
    return ReadStartTag(r);
}

// From inside the root element to its end tag.
bool ReadContent(Reader& r) {
    while (!r.Open.empty()) {
        if (AtEnd(r)) return Fail(r, r.At, "the file is cut short: <" + XmlQuote(r.Open.back()) + "> is not closed");
        if (!(r.Text[r.At] == '<' ? ReadMarkup(r) : ReadText(r))) return false;
    }
    return true;
}

// White space, comments and processing instructions around the root element;
// before it, stops at its '<'.
bool ReadMisc(Reader& r, bool beforeRoot) {
    for (;;) {
        SkipSpace(r);
        if (AtEnd(r)) return true;
        if (StartsWith(r, "<!--")) {
            if (!ReadComment(r)) return false;
        } else if (StartsWith(r, "<?")) {
            if (!ReadProcessingInstruction(r)) return false;
        } else if (StartsWith(r, "<!DOCTYPE")) {
            return Fail(r, r.At, kDoctypeRefused);
        } else if (StartsWith(r, "<!")) {
            return Fail(r, r.At, "a declaration XML does not allow here");
        } else if (r.Text[r.At] == '<') {
            return beforeRoot ? true : Fail(r, r.At, "a second root element (a document has one)");
        } else {
            return Fail(r, r.At, beforeRoot ? "text before the root element" : "text after the root element");
        }
    }
}

// version="1.x", encoding="..." or standalone="...": absent optional ones
// leave the cursor where it was.
bool ReadPseudoAttribute(Reader& r, std::string_view name, std::string_view* value, bool required) {
    const size_t start = r.At;
    if (!SkipSpace(r) || !StartsWith(r, name)) {
        r.At = start;
        return required ? Fail(r, start, "the XML declaration gives no version") : true;
    }
    r.At += name.size();
    SkipSpace(r);
    if (AtEnd(r) || r.Text[r.At] != '=') return Fail(r, r.At, "'=' was expected in the XML declaration");
    ++r.At;
    SkipSpace(r);
    const char quote = AtEnd(r) ? '\0' : r.Text[r.At];
    if (quote != '"' && quote != '\'') return Fail(r, r.At, "a value in quotes was expected in the XML declaration");
    const size_t end = r.Text.find(quote, r.At + 1);
    if (end == std::string_view::npos || end - r.At > kQuotedBytes)
        return Fail(r, r.At, "the XML declaration's " + std::string(name) + " does not end");
    *value = r.Text.substr(r.At + 1, end - r.At - 1);
    r.At = end + 1;
    return true;
}

bool IsVersion(std::string_view version) {
    if (version.size() < 3 || version.compare(0, 2, "1.") != 0) return false;
    for (size_t i = 2; i < version.size(); ++i)
        if (version[i] < '0' || version[i] > '9') return false;
    return true;
}

bool ReadXmlDeclaration(Reader& r) {
    const size_t start = r.At;
    r.At += 5;  // <?xml
    std::string_view version, encoding, standalone;
    if (!ReadPseudoAttribute(r, "version", &version, true) || !ReadPseudoAttribute(r, "encoding", &encoding, false) ||
        !ReadPseudoAttribute(r, "standalone", &standalone, false))
        return false;
    SkipSpace(r);
    if (!StartsWith(r, "?>")) return Fail(r, r.At, "the XML declaration does not end with '?>'");
    r.At += 2;
    if (!IsVersion(version)) return Fail(r, start, "the XML declaration's version is not 1.x");
    r.Latin1 = SameLetters(encoding, "iso-8859-1") || SameLetters(encoding, "latin1");
    if (!encoding.empty() && !r.Latin1 && !SameLetters(encoding, "utf-8") && !SameLetters(encoding, "utf8") &&
        !SameLetters(encoding, "us-ascii") && !SameLetters(encoding, "ascii"))
        return Fail(r, start, "the file says it is written in " + XmlQuote(encoding) +
                                  "; only UTF-8 and ISO-8859-1 are read");
    if (!standalone.empty() && standalone != "yes" && standalone != "no")
        return Fail(r, start, "the XML declaration's standalone is neither yes nor no");
    return true;
}

// The byte order mark and the XML declaration, where there are.
bool ReadStart(Reader& r) {
    if (StartsWith(r, "\xEF\xBB\xBF")) r.At = 3;
    const unsigned char first = r.Text.empty() ? 1 : static_cast<unsigned char>(r.Text[0]);
    if (first == 0 || first == 0xFF || first == 0xFE)
        return Fail(r, 0, "the file is written in UTF-16 or UTF-32; only UTF-8 is read");
    if (!StartsWith(r, "<?xml") || r.Text.size() - r.At < 6 || !IsSpace(r.Text[r.At + 5])) return true;
    return ReadXmlDeclaration(r);
}

// Older receivers' files declare ISO-8859-1: each byte is the character of
// that number, read again as UTF-8.
bool DeclaresLatin1(std::string_view text) {
    XmlEvents none;
    Reader probe;
    probe.Text = text;
    probe.Events = &none;
    return ReadStart(probe) && probe.Latin1;
}

std::string Latin1AsUtf8(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size() + text.size() / 8);
    for (char c : text) AppendUtf8(&utf8, static_cast<unsigned char>(c));
    return utf8;
}

bool ReadDocument(Reader& r) {
    if (r.Text.empty()) return Fail(r, 0, "the file is empty");
    if (!ReadStart(r) || !ReadMisc(r, true)) return false;
    if (AtEnd(r)) return Fail(r, r.At, "the file holds no XML element");
    return ReadStartTag(r) && ReadContent(r) && ReadMisc(r, false);
}

// Lines end at LF, CR LF or a lone CR; a byte order mark is not a column.
void PlaceFailure(std::string_view text, size_t offset, XmlFailure* failure) {
    size_t line = 1, column = 1;
    const size_t end = offset < text.size() ? offset : text.size();
    for (size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++line;
            column = 1;
        } else if (c != '\r' && (c & 0xC0) != 0x80) {
            ++column;
        }
    }
    failure->Line = line;
    failure->Column = column;
}

}  // namespace

std::string XmlQuote(std::string_view text) {
    if (text.size() <= kQuotedBytes) return std::string(text);
    size_t cut = kQuotedBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
}

bool ReadXml(std::string_view text, const XmlEvents& events, XmlFailure* failure) {
    // The file as given: read as UTF-8, ISO-8859-1 may take up to twice as much.
    if (text.size() > kXmlSizeLimit) {
        *failure = XmlFailure{1, 1, "the file is larger than 100 MB"};
        return false;
    }
    std::string utf8;
    if (DeclaresLatin1(text)) {
        utf8 = Latin1AsUtf8(text);
        text = utf8;  // the same characters, so the same lines and columns
    }
    Reader reader;
    reader.Text = text;
    reader.Events = &events;
    if (ReadDocument(reader)) return true;
    PlaceFailure(text, reader.ErrorAt, failure);
    failure->What = reader.Error;
    return false;
}
