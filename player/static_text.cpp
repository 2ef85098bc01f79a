#include "player/static_text.h"

#include "player/movie.h"

namespace vistrel::player {

ShapePaths buildStaticText(const Movie& movie, const swf::DefineText& text) {
    ShapePaths out;
    const FontCharacter* font = nullptr;
    swf::Rgba color;
    double height = 240, x = 0, y = 0;
    const QTransform textMatrix = toQTransform(text.matrix);
    for (const swf::TextRecord& rec : text.records) {
        if (rec.fontId) {
            const Character* c = movie.character(*rec.fontId);
            font = c ? std::get_if<FontCharacter>(c) : nullptr;
        }
        if (rec.height) height = *rec.height;
        if (rec.color) color = *rec.color;
        if (rec.xOffset) x = *rec.xOffset;
        if (rec.yOffset) y = *rec.yOffset;
        QPainterPath run;
        run.setFillRule(Qt::WindingFill);
        for (const swf::GlyphEntry& g : rec.glyphs) {
            if (font) {
                const QPainterPath& glyph = movie.glyphPath(*font, g.index);
                if (!glyph.isEmpty()) {
                    const double scale = height / font->emSize();
                    QTransform t;
                    t.translate(x, y);
                    t.scale(scale, scale);
                    run.addPath(t.map(glyph));
                }
            }
            x += g.advance;
        }
        if (run.isEmpty()) continue;
        DrawItem item;
        item.path = textMatrix.map(run);
        item.path.setFillRule(Qt::WindingFill);
        item.paint.color = color;
        out.bounds |= item.path.boundingRect();
        out.items.push_back(std::move(item));
    }
    return out;
}

}  // namespace vistrel::player
