// Sends a player's sound mix to the desktop's sound server: on its own thread, 44.1 kHz stereo 16-bit
// samples are taken from the mixer and written to the device as it has room. The device comes from the
// sound output module (sound_device.h), loaded when the device is opened. Without the module or a sound
// device the movie plays silently after one line on standard error.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QObject>
#include <QString>
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
    // The sound output module to load instead of the one installed with the program, for outputs that open
    // their device from now on (an empty name: the installed one again).
    static void setModuleFile(const QString& file);

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
