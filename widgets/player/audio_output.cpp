#include "widgets/player/audio_output.h"

#include <algorithm>
#include <cstdio>
#include <vector>
#include <cstring>

#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "player/sound/decode.h"
#include "player/sound/mixer.h"
#include "widgets/player/sound_device.h"

namespace vistrel {

namespace {

// The device's buffer: short enough that a click sound follows its click at once.
constexpr int kBufferMs = 40;
// How often the mix is written to the device: well inside the buffer, so it never runs dry.
constexpr int kFeedMs = 5;

void reportOnce(const char* text) {
    static std::atomic<bool> said{false};
    if (!said.exchange(true)) std::fprintf(stderr, "vistrel: %s; movies play without sound\n", text);
}

QString& moduleFileOverride() {
    static QString file;
    return file;
}

// Where the sound output module may be: beside the program (a program folder of its own, the build
// folder), then the library folder of an installed prefix.
QStringList moduleCandidates() {
    if (!moduleFileOverride().isEmpty()) return {moduleFileOverride()};
    const QString name = QString::fromLatin1(kSoundModuleFileName);
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {programDir.filePath(name),
            QDir::cleanPath(programDir.filePath(QString::fromUtf8(VISTREL_SOUND_MODULE_FROM_BIN) + QLatin1Char('/') + name))};
}

// Loads the module and finds its entry point; null when no candidate is a loadable module. The module
// stays loaded for the rest of the run, as the devices it made may live until the end.
OpenSoundDevice loadSoundModule(const QStringList& candidates) {
    for (const QString& file : candidates) {
        if (!QFileInfo(file).isFile()) continue;
        void* handle = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) continue;
        if (auto open = reinterpret_cast<OpenSoundDevice>(dlsym(handle, kOpenSoundDeviceSymbol))) return open;
        dlclose(handle);
    }
    return nullptr;
}

}  // namespace

class AudioOutput::Worker : public QObject {
public:
    explicit Worker(AudioOutput& output) : m_output(output) {}
    ~Worker() override {
        m_timer.reset();
        m_sink.reset();
    }

    void open(const QStringList& moduleFiles) {
        const OpenSoundDevice openDevice = loadSoundModule(moduleFiles);
        if (!openDevice) {
            reportOnce("the sound output module cannot be loaded");
            return;
        }
        const char* problem = "the sound device could not be opened";
        m_sink.reset(openDevice(sound::kOutputRate, sound::kOutputRate * 4 * kBufferMs / 1000, &problem));
        if (!m_sink) {
            reportOnce(problem);
            return;
        }
        m_output.m_active = true;
        m_timer = std::make_unique<QTimer>();
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer.get(), &QTimer::timeout, this, [this] { feed(); });
        m_timer->start(kFeedMs);
        feed();
    }

    void drop() {
        if (!m_sink) return;
        m_sink->reset();
        feed();
    }

private:
    // Writes as much of the mix as the device takes now.
    void feed() {
        if (!m_sink) return;
        if (m_sink->failed()) {
            reportOnce("the sound device failed");
            m_output.m_active = false;
            return;
        }
        const std::int64_t frames = std::min<std::int64_t>(m_sink->bytesFree() / 4, sound::kOutputRate);
        if (frames <= 0) return;
        m_buffer.resize(static_cast<std::size_t>(frames) * 2);
        m_output.pull(m_buffer.data(), static_cast<std::size_t>(frames));
        m_sink->write(reinterpret_cast<const char*>(m_buffer.data()), frames * 4);
    }

    AudioOutput& m_output;
    std::unique_ptr<SoundDevice> m_sink;
    std::unique_ptr<QTimer> m_timer;
    std::vector<std::int16_t> m_buffer;
};

AudioOutput::AudioOutput(QObject* parent) : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("sound output"));
    m_worker = new Worker(*this);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start(QThread::TimeCriticalPriority);
}

void AudioOutput::openDevice() {
    if (m_opening) return;
    m_opening = true;
    // The module is found here, where the application object is at hand, and loaded on the output's thread.
    QMetaObject::invokeMethod(m_worker, [w = m_worker, files = moduleCandidates()] { w->open(files); },
                              Qt::QueuedConnection);
}

AudioOutput::~AudioOutput() {
    m_thread.quit();
    m_thread.wait();
}

void AudioOutput::setModuleFile(const QString& file) {
    moduleFileOverride() = file;
}

void AudioOutput::setMixer(std::shared_ptr<sound::Mixer> mixer) {
    std::lock_guard lock(m_mutex);
    m_mixer = std::move(mixer);
}

void AudioOutput::dropBuffered() {
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->drop(); }, Qt::QueuedConnection);
}

void AudioOutput::pull(std::int16_t* out, std::size_t frames) {
    std::shared_ptr<sound::Mixer> mixer;
    {
        std::lock_guard lock(m_mutex);
        mixer = m_mixer;
    }
    if (mixer) mixer->mix(out, frames);
    else std::memset(out, 0, frames * 4);
}

}  // namespace vistrel
