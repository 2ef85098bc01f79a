// Mixes every sound playing in one player into 44.1 kHz stereo 16-bit: event sounds with their
// loops, in and out points and envelopes, and stream channels fed block by block. The stage starts and
// stops sounds on its thread; the output device pulls the mix on its own, so every call locks.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "player/sound/decode.h"
#include "player/swf/tags_sound.h"

namespace vistrel::sound {

// How a sound's two channels reach the two outputs: left output = ll * left + lr * right, right output =
// rr * right + rl * left. Scripts set it per clip; a clip's sounds hear the product of its holders'.
struct ChannelMix {
    float ll = 1, lr = 0, rr = 1, rl = 0;
    bool operator==(const ChannelMix&) const = default;
    // This mix applied after `inner`.
    ChannelMix after(const ChannelMix& inner) const {
        return {ll * inner.ll + lr * inner.rl, ll * inner.lr + lr * inner.rr, rl * inner.lr + rr * inner.rr,
                rl * inner.ll + rr * inner.rl};
    }
};

// Event sounds playing at once, at most; more are refused while this many play.
inline constexpr std::size_t kMaxVoices = 256;
// Stream samples one channel may hold waiting to play (ten seconds); more are dropped.
inline constexpr std::size_t kMaxStreamFrames = std::size_t(kOutputRate) * 10;

class Mixer {
public:
    // Starts an event sound; the samples' address names the sound for the sync flags and stop().
    // `group` tags the voice for volume and stop by owner (0: none). Returns the voice id, 0 when
    // nothing started (a stop, no-multiple while playing, too many voices, nothing to play).
    std::uint64_t start(const SharedSamples& samples, const swf::SoundInfo& info, std::uint64_t group = 0);
    void stop(const Samples* sound);            // every voice of this sound
    void stopVoice(std::uint64_t voice);
    void stopGroup(std::uint64_t group);
    bool playing(const Samples* sound) const;
    bool voicePlaying(std::uint64_t voice) const;
    // Frames a voice has played of its sound (loops wrap), 0 when it is gone.
    std::uint64_t voicePosition(std::uint64_t voice) const;
    // The channel mix of a group (scripts' volume, pan and transform), as it is by default.
    void setGroupMix(std::uint64_t group, const ChannelMix& mix);
    // The groups voices play in now.
    std::vector<std::uint64_t> groupsPlaying() const;
    // Voices that ended by themselves since the last call.
    std::vector<std::uint64_t> takeFinished();

    // Stream channels: samples arrive as the timeline reaches them. Ids are the caller's.
    void streamAppend(std::uint64_t stream, std::span<const std::int16_t> samples);
    void streamStop(std::uint64_t stream);
    bool streamActive(std::uint64_t stream) const;
    // Frames queued and not yet played.
    std::size_t streamQueued(std::uint64_t stream) const;
    // The channel mix of a stream channel that exists (scripts' volume, pan and transform).
    void streamSetMix(std::uint64_t stream, const ChannelMix& mix);

    void stopAll();
    std::size_t voiceCount() const;

    // Mixes `frames` stereo frames into `out` (2 * frames samples), advancing every sound.
    void mix(std::int16_t* out, std::size_t frames);
    // Frames mixed since the mixer was made.
    std::uint64_t framesMixed() const;

private:
    struct Voice {
        std::uint64_t id = 0;
        std::uint64_t group = 0;
        SharedSamples samples;
        std::size_t begin = 0, end = 0;   // frames: the in and out points
        std::size_t pos = 0;               // next frame to play
        int loopsLeft = 1;
        std::uint64_t elapsed = 0;         // frames played, over all loops (the envelope's clock)
        std::vector<swf::EnvelopePoint> envelope;
    };
    struct Stream {
        std::uint64_t id = 0;
        std::deque<std::int16_t> queue;
        ChannelMix mix;
    };
    void envelopeAt(const Voice& v, float& left, float& right) const;
    ChannelMix mixOf(std::uint64_t group) const;

    mutable std::mutex m_mutex;
    std::vector<Voice> m_voices;
    std::vector<Stream> m_streams;
    std::map<std::uint64_t, ChannelMix> m_groupMixes;   // groups whose mix is not the default
    std::vector<std::uint64_t> m_finished;
    std::vector<std::int32_t> m_accumulator;
    std::uint64_t m_nextVoice = 1;
    std::uint64_t m_framesMixed = 0;
};

}  // namespace vistrel::sound
