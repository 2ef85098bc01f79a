#include "widgets/player/movie_loader.h"

#include <algorithm>
#include <limits>
#include <span>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include "player/movie.h"
#include "player/swf/decompress.h"
#include "player/swf/tag.h"

namespace vistrel {

namespace {

// Pieces the first frame is read in: small enough that a movie whose first frame is a few
// kilobytes costs no more than that, large enough not to cost a call per tag.
constexpr qint64 kPieceBytes = 64 * 1024;
constexpr std::size_t kNotYet = std::numeric_limits<std::size_t>::max();

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Finds where the first frame of an uncompressed body ends, looking at what has arrived so far.
class FirstFrameScanner {
public:
    enum class State { NeedMore, Found, NoFrame };

    State scan(const std::vector<std::uint8_t>& body) {
        if (m_pos == 0) {
            // The frame rectangle (its size is in its first five bits), then the rate and count.
            if (body.empty()) return State::NeedMore;
            const std::size_t bits = body[0] >> 3;
            const std::size_t headerBytes = (5 + 4 * bits + 7) / 8 + 4;
            if (body.size() < headerBytes) return State::NeedMore;
            m_pos = headerBytes;
        }
        while (m_pos + 2 <= body.size()) {
            const std::uint16_t codeAndLength = std::uint16_t(body[m_pos] | body[m_pos + 1] << 8);
            const std::uint16_t code = codeAndLength >> 6;
            std::size_t length = codeAndLength & 0x3f;
            std::size_t headerBytes = 2;
            if (length == 0x3f) {
                if (m_pos + 6 > body.size()) return State::NeedMore;
                length = le32(&body[m_pos + 2]);
                headerBytes = 6;
            }
            if (length > swf::kMaxInflatedSize) return State::NoFrame;
            if (m_pos + headerBytes + length > body.size()) return State::NeedMore;
            m_pos += headerBytes + length;
            if (code == swf::tagcode::kShowFrame) return State::Found;
            if (code == swf::tagcode::kEnd) return State::NoFrame;
        }
        return State::NeedMore;
    }
    // The end of the first frame's ShowFrame tag, once found.
    std::size_t end() const { return m_pos; }

private:
    std::size_t m_pos = 0;
};

}  // namespace

QByteArray firstFrameMovieBytes(const QString& path, const std::atomic<bool>* cancelled) {
    auto isCancelled = [cancelled] { return cancelled && cancelled->load(); };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = file.read(8);
    if (head.size() < 8 || head[1] != 'W' || head[2] != 'S') return {};
    const auto* headBytes = reinterpret_cast<const std::uint8_t*>(head.constData());
    const std::size_t declaredBody = std::min<std::size_t>(le32(headBytes + 4) > 8 ? le32(headBytes + 4) - 8 : 0,
                                                           swf::kMaxInflatedSize);
    std::unique_ptr<swf::StreamDecoder> decoder;
    if (head[0] == 'C') {
        decoder = swf::StreamDecoder::zlib();
    } else if (head[0] == 'Z') {
        const QByteArray lzmaHead = file.read(qint64(swf::kLzmaStreamOffset));
        if (lzmaHead.size() < qint64(swf::kLzmaStreamOffset)) return {};
        const auto* properties =
            reinterpret_cast<const std::uint8_t*>(lzmaHead.constData()) + swf::kLzmaPropertiesOffset;
        decoder = swf::StreamDecoder::lzma(std::span(properties, swf::kLzmaPropertiesSize), declaredBody);
    } else if (head[0] != 'F') {
        return {};
    }
    if (head[0] != 'F' && !decoder) return {};

    std::vector<std::uint8_t> body;
    FirstFrameScanner scanner;
    bool inputEnded = false, streamEnded = false;
    while (!isCancelled()) {
        const QByteArray piece = file.read(kPieceBytes);
        inputEnded = piece.size() < kPieceBytes;
        std::span input(reinterpret_cast<const std::uint8_t*>(piece.constData()), std::size_t(piece.size()));
        if (!decoder) {
            const std::size_t room = swf::kMaxInflatedSize - std::min(body.size(), swf::kMaxInflatedSize);
            body.insert(body.end(), input.begin(), input.begin() + std::ptrdiff_t(std::min(room, input.size())));
        } else {
            // Decodes all of this piece; the output grows as it is filled, never past the movie limit.
            while (!streamEnded && body.size() < swf::kMaxInflatedSize) {
                const std::size_t used = body.size();
                body.resize(std::min(swf::kMaxInflatedSize, used + std::size_t(4 * kPieceBytes)));
                std::span output(body.data() + used, body.size() - used);
                const std::size_t room = output.size(), inputBefore = input.size();
                const auto status = decoder->decode(input, output, inputEnded);
                body.resize(used + (room - output.size()));
                if (status != swf::StreamDecoder::Status::Running) streamEnded = true;
                // Output room left over means the decoder wants more input than this piece had.
                if (!output.empty() && input.empty()) break;
                if (output.size() == room && input.size() == inputBefore) {   // no progress: a stuck stream
                    streamEnded = true;
                    break;
                }
            }
        }
        switch (scanner.scan(body)) {
        case FirstFrameScanner::State::Found: {
            QByteArray movie;
            movie.reserve(qsizetype(8 + scanner.end() + 2));
            const std::uint32_t length = std::uint32_t(8 + scanner.end() + 2);
            movie.append("FWS", 3);
            movie.append(head[3]);   // the version
            for (int shift = 0; shift < 32; shift += 8) movie.append(char((length >> shift) & 0xff));
            movie.append(reinterpret_cast<const char*>(body.data()), qsizetype(scanner.end()));
            movie.append("\0\0", 2);   // End
            return movie;
        }
        case FirstFrameScanner::State::NoFrame: return {};
        case FirstFrameScanner::State::NeedMore: break;
        }
        if (inputEnded || streamEnded || body.size() >= swf::kMaxInflatedSize) return {};
    }
    return {};
}

struct MovieLoader::Job {
    std::atomic<bool> cancelled{false};
};

MovieLoader::MovieLoader(QObject* parent) : QObject(parent), m_mailbox(std::make_shared<Mailbox>()) {
    m_mailbox->loader = this;
    // A cancelled load may still be parsing; the next one does not wait for it.
    m_pool.setMaxThreadCount(4);
}

MovieLoader::~MovieLoader() {
    {
        std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->loader = nullptr;
    }
    cancel();
    m_pool.waitForDone();
}

void MovieLoader::cancel() {
    if (m_job) m_job->cancelled = true;
    m_job.reset();
    m_current = 0;
}

std::uint64_t MovieLoader::load(const QString& path, bool firstFrameFirst) {
    cancel();
    auto job = std::make_shared<Job>();
    m_job = job;
    const std::uint64_t ticket = ++m_next;
    m_current = ticket;
    std::shared_ptr<Mailbox> mailbox = m_mailbox;
    m_pool.start([job, mailbox, ticket, path, firstFrameFirst] {
        // Results go to the loader's thread; one that was cancelled or outlived its loader is dropped.
        auto post = [&](auto deliver) {
            std::lock_guard lock(mailbox->mutex);
            MovieLoader* loader = mailbox->loader;
            if (!loader || job->cancelled) return;
            QMetaObject::invokeMethod(loader, [loader, ticket, deliver] {
                if (loader->m_current == ticket) deliver(loader);
            }, Qt::QueuedConnection);
        };
        // Devices and pipes are never opened: reading one could wait for ever.
        if (!QFileInfo(path).isFile()) {
            post([ticket](MovieLoader* loader) {
                loader->m_current = 0;
                loader->m_job.reset();
                emit loader->loaded(ticket, player::Movie::fromBytes({}), QByteArray());
            });
            return;
        }
        QByteArray leading;
        {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) leading = file.read(8);
        }
        if (firstFrameFirst) {
            const QByteArray bytes = firstFrameMovieBytes(path, &job->cancelled);
            if (!bytes.isEmpty() && !job->cancelled) {
                std::shared_ptr<const player::Movie> first = player::Movie::fromBytes(
                    std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())));
                if (first->isValid())
                    post([first, ticket](MovieLoader* loader) { emit loader->firstFrameReady(ticket, first); });
            }
        }
        if (job->cancelled) return;
        std::shared_ptr<const player::Movie> movie = player::Movie::fromFile(path);
        post([movie, leading, ticket](MovieLoader* loader) {
            loader->m_current = 0;
            loader->m_job.reset();
            emit loader->loaded(ticket, movie, leading);
        });
    });
    return ticket;
}

}  // namespace vistrel
