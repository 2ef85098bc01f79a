// The desktop's sound device as the sound output module offers it. Only the module links the multimedia
// libraries: they bring some twenty-five libraries of their own (the sound server's client, its codecs,
// networking), whose loading would hold up every start-up, so the program loads the module once its
// window is painted. Program and module are built together; this interface is all they share.
#pragma once

#include <cstdint>

namespace vistrel {

class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    // Bytes the device takes now without waiting.
    virtual std::int64_t bytesFree() const = 0;
    virtual void write(const char* data, std::int64_t bytes) = 0;
    // Drops what the device holds still to play; it goes on playing what is written next.
    virtual void reset() = 0;
    // True once the device failed after it was opened (a sound server that went away).
    virtual bool failed() const = 0;
};

// The module's entry point: opens the default device for 16-bit stereo samples at `sampleRate` with a buffer
// of about `bufferBytes`. The device belongs to the calling thread, whose event loop must run. Returns null
// and sets `problem` (a phrase for the user) when there is nothing to play on.
using OpenSoundDevice = SoundDevice* (*)(int sampleRate, int bufferBytes, const char** problem);
inline constexpr char kOpenSoundDeviceSymbol[] = "vistrel_open_sound_device";
// The module's file name, beside the program or in the installed library folder.
inline constexpr char kSoundModuleFileName[] = "vistrel-sound.so";

}  // namespace vistrel
