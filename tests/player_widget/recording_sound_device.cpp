// A sound output module for tests: a device that takes whatever it is given and remembers how much sound
// came in and how loud it was, so a test can hear what the viewer played.

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "widgets/player/sound_device.h"

namespace {

std::atomic<long long> g_bytes{0};
std::atomic<int> g_peak{0};
std::atomic<int> g_opened{0};

class RecordingDevice final : public vistrel::SoundDevice {
public:
    explicit RecordingDevice(int bufferBytes) : m_free(bufferBytes) {}
    std::int64_t bytesFree() const override { return m_free; }
    void write(const char* data, std::int64_t bytes) override {
        const auto count = static_cast<std::size_t>(bytes / 2);
        int peak = g_peak.load();
        for (std::size_t i = 0; i < count; ++i) {
            std::int16_t sample;
            std::memcpy(&sample, data + 2 * i, 2);
            peak = std::max(peak, std::abs(int(sample)));
        }
        g_peak = peak;
        g_bytes += bytes;
    }
    void reset() override {}
    bool failed() const override { return false; }

private:
    std::int64_t m_free;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) vistrel::SoundDevice* vistrel_open_sound_device(
    int sampleRate, int bufferBytes, const char** problem) {
    if (sampleRate <= 0 || bufferBytes <= 0) {
        *problem = "a device was asked for without a rate or a buffer";
        return nullptr;
    }
    ++g_opened;
    return new RecordingDevice(bufferBytes);
}

// What the devices of this module were given so far.
extern "C" __attribute__((visibility("default"))) void vistrel_test_sound_heard(int* opened, long long* bytes,
                                                                                int* peak) {
    *opened = g_opened;
    *bytes = g_bytes;
    *peak = g_peak;
}
