#pragma once
// The texts of the six status panes that describe a movie's header, in UTF-8.

#include <string>

#include "swf_info/swf_file_info.h"

namespace vistrel {

struct PaneTexts {
    std::string ver;      // StatusVer
    std::string compress; // StatusCompress
    std::string size;     // StatusSize
    std::string fps;      // StatusFps
    std::string count;    // StatusCount
    std::string filesize; // StatusFilesize
};

// Each text starts with a blank, which keeps it clear of the pane's glyph. The compression pane
// takes compressedWord for a zlib or LZMA movie and uncompressedWord otherwise; the size pane shows
// the declared length in units of 1000 bytes with three decimals (" 4.096 K").
PaneTexts formatPaneTexts(const SwfHeaderInfo &header, const std::string &uncompressedWord,
                          const std::string &compressedWord);

} // namespace vistrel
