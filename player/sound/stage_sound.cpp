#include "player/sound/stage_sound.h"

#include <algorithm>
#include <cmath>

#include "player/display_list.h"
#include "player/movie.h"
#include "player/timeline.h"

namespace vistrel::player {

namespace {

// Sounds one movie may keep decoded; past this, older ones are decoded again when next used.
constexpr std::size_t kMaxCachedSounds = 512;
// How far the stream sound is kept ahead of the device, in seconds: at least this, and at least a frame
// and the timer's slack with kStreamReserve still queued when the picture has to catch up.
constexpr double kStreamLead = 0.12;
constexpr double kStreamReserve = 0.02;
// How late a frame tick may come, in seconds, before the picture skips a drawing to keep up.
constexpr double kTimerSlack = 0.05;
// Frames one call may ask the picture to catch up by.
constexpr int kMaxCatchUp = 8;

// A clip's own Sound settings as a channel mix.
sound::ChannelMix ownMix(const DisplayObject& c) {
    const double v = c.soundVolume / 100.0;
    auto share = [v](double percent) { return static_cast<float>(std::max(0.0, v * percent / 100.0)); };
    return {share(c.soundLL), share(c.soundLR), share(c.soundRR), share(c.soundRL)};
}

}  // namespace

sound::ChannelMix channelMixOf(const DisplayObject* clip) {
    sound::ChannelMix mix;
    for (const DisplayObject* c = clip; c; c = c->parent ? c->parent->owner() : nullptr) mix = ownMix(*c).after(mix);
    return mix;
}

struct StageSound::StreamState {
    std::unique_ptr<sound::Decoder> decoder;
    int lastFrame = -1;
    std::size_t skip = 0;   // frames of decoder latency still to drop at the start
};

StageSound::StageSound() : m_mixer(std::make_shared<sound::Mixer>()) {}

StageSound::~StageSound() = default;

void StageSound::setEnabled(bool on) {
    m_enabled = on;
    if (!on) stopAll();
}

sound::SharedSamples StageSound::samples(const Movie& movie, std::uint16_t id) {
    const swf::DefineSound* def = movie.sound(id);
    if (!def) return nullptr;
    auto key = std::make_pair(&movie, id);
    if (auto it = m_cache.find(key); it != m_cache.end()) return it->second;
    if (m_cache.size() >= kMaxCachedSounds) m_cache.erase(m_cache.begin());
    sound::SharedSamples decoded = sound::decodeSound(*def);
    m_cache.emplace(key, decoded);
    return decoded;
}

std::uint64_t StageSound::startSound(const Movie& movie, std::uint16_t id, const swf::SoundInfo& info,
                                     std::uint64_t group) {
    if (!m_enabled) return 0;
    // A stop needs no samples decoded when the sound was never played.
    if (info.syncStop) {
        auto it = m_cache.find(std::make_pair(&movie, id));
        if (it != m_cache.end()) m_mixer->stop(it->second.get());
        return 0;
    }
    sound::SharedSamples s = samples(movie, id);
    if (!s) return 0;
    return m_mixer->start(s, info, group);
}

void StageSound::frameReached(SpriteInstance& sprite, int frame) {
    if (!m_enabled) return;
    const Timeline& timeline = sprite.timeline();
    if (frame < 0 || frame >= static_cast<int>(timeline.frames.size())) return;
    const Frame& f = timeline.frames[static_cast<std::size_t>(frame)];
    for (const swf::StartSound& start : f.sounds) {
        std::uint16_t id = start.soundId;
        if (!start.className.empty())
            id = sprite.movie().exportedCharacter(sprite.movie().decodeString(start.className));
        startSound(sprite.movie(), id, start.info, prepareGroup(sprite.owner()));
    }
    if (!timeline.streamHead) return;
    const swf::SoundStreamHead& head = *timeline.streamHead;
    // A jump breaks the stream: what was queued goes, the codec starts afresh. A frame that merely holds
    // no block (blocks need not fill every frame) does not: what is queued plays on.
    if (auto it = m_streams.find(sprite.serial()); it != m_streams.end()) {
        if (it->second->lastFrame + 1 != frame) {
            m_streams.erase(it);
            m_mixer->streamStop(sprite.serial());
        } else if (!f.streamBlock) {
            it->second->lastFrame = frame;
        }
    }
    if (!f.streamBlock) return;
    auto& state = m_streams[sprite.serial()];
    if (!state) {
        state = std::make_unique<StreamState>();
        state->decoder = std::make_unique<sound::Decoder>(head.stream);
        // A stream starting at a block, after a jump as well as at its first, drops that block's seek
        // samples: what its first MP3 frames hold from before this frame. A first block that gives none
        // leaves it to the head's latency.
        int seek = sound::streamBlockSeek(head.stream, *f.streamBlock);
        const bool first = std::none_of(timeline.frames.begin(), timeline.frames.begin() + frame,
                                        [](const Frame& earlier) { return earlier.streamBlock != nullptr; });
        if (seek <= 0 && first && head.stream.format == swf::soundformat::kMp3) seek = head.latencySeek;
        if (seek > 0)
            state->skip = static_cast<std::size_t>(
                std::lround(seek * double(sound::kOutputRate) / std::max(1, head.stream.sampleRate())));
    }
    state->lastFrame = frame;
    sound::Samples pcm;
    state->decoder->decode(sound::streamBlockAudio(head.stream, *f.streamBlock), pcm);
    std::span<const std::int16_t> out(pcm);
    const std::size_t drop = std::min(state->skip, out.size() / 2);
    state->skip -= drop;
    m_mixer->streamAppend(sprite.serial(), out.subspan(drop * 2));
    m_mixer->streamSetMix(sprite.serial(), channelMixOf(sprite.owner()));
}

std::uint64_t StageSound::prepareGroup(const DisplayObject* clip) {
    if (!clip) return 0;
    m_mixer->setGroupMix(groupOf(clip), channelMixOf(clip));
    return groupOf(clip);
}

void StageSound::mixChanged(const DisplayObject& clip) {
    const std::vector<std::uint64_t> playing = m_mixer->groupsPlaying();
    const DisplayObject* holder = clip.parent ? clip.parent->owner() : nullptr;
    // The clip and everything it holds, each with the mix of its holders; no recursion, however deep.
    std::vector<std::pair<const DisplayObject*, sound::ChannelMix>> todo{{&clip, channelMixOf(holder)}};
    while (!todo.empty()) {
        const auto [o, outer] = todo.back();
        todo.pop_back();
        const sound::ChannelMix mix = outer.after(ownMix(*o));
        if (std::find(playing.begin(), playing.end(), groupOf(o)) != playing.end()) m_mixer->setGroupMix(groupOf(o), mix);
        if (!o->sprite) continue;
        if (m_streams.count(o->sprite->serial())) m_mixer->streamSetMix(o->sprite->serial(), mix);
        for (const auto& [depth, child] : o->sprite->children()) todo.emplace_back(child.get(), mix);
    }
}

void StageSound::tick(double ms) {
    if (!m_devicePulling && ms > 0) {
        m_clockFrames += std::min(ms, 1000.0) * sound::kOutputRate / 1000.0;
        const auto frames = static_cast<std::size_t>(m_clockFrames);
        m_clockFrames -= static_cast<double>(frames);
        sound::Samples scratch(frames * 2);
        m_mixer->mix(scratch.data(), frames);
    }
    for (std::uint64_t voice : m_mixer->takeFinished())
        if (m_finished) m_finished(voice);
}

void StageSound::streamStop(std::uint64_t serial) {
    m_streams.erase(serial);
    m_mixer->streamStop(serial);
}

void StageSound::stopAll() {
    m_streams.clear();
    m_mixer->stopAll();
}

int StageSound::framesDue(std::uint64_t serial, double framesPerSecond) const {
    if (!m_devicePulling || !m_enabled || framesPerSecond <= 0) return -1;
    if (!m_streams.count(serial)) return -1;
    // A stretch without blocks (or the end of the sound) leaves the pace to the frame rate.
    const double queued = static_cast<double>(m_mixer->streamQueued(serial));
    if (queued <= 0) return -1;
    const double perFrame = sound::kOutputRate / framesPerSecond;
    // The frame timer is late now and then, so what is queued swings by that much between ticks. A tick
    // up to half a frame (at most kTimerSlack) late still moves one frame, and the picture waits only
    // once it is a whole frame ahead: small swings neither skip a drawing nor hold one back. The lead
    // keeps the sound queued past the point where the picture catches up.
    const double slack = std::min(perFrame / 2, kTimerSlack * sound::kOutputRate);
    const double lead = std::max(kStreamLead * sound::kOutputRate, perFrame + slack + kStreamReserve * sound::kOutputRate);
    if (queued >= lead + perFrame) return 0;
    return std::clamp(static_cast<int>(std::ceil((lead - slack - queued) / perFrame)), 1, kMaxCatchUp);
}

}  // namespace vistrel::player
