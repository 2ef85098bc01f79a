// A value of the ActionScript 1/2 machine: undefined, null, a boolean, a number, a string or an object.
#pragma once

#include <cstdint>
#include <variant>

#include <QString>

namespace vistrel::avm1 {

class Object;

class Value {
public:
    enum class Type : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };

    Value() = default;   // undefined
    Value(bool b) : m_v(b) {}
    Value(double n) : m_v(n) {}
    Value(int n) : m_v(static_cast<double>(n)) {}
    Value(std::uint32_t n) : m_v(static_cast<double>(n)) {}
    Value(std::int64_t n) : m_v(static_cast<double>(n)) {}
    Value(const QString& s) : m_v(s) {}
    Value(QString&& s) : m_v(std::move(s)) {}
    Value(const char* s) : m_v(QString::fromUtf8(s)) {}
    // A null pointer gives null, so a lookup that finds no object reads naturally.
    Value(Object* o) {
        if (o) m_v = o;
        else m_v = NullTag{};
    }
    static Value null() {
        Value v;
        v.m_v = NullTag{};
        return v;
    }

    Type type() const { return static_cast<Type>(m_v.index()); }
    bool isUndefined() const { return type() == Type::Undefined; }
    bool isNull() const { return type() == Type::Null; }
    bool isNullish() const { return isUndefined() || isNull(); }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isNumber() const { return type() == Type::Number; }
    bool isString() const { return type() == Type::String; }
    bool isObject() const { return type() == Type::Object; }
    bool isPrimitive() const { return !isObject(); }

    // Raw access; the caller has checked the type.
    bool asBool() const { return std::get<bool>(m_v); }
    double asNumber() const { return std::get<double>(m_v); }
    const QString& asString() const { return std::get<QString>(m_v); }
    Object* asObject() const { return std::get<Object*>(m_v); }
    // The object when the value is one, else null.
    Object* object() const { return isObject() ? asObject() : nullptr; }

    // Identity: same type and same primitive value or same object (NaN is not equal to itself).
    bool strictEquals(const Value& other) const;

private:
    struct UndefinedTag {};
    struct NullTag {};
    std::variant<UndefinedTag, NullTag, bool, double, QString, Object*> m_v;
};

}  // namespace vistrel::avm1
