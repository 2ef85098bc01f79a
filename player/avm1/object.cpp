#include "player/avm1/object.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "player/avm1/vm.h"

namespace vistrel::avm1 {

bool hiddenFor(std::uint16_t flags, int version) {
    if ((flags & propflag::kVersion6) && version < 6) return true;
    if ((flags & propflag::kUpToVersion6) && version < 7) return true;
    if ((flags & propflag::kVersion7) && version < 7) return true;
    if ((flags & propflag::kVersion8) && version < 8) return true;
    if ((flags & propflag::kVersion9) && version < 9) return true;
    if ((flags & propflag::kVersion10) && version < 10) return true;
    return false;
}

bool Value::strictEquals(const Value& other) const {
    if (type() != other.type()) return false;
    switch (type()) {
    case Type::Undefined:
    case Type::Null: return true;
    case Type::Boolean: return asBool() == other.asBool();
    case Type::Number: return asNumber() == other.asNumber();
    case Type::String: return asString() == other.asString();
    case Type::Object: {
        if (asObject() == other.asObject()) return true;
        // Two references to clips are the same when they mean the same clip now (one may stand for a
        // clip that has gone and been replaced at its path).
        const Object* a = asObject();
        const Object* b = other.asObject();
        if (a->objectClass() != ObjectClass::MovieClip || b->objectClass() != ObjectClass::MovieClip) return false;
        const player::DisplayObject* d = a->currentDisplay();
        return d && d == b->currentDisplay();
    }
    }
    return false;
}

Object::~Object() = default;

namespace {

// Four UTF-16 units read as one word, folded when asked: four ASCII units fold at once (a capital gains
// 0x20: adding 0x3f sets a lane's bit 7 from 'A' up, adding 0x25 from past 'Z' up), others one by one.
std::uint64_t loadUnits(const char16_t* p, bool fold) {
    std::uint64_t w;
    if (!fold) {
        std::memcpy(&w, p, sizeof w);
        return w;
    }
    std::memcpy(&w, p, sizeof w);
    if ((w & 0xff80ff80ff80ff80ull) == 0) {
        const std::uint64_t fromA = w + 0x003f003f003f003full;
        const std::uint64_t pastZ = w + 0x0025002500250025ull;
        return w | ((fromA & ~pastZ & 0x0080008000800080ull) >> 2);
    }
    const char16_t folded[4] = {foldUnit(p[0]), foldUnit(p[1]), foldUnit(p[2]), foldUnit(p[3])};
    std::memcpy(&w, folded, sizeof w);
    return w;
}

}  // namespace

std::size_t Object::hashName(QStringView name, bool fold) noexcept {
    // A multiplicative hash over the units, folded when asked: a stored key (already folded) and a
    // name that folds to it hash alike.
    const char16_t* p = reinterpret_cast<const char16_t*>(name.utf16());
    const qsizetype n = name.size();
    std::uint64_t h = 0xcbf29ce484222325ull ^ static_cast<std::uint64_t>(n);
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4) {
        h = (h ^ loadUnits(p + i, fold)) * 0x9e3779b97f4a7c15ull;
        h ^= h >> 32;
    }
    for (; i < n; ++i) h = (h ^ (fold ? foldUnit(p[i]) : p[i])) * 0x100000001b3ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
}

bool Object::matchesKey(const NameKey& a, const QString& key) noexcept {
    const qsizetype n = key.size();
    if (a.name.size() != n) return false;
    if (!a.fold) return a.name == QStringView(key);
    const char16_t* p = reinterpret_cast<const char16_t*>(a.name.utf16());
    const char16_t* k = reinterpret_cast<const char16_t*>(key.constData());
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4)
        if (loadUnits(p + i, true) != loadUnits(k + i, false)) return false;
    for (; i < n; ++i)
        if (k[i] != foldUnit(p[i])) return false;
    return true;
}

Object::NameKey Object::lookupKey(const QString& name) const {
    return NameKey{name, m_heap && m_heap->ignoresCase()};
}

int Object::indexOf(const QString& name) const {
    if (m_index.empty()) return -1;
    const auto it = m_index.find(lookupKey(name));
    return it == m_index.end() ? -1 : it->second;
}

Property* Object::findOwn(const QString& name) {
    const int i = indexOf(name);
    return i < 0 ? nullptr : &m_slots[static_cast<std::size_t>(i)].property;
}

const Property* Object::findOwn(const QString& name) const {
    const int i = indexOf(name);
    return i < 0 ? nullptr : &m_slots[static_cast<std::size_t>(i)].property;
}

void Object::setOwn(const QString& name, const Value& value, std::uint16_t flagsIfNew) {
    if (Property* p = findOwn(name)) {
        p->value = value;
        return;
    }
    define(name, value, flagsIfNew);
}

void Object::define(const QString& name, const Value& value, std::uint16_t flags) {
    const int i = indexOf(name);
    Property p;
    p.value = value;
    p.flags = flags;
    if (i >= 0) {
        m_slots[static_cast<std::size_t>(i)].property = p;
        return;
    }
    m_index.emplace(m_heap ? m_heap->key(name) : name, static_cast<int>(m_slots.size()));
    m_slots.push_back(Slot{name, p, nextStamp(), false});
}

void Object::defineAccessor(const QString& name, Object* getter, Object* setter, std::uint16_t flags) {
    // A value the property held stays beneath the accessor: instanceof and implements read it.
    const Property* old = findOwn(name);
    define(name, old ? old->value : Value(), flags);
    Property* p = findOwn(name);
    p->getter = getter;
    p->setter = setter;
}

bool Object::removeOwn(const QString& name) {
    const int i = indexOf(name);
    if (i < 0) return false;
    Slot& slot = m_slots[static_cast<std::size_t>(i)];
    if (slot.property.flags & propflag::kDontDelete) return false;
    m_index.erase(m_index.find(lookupKey(name)));
    slot.removed = true;
    slot.property = Property{};
    // Compact once removed slots outnumber live ones, so an object used as a queue stays small.
    if (++m_removedCount > 16 && m_removedCount * 2 > static_cast<int>(m_slots.size())) rebuildIndex();
    return true;
}

void Object::rebuildIndex() {
    std::erase_if(m_slots, [](const Slot& s) { return s.removed; });
    m_removedCount = 0;
    m_index.clear();
    for (std::size_t i = 0; i < m_slots.size(); ++i)
        m_index.emplace(m_heap ? m_heap->key(m_slots[i].name) : m_slots[i].name, static_cast<int>(i));
}

std::vector<QString> Object::ownNames() const {
    std::vector<QString> names;
    names.reserve(m_slots.size());
    for (const Slot& s : m_slots)
        if (!s.removed) names.push_back(s.name);
    return names;
}

bool Object::getSpecial(Vm&, const QString&, Value&) { return false; }
bool Object::setSpecial(Vm&, const QString&, const Value&) { return false; }
void Object::specialNames(std::vector<QString>&) const {}
std::optional<bool> Object::removeSpecial(const QString&) { return std::nullopt; }

void Object::renumberStamps() {
    std::uint32_t next = 0;
    forEachStamp([&](std::uint32_t& stamp) { stamp = next++; });
    m_nextStamp = next;
}

void Object::ownEntries(std::vector<OwnEntry>& out) const {
    std::vector<QString> special;
    specialNames(special);
    for (QString& name : special) out.push_back(OwnEntry{std::move(name), 0});
    for (const Slot& s : m_slots)
        if (!s.removed) out.push_back(OwnEntry{s.name, s.property.flags});
}
void Object::markChildren(Heap&) {}

Object::Watch* Object::findWatch(const QString& name) {
    if (!m_watches) return nullptr;
    const QString key = m_heap ? m_heap->key(name) : name;
    for (auto& [n, w] : *m_watches)
        if (n == key) return &w;
    return nullptr;
}

void Object::setWatch(const QString& name, Object* callback, const Value& userData) {
    if (Watch* w = findWatch(name)) {
        *w = Watch{callback, userData};
        return;
    }
    if (!m_watches) m_watches = std::make_unique<std::vector<std::pair<QString, Watch>>>();
    m_watches->emplace_back(m_heap ? m_heap->key(name) : name, Watch{callback, userData});
}

bool Object::removeWatch(const QString& name) {
    if (!m_watches) return false;
    const QString key = m_heap ? m_heap->key(name) : name;
    return std::erase_if(*m_watches, [&](const auto& e) { return e.first == key; }) > 0;
}

namespace {

// Capital letters (and everything between them that has no small partner) the old table leaves alone.
constexpr std::pair<char16_t, char16_t> kUnfolded[] = {
    {0x0220, 0x0220}, {0x023a, 0x037f}, {0x03cf, 0x03cf}, {0x03f7, 0x03ff}, {0x04c0, 0x04c0},
    {0x04c5, 0x04c5}, {0x04c9, 0x04c9}, {0x04cd, 0x04cd}, {0x04fa, 0x052e}, {0x10c7, 0x13f5},
    {0x1cb6, 0x1cbf}, {0x1e9e, 0x1e9e}, {0x1efa, 0x1efe}, {0x2132, 0x2132}, {0x2183, 0x2183},
    {0x2c00, 0xa7f5}};

}  // namespace

char16_t foldUnitWide(char16_t c) {
    // Halves of a surrogate pair stay as they are; so do the letters beyond the first plane.
    if (QChar::isSurrogate(c)) return c;
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
    if (c >= 0x10a0 && c <= 0x10c5) return char16_t(c + 0x30);
    if (c == 0x0130) return u'i';   // the dotted capital I
    for (const auto& [first, last] : kUnfolded) {
        if (c < first) break;
        if (c <= last) return c;
    }
    return char16_t(QChar::toLower(char32_t(c)));
}

QString foldCase(QStringView name) {
    QString out(name.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < name.size(); ++i) d[i] = QChar(foldUnit(name[i].unicode()));
    return out;
}

QString foldedName(const QString& name) {
    const char16_t* p = reinterpret_cast<const char16_t*>(name.constData());
    for (qsizetype i = 0; i < name.size(); ++i)
        if (foldUnit(p[i]) != p[i]) {
            // The first unit that changes: the units before it are copied as they are.
            QString out(name.size(), Qt::Uninitialized);
            char16_t* d = reinterpret_cast<char16_t*>(out.data());
            std::copy(p, p + i, d);
            for (qsizetype j = i; j < name.size(); ++j) d[j] = foldUnit(p[j]);
            return out;
        }
    return name;
}

bool sameFolded(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x != y && foldUnit(x) != foldUnit(y)) return false;
    }
    return true;
}

std::optional<std::size_t> arrayIndex(const QString& name) {
    if (name.isEmpty() || name.size() > 10) return std::nullopt;
    if (name.size() > 1 && name[0] == u'0') return std::nullopt;
    std::size_t n = 0;
    for (QChar c : name) {
        if (c < u'0' || c > u'9') return std::nullopt;
        n = n * 10 + static_cast<std::size_t>(c.unicode() - u'0');
    }
    return n;
}

const Value& ArrayObject::at(std::size_t i) const {
    static const Value kUndefined;
    const Element* e = find(i);
    return e ? e->value : kUndefined;
}

void ArrayObject::set(std::size_t i, const Value& value) {
    if (i >= m_length) setLength(i + 1);
    if (Element* e = element(i)) {
        if (!(e->flags & propflag::kReadOnly)) e->value = value;
        return;
    }
    Element fresh{value, nextStamp(), 0, true};
    ++m_present;
    if (!m_isSparse) {
        m_elements[i] = std::move(fresh);
        return;
    }
    m_sparse.emplace(i, std::move(fresh));
    toSlotsIfDense();
}

bool ArrayObject::remove(std::size_t i) {
    const Element* e = find(i);
    if (!e || (e->flags & propflag::kDontDelete)) return false;
    if (m_isSparse) m_sparse.erase(i);
    else m_elements[i] = Element{};
    --m_present;
    return true;
}

void ArrayObject::setLength(std::size_t length) {
    if (length > kMaxLength) throw ScriptAbort{QStringLiteral("An array grew past %1 elements.").arg(kMaxLength)};
    // Growing into mostly holes (a write at a distant index, or a length set) keeps only the elements
    // present, so memory follows what the script stored, however the length was reached.
    if (!m_isSparse && length > m_length && length > kSparseGap && length / 4 > m_present) toSparse();
    if (!m_isSparse) {
        for (std::size_t i = length; i < m_length; ++i)
            if (m_elements[i].present) --m_present;
        m_elements.resize(length);
        m_length = length;
        return;
    }
    m_length = length;
    m_sparse.erase(m_sparse.lower_bound(length), m_sparse.end());
    m_present = m_sparse.size();
    toSlotsIfDense();
}

std::size_t ArrayObject::walkable(std::size_t length) {
    if (length > kMaxArrayLength)
        throw ScriptAbort{QStringLiteral("An array of more than %1 places was to be gone through.").arg(kMaxArrayLength)};
    return length;
}

void ArrayObject::toSparse() {
    forEachPresent(*this, [&](std::size_t i, Element& e) { m_sparse.emplace(i, std::move(e)); });
    std::vector<Element>().swap(m_elements);
    m_isSparse = true;
}

void ArrayObject::toSlotsIfDense() {
    // Slots again once they would cost at most twice the elements present (or the array is short).
    if (!m_isSparse || (m_length > kSparseGap && m_present * 2 < m_length)) return;
    m_elements.assign(m_length, Element{});
    for (auto& [i, e] : m_sparse) m_elements[i] = std::move(e);
    m_sparse.clear();
    m_isSparse = false;
}

std::vector<Value> ArrayObject::values() const {
    std::vector<Value> out(walkable(m_length));
    forEachPresent(*this, [&](std::size_t i, const Element& e) { out[i] = e.value; });
    return out;
}

void ArrayObject::assign(std::vector<Value> values) {
    if (values.size() > kMaxArrayLength)
        throw ScriptAbort{QStringLiteral("An array grew past %1 elements.").arg(kMaxArrayLength)};
    // Every index is filled, so the slot form serves; elements that stay keep their stamps.
    if (m_isSparse) {
        std::vector<Element> filled(values.size());
        for (auto& [i, e] : m_sparse)
            if (i < filled.size()) filled[i] = std::move(e);
        m_sparse.clear();
        m_elements = std::move(filled);
        m_isSparse = false;
    } else {
        m_elements.resize(values.size());
    }
    m_length = values.size();
    m_present = values.size();
    for (std::size_t i = 0; i < values.size(); ++i) {
        Element& e = m_elements[i];
        if (!e.present) e = Element{Value(), nextStamp(), 0, true};
        e.value = std::move(values[i]);
    }
}

bool ArrayObject::getSpecial(Vm& vm, const QString& name, Value& out) {
    if (name == u"length") {
        out = Value(static_cast<double>(m_length));
        return true;
    }
    if (const auto i = arrayIndex(name); i && has(*i)) {
        const Element& e = *find(*i);
        // Flags can hide an element from older movies like any property; then the prototype answers.
        if (e.flags && hiddenFor(e.flags, vm.swfVersion())) return false;
        out = e.value;
        return true;
    }
    return false;
}

bool ArrayObject::setSpecial(Vm& vm, const QString& name, const Value& value) {
    if (name == u"length") {
        const double n = vm.toNumber(value);
        // A length that is not a whole non-negative number leaves the array as it is.
        if (std::isfinite(n) && n >= 0) setLength(static_cast<std::size_t>(std::min(n, double(kMaxLength) + 1)));
        return true;
    }
    if (const auto i = arrayIndex(name)) {
        set(*i, value);
        return true;
    }
    return false;
}

std::optional<bool> ArrayObject::removeSpecial(const QString& name) {
    if (const auto i = arrayIndex(name)) {
        if (has(*i)) return remove(*i);
        return std::nullopt;   // a hole: a stored property of the same name is not possible, nothing goes
    }
    return std::nullopt;
}

void ArrayObject::ownEntries(std::vector<OwnEntry>& out) const {
    // Elements and stored properties merged by creation stamp; elements usually come in order already.
    std::vector<std::pair<std::uint32_t, std::size_t>> order;
    bool sorted = true;
    forEachPresent(*this, [&](std::size_t i, const Element& e) {
        if (!order.empty() && order.back().first > e.stamp) sorted = false;
        order.emplace_back(e.stamp, i);
    });
    if (!sorted) std::sort(order.begin(), order.end());
    auto next = order.begin();
    auto flushUpTo = [&](std::uint32_t stamp) {
        for (; next != order.end() && next->first < stamp; ++next)
            out.push_back(OwnEntry{QString::number(next->second), find(next->second)->flags});
    };
    forEachOwnStamped([&](const QString& name, const Property& p, std::uint32_t stamp) {
        flushUpTo(stamp);
        out.push_back(OwnEntry{name, p.flags});
    });
    for (; next != order.end(); ++next) out.push_back(OwnEntry{QString::number(next->second), find(next->second)->flags});
}

void ArrayObject::renumberStamps() {
    std::vector<std::uint32_t*> stamps;
    forEachPresent(*this, [&](std::size_t, Element& e) { stamps.push_back(&e.stamp); });
    forEachStamp([&](std::uint32_t& stamp) { stamps.push_back(&stamp); });
    std::sort(stamps.begin(), stamps.end(), [](const std::uint32_t* a, const std::uint32_t* b) { return *a < *b; });
    std::uint32_t next = 0;
    for (std::uint32_t* s : stamps) *s = next++;
    setNextStamp(next);
}

void ArrayObject::markChildren(Heap& heap) {
    forEachPresent(*this, [&](std::size_t, const Element& e) { heap.mark(e.value); });
}

Heap::~Heap() {
    // Objects may point at each other in any order; none touches another while being destroyed.
    m_objects.clear();
}

void Heap::mark(Object* o) {
    if (!o || o->m_marked) return;
    o->m_marked = true;
    m_grey.push_back(o);
    // Drain iteratively: deep object graphs (long linked lists) must not overflow the C++ stack.
    if (!m_draining) drain();
}

void Heap::drain() {
    m_draining = true;
    while (!m_grey.empty()) {
        Object* o = m_grey.back();
        m_grey.pop_back();
        auto markObject = [this](Object* x) {
            if (x && !x->m_marked) {
                x->m_marked = true;
                m_grey.push_back(x);
            }
        };
        auto markValue = [&](const Value& v) {
            if (v.isObject()) markObject(v.asObject());
        };
        markObject(o->m_proto);
        for (const Object::Slot& s : o->m_slots) {
            markValue(s.property.value);
            markObject(s.property.getter);
            markObject(s.property.setter);
        }
        markValue(o->m_primitive);
        if (o->m_script) {
            for (Object* s : o->m_script->scope) markObject(s);
            markObject(o->m_script->baseClip);
        }
        if (o->m_watches)
            for (const auto& [n, w] : *o->m_watches) {
                markObject(w.callback);
                markValue(w.userData);
            }
        for (Object* i : o->m_interfaces) markObject(i);
        // Subclasses mark through mark(), which only pushes onto the grey list while draining.
        o->markChildren(*this);
    }
    m_draining = false;
}

std::size_t Heap::sweep() {
    const std::size_t before = m_objects.size();
    std::vector<std::unique_ptr<Object>> survivors;
    survivors.reserve(before);
    std::vector<std::unique_ptr<Object>> dead;
    for (auto& o : m_objects) {
        if (o->m_marked) {
            o->m_marked = false;
            survivors.push_back(std::move(o));
        } else {
            dead.push_back(std::move(o));
        }
    }
    m_objects = std::move(survivors);
    m_allocatedSinceCollect = 0;
    dead.clear();
    return before - m_objects.size();
}

}  // namespace vistrel::avm1
