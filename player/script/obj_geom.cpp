// flash.geom: Point, Rectangle, Matrix, ColorTransform and Transform. Their fields are ordinary properties
// a script may overwrite, so the methods read them back through member access each time.
#include <cmath>
#include <optional>

#include <QTransform>

#include "player/avm1/convert.h"
#include "player/avm1/object.h"
#include "player/bounds.h"
#include "player/display_list.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

double get(Vm& vm, const Value& o, const char* name) { return numberMember(vm, o, QString::fromLatin1(name)); }
void put(Vm& vm, const Value& o, const char* name, const Value& v) { vm.setMember(o, QString::fromLatin1(name), v); }

Value construct(Vm& vm, Object* ctor, std::initializer_list<Value> args) {
    const std::vector<Value> list(args);
    return vm.construct(Value(ctor), list);
}

Object* protoOf(Vm& vm, Object* ctor) { return vm.getMember(Value(ctor), QStringLiteral("prototype")).object(); }

// "(x=1, y=2)": fields by name, each converted as the string concatenation does it.
Value describe(Vm& vm, const Value& self, std::initializer_list<const char*> names) {
    QString out = QStringLiteral("(");
    bool first = true;
    for (const char* n : names) {
        if (!first) out += QStringLiteral(", ");
        first = false;
        out += QString::fromLatin1(n) + QLatin1Char('=') + vm.toString(vm.getMember(self, QString::fromLatin1(n)));
    }
    return Value(out + QLatin1Char(')'));
}

// a >= b (or a > b when strict) as the script's comparison gives it: no answer when either side is NaN.
std::optional<bool> notBelow(double a, double b, bool strict = false) {
    if (std::isnan(a) || std::isnan(b)) return std::nullopt;
    return strict ? a > b : a >= b;
}

// The conjunction of comparisons, stopping at the first that is false or has no answer.
Value allOrUndefined(std::initializer_list<std::optional<bool>> tests) {
    for (const std::optional<bool>& t : tests) {
        if (!t) return Value();
        if (!*t) return Value(false);
    }
    return Value(true);
}

// The smaller or larger of two edges, where a NaN on the second (the other rectangle's) side wins, as a plain
// "a < b ? a : b" does.
double pickMin(double a, double b) { return a < b ? a : b; }
double pickMax(double a, double b) { return a > b ? a : b; }

struct Classes {
    Object* point = nullptr;
    Object* rectangle = nullptr;
    Object* matrix = nullptr;
    Object* colorTransform = nullptr;
};

// ---- Point ----

void installPoint(Vm& vm, Object* pkg, Classes& c) {
    // With no arguments a point is at the origin; otherwise it keeps what it was given.
    c.point = defineClassOn(vm, pkg, QStringLiteral("Point"), [](Vm& vm, const Value& self, Args args) {
        if (!self.isObject()) return Value();
        put(vm, self, "x", args.empty() ? Value(0) : args[0]);
        put(vm, self, "y", args.empty() ? Value(0) : arg(args, 1));
        return Value();
    });
    Object* point = c.point;
    Object* proto = protoOf(vm, point);
    defineGetter(vm, proto, QStringLiteral("length"), [](Vm& vm, const Value& self, Args) {
        return Value(std::hypot(get(vm, self, "x"), get(vm, self, "y")));
    });
    method(vm, proto, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args) { return describe(vm, self, {"x", "y"}); });
    method(vm, proto, QStringLiteral("clone"), [point](Vm& vm, const Value& self, Args) {
        return construct(vm, point, {vm.getMember(self, QStringLiteral("x")), vm.getMember(self, QStringLiteral("y"))});
    });
    method(vm, proto, QStringLiteral("add"), [point](Vm& vm, const Value& self, Args args) {
        const Value& p = arg(args, 0);
        return construct(vm, point, {Value(get(vm, self, "x") + get(vm, p, "x")), Value(get(vm, self, "y") + get(vm, p, "y"))});
    });
    method(vm, proto, QStringLiteral("subtract"), [point](Vm& vm, const Value& self, Args args) {
        const Value& p = arg(args, 0);
        return construct(vm, point, {Value(get(vm, self, "x") - get(vm, p, "x")), Value(get(vm, self, "y") - get(vm, p, "y"))});
    });
    method(vm, proto, QStringLiteral("equals"), [point](Vm& vm, const Value& self, Args args) {
        const Value& p = arg(args, 0);
        if (!vm.instanceOf(p, point)) return Value(false);
        return Value(get(vm, self, "x") == get(vm, p, "x") && get(vm, self, "y") == get(vm, p, "y"));
    });
    method(vm, proto, QStringLiteral("offset"), [](Vm& vm, const Value& self, Args args) {
        put(vm, self, "x", Value(get(vm, self, "x") + vm.toNumber(arg(args, 0))));
        put(vm, self, "y", Value(get(vm, self, "y") + vm.toNumber(arg(args, 1))));
        return Value();
    });
    method(vm, proto, QStringLiteral("normalize"), [](Vm& vm, const Value& self, Args args) {
        const double x = get(vm, self, "x"), y = get(vm, self, "y"), len = std::hypot(x, y);
        if (len > 0) {
            const double k = vm.toNumber(arg(args, 0)) / len;
            put(vm, self, "x", Value(x * k));
            put(vm, self, "y", Value(y * k));
        }
        return Value();
    });
    method(vm, point, QStringLiteral("distance"), [](Vm& vm, const Value&, Args args) {
        return Value(std::hypot(get(vm, arg(args, 0), "x") - get(vm, arg(args, 1), "x"),
                                get(vm, arg(args, 0), "y") - get(vm, arg(args, 1), "y")));
    });
    method(vm, point, QStringLiteral("interpolate"), [point](Vm& vm, const Value&, Args args) {
        const Value &a = arg(args, 0), &b = arg(args, 1);
        const double f = vm.toNumber(arg(args, 2));
        return construct(vm, point, {Value(get(vm, b, "x") + f * (get(vm, a, "x") - get(vm, b, "x"))),
                                     Value(get(vm, b, "y") + f * (get(vm, a, "y") - get(vm, b, "y")))});
    });
    method(vm, point, QStringLiteral("polar"), [point](Vm& vm, const Value&, Args args) {
        const double len = vm.toNumber(arg(args, 0)), angle = vm.toNumber(arg(args, 1));
        return construct(vm, point, {Value(len * std::cos(angle)), Value(len * std::sin(angle))});
    });
}

// ---- Rectangle ----

void installRectangle(Vm& vm, Object* pkg, Classes& c) {
    c.rectangle = defineClassOn(vm, pkg, QStringLiteral("Rectangle"), [](Vm& vm, const Value& self, Args args) {
        if (!self.isObject()) return Value();
        const bool none = args.empty();
        put(vm, self, "x", none ? Value(0) : arg(args, 0));
        put(vm, self, "y", none ? Value(0) : arg(args, 1));
        put(vm, self, "width", none ? Value(0) : arg(args, 2));
        put(vm, self, "height", none ? Value(0) : arg(args, 3));
        return Value();
    });
    Object* rect = c.rectangle;
    Object* point = c.point;
    Object* proto = protoOf(vm, rect);
    auto setter = [](auto f) {
        return [f](Vm& vm, const Value& self, Args args) {
            f(vm, self, arg(args, 0));
            return Value();
        };
    };
    defineAccessor(vm, proto, QStringLiteral("left"),
                   [](Vm& vm, const Value& self, Args) { return vm.getMember(self, QStringLiteral("x")); },
                   setter([](Vm& vm, const Value& self, const Value& v) {
                       const double x = vm.toNumber(v);
                       put(vm, self, "width", Value(get(vm, self, "width") + get(vm, self, "x") - x));
                       put(vm, self, "x", v);
                   }));
    defineAccessor(vm, proto, QStringLiteral("top"),
                   [](Vm& vm, const Value& self, Args) { return vm.getMember(self, QStringLiteral("y")); },
                   setter([](Vm& vm, const Value& self, const Value& v) {
                       const double y = vm.toNumber(v);
                       put(vm, self, "height", Value(get(vm, self, "height") + get(vm, self, "y") - y));
                       put(vm, self, "y", v);
                   }));
    defineAccessor(vm, proto, QStringLiteral("right"),
                   [](Vm& vm, const Value& self, Args) { return Value(get(vm, self, "x") + get(vm, self, "width")); },
                   setter([](Vm& vm, const Value& self, const Value& v) {
                       put(vm, self, "width", Value(vm.toNumber(v) - get(vm, self, "x")));
                   }));
    defineAccessor(vm, proto, QStringLiteral("bottom"),
                   [](Vm& vm, const Value& self, Args) { return Value(get(vm, self, "y") + get(vm, self, "height")); },
                   setter([](Vm& vm, const Value& self, const Value& v) {
                       put(vm, self, "height", Value(vm.toNumber(v) - get(vm, self, "y")));
                   }));
    defineAccessor(vm, proto, QStringLiteral("size"),
                   [point](Vm& vm, const Value& self, Args) {
                       return construct(vm, point, {vm.getMember(self, QStringLiteral("width")),
                                                    vm.getMember(self, QStringLiteral("height"))});
                   },
                   setter([](Vm& vm, const Value& self, const Value& v) {
                       put(vm, self, "width", vm.getMember(v, QStringLiteral("x")));
                       put(vm, self, "height", vm.getMember(v, QStringLiteral("y")));
                   }));
    defineAccessor(vm, proto, QStringLiteral("topLeft"),
                   [point](Vm& vm, const Value& self, Args) {
                       return construct(vm, point, {vm.getMember(self, QStringLiteral("x")), vm.getMember(self, QStringLiteral("y"))});
                   },
                   setter([](Vm& vm, const Value& self, const Value& v) {
                       // Moving the top-left corner keeps the bottom-right corner where it was.
                       const Value x = vm.getMember(v, QStringLiteral("x")), y = vm.getMember(v, QStringLiteral("y"));
                       const double right = get(vm, self, "x") + get(vm, self, "width");
                       const double bottom = get(vm, self, "y") + get(vm, self, "height");
                       put(vm, self, "width", Value(right - vm.toNumber(x)));
                       put(vm, self, "height", Value(bottom - vm.toNumber(y)));
                       put(vm, self, "x", x);
                       put(vm, self, "y", y);
                   }));
    defineAccessor(vm, proto, QStringLiteral("bottomRight"),
                   [point](Vm& vm, const Value& self, Args) {
                       return construct(vm, point, {Value(get(vm, self, "x") + get(vm, self, "width")),
                                                    Value(get(vm, self, "y") + get(vm, self, "height"))});
                   },
                   setter([](Vm& vm, const Value& self, const Value& v) {
                       put(vm, self, "width", Value(get(vm, v, "x") - get(vm, self, "x")));
                       put(vm, self, "height", Value(get(vm, v, "y") - get(vm, self, "y")));
                   }));
    method(vm, proto, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args) {
        QString out = QStringLiteral("(x=%1, y=%2, w=%3, h=%4)");
        return Value(out.arg(vm.toString(vm.getMember(self, QStringLiteral("x"))),
                             vm.toString(vm.getMember(self, QStringLiteral("y"))),
                             vm.toString(vm.getMember(self, QStringLiteral("width"))),
                             vm.toString(vm.getMember(self, QStringLiteral("height")))));
    });
    method(vm, proto, QStringLiteral("clone"), [rect](Vm& vm, const Value& self, Args) {
        return construct(vm, rect, {vm.getMember(self, QStringLiteral("x")), vm.getMember(self, QStringLiteral("y")),
                                    vm.getMember(self, QStringLiteral("width")), vm.getMember(self, QStringLiteral("height"))});
    });
    method(vm, proto, QStringLiteral("isEmpty"), [](Vm& vm, const Value& self, Args) {
        return Value(!(get(vm, self, "width") > 0) || !(get(vm, self, "height") > 0));
    });
    method(vm, proto, QStringLiteral("setEmpty"), [](Vm& vm, const Value& self, Args) {
        for (const char* n : {"x", "y", "width", "height"}) put(vm, self, n, Value(0));
        return Value();
    });
    // The containment tests compare like the script's own operators: a comparison with NaN is neither true nor
    // false, and the first such comparison makes the whole answer undefined.
    auto contains = [](Vm& vm, const Value& self, double x, double y) {
        const double rx = get(vm, self, "x"), ry = get(vm, self, "y");
        return allOrUndefined({notBelow(x, rx), notBelow(y, ry), notBelow(rx + get(vm, self, "width"), x, true),
                               notBelow(ry + get(vm, self, "height"), y, true)});
    };
    method(vm, proto, QStringLiteral("contains"), [contains](Vm& vm, const Value& self, Args args) {
        return contains(vm, self, vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
    });
    method(vm, proto, QStringLiteral("containsPoint"), [contains](Vm& vm, const Value& self, Args args) {
        return contains(vm, self, get(vm, arg(args, 0), "x"), get(vm, arg(args, 0), "y"));
    });
    method(vm, proto, QStringLiteral("containsRectangle"), [](Vm& vm, const Value& self, Args args) {
        const Value& r = arg(args, 0);
        const double x = get(vm, self, "x"), y = get(vm, self, "y");
        const double rx = get(vm, r, "x"), ry = get(vm, r, "y");
        return allOrUndefined({notBelow(rx, x), notBelow(ry, y),
                               notBelow(x + get(vm, self, "width"), rx + get(vm, r, "width")),
                               notBelow(y + get(vm, self, "height"), ry + get(vm, r, "height"))});
    });
    auto box = [](Vm& vm, const Value& r) {
        const double x = get(vm, r, "x"), y = get(vm, r, "y");
        return QRectF(QPointF(x, y), QPointF(x + get(vm, r, "width"), y + get(vm, r, "height")));
    };
    method(vm, proto, QStringLiteral("intersects"), [box](Vm& vm, const Value& self, Args args) {
        const QRectF a = box(vm, self), b = box(vm, arg(args, 0));
        return Value(a.left() < b.right() && b.left() < a.right() && a.top() < b.bottom() && b.top() < a.bottom());
    });
    method(vm, proto, QStringLiteral("intersection"), [box, rect](Vm& vm, const Value& self, Args args) {
        const QRectF a = box(vm, self), b = box(vm, arg(args, 0));
        const double l = pickMax(a.left(), b.left()), t = pickMax(a.top(), b.top());
        const double r = pickMin(a.right(), b.right()), bt = pickMin(a.bottom(), b.bottom());
        if (!(r > l) || !(bt > t)) return construct(vm, rect, {});
        return construct(vm, rect, {Value(l), Value(t), Value(r - l), Value(bt - t)});
    });
    method(vm, proto, QStringLiteral("union"), [box, rect](Vm& vm, const Value& self, Args args) {
        const QRectF a = box(vm, self), b = box(vm, arg(args, 0));
        const double l = pickMin(a.left(), b.left()), t = pickMin(a.top(), b.top());
        const double r = pickMax(a.right(), b.right()), bt = pickMax(a.bottom(), b.bottom());
        return construct(vm, rect, {Value(l), Value(t), Value(r - l), Value(bt - t)});
    });
    auto inflate = [](Vm& vm, const Value& self, double dx, double dy) {
        put(vm, self, "x", Value(get(vm, self, "x") - dx));
        put(vm, self, "width", Value(get(vm, self, "width") + 2 * dx));
        put(vm, self, "y", Value(get(vm, self, "y") - dy));
        put(vm, self, "height", Value(get(vm, self, "height") + 2 * dy));
    };
    method(vm, proto, QStringLiteral("inflate"), [inflate](Vm& vm, const Value& self, Args args) {
        inflate(vm, self, vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
        return Value();
    });
    method(vm, proto, QStringLiteral("inflatePoint"), [inflate](Vm& vm, const Value& self, Args args) {
        inflate(vm, self, get(vm, arg(args, 0), "x"), get(vm, arg(args, 0), "y"));
        return Value();
    });
    auto offset = [](Vm& vm, const Value& self, double dx, double dy) {
        put(vm, self, "x", Value(get(vm, self, "x") + dx));
        put(vm, self, "y", Value(get(vm, self, "y") + dy));
    };
    method(vm, proto, QStringLiteral("offset"), [offset](Vm& vm, const Value& self, Args args) {
        offset(vm, self, vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
        return Value();
    });
    method(vm, proto, QStringLiteral("offsetPoint"), [offset](Vm& vm, const Value& self, Args args) {
        offset(vm, self, get(vm, arg(args, 0), "x"), get(vm, arg(args, 0), "y"));
        return Value();
    });
    method(vm, proto, QStringLiteral("equals"), [rect](Vm& vm, const Value& self, Args args) {
        const Value& r = arg(args, 0);
        if (!vm.instanceOf(r, rect)) return Value(false);
        for (const char* n : {"x", "y", "width", "height"})
            if (get(vm, self, n) != get(vm, r, n)) return Value(false);
        return Value(true);
    });
}

// ---- Matrix ----

QTransform matrixOf(Vm& vm, const Value& m) {
    return QTransform(get(vm, m, "a"), get(vm, m, "b"), get(vm, m, "c"), get(vm, m, "d"), get(vm, m, "tx"),
                      get(vm, m, "ty"));
}

void storeMatrix(Vm& vm, const Value& m, const QTransform& t) {
    put(vm, m, "a", Value(t.m11()));
    put(vm, m, "b", Value(t.m12()));
    put(vm, m, "c", Value(t.m21()));
    put(vm, m, "d", Value(t.m22()));
    put(vm, m, "tx", Value(t.dx()));
    put(vm, m, "ty", Value(t.dy()));
}

void installMatrix(Vm& vm, Object* pkg, Classes& c) {
    c.matrix = defineClassOn(vm, pkg, QStringLiteral("Matrix"), [](Vm& vm, const Value& self, Args args) {
        if (!self.isObject()) return Value();
        if (args.empty()) {
            storeMatrix(vm, self, QTransform());
            return Value();
        }
        const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
        for (std::size_t i = 0; i < 6; ++i) put(vm, self, names[i], arg(args, i));
        return Value();
    });
    Object* matrix = c.matrix;
    Object* point = c.point;
    Object* proto = protoOf(vm, matrix);
    method(vm, proto, QStringLiteral("toString"), [](Vm& vm, const Value& self, Args) {
        return describe(vm, self, {"a", "b", "c", "d", "tx", "ty"});
    });
    method(vm, proto, QStringLiteral("clone"), [matrix](Vm& vm, const Value& self, Args) {
        const std::vector<Value> list{vm.getMember(self, QStringLiteral("a")), vm.getMember(self, QStringLiteral("b")),
                                      vm.getMember(self, QStringLiteral("c")), vm.getMember(self, QStringLiteral("d")),
                                      vm.getMember(self, QStringLiteral("tx")), vm.getMember(self, QStringLiteral("ty"))};
        return vm.construct(Value(matrix), list);
    });
    method(vm, proto, QStringLiteral("identity"), [](Vm& vm, const Value& self, Args) {
        storeMatrix(vm, self, QTransform());
        return Value();
    });
    // this = this followed by other.
    method(vm, proto, QStringLiteral("concat"), [](Vm& vm, const Value& self, Args args) {
        storeMatrix(vm, self, matrixOf(vm, self) * matrixOf(vm, arg(args, 0)));
        return Value();
    });
    method(vm, proto, QStringLiteral("invert"), [](Vm& vm, const Value& self, Args) {
        bool ok = false;
        const QTransform inv = matrixOf(vm, self).inverted(&ok);
        storeMatrix(vm, self, ok ? inv : QTransform());
        return Value();
    });
    method(vm, proto, QStringLiteral("translate"), [](Vm& vm, const Value& self, Args args) {
        put(vm, self, "tx", Value(get(vm, self, "tx") + vm.toNumber(arg(args, 0))));
        put(vm, self, "ty", Value(get(vm, self, "ty") + vm.toNumber(arg(args, 1))));
        return Value();
    });
    method(vm, proto, QStringLiteral("scale"), [](Vm& vm, const Value& self, Args args) {
        const double sx = vm.toNumber(arg(args, 0)), sy = vm.toNumber(arg(args, 1));
        storeMatrix(vm, self, matrixOf(vm, self) * QTransform(sx, 0, 0, sy, 0, 0));
        return Value();
    });
    method(vm, proto, QStringLiteral("rotate"), [](Vm& vm, const Value& self, Args args) {
        const double a = vm.toNumber(arg(args, 0)), cs = std::cos(a), sn = std::sin(a);
        storeMatrix(vm, self, matrixOf(vm, self) * QTransform(cs, sn, -sn, cs, 0, 0));
        return Value();
    });
    auto box = [](Vm& vm, const Value& self, Args args, bool gradient) {
        double sx = vm.toNumber(arg(args, 0)), sy = vm.toNumber(arg(args, 1));
        if (gradient) {
            sx /= 1638.4;
            sy /= 1638.4;
        }
        const double r = args.size() > 2 ? vm.toNumber(args[2]) : 0.0;
        double tx = args.size() > 3 ? vm.toNumber(args[3]) : 0.0, ty = args.size() > 4 ? vm.toNumber(args[4]) : 0.0;
        if (gradient) {
            tx += vm.toNumber(arg(args, 0)) / 2;
            ty += vm.toNumber(arg(args, 1)) / 2;
        }
        const double cs = std::cos(r), sn = std::sin(r);
        storeMatrix(vm, self, QTransform(sx * cs, sy * sn, -sx * sn, sy * cs, tx, ty));
        return Value();
    };
    method(vm, proto, QStringLiteral("createBox"), [box](Vm& vm, const Value& self, Args args) { return box(vm, self, args, false); });
    method(vm, proto, QStringLiteral("createGradientBox"),
           [box](Vm& vm, const Value& self, Args args) { return box(vm, self, args, true); });
    method(vm, proto, QStringLiteral("transformPoint"), [point](Vm& vm, const Value& self, Args args) {
        const QPointF p = matrixOf(vm, self).map(QPointF(get(vm, arg(args, 0), "x"), get(vm, arg(args, 0), "y")));
        return construct(vm, point, {Value(p.x()), Value(p.y())});
    });
    method(vm, proto, QStringLiteral("deltaTransformPoint"), [point](Vm& vm, const Value& self, Args args) {
        const double x = get(vm, arg(args, 0), "x"), y = get(vm, arg(args, 0), "y");
        return construct(vm, point, {Value(get(vm, self, "a") * x + get(vm, self, "c") * y),
                                     Value(get(vm, self, "b") * x + get(vm, self, "d") * y)});
    });
}

// ---- ColorTransform and Transform ----

const char* const kColorFields[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                                    "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};

void installColorTransform(Vm& vm, Object* pkg, Classes& c) {
    c.colorTransform = defineClassOn(vm, pkg, QStringLiteral("ColorTransform"), [](Vm& vm, const Value& self, Args args) {
        if (!self.isObject()) return Value();
        // Fewer than all eight values give the identity transform: none of them is taken.
        const bool given = args.size() >= 8;
        for (std::size_t i = 0; i < 8; ++i) {
            const double fallback = i < 4 ? 1.0 : 0.0;
            put(vm, self, kColorFields[i], given ? Value(vm.toNumber(args[i])) : Value(fallback));
        }
        return Value();
    });
    Object* ct = c.colorTransform;
    Object* proto = protoOf(vm, ct);
    // The eight fields are numbers kept behind getters and setters on the prototype, which lists them
    // and its methods to for..in; they are made in the reverse of the order they enumerate in.
    for (const char* field : {"alphaMultiplier", "redMultiplier", "greenMultiplier", "blueMultiplier", "alphaOffset",
                              "redOffset", "greenOffset", "blueOffset"}) {
        const QString name = QString::fromLatin1(field);
        const QString slot = QStringLiteral("__ct_") + name;
        Object* getter = vm.makeFunction(name, [slot](Vm&, const Value& self, Args) {
            Object* o = self.object();
            const avm1::Property* p = o ? o->findOwn(slot) : nullptr;
            return p ? p->value : Value();
        });
        Object* setter = vm.makeFunction(name, [slot](Vm& vm, const Value& self, Args args) {
            if (Object* o = self.object()) o->define(slot, Value(vm.toNumber(arg(args, 0))), avm1::propflag::kDontEnum);
            return Value();
        });
        proto->defineAccessor(name, getter, setter, 0);
    }
    proto->defineAccessor(
        QStringLiteral("rgb"),
        vm.makeFunction(QStringLiteral("rgb"), [](Vm& vm, const Value& self, Args) {
            // Offsets are not clamped to a byte: larger ones spill into the next channel (32-bit wrap).
            auto channel = [&](const char* n) { return static_cast<std::uint32_t>(avm1::toInt32(get(vm, self, n))); };
            return Value(static_cast<double>((channel("redOffset") << 16) | (channel("greenOffset") << 8) |
                                             channel("blueOffset")));
        }),
        vm.makeFunction(QStringLiteral("rgb"), [](Vm& vm, const Value& self, Args args) {
            const auto rgb = static_cast<std::uint32_t>(avm1::toInt32(vm.toNumber(arg(args, 0))));
            for (const char* n : {"redMultiplier", "greenMultiplier", "blueMultiplier"}) put(vm, self, n, Value(0));
            put(vm, self, "redOffset", Value(int((rgb >> 16) & 0xff)));
            put(vm, self, "greenOffset", Value(int((rgb >> 8) & 0xff)));
            put(vm, self, "blueOffset", Value(int(rgb & 0xff)));
            return Value();
        }),
        0);
    // this = this followed by second: offsets are scaled by this transform's multipliers.
    Object* concat = vm.makeFunction(QStringLiteral("concat"), [ct](Vm& vm, const Value& self, Args args) {
        const Value& o = arg(args, 0);
        if (!vm.instanceOf(o, ct)) return Value();
        for (int i = 0; i < 4; ++i) {
            const double m = get(vm, self, kColorFields[i]);
            put(vm, self, kColorFields[i + 4], Value(get(vm, self, kColorFields[i + 4]) + get(vm, o, kColorFields[i + 4]) * m));
            put(vm, self, kColorFields[i], Value(m * get(vm, o, kColorFields[i])));
        }
        return Value();
    });
    proto->define(QStringLiteral("concat"), Value(concat), 0);
    Object* toString = vm.makeFunction(QStringLiteral("toString"), [](Vm& vm, const Value& self, Args) {
        return describe(vm, self, {kColorFields[0], kColorFields[1], kColorFields[2], kColorFields[3], kColorFields[4],
                                   kColorFields[5], kColorFields[6], kColorFields[7]});
    });
    proto->define(QStringLiteral("toString"), Value(toString), 0);
}

// `inner` seen through `outer` in the stored 8.8 fixed-point form: products round down and each
// result wraps to 16 bits, as scripts reading the combined transform see it.
swf::ColorTransform concatenated(const swf::ColorTransform& inner, const swf::ColorTransform& outer) {
    auto wrap = [](std::int64_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xffff)); };
    auto mul = [](std::int64_t a, std::int64_t b) {
        const std::int64_t p = a * b;
        return p >= 0 ? p / 256 : -((-p + 255) / 256);
    };
    swf::ColorTransform r;
    r.rMult = wrap(mul(inner.rMult, outer.rMult));
    r.gMult = wrap(mul(inner.gMult, outer.gMult));
    r.bMult = wrap(mul(inner.bMult, outer.bMult));
    r.aMult = wrap(mul(inner.aMult, outer.aMult));
    r.rAdd = wrap(mul(inner.rAdd, outer.rMult) + outer.rAdd);
    r.gAdd = wrap(mul(inner.gAdd, outer.gMult) + outer.gAdd);
    r.bAdd = wrap(mul(inner.bAdd, outer.bMult) + outer.bAdd);
    r.aAdd = wrap(mul(inner.aAdd, outer.aMult) + outer.aAdd);
    return r;
}

Value colorTransformValue(Vm& vm, Object* ctor, const swf::ColorTransform& cx) {
    return construct(vm, ctor, {Value(cx.rMult / 256.0), Value(cx.gMult / 256.0), Value(cx.bMult / 256.0),
                                Value(cx.aMult / 256.0), Value(int(cx.rAdd)), Value(int(cx.gAdd)), Value(int(cx.bAdd)),
                                Value(int(cx.aAdd))});
}

Value matrixValue(Vm& vm, Object* ctor, const QTransform& t) {
    return construct(vm, ctor, {Value(t.m11()), Value(t.m12()), Value(t.m21()), Value(t.m22()), Value(t.dx() / 20.0),
                                Value(t.dy() / 20.0)});
}

QTransform toQTransform(const swf::Matrix& m) {
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
}

void installTransform(Stage& stage, Object* pkg, const Classes& c) {
    Vm& vm = *stage.vm();
    Stage* s = &stage;
    Object* transform = defineClassOn(vm, pkg, QStringLiteral("Transform"), [](Vm&, const Value&, Args) { return Value(); });
    Object* proto = protoOf(vm, transform);
    // A transform stands for one clip: without a clip to stand for, `new Transform` gives undefined.
    auto makeTransform = [transform, proto](Vm& vm, const Value& clip) {
        if (!displayOf(clip)) return Value();
        Object* out = vm.makeObject();
        out->setProto(proto);
        out->define(QStringLiteral("__constructor__"), Value(transform), avm1::propflag::kDontEnum);
        out->define(QStringLiteral("__clip"), clip, kHidden);
        return Value(out);
    };
    transform->setNativeConstructor([makeTransform](Vm& vm, const Value&, Args args) {
        return makeTransform(vm, arg(args, 0));
    });
    auto clipOf = [](const Value& self) -> DisplayObject* {
        Object* o = self.object();
        const avm1::Property* p = o ? o->findOwn(QStringLiteral("__clip")) : nullptr;
        return p ? displayOf(p->value) : nullptr;
    };
    Object* matrix = c.matrix;
    Object* colorTransform = c.colorTransform;
    defineAccessor(
        vm, proto, QStringLiteral("matrix"),
        [clipOf, matrix](Vm& vm, const Value& self, Args) {
            DisplayObject* o = clipOf(self);
            return o ? matrixValue(vm, matrix, toQTransform(o->matrix)) : Value();
        },
        [clipOf, s](Vm& vm, const Value& self, Args args) {
            DisplayObject* o = clipOf(self);
            const Value& m = arg(args, 0);
            if (!o || !m.isObject()) return Value();
            const QTransform t = matrixOf(vm, m);
            if (!std::isfinite(t.m11() + t.m12() + t.m21() + t.m22() + t.dx() + t.dy())) return Value();
            o->matrix.a = t.m11();
            o->matrix.b = t.m12();
            o->matrix.c = t.m21();
            o->matrix.d = t.m22();
            o->matrix.tx = std::round(t.dx() * 20.0);
            o->matrix.ty = std::round(t.dy() * 20.0);
            o->scriptGeometry = false;
            o->transformedByScript = true;
            s->touch();
            return Value();
        });
    defineGetter(vm, proto, QStringLiteral("concatenatedMatrix"), [clipOf, matrix](Vm& vm, const Value& self, Args) {
        DisplayObject* o = clipOf(self);
        return o ? matrixValue(vm, matrix, worldTransform(*o)) : Value();
    });
    defineAccessor(
        vm, proto, QStringLiteral("colorTransform"),
        [clipOf, colorTransform](Vm& vm, const Value& self, Args) {
            DisplayObject* o = clipOf(self);
            return o ? colorTransformValue(vm, colorTransform, o->colorTransform) : Value();
        },
        [clipOf, s, colorTransform](Vm& vm, const Value& self, Args args) {
            DisplayObject* o = clipOf(self);
            const Value& ct = arg(args, 0);
            // Only a ColorTransform is taken: other objects leave the clip as it was.
            if (!o || !vm.instanceOf(ct, colorTransform)) return Value();
            auto fixed = [&](const char* n, double scale) {
                const double v = get(vm, ct, n) * scale;
                return static_cast<std::int16_t>(std::isnan(v) ? 0 : std::clamp(v, -32768.0, 32767.0));
            };
            swf::ColorTransform& cx = o->colorTransform;
            cx.rMult = fixed("redMultiplier", 256);
            cx.gMult = fixed("greenMultiplier", 256);
            cx.bMult = fixed("blueMultiplier", 256);
            cx.aMult = fixed("alphaMultiplier", 256);
            cx.rAdd = fixed("redOffset", 1);
            cx.gAdd = fixed("greenOffset", 1);
            cx.bAdd = fixed("blueOffset", 1);
            cx.aAdd = fixed("alphaOffset", 1);
            o->transformedByScript = true;
            s->touch();
            return Value();
        });
    defineGetter(vm, proto, QStringLiteral("concatenatedColorTransform"),
                 [clipOf, colorTransform](Vm& vm, const Value& self, Args) {
                     DisplayObject* o = clipOf(self);
                     if (!o) return Value();
                     swf::ColorTransform cx = o->colorTransform;
                     for (SpriteInstance* p = o->parent; p && p->owner(); p = p->parent())
                         cx = concatenated(cx, p->owner()->colorTransform);
                     return colorTransformValue(vm, colorTransform, cx);
                 });
    // The clip's bounds on the stage, in whole pixels.
    Object* rectangle = c.rectangle;
    defineGetter(vm, proto, QStringLiteral("pixelBounds"), [clipOf, rectangle, s](Vm& vm, const Value& self, Args) {
        DisplayObject* o = clipOf(self);
        if (!o) return Value();
        const QRectF inner = objectBounds(movieOf(*s, *o), *o);
        QRectF r = inner.isNull() ? QRectF() : worldTransform(*o).mapRect(inner);
        const double x = std::round(r.left() / 20.0), y = std::round(r.top() / 20.0);
        const double w = std::round(r.right() / 20.0) - x, h = std::round(r.bottom() / 20.0) - y;
        return construct(vm, rectangle, {Value(x), Value(y), Value(w), Value(h)});
    });

    // MovieClip.transform: a new Transform for the clip on each read; assigning another clip's transform
    // takes that clip's matrix and colour transform, anything else is ignored.
    Object* clipProto = vm.protos().movieClip;
    if (!clipProto) return;
    defineAccessor(
        vm, clipProto, QStringLiteral("transform"),
        [makeTransform](Vm& vm, const Value& self, Args) { return makeTransform(vm, self); },
        [clipOf, s](Vm&, const Value& self, Args args) {
            DisplayObject* o = displayOf(self);
            DisplayObject* from = clipOf(arg(args, 0));
            if (!o || !from) return Value();
            o->matrix = from->matrix;
            o->colorTransform = from->colorTransform;
            o->scriptGeometry = false;
            o->transformedByScript = true;
            s->touch();
            return Value();
        },
        avm1::propflag::kVersion8);

    // MovieClip.scrollRect: a new Rectangle of the part shown on each read, undefined when none; any
    // object with x, y, width and height sets it, anything else takes it away.
    defineAccessor(
        vm, clipProto, QStringLiteral("scrollRect"),
        [rectangle](Vm& vm, const Value& self, Args) {
            DisplayObject* o = displayOf(self);
            if (!o || !o->scrollRect) return Value();
            const QRectF r = *o->scrollRect;
            return construct(vm, rectangle,
                             {Value(r.x() / 20.0), Value(r.y() / 20.0), Value(r.width() / 20.0), Value(r.height() / 20.0)});
        },
        [s](Vm& vm, const Value& self, Args args) {
            DisplayObject* o = displayOf(self);
            if (!o) return Value();
            const Value v = arg(args, 0);
            if (!v.isObject()) {
                o->scrollRect.reset();
            } else {
                // Pixels to twips, held to a range that keeps the drawing maths finite.
                auto twips = [&vm, &v](const char* name) {
                    const double n = vm.toNumber(vm.getMember(v, QString::fromLatin1(name)));
                    return std::isfinite(n) ? std::clamp(n * 20.0, -1e9, 1e9) : 0.0;
                };
                o->scrollRect = QRectF(twips("x"), twips("y"), std::max(0.0, twips("width")),
                                       std::max(0.0, twips("height")));
            }
            s->touch();
            return Value();
        },
        avm1::propflag::kVersion8);
}

}  // namespace

void installGeometry(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* pkg = package(vm, QStringLiteral("flash.geom"));
    Classes c;
    installPoint(vm, pkg, c);
    installRectangle(vm, pkg, c);
    installMatrix(vm, pkg, c);
    installColorTransform(vm, pkg, c);
    installTransform(stage, pkg, c);
}

}  // namespace vistrel::player::objects
