#include "tools/info_command.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "swf_info/status_texts.h"
#include "swf_info/swf_file_info.h"

namespace vistrel::tools {
namespace {

// The program's own words for the compression pane, as shown while no language pack is loaded.
const char *const kUncompressedWord = "Нет";
const char *const kCompressedWord = "Да";

void printPane(std::ostream &out, const char *name, const std::string &text) {
    out << name << ": \"" << text << "\"\n";
}

} // namespace

int infoCommand(const std::string &fileName, std::ostream &out, std::ostream &err) {
    // The reader treats a missing file as "no movie"; for the tool it is a file it cannot read.
    std::error_code error;
    if (!std::filesystem::exists(fileName, error) && !error) {
        err << fileName << ": no such file\n";
        return kExitUnreadable;
    }

    SwfHeaderInfo header{};
    try {
        if (!ReadSwfHeader(fileName, header)) {
            err << fileName << ": not an SWF movie\n";
            return kExitNotMovie;
        }
    } catch (const SwfReadError &e) {
        err << fileName << ": " << e.what() << "\n";
        return kExitUnreadable;
    }

    out << "Signature: " << std::string(header.Signature, 3) << "\n"
        << "Version: " << unsigned{header.Version} << "\n"
        << "FileLength: " << header.FileLength << "\n"
        << "XMin: " << header.XMin << "\n"
        << "XMax: " << header.XMax << "\n"
        << "YMin: " << header.YMin << "\n"
        << "YMax: " << header.YMax << "\n"
        << "Width: " << header.Width << "\n"
        << "Height: " << header.Height << "\n"
        << "FrameRate: " << unsigned{header.FrameRate} << "\n"
        << "FrameRateFraction: " << unsigned{header.FrameRateFraction} << "\n"
        << "FrameCount: " << header.FrameCount << "\n";

    const PaneTexts panes = formatPaneTexts(header, kUncompressedWord, kCompressedWord);
    printPane(out, "StatusVer", panes.ver);
    printPane(out, "StatusCompress", panes.compress);
    printPane(out, "StatusSize", panes.size);
    printPane(out, "StatusFps", panes.fps);
    printPane(out, "StatusCount", panes.count);
    printPane(out, "StatusFilesize", panes.filesize);
    out.flush();
    return kExitOk;
}

} // namespace vistrel::tools
