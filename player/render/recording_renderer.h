// A renderer that writes one text line per call, so tests can check what a frame draws.
#pragma once

#include <QString>
#include <QStringList>

#include "player/render/renderer.h"

namespace vistrel::player {

class RecordingRenderer : public Renderer {
public:
    void beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) override;
    // "shape <items> at <tx>,<ty> [cx ...]" with the first item's paint colour.
    void drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) override;
    void beginMask() override { m_lines << QStringLiteral("beginMask"); }
    void useMask() override { m_lines << QStringLiteral("useMask"); }
    void endMask() override { m_lines << QStringLiteral("endMask"); }
    void beginLayer(const QTransform&, const QRectF&, bool) override { m_lines << QStringLiteral("beginLayer"); }
    void endLayer(const std::vector<Filter>& filters, BlendMode mode) override;
    void endFrame() override { m_lines << QStringLiteral("endFrame"); }

    const QStringList& lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};

}  // namespace vistrel::player
