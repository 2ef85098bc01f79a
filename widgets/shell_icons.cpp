#include "widgets/shell_icons.h"

#include <QFileInfo>

#include "widgets/image_lists.h"

namespace vistrel {
namespace {

QIcon themed(const char* name, const QIcon& fallback)
{
    const QString themeName = QString::fromLatin1(name);
    return QIcon::hasThemeIcon(themeName) ? QIcon::fromTheme(themeName) : fallback;
}

} // namespace

ShellIconProvider::ShellIconProvider()
{
    m_folder = themed("folder", folderIcon());
    m_movie = themed("video-x-generic", movieFileIcon());
    m_drive = themed("drive-harddisk", m_folder);
}

QIcon ShellIconProvider::icon(IconType type) const
{
    switch (type) {
    case Folder:
    case Computer:
    case Network:
    case Desktop:
    case Trashcan:
        return m_folder;
    case Drive:
        return m_drive;
    case File:
        return m_movie;
    }
    return m_movie;
}

QIcon ShellIconProvider::icon(const QFileInfo& info) const
{
    if (info.isRoot())
        return m_drive;
    if (info.isDir())
        return m_folder;
    // The views show nothing but folders and movies.
    return m_movie;
}

QString ShellIconProvider::type(const QFileInfo& info) const
{
    if (info.isDir())
        return QStringLiteral("Folder");
    return info.suffix().isEmpty() ? QStringLiteral("File") : info.suffix().toUpper() + QStringLiteral(" File");
}

} // namespace vistrel
