// XML and XMLNode (a parsed tree scripts can walk and rebuild) and LoadVars (name=value pairs). Nothing is
// loaded from the network yet: load and send report failure.
#include <algorithm>
#include <set>
#include <vector>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

// Parse results as XML.status reports them: anything left unterminated (a tag, a comment, a CDATA
// section, a declaration) is one status, an end tag that matches no open element another. Elements still
// open at the end are fine. `kStop` ends reading quietly where an attribute is malformed: what came before
// stays, the element and the rest are dropped, and the status is fine.
enum XmlStatus { kOk = 0, kUnterminated = -6, kUnmatchedEnd = -10, kStop = 1 };

// Deeper trees than this are cut off: nothing legitimate nests so far, and walking them must stay cheap.
constexpr int kMaxDepth = 256;

class XmlNode : public Object {
public:
    XmlNode() : Object(avm1::ObjectClass::XmlNode) {}

    int nodeType = 1;                 // 1 element, 3 text
    Value nodeName = Value::null();   // elements only
    Value nodeValue = Value::null();  // text only
    XmlNode* parent = nullptr;
    std::vector<XmlNode*> children;
    Object* attributes = nullptr;
    avm1::ArrayObject* childArray = nullptr;   // childNodes, kept in step with `children`

    void syncChildArray() {
        if (!childArray) return;
        childArray->setLength(0);
        for (XmlNode* c : children) childArray->push(Value(static_cast<Object*>(c)));
    }
    int indexInParent() const {
        if (!parent) return -1;
        const auto it = std::find(parent->children.begin(), parent->children.end(), this);
        return it == parent->children.end() ? -1 : static_cast<int>(it - parent->children.begin());
    }
    XmlNode* sibling(int delta) const {
        const int i = indexInParent();
        if (i < 0) return nullptr;
        const int j = i + delta;
        return j >= 0 && j < static_cast<int>(parent->children.size()) ? parent->children[static_cast<std::size_t>(j)]
                                                                         : nullptr;
    }
    void detach() {
        if (!parent) return;
        auto& list = parent->children;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        parent->syncChildArray();
        parent = nullptr;
    }
    bool isAncestorOrSelf(const XmlNode* other) const {
        int guard = 0;
        for (const XmlNode* n = other; n && guard < 100000; n = n->parent, ++guard)
            if (n == this) return true;
        return false;
    }

    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& value) override;
    void markChildren(avm1::Heap& heap) override {
        heap.mark(nodeName);
        heap.mark(nodeValue);
        heap.mark(parent);
        for (XmlNode* c : children) heap.mark(c);
        heap.mark(attributes);
        heap.mark(childArray);
    }
};

Value nodeValueOf(XmlNode* n) { return n ? Value(static_cast<Object*>(n)) : Value::null(); }

bool XmlNode::getSpecial(Vm& vm, const QString& name, Value& out) {
    if (name == u"firstChild") out = nodeValueOf(children.empty() ? nullptr : children.front());
    else if (name == u"lastChild") out = nodeValueOf(children.empty() ? nullptr : children.back());
    else if (name == u"nextSibling") out = nodeValueOf(sibling(1));
    else if (name == u"previousSibling") out = nodeValueOf(sibling(-1));
    else if (name == u"parentNode") out = nodeValueOf(parent);
    else if (name == u"nodeType") out = Value(nodeType);
    else if (name == u"nodeName") out = nodeName;
    else if (name == u"nodeValue") out = nodeValue;
    else if (name == u"childNodes") {
        if (!childArray) {
            childArray = vm.makeArray();
            syncChildArray();
        }
        out = Value(static_cast<Object*>(childArray));
    } else if (name == u"attributes") {
        if (!attributes) attributes = vm.makeObject();
        out = Value(attributes);
    } else if (name == u"localName" || name == u"prefix") {
        if (nodeName.isNull()) {
            out = Value::null();
            return true;
        }
        const QString full = vm.toString(nodeName);
        const qsizetype colon = full.indexOf(QLatin1Char(':'));
        out = name == u"localName" ? Value(colon < 0 ? full : full.mid(colon + 1))
                                   : Value(colon < 0 ? QString() : full.left(colon));
    } else {
        return false;
    }
    return true;
}

bool XmlNode::setSpecial(Vm& vm, const QString& name, const Value& value) {
    if (name == u"nodeName") nodeName = value.isNullish() ? Value::null() : Value(vm.toString(value));
    else if (name == u"nodeValue") nodeValue = value.isNullish() ? Value::null() : Value(vm.toString(value));
    else if (name == u"attributes") {
        if (value.isObject()) attributes = value.asObject();
    } else if (name == u"firstChild" || name == u"lastChild" || name == u"nextSibling" || name == u"previousSibling" ||
               name == u"parentNode" || name == u"nodeType" || name == u"childNodes") {
        // Read-only: the tree changes only through its methods.
    } else {
        return false;
    }
    return true;
}

XmlNode* asNode(const Value& v) { return dynamic_cast<XmlNode*>(v.object()); }

// New nodes take XMLNode.prototype as it is now (a movie may have replaced it).
XmlNode* makeNode(Vm& vm, int type, const Value& nameOrValue) {
    auto* n = vm.heap().make<XmlNode>();
    Object* ctor = vm.getMember(Value(vm.global()), QStringLiteral("XMLNode")).object();
    n->setProto(ctor ? vm.getMember(Value(ctor), QStringLiteral("prototype")).object() : vm.protos().object);
    n->nodeType = type;
    if (type == 1) n->nodeName = nameOrValue;
    else n->nodeValue = nameOrValue;
    return n;
}

void appendTo(XmlNode* parent, XmlNode* child) {
    child->detach();
    child->parent = parent;
    parent->children.push_back(child);
    parent->syncChildArray();
}

// ---- text ----

QString escapeText(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '>': out += QStringLiteral("&gt;"); break;
        case '"': out += QStringLiteral("&quot;"); break;
        case '\'': out += QStringLiteral("&apos;"); break;
        default: out += c;
        }
    }
    return out;
}

QString decodeEntities(const QString& s) {
    if (!s.contains(QLatin1Char('&'))) return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'&') {
            out += s[i];
            continue;
        }
        const qsizetype end = s.indexOf(QLatin1Char(';'), i);
        if (end < 0 || end - i > 12) {
            out += s[i];
            continue;
        }
        const QString name = s.mid(i + 1, end - i - 1);
        QString replacement;
        if (name == u"lt") replacement = QStringLiteral("<");
        else if (name == u"gt") replacement = QStringLiteral(">");
        else if (name == u"amp") replacement = QStringLiteral("&");
        else if (name == u"quot") replacement = QStringLiteral("\"");
        else if (name == u"apos") replacement = QStringLiteral("'");
        else if (name.startsWith(u'#')) {
            bool ok = false;
            const uint code = name.size() > 1 && (name[1] == u'x' || name[1] == u'X') ? name.mid(2).toUInt(&ok, 16)
                                                                                     : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10ffff) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1);
            }
        }
        if (replacement.isEmpty()) {
            out += s[i];
            continue;
        }
        out += replacement;
        i = end;
    }
    return out;
}

QString nodeToString(Vm& vm, XmlNode* n, int depth = 0) {
    if (depth > kMaxDepth) return {};
    vm.tick();
    if (n->nodeType != 1) return n->nodeValue.isNull() ? QString() : escapeText(vm.toString(n->nodeValue));
    QString out;
    const bool named = !n->nodeName.isNull();
    if (named) {
        out += QLatin1Char('<') + vm.toString(n->nodeName);
        if (n->attributes) {
            // Newest first, as for..in lists them (parsing adds them last to first).
            QStringList parts;
            n->attributes->forEachOwn([&](const QString& name, const avm1::Property& p) {
                if (p.flags & avm1::propflag::kDontEnum) return;
                parts.prepend(QLatin1Char(' ') + name + QStringLiteral("=\"") + escapeText(vm.toString(p.value)) + QLatin1Char('"'));
            });
            out += parts.join(QString());
        }
        if (n->children.empty()) return out + QStringLiteral(" />");
        out += QLatin1Char('>');
    }
    for (XmlNode* c : n->children) out += nodeToString(vm, c, depth + 1);
    if (named) out += QStringLiteral("</") + vm.toString(n->nodeName) + QLatin1Char('>');
    return out;
}

// ---- parsing ----

class Parser {
public:
    Parser(Vm& vm, const QString& text, bool ignoreWhite) : m_vm(vm), m_s(text), m_ignoreWhite(ignoreWhite) {}

    // Fills `doc`; returns the status. What was read before an error stays in the tree.
    int parse(XmlNode* doc, Value& xmlDecl, Value& docType) {
        std::vector<XmlNode*> open{doc};
        const qsizetype n = m_s.size();
        qsizetype i = 0;
        while (i < n) {
            m_vm.tick();
            if (m_s[i] != u'<') {
                const qsizetype end = std::min(m_s.indexOf(QLatin1Char('<'), i) < 0 ? n : m_s.indexOf(QLatin1Char('<'), i), n);
                addText(open.back(), decodeEntities(m_s.mid(i, end - i)));
                i = end;
                continue;
            }
            if (m_s.mid(i, 4) == u"<!--") {
                const qsizetype end = m_s.indexOf(QStringLiteral("-->"), i + 4);
                if (end < 0) return kUnterminated;
                i = end + 3;
            } else if (m_s.mid(i, 9) == u"<![CDATA[") {
                const qsizetype end = m_s.indexOf(QStringLiteral("]]>"), i + 9);
                if (end < 0) return kUnterminated;
                const QString data = m_s.mid(i + 9, end - i - 9);
                if (!m_ignoreWhite || !data.trimmed().isEmpty()) appendTo(open.back(), makeNode(m_vm, 3, Value(data)));
                i = end + 3;
            } else if (m_s.mid(i, 2) == u"<?") {
                const qsizetype end = m_s.indexOf(QStringLiteral("?>"), i + 2);
                if (end < 0) return kUnterminated;
                // Only the XML declaration is kept; other processing instructions go.
                const QString decl = m_s.mid(i, end + 2 - i);
                const bool declaration = decl.size() > 5 && decl.mid(2, 3) == u"xml" && (decl[5].isSpace() || decl[5] == u'?');
                if (declaration) xmlDecl = xmlDecl.isString() ? Value(xmlDecl.asString() + decl) : Value(decl);
                i = end + 2;
            } else if (m_s.mid(i, 2) == u"<!") {
                const qsizetype end = m_s.indexOf(QLatin1Char('>'), i + 2);
                if (end < 0) return kUnterminated;
                docType = Value(m_s.mid(i, end + 1 - i));
                i = end + 1;
            } else if (m_s.mid(i, 2) == u"</") {
                const qsizetype end = m_s.indexOf(QLatin1Char('>'), i + 2);
                if (end < 0) return kUnterminated;
                const QString name = m_s.mid(i + 2, end - i - 2).trimmed();
                if (open.size() < 2 || m_vm.toString(open.back()->nodeName) != name) return kUnmatchedEnd;
                open.pop_back();
                i = end + 1;
            } else {
                const int status = element(open, i);
                if (status == kStop) return kOk;
                if (status != kOk) return status;
            }
        }
        return kOk;
    }

private:
    void addText(XmlNode* parent, const QString& text) {
        if (text.isEmpty()) return;
        if (m_ignoreWhite && text.trimmed().isEmpty()) return;
        appendTo(parent, makeNode(m_vm, 3, Value(text)));
    }

    static bool isNameChar(QChar c) {
        return !c.isSpace() && c != u'>' && c != u'/' && c != u'=' && c != u'<' && c != u'"' && c != u'\'';
    }

    int element(std::vector<XmlNode*>& open, qsizetype& i) {
        const qsizetype n = m_s.size();
        qsizetype j = i + 1;
        while (j < n && isNameChar(m_s[j])) ++j;
        const QString name = m_s.mid(i + 1, j - i - 1);
        if (name.isEmpty()) return kUnterminated;
        XmlNode* node = makeNode(m_vm, 1, Value(name));
        node->attributes = m_vm.makeObject();
        std::vector<std::pair<QString, QString>> attributes;
        std::set<QString> names;
        for (;;) {
            while (j < n && m_s[j].isSpace()) ++j;
            if (j >= n) return kUnterminated;
            if (m_s[j] == u'>' || (m_s[j] == u'/' && j + 1 < n && m_s[j + 1] == u'>')) break;
            const qsizetype start = j;
            while (j < n && isNameChar(m_s[j])) ++j;
            const QString attr = m_s.mid(start, j - start);
            while (j < n && m_s[j].isSpace()) ++j;
            if (j >= n) return kUnterminated;
            if (attr.isEmpty() || m_s[j] != u'=') return kStop;
            ++j;
            while (j < n && m_s[j].isSpace()) ++j;
            if (j >= n) return kUnterminated;
            if (m_s[j] != u'"' && m_s[j] != u'\'') return kStop;
            const QChar quote = m_s[j];
            const qsizetype end = m_s.indexOf(quote, j + 1);
            if (end < 0) return kUnterminated;
            if (!names.insert(attr).second) return kStop;
            attributes.emplace_back(attr, decodeEntities(m_s.mid(j + 1, end - j - 1)));
            j = end + 1;
        }
        // Added last to first, so that for..in (newest first) lists them in the order written.
        for (auto it = attributes.rbegin(); it != attributes.rend(); ++it) node->attributes->setOwn(it->first, Value(it->second));
        if (open.size() > kMaxDepth) return kUnterminated;
        appendTo(open.back(), node);
        if (m_s[j] == u'/') {
            i = j + 2;
        } else {
            open.push_back(node);
            i = j + 1;
        }
        return kOk;
    }

    Vm& m_vm;
    const QString& m_s;
    bool m_ignoreWhite;
};

void parseInto(Vm& vm, XmlNode* doc, const QString& text) {
    for (XmlNode* c : std::vector<XmlNode*>(doc->children)) c->parent = nullptr;
    doc->children.clear();
    doc->syncChildArray();
    Value xmlDecl, docType;
    Parser parser(vm, text, vm.toBoolean(vm.getMember(Value(static_cast<Object*>(doc)), QStringLiteral("ignoreWhite"))));
    const int status = parser.parse(doc, xmlDecl, docType);
    doc->setOwn(QStringLiteral("status"), Value(status));
    doc->setOwn(QStringLiteral("xmlDecl"), xmlDecl);
    doc->setOwn(QStringLiteral("docTypeDecl"), docType);
    // Elements with an id attribute are listed in the document's idMap, which keeps what earlier parses
    // put there.
    const avm1::Property* map = doc->findOwn(QStringLiteral("idMap"));
    Object* idMap = map ? map->value.object() : nullptr;
    if (!idMap) return;
    std::vector<std::pair<XmlNode*, int>> pending;
    for (auto it = doc->children.rbegin(); it != doc->children.rend(); ++it) pending.emplace_back(*it, 0);
    while (!pending.empty()) {
        auto [n, depth] = pending.back();
        pending.pop_back();
        if (n->nodeType != 1 || depth > kMaxDepth) continue;
        if (n->attributes)
            if (const avm1::Property* id = n->attributes->findOwn(QStringLiteral("id")))
                idMap->setOwn(vm.toString(id->value), Value(static_cast<Object*>(n)));
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) pending.emplace_back(*it, depth + 1);
    }
}

XmlNode* cloneNode(Vm& vm, XmlNode* n, bool deep, int depth = 0) {
    XmlNode* copy = makeNode(vm, n->nodeType, n->nodeType == 1 ? n->nodeName : n->nodeValue);
    copy->setProto(n->proto());
    if (n->attributes) {
        copy->attributes = vm.makeObject();
        n->attributes->forEachOwn([&](const QString& name, const avm1::Property& p) { copy->attributes->setOwn(name, p.value); });
    }
    if (deep && depth < kMaxDepth)
        for (XmlNode* c : n->children) appendTo(copy, cloneNode(vm, c, true, depth + 1));
    return copy;
}

void installNodeMethods(Vm& vm, Object* proto) {
    method(vm, proto, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args) -> Value {
        XmlNode* n = asNode(self);
        if (!n) return Value(QStringLiteral("[object Object]"));
        // A document's declarations are kept in its properties but not written back.
        return Value(nodeToString(vm, n));
    });
    method(vm, proto, QStringLiteral("appendChild"), [](Vm&, const Value& self, Args args) {
        XmlNode* n = asNode(self);
        XmlNode* child = asNode(arg(args, 0));
        // A node cannot go inside itself or its own descendants; one already among this node's children
        // stays where it is (a node from elsewhere moves).
        if (n && child && child->parent != n && !child->isAncestorOrSelf(n)) appendTo(n, child);
        return Value();
    });
    method(vm, proto, QStringLiteral("insertBefore"), [](Vm&, const Value& self, Args args) {
        XmlNode* n = asNode(self);
        XmlNode* child = asNode(arg(args, 0));
        XmlNode* before = asNode(arg(args, 1));
        if (!n || !child || !before || before->parent != n || child->isAncestorOrSelf(n) || child == before)
            return Value();
        child->detach();
        auto it = std::find(n->children.begin(), n->children.end(), before);
        child->parent = n;
        n->children.insert(it, child);
        n->syncChildArray();
        return Value();
    });
    method(vm, proto, QStringLiteral("removeNode"), [](Vm&, const Value& self, Args) {
        if (XmlNode* n = asNode(self)) n->detach();
        return Value();
    });
    method(vm, proto, QStringLiteral("cloneNode"), [](Vm& vm, const Value& self, Args args) {
        XmlNode* n = asNode(self);
        return n ? Value(static_cast<Object*>(cloneNode(vm, n, vm.toBoolean(arg(args, 0))))) : Value();
    });
    method(vm, proto, QStringLiteral("hasChildNodes"), [](Vm&, const Value& self, Args) {
        XmlNode* n = asNode(self);
        return Value(n && !n->children.empty());
    });
    auto lookupNamespace = [](bool byPrefix) {
        return [byPrefix](Vm& vm, const Value& self, Args args) -> Value {
            const QString wanted = vm.toString(arg(args, 0));
            int guard = 0;
            for (XmlNode* n = asNode(self); n && guard < 100000; n = n->parent, ++guard) {
                if (!n->attributes) continue;
                Value found;
                bool hit = false;
                // Every attribute whose name starts with "xmlns" declares one: "xmlns:p" the prefix p, any
                // other ("xmlns", "xmlns:", "xmlnsabc") the default. Parsed attributes are kept last to
                // first, so the last match here is the first one written, which is the one that counts.
                n->attributes->forEachOwn([&](const QString& name, const avm1::Property& p) {
                    if (!name.startsWith(QStringLiteral("xmlns"))) return;
                    const QString prefix = name.size() > 5 && name[5] == u':' ? name.mid(6) : QString();
                    if (byPrefix ? prefix == wanted : vm.toString(p.value) == wanted) {
                        found = byPrefix ? p.value : Value(prefix);
                        hit = true;
                    }
                });
                if (hit) return found;
            }
            return Value::null();
        };
    };
    method(vm, proto, QStringLiteral("getNamespaceForPrefix"), lookupNamespace(true), avm1::propflag::kVersion8);
    method(vm, proto, QStringLiteral("getPrefixForNamespace"), lookupNamespace(false), avm1::propflag::kVersion8);
    defineGetter(vm, proto, QStringLiteral("namespaceURI"), [](Vm& vm, const Value& self, Args) -> Value {
        XmlNode* n = asNode(self);
        if (!n || n->nodeName.isNull()) return Value::null();
        const Value prefix = vm.getMember(self, QStringLiteral("prefix"));
        const std::vector<Value> a{prefix};
        const Value uri = vm.callMethod(self, QStringLiteral("getNamespaceForPrefix"), a);
        return uri.isNullish() ? Value(QString()) : uri;
    }, avm1::propflag::kVersion8);
}

void installXmlClasses(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* nodeProto = vm.makeObject();
    Object* nodeCtor = vm.makeClass(QStringLiteral("XMLNode"), [](Vm&, const Value&, Args) { return Value(); }, nodeProto);
    nodeCtor->setNativeConstructor([](Vm& vm, const Value&, Args args) {
        const int type = static_cast<int>(vm.toNumber(arg(args, 0)));
        const Value& v = arg(args, 1);
        return Value(static_cast<Object*>(makeNode(vm, type == 1 ? 1 : 3, v.isNullish() ? Value::null() : Value(vm.toString(v)))));
    });
    vm.global()->define(QStringLiteral("XMLNode"), Value(nodeCtor), avm1::propflag::kDontEnum);
    installNodeMethods(vm, nodeProto);

    Object* xmlProto = vm.makeObject();
    xmlProto->setProto(nodeProto);
    Object* xmlCtor = vm.makeClass(QStringLiteral("XML"), [](Vm&, const Value&, Args) { return Value(); }, xmlProto);
    xmlCtor->setNativeConstructor([xmlCtor](Vm& vm, const Value&, Args args) {
        auto* doc = vm.heap().make<XmlNode>();
        doc->setObjectClass(avm1::ObjectClass::Xml);
        doc->setProto(vm.getMember(Value(xmlCtor), QStringLiteral("prototype")).object());
        doc->nodeType = 1;
        doc->define(QStringLiteral("idMap"), Value(vm.makeObject()), avm1::propflag::kDontEnum | avm1::propflag::kVersion8);
        if (!arg(args, 0).isNullish()) parseInto(vm, doc, vm.toString(args[0]));
        return Value(static_cast<Object*>(doc));
    });
    vm.global()->define(QStringLiteral("XML"), Value(xmlCtor), avm1::propflag::kDontEnum);
    xmlProto->define(QStringLiteral("ignoreWhite"), Value(false), avm1::propflag::kDontEnum);
    xmlProto->define(QStringLiteral("contentType"), Value("application/x-www-form-urlencoded"), avm1::propflag::kDontEnum);
    xmlProto->define(QStringLiteral("loaded"), Value(), avm1::propflag::kDontEnum);
    xmlProto->define(QStringLiteral("status"), Value(0), avm1::propflag::kDontEnum);
    method(vm, xmlProto, QStringLiteral("parseXML"), [](Vm& vm, const Value& self, Args args) {
        if (XmlNode* doc = asNode(self)) parseInto(vm, doc, vm.toString(arg(args, 0)));
        return Value();
    });
    method(vm, xmlProto, QStringLiteral("createElement"), [](Vm& vm, const Value&, Args args) {
        return Value(static_cast<Object*>(makeNode(vm, 1, Value(vm.toString(arg(args, 0))))));
    });
    method(vm, xmlProto, QStringLiteral("createTextNode"), [](Vm& vm, const Value&, Args args) {
        return Value(static_cast<Object*>(makeNode(vm, 3, Value(vm.toString(arg(args, 0))))));
    });
    for (const char* name : {"load", "send", "sendAndLoad"})
        method(vm, xmlProto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, xmlProto, QStringLiteral("addRequestHeader"), [](Vm&, const Value&, Args) { return Value(); });
    for (const char* name : {"getBytesLoaded", "getBytesTotal"})
        method(vm, xmlProto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });
}

// ---- LoadVars ----

void installLoadVars(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("LoadVars"), [](Vm&, const Value& self, Args) {
        if (Object* o = self.object(); o && o->objectClass() == avm1::ObjectClass::Object)
            o->setObjectClass(avm1::ObjectClass::LoadVars);
        return Value();
    });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    proto->define(QStringLiteral("contentType"), Value("application/x-www-form-urlencoded"), avm1::propflag::kDontEnum);
    // name=value pairs of the enumerable properties, newest first, as for..in lists them.
    method(vm, proto, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args) -> Value {
        Object* o = self.object();
        if (!o) return Value(QString());
        std::vector<QString> names;
        o->forEachOwn([&](const QString& name, const avm1::Property& p) {
            if (!(p.flags & avm1::propflag::kDontEnum)) names.push_back(name);
        });
        QStringList pairs;
        for (auto it = names.rbegin(); it != names.rend(); ++it) {
            const QString value = vm.toString(vm.getMember(self, *it));
            pairs << avm1::builtins::escapeString(*it) + QLatin1Char('=') + avm1::builtins::escapeString(value);
        }
        return Value(pairs.join(QLatin1Char('&')));
    });
    method(vm, proto, QStringLiteral("decode"), [](Vm& vm, const Value& self, Args args) {
        if (!self.isObject() || args.empty()) return Value();
        const bool utf8 = vm.swfVersion() >= 6;
        for (const QString& pair : vm.toString(args[0]).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
            vm.tick();
            const qsizetype eq = pair.indexOf(QLatin1Char('='));
            const QString name = avm1::builtins::unescapeString(eq < 0 ? pair : pair.left(eq), utf8);
            const QString value = eq < 0 ? QString() : avm1::builtins::unescapeString(pair.mid(eq + 1), utf8);
            vm.setMember(self, name, Value(value));
        }
        return Value();
    });
    for (const char* name : {"load", "send", "sendAndLoad"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, proto, QStringLiteral("addRequestHeader"), [](Vm&, const Value&, Args) { return Value(); });
    for (const char* name : {"getBytesLoaded", "getBytesTotal"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });
}

}  // namespace

void installXml(Stage& stage) {
    installXmlClasses(stage);
    installLoadVars(stage);
}

}  // namespace vistrel::player::objects
