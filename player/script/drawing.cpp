#include "player/script/drawing.h"

#include <algorithm>
#include <cmath>
#include <span>

#include <QPainterPathStroker>

#include "player/avm1/vm.h"
#include "player/bounds.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/render/gradient_fill.h"
#include "player/shape_paths.h"
#include "player/script/clip_object.h"
#include "player/script/text_field.h"
#include "player/stage.h"

namespace vistrel::player {

using avm1::Value;
using Args = std::span<const Value>;

namespace {

// Beyond this many path elements a drawing takes no more: a runaway loop cannot eat the memory.
constexpr std::size_t kMaxDrawingElements = 2'000'000;
// Coordinates are held within this many twips either way, so paths stay finite and exact.
constexpr double kMaxTwips = 1 << 26;
// Gradients hold at most this many colours; further entries are left out.
constexpr std::size_t kMaxGradientRecords = 15;
// Hit tests follow masks and children this deep, no further.
constexpr int kMaxHitNesting = ObjectBudget::kMaxNesting;


// A script coordinate in pixels to twips: edges are stored in whole twips, the fraction cut off
// toward zero.
double toTwips(avm1::Vm& vm, const Value& v) {
    const double n = vm.toNumber(v);
    if (!std::isfinite(n)) return 0;
    return std::clamp(std::trunc(n * 20.0), -kMaxTwips, kMaxTwips);
}

std::uint32_t toColor(avm1::Vm& vm, const Value& v) {
    const double n = vm.toNumber(v);
    if (!std::isfinite(n)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::fmod(n, 4294967296.0)));
}

// An alpha of 0..100 (clamped) to 0..255.
std::uint8_t toAlpha(double percent) {
    if (std::isnan(percent)) return 0;
    return static_cast<std::uint8_t>(std::lround(std::clamp(percent, 0.0, 100.0) * 2.55));
}

swf::Rgba rgba(std::uint32_t rgb, std::uint8_t alpha) {
    return swf::Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                     static_cast<std::uint8_t>(rgb), alpha};
}

Drawing& drawingOf(DisplayObject& o) {
    if (!o.drawing) o.drawing = std::make_unique<Drawing>();
    return *o.drawing;
}

Drawing::Layer& currentLayer(Drawing& d) {
    if (d.layers.empty()) d.layers.emplace_back();
    return d.layers.back();
}

// Adds one edge from the pen to `to` (through `control` for curves) to the open fill and the
// line in force, then moves the pen.
void addEdge(Drawing& d, QPointF to, const QPointF* control) {
    const bool drawn = d.filling || d.lineStyle;
    if (drawn && d.elements >= kMaxDrawingElements) return;
    auto append = [&](QPainterPath& path) {
        if (path.elementCount() == 0 || path.currentPosition() != d.pen) path.moveTo(d.pen);
        if (control) path.quadTo(*control, to);
        else path.lineTo(to);
        ++d.elements;
    };
    if (d.filling) append(currentLayer(d).fillPath);
    if (d.lineStyle) {
        Drawing::Layer& layer = currentLayer(d);
        if (layer.lines.empty() || layer.lines.back().styleSerial != d.lineStyle->styleSerial) {
            Drawing::Line line = *d.lineStyle;
            line.path = QPainterPath();
            layer.lines.push_back(std::move(line));
        }
        append(layer.lines.back().path);
    }
    d.pen = to;
    if (drawn) d.changed();
}

// Closes the open fill's contour by a straight edge back to where it began, stroked with the line in force.
void closeContour(Drawing& d) {
    if (d.filling && d.pen != d.fillStart && !currentLayer(d).fillPath.isEmpty()) addEdge(d, d.fillStart, nullptr);
}

// Ends the open fill, its open contour closed.
void endFill(Drawing& d) {
    if (!d.filling) return;
    closeContour(d);
    d.filling = false;
    d.changed();
}

void beginFill(Drawing& d, std::optional<Paint> paint) {
    endFill(d);
    if (!paint) return;
    Drawing::Layer layer;
    layer.fill = std::move(paint);
    d.layers.push_back(std::move(layer));
    d.filling = true;
    d.fillStart = d.pen;
    d.changed();
}

// The gradient arguments shared by beginGradientFill and lineGradientStyle: type, colors, alphas,
// ratios, matrix, then spread, interpolation and focal point. Nothing when they do not make a
// valid gradient.
std::optional<Paint> gradientPaint(avm1::Vm& vm, Args args) {
    if (args.size() < 5 || args.size() > 8 || !args[0].isString()) return std::nullopt;
    Paint p;
    const QString type = args[0].asString();
    if (type == QLatin1String("linear")) p.type = swf::FillType::LinearGradient;
    else if (type == QLatin1String("radial")) p.type = swf::FillType::RadialGradient;
    else return std::nullopt;
    avm1::Object* colors = args[1].object();
    avm1::Object* alphas = args[2].object();
    avm1::Object* ratios = args[3].object();
    avm1::Object* matrix = args[4].object();
    if (!colors || !alphas || !ratios || !matrix) return std::nullopt;
    auto lengthOf = [&vm](avm1::Object* o) {
        const double n = vm.toNumber(vm.getMember(Value(o), QStringLiteral("length")));
        return std::isfinite(n) && n > 0 ? static_cast<std::size_t>(std::min(n, 1e6)) : std::size_t(0);
    };
    const std::size_t count = lengthOf(colors);
    if (count == 0 || lengthOf(alphas) != count || lengthOf(ratios) != count) return std::nullopt;
    for (std::size_t i = 0; i < std::min(count, kMaxGradientRecords); ++i) {
        const QString index = QString::number(i);
        double ratio = vm.toNumber(vm.getMember(Value(ratios), index));
        if (std::isnan(ratio)) ratio = 0;
        if (ratio <= -1 || ratio >= 256) return std::nullopt;
        swf::GradientRecord r;
        r.ratio = static_cast<std::uint8_t>(std::clamp(static_cast<int>(ratio), 0, 255));
        r.color = rgba(toColor(vm, vm.getMember(Value(colors), index)),
                       toAlpha(vm.toNumber(vm.getMember(Value(alphas), index))));
        p.gradient.records.push_back(r);
    }
    auto number = [&vm, matrix](const char* name) {
        const double n = vm.toNumber(vm.getMember(Value(matrix), QString::fromLatin1(name)));
        return std::isfinite(n) ? n : 0.0;
    };
    // The gradient square spans 32768 twips; the box and the 3x3 forms size it in pixels.
    constexpr double kSquarePixels = 1638.4;
    if (vm.toString(vm.getMember(Value(matrix), QStringLiteral("matrixType"))) == QLatin1String("box")) {
        const double x = number("x"), y = number("y"), w = number("w"), h = number("h"), r = number("r");
        p.matrix = QTransform(std::cos(r) * w / kSquarePixels, std::sin(r) * h / kSquarePixels,
                              -std::sin(r) * w / kSquarePixels, std::cos(r) * h / kSquarePixels,
                              (x + w / 2) * 20.0, (y + h / 2) * 20.0);
    } else if (!vm.getMember(Value(matrix), QStringLiteral("g")).isUndefined() ||
               !vm.getMember(Value(matrix), QStringLiteral("h")).isUndefined()) {
        // {a..i}: rows (a b c), (d e f), (g h i) mapping a unit square, g and h the translation.
        p.matrix = QTransform(number("a") / kSquarePixels, number("b") / kSquarePixels, number("d") / kSquarePixels,
                              number("e") / kSquarePixels, number("g") * 20.0, number("h") * 20.0);
    } else {
        // A flash.geom.Matrix (a, b, c, d, tx, ty) maps the gradient square as it stands.
        p.matrix = QTransform(number("a"), number("b"), number("c"), number("d"), number("tx") * 20.0,
                              number("ty") * 20.0);
    }
    if (args.size() > 5 && args[5].isString()) {
        const QString spread = args[5].asString();
        if (spread == QLatin1String("reflect")) p.gradient.spread = 1;
        else if (spread == QLatin1String("repeat")) p.gradient.spread = 2;
    }
    if (args.size() > 6 && args[6].isString() && args[6].asString() == QLatin1String("linearRGB"))
        p.gradient.interpolation = 1;
    if (args.size() > 7 && p.type == swf::FillType::RadialGradient) {
        // Kept as the shape tags keep it, in 8.8 fixed point, cut toward zero.
        const double focal = vm.toNumber(args[7]);
        if (std::isfinite(focal) && std::trunc(std::clamp(focal, -1.0, 1.0) * 256) != 0) {
            p.type = swf::FillType::FocalGradient;
            p.gradient.focalPoint = std::trunc(std::clamp(focal, -1.0, 1.0) * 256) / 256;
        }
    }
    return p;
}

// lineStyle(thickness, rgb, alpha, pixelHinting, noScale, capsStyle, jointStyle, miterLimit).
std::optional<Drawing::Line> lineStyleFrom(avm1::Vm& vm, Args args) {
    if (args.empty() || args[0].isNullish()) return std::nullopt;
    Drawing::Line line;
    const double thickness = vm.toNumber(args[0]);
    line.style.width = std::isfinite(thickness) ? std::clamp(thickness, 0.0, 255.0) * 20.0 : 0.0;
    line.paint.color = rgba(args.size() > 1 ? toColor(vm, args[1]) : 0,
                            args.size() > 2 && !args[2].isUndefined() ? toAlpha(vm.toNumber(args[2])) : 255);
    if (args.size() > 4 && args[4].isString()) {
        const QString scale = args[4].asString();
        line.style.noHScale = scale == QLatin1String("none") || scale == QLatin1String("horizontal");
        line.style.noVScale = scale == QLatin1String("none") || scale == QLatin1String("vertical");
    }
    if (args.size() > 5 && args[5].isString()) {
        const QString caps = args[5].asString();
        if (caps == QLatin1String("none")) line.style.startCap = line.style.endCap = swf::CapStyle::None;
        else if (caps == QLatin1String("square")) line.style.startCap = line.style.endCap = swf::CapStyle::Square;
    }
    if (args.size() > 6 && args[6].isString()) {
        const QString joint = args[6].asString();
        if (joint == QLatin1String("miter")) line.style.join = swf::JoinStyle::Miter;
        else if (joint == QLatin1String("bevel")) line.style.join = swf::JoinStyle::Bevel;
    }
    if (args.size() > 7 && !args[7].isUndefined()) {
        const double limit = vm.toNumber(args[7]);
        line.style.miterLimit = std::isfinite(limit) ? std::clamp(limit, 1.0, 255.0) : 3.0;
    }
    return line;
}

// The clip a path names from `base`: a target path, or a variable holding a clip ("name",
// "target:name").
DisplayObject* clipAtPath(avm1::Vm& vm, avm1::Object* base, const QString& path) {
    if (avm1::Object* found = vm.host()->resolveTarget(base, path)) return found->display();
    avm1::Object* scope = base;
    QString name = path;
    if (const qsizetype colon = path.lastIndexOf(u':'); colon >= 0) {
        scope = vm.host()->resolveTarget(base, path.left(colon));
        name = path.mid(colon + 1);
        if (!scope) return nullptr;
        if (avm1::Object* found = vm.host()->resolveTarget(scope, name)) return found->display();
    }
    return displayOf(vm.getMember(Value(scope), name));
}

// The clip a setMask argument names: a clip, or a path read from the clip and then from its parent.
DisplayObject* maskTarget(avm1::Vm& vm, DisplayObject& o, const Value& v) {
    if (v.isObject()) return displayOf(v);
    if (!v.isString() && !v.isNumber()) return nullptr;
    const QString path = vm.toString(v);
    if (path.isEmpty()) return nullptr;
    if (o.script) {
        if (DisplayObject* found = clipAtPath(vm, o.script, path)) return found;
    }
    DisplayObject* parent = o.parent ? o.parent->owner() : nullptr;
    return parent && parent->script ? clipAtPath(vm, parent->script, path) : nullptr;
}

void unlinkMask(DisplayObject& o) {
    if (o.maskedBy) o.maskedBy->masking = nullptr;
    o.maskedBy = nullptr;
}

template <typename F>
void define(avm1::Vm& vm, avm1::Object* proto, const char* name, F body) {
    vm.defineMethod(proto, QString::fromLatin1(name), [body](avm1::Vm& vm, const Value& self, Args args) {
        DisplayObject* o = displayOf(self);
        if (!o || !o->sprite) return Value();
        return body(vm, *o, args);
    });
}

// Hit tests.

}  // namespace

bool pathsHit(const ShapePaths& paths, QPointF p, StrokesHit strokes) {
    if (!paths.bounds.isNull() && !paths.bounds.adjusted(-1, -1, 1, 1).contains(p)) return false;
    for (const DrawItem& item : paths.items) {
        if (!item.stroke) {
            if (item.path.contains(p)) return true;
            continue;
        }
        if (strokes == StrokesHit::No) continue;
        const double half = std::max(item.strokeStyle.width, 20.0) / 2;
        if (!item.path.controlPointRect().adjusted(-half, -half, half, half).contains(p)) continue;
        QPainterPathStroker stroker;
        stroker.setWidth(half * 2);
        stroker.setCapStyle(item.strokeStyle.startCap == swf::CapStyle::None     ? Qt::FlatCap
                            : item.strokeStyle.startCap == swf::CapStyle::Square ? Qt::SquareCap
                                                                                 : Qt::RoundCap);
        stroker.setJoinStyle(item.strokeStyle.join == swf::JoinStyle::Miter   ? Qt::MiterJoin
                             : item.strokeStyle.join == swf::JoinStyle::Bevel ? Qt::BevelJoin
                                                                              : Qt::RoundJoin);
        stroker.setMiterLimit(item.strokeStyle.miterLimit);
        if (stroker.createStroke(item.path).contains(p)) return true;
    }
    return false;
}

namespace {

// Where the hit test stands: the point on the stage, and how the object being tested maps onto it.
struct HitPlace {
    QPointF stagePoint;
    QTransform toStage;
};

bool objectHit(const Movie& movie, const DisplayObject& o, QPointF local, int nesting, const HitPlace& place);

bool childHit(const Movie& movie, const DisplayObject& child, QPointF parentPoint, int nesting, const HitPlace& parent) {
    bool invertible = false;
    const QTransform matrix = toQTransform(child.matrix);
    const QTransform inverse = matrix.inverted(&invertible);
    return invertible &&
           objectHit(movie, child, inverse.map(parentPoint), nesting + 1, {parent.stagePoint, matrix * parent.toStage});
}

bool objectHit(const Movie& movie, const DisplayObject& o, QPointF local, int nesting, const HitPlace& place) {
    if (nesting > kMaxHitNesting) return false;
    if (o.sprite) {
        if (o.drawing && pathsHit(o.drawing->paths(), local)) return true;
        struct Clip {
            int depth;
            bool hit;
        };
        std::vector<Clip> masks;   // clip layers in force, innermost last
        for (const auto& [depth, child] : o.sprite->children()) {
            while (!masks.empty() && depth > masks.back().depth) masks.pop_back();
            if (child->clipDepth && *child->clipDepth > 0) {
                masks.push_back({*child->clipDepth, childHit(movie, *child, local, nesting, place)});
                continue;
            }
            if (!child->visible) continue;
            if (std::any_of(masks.begin(), masks.end(), [](const Clip& m) { return !m.hit; })) continue;
            if (childHit(movie, *child, local, nesting, place)) return true;
        }
        return false;
    }
    // Edit texts answer over their whole box, as scripts and autoSize left it (fields made by script
    // have no definition at all).
    if (o.text)
        if (const std::optional<QRectF> box = editTextInstanceBounds(o)) return box->normalized().contains(local);
    const Character* c = movie.character(o.characterId);
    if (!c) return false;
    if (std::holds_alternative<swf::DefineShape>(*c)) return pathsHit(movie.shapePaths(o.characterId), local);
    if (std::holds_alternative<swf::DefineMorphShape>(*c))
        return pathsHit(movie.morphPaths(o.characterId, o.ratio), local, StrokesHit::No);
    if (const auto* text = std::get_if<swf::DefineText>(c)) {
        // Text drawn with advanced anti-aliasing answers over its whole box, as it lies on the stage.
        const swf::CsmTextSettings* settings = movie.textSettings(o.characterId);
        if (settings && settings->useFlashType == 1) {
            const swf::Rect& b = text->bounds;
            const QRectF box = place.toStage.mapRect(QRectF(QPointF(b.xMin, b.yMin), QPointF(b.xMax, b.yMax)));
            return box.contains(place.stagePoint);
        }
        return pathsHit(movie.textPaths(o.characterId), local);
    }
    if (std::holds_alternative<BitmapCharacter>(*c)) return pathsHit(movie.bitmapPaths(o.characterId), local);
    // Edit texts answer over their whole box.
    return objectBounds(movie, o).contains(local);
}

}  // namespace

const ShapePaths& Drawing::paths() const {
    if (m_built) return m_paths;
    m_paths = ShapePaths();
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const Layer& layer = layers[i];
        if (layer.fill && !layer.fillPath.isEmpty()) {
            DrawItem item;
            item.path = layer.fillPath;
            item.path.setFillRule(Qt::OddEvenFill);
            item.paint = *layer.fill;
            // Curves bulge past their end points to fractions of a twip; the extent is kept in whole twips.
            m_paths.bounds |= wholeTwipRect(item.path.boundingRect());
            m_paths.items.push_back(std::move(item));
        }
        auto addLine = [this](const Line& line) {
            if (line.path.isEmpty()) return;
            DrawItem item;
            item.stroke = true;
            item.path = line.path;
            item.paint = line.paint;
            item.strokeStyle = line.style;
            // Strokes widen the extent by half their width in whole twips.
            const double half = std::floor(line.style.width / 2.0);
            m_paths.bounds |= wholeTwipRect(item.path.boundingRect()).adjusted(-half, -half, half, half);
            m_paths.items.push_back(std::move(item));
        };
        for (const Line& line : layer.lines) addLine(line);
        // A fill still open shows closed, its closing edge stroked with the line in force.
        if (i + 1 == layers.size() && filling && lineStyle && pen != fillStart && !layer.fillPath.isEmpty()) {
            Line closing = *lineStyle;
            closing.path = QPainterPath(pen);
            closing.path.lineTo(fillStart);
            addLine(closing);
        }
    }
    m_built = true;
    return m_paths;
}

QTransform stageTransform(const DisplayObject& object) { return placedTransform(object, false); }

bool hitTestShape(const Movie& movie, const DisplayObject& object, QPointF stagePoint) {
    if (!std::isfinite(stagePoint.x()) || !std::isfinite(stagePoint.y())) return false;
    bool invertible = false;
    const QTransform inverse = stageTransform(object).inverted(&invertible);
    if (!invertible || !objectHit(movie, object, inverse.map(stagePoint), 0, {stagePoint, stageTransform(object)}))
        return false;
    if (const DisplayObject* mask = object.maskedBy) {
        const QTransform maskMatrix = stageTransform(*mask);
        const QTransform maskInverse = maskMatrix.inverted(&invertible);
        if (!invertible || !objectHit(movie, *mask, maskInverse.map(stagePoint), 0, {stagePoint, maskMatrix})) return false;
    }
    return true;
}

void installDrawingMethods(Stage& stage, avm1::Object* proto) {
    avm1::Vm& vm = *stage.vm();
    define(vm, proto, "lineStyle", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        Drawing& d = drawingOf(o);
        d.lineStyle = lineStyleFrom(vm, args);
        if (d.lineStyle) d.lineStyle->styleSerial = ++d.styleSerial;
        return Value();
    });
    define(vm, proto, "lineGradientStyle", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        Drawing& d = drawingOf(o);
        // Arguments that make no valid gradient leave the line as it was.
        std::optional<Paint> paint = gradientPaint(vm, args);
        if (!paint || !d.lineStyle) return Value();
        d.lineStyle->paint = std::move(*paint);
        d.lineStyle->styleSerial = ++d.styleSerial;
        return Value();
    });
    define(vm, proto, "beginFill", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        Drawing& d = drawingOf(o);
        if (args.empty() || args[0].isUndefined()) {
            beginFill(d, std::nullopt);
            return Value();
        }
        Paint paint;
        paint.color = rgba(toColor(vm, args[0]), args.size() > 1 && !args[1].isUndefined() ? toAlpha(vm.toNumber(args[1])) : 255);
        beginFill(d, std::move(paint));
        return Value();
    });
    define(vm, proto, "beginGradientFill", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        Drawing& d = drawingOf(o);
        // No type at all ends the fill as beginFill() does; any other arguments that make no valid
        // gradient leave the fill in force as it was.
        if (args.empty() || args[0].isUndefined()) {
            beginFill(d, std::nullopt);
            return Value();
        }
        if (std::optional<Paint> paint = gradientPaint(vm, args)) beginFill(d, std::move(paint));
        return Value();
    });
    define(vm, proto, "moveTo", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        if (args.size() < 2) return Value();
        Drawing& d = drawingOf(o);
        closeContour(d);   // the contour left behind is closed (and stroked) before the next begins
        d.pen = QPointF(toTwips(vm, args[0]), toTwips(vm, args[1]));
        if (d.filling) d.fillStart = d.pen;   // a new contour of the same fill
        return Value();
    });
    define(vm, proto, "lineTo", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        if (args.size() < 2) return Value();
        addEdge(drawingOf(o), QPointF(toTwips(vm, args[0]), toTwips(vm, args[1])), nullptr);
        return Value();
    });
    define(vm, proto, "curveTo", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        if (args.size() < 4) return Value();
        const QPointF control(toTwips(vm, args[0]), toTwips(vm, args[1]));
        addEdge(drawingOf(o), QPointF(toTwips(vm, args[2]), toTwips(vm, args[3])), &control);
        return Value();
    });
    define(vm, proto, "endFill", [](avm1::Vm&, DisplayObject& o, Args) {
        endFill(drawingOf(o));
        return Value();
    });
    define(vm, proto, "clear", [](avm1::Vm&, DisplayObject& o, Args) {
        // Everything goes, the line style too.
        o.drawing.reset();
        return Value();
    });
    define(vm, proto, "setMask", [](avm1::Vm& vm, DisplayObject& o, Args args) {
        if (args.empty()) return Value();
        // A clip a script masks, or unmasks, or masks another with, stops being a timeline mask.
        if (args[0].isNullish()) {
            unlinkMask(o);
            o.clipDepth.reset();
            return Value(true);
        }
        DisplayObject* mask = maskTarget(vm, o, args[0]);
        if (!mask) return Value(false);
        unlinkMask(o);
        if (mask->masking) unlinkMask(*mask->masking);
        o.clipDepth.reset();
        mask->clipDepth.reset();
        // A clip may mask itself: it is then drawn only as its own mask, which shows nothing.
        mask->masking = &o;
        o.maskedBy = mask;
        return Value(true);
    });
}

}  // namespace vistrel::player
