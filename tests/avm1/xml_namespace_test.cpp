// Namespace declarations of XML nodes as getNamespaceForPrefix, getPrefixForNamespace and namespaceURI
// read them.
#include <gtest/gtest.h>

#include "tests/avm1/script_movie.h"

using vistrel::testing::ScriptMovie;
using Value = vistrel::avm1::Value;

namespace {

Value firstNode(ScriptMovie& m, const char* text) {
    return m.get(m.make("XML", {Value(QString::fromUtf8(text))}), "firstChild");
}

}  // namespace

TEST(XmlNamespaces, AnyAttributeStartingWithXmlnsDeclaresAndTheFirstWritten) {
    ScriptMovie m(8);
    // "xmlns", "xmlns:" and "xmlnsabc" all declare the default namespace.
    const Value colon = firstNode(m, "<a xmlns:='urn:colon'></a>");
    EXPECT_EQ(m.str(m.get(colon, "namespaceURI")), "urn:colon");
    const Value longer = firstNode(m, "<a xmlnsabc='urn:x'></a>");
    EXPECT_EQ(m.str(m.get(longer, "namespaceURI")), "urn:x");
    EXPECT_EQ(m.str(m.call(longer, "getPrefixForNamespace", {Value(QStringLiteral("urn:x"))})), "");
    // Two default declarations: the first written counts, whichever form it has.
    EXPECT_EQ(m.str(m.get(firstNode(m, "<a xmlns='urn:1' xmlns:='urn:2'></a>"), "namespaceURI")), "urn:1");
    EXPECT_EQ(m.str(m.get(firstNode(m, "<a xmlnsq='urn:2' xmlns='urn:1'></a>"), "namespaceURI")), "urn:2");
    // A prefixed one answers for its prefix only.
    const Value prefixed = firstNode(m, "<p:a xmlns:p='urn:p'></p:a>");
    EXPECT_EQ(m.str(m.call(prefixed, "getNamespaceForPrefix", {Value(QStringLiteral("p"))})), "urn:p");
    EXPECT_EQ(m.str(m.call(prefixed, "getPrefixForNamespace", {Value(QStringLiteral("urn:p"))})), "p");
    EXPECT_TRUE(m.call(prefixed, "getNamespaceForPrefix", {Value(QStringLiteral(""))}).isNull());
}
