#pragma once
// The message texts that the main window and the favorites manager compose at run time. They come
// from the loaded language pack; until a pack is loaded the program's own Russian texts stand in,
// so no message, and no compression pane, is ever empty for want of a pack.

#include "settings/profile/shared_state.h"

namespace vistrel {

// MainMessages entry i (Messages/msg1_i), i = 0..5.
QString mainMessage(const SharedState& state, int index);
// FavoritesMessages entry i (Messages/msg2_i), i = 0..8.
QString favoritesMessage(const SharedState& state, int index);

} // namespace vistrel
