#pragma once
// Links the folder tree, the file list and the path combo of the browsing pane. Once linked,
// selecting a folder in the tree shows it in the list and the combo; opening a subfolder in the
// list or picking a folder in the combo moves the tree; setting the list's folder by path moves
// all three, with exactly one folderChanged from the tree when the folder changes.

namespace vistrel {

class ShellCombo;
class ShellList;
class ShellTree;

// Any of the three may be null; the views should share one model (createShellModel).
void linkShellViews(ShellTree* tree, ShellList* list, ShellCombo* combo);

} // namespace vistrel
