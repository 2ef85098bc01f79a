// The built-in classes that stand for display objects (MovieClip, Button, TextField) and the global
// functions that need a stage (setInterval and the like), installed on a stage's machine.
#pragma once

namespace vistrel::player {

class Stage;

void installDisplayBuiltins(Stage& stage);

}  // namespace vistrel::player
