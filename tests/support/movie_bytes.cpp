#include "tests/support/movie_bytes.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "tests/support/swf_writer.h"

namespace vistrel::testing {

Bytes window550x400() {
    Bytes window = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x0C, 0x01, 0x00};
    window.resize(25, 0);
    return window;
}

Bytes fixedHeader(const std::string &signature, std::uint8_t version, std::uint32_t fileLength) {
    Bytes bytes(signature.begin(), signature.end());
    bytes.push_back(version);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(fileLength >> shift));
    return bytes;
}

Bytes plainMovie(const std::string &signature, std::uint8_t version, std::uint32_t fileLength,
                 const Bytes &window) {
    Bytes bytes = fixedHeader(signature, version, fileLength);
    bytes.insert(bytes.end(), window.begin(), window.end());
    return bytes;
}

Bytes zlibMovie(std::uint8_t version, std::uint32_t fileLength, const Bytes &body, int level) {
    const Bytes compressed = zlibCompress(body, level);
    Bytes bytes = fixedHeader("CWS", version, fileLength);
    bytes.insert(bytes.end(), compressed.begin(), compressed.end());
    return bytes;
}

Bytes lzmaMovie(std::uint8_t version, std::uint32_t fileLength, const Bytes &body) {
    const LzmaStream lzma = lzmaCompress(body);
    Bytes bytes = fixedHeader("ZWS", version, fileLength);
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(lzma.stream.size() >> shift));
    bytes.insert(bytes.end(), lzma.properties.begin(), lzma.properties.end());
    bytes.insert(bytes.end(), lzma.stream.begin(), lzma.stream.end());
    return bytes;
}

Bytes rectWindow(unsigned nBits, std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax,
                 std::uint8_t rate, std::uint8_t fraction, std::uint16_t frameCount) {
    Bytes bytes;
    unsigned bitPos = 0;
    auto put = [&](std::uint32_t value, unsigned width) {
        for (unsigned i = 0; i < width; ++i, ++bitPos) {
            if (bitPos / 8 >= bytes.size())
                bytes.push_back(0);
            if ((value >> (width - 1 - i)) & 1u)
                bytes[bitPos / 8] |= static_cast<std::uint8_t>(0x80u >> (bitPos % 8));
        }
    };
    put(nBits, 5);
    for (std::int32_t field : {xMin, xMax, yMin, yMax})
        put(static_cast<std::uint32_t>(field), nBits);
    bytes.resize((bitPos + 7) / 8, 0);
    bytes.push_back(fraction);
    bytes.push_back(rate);
    bytes.push_back(static_cast<std::uint8_t>(frameCount & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(frameCount >> 8));
    bytes.resize(25, 0);
    return bytes;
}

void writeFile(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace vistrel::testing
