#include "widgets/player/audio_output.h"

#include <algorithm>
#include <cstdio>
#include <vector>
#include <cstring>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>

#include "player/sound/decode.h"
#include "player/sound/mixer.h"

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

}  // namespace

class AudioOutput::Worker : public QObject {
public:
    explicit Worker(AudioOutput& output) : m_output(output) {}
    ~Worker() override {
        m_timer.reset();
        if (m_sink) m_sink->stop();
    }

    void open() {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            reportOnce("no sound device");
            return;
        }
        QAudioFormat format;
        format.setSampleRate(sound::kOutputRate);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            reportOnce("the sound device does not take 44.1 kHz stereo");
            return;
        }
        m_sink = std::make_unique<QAudioSink>(device, format);
        m_sink->setBufferSize(sound::kOutputRate * 4 * kBufferMs / 1000);
        // The mix is pushed as the device has room, rather than pulled: a sound server may grant a
        // smaller buffer than asked, and a pulling sink then waited for room that never came.
        m_device = m_sink->start();
        if (m_sink->error() != QAudio::NoError || !m_device) {
            reportOnce("the sound device could not be opened");
            m_sink.reset();
            return;
        }
        m_output.m_active = true;
        m_timer = std::make_unique<QTimer>();
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer.get(), &QTimer::timeout, this, [this] { feed(); });
        m_timer->start(kFeedMs);
        feed();
        QObject::connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State) {
            if (m_sink && m_sink->error() == QAudio::OpenError) {
                reportOnce("the sound device failed");
                m_output.m_active = false;
            }
        });
    }

    void drop() {
        if (!m_sink) return;
        m_sink->reset();
        // Some sound servers' sinks stop on a reset: start again, to play what comes next.
        if (m_sink->state() == QAudio::StoppedState) m_device = m_sink->start();
        feed();
    }

private:
    // Writes as much of the mix as the device takes now.
    void feed() {
        if (!m_sink || !m_device) return;
        const qsizetype frames = std::min<qsizetype>(m_sink->bytesFree() / 4, sound::kOutputRate);
        if (frames <= 0) return;
        m_buffer.resize(static_cast<std::size_t>(frames) * 2);
        m_output.pull(m_buffer.data(), static_cast<std::size_t>(frames));
        m_device->write(reinterpret_cast<const char*>(m_buffer.data()), frames * 4);
    }

    AudioOutput& m_output;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_device = nullptr;   // the sink's own
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
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->open(); }, Qt::QueuedConnection);
}

AudioOutput::~AudioOutput() {
    m_thread.quit();
    m_thread.wait();
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
