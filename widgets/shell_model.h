#pragma once
// The one file-system model behind the folder tree, the file list and the path combo, and the
// rule by which the shell views turn a requested path into the folder they show.

#include <QString>

class QFileSystemModel;
class QObject;

namespace vistrel {

inline constexpr const char* kShellFilePattern = "*.swf";

// The whole file system from "/", hidden items included: every folder, and the files whose
// names match "*.swf" whatever the letter case. It follows changes on disk by itself.
// With `readNow` false it stays empty, reading no folder and looking up no icon, until startShellModel:
// a window can so be painted before the file system is read.
QFileSystemModel* createShellModel(QObject* parent = nullptr, bool readNow = true);
// Starts reading a model made with `readNow` false; later calls do nothing.
void startShellModel(QFileSystemModel* model);

// When a shell view takes up the model: at once, or when it is first given a folder to show (a window
// can so be painted before its views are set up for a model that reads nothing until then).
enum class ShellModelUse { Now, WithFirstFolder };

// The folder a view shows for `path`: absolute (relative paths count from the current folder),
// without "." and ".." steps or a trailing "/" (except the root "/"). The root "/" when the path
// is empty or names nothing that is a folder.
QString resolveFolderPath(const QString& path);

} // namespace vistrel
