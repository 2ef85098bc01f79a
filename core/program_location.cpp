#include "core/program_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vistrel {

namespace {

const QString kStartMovie = QStringLiteral("swfinfo.dat");

} // namespace

ProgramLocation locateProgram(const QString& workingDir, const QString& executableDir, const QString& configHome,
                              const QString& dataHome, const QString& homeDir)
{
    const QDir executable(executableDir);
    const QString installedData = QDir::cleanPath(executable.filePath(QStringLiteral("../share/vistrel")));
    const bool ownFolder = QFileInfo(executable.filePath(kStartMovie)).isFile();
    const bool installed = !ownFolder && executable.dirName() == QLatin1String("bin") &&
                           QFileInfo(QDir(installedData).filePath(kStartMovie)).isFile();
    if (!installed)
        return {workingDir, {}, {}, workingDir};
    ProgramLocation location;
    location.baseDir = installedData;
    if (!configHome.isEmpty())
        location.configDir = QDir::cleanPath(configHome + QStringLiteral("/vistrel"));
    if (!dataHome.isEmpty())
        location.userLanguageDir = QDir::cleanPath(dataHome + QStringLiteral("/vistrel/Language"));
    // Without a configuration folder the settings stay with the data, where a save reports the refusal.
    location.homeDir = homeDir.isEmpty() ? workingDir : homeDir;
    return location;
}

ProgramLocation locateThisProgram()
{
    return locateProgram(QDir::currentPath(), QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                         QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), QDir::homePath());
}

QString startMoviePath(const QString& baseDir)
{
    return baseDir + QLatin1Char('/') + kStartMovie;
}

} // namespace vistrel
