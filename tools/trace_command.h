// vistrel-tool trace: plays a movie headless and prints what its scripts trace.
#pragma once

#include <QStringList>

namespace vistrel::tools {

// trace [--frames N] [--input EVENTS.json] FILE: plays N frames (default 1) on the virtual clock, one
// frame period a frame, and writes every trace() line to standard output.
int traceCommand(const QStringList& args);

}  // namespace vistrel::tools
