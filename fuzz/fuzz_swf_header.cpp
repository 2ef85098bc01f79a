// The header reader on any file: decodes or refuses, and never reads outside what it was given.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "swf_info/swf_file_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vistrel::fuzz::MemoryFile file;
    const std::string& path = file.hold(data, size);

    vistrel::SwfHeaderInfo header;
    std::memset(&header, 0xA5, sizeof header);
    try {
        if (vistrel::ReadSwfHeader(path, header)) {
            // A decoded header obeys its own arithmetic.
            if (header.Width != static_cast<std::int32_t>((std::int64_t{header.XMax} - header.XMin) / 20))
                __builtin_trap();
            if (std::memcmp(header.Signature, data, 3) != 0 || header.Version != data[3])
                __builtin_trap();
            (void)vistrel::isCompressedMovie(header);
        }
    } catch (const vistrel::SwfReadError&) {
        // A compressed body that does not inflate is reported, which is the right answer.
    }
    return 0;
}
