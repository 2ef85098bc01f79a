#include "tools/audio_command.h"

#include <cmath>
#include <cstdint>
#include <iostream>
#include <vector>

#include <QFile>

#include "player/movie.h"
#include "player/player.h"
#include "player/sound/decode.h"
#include "player/sound/mixer.h"
#include "tools/command_line.h"
#include "tools/info_command.h"

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

}  // namespace

int audioCommand(const QStringList& args) {
    const CommandLine command("audio", "[--frames N] FILE OUT.wav");
    const auto options = command.parse(args, {"--frames"});
    if (!options) return kExitNotMovie;
    int frames = options->frames.value_or(0);   // 0: every frame once
    const QStringList& positional = options->positional;
    if (positional.size() != 2) return command.usageError("expected FILE and OUT.wav");
    int exitCode = kExitOk;
    const auto movie = command.openMovie(positional[0], exitCode);
    if (!movie) return exitCode;
    player::Player player(movie);
    player.setSoundDevicePulling(true);   // this command is the device: it takes each frame's mix
    if (frames == 0) frames = player.frameCount();
    const auto mixer = player.mixer();
    const double perFrame = sound::kOutputRate / movie->playbackRate();
    std::vector<std::int16_t> out;
    std::uint64_t mixed = 0;
    // Each frame's share of the clock, rounded so that the total never drifts.
    for (int i = 0; i < frames; ++i) {
        if (i > 0) player.nextFrame();
        const auto until = static_cast<std::uint64_t>(std::llround((i + 1) * perFrame));
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
    QFile file(positional[1]);
    if (!file.open(QIODevice::WriteOnly) || file.write(wavFile(out)) < 0) {
        std::cerr << "vistrel-tool audio: cannot write " << positional[1].toStdString() << "\n";
        return kExitNotMovie;
    }
    return kExitOk;
}

}  // namespace vistrel::tools
