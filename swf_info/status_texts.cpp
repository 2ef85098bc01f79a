#include "swf_info/status_texts.h"

#include <cstdio>

namespace vistrel {

PaneTexts formatPaneTexts(const SwfHeaderInfo &header, const std::string &uncompressedWord,
                          const std::string &compressedWord) {
    PaneTexts texts;
    texts.ver = " " + std::to_string(header.Version);
    texts.compress = " " + (isCompressedMovie(header) ? compressedWord : uncompressedWord);
    texts.size = " " + std::to_string(header.Width) + " x " + std::to_string(header.Height);
    texts.fps = " " + std::to_string(header.FrameRate);
    texts.count = " " + std::to_string(header.FrameCount);

    char thousandths[4];
    std::snprintf(thousandths, sizeof thousandths, "%03u", static_cast<unsigned>(header.FileLength % 1000));
    texts.filesize = " " + std::to_string(header.FileLength / 1000) + "." + thousandths + " K";
    return texts;
}

} // namespace vistrel
