// The arrow-key browsing benchmark's probe: with VISTREL_BROWSE_PROBE=N the viewer, once its folder is
// read, selects the first movie of the list and then presses Down N times, each time printing
// "browse-ms <milliseconds>" from the key press to the first painted frame of the newly selected
// movie, then ends the run.
#pragma once

namespace vistrel {

class TForm1;

// Does nothing unless VISTREL_BROWSE_PROBE is set.
void startBrowseProbeIfAsked(TForm1& form);

}  // namespace vistrel
