#include "player/text/device_font.h"

#include <cmath>
#include <unordered_map>

#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>

namespace vistrel::player {

namespace {

// Tried in turn; the first one installed draws all device text.
constexpr const char* kFamilies[] = {"Noto Sans", "DejaVu Sans", "Liberation Sans"};

int readU16(const QByteArray& table, qsizetype at) {
    if (at < 0 || at + 2 > table.size()) return 0;
    return (static_cast<unsigned char>(table[at]) << 8) | static_cast<unsigned char>(table[at + 1]);
}

int readS16(const QByteArray& table, qsizetype at) {
    const int v = readU16(table, at);
    return v >= 0x8000 ? v - 0x10000 : v;
}

}  // namespace

struct DeviceFont::Impl {
    struct Glyph {
        double units = 0;      // advance in font units
        quint32 index = 0;     // 0: not in the face, drawn by a system face that has it
        bool drawn = false;    // control characters and lone surrogates show nothing
        bool pathMade = false;
        QPainterPath path;     // in font units, baseline at y = 0
    };

    QRawFont raw;
    QString family;
    double unitsPerEm = 1000, ascent = 0, descent = 0;
    QByteArray hmtx;
    int horizontalMetrics = 0;
    std::unordered_map<char16_t, Glyph> glyphs;

    Impl() {
        for (const char* name : kFamilies) {
            QFont font(QString::fromLatin1(name));
            font.setPixelSize(100);
            font.setStyleStrategy(QFont::NoFontMerging);
            QRawFont candidate = QRawFont::fromFont(font);
            if (!candidate.isValid() || candidate.familyName() != QLatin1String(name)) continue;
            raw = candidate;
            family = QString::fromLatin1(name);
            break;
        }
        if (!raw.isValid()) return;
        const QByteArray head = raw.fontTable("head");
        const QByteArray hhea = raw.fontTable("hhea");
        hmtx = raw.fontTable("hmtx");
        if (const int upm = readU16(head, 18); upm > 0) unitsPerEm = upm;
        raw.setPixelSize(unitsPerEm);
        if (hhea.size() >= 36) {
            ascent = readS16(hhea, 4);
            descent = -readS16(hhea, 6);
            horizontalMetrics = readU16(hhea, 34);
        } else {
            ascent = raw.ascent();
            descent = raw.descent();
        }
        if (hmtx.size() < 4 * qsizetype(horizontalMetrics)) horizontalMetrics = 0;
    }

    // The face's advance of glyph `index` in font units: from its metrics table where it has one.
    double advanceOf(quint32 index) const {
        if (horizontalMetrics > 0) {
            const int entry = std::min<int>(static_cast<int>(index), horizontalMetrics - 1);
            return readU16(hmtx, 4 * qsizetype(entry));
        }
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(QList<quint32>{index}, QRawFont::UseDesignMetrics);
        return advances.isEmpty() ? 0 : advances.front().x();
    }

    // A face of the same family with system fallback for characters it lacks, at one pixel per font unit.
    QFont fallbackFont() const {
        QFont font(family);
        font.setPixelSize(static_cast<int>(unitsPerEm));
        return font;
    }

    Glyph& glyph(QChar ch) {
        auto [it, added] = glyphs.try_emplace(ch.unicode());
        Glyph& g = it->second;
        if (!added) return g;
        if (!raw.isValid() || ch.unicode() < 0x20 || (ch.unicode() >= 0x7f && ch.unicode() < 0xa0) || ch.isSurrogate())
            return g;
        g.drawn = true;
        const QList<quint32> indexes = raw.glyphIndexesForString(QString(ch));
        g.index = indexes.isEmpty() ? 0 : indexes.front();
        if (g.index != 0) g.units = advanceOf(g.index);
        else g.units = QFontMetricsF(fallbackFont()).horizontalAdvance(QString(ch));
        return g;
    }

    const QPainterPath& path(QChar ch) {
        Glyph& g = glyph(ch);
        if (g.pathMade) return g.path;
        g.pathMade = true;
        if (!g.drawn) return g.path;
        if (g.index != 0) g.path = raw.pathForGlyph(g.index);
        else g.path.addText(0, 0, fallbackFont(), QString(ch));
        return g.path;
    }
};

DeviceFont::DeviceFont() : d(std::make_unique<Impl>()) {}
DeviceFont::~DeviceFont() = default;

const DeviceFont& DeviceFont::instance() {
    thread_local const DeviceFont font;
    return font;
}

QString DeviceFont::family() const { return d->family; }

double DeviceFont::advance(QChar ch, double sizeTwips) const {
    const double pixels = d->glyph(ch).units * sizeTwips / (20.0 * d->unitsPerEm);
    return std::floor(pixels + 0.5 + 1e-9) * 20;
}

double DeviceFont::ascent(double sizeTwips) const { return std::floor(d->ascent * sizeTwips / d->unitsPerEm + 1e-9); }

double DeviceFont::descent(double sizeTwips) const {
    return std::floor(d->descent * sizeTwips / d->unitsPerEm + 1e-9);
}

QPainterPath DeviceFont::glyph(QChar ch, double sizeTwips) const {
    const QPainterPath& path = d->path(ch);
    if (path.isEmpty()) return {};
    const double scale = sizeTwips / d->unitsPerEm;
    return QTransform::fromScale(scale, scale).map(path);
}

double deviceSpacedAdvance(double advanceTwips, double letterSpacingPixels) {
    const double spaced = advanceTwips + std::nearbyint(letterSpacingPixels) * 20;
    return spaced > 0 ? spaced : advanceTwips;
}

}  // namespace vistrel::player
