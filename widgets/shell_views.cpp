#include "widgets/shell_views.h"

#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_tree.h"

namespace vistrel {

void linkShellViews(ShellTree* tree, ShellList* list, ShellCombo* combo)
{
    if (tree) {
        tree->m_list = list;
        tree->m_combo = combo;
    }
    if (list)
        list->m_tree = tree;
    if (combo)
        combo->m_list = list;

    // Bring the followers up to date with a tree that already has a folder.
    if (tree && !tree->folder().isEmpty()) {
        if (list)
            list->showFolder(tree->folder());
        if (combo)
            combo->showFolder(tree->folder());
    }
}

} // namespace vistrel
