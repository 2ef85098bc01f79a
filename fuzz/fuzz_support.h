// Helpers shared by the fuzz targets: a file in memory to hand to readers that take a path, and
// a headless Qt application for the targets that need fonts or widgets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace vistrel::fuzz {

// One anonymous in-memory file for the life of the process, reached through /proc/self/fd, so
// each run costs no disk write and leaves nothing behind.
class MemoryFile {
public:
    MemoryFile() : m_fd(memfd_create("vistrel-fuzz", 0)) {
        if (m_fd < 0)
            std::abort();
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemoryFile() { close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the contents with these bytes and returns the path to open.
    const std::string& hold(const std::uint8_t* data, std::size_t size) {
        if (ftruncate(m_fd, 0) != 0)
            std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                std::abort();
            done += static_cast<std::size_t>(n);
        }
        return m_path;
    }

private:
    int m_fd;
    std::string m_path;
};

// Widgets and fonts need an application; the offscreen platform needs no display.
inline void useOffscreenPlatform() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt's own debug output would drown the fuzzer's statistics.
    setenv("QT_LOGGING_RULES", "*.debug=false;qt.*=false", 1);
}

} // namespace vistrel::fuzz
