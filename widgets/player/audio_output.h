// Sends a player's sound mix to the desktop's sound server: on its own thread, 44.1 kHz stereo 16-bit
// samples are taken from the mixer and written to a QAudioSink as it has room. Without a sound device
// the movie plays silently after one line on standard error.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QObject>
#include <QThread>

namespace vistrel {

namespace sound {
class Mixer;
}

class AudioOutput : public QObject {
    Q_OBJECT
public:
    explicit AudioOutput(QObject* parent = nullptr);
    ~AudioOutput() override;

    // Opens the sound device on the output's thread; later calls do nothing. Reaching the sound server
    // takes a while, so a program may open it once it has shown its window.
    void openDevice();

    // The mix to play; null plays silence. Safe to call while the device plays.
    void setMixer(std::shared_ptr<sound::Mixer> mixer);
    // True once a device takes the mix.
    bool active() const { return m_active.load(); }

    // Drops what the device holds still to play, so that a stopped movie falls silent at once.
    void dropBuffered();

    // What the output's thread takes: `frames` stereo frames of the current mixer, or silence.
    void pull(std::int16_t* out, std::size_t frames);

private:
    class Worker;
    QThread m_thread;
    Worker* m_worker = nullptr;
    std::mutex m_mutex;
    std::shared_ptr<sound::Mixer> m_mixer;
    std::atomic<bool> m_active{false};
    bool m_opening = false;
    friend class Worker;
};

}  // namespace vistrel
