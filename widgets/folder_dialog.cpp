#include "widgets/folder_dialog.h"

#include <QFileDialog>

namespace vistrel {
namespace {

FolderChooser& chooser()
{
    static FolderChooser instance;
    return instance;
}

} // namespace

void setFolderChooser(FolderChooser newChooser)
{
    chooser() = std::move(newChooser);
}

std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder)
{
    if (chooser())
        return chooser()(startFolder);
    const QString folder = QFileDialog::getExistingDirectory(parent, QString(), startFolder,
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

} // namespace vistrel
