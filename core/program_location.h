#pragma once
// Where the program's data and the user's settings live. A program folder of its own (the build
// folder, an unpacked archive: the executable has the start-up movie beside it) keeps everything in
// the working folder, as the program always did. An installed program (PREFIX/bin/vistrel with its
// data in PREFIX/share/vistrel) reads its data there, keeps its settings in the user's configuration
// folder and also reads language packs the user added to the user's data folder.

#include <QString>

namespace vistrel {

struct ProgramLocation {
    QString baseDir;           // program data: start-up movie, Language/, help
    QString configDir;         // folder of vistrel.ini; empty: baseDir
    QString userLanguageDir;   // extra language packs; empty: none
    QString homeDir;           // folder shown when none is remembered
};

// `workingDir` is the folder the program started in, `executableDir` the folder of its executable;
// `configHome` and `dataHome` the user's configuration and data folders ($XDG_CONFIG_HOME,
// $XDG_DATA_HOME or their defaults).
ProgramLocation locateProgram(const QString& workingDir, const QString& executableDir, const QString& configHome,
                              const QString& dataHome, const QString& homeDir);

// The same with this process's folders and the user's standard locations.
ProgramLocation locateThisProgram();

// The start-up movie of a program data folder.
QString startMoviePath(const QString& baseDir);

} // namespace vistrel
