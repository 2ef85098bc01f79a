#include "widgets/player/flash_player.h"

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>
#include <stdexcept>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QPainter>
#include <QPaintEvent>
#include <QWheelEvent>

#include "core/thread_priority.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage.h"
#include "widgets/player/audio_output.h"
#include "widgets/player/movie_loader.h"

namespace vistrel {

namespace {

constexpr double kMinZoom = 1.0 / 64, kMaxZoom = 256;
// A wheel notch (120 eighths of a degree) is three lines to the movie and 40 pixels of panning.
constexpr int kWheelStepPerLine = 40;
constexpr double kPanPixelsPerWheelUnit = 40.0 / 120.0;
// Movies below this size parse in a few milliseconds: loading them at once costs less than a thread
// hop and keeps the change of picture in one step.
constexpr std::int64_t kBackgroundLoadBytes = 1024 * 1024;

// Whether a movie is read off the GUI thread: a large one, by its file or by the unpacked size a compressed
// movie's header declares. What is not a regular file is never read at all.
bool loadsInBackground(const QFileInfo& info, std::int64_t threshold) {
    if (!info.isFile()) return false;
    if (info.size() >= threshold) return true;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(8);
    // Only a compressed movie unpacks to more than its file holds.
    if (head.size() < 8 || (!head.startsWith("CWS") && !head.startsWith("ZWS"))) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(head.constData());
    const std::int64_t declared =
        std::int64_t(b[4]) | std::int64_t(b[5]) << 8 | std::int64_t(b[6]) << 16 | std::int64_t(b[7]) << 24;
    return declared >= threshold;
}

std::optional<player::MouseButton> movieButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton: return player::MouseButton::Left;
    case Qt::MiddleButton: return player::MouseButton::Middle;
    case Qt::RightButton: return player::MouseButton::Right;
    default: return std::nullopt;
    }
}

// The editing command the desktop binds to a key, for the movie's focused input text.
std::optional<player::TextControl> textControlFor(QKeyEvent* event) {
    using TC = player::TextControl;
    static const struct {
        QKeySequence::StandardKey key;
        TC control;
    } kBindings[] = {
        {QKeySequence::MoveToPreviousChar, TC::MoveLeft},       {QKeySequence::MoveToNextChar, TC::MoveRight},
        {QKeySequence::MoveToPreviousLine, TC::MoveUp},         {QKeySequence::MoveToNextLine, TC::MoveDown},
        {QKeySequence::MoveToStartOfLine, TC::MoveLineStart},   {QKeySequence::MoveToEndOfLine, TC::MoveLineEnd},
        {QKeySequence::MoveToStartOfDocument, TC::MoveStart},   {QKeySequence::MoveToEndOfDocument, TC::MoveEnd},
        {QKeySequence::SelectPreviousChar, TC::SelectLeft},     {QKeySequence::SelectNextChar, TC::SelectRight},
        {QKeySequence::SelectPreviousLine, TC::SelectUp},       {QKeySequence::SelectNextLine, TC::SelectDown},
        {QKeySequence::SelectStartOfLine, TC::SelectLineStart}, {QKeySequence::SelectEndOfLine, TC::SelectLineEnd},
        {QKeySequence::SelectAll, TC::SelectAll},               {QKeySequence::Backspace, TC::Backspace},
        {QKeySequence::Delete, TC::Delete},                     {QKeySequence::InsertParagraphSeparator, TC::Enter},
        {QKeySequence::Copy, TC::Copy},                         {QKeySequence::Cut, TC::Cut},
        {QKeySequence::Paste, TC::Paste},
    };
    for (const auto& binding : kBindings)
        if (event->matches(binding.key)) return binding.control;
    // Some desktops bind Backspace with Shift to nothing; it still deletes in a text field.
    if (event->key() == Qt::Key_Backspace && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return TC::Backspace;
    return std::nullopt;
}

// VISTREL_TRACE sends the movie's trace() lines out of the viewer, for scripted checks and script
// authors: "-" to standard error, any other value names a file the lines are appended to.
std::function<void(const QString&)> traceSinkFromEnvironment() {
    const QString target = qEnvironmentVariable("VISTREL_TRACE");
    if (target.isEmpty()) return {};
    if (target == QLatin1String("-")) {
        return [](const QString& line) {
            std::fprintf(stderr, "%s\n", line.toUtf8().constData());
            std::fflush(stderr);
        };
    }
    auto file = std::make_shared<QFile>(target);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return {};
    return [file](const QString& line) {
        file->write(line.toUtf8());
        file->write("\n", 1);
        file->flush();
    };
}

// Where the movies' trace() lines go, read from the environment once for the whole run.
const std::function<void(const QString&)>& movieTraceSink() {
    static const std::function<void(const QString&)> sink = traceSinkFromEnvironment();
    return sink;
}

// A movie as putMovie loads it at once: devices and pipes are never opened (reading one could wait for
// ever); a file that cannot be read gives an empty movie.
struct LoadedMovie {
    std::shared_ptr<const player::Movie> movie;
    QByteArray leading;   // the file's first bytes, which say why a movie could not be read
};

LoadedMovie loadAtOnce(const QString& path) {
    const bool readable = !path.isEmpty() && QFileInfo(path).isFile();
    LoadedMovie loaded;
    loaded.movie = readable ? player::Movie::fromFile(path) : player::Movie::fromBytes({});
    if (readable) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) loaded.leading = file.read(8);
    }
    return loaded;
}

}  // namespace

class PreparedMovie {
public:
    struct Result {
        LoadedMovie loaded;
        std::unique_ptr<player::Player> player;   // has run the first frame
    };
    PreparedMovie(QString path, std::future<Result> result) : m_path(std::move(path)), m_result(std::move(result)) {}
    const QString& path() const { return m_path; }
    // The result, once: nothing when it was taken before.
    std::optional<Result> take() {
        if (!m_result.valid()) return std::nullopt;
        return m_result.get();
    }

private:
    QString m_path;
    std::future<Result> m_result;
};

std::shared_ptr<PreparedMovie> ShockwaveFlash::prepareMovie(const QString& path) {
    if (path.isEmpty() || loadsInBackground(QFileInfo(path), kBackgroundLoadBytes)) return nullptr;
    // The sink is made here, so a trace file is opened by the GUI thread that goes on writing to it.
    const std::function<void(const QString&)>& trace = movieTraceSink();
    auto work = [path, trace] {
        // Below the GUI thread, which builds the window meanwhile.
        lowerThisThreadPriority();
        PreparedMovie::Result result;
        result.loaded = loadAtOnce(path);
        result.player = std::make_unique<player::Player>(result.loaded.movie, trace);
        // The first frame's shapes are built here too, not on the way to its first paint.
        result.player->prepareShapes();
        return result;
    };
    return std::make_shared<PreparedMovie>(path, std::async(std::launch::async, std::move(work)));
}

QString ShockwaveFlash::DesktopClipboard::text() const {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void ShockwaveFlash::DesktopClipboard::setText(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
}

ShockwaveFlash::ShockwaveFlash(QWidget* parent) : QWidget(parent), m_backgroundLoadBytes(kBackgroundLoadBytes) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer.setTimerType(Qt::PreciseTimer);
    if (FrameRateProbe::enabled()) m_rateProbe = std::make_unique<FrameRateProbe>();
    connect(&m_timer, &QTimer::timeout, this, &ShockwaveFlash::tick);
    m_caretTimer.setInterval(530);
    connect(&m_caretTimer, &QTimer::timeout, this, [this] {
        const bool editing = input().editingText();
        if (!editing && m_caretOn) return;
        m_caretOn = editing ? !m_caretOn : true;
        input().setCaretVisible(m_caretOn);
        update();
    });
    m_caretTimer.start();
    // Until a movie is loaded the control shows an empty white stage.
    m_movie = player::Movie::fromBytes({});
    m_player = std::make_unique<player::Player>(m_movie);
    m_player->setClipboard(&m_clipboard);
    m_playerInput.setPlayer(m_player.get());
    // A click gives the movie the keyboard; Tab reaches it as well.
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    m_audio = std::make_unique<AudioOutput>();
    m_audio->setMixer(m_player->mixer());
    // The sound device opens once the pane has painted its first frame (or a second after it was first
    // shown, should it stay unpainted), so loading the sound output and reaching the sound server do not
    // hold up the window's start.
    connect(this, &ShockwaveFlash::frameRendered, this, [this] { m_audio->openDevice(); }, Qt::SingleShotConnection);
    m_loader = std::make_unique<MovieLoader>();
    connect(m_loader.get(), &MovieLoader::firstFrameReady, this,
            [this](std::uint64_t, std::shared_ptr<const player::Movie> movie) { showFirstFrame(std::move(movie)); });
    connect(m_loader.get(), &MovieLoader::loaded, this,
            [this](std::uint64_t, std::shared_ptr<const player::Movie> movie, const QByteArray& leading) {
                startMovie(std::move(movie), m_loadingPath, leading);
            });
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
    // The user's latest choice wins over the one the movie's script made, until the script chooses again.
    if (m_player) m_player->stage().clearScriptQuality();
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

void ShockwaveFlash::putMovie(const QString& path) { putMovie(path, nullptr); }

void ShockwaveFlash::putMovie(const QString& path, std::shared_ptr<PreparedMovie> prepared) {
    m_loader->cancel();
    m_loading = false;
    const QFileInfo info(path);
    if (!path.isEmpty() && loadsInBackground(info, m_backgroundLoadBytes)) {
        // Until its first frame is in, the pane shows an empty stage and plays nothing; the window
        // stays free meanwhile.
        m_loading = true;
        m_loadingPath = path;
        m_note = MovieNote::None;
        m_timer.stop();
        switchPlayer(player::Movie::fromBytes({}), true);
        update();
        emit frameChanged(currentFrame());
        m_loader->load(path, info.size() <= player::kMaxMovieFileSize);
        return;
    }
    if (prepared && prepared->path() == path) {
        if (std::optional<PreparedMovie::Result> result = prepared->take()) {
            startMovie(std::move(result->loaded.movie), path, result->loaded.leading, std::move(result->player));
            return;
        }
    }
    LoadedMovie loaded = loadAtOnce(path);
    startMovie(std::move(loaded.movie), path, loaded.leading);
}

void ShockwaveFlash::setBackgroundLoadThreshold(std::int64_t bytes) {
    m_backgroundLoadBytes = std::max<std::int64_t>(0, bytes);
}

void ShockwaveFlash::switchPlayer(std::shared_ptr<const player::Movie> movie, bool withSound,
                                  std::unique_ptr<player::Player> fresh) {
    if (!fresh) fresh = std::make_unique<player::Player>(movie, movieTraceSink());
    // The old movie's sound ends with it; the device plays the new one's from now on.
    if (withSound) {
        m_audio->setMixer(fresh->mixer());
        fresh->setSoundDevicePulling(m_audio->active());
    } else {
        fresh->setSoundEnabled(false);
        m_audio->setMixer(nullptr);
    }
    m_movie = std::move(movie);
    m_playerInput.setPlayer(fresh.get());
    m_player = std::move(fresh);
    m_player->setClipboard(&m_clipboard);
    if (hasFocus()) input().focusChanged(true);
    m_panning = false;
    m_pan = {};
    clampPan();
    updatePointer();
}

void ShockwaveFlash::startMovie(std::shared_ptr<const player::Movie> movie, const QString& path,
                                const QByteArray& leading, std::unique_ptr<player::Player> player) {
    m_loading = false;
    const QFileInfo info(path);
    if (path.isEmpty()) m_note = MovieNote::None;
    else if (info.exists() && !info.isFile()) m_note = MovieNote::Unreadable;
    else m_note = movieNoteFor(*movie, leading);
    switchPlayer(std::move(movie), true, std::move(player));
    m_timer.setInterval(std::max(1, static_cast<int>(1000.0 / m_movie->playbackRate() + 0.5)));
    m_playing = true;
    m_timer.start();
    update();
    // The first frame ran already; its report waits until the caller has finished loading.
    QTimer::singleShot(0, this, &ShockwaveFlash::reportScriptMessages);
    emit frameChanged(currentFrame());
    emit movieLoaded();
}

void ShockwaveFlash::showFirstFrame(std::shared_ptr<const player::Movie> firstFrame) {
    // The picture only: no sound and no frames move on until the whole movie is in.
    switchPlayer(std::move(firstFrame), false);
    update();
}

void ShockwaveFlash::putScale(const QString& mode) {
    const QString m = mode.trimmed().toLower();
    if (m == QLatin1String("showall")) m_scale = player::ScaleMode::ShowAll;
    else if (m == QLatin1String("noscale")) m_scale = player::ScaleMode::NoScale;
    else if (m == QLatin1String("noborder")) m_scale = player::ScaleMode::NoBorder;
    else if (m == QLatin1String("exactfit")) m_scale = player::ScaleMode::ExactFit;
    else throw std::runtime_error("Invalid scale mode");
    m_zoom = 1.0;
    m_pan = {};
    clampPan();
    updatePointer();
    update();
}

void ShockwaveFlash::Zoom(int factor) {
    if (factor < 0) throw std::runtime_error("Invalid zoom factor");
    if (factor == 0) {
        // The whole movie again, whatever scale mode a 100% view had set.
        m_zoom = 1.0;
        m_scale = player::ScaleMode::ShowAll;
        m_pan = {};
    } else {
        const double before = m_zoom;
        m_zoom = std::clamp(m_zoom * 100.0 / factor, kMinZoom, kMaxZoom);
        // The zoom keeps the point at the view's centre where it is.
        m_pan *= m_zoom / before;
    }
    clampPan();
    updatePointer();
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
    m_audio->dropBuffered();
    m_playing = false;
    m_timer.stop();
}

void ShockwaveFlash::Back() {
    Stop();
    if (m_player->currentFrame() > 1) {
        m_player->gotoFrame(m_player->currentFrame() - 1);
        input().cancelPointerCapture();
        frameMoved();
    }
}

void ShockwaveFlash::Forward() {
    Stop();
    if (m_player->currentFrame() < m_player->frameCount()) {
        m_player->nextFrame();
        input().cancelPointerCapture();
        frameMoved();
    }
}

void ShockwaveFlash::Rewind() {
    Stop();
    m_player->rewind();
    // A button held down while the frame changes under it must not stay pressed.
    input().cancelPointerCapture();
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
    if (!m_playing || m_loading) return;
    const std::uint64_t before = m_player->changeCount();
    const int frame = m_player->currentFrame();
    // Stream sound paces the picture: frames the drawing fell behind by are run without being drawn.
    m_player->setSoundDevicePulling(m_audio->active());
    const int due = m_player->framesDue();
    for (int i = 0; i < due; ++i) m_player->nextFrame();
    const bool shown = m_player->changeCount() != before && showChange();
    if (m_rateProbe) m_rateProbe->framesRun(due, shown, m_movie->playbackRate());
    if (m_player->currentFrame() != frame) emit frameChanged(m_player->currentFrame());
    reportScriptMessages();
    // What lies under a still pointer may have changed with the frame.
    if (underMouse() && !m_panning) updatePointer();
}

bool ShockwaveFlash::showChange() {
    // The frame is drawn now, so that only the part of the picture it changed is brought to the screen:
    // copying the whole pane every frame costs more than drawing a small change.
    if (!isVisible() || window()->isMinimized()) {
        update();   // drawn if and when it is painted
        return true;
    }
    QElapsedTimer clock;
    if (m_rateProbe) clock.start();
    if (m_drawer.update(*m_player, frameView(size()))) m_drawnUnshown = true;
    if (m_rateProbe) m_drawAheadMs += static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (m_drawer.cutShort()) {
        m_cutUnshown = true;
        update();
        return true;
    }
    const QRegion changed = m_drawer.repainted();
    if (changed.isEmpty()) return false;   // nothing visible changed
    update(changed);
    return true;
}

void ShockwaveFlash::reportScriptMessages() {
    for (const QString& message : m_player->takeScriptMessages()) emit scriptStopped(message);
}

void ShockwaveFlash::frameMoved() {
    update();
    reportScriptMessages();
    emit frameChanged(m_player->currentFrame());
}

player::FrameView ShockwaveFlash::frameView(QSize size) const {
    player::FrameView view;
    view.size = size.expandedTo(QSize(1, 1));
    view.quality = m_quality;
    if (m_background) {
        view.background = swf::Rgba{static_cast<std::uint8_t>(m_background->red()), static_cast<std::uint8_t>(m_background->green()),
                                    static_cast<std::uint8_t>(m_background->blue()), 255};
    }
    view.stageToDevice = player::stageToDevice(m_movie->stageRect(), QSizeF(view.size), m_scale, m_zoom);
    if (view.size == this->size()) view.stageToDevice *= QTransform::fromTranslate(m_pan.x(), m_pan.y());
    return view;
}

QImage ShockwaveFlash::renderFrame(QSize size) {
    player::FrameDrawer drawer;
    drawer.update(*m_player, frameView(size));
    return drawer.image();
}

void ShockwaveFlash::paintEvent(QPaintEvent* event) {
    QElapsedTimer clock;
    if (m_rateProbe) clock.start();
    const player::FrameView view = frameView(size());
    // A frame the tick just cut short is shown as far as it got: drawing it once more here would hold
    // the window for a second draw of the same frame. Later paints try it whole again.
    const bool keepCut = m_cutUnshown && m_drawer.shows(*m_player, view);
    const bool drawn = !keepCut && m_drawer.update(*m_player, view);
    if (drawn || m_drawnUnshown) emit frameRendered();
    m_drawnUnshown = false;
    m_cutUnshown = false;
    QPainter p(this);
    p.drawImage(event->rect(), m_drawer.image(), event->rect());
    drawNote(p);
    if (m_rateProbe) m_rateProbe->painted(static_cast<double>(clock.nsecsElapsed()) / 1e6 + m_drawAheadMs, size());
    m_drawAheadMs = 0;
}

void ShockwaveFlash::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    clampPan();
    update();
}

void ShockwaveFlash::setNoteTexts(std::function<QString(MovieNote)> texts) {
    m_noteTexts = std::move(texts);
    update();
}

void ShockwaveFlash::drawNote(QPainter& painter) {
    if (m_note == MovieNote::None || !m_noteTexts) return;
    const QString text = m_noteTexts(m_note);
    if (text.isEmpty()) return;
    // A small label in the lower left corner: whatever could be drawn stays in view around it.
    QFont font = this->font();
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int margin = 6, padX = 6, padY = 3;
    const int maxWidth = std::max(0, width() - 2 * margin - 2 * padX);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, maxWidth);
    const QRect box(margin, height() - margin - metrics.height() - 2 * padY,
                    metrics.horizontalAdvance(shown) + 2 * padX, metrics.height() + 2 * padY);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(32, 32, 32, 190));
    painter.drawRoundedRect(box, 4, 4);
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(box, Qt::AlignCenter, shown);
}

// --- The movie's view: zoom and pan ------------------------------------------------------------

QTransform ShockwaveFlash::viewTransform() const {
    return player::stageToDevice(m_movie->stageRect(), QSizeF(size()), m_scale, m_zoom) *
           QTransform::fromTranslate(m_pan.x(), m_pan.y());
}

QPointF ShockwaveFlash::stagePosition(QPointF controlPoint) const {
    bool invertible = false;
    const QTransform toStage = viewTransform().inverted(&invertible);
    if (!invertible) return {};
    return toStage.map(controlPoint) / 20.0;
}

bool ShockwaveFlash::canPan() const {
    const QRectF shown =
        player::stageToDevice(m_movie->stageRect(), QSizeF(size()), m_scale, m_zoom).mapRect(m_movie->stageRect());
    return shown.width() > width() + 0.5 || shown.height() > height() + 0.5;
}

void ShockwaveFlash::panBy(QPointF delta) {
    const QPointF before = m_pan;
    m_pan += delta;
    clampPan();
    if (m_pan != before) update();
}

void ShockwaveFlash::clampPan() {
    // The stage may be moved only as far as it still fills the view; a stage smaller than the view
    // along an axis stays centred there.
    const QRectF shown =
        player::stageToDevice(m_movie->stageRect(), QSizeF(size()), m_scale, m_zoom).mapRect(m_movie->stageRect());
    auto clampAxis = [](double pan, double low, double high, double extent) {
        if (high - low <= extent + 0.5) return 0.0;
        return std::clamp(pan, extent - high, -low);
    };
    m_pan.setX(clampAxis(m_pan.x(), shown.left(), shown.right(), width()));
    m_pan.setY(clampAxis(m_pan.y(), shown.top(), shown.bottom(), height()));
}

void ShockwaveFlash::updatePointer() {
    if (m_panning) {
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    switch (input().cursor()) {
    case player::Cursor::Hand: setCursor(Qt::PointingHandCursor); break;
    case player::Cursor::IBeam: setCursor(Qt::IBeamCursor); break;
    case player::Cursor::Arrow:
        if (canPan()) setCursor(Qt::OpenHandCursor);
        else unsetCursor();
        break;
    }
}

// --- Mouse and keyboard for the movie ------------------------------------------------------------

void ShockwaveFlash::setMovieInput(MovieInput* input) {
    m_inputOverride = input;
    updatePointer();
}

void ShockwaveFlash::afterInput() {
    // The caret shows steadily while the user acts, and blinks again from here.
    m_caretOn = true;
    input().setCaretVisible(true);
    m_caretTimer.start();
    // A handler may have moved the timeline or stopped a script.
    update();
    reportScriptMessages();
    if (m_player->currentFrame() != m_reportedFrame) emit frameChanged(m_player->currentFrame());
    updatePointer();
}

void ShockwaveFlash::mousePressEvent(QMouseEvent* event) {
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    m_reportedFrame = m_player->currentFrame();
    // Over the enlarged movie, away from anything the movie reacts to, a drag moves the view.
    if (event->button() == Qt::LeftButton && canPan() && input().cursor() == player::Cursor::Arrow) {
        m_panning = true;
        m_panFrom = event->position();
        updatePointer();
        event->accept();
        return;
    }
    const auto button = movieButton(event->button());
    if (!button) return;
    input().mouseDown(stagePosition(event->position()), *button);
    event->accept();
    afterInput();
}

void ShockwaveFlash::mouseDoubleClickEvent(QMouseEvent* event) {
    // To the movie the second click of a double click is one more press; a text selects a word with it.
    if (event->button() != Qt::LeftButton || (canPan() && input().cursor() == player::Cursor::Arrow)) {
        mousePressEvent(event);
        return;
    }
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    m_reportedFrame = m_player->currentFrame();
    input().mouseDoubleClick(stagePosition(event->position()));
    event->accept();
    afterInput();
}

void ShockwaveFlash::mouseMoveEvent(QMouseEvent* event) {
    if (m_panning) {
        panBy(event->position() - m_panFrom);
        m_panFrom = event->position();
        return;
    }
    m_reportedFrame = m_player->currentFrame();
    input().mouseMove(stagePosition(event->position()));
    afterInput();
}

void ShockwaveFlash::mouseReleaseEvent(QMouseEvent* event) {
    if (m_panning) {
        if (event->button() == Qt::LeftButton) {
            m_panning = false;
            updatePointer();
        }
        return;
    }
    const auto button = movieButton(event->button());
    if (!button) return;
    m_reportedFrame = m_player->currentFrame();
    input().mouseUp(stagePosition(event->position()), *button);
    afterInput();
}

void ShockwaveFlash::wheelEvent(QWheelEvent* event) {
    QPoint delta = event->angleDelta();
    if (canPan()) {
        // The wheel scrolls the enlarged movie; with Shift it scrolls sideways.
        if ((event->modifiers() & Qt::ShiftModifier) && delta.x() == 0) delta = QPoint(delta.y(), 0);
        panBy(QPointF(delta) * kPanPixelsPerWheelUnit);
        event->accept();
        return;
    }
    m_wheelRest += delta.y();
    const int lines = m_wheelRest / kWheelStepPerLine;
    m_wheelRest -= lines * kWheelStepPerLine;
    event->accept();
    if (lines == 0) return;
    m_reportedFrame = m_player->currentFrame();
    input().mouseWheel(stagePosition(event->position()), lines);
    afterInput();
}

void ShockwaveFlash::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (m_panning) return;
    m_reportedFrame = m_player->currentFrame();
    input().mouseLeave();
    afterInput();
}

bool ShockwaveFlash::event(QEvent* event) {
    if (event->type() == QEvent::Show && !m_soundFallbackArmed) {
        m_soundFallbackArmed = true;
        QTimer::singleShot(1000, this, [this] { m_audio->openDevice(); });
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Backspace goes up a folder elsewhere; while the movie's input text has the focus it deletes there.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
            input().editingText()) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

bool ShockwaveFlash::focusNextPrevChild(bool next) {
    // A movie that takes keys moves its own focus with Tab.
    if (input().wantsKeys()) return false;
    return QWidget::focusNextPrevChild(next);
}

void ShockwaveFlash::keyPressEvent(QKeyEvent* event) {
    m_reportedFrame = m_player->currentFrame();
    const player::KeyEvent key = player::keyEventFromQt(event->key(), event->text());
    input().keyDown(key);
    if (const auto control = textControlFor(event)) {
        input().textControl(*control);
    } else if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        for (const char32_t c : event->text().toUcs4())
            if (c >= 0x20 && c != 0x7f) input().textInput(c);
    }
    event->accept();
    afterInput();
}

void ShockwaveFlash::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats its press, not its release.
    if (event->isAutoRepeat()) return;
    m_reportedFrame = m_player->currentFrame();
    const player::KeyEvent key = player::keyEventFromQt(event->key(), event->text());
    input().keyUp(key);
    event->accept();
    afterInput();
}

void ShockwaveFlash::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    m_reportedFrame = m_player->currentFrame();
    const player::MovieMenu menu = input().openMenu(stagePosition(event->pos()));
    afterInput();
    QMenu popup(this);
    std::vector<QAction*> own;
    for (const player::MovieMenu::Item& item : menu.items) {
        if (item.separatorBefore && !own.empty()) popup.addSeparator();
        QAction* action = popup.addAction(item.caption);
        action->setEnabled(item.enabled);
        own.push_back(action);
    }
    if (menu.full) {
        const auto group = [&popup](const QList<QAction*>& actions, bool shown) {
            if (!shown || actions.isEmpty()) return;
            if (!popup.isEmpty()) popup.addSeparator();
            popup.addActions(actions);
        };
        group(m_menuCommands.zoom, menu.zoom);
        if (menu.quality && m_menuCommands.quality) {
            if (!popup.isEmpty()) popup.addSeparator();
            popup.addMenu(m_menuCommands.quality);
        }
        group(m_menuCommands.play, menu.play);
        group(m_menuCommands.rewind, menu.rewind);
        group(m_menuCommands.forwardBack, menu.forwardBack);
    }
    if (popup.isEmpty()) return;
    QAction* chosen = popup.exec(event->globalPos());
    const auto it = std::find(own.begin(), own.end(), chosen);
    if (it == own.end()) return;
    m_reportedFrame = m_player->currentFrame();
    input().chooseMenuItem(static_cast<std::size_t>(it - own.begin()));
    afterInput();
}

void ShockwaveFlash::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    input().focusChanged(true);
    update();
}

void ShockwaveFlash::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    input().focusChanged(false);
    update();
}

}  // namespace vistrel
