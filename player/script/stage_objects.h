// The global objects a playing movie sees besides its clips: AsBroadcaster, Stage, System, Key, Mouse,
// Color, Sound, SharedObject, TextFormat, XML, LoadVars and the flash.geom / flash.filters classes.
#pragma once

namespace vistrel::player {

class Stage;

void installStageObjects(Stage& stage);

}  // namespace vistrel::player
