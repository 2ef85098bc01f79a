#include "tests/sound/sound_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace vistrel::testing {

std::vector<std::int16_t> tone(double hz, double secs, int rate, int channels, double amplitude) {
    const auto frames = static_cast<std::size_t>(secs * rate);
    std::vector<std::int16_t> out;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
        for (int c = 0; c < channels; ++c) out.push_back(v);
    }
    return out;
}

Bytes littleEndian(const std::vector<std::int16_t>& samples) {
    Bytes b;
    for (std::int16_t s : samples) {
        b.push_back(static_cast<std::uint8_t>(s & 0xff));
        b.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(s) >> 8) & 0xff));
    }
    return b;
}

namespace {

std::optional<Bytes> runFfmpeg(const QStringList& output, const QString& file, double hz, double secs, int rate,
                               int channels, QTemporaryDir& dir) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty() || !dir.isValid()) return std::nullopt;
    QStringList args = {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                        QStringLiteral("sine=frequency=%1:duration=%2:sample_rate=%3").arg(hz).arg(secs).arg(rate),
                        QStringLiteral("-ac"), QString::number(channels)};
    args << output << dir.filePath(file);
    QProcess p;
    p.start(ffmpeg, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return std::nullopt;
    QFile f(dir.filePath(file));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray data = f.readAll();
    return Bytes(data.begin(), data.end());
}

}  // namespace

std::optional<std::vector<Bytes>> encodeWithFfmpeg(const std::string& codec, double hz, double secs, int rate,
                                                   int channels) {
    QTemporaryDir dir;
    auto flv = runFfmpeg({QStringLiteral("-c:a"), QString::fromStdString(codec), QStringLiteral("-f"),
                          QStringLiteral("flv")},
                         QStringLiteral("out.flv"), hz, secs, rate, channels, dir);
    if (!flv || flv->size() < 13) return std::nullopt;
    // FLV: a 9-byte header and a 4-byte size, then tags of type, 24-bit size, timestamp, stream id and data.
    std::vector<Bytes> packets;
    std::size_t at = ((*flv)[5] << 24 | (*flv)[6] << 16 | (*flv)[7] << 8 | (*flv)[8]) + 4;
    while (at + 11 <= flv->size()) {
        const int type = (*flv)[at];
        const std::size_t size = (*flv)[at + 1] << 16 | (*flv)[at + 2] << 8 | (*flv)[at + 3];
        if (at + 11 + size > flv->size()) break;
        if (type == 8 && size > 1)
            packets.emplace_back(flv->begin() + static_cast<std::ptrdiff_t>(at + 12),
                                 flv->begin() + static_cast<std::ptrdiff_t>(at + 11 + size));
        at += 11 + size + 4;
    }
    if (packets.empty()) return std::nullopt;
    return packets;
}

std::optional<Bytes> encodeMp3(double hz, double secs, int rate, int channels) {
    QTemporaryDir dir;
    return runFfmpeg({QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                      QStringLiteral("64k"), QStringLiteral("-write_xing"), QStringLiteral("0"),
                      QStringLiteral("-id3v2_version"), QStringLiteral("0"), QStringLiteral("-f"),
                      QStringLiteral("mp3")},
                     QStringLiteral("out.mp3"), hz, secs, rate, channels, dir);
}

double seconds(const sound::Samples& s) { return static_cast<double>(s.size() / 2) / sound::kOutputRate; }

double measuredFrequency(const sound::Samples& s) {
    const std::size_t frames = s.size() / 2;
    if (frames < 100) return 0;
    const std::size_t from = frames / 4, to = frames * 3 / 4;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        if ((s[2 * (i - 1)] < 0) != (s[2 * i] < 0)) ++crossings;
    return crossings / 2.0 / (static_cast<double>(to - from) / sound::kOutputRate);
}

double peak(const sound::Samples& s, std::size_t from, std::size_t to) {
    int m = 0;
    for (std::size_t i = from; i < std::min(to, s.size()); ++i) m = std::max(m, std::abs(int(s[i])));
    return m;
}

Bytes soundInfo(const SoundInfoSpec& s) {
    ByteWriter w;
    std::uint8_t flags = 0;
    if (s.stop) flags |= 0x20;
    if (s.noMultiple) flags |= 0x10;
    if (!s.envelope.empty()) flags |= 0x08;
    if (s.loops) flags |= 0x04;
    if (s.out) flags |= 0x02;
    if (s.in) flags |= 0x01;
    w.u8(flags);
    if (s.in) w.u32(*s.in);
    if (s.out) w.u32(*s.out);
    if (s.loops) w.u16(*s.loops);
    if (!s.envelope.empty()) {
        w.u8(static_cast<std::uint8_t>(s.envelope.size()));
        for (const auto& p : s.envelope) w.u32(p[0]).u16(static_cast<std::uint16_t>(p[1])).u16(static_cast<std::uint16_t>(p[2]));
    }
    return w.take();
}

Bytes defineSound(std::uint16_t id, int format, int rateCode, bool sixteen, bool stereo, std::uint32_t samples,
                  const Bytes& data) {
    ByteWriter w;
    w.u16(id).u8(static_cast<std::uint8_t>(format << 4 | rateCode << 2 | (sixteen ? 2 : 0) | (stereo ? 1 : 0)));
    w.u32(samples).bytes(data);
    return tag(14, w.take());
}

Bytes startSound(std::uint16_t id, const SoundInfoSpec& info) {
    ByteWriter w;
    w.u16(id).bytes(soundInfo(info));
    return tag(15, w.take());
}

Bytes startSound2(const std::string& className, const SoundInfoSpec& info) {
    ByteWriter w;
    w.string(className).bytes(soundInfo(info));
    return tag(89, w.take());
}

Bytes soundStreamHead(int version, int format, int rateCode, bool sixteen, bool stereo, std::uint16_t perBlock,
                      std::optional<std::int16_t> latency) {
    ByteWriter w;
    const auto bits = static_cast<std::uint8_t>(rateCode << 2 | (sixteen ? 2 : 0) | (stereo ? 1 : 0));
    w.u8(bits).u8(static_cast<std::uint8_t>(format << 4 | bits)).u16(perBlock);
    if (latency) w.s16(*latency);
    return tag(version == 2 ? 45 : 18, w.take());
}

Bytes soundStreamBlock(const Bytes& data) { return tag(19, data, true); }

}  // namespace vistrel::testing
