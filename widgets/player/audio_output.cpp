#include "widgets/player/audio_output.h"

#include <cstdio>
#include <cstring>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include "player/sound/decode.h"
#include "player/sound/mixer.h"

namespace vistrel {

namespace {

// The device's buffer: short enough that a click sound follows its click at once.
constexpr int kBufferMs = 40;

// A device that never ends: each read is the next stretch of the mix.
class MixDevice : public QIODevice {
public:
    explicit MixDevice(AudioOutput& output) : m_output(output) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 4096 + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const auto frames = static_cast<std::size_t>(maxSize / 4);
        m_output.pull(reinterpret_cast<std::int16_t*>(data), frames);
        return static_cast<qint64>(frames * 4);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    AudioOutput& m_output;
};

void reportOnce(const char* text) {
    static std::atomic<bool> said{false};
    if (!said.exchange(true)) std::fprintf(stderr, "vistrel: %s; movies play without sound\n", text);
}

}  // namespace

class AudioOutput::Worker : public QObject {
public:
    explicit Worker(AudioOutput& output) : m_output(output) {}
    ~Worker() override {
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
        m_device = std::make_unique<MixDevice>(m_output);
        m_device->open(QIODevice::ReadOnly);
        m_sink->start(m_device.get());
        if (m_sink->error() != QAudio::NoError) {
            reportOnce("the sound device could not be opened");
            m_sink.reset();
            return;
        }
        m_output.m_active = true;
        QObject::connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State) {
            if (m_sink && m_sink->error() == QAudio::OpenError) {
                reportOnce("the sound device failed");
                m_output.m_active = false;
            }
        });
    }

private:
    AudioOutput& m_output;
    std::unique_ptr<QAudioSink> m_sink;
    std::unique_ptr<MixDevice> m_device;
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
