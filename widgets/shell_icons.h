#pragma once
// Pictures of the shell views' items: the desktop's icon theme where it has them, else the program's
// own, so folders and movies always look different.

#include <QAbstractFileIconProvider>
#include <QIcon>

namespace vistrel {

class ShellIconProvider : public QAbstractFileIconProvider {
public:
    // Build it on the GUI thread: the pictures are made here and only handed out later.
    ShellIconProvider();

    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo& info) const override;
    // The views show no type column: a plain word, without the desktop's type database, whose loading
    // would cost every start-up (the folder reader asks for each file's type).
    QString type(const QFileInfo& info) const override;

private:
    QIcon m_folder;
    QIcon m_movie;
    QIcon m_drive;
};

} // namespace vistrel
