#pragma once
// vistrel-tool render: draws the stage after a number of frames into a PNG, with the same engine
// and the same drawing path as the viewer.

#include <QStringList>

namespace vistrel::tools {

// Arguments after the subcommand: [--frames N] [--quality low|medium|high|best] FILE OUT.png.
// For measuring: --size WxH draws into a view of that size (show all) and --time N draws the
// frame N times and prints "median_ms <value>".
// Returns 0 when the image was written, 1 for wrong usage or a file that is not a movie, 2 for a
// file that cannot be read or an image that cannot be written. Needs a QGuiApplication.
int renderCommand(const QStringList& args);

} // namespace vistrel::tools
