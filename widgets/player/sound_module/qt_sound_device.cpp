// The sound output module: the desktop's default sound device through a QAudioSink.

#include <memory>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include "widgets/player/sound_device.h"

namespace vistrel {
namespace {

class QtSoundDevice final : public SoundDevice {
public:
    explicit QtSoundDevice(std::unique_ptr<QAudioSink> sink) : m_sink(std::move(sink)) {}
    ~QtSoundDevice() override { m_sink->stop(); }

    // The mix is pushed as the device has room, rather than pulled: a sound server may grant a smaller
    // buffer than asked, and a pulling sink then waited for room that never came.
    bool start() {
        m_device = m_sink->start();
        return m_sink->error() == QAudio::NoError && m_device;
    }

    std::int64_t bytesFree() const override { return m_device ? m_sink->bytesFree() : 0; }

    void write(const char* data, std::int64_t bytes) override {
        if (m_device) m_device->write(data, bytes);
    }

    void reset() override {
        m_sink->reset();
        // Some sound servers' sinks stop on a reset: start again, to play what comes next.
        if (m_sink->state() == QAudio::StoppedState) m_device = m_sink->start();
    }

    bool failed() const override { return m_sink->error() == QAudio::OpenError; }

private:
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_device = nullptr;   // the sink's own
};

}  // namespace
}  // namespace vistrel

extern "C" Q_DECL_EXPORT vistrel::SoundDevice* vistrel_open_sound_device(int sampleRate, int bufferBytes,
                                                                          const char** problem) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        *problem = "no sound device";
        return nullptr;
    }
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        *problem = "the sound device does not take 44.1 kHz stereo";
        return nullptr;
    }
    auto sink = std::make_unique<QAudioSink>(device, format);
    sink->setBufferSize(bufferBytes);
    auto output = std::make_unique<vistrel::QtSoundDevice>(std::move(sink));
    if (!output->start()) {
        *problem = "the sound device could not be opened";
        return nullptr;
    }
    return output.release();
}
