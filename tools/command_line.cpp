#include "tools/command_line.h"

#include <iostream>

#include <QFileInfo>

#include "player/movie.h"
#include "tools/info_command.h"

namespace vistrel::tools {

int CommandLine::usageError(const std::string& text) const {
    std::cerr << "vistrel-tool " << m_name << ": " << text << "\n"
              << "usage: vistrel-tool " << m_name << " " << m_usage << "\n";
    return kExitNotMovie;
}

std::optional<int> CommandLine::intValue(const QStringList& args, qsizetype& i, int min, int max) const {
    const std::string option = args[i].toStdString();
    const std::string range = " from " + std::to_string(min) + " to " + std::to_string(max);
    if (++i >= args.size()) {
        usageError(option + " needs a number" + range);
        return std::nullopt;
    }
    bool ok = false;
    const int value = args[i].toInt(&ok);
    if (!ok || value < min || value > max) {
        usageError(option + " needs a number" + range);
        return std::nullopt;
    }
    return value;
}

std::shared_ptr<player::Movie> CommandLine::openMovie(const QString& file, int& exitCode) const {
    if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable()) {
        std::cerr << "vistrel-tool " << m_name << ": cannot read " << file.toStdString() << "\n";
        exitCode = kExitUnreadable;
        return nullptr;
    }
    auto movie = player::Movie::fromFile(file);
    if (!movie->isValid()) {
        const std::string why = movie->diagnostics().empty() ? "not an SWF movie" : movie->diagnostics().front().text;
        std::cerr << "vistrel-tool " << m_name << ": " << file.toStdString() << ": " << why << "\n";
        exitCode = kExitNotMovie;
        return nullptr;
    }
    exitCode = kExitOk;
    return movie;
}

}  // namespace vistrel::tools
