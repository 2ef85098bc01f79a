#include "tools/audio_command.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <optional>
#include <vector>

#include <QFile>

#include "player/movie.h"
#include "player/player.h"
#include "player/sound/decode.h"
#include "player/sound/mixer.h"
#include "player/sound/stage_sound.h"
#include "player/stage.h"
#include "tools/command_line.h"
#include "tools/info_command.h"
#include "tools/input_script.h"

namespace vistrel::tools {

namespace {

void putU32(QByteArray& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xff));
}
void putU16(QByteArray& b, std::uint16_t v) {
    b.append(static_cast<char>(v & 0xff));
    b.append(static_cast<char>(v >> 8));
}

QByteArray wavFile(const std::vector<std::int16_t>& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    QByteArray b;
    b.append("RIFF");
    putU32(b, 36 + dataBytes);
    b.append("WAVEfmt ");
    putU32(b, 16);
    putU16(b, 1);   // integer PCM
    putU16(b, 2);
    putU32(b, sound::kOutputRate);
    putU32(b, sound::kOutputRate * 4);
    putU16(b, 4);
    putU16(b, 16);
    b.append("data");
    putU32(b, dataBytes);
    for (std::int16_t s : samples) putU16(b, static_cast<std::uint16_t>(s));
    return b;
}

const char* formatName(int format) {
    switch (format) {
    case swf::soundformat::kPcmNative: return "pcm";
    case swf::soundformat::kAdpcm: return "adpcm";
    case swf::soundformat::kMp3: return "mp3";
    case swf::soundformat::kPcmLittle: return "pcm-le";
    case swf::soundformat::kNelly16k:
    case swf::soundformat::kNelly8k:
    case swf::soundformat::kNelly: return "nellymoser";
    case swf::soundformat::kAlaw: return "alaw";
    case swf::soundformat::kMulaw: return "mulaw";
    case swf::soundformat::kSpeex: return "speex";
    default: return "unknown";
    }
}

// The movie's sounds in file order, one a line, for measuring scripts that pair them with another decoder.
void listSounds(const player::Movie& movie) {
    for (int entry : movie.soundOrder()) {
        if (entry < 0) {
            const auto& head = movie.rootTimeline().streamHead;
            if (!head) continue;
            int blocks = 0;
            for (const auto& f : movie.rootTimeline().frames) blocks += f.streamBlock ? 1 : 0;
            std::cout << "stream " << formatName(head->stream.format) << ' ' << head->stream.sampleRate() << ' '
                      << head->stream.channels() << " blocks " << blocks << '\n';
            continue;
        }
        const swf::DefineSound* def = movie.sound(static_cast<std::uint16_t>(entry));
        if (!def) continue;
        std::cout << "sound " << entry << ' ' << formatName(def->format.format) << ' ' << def->format.sampleRate()
                  << ' ' << def->format.channels() << " samples " << def->sampleCount << '\n';
    }
}

bool writeWav(const QString& path, const std::vector<std::int16_t>& samples) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(wavFile(samples)) >= 0) return true;
    std::cerr << "vistrel-tool audio: cannot write " << path.toStdString() << "\n";
    return false;
}

}  // namespace

int audioCommand(const QStringList& args) {
    const CommandLine command("audio", "[--frames N] [--input EVENTS.json] FILE OUT.wav | --list FILE | --sound ID FILE OUT.wav");
    QStringList rest = args;
    const bool list = rest.removeAll(QStringLiteral("--list")) > 0;
    std::optional<int> soundId;
    if (const qsizetype at = rest.indexOf(QStringLiteral("--sound")); at >= 0) {
        qsizetype i = at;
        soundId = command.intValue(rest, i, 0, 65535);
        if (!soundId) return kExitNotMovie;
        rest.remove(at, 2);
    }
    const auto options = command.parse(rest, {"--frames", "--input"});
    if (!options) return kExitNotMovie;
    if (list || soundId) {
        const qsizetype wanted = list ? 1 : 2;
        if (options->positional.size() != wanted)
            return command.usageError(list ? "expected FILE" : "expected FILE and OUT.wav");
        int exitCode = kExitOk;
        const auto movie = command.openMovie(options->positional[0], exitCode);
        if (!movie) return exitCode;
        if (list) {
            listSounds(*movie);
            return kExitOk;
        }
        const swf::DefineSound* def = movie->sound(static_cast<std::uint16_t>(*soundId));
        if (!def) {
            std::cerr << "vistrel-tool audio: the movie defines no sound " << *soundId << "\n";
            return kExitNotMovie;
        }
        // Exactly the samples an event sound of this id plays from.
        return writeWav(options->positional[1], *sound::decodeSound(*def)) ? kExitOk : kExitNotMovie;
    }
    int frames = options->frames.value_or(0);   // 0: every frame once
    const QStringList& positional = options->positional;
    if (positional.size() != 2) return command.usageError("expected FILE and OUT.wav");
    int exitCode = kExitOk;
    std::optional<InputScript> script;
    if (!options->input.isEmpty() && !(script = loadInputScript(options->input, "audio", exitCode))) return exitCode;
    const auto movie = command.openMovie(positional[0], exitCode);
    if (!movie) return exitCode;
    player::Player player(movie, {}, player::DateClock::Frames);
    InputReplay replay(player);
    // Batch i of the events goes after frame i + 1 has run, as in the other commands.
    auto sendBatch = [&](int framesRun) {
        const auto batch = static_cast<std::size_t>(framesRun - 1);
        if (script && batch < script->batches.size())
            for (const InputEvent& event : script->batches[batch]) replay.send(event);
    };
    sendBatch(1);
    player.setSoundDevicePulling(true);   // this command is the device: it takes each frame's mix
    if (frames == 0) frames = player.frameCount();
    const auto mixer = player.mixer();
    player::StageSound& sound = player.stage().sound();
    const std::uint64_t root = player.stage().root().serial();
    const double perFrame = sound::kOutputRate / movie->playbackRate();
    std::vector<std::int16_t> out;
    std::uint64_t mixed = 0;
    int reached = 1;   // the first frame runs as the player is made
    // One period of the frame-rate clock at a time, moving the timeline on as the viewer's timer does:
    // one frame a period, or while the root's stream sound plays, as many as keep that sound queued
    // ahead of the device. After the last frame the queued stream sound still plays out.
    for (std::uint64_t tick = 0;; ++tick) {
        if (reached < frames) {
            // At the start the device has pulled nothing yet: only the stream sound's lead is filled.
            int due = tick == 0 ? std::max(sound.framesDue(root, movie->playbackRate()), 0) : player.framesDue();
            for (; due > 0 && reached < frames; --due) {
                player.nextFrame();
                sendBatch(++reached);
            }
        } else if (tick > 0 && mixer->streamQueued(root) == 0) {
            break;
        }
        // Each period's share of the clock, rounded so that the total never drifts.
        const auto until = static_cast<std::uint64_t>(std::llround(double(tick + 1) * perFrame));
        const std::size_t n = static_cast<std::size_t>(until - mixed);
        if (out.size() / 2 + n > sound::kMaxSoundFrames * 6) {
            std::cerr << "vistrel-tool audio: the movie plays longer than an hour; the rest is left out\n";
            break;
        }
        const std::size_t at = out.size();
        out.resize(at + n * 2);
        mixer->mix(out.data() + at, n);
        mixed = until;
    }
    return writeWav(positional[1], out) ? kExitOk : kExitNotMovie;
}

}  // namespace vistrel::tools
