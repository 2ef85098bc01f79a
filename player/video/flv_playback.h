// Plays an FLV file on a clock the caller moves: the tags up to the clock's time are passed in file
// order, the last video picture among them is the one shown, their audio is decoded for the mixer and
// their script data (metadata, cue points) handed back.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <QByteArray>
#include <QImage>

#include "player/sound/decode.h"
#include "player/video/amf0.h"
#include "player/video/flv_reader.h"

namespace vistrel::player::video {

class AheadDecoder;

class FlvPlayback {
public:
    explicit FlvPlayback(QByteArray bytes);
    ~FlvPlayback();
    FlvPlayback(const FlvPlayback&) = delete;
    FlvPlayback& operator=(const FlvPlayback&) = delete;

    bool valid() const { return m_file.valid; }
    std::int64_t byteSize() const { return m_bytes->size(); }
    double timeMs() const { return m_timeMs; }
    // Every tag has been passed and every picture shown.
    bool atEnd() const { return tagsPassed() && m_due.empty(); }

    struct Step {
        std::vector<std::vector<AmfValue>> scripts;   // the values of each script data tag passed
        bool ended = false;                            // the last tag has been passed
        bool pictureChanged = false;
    };
    // Moves the clock on by `ms` (0: only the tags at the current time) and passes the tags it reaches.
    Step advance(double ms);
    // To the first video key frame showing at or after `ms` (the first tag there when there is no video),
    // or to the last tag's time when none lies beyond; 0 or less goes back to the start.
    void seek(double ms);
    // Samples (44.1 kHz stereo) decoded from the audio tags passed since the last call.
    void takeAudio(sound::Samples& out);

    // The picture of the last video tag passed (null before the first); safe from any thread.
    QImage picture() const;
    int videoPacket() const { return m_shown.load(); }
    // Video packets decoded so far, and whether a worker thread decodes them.
    std::uint64_t framesDecoded() const;
    bool decodesOnThread() const;
    bool videoCodecAvailable() const;

private:
    void passTag(const FlvTag& tag, Step& step);
    bool tagsPassed() const { return m_next >= m_file.tags.size(); }
    int pickDue(int shown);

    std::shared_ptr<const QByteArray> m_bytes;
    FlvFile m_file;
    std::size_t m_next = 0;            // next tag to pass
    double m_timeMs = 0;
    int m_videoCodec = -1;
    std::vector<int> m_videoIndex;     // tag number -> video packet number, -1 for other tags
    std::vector<std::uint8_t> m_adjust;   // VP6 size adjustment of each video packet
    // H.264 pictures show at their own times (decode time plus composition time), not in file order.
    bool m_reorders = false;
    std::vector<std::int64_t> m_showAt;   // video packet -> when its picture shows
    std::vector<int> m_due;               // video packets passed whose time has not come yet
    std::int64_t m_shownAt = 0;
    bool m_shownSinceSeek = false;        // a picture's own time has come since the start or the last seek
    double m_audioFrom = 0;               // audio before this time, passed on the way to a seek point, is dropped
    std::unique_ptr<AheadDecoder> m_decoder;
    std::atomic<int> m_shown{-1};
    struct Audio;
    std::unique_ptr<Audio> m_audio;
};

// What a Video object shows of the stream a script attached to it: the stream's current file. Shared by the
// script's stream object and the display object; drawing may read it from another thread.
class StreamPicture {
public:
    void set(std::shared_ptr<FlvPlayback> playback);
    // Video.clear: nothing is shown until the stream moves to another picture.
    void clear();
    QImage picture() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<FlvPlayback> m_playback;
    int m_clearedAt = -2;
};

}  // namespace vistrel::player::video
