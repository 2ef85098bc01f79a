// Draws the application icon at one size and writes it as a PNG: a film frame with a play mark,
// drawn with vectors at each size (no scaled bitmaps), so small icons stay sharp.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    // The frame: a rounded square with a deep blue to violet gradient.
    const QRectF frame(16, 16, 224, 224);
    QLinearGradient fill(frame.topLeft(), frame.bottomRight());
    fill.setColorAt(0, QColor(0x1d, 0x4e, 0xd8));
    fill.setColorAt(1, QColor(0x7c, 0x3a, 0xed));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(frame, 44, 44);

    // Sprocket holes along the top and bottom edges, left out where they would blur into one.
    if (size >= 32) {
        p.setBrush(QColor(255, 255, 255, 150));
        for (int i = 0; i < 5; ++i) {
            const double x = 46 + i * 38;
            p.drawRoundedRect(QRectF(x, 30, 22, 16), 4, 4);
            p.drawRoundedRect(QRectF(x, 210, 22, 16), 4, 4);
        }
    }

    // The play mark in a white disc.
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(128, 128), 64, 64);
    QPainterPath play;
    play.moveTo(110, 92);
    play.lineTo(172, 128);
    play.lineTo(110, 164);
    play.closeSubpath();
    p.setBrush(QColor(0x4c, 0x3f, 0xe4));
    p.drawPath(play);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon SIZE OUT.png\n");
        return 2;
    }
    const int size = QByteArray(argv[1]).toInt();
    if (size < 8 || size > 1024) {
        std::fprintf(stderr, "make_icon: size must be from 8 to 1024\n");
        return 2;
    }
    return drawIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
