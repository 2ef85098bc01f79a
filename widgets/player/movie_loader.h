// Reads and parses movies off the GUI thread, so a large movie never blocks the window. As a
// streaming player does, the first frame of a large movie is handed over as soon as its tags are
// in (a movie cut after that frame), and the whole movie when it is read. Starting another load
// cancels the one in progress: what it still delivers is dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThreadPool>

namespace vistrel {

namespace player {
class Movie;
}

// The movie up to the end of its first frame, as the bytes of an uncompressed movie ending there;
// empty when the data ends (or is damaged) before the first frame is complete, or on `cancelled`.
// Reads the file in pieces and decompresses only what the first frame needs.
QByteArray firstFrameMovieBytes(const QString& path, const std::atomic<bool>* cancelled = nullptr);

class MovieLoader : public QObject {
    Q_OBJECT
public:
    explicit MovieLoader(QObject* parent = nullptr);
    // Cancels what is in progress and waits for the reader to notice (it checks between pieces).
    ~MovieLoader() override;

    // Starts reading `path`; a load in progress is cancelled. With `firstFrameFirst` the first frame is
    // handed over ahead of the whole movie. Returns the load's number, carried by the signals.
    std::uint64_t load(const QString& path, bool firstFrameFirst);
    // Drops the load in progress, if any.
    void cancel();
    bool busy() const { return m_current != 0; }

signals:
    // The movie cut after its first frame (never for a movie that is read whole first).
    void firstFrameReady(std::uint64_t ticket, std::shared_ptr<const vistrel::player::Movie> movie);
    // The whole movie (possibly an invalid one carrying why it could not be read) and the file's first bytes.
    void loaded(std::uint64_t ticket, std::shared_ptr<const vistrel::player::Movie> movie, QByteArray leading);

private:
    struct Job;
    // What the reader threads post to; cleared when the loader goes, so a late result goes nowhere.
    struct Mailbox {
        std::mutex mutex;
        MovieLoader* loader = nullptr;
    };

    QThreadPool m_pool;
    std::shared_ptr<Mailbox> m_mailbox;
    std::shared_ptr<Job> m_job;
    std::uint64_t m_next = 0;
    std::uint64_t m_current = 0;   // the load whose results are wanted; 0: none
};

}  // namespace vistrel
