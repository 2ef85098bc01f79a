#include "widgets/player/flash_player.h"

#include <algorithm>
#include <stdexcept>

#include <QPainter>
#include <QPaintEvent>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "widgets/player/audio_output.h"

namespace vistrel {

namespace {

constexpr double kMinZoom = 1.0 / 64, kMaxZoom = 256;

}  // namespace

ShockwaveFlash::ShockwaveFlash(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ShockwaveFlash::tick);
    // Until a movie is loaded the control shows an empty white stage.
    m_movie = player::Movie::fromBytes({});
    m_player = std::make_unique<player::Player>(m_movie);
    m_audio = std::make_unique<AudioOutput>();
    m_audio->setMixer(m_player->mixer());
}

ShockwaveFlash::~ShockwaveFlash() = default;

void ShockwaveFlash::putQuality(int quality) {
    static const char* const kNames[] = {"LOW", "HIGH", "AUTOLOW", "AUTOHIGH"};
    if (quality < 0 || quality > 3) throw std::runtime_error("Invalid quality value");
    setQualityName(QString::fromLatin1(kNames[quality]));
}

void ShockwaveFlash::putQuality2(const QString& quality) {
    const QString name = quality.trimmed().toUpper();
    static const QStringList kNames = {QStringLiteral("LOW"), QStringLiteral("MEDIUM"), QStringLiteral("HIGH"),
                                       QStringLiteral("BEST"), QStringLiteral("AUTOLOW"), QStringLiteral("AUTOHIGH")};
    if (!kNames.contains(name)) throw std::runtime_error("Invalid quality value");
    setQualityName(name);
}

void ShockwaveFlash::setQualityName(const QString& name) {
    m_qualityName = name;
    if (name == QLatin1String("LOW") || name == QLatin1String("AUTOLOW")) m_quality = player::RenderQuality::Low;
    else if (name == QLatin1String("MEDIUM")) m_quality = player::RenderQuality::Medium;
    else if (name == QLatin1String("BEST")) m_quality = player::RenderQuality::Best;
    else m_quality = player::RenderQuality::High;
    update();
}

void ShockwaveFlash::putBGColor(const QString& color) {
    const QString text = color.trimmed();
    if (text == QLatin1String("-1")) {
        m_background.reset();
        update();
        return;
    }
    bool ok = false;
    QString hex = text.startsWith(QLatin1Char('#')) ? text.mid(1) : text;
    uint value = 0;
    if (hex.size() == 6) value = hex.toUInt(&ok, 16);
    if (!ok && !text.startsWith(QLatin1Char('#'))) value = text.toUInt(&ok, 10);
    if (!ok || value > 0xffffff) throw std::runtime_error("Invalid background color");
    m_background = QColor::fromRgb(static_cast<QRgb>(0xff000000u | value));
    update();
}

void ShockwaveFlash::putMovie(const QString& path) {
    auto movie = path.isEmpty() ? player::Movie::fromBytes({}) : player::Movie::fromFile(path);
    auto fresh = std::make_unique<player::Player>(movie);
    // The old movie's sound ends with it; the device plays the new one's from now on.
    m_audio->setMixer(fresh->mixer());
    fresh->setSoundDevicePulling(m_audio->active());
    m_movie = std::move(movie);
    m_player = std::move(fresh);
    m_timer.setInterval(std::max(1, static_cast<int>(1000.0 / m_movie->playbackRate() + 0.5)));
    m_playing = true;
    m_timer.start();
    update();
    // The first frame ran already; its report waits until the caller has finished loading.
    QTimer::singleShot(0, this, &ShockwaveFlash::reportScriptMessages);
    emit frameChanged(currentFrame());
}

void ShockwaveFlash::putScale(const QString& mode) {
    const QString m = mode.trimmed().toLower();
    if (m == QLatin1String("showall")) m_scale = player::ScaleMode::ShowAll;
    else if (m == QLatin1String("noscale")) m_scale = player::ScaleMode::NoScale;
    else if (m == QLatin1String("noborder")) m_scale = player::ScaleMode::NoBorder;
    else if (m == QLatin1String("exactfit")) m_scale = player::ScaleMode::ExactFit;
    else throw std::runtime_error("Invalid scale mode");
    m_zoom = 1.0;
    update();
}

void ShockwaveFlash::Zoom(int factor) {
    if (factor < 0) throw std::runtime_error("Invalid zoom factor");
    if (factor == 0) {
        // The whole movie again, whatever scale mode a 100% view had set.
        m_zoom = 1.0;
        m_scale = player::ScaleMode::ShowAll;
    } else {
        m_zoom = std::clamp(m_zoom * 100.0 / factor, kMinZoom, kMaxZoom);
    }
    update();
}

void ShockwaveFlash::Play() {
    m_player->setSoundEnabled(true);
    m_playing = true;
    m_timer.start();
}

void ShockwaveFlash::Stop() {
    // Sound stops at once, and stepping frame by frame afterwards plays none.
    m_player->setSoundEnabled(false);
    m_playing = false;
    m_timer.stop();
}

void ShockwaveFlash::Back() {
    Stop();
    if (m_player->currentFrame() > 1) {
        m_player->gotoFrame(m_player->currentFrame() - 1);
        frameMoved();
    }
}

void ShockwaveFlash::Forward() {
    Stop();
    if (m_player->currentFrame() < m_player->frameCount()) {
        m_player->nextFrame();
        frameMoved();
    }
}

void ShockwaveFlash::Rewind() {
    Stop();
    m_player->rewind();
    frameMoved();
}

void ShockwaveFlash::doVerbShow() {
    if (!isVisible() && parentWidget()) show();
    update();
}

bool ShockwaveFlash::isPlaying() const { return m_playing; }
int ShockwaveFlash::currentFrame() const { return m_player->currentFrame(); }
int ShockwaveFlash::frameCount() const { return m_player->frameCount(); }
QString ShockwaveFlash::quality() const { return m_qualityName; }

QString ShockwaveFlash::scaleMode() const {
    switch (m_scale) {
    case player::ScaleMode::NoScale: return QStringLiteral("NoScale");
    case player::ScaleMode::NoBorder: return QStringLiteral("NoBorder");
    case player::ScaleMode::ExactFit: return QStringLiteral("ExactFit");
    default: return QStringLiteral("ShowAll");
    }
}

double ShockwaveFlash::zoomFactor() const { return m_zoom; }

void ShockwaveFlash::tick() {
    if (!m_playing) return;
    const std::uint64_t before = m_player->changeCount();
    const int frame = m_player->currentFrame();
    // Stream sound paces the picture: frames the drawing fell behind by are run without being drawn.
    m_player->setSoundDevicePulling(m_audio->active());
    const int due = m_player->framesDue();
    for (int i = 0; i < due; ++i) m_player->nextFrame();
    if (m_player->changeCount() != before) update();
    if (m_player->currentFrame() != frame) emit frameChanged(m_player->currentFrame());
    reportScriptMessages();
}

void ShockwaveFlash::reportScriptMessages() {
    for (const QString& message : m_player->takeScriptMessages()) emit scriptStopped(message);
}

void ShockwaveFlash::frameMoved() {
    update();
    reportScriptMessages();
    emit frameChanged(m_player->currentFrame());
}

QImage ShockwaveFlash::renderFrame(QSize size) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    player::QPainterRenderer renderer(image);
    std::optional<swf::Rgba> background;
    if (m_background) {
        background = swf::Rgba{static_cast<std::uint8_t>(m_background->red()), static_cast<std::uint8_t>(m_background->green()),
                               static_cast<std::uint8_t>(m_background->blue()), 255};
    }
    const QTransform t = player::stageToDevice(m_movie->stageRect(), QSizeF(image.size()), m_scale, m_zoom);
    m_player->render(renderer, t, m_quality, background);
    return image;
}

void ShockwaveFlash::paintEvent(QPaintEvent* event) {
    FrameKey key{m_player->changeCount(), size(), m_zoom, static_cast<int>(m_quality), static_cast<int>(m_scale),
                 m_background ? m_background->rgb() : 0u, m_background.has_value(), m_player.get()};
    if (!(key == m_frameKey) || m_frame.isNull()) {
        m_frame = renderFrame(size());
        m_frameKey = key;
        emit frameRendered();
    }
    QPainter p(this);
    p.drawImage(event->rect(), m_frame, event->rect());
}

void ShockwaveFlash::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

}  // namespace vistrel
