// What XML parsing reports for malformed documents and keeps of them, and what a document writes back.
#include <gtest/gtest.h>

#include <string>

#include "player/avm1/vm.h"
#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Value;
using Movie = sw::ScriptMovie;

namespace {

struct Parsed {
    double status;
    std::string text;
};

Parsed parse(Movie& m, const char* source) {
    const Value xml = m.make("XML", {Value(QString::fromUtf8(source))});
    return {m.num(m.get(xml, "status")), m.str(xml)};
}

}  // namespace

TEST(XmlStatus, AnythingLeftUnterminatedIsOneStatus) {
    Movie m(8);
    for (const char* source : {"<a><![CDATA[open", "<!-- open", "<a", "<a x='1>", "<!DOCTYPE open", "<?xml open",
                               "<r><a/><b", "<r><a/></r><z"}) {
        EXPECT_EQ(parse(m, source).status, -6) << source;
    }
    // What came before stays.
    EXPECT_EQ(parse(m, "<a>x<!-- c").text, "<a>x</a>");
    EXPECT_EQ(parse(m, "<r><a/><b").text, "<r><a /></r>");
}

TEST(XmlStatus, EndTagsMustMatchButOpenElementsMayStayOpen) {
    Movie m(8);
    EXPECT_EQ(parse(m, "</a>").status, -10);
    EXPECT_EQ(parse(m, "<a></b>").status, -10);
    EXPECT_EQ(parse(m, "<r><a>x</b>y</r>").status, -10);
    EXPECT_EQ(parse(m, "<r><a>x</b>y</r>").text, "<r><a>x</a></r>");
    EXPECT_EQ(parse(m, "<a>x</a></a>").status, -10);
    const Parsed open = parse(m, "<r><a/><b>");
    EXPECT_EQ(open.status, 0);
    EXPECT_EQ(open.text, "<r><a /><b /></r>");
    EXPECT_EQ(parse(m, "<r>text").text, "<r>text</r>");
}

TEST(XmlStatus, AMalformedAttributeEndsTheDocumentQuietly) {
    Movie m(8);
    for (const char* source : {"<r><b/><a x=1/></r>", "<r><b/><a x='1' x='2'/></r>", "<r><b/><a x/></r>"}) {
        const Parsed p = parse(m, source);
        EXPECT_EQ(p.status, 0) << source;
        EXPECT_EQ(p.text, "<r><b /></r>") << source;
    }
    EXPECT_EQ(parse(m, "<r>t<a x='1' x='2'>in</a>after</r>").text, "<r>t</r>");
    EXPECT_EQ(parse(m, "<r><a b = '1' c=\"2\"/></r>").text, "<r><a b=\"1\" c=\"2\" /></r>");
}

TEST(XmlStatus, DeclarationsAreReadButNotWrittenBack) {
    Movie m(8);
    const Value xml = m.make("XML", {Value("<?xml version='1.0'?><!DOCTYPE greeting SYSTEM 'hello.dtd'><a/>")});
    EXPECT_EQ(m.str(m.get(xml, "xmlDecl")), "<?xml version='1.0'?>");
    EXPECT_EQ(m.str(m.get(xml, "docTypeDecl")), "<!DOCTYPE greeting SYSTEM 'hello.dtd'>");
    EXPECT_EQ(m.str(xml), "<a />");
    m.set(xml, "xmlDecl", Value("<?xml custom?>"));
    EXPECT_EQ(m.str(xml), "<a />");
    // Other processing instructions are dropped, and are no declaration.
    const Value pi = m.make("XML", {Value("<a><b/></a><?pi x?>")});
    EXPECT_TRUE(m.get(pi, "xmlDecl").isUndefined());
    EXPECT_EQ(m.str(pi), "<a><b /></a>");
}

TEST(XmlStatus, IgnoreWhiteDropsBlankCdataToo) {
    Movie m(8);
    const Value xml = m.make("XML");
    m.set(xml, "ignoreWhite", Value(true));
    m.call(xml, "parseXML", {Value("<r> a <b/>\t\n<![CDATA[  ]]><![CDATA[ c ]]> </r>")});
    EXPECT_EQ(m.str(xml), "<r> a <b /> c </r>");
    EXPECT_EQ(m.num(m.get(m.get(m.get(xml, "firstChild"), "childNodes"), "length")), 3);
}
