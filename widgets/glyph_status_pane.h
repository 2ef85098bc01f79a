#pragma once
// One pane of the status bar: a fixed-width strip, 23 pixels high, showing a 16 x 16 glyph
// followed by a text. Its hint is the widget's tool tip.

#include <QIcon>
#include <QString>
#include <QWidget>

namespace vistrel {

class GlyphStatusPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 23;
    static constexpr int kGlyphSize = 16;

    explicit GlyphStatusPane(int width = 100, QWidget* parent = nullptr);

    void setGlyph(const QIcon& glyph);
    QIcon glyph() const { return m_glyph; }

    void setCaption(const QString& caption);
    QString caption() const { return m_caption; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_glyph;
    QString m_caption;
};

} // namespace vistrel
