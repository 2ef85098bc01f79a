// The system's codec libraries are opened when first needed (see codec_libraries.cpp). Opening them takes
// a while, as they bring many libraries of their own: a program can open them ahead, off its GUI thread,
// once it has started, so the first movie with sound or video does not wait for them.
#pragma once

namespace vistrel::player {

// Opens every codec library now; safe from any thread, and only the first call does anything.
void preloadCodecLibraries();

}  // namespace vistrel::player
