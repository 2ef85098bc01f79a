#pragma once
// Shape geometry lives with the engine's model in player/shape_paths.h; this name stays for the
// sources that still include it here.
#include "player/shape_paths.h"
