// flash.display.BitmapData and MovieClip.attachBitmap. Pixels are kept premultiplied,
// so a colour read back after a write shows the same rounding a script sees there.
// Methods answer -1 for a disposed bitmap or missing arguments, and small
// negative codes for arguments of the wrong kind.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

#include <QImage>
#include <QPainter>

#include "player/avm1/object.h"
#include "player/bitmap/perlin_noise.h"
#include "player/bitmap_surface.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/render/display_list_renderer.h"
#include "player/render/qpainter_renderer.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player {

const ShapePaths& BitmapSurface::paths(bool smoothing) const {
    if (m_pathsVersion == version && m_pathsSmooth == smoothing) return m_paths;
    m_paths = ShapePaths();
    if (width > 0 && height > 0 && pixels.size() == static_cast<std::size_t>(width) * height) {
        QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < height; ++y)
            std::copy_n(pixels.data() + static_cast<std::size_t>(y) * width, width,
                        reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
        DrawItem item;
        item.path.addRect(QRectF(0, 0, width * 20.0, height * 20.0));
        item.paint.type = swf::FillType::ClippedBitmap;
        item.paint.image = image;
        item.paint.repeat = false;
        item.paint.smooth = smoothing;
        item.paint.matrix = QTransform::fromScale(20, 20);
        m_paths.bounds = item.path.boundingRect();
        m_paths.items.push_back(std::move(item));
    }
    m_pathsVersion = version;
    m_pathsSmooth = smoothing;
    return m_paths;
}

namespace objects {

namespace {

using Surface = std::shared_ptr<BitmapSurface>;

class BitmapDataObject : public Object {
public:
    Surface surface = std::make_shared<BitmapSurface>();
};

// ---- pixel arithmetic ----

std::uint32_t alphaOf(std::uint32_t p) { return p >> 24; }
std::uint32_t channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFF; }

std::uint32_t premultiply(std::uint32_t argb) {
    const std::uint32_t a = alphaOf(argb);
    if (a == 255) return argb;
    auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (mul(channel(argb, 16)) << 16) | (mul(channel(argb, 8)) << 8) | mul(channel(argb, 0));
}

// Noise premultiplies its colours with a shift rather than a division, which rounds a little differently.
std::uint32_t premultiplyNoise(std::uint32_t argb) {
    const std::uint32_t a = alphaOf(argb);
    if (a == 255) return argb;
    auto mul = [a](std::uint32_t c) { return (c * a + 128) >> 8; };
    return (a << 24) | (mul(channel(argb, 16)) << 16) | (mul(channel(argb, 8)) << 8) | mul(channel(argb, 0));
}

// Back to straight colour, halves rounding down.
std::uint32_t unmultiply(std::uint32_t p) {
    const std::uint32_t a = alphaOf(p);
    if (a == 255) return p;
    if (a == 0) return 0;
    auto div = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, (2 * c * 255 + a - 1) / (2 * a)); };
    return (a << 24) | (div(channel(p, 16)) << 16) | (div(channel(p, 8)) << 8) | div(channel(p, 0));
}

// What a bitmap stores for a straight colour.
std::uint32_t storeColor(const BitmapSurface& s, std::uint32_t argb) {
    return s.transparent ? premultiply(argb) : (argb | 0xFF000000u);
}

// `src` (premultiplied) over `dst`.
std::uint32_t blendOver(std::uint32_t src, std::uint32_t dst) {
    const std::uint32_t inv = 255 - alphaOf(src);
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= std::min<std::uint32_t>(255, channel(src, shift) + channel(dst, shift) * inv / 255) << shift;
    return out;
}

// Scales a premultiplied pixel by an alpha.
std::uint32_t scaleBy(std::uint32_t p, std::uint32_t alpha) {
    if (alpha == 255) return p;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) out |= (channel(p, shift) * alpha / 255) << shift;
    return out;
}

double toDouble(Vm& vm, const Value& v) { return vm.toNumber(v); }

// Coordinates and sizes: whole numbers, NaN as 0, kept in a range no arithmetic overflows.
int toInt(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    if (!std::isfinite(d)) return 0;
    return static_cast<int>(std::clamp(std::trunc(d), -1.0e9, 1.0e9));
}

// Colours: as 32-bit unsigned, the way a script's 0xAARRGGBB literal wraps.
std::uint32_t toColor(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    if (!std::isfinite(d)) return 0;
    const double m = std::fmod(std::trunc(d), 4294967296.0);
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(m < 0 ? m + 4294967296.0 : m));
}

Value signedColor(std::uint32_t c) { return Value(static_cast<double>(static_cast<std::int32_t>(c))); }

BitmapSurface* live(const Value& v) {
    auto* b = dynamic_cast<BitmapDataObject*>(v.object());
    return b && b->surface->valid() ? b->surface.get() : nullptr;
}

struct IntRect {
    long long x = 0, y = 0, w = 0, h = 0;
};

// Sizes and offsets of rectangles: whole numbers in a range sums of two cannot overflow.
long long toLong(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    if (!std::isfinite(d)) return 0;
    return static_cast<long long>(std::clamp(std::trunc(d), -1.0e15, 1.0e15));
}

// A rectangle argument: any object with x, y, width and height of its own (inherited ones do not count).
bool readRect(Vm& vm, const Value& v, IntRect& out) {
    Object* o = v.object();
    if (!o) return false;
    for (const char* n : {"x", "y", "width", "height"})
        if (!o->hasOwn(QString::fromLatin1(n))) return false;
    out.x = toLong(vm, vm.getMember(v, QStringLiteral("x")));
    out.y = toLong(vm, vm.getMember(v, QStringLiteral("y")));
    out.w = toLong(vm, vm.getMember(v, QStringLiteral("width")));
    out.h = toLong(vm, vm.getMember(v, QStringLiteral("height")));
    return true;
}

// A point argument: any object with x and y of its own.
bool readPoint(Vm& vm, const Value& v, int& x, int& y) {
    Object* o = v.object();
    if (!o || !o->hasOwn(QStringLiteral("x")) || !o->hasOwn(QStringLiteral("y"))) return false;
    x = toInt(vm, vm.getMember(v, QStringLiteral("x")));
    y = toInt(vm, vm.getMember(v, QStringLiteral("y")));
    return true;
}

// The source bitmap and rectangle of the copying methods; 0 when both are usable, otherwise the error
// code: -2 for no bitmap, -3 for a disposed one, -4 for no rectangle.
int readSource(Vm& vm, Args args, BitmapSurface*& src, IntRect& r) {
    auto* object = dynamic_cast<BitmapDataObject*>(arg(args, 0).object());
    if (!object) return -2;
    if (!object->surface->valid()) return -3;
    src = object->surface.get();
    return readRect(vm, arg(args, 1), r) ? 0 : -4;
}

// A destination point where what is missing (or not an object at all) counts as 0.
void readPointLeniently(Vm& vm, const Value& v, int& x, int& y) {
    x = toInt(vm, vm.getMember(v, QStringLiteral("x")));
    y = toInt(vm, vm.getMember(v, QStringLiteral("y")));
}

// The part of `r` inside the bitmap, in whole pixels.
struct Area {
    int x = 0, y = 0, w = 0, h = 0;
};

Area clipTo(const BitmapSurface& s, const IntRect& r) {
    const long long x0 = std::clamp<long long>(r.x, 0, s.width), y0 = std::clamp<long long>(r.y, 0, s.height);
    const long long x1 = std::clamp<long long>(r.x + std::max(r.w, 0LL), 0, s.width);
    const long long y1 = std::clamp<long long>(r.y + std::max(r.h, 0LL), 0, s.height);
    return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::max(0LL, x1 - x0)),
            static_cast<int>(std::max(0LL, y1 - y0))};
}

// Where `r` of `src` lands in `dst` at (px, py), cut to what lies inside both.
struct Region {
    int sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
};

Region copyRegion(const BitmapSurface& src, const IntRect& r, long long px, long long py, const BitmapSurface& dst) {
    long long sx = r.x, sy = r.y, dx = px, dy = py, w = std::max(r.w, 0LL), h = std::max(r.h, 0LL);
    if (sx < 0) dx -= sx, w += sx, sx = 0;
    if (sy < 0) dy -= sy, h += sy, sy = 0;
    if (dx < 0) sx -= dx, w += dx, dx = 0;
    if (dy < 0) sy -= dy, h += dy, dy = 0;
    w = std::min({w, src.width - sx, dst.width - dx});
    h = std::min({h, src.height - sy, dst.height - dy});
    if (w <= 0 || h <= 0) return {};
    return {static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(w),
            static_cast<int>(h)};
}

struct Context {
    Stage* stage = nullptr;
    Object* proto = nullptr;
};

Object* geomClass(Vm& vm, const char* name) {
    Object* pkg = package(vm, QStringLiteral("flash.geom"));
    return vm.getMember(Value(pkg), QString::fromLatin1(name)).object();
}

Value makeRectangle(Vm& vm, int x, int y, int w, int h) {
    Object* ctor = geomClass(vm, "Rectangle");
    const std::vector<Value> args{Value(x), Value(y), Value(w), Value(h)};
    return ctor ? vm.construct(Value(ctor), args) : Value();
}

Value newBitmap(Context& cx, Vm& vm, int w, int h, bool transparent) {
    auto* b = vm.heap().make<BitmapDataObject>();
    b->setProto(cx.proto);
    b->surface->width = w;
    b->surface->height = h;
    b->surface->transparent = transparent;
    b->surface->pixels.assign(static_cast<std::size_t>(w) * h, 0);
    return Value(static_cast<Object*>(b));
}

// The largest bitmap a movie of `version` may make.
bool sizeAllowed(int swfVersion, double w, double h) {
    if (!(w >= 1) || !(h >= 1)) return false;
    if (swfVersion < 10) return w <= 2880 && h <= 2880;
    return w <= 8191 && h <= 8191 && w * h <= 16777215;
}

// ---- methods ----

using Method = Value (*)(Context&, Vm&, BitmapSurface&, const Value& self, Args);

struct MethodEntry {
    const char* name;
    std::size_t minArgs;
    Method f;
};

Value getPixel(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const int x = toInt(vm, args[0]), y = toInt(vm, args[1]);
    if (!s.contains(x, y)) return Value(0);
    return Value(static_cast<double>(unmultiply(s.at(x, y)) & 0xFFFFFF));
}

Value getPixel32(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const int x = toInt(vm, args[0]), y = toInt(vm, args[1]);
    if (!s.contains(x, y)) return Value(0);
    return signedColor(unmultiply(s.at(x, y)));
}

Value setPixel(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const int x = toInt(vm, args[0]), y = toInt(vm, args[1]);
    const std::uint32_t c = toColor(vm, args[2]);
    if (s.contains(x, y)) {
        const std::uint32_t alpha = alphaOf(s.at(x, y));
        s.at(x, y) = storeColor(s, (alpha << 24) | (c & 0xFFFFFF));
        s.changed();
    }
    return Value(0);
}

Value setPixel32(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const int x = toInt(vm, args[0]), y = toInt(vm, args[1]);
    const std::uint32_t c = toColor(vm, args[2]);
    if (s.contains(x, y)) {
        s.at(x, y) = storeColor(s, c);
        s.changed();
    }
    return Value(0);
}

Value fillRect(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    IntRect r;
    if (!readRect(vm, args[0], r)) return Value(-1);
    const std::uint32_t c = storeColor(s, toColor(vm, args[1]));
    const Area a = clipTo(s, r);
    for (int y = a.y; y < a.y + a.h; ++y)
        for (int x = a.x; x < a.x + a.w; ++x) s.at(x, y) = c;
    s.changed();
    return Value(0);
}

Value floodFill(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const int x0 = toInt(vm, args[0]), y0 = toInt(vm, args[1]);
    const std::uint32_t c = storeColor(s, toColor(vm, args[2]));
    // 1 when something was filled, 0 outside the bitmap or when the area already has the colour.
    if (!s.contains(x0, y0)) return Value(0);
    const std::uint32_t from = s.at(x0, y0);
    if (from == c) return Value(0);
    // Pixels are coloured as they are queued, so each is queued once at most.
    std::vector<std::pair<int, int>> todo{{x0, y0}};
    s.at(x0, y0) = c;
    auto visit = [&](int x, int y) {
        if (!s.contains(x, y) || s.at(x, y) != from) return;
        s.at(x, y) = c;
        todo.push_back({x, y});
    };
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        visit(x + 1, y);
        visit(x - 1, y);
        visit(x, y + 1);
        visit(x, y - 1);
    }
    s.changed();
    return Value(1);
}

Value scroll(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const int dx = toInt(vm, args[0]), dy = toInt(vm, args[1]);
    if (std::abs(dx) >= s.width || std::abs(dy) >= s.height || (dx == 0 && dy == 0)) return Value(0);
    const std::vector<std::uint32_t> old = s.pixels;
    // Only the pixels that move in are replaced; the rest keep what they had.
    for (int y = std::max(0, dy); y < std::min(s.height, s.height + dy); ++y)
        for (int x = std::max(0, dx); x < std::min(s.width, s.width + dx); ++x)
            s.at(x, y) = old[static_cast<std::size_t>(y - dy) * s.width + (x - dx)];
    s.changed();
    return Value(0);
}

// A script's ColorTransform read to multipliers and offsets.
struct Transform {
    double mult[4] = {1, 1, 1, 1};   // a, r, g, b
    double add[4] = {0, 0, 0, 0};
};

Transform readTransform(Vm& vm, const Value& v) {
    Transform t;
    const char* names[4] = {"alpha", "red", "green", "blue"};
    for (int i = 0; i < 4; ++i) {
        t.mult[i] = toDouble(vm, vm.getMember(v, QString::fromLatin1(names[i]) + QStringLiteral("Multiplier")));
        t.add[i] = toDouble(vm, vm.getMember(v, QString::fromLatin1(names[i]) + QStringLiteral("Offset")));
    }
    return t;
}

std::uint32_t applyTransform(const Transform& t, std::uint32_t argb) {
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const int shift = 24 - 8 * i;
        const double v = channel(argb, shift) * t.mult[i] + t.add[i];
        const double c = std::isfinite(v) ? std::clamp(std::trunc(v), 0.0, 255.0) : (v > 0 ? 255.0 : 0.0);
        out |= static_cast<std::uint32_t>(c) << shift;
    }
    return out;
}

Value colorTransform(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    IntRect r;
    if (!readRect(vm, args[0], r)) return Value(-2);
    // Looked up each time: a script may replace or delete the class.
    Object* ctClass = geomClass(vm, "ColorTransform");
    if (!ctClass || !vm.instanceOf(args[1], ctClass)) return Value(-3);
    const Transform t = readTransform(vm, args[1]);
    const Area a = clipTo(s, r);
    for (int y = a.y; y < a.y + a.h; ++y)
        for (int x = a.x; x < a.x + a.w; ++x) s.at(x, y) = storeColor(s, applyTransform(t, unmultiply(s.at(x, y))));
    s.changed();
    return Value(-1);
}

// Into a transparent bitmap the source replaces what is there, or is laid over it with mergeAlpha; an
// opaque bitmap always has the source laid over it. A transparent alpha bitmap scales the source by its
// alpha and limits the copy to where it lies; an opaque one is not used.
Value copyPixels(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    BitmapSurface* src = live(args[0]);
    IntRect r;
    int px = 0, py = 0;
    if (!src || !readRect(vm, args[1], r)) return Value(-1);
    readPointLeniently(vm, args[2], px, py);
    BitmapSurface* alpha = args.size() > 3 ? live(args[3]) : nullptr;
    if (alpha && !alpha->transparent) alpha = nullptr;
    int ax = 0, ay = 0;
    if (alpha && args.size() > 4) readPointLeniently(vm, args[4], ax, ay);
    const bool merge = args.size() > 5 && vm.toBoolean(args[5]);
    // Copy from a snapshot: source and destination may be the same bitmap.
    const std::vector<std::uint32_t> from = src->pixels;
    const Region g = copyRegion(*src, r, px, py, s);
    for (int j = 0; j < g.h; ++j) {
        const int sy = g.sy + j, dy = g.dy + j;
        for (int i = 0; i < g.w; ++i) {
            const int sx = g.sx + i, dx = g.dx + i;
            std::uint32_t p = from[static_cast<std::size_t>(sy) * src->width + sx];
            if (alpha) {
                const long long mx = ax + (sx - r.x), my = ay + (sy - r.y);
                if (!alpha->contains(mx, my)) continue;
                p = scaleBy(p, alphaOf(alpha->at(mx, my)));
            }
            std::uint32_t& d = s.at(dx, dy);
            if (!s.transparent) d = blendOver(p, d) | 0xFF000000u;
            else d = merge ? blendOver(p, d) : p;
        }
    }
    s.changed();
    return Value(0);
}

Value copyChannel(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    BitmapSurface* src = nullptr;
    IntRect r;
    if (const int error = readSource(vm, args, src, r)) return Value(error);
    int px = 0, py = 0;
    readPointLeniently(vm, args[2], px, py);
    auto shiftOf = [](std::uint32_t ch) {
        switch (ch) {
        case 1: return 16;
        case 2: return 8;
        case 4: return 0;
        case 8: return 24;
        default: return -1;
        }
    };
    const int from = shiftOf(toColor(vm, args[3])), to = shiftOf(toColor(vm, args[4]));
    // An unknown source channel reads as 0; an unknown destination channel takes nothing.
    if (to < 0) return Value(-1);
    const std::vector<std::uint32_t> source = src->pixels;
    const Region g = copyRegion(*src, r, px, py, s);
    for (int j = 0; j < g.h; ++j) {
        const int sy = g.sy + j, dy = g.dy + j;
        for (int i = 0; i < g.w; ++i) {
            const int sx = g.sx + i, dx = g.dx + i;
            const std::uint32_t v =
                from < 0 ? 0 : channel(unmultiply(source[static_cast<std::size_t>(sy) * src->width + sx]), from);
            std::uint32_t d = unmultiply(s.at(dx, dy));
            if (to == 24 && !s.transparent) continue;
            d = (d & ~(0xFFu << to)) | (v << to);
            s.at(dx, dy) = storeColor(s, d);
        }
    }
    s.changed();
    return Value(-1);
}

Value compare(Context& cx, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    BitmapSurface* other = live(args[0]);
    if (!other) return Value(-2);
    if (other->width != s.width) return Value(-3);
    if (other->height != s.height) return Value(-4);
    bool same = true;
    std::vector<std::uint32_t> diff(s.pixels.size(), 0);
    for (std::size_t i = 0; i < s.pixels.size(); ++i) {
        const std::uint32_t a = unmultiply(s.pixels[i]), b = unmultiply(other->pixels[i]);
        if (a == b) continue;
        same = false;
        if ((a & 0xFFFFFF) != (b & 0xFFFFFF)) {
            std::uint32_t d = 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) d |= ((channel(a, shift) - channel(b, shift)) & 0xFF) << shift;
            diff[i] = d;
        } else {
            diff[i] = (((alphaOf(a) - alphaOf(b)) & 0xFF) << 24) | 0xFFFFFF;
        }
    }
    if (same) return Value(0);
    Value out = newBitmap(cx, vm, s.width, s.height, true);
    BitmapSurface& o = *static_cast<BitmapDataObject*>(out.object())->surface;
    for (std::size_t i = 0; i < diff.size(); ++i) o.pixels[i] = premultiply(diff[i]);
    return out;
}

Value cloneBitmap(Context& cx, Vm& vm, BitmapSurface& s, const Value&, Args) {
    Value out = newBitmap(cx, vm, s.width, s.height, s.transparent);
    static_cast<BitmapDataObject*>(out.object())->surface->pixels = s.pixels;
    return out;
}

Value dispose(Context&, Vm&, BitmapSurface& s, const Value&, Args) {
    s.disposed = true;
    s.width = s.height = 0;
    s.pixels.clear();
    s.pixels.shrink_to_fit();
    s.changed();
    return Value();
}

Value getColorBoundsRect(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const std::uint32_t mask = toColor(vm, args[0]), color = toColor(vm, args[1]);
    const bool find = args.size() < 3 || vm.toBoolean(args[2]);
    // The stored (premultiplied) pixels are compared with the colour as it would be stored; opaque
    // bitmaps compare their colour channels only.
    const std::uint32_t wanted = s.transparent ? premultiply(color) : (color & 0xFFFFFF);
    int x0 = s.width, y0 = s.height, x1 = -1, y1 = -1;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const bool match = s.transparent ? (s.at(x, y) & mask) == wanted : ((s.at(x, y) & mask) & 0xFFFFFF) == wanted;
            if (match != find) continue;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    if (x1 < 0) return makeRectangle(vm, 0, 0, 0, 0);
    return makeRectangle(vm, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

bool thresholdTest(const QString& op, std::uint32_t v, std::uint32_t t) {
    if (op == u"<") return v < t;
    if (op == u"<=") return v <= t;
    if (op == u">") return v > t;
    if (op == u">=") return v >= t;
    if (op == u"==") return v == t;
    if (op == u"!=") return v != t;
    return false;
}

Value threshold(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    BitmapSurface* src = nullptr;
    IntRect r;
    if (const int error = readSource(vm, args, src, r)) return Value(error);
    int px = 0, py = 0;
    readPointLeniently(vm, args[2], px, py);
    const QString op = vm.toString(args[3]);
    const std::uint32_t t = toColor(vm, args[4]);
    const std::uint32_t color = args.size() > 5 ? toColor(vm, args[5]) : 0;
    const std::uint32_t mask = args.size() > 6 ? toColor(vm, args[6]) : 0xFFFFFFFFu;
    const bool copySource = args.size() > 7 && vm.toBoolean(args[7]);
    if (!(op == u"<" || op == u"<=" || op == u">" || op == u">=" || op == u"==" || op == u"!=")) return Value(0);
    const std::vector<std::uint32_t> from = src->pixels;
    int count = 0;
    const Region g = copyRegion(*src, r, px, py, s);
    for (int j = 0; j < g.h; ++j) {
        const int sy = g.sy + j, dy = g.dy + j;
        for (int i = 0; i < g.w; ++i) {
            const int sx = g.sx + i, dx = g.dx + i;
            const std::uint32_t p = from[static_cast<std::size_t>(sy) * src->width + sx];
            if (thresholdTest(op, unmultiply(p) & mask, t & mask)) {
                s.at(dx, dy) = storeColor(s, color);
                ++count;
            } else if (copySource) {
                s.at(dx, dy) = s.transparent ? p : (p | 0xFF000000u);
            }
        }
    }
    s.changed();
    return Value(count);
}

// Channel tables: each source channel looks its value up in its array (or keeps it), the results added.
Value paletteMap(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    BitmapSurface* src = nullptr;
    IntRect r;
    if (const int error = readSource(vm, args, src, r)) return Value(error);
    int px = 0, py = 0;
    readPointLeniently(vm, args[2], px, py);
    std::uint32_t table[4][256];
    bool has[4] = {false, false, false, false};
    const int shifts[4] = {16, 8, 0, 24};   // red, green, blue, alpha arrays in argument order
    for (int k = 0; k < 4; ++k) {
        auto* arr = dynamic_cast<avm1::ArrayObject*>(arg(args, 3 + k).object());
        if (!arr) continue;
        has[k] = true;
        for (int v = 0; v < 256; ++v)
            table[k][v] = v < static_cast<int>(arr->length()) ? toColor(vm, arr->at(static_cast<std::size_t>(v))) : 0;
    }
    const std::vector<std::uint32_t> from = src->pixels;
    const Region g = copyRegion(*src, r, px, py, s);
    for (int j = 0; j < g.h; ++j) {
        const int sy = g.sy + j, dy = g.dy + j;
        for (int i = 0; i < g.w; ++i) {
            const int sx = g.sx + i, dx = g.dx + i;
            const std::uint32_t p = unmultiply(from[static_cast<std::size_t>(sy) * src->width + sx]);
            std::uint32_t out = 0;
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t v = channel(p, shifts[k]);
                out += has[k] ? table[k][v] : (v << shifts[k]);
            }
            s.at(dx, dy) = storeColor(s, out);
        }
    }
    s.changed();
    return Value(0);
}

Value merge(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    BitmapSurface* src = nullptr;
    IntRect r;
    if (const int error = readSource(vm, args, src, r)) return Value(error);
    int px = 0, py = 0;
    readPointLeniently(vm, args[2], px, py);
    const std::uint32_t mult[4] = {toColor(vm, arg(args, 3)), toColor(vm, arg(args, 4)), toColor(vm, arg(args, 5)),
                                   toColor(vm, arg(args, 6))};
    const int shifts[4] = {16, 8, 0, 24};
    const std::vector<std::uint32_t> from = src->pixels;
    const Region g = copyRegion(*src, r, px, py, s);
    for (int j = 0; j < g.h; ++j) {
        const int sy = g.sy + j, dy = g.dy + j;
        for (int i = 0; i < g.w; ++i) {
            const int sx = g.sx + i, dx = g.dx + i;
            const std::uint32_t a = unmultiply(from[static_cast<std::size_t>(sy) * src->width + sx]);
            const std::uint32_t b = unmultiply(s.at(dx, dy));
            std::uint32_t out = 0;
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t m = std::min<std::uint32_t>(mult[k], 256);
                const std::uint32_t v = (channel(a, shifts[k]) * m + channel(b, shifts[k]) * (256 - m)) / 256;
                out |= std::min<std::uint32_t>(v, 255) << shifts[k];
            }
            s.at(dx, dy) = storeColor(s, out);
        }
    }
    s.changed();
    return Value(0);
}

// The random numbers noise draws: a Park-Miller generator seeded from the script's seed.
class Random {
public:
    // Seeds of 0 and below count from 1 upwards (0 is 1, -1 is 2).
    explicit Random(double seed) {
        double s = std::isfinite(seed) ? std::trunc(seed) : 0;
        if (s <= 0) s = 1 - s;
        m_state = static_cast<std::int64_t>(std::fmod(s, 2147483647.0));
        if (m_state == 0) m_state = 1;
    }
    std::uint32_t next() {
        m_state = parkMillerNext(m_state);
        return static_cast<std::uint32_t>(m_state);
    }
    std::uint32_t inRange(std::uint32_t low, std::uint32_t high) {
        if (high <= low) return low;
        return low + next() % (high - low + 1);
    }

private:
    std::int64_t m_state;
};

Value noise(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    Random random(toDouble(vm, args[0]));
    const auto low = static_cast<std::uint32_t>(std::clamp(toInt(vm, arg(args, 1)), 0, 255));
    const auto high = static_cast<std::uint32_t>(args.size() > 2 ? std::clamp(toInt(vm, args[2]), 0, 255) : 255);
    const std::uint32_t channels = args.size() > 3 ? toColor(vm, args[3]) : 7;
    const bool gray = args.size() > 4 && vm.toBoolean(args[4]);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            std::uint32_t argb = 0xFF000000u;
            if (gray) {
                const std::uint32_t v = random.inRange(low, high);
                argb |= (v << 16) | (v << 8) | v;
                if ((channels & 8) && s.transparent) argb = (random.inRange(low, high) << 24) | (argb & 0xFFFFFF);
            } else {
                std::uint32_t c = 0;
                if (channels & 1) c |= random.inRange(low, high) << 16;
                if (channels & 2) c |= random.inRange(low, high) << 8;
                if (channels & 4) c |= random.inRange(low, high);
                std::uint32_t a = 255;
                if ((channels & 8) && s.transparent) a = random.inRange(low, high);
                argb = (a << 24) | c;
            }
            s.at(x, y) = s.transparent ? premultiplyNoise(argb) : argb;
        }
    s.changed();
    return Value(0);
}

// perlinNoise(baseX, baseY, numOctaves, randomSeed, stitch, fractalNoise, channelOptions, grayScale,
// offsets): sizes, octaves and the seed are whole numbers (the seed wraps to 32 bits); offsets are any
// objects with x and y, one per octave.
Value perlinNoiseMethod(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    PerlinNoiseSpec spec;
    spec.baseX = toInt(vm, args[0]);
    spec.baseY = toInt(vm, args[1]);
    spec.octaves = toInt(vm, args[2]);
    spec.seed = static_cast<std::int32_t>(toColor(vm, args[3]));
    spec.stitch = vm.toBoolean(args[4]);
    spec.fractal = vm.toBoolean(args[5]);
    spec.channels = args.size() > 6 ? toColor(vm, args[6]) & 15 : 7;
    spec.grayscale = args.size() > 7 && vm.toBoolean(args[7]);
    if (args.size() > 8 && args[8].isObject()) {
        const auto coordinate = [&vm](const Value& v) {
            const double d = vm.toNumber(v);
            return std::isfinite(d) ? d : 0.0;
        };
        const int wanted = std::min(std::max(spec.octaves, 0), kPerlinMaxOctaves);
        const int count = std::clamp(toInt(vm, vm.getMember(args[8], QStringLiteral("length"))), 0, wanted);
        for (int i = 0; i < count; ++i) {
            const Value point = vm.getMember(args[8], QString::number(i));
            spec.offsets.emplace_back(coordinate(vm.getMember(point, QStringLiteral("x"))),
                                      coordinate(vm.getMember(point, QStringLiteral("y"))));
        }
    }
    perlinNoise(spec, s.width, s.height, s.transparent, s.pixels.data());
    s.changed();
    return Value(0);
}

// Dissolves `numPixels` pixels of the area, in an order that visits every pixel of the area once before
// any again. The answer is the seed to pass next time: it continues where this call stopped (that
// pixel is written again, so the first call covers one pixel more than asked).
Value pixelDissolve(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    BitmapSurface* src = nullptr;
    IntRect r;
    if (const int error = readSource(vm, args, src, r)) return Value(error);
    int px = 0, py = 0;
    readPointLeniently(vm, args[2], px, py);
    const long long seed = std::llabs(toLong(vm, arg(args, 3)));
    const long long count = args.size() > 4 ? std::max(0LL, toLong(vm, args[4])) : 1;
    const std::uint32_t fill = storeColor(s, args.size() > 5 ? toColor(vm, args[5]) : 0);
    const Region g = copyRegion(*src, r, px, py, s);
    const long long total = static_cast<long long>(g.w) * g.h;
    if (total == 0) return Value(0);
    // A step sharing no factor with the area's size makes the walk a permutation of its pixels.
    long long step = 1;
    for (long long p : {7919LL, 6007LL, 4001LL, 2003LL, 1009LL, 503LL, 101LL, 53LL, 13LL})
        if (std::gcd(p, total) == 1) {
            step = p;
            break;
        }
    const long long start = seed % total;
    const std::vector<std::uint32_t> from = src->pixels;
    const long long n = std::min(count, total);
    for (long long k = 0; k <= n; ++k) {
        const long long index = ((start + k) % total) * step % total;
        const int ix = static_cast<int>(index % g.w), iy = static_cast<int>(index / g.w);
        s.at(g.dx + ix, g.dy + iy) =
            src == &s ? fill : from[static_cast<std::size_t>(g.sy + iy) * src->width + (g.sx + ix)];
    }
    s.changed();
    return Value(static_cast<double>((start + n) % total));
}

// Draws a clip (in its own coordinates) or another bitmap into this one through the renderer.
Value draw(Context& cx, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    const Value& source = args[0];
    BitmapSurface* srcBitmap = live(source);
    DisplayObject* clip = srcBitmap ? nullptr : displayOf(source);
    if (!srcBitmap && !clip) return Value(-1);
    QTransform m;
    if (Object* mo = arg(args, 1).object()) {
        auto get = [&](const char* n) {
            const double d = numberMember(vm, Value(mo), QString::fromLatin1(n));
            return std::isfinite(d) ? d : 0.0;
        };
        m = QTransform(get("a"), get("b"), get("c"), get("d"), get("tx"), get("ty"));
    }
    swf::ColorTransform ct;
    if (Object* ctClass = geomClass(vm, "ColorTransform")) {
        if (vm.instanceOf(arg(args, 2), ctClass)) {
            const Transform t = readTransform(vm, args[2]);
            auto m16 = [](double v) { return static_cast<std::int16_t>(std::clamp(v * 256, -32768.0, 32767.0)); };
            auto a16 = [](double v) { return static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)); };
            ct.aMult = m16(t.mult[0]), ct.rMult = m16(t.mult[1]), ct.gMult = m16(t.mult[2]), ct.bMult = m16(t.mult[3]);
            ct.aAdd = a16(t.add[0]), ct.rAdd = a16(t.add[1]), ct.gAdd = a16(t.add[2]), ct.bAdd = a16(t.add[3]);
        }
    }
    Area clipRect{0, 0, s.width, s.height};
    if (args.size() > 4 && arg(args, 4).isObject()) {
        IntRect r;
        if (readRect(vm, args[4], r)) clipRect = clipTo(s, r);
    }
    const bool smooth = args.size() > 5 && vm.toBoolean(args[5]);
    QImage layer(s.width, s.height, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    if (srcBitmap) {
        QImage image(srcBitmap->width, srcBitmap->height, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < srcBitmap->height; ++y)
            std::copy_n(srcBitmap->pixels.data() + static_cast<std::size_t>(y) * srcBitmap->width, srcBitmap->width,
                        reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
        if (!ct.isIdentity()) {
            for (int y = 0; y < image.height(); ++y) {
                auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    const std::uint32_t c = unmultiply(row[x]);
                    const swf::Rgba out = ct.apply(swf::Rgba{static_cast<std::uint8_t>(channel(c, 16)),
                                                             static_cast<std::uint8_t>(channel(c, 8)),
                                                             static_cast<std::uint8_t>(channel(c, 0)),
                                                             static_cast<std::uint8_t>(alphaOf(c))});
                    row[x] = premultiply((std::uint32_t{out.a} << 24) | (out.r << 16) | (out.g << 8) | out.b);
                }
            }
        }
        QPainter p(&layer);
        p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
        p.setTransform(m);
        p.drawImage(0, 0, image);
    } else if (clip->sprite && cx.stage) {
        QPainterRenderer renderer(layer);
        // Twips to the bitmap's pixels through the script's matrix.
        renderer.beginFrame(swf::Rgba{0, 0, 0, 0}, QTransform::fromScale(0.05, 0.05) * m, RenderQuality::High);
        layer.fill(Qt::transparent);
        renderDisplayList(cx.stage->movie(), *clip->sprite, renderer, QTransform(), ct);
        renderer.endFrame();
    }
    for (int y = clipRect.y; y < clipRect.y + clipRect.h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(layer.constScanLine(y));
        for (int x = clipRect.x; x < clipRect.x + clipRect.w; ++x) {
            if (!row[x]) continue;
            std::uint32_t& d = s.at(x, y);
            d = blendOver(row[x], d);
            if (!s.transparent) d |= 0xFF000000u;
        }
    }
    s.changed();
    return Value(0);
}

Value hitTest(Context&, Vm& vm, BitmapSurface& s, const Value&, Args args) {
    int fx = 0, fy = 0;
    if (!readPoint(vm, arg(args, 0), fx, fy)) return Value(-2);
    const std::uint32_t threshold = toColor(vm, arg(args, 1)) & 0xFF;
    auto opaqueAt = [&](const BitmapSurface& b, int x, int y, std::uint32_t t) {
        return b.contains(x, y) && (!b.transparent || alphaOf(b.at(x, y)) >= t);
    };
    const Value& other = arg(args, 2);
    if (auto* bo = dynamic_cast<BitmapDataObject*>(other.object())) {
        BitmapSurface* b = bo->surface.get();
        if (!b->valid()) return Value(-3);
        int ox = 0, oy = 0;
        if (!readPoint(vm, arg(args, 3), ox, oy)) return Value(-4);
        const std::uint32_t threshold2 = args.size() > 4 ? toColor(vm, args[4]) & 0xFF : 1;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                if (opaqueAt(s, x, y, threshold) && opaqueAt(*b, x + fx - ox, y + fy - oy, threshold2)) return Value(true);
        return Value(false);
    }
    IntRect r;
    if (readRect(vm, other, r)) {
        const Area a = clipTo(s, IntRect{r.x - fx, r.y - fy, r.w, r.h});
        for (int y = a.y; y < a.y + a.h; ++y)
            for (int x = a.x; x < a.x + a.w; ++x)
                if (opaqueAt(s, x, y, threshold)) return Value(true);
        return Value(false);
    }
    int x = 0, y = 0;
    if (!readPoint(vm, other, x, y)) return Value(-3);
    return Value(opaqueAt(s, x - fx, y - fy, threshold));
}

const MethodEntry kMethods[] = {
    {"getPixel", 2, getPixel},
    {"getPixel32", 2, getPixel32},
    {"setPixel", 3, setPixel},
    {"setPixel32", 3, setPixel32},
    {"fillRect", 2, fillRect},
    {"floodFill", 3, floodFill},
    {"scroll", 2, scroll},
    {"colorTransform", 2, colorTransform},
    {"copyPixels", 3, copyPixels},
    {"copyChannel", 5, copyChannel},
    {"compare", 1, compare},
    {"clone", 0, cloneBitmap},
    {"dispose", 0, dispose},
    {"getColorBoundsRect", 2, getColorBoundsRect},
    {"threshold", 5, threshold},
    {"paletteMap", 3, paletteMap},
    {"merge", 7, merge},
    {"noise", 1, noise},
    {"perlinNoise", 6, perlinNoiseMethod},
    {"pixelDissolve", 4, pixelDissolve},
    {"draw", 1, draw},
    {"hitTest", 0, hitTest},
};

Value constructBitmap(Context& cx, Vm& vm, Args args) {
    if (args.size() < 2) return Value();
    const double w = vm.toNumber(args[0]), h = vm.toNumber(args[1]);
    if (!sizeAllowed(vm.swfVersion(), std::trunc(w), std::trunc(h))) return Value();
    const bool transparent = args.size() < 3 || vm.toBoolean(args[2]);
    Value out = newBitmap(cx, vm, static_cast<int>(w), static_cast<int>(h), transparent);
    BitmapSurface& s = *static_cast<BitmapDataObject*>(out.object())->surface;
    const std::uint32_t fill = storeColor(s, args.size() > 3 ? toColor(vm, args[3]) : 0xFFFFFFFFu);
    std::fill(s.pixels.begin(), s.pixels.end(), fill);
    return out;
}

// An exported bitmap character copied into a new bitmap.
Value loadBitmap(Context& cx, Vm& vm, Args args) {
    if (!cx.stage || args.empty()) return Value();
    const Movie& movie = cx.stage->movie();
    const std::uint16_t id = movie.exportedCharacter(vm.toString(args[0]));
    if (!id) return Value();
    const Character* c = movie.character(id);
    if (!c || !std::holds_alternative<BitmapCharacter>(*c)) return Value();
    const QImage image = movie.bitmap(id).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || !sizeAllowed(vm.swfVersion(), image.width(), image.height())) return Value();
    Value out = newBitmap(cx, vm, image.width(), image.height(), image.hasAlphaChannel());
    BitmapSurface& s = *static_cast<BitmapDataObject*>(out.object())->surface;
    s.transparent = true;
    for (int y = 0; y < s.height; ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), s.width,
                    s.pixels.data() + static_cast<std::size_t>(y) * s.width);
    return out;
}

}  // namespace

void installBitmapData(Stage& stage) {
    Vm& vm = *stage.vm();
    auto cx = std::make_shared<Context>();
    cx->stage = &stage;
    Object* proto = vm.makeObject();
    cx->proto = proto;
    vm.extraRoots().push_back(proto);   // new bitmaps get it even after a script unhooks the class
    Object* ctor = vm.makeClass(QStringLiteral("BitmapData"), [](Vm&, const Value&, Args) { return Value(); }, proto);
    ctor->setNativeConstructor([cx](Vm& vm, const Value&, Args args) { return constructBitmap(*cx, vm, args); });
    package(vm, QStringLiteral("flash.display"))->define(QStringLiteral("BitmapData"), Value(ctor), avm1::propflag::kDontEnum);

    const char* channels[4] = {"RED_CHANNEL", "GREEN_CHANNEL", "BLUE_CHANNEL", "ALPHA_CHANNEL"};
    for (int i = 0; i < 4; ++i) ctor->define(QString::fromLatin1(channels[i]), Value(1 << i));
    method(vm, ctor, QStringLiteral("loadBitmap"), [cx](Vm& vm, const Value&, Args args) { return loadBitmap(*cx, vm, args); });

    // Size and kind read -1 once the bitmap is disposed; they are enumerable.
    auto property = [&](const char* name, auto read) {
        Object* getter = vm.makeFunction(QString::fromLatin1(name), [read](Vm& vm, const Value& self, Args) {
            auto* b = dynamic_cast<BitmapDataObject*>(self.object());
            if (!b) return Value();
            if (!b->surface->valid()) return Value(-1);
            return read(vm, *b->surface);
        });
        Object* setter = vm.makeFunction(QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });
        proto->defineAccessor(QString::fromLatin1(name), getter, setter, 0);
    };
    property("width", [](Vm&, const BitmapSurface& s) { return Value(s.width); });
    property("height", [](Vm&, const BitmapSurface& s) { return Value(s.height); });
    property("transparent", [](Vm&, const BitmapSurface& s) { return Value(s.transparent); });
    property("rectangle", [](Vm& vm, const BitmapSurface& s) { return makeRectangle(vm, 0, 0, s.width, s.height); });

    for (const MethodEntry& entry : kMethods) {
        method(vm, proto, QString::fromLatin1(entry.name), [cx, entry](Vm& vm, const Value& self, Args args) {
            auto* b = dynamic_cast<BitmapDataObject*>(self.object());
            if (!b || !b->surface->valid() || args.size() < entry.minArgs) return Value(-1);
            // Keep the pixels alive even if the method disposes of them.
            const Surface keep = b->surface;
            return entry.f(*cx, vm, *keep, self, args);
        });
    }
    // Filters are not applied to script bitmaps yet; the call is accepted and leaves the pixels.
    method(vm, proto, QStringLiteral("applyFilter"), [](Vm&, const Value& self, Args args) {
        if (!live(self) || args.size() < 4) return Value(-1);
        return Value(0);
    });
    method(vm, proto, QStringLiteral("generateFilterRect"), [](Vm& vm, const Value& self, Args args) {
        if (!live(self) || args.size() < 2) return Value(-1);
        return vm.getMember(args[0], QStringLiteral("clone")).isObject() ? vm.callMethod(args[0], QStringLiteral("clone"), {})
                                                                         : Value();
    });

    // MovieClip.attachBitmap(bitmap, depth, pixelSnapping, smoothing).
    Object* clipCtor = vm.getMember(Value(vm.global()), QStringLiteral("MovieClip")).object();
    Object* clipProto = clipCtor ? vm.getMember(Value(clipCtor), QStringLiteral("prototype")).object() : nullptr;
    if (clipProto) {
        method(vm, clipProto, QStringLiteral("attachBitmap"), [](Vm& vm, const Value& self, Args args) {
            SpriteInstance* sprite = spriteOf(self);
            auto* b = dynamic_cast<BitmapDataObject*>(arg(args, 0).object());
            if (!sprite || !b || args.size() < 2) return Value();
            const double depth = vm.toNumber(args[1]);
            if (!std::isfinite(depth)) return Value();
            const bool smoothing = args.size() > 3 && vm.toBoolean(args[3]);
            sprite->addBitmap(static_cast<int>(depth) + kScriptDepthOffset, b->surface, smoothing);
            return Value();
        }, avm1::propflag::kVersion8);
    }
}

}  // namespace objects
}  // namespace vistrel::player
