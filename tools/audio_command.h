// vistrel-tool audio: plays a movie headless and writes the sound it makes to a WAV file.
#pragma once

#include <QStringList>

namespace vistrel::tools {

// audio [--frames N] FILE OUT.wav: plays N frames (default: the root timeline's frame count) on the virtual
// clock and writes the mix an output device would get, as 44.1 kHz 16-bit stereo WAV.
int audioCommand(const QStringList& args);

}  // namespace vistrel::tools
