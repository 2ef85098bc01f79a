#include "player/render/recording_renderer.h"

#include "player/shape_paths.h"

namespace vistrel::player {

static QString hexColor(swf::Rgba c) {
    return QString::asprintf("#%02x%02x%02x%02x", c.r, c.g, c.b, c.a);
}

void RecordingRenderer::beginFrame(swf::Rgba background, const QTransform& t, RenderQuality quality) {
    m_lines << QStringLiteral("beginFrame %1 scale %2 quality %3")
                   .arg(hexColor(background))
                   .arg(t.m11(), 0, 'g', 6)
                   .arg(static_cast<int>(quality));
}

void RecordingRenderer::drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) {
    QString line = QStringLiteral("shape %1 at %2,%3").arg(shape.items.size()).arg(m.dx(), 0, 'g', 8).arg(m.dy(), 0, 'g', 8);
    if (m.m11() != 1 || m.m22() != 1 || m.m12() != 0 || m.m21() != 0)
        line += QStringLiteral(" m %1 %2 %3 %4").arg(m.m11(), 0, 'g', 6).arg(m.m12(), 0, 'g', 6).arg(m.m21(), 0, 'g', 6).arg(m.m22(), 0, 'g', 6);
    if (!shape.items.empty()) line += QLatin1Char(' ') + hexColor(cx.apply(shape.items.front().paint.color));
    if (!cx.isIdentity())
        line += QStringLiteral(" cx %1 %2 %3 %4 %5 %6 %7 %8")
                    .arg(cx.rMult).arg(cx.gMult).arg(cx.bMult).arg(cx.aMult).arg(cx.rAdd).arg(cx.gAdd).arg(cx.bAdd).arg(cx.aAdd);
    m_lines << line;
}

void RecordingRenderer::endLayer(const std::vector<Filter>& filters, BlendMode mode) {
    m_lines << QStringLiteral("endLayer filters %1 blend %2").arg(filters.size()).arg(static_cast<int>(mode));
}

}  // namespace vistrel::player
