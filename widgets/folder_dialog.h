#pragma once
// The folder-selection dialog, replaceable in tests.

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace vistrel {

// Asks the user for a folder; the chosen folder's path, or nothing when the user cancelled.
std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder);

using FolderChooser = std::function<std::optional<QString>(const QString& startFolder)>;
void setFolderChooser(FolderChooser chooser); // empty restores the real dialog

} // namespace vistrel
