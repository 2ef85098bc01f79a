#include "player/sound/mixer.h"

#include <algorithm>
#include <utility>

namespace vistrel::sound {

std::uint64_t Mixer::start(const SharedSamples& samples, const swf::SoundInfo& info, std::uint64_t group) {
    std::lock_guard lock(m_mutex);
    if (info.syncStop) {
        std::erase_if(m_voices, [&](const Voice& v) { return v.samples == samples; });
        return 0;
    }
    if (!samples || samples->size() < 2) return 0;
    if (info.syncNoMultiple &&
        std::any_of(m_voices.begin(), m_voices.end(), [&](const Voice& v) { return v.samples == samples; }))
        return 0;
    if (m_voices.size() >= kMaxVoices) return 0;
    Voice v;
    v.id = m_nextVoice++;
    v.group = group;
    v.samples = samples;
    const std::size_t frames = samples->size() / 2;
    v.begin = std::min<std::size_t>(info.inPoint.value_or(0), frames);
    v.end = info.outPoint ? std::min<std::size_t>(*info.outPoint, frames) : frames;
    if (v.end <= v.begin) return 0;
    v.pos = v.begin;
    v.loopsLeft = std::max<int>(1, info.loops);
    v.envelope = info.envelope;
    m_voices.push_back(std::move(v));
    return m_voices.back().id;
}

void Mixer::stop(const Samples* sound) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_voices, [&](const Voice& v) { return v.samples.get() == sound; });
}

void Mixer::stopVoice(std::uint64_t voice) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_voices, [&](const Voice& v) { return v.id == voice; });
}

void Mixer::stopGroup(std::uint64_t group) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_voices, [&](const Voice& v) { return v.group == group; });
}

bool Mixer::playing(const Samples* sound) const {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_voices.begin(), m_voices.end(), [&](const Voice& v) { return v.samples.get() == sound; });
}

bool Mixer::voicePlaying(std::uint64_t voice) const {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_voices.begin(), m_voices.end(), [&](const Voice& v) { return v.id == voice; });
}

std::uint64_t Mixer::voicePosition(std::uint64_t voice) const {
    std::lock_guard lock(m_mutex);
    for (const Voice& v : m_voices)
        if (v.id == voice) return v.pos;
    return 0;
}

void Mixer::setGroupMix(std::uint64_t group, const ChannelMix& mix) {
    std::lock_guard lock(m_mutex);
    if (mix == ChannelMix{}) m_groupMixes.erase(group);
    else m_groupMixes[group] = mix;
}

std::vector<std::uint64_t> Mixer::groupsPlaying() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::uint64_t> groups;
    for (const Voice& v : m_voices)
        if (std::find(groups.begin(), groups.end(), v.group) == groups.end()) groups.push_back(v.group);
    return groups;
}

std::vector<std::uint64_t> Mixer::takeFinished() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_finished, {});
}

void Mixer::streamAppend(std::uint64_t stream, std::span<const std::int16_t> samples) {
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_streams.begin(), m_streams.end(), [&](const Stream& s) { return s.id == stream; });
    if (it == m_streams.end()) {
        Stream fresh;
        fresh.id = stream;
        m_streams.push_back(std::move(fresh));
        it = m_streams.end() - 1;
    }
    const std::size_t room = kMaxStreamFrames * 2 - std::min(kMaxStreamFrames * 2, it->queue.size());
    const std::size_t n = std::min(room, samples.size() & ~std::size_t(1));
    it->queue.insert(it->queue.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(n));
}

void Mixer::streamStop(std::uint64_t stream) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_streams, [&](const Stream& s) { return s.id == stream; });
}

bool Mixer::streamActive(std::uint64_t stream) const {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_streams.begin(), m_streams.end(), [&](const Stream& s) { return s.id == stream; });
}

std::size_t Mixer::streamQueued(std::uint64_t stream) const {
    std::lock_guard lock(m_mutex);
    for (const Stream& s : m_streams)
        if (s.id == stream) return s.queue.size() / 2;
    return 0;
}

void Mixer::streamSetMix(std::uint64_t stream, const ChannelMix& mix) {
    std::lock_guard lock(m_mutex);
    for (Stream& s : m_streams)
        if (s.id == stream) s.mix = mix;
}

void Mixer::stopAll() {
    std::lock_guard lock(m_mutex);
    m_voices.clear();
    m_streams.clear();
}

std::size_t Mixer::voiceCount() const {
    std::lock_guard lock(m_mutex);
    return m_voices.size();
}

std::uint64_t Mixer::framesMixed() const {
    std::lock_guard lock(m_mutex);
    return m_framesMixed;
}

ChannelMix Mixer::mixOf(std::uint64_t group) const {
    const auto it = m_groupMixes.find(group);
    return it == m_groupMixes.end() ? ChannelMix{} : it->second;
}

void Mixer::envelopeAt(const Voice& v, float& left, float& right) const {
    const auto& e = v.envelope;
    if (e.empty()) {
        left = right = 1;
        return;
    }
    // Levels run 0..32768; between points they change in a straight line.
    std::size_t i = 0;
    while (i < e.size() && e[i].position <= v.elapsed) ++i;
    if (i == 0) {
        left = e.front().left / 32768.0f;
        right = e.front().right / 32768.0f;
    } else if (i == e.size()) {
        left = e.back().left / 32768.0f;
        right = e.back().right / 32768.0f;
    } else {
        const auto& a = e[i - 1];
        const auto& b = e[i];
        const double span = double(b.position) - a.position;
        const double t = span > 0 ? (double(v.elapsed) - a.position) / span : 1.0;
        left = static_cast<float>((a.left + (b.left - a.left) * t) / 32768.0);
        right = static_cast<float>((a.right + (b.right - a.right) * t) / 32768.0);
    }
}

void Mixer::mix(std::int16_t* out, std::size_t frames) {
    std::lock_guard lock(m_mutex);
    m_accumulator.assign(frames * 2, 0);
    std::int32_t* acc = m_accumulator.data();
    for (Voice& v : m_voices) {
        const ChannelMix g = mixOf(v.group);
        const std::int16_t* s = v.samples->data();
        std::size_t f = 0;
        while (f < frames && v.loopsLeft > 0) {
            // The envelope is read every 32 frames: fine enough for its slow ramps, cheap enough for many voices.
            float el = 1, er = 1;
            envelopeAt(v, el, er);
            const float ll = el * g.ll, lr = er * g.lr, rr = er * g.rr, rl = el * g.rl;
            const std::size_t n = std::min({frames - f, v.end - v.pos, std::size_t(32)});
            for (std::size_t k = 0; k < n; ++k) {
                const float left = s[2 * (v.pos + k)], right = s[2 * (v.pos + k) + 1];
                acc[2 * (f + k)] += static_cast<std::int32_t>(left * ll + right * lr);
                acc[2 * (f + k) + 1] += static_cast<std::int32_t>(right * rr + left * rl);
            }
            f += n;
            v.pos += n;
            v.elapsed += n;
            if (v.pos >= v.end) {
                --v.loopsLeft;
                v.pos = v.begin;
            }
        }
    }
    std::erase_if(m_voices, [&](const Voice& v) {
        if (v.loopsLeft > 0) return false;
        m_finished.push_back(v.id);
        return true;
    });
    if (m_finished.size() > 4096) m_finished.erase(m_finished.begin(), m_finished.end() - 4096);
    for (Stream& s : m_streams) {
        const std::size_t n = std::min(frames * 2, s.queue.size());
        if (s.mix == ChannelMix{}) {
            for (std::size_t k = 0; k < n; ++k) acc[k] += s.queue[k];
        } else {
            const ChannelMix& g = s.mix;
            for (std::size_t k = 0; k + 1 < n; k += 2) {
                const float left = s.queue[k], right = s.queue[k + 1];
                acc[k] += static_cast<std::int32_t>(left * g.ll + right * g.lr);
                acc[k + 1] += static_cast<std::int32_t>(right * g.rr + left * g.rl);
            }
        }
        s.queue.erase(s.queue.begin(), s.queue.begin() + static_cast<std::ptrdiff_t>(n));
    }
    for (std::size_t k = 0; k < frames * 2; ++k) out[k] = static_cast<std::int16_t>(std::clamp(acc[k], -32768, 32767));
    m_framesMixed += frames;
}

}  // namespace vistrel::sound
