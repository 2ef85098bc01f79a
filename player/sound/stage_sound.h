// The sound side of a stage: decodes each event sound once per movie, starts and stops sounds as
// timelines and scripts ask, feeds each timeline's stream sound to its own mixer channel, and tells
// the viewer how far the picture must move to keep up with the root timeline's stream sound.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "player/sound/decode.h"
#include "player/sound/mixer.h"
#include "player/swf/tags_sound.h"

namespace vistrel::player {

class Movie;
class SpriteInstance;
struct DisplayObject;

// The channel mix a clip's sounds play with: its Sound settings (volume and transform) after those of
// every clip holding it.
sound::ChannelMix channelMixOf(const DisplayObject* clip);

class StageSound {
public:
    StageSound();
    ~StageSound();

    // Shared with the output device, which pulls the mix from its own thread.
    const std::shared_ptr<sound::Mixer>& mixer() const { return m_mixer; }
    // Off: nothing starts and what plays stops (frame stepping in the viewer plays no sound).
    void setEnabled(bool on);
    bool enabled() const { return m_enabled; }

    // An event sound of `movie` by id, with the way it plays. Returns the voice, 0 when none started.
    std::uint64_t startSound(const Movie& movie, std::uint16_t id, const swf::SoundInfo& info, std::uint64_t group = 0);
    // The decoded samples of a sound (made on first use), null when the movie defines none with the id.
    sound::SharedSamples samples(const Movie& movie, std::uint16_t id);
    // What a frame a timeline reached by playing or by a jump holds: its event sounds, its stream block.
    void frameReached(SpriteInstance& sprite, int frame);
    // The mixer group of a clip's sounds: what its timeline, its buttons and Sound objects on it start.
    static std::uint64_t groupOf(const DisplayObject* clip) { return reinterpret_cast<std::uintptr_t>(clip); }
    // The group of a clip about to start a sound, its mix brought up to date; 0 (no group) for none.
    std::uint64_t prepareGroup(const DisplayObject* clip);
    // A script changed the Sound settings of `clip`: what plays in it and in the clips it holds follows.
    void mixChanged(const DisplayObject& clip);
    // The timeline's stream sound stops (it left the stage, or its movie was replaced).
    void streamStop(std::uint64_t serial);
    void stopAll();

    // Frames the timeline `serial` should move on now for its stream sound to stay ahead of what the
    // device plays; -1 when that timeline's stream sound does not lead (none plays, or no device pulls).
    int framesDue(std::uint64_t serial, double framesPerSecond) const;
    // Set by the output while a device pulls the mix: only then is the stream sound the clock.
    void setDevicePulling(bool on) { m_devicePulling = on; }
    // One frame period of the virtual clock passed. With no device pulling, the mix of that period is taken
    // and dropped here, so that sounds still move on and end (scripts see positions and completions).
    void tick(double ms);
    // Called for each voice that ended by itself, from tick().
    void setFinishedHandler(std::function<void(std::uint64_t)> handler) { m_finished = std::move(handler); }

private:
    struct StreamState;
    std::shared_ptr<sound::Mixer> m_mixer;
    std::map<std::pair<const Movie*, std::uint16_t>, sound::SharedSamples> m_cache;
    std::map<std::uint64_t, std::unique_ptr<StreamState>> m_streams;
    bool m_enabled = true;
    bool m_devicePulling = false;
    double m_clockFrames = 0;   // frames the silent clock still owes
    std::function<void(std::uint64_t)> m_finished;
};

}  // namespace vistrel::player
