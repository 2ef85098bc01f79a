// Tags of an MP3 file: ID3 version 2 (2.2, 2.3, 2.4) at its start and version 1 in its last 128 bytes,
// read as scripts see them: text frames by their four-letter ids, plus the familiar names (songname,
// artist, album, year, genre, track, comment). Damaged tags give what could be read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <QString>

namespace vistrel::sound {

struct Id3Frame {
    std::string id;   // "TIT2", "COMM", or a familiar name
    QString text;
};

struct Id3Tags {
    std::vector<Id3Frame> frames;   // in the order the file holds them, each familiar name after its frame
    bool found = false;             // a tag of either version was there
    std::size_t audioBegin = 0;     // where the audio starts and ends once the tags are left out
    std::size_t audioEnd = 0;
};

Id3Tags readId3(std::span<const std::uint8_t> file);

}  // namespace vistrel::sound
