// vistrel-compare ACTUAL EXPECTED [TOLERANCE]: prints the share (0..1) of pixels whose four
// channels all differ by at most TOLERANCE (default 16). Images of different sizes share nothing.
// Exit code 0 when both images were read, 2 otherwise.

#include <cstdio>
#include <cstdlib>

#include <QGuiApplication>
#include <QImage>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vistrel-compare ACTUAL EXPECTED [TOLERANCE]\n");
        return 1;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int tolerance = argc > 3 ? std::atoi(argv[3]) : 16;
    const QImage actual = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    const QImage expected = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_ARGB32);
    if (actual.isNull() || expected.isNull()) {
        std::printf("0.000000\n");
        return 2;
    }
    if (actual.size() != expected.size()) {
        std::printf("0.000000 size %dx%d expected %dx%d\n", actual.width(), actual.height(), expected.width(),
                    expected.height());
        return 0;
    }
    long long same = 0;
    for (int y = 0; y < actual.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
        const auto* e = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
        for (int x = 0; x < actual.width(); ++x) {
            const bool close = std::abs(qRed(a[x]) - qRed(e[x])) <= tolerance &&
                               std::abs(qGreen(a[x]) - qGreen(e[x])) <= tolerance &&
                               std::abs(qBlue(a[x]) - qBlue(e[x])) <= tolerance &&
                               std::abs(qAlpha(a[x]) - qAlpha(e[x])) <= tolerance;
            if (close) ++same;
        }
    }
    const double total = static_cast<double>(actual.width()) * actual.height();
    std::printf("%.6f\n", total > 0 ? same / total : 1.0);
    return 0;
}
