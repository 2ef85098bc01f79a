// Prints the median time of ReadSwfHeader for an uncompressed movie and for a compressed movie of
// about 10 MB, both generated here in a temporary folder.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>
#include <zlib.h>

#include "swf_info/swf_file_info.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kRuns = 41;
constexpr std::size_t kCompressedTarget = 10 * 1000 * 1000;

Bytes header(const char *signature, std::uint32_t fileLength) {
    Bytes bytes(signature, signature + 3);
    bytes.push_back(10);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(fileLength >> shift));
    return bytes;
}

// A 550 x 400 frame at 24 fps with 1000 frames, then noise that does not compress.
Bytes body(std::size_t size) {
    Bytes bytes = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x18, 0xE8, 0x03};
    std::uint32_t seed = 2463534242u;
    while (bytes.size() < size) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        bytes.push_back(static_cast<std::uint8_t>(seed));
    }
    return bytes;
}

void write(const std::filesystem::path &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

double medianMicroseconds(const std::string &path) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        vistrel::SwfHeaderInfo info{};
        const auto start = std::chrono::steady_clock::now();
        const bool ok = vistrel::ReadSwfHeader(path, info);
        const auto stop = std::chrono::steady_clock::now();
        if (!ok || info.Width != 550)
            throw std::runtime_error("benchmark movie not read: " + path);
        times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    try {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("vistrel-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);

        const Bytes plainBody = body(1000 * 1000);
        Bytes plain = header("FWS", static_cast<std::uint32_t>(8 + plainBody.size()));
        plain.insert(plain.end(), plainBody.begin(), plainBody.end());
        write(folder / "plain.swf", plain);

        const Bytes packedBody = body(kCompressedTarget);
        uLongf packedSize = compressBound(static_cast<uLong>(packedBody.size()));
        Bytes packed(packedSize);
        if (compress2(packed.data(), &packedSize, packedBody.data(), static_cast<uLong>(packedBody.size()),
                      1) != Z_OK)
            throw std::runtime_error("compression failed");
        packed.resize(packedSize);
        Bytes compressed = header("CWS", static_cast<std::uint32_t>(8 + packedBody.size()));
        compressed.insert(compressed.end(), packed.begin(), packed.end());
        write(folder / "compressed.swf", compressed);

        std::printf("ReadSwfHeader, median of %d runs\n", kRuns);
        std::printf("  uncompressed (%zu bytes): %.1f us\n", plain.size(),
                    medianMicroseconds(folder / "plain.swf"));
        std::printf("  compressed   (%zu bytes): %.1f us\n", compressed.size(),
                    medianMicroseconds(folder / "compressed.swf"));
        std::filesystem::remove_all(folder);
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_header: %s\n", e.what());
        return 1;
    }
}
