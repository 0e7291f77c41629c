// The XML reader on files from anywhere: what a well-formed document hands
// over, and each kind of malformed or hostile one refused with where it is
// wrong, before anything in it is expanded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listmaker/xml_reader.h"

namespace {

// Every event as text: "<name a=value>", "</name>", "!comment".
struct Seen {
    std::vector<std::string> Events;
    std::string StopAt;  // an element that stops the reading
};

bool OnStart(void* context, std::string_view name, const XmlAttribute* attributes, size_t count) {
    auto* seen = static_cast<Seen*>(context);
    std::string event = "<" + std::string(name);
    for (size_t i = 0; i < count; ++i)
        event += " " + std::string(attributes[i].Name) + "=" + std::string(attributes[i].Value);
    seen->Events.push_back(event + ">");
    return name != seen->StopAt;
}

void OnEnd(void* context, std::string_view name) {
    static_cast<Seen*>(context)->Events.push_back("</" + std::string(name) + ">");
}

void OnComment(void* context, std::string_view text) {
    static_cast<Seen*>(context)->Events.push_back("!" + std::string(text));
}

bool Read(const std::string& text, Seen* seen, XmlFailure* failure) {
    XmlEvents events;
    events.Context = seen;
    events.StartElement = OnStart;
    events.EndElement = OnEnd;
    events.Comment = OnComment;
    return ReadXml(text, events, failure);
}

struct Refusal {
    const char* Text;
    size_t Line;
    size_t Column;
    const char* Says;
};

void ExpectRefused(const Refusal& refusal) {
    Seen seen;
    XmlFailure failure;
    EXPECT_FALSE(Read(refusal.Text, &seen, &failure)) << refusal.Text;
    EXPECT_EQ(failure.Line, refusal.Line) << refusal.Text << ": " << failure.What;
    EXPECT_EQ(failure.Column, refusal.Column) << refusal.Text << ": " << failure.What;
    EXPECT_NE(failure.What.find(refusal.Says), std::string::npos) << refusal.Text << ": " << failure.What;
}

}  // namespace

TEST(XmlReader, HandsOverWhatAWellFormedFileSays) {
    const std::string text =
        "\xEF\xBB\xBF<?xml version='1.0' encoding=\"utf-8\" standalone='yes'?>\r\n"
        "<!-- File created on 2026-08-22 -->\n<?grabber keep?>\n"
        "<satellites>\n\t<sat name=\"Eutelsat 36D &amp; Express &lt;AMU1&gt;\" position = '360' >"
        "<transponder a=\"T&#252;rksat &#xE9;&#x1F600;\" b='say \"hi\"' c=\"one\ttwo\r\nthree\rfour\nfive\"/>"
        "text &amp; more <![CDATA[ <not> & markup ]]></sat>\n"
        "<empty/></satellites>\n<!-- after -->\n";
    Seen seen;
    XmlFailure failure;
    ASSERT_TRUE(Read(text, &seen, &failure)) << failure.Line << ":" << failure.Column << " " << failure.What;
    const std::vector<std::string> expected = {
        "! File created on 2026-08-22 ", "<satellites>", "<sat name=Eutelsat 36D & Express <AMU1> position=360>",
        "<transponder a=T\xC3\xBCrksat \xC3\xA9\xF0\x9F\x98\x80 b=say \"hi\" c=one two three four five>",
        "</transponder>", "</sat>", "<empty>", "</empty>", "</satellites>", "! after "};
    EXPECT_EQ(seen.Events, expected);
}

TEST(XmlReader, ReadsAFileThatDeclaresIso88591AsItsCharacters) {
    Seen seen;
    XmlFailure failure;
    ASSERT_TRUE(Read("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<sat name=\"T\xFCrksat \xA9\"/>", &seen, &failure))
        << failure.What;
    EXPECT_EQ(seen.Events, (std::vector<std::string>{"<sat name=T\xC3\xBCrksat \xC2\xA9>", "</sat>"}));
    EXPECT_FALSE(Read("<?xml version=\"1.0\" encoding=\"latin1\"?>\n<a>\xE9\x01</a>", &seen, &failure));
    EXPECT_EQ(failure.Line, 2u);
    EXPECT_EQ(failure.Column, 5u) << "lines and columns as the file's own characters";
    EXPECT_FALSE(Read("<?xml version=\"1.0\"?>\n<sat name=\"T\xFCrksat\"/>", &seen, &failure)) << "UTF-8 unless declared";
}

TEST(XmlReader, RefusesMalformedFilesSayingWhere) {
    const Refusal refusals[] = {
        {"", 1, 1, "empty"},
        {" \n \n", 3, 1, "no XML element"},
        {"\xFF\xFE<\0a\0>\0", 1, 1, "UTF-16"},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a/>", 1, 1, "only UTF-8 and ISO-8859-1"},
        {"<?xml version=\"2.0\"?><a/>", 1, 1, "version"},
        {"<a>\n  <b x=\"1\">\n  </c>\n</a>", 3, 3, "</c> where <b>"},
        {"<satellites>\n<sat name=\"x\"", 2, 14, "cut short"},
        {"<satellites>\n<sat name=\"x\">", 2, 15, "<sat> is not closed"},
        {"<a x=\"1\" x=\"2\"/>", 1, 10, "given twice"},
        {"<a x=\"1 < 2\"/>", 1, 9, "'<' inside"},
        {"<a x=\"fish & chips\"/>", 1, 12, "'&'"},
        {"<a x=\"&nbsp;\"/>", 1, 7, "&nbsp;"},
        {"<a>&#0;</a>", 1, 4, "character reference"},
        {"<a>&#xD800;</a>", 1, 4, "character reference"},
        {"<a>&#12</a>", 1, 4, "character reference"},
        {"<a>caf\xC3</a>", 1, 7, "not UTF-8"},
        {"<a>\xC0\xAF</a>", 1, 4, "not UTF-8"},
        {"<a>\xED\xA0\x80</a>", 1, 4, "not UTF-8"},
        {"<a>\x01</a>", 1, 4, "does not allow"},
        {"<a x=\"1\"y=\"2\"/>", 1, 9, "white space"},
        {"<a>]]></a>", 1, 4, "']]>'"},
        {"<a><!-- a -- b --></a>", 1, 11, "'--'"},
        {"<a/>\n<?xml version=\"1.0\"?>", 2, 1, "XML declaration"},
        {"<a/>\n<b/>", 2, 1, "second root"},
        {"<a/>\ntext", 2, 1, "text after"},
        {"text<a/>", 1, 1, "text before"},
        {"<a><!ELEMENT a ANY></a>", 1, 4, "declaration"},
        {"<1a/>", 1, 2, "name"},
    };
    for (const Refusal& refusal : refusals) ExpectRefused(refusal);
}

TEST(XmlReader, RefusesEntityDeclarationsInsteadOfExpandingThem) {
    const std::string laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n <!ENTITY lol \"lol\">\n"
        " <!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
        " <!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">\n]>\n"
        "<satellites><sat name=\"&lol3;\" position=\"130\"/></satellites>\n";
    const std::string external =
        "<!DOCTYPE satellites [<!ENTITY secret SYSTEM \"file:///etc/passwd\">]>\n"
        "<satellites><sat name=\"&secret;\" position=\"130\"/></satellites>";
    const std::string parameter = "<!DOCTYPE a [<!ENTITY % p SYSTEM \"http://example.com/x.dtd\"> %p;]><a/>";
    for (const std::string& text : {laughs, external, parameter}) {
        Seen seen;
        XmlFailure failure;
        EXPECT_FALSE(Read(text, &seen, &failure));
        EXPECT_TRUE(seen.Events.empty()) << "refused before any element is handed over";
        EXPECT_NE(failure.What.find("DOCTYPE"), std::string::npos) << failure.What;
        EXPECT_EQ(failure.Column, 1u);
    }
    ExpectRefused({"<satellites><sat name=\"&lol3;\"/></satellites>", 1, 24, "no other entity is expanded"});
}

TEST(XmlReader, LimitsSizeDepthAndAttributes) {
    const std::string huge(kXmlSizeLimit + 1, ' ');
    ExpectRefused({huge.c_str(), 1, 1, "100 MB"});
    // The limit is the file's, as given: ISO-8859-1 letters past 127 take two
    // bytes each in UTF-8, so this file of a little over 50 MB reads as more
    // than 100 MB, and is still read.
    std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>";
    latin1.append(kXmlSizeLimit / 2 + 1024, '\xE9');
    latin1 += "</a>";
    {
        Seen read;
        XmlFailure failure;
        EXPECT_TRUE(Read(latin1, &read, &failure)) << failure.What;
        EXPECT_EQ(read.Events, (std::vector<std::string>{"<a>", "</a>"}));
    }

    std::string deep;
    for (int i = 0; i < 256; ++i) deep += "<a>";
    for (int i = 0; i < 256; ++i) deep += "</a>";
    Seen seen;
    XmlFailure failure;
    EXPECT_TRUE(Read(deep, &seen, &failure)) << "256 deep is read";
    EXPECT_FALSE(Read("<b>" + deep + "</b>", &seen, &failure));
    EXPECT_NE(failure.What.find("256 deep"), std::string::npos) << failure.What;

    std::string many = "<a";
    for (int i = 0; i < 64; ++i) many += " a" + std::to_string(i) + "=\"\"";
    EXPECT_TRUE(Read(many + "/>", &seen, &failure)) << "64 attributes are read";
    EXPECT_FALSE(Read(many + " more=\"\"/>", &seen, &failure));
    EXPECT_NE(failure.What.find("64 attributes"), std::string::npos) << failure.What;
}

TEST(XmlReader, AHandlerThatStopsIsPlacedAtItsElement) {
    Seen seen;
    seen.StopAt = "sat";
    XmlFailure failure;
    EXPECT_FALSE(Read("<satellites>\n  <sat position=\"x\"/>\n</satellites>", &seen, &failure));
    EXPECT_EQ(failure.Line, 2u);
    EXPECT_EQ(failure.Column, 3u);
    EXPECT_TRUE(failure.What.empty()) << "the handler keeps its own reason";
    EXPECT_EQ(XmlQuote(std::string(50, 'x')), std::string(40, 'x') + "...");
    EXPECT_EQ(XmlQuote(std::string(39, 'x') + "\xC3\xBC"), std::string(39, 'x') + "...") << "cut at a character";
}
