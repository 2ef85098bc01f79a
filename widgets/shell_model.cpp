#include "widgets/shell_model.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>

#include "widgets/shell_icons.h"

namespace vistrel {
namespace {

// One provider for every model, kept for the whole run: the model's background reader may still
// ask it for a picture while the model is being taken down.
ShellIconProvider* sharedIconProvider()
{
    static ShellIconProvider* const provider = new ShellIconProvider;
    return provider;
}

} // namespace

QFileSystemModel* createShellModel(QObject* parent, bool readNow)
{
    auto* model = new QFileSystemModel(parent);
    model->setReadOnly(true);
    if (readNow)
        startShellModel(model);
    return model;
}

void startShellModel(QFileSystemModel* model)
{
    if (!model || model->iconProvider() == sharedIconProvider())
        return;
    // The filters go in only now: each change makes the model sort itself at the next turn of the event
    // loop, and that sort builds the nodes of the working folder's path, looking up their icons in the
    // desktop's icon theme, which held up the first paint of a window whose model was not started.
    // AllDirs keeps folders out of the name filter; leaving out QDir::CaseSensitive makes the
    // pattern match "movie.SWF" as well.
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    model->setNameFilters({QString::fromLatin1(kShellFilePattern)});
    model->setNameFilterDisables(false); // hide what does not match instead of greying it
    model->setIconProvider(sharedIconProvider());
    model->setRootPath(QStringLiteral("/"));
}

QString resolveFolderPath(const QString& path)
{
    const QString root = QStringLiteral("/");
    if (path.trimmed().isEmpty() || path.contains(QChar(0)))
        return root;
    QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    // Steps above the root stay at the root ("/../a" is "/a"); cleanPath keeps them.
    while (absolute.startsWith(QLatin1String("/..")) && (absolute.size() == 3 || absolute.at(3) == QLatin1Char('/')))
        absolute = absolute.mid(3);
    if (absolute.isEmpty())
        absolute = root;
    const QFileInfo info(absolute);
    if (!info.exists() || !info.isDir())
        return root;
    return absolute;
}

} // namespace vistrel
