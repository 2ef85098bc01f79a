#include "tools/command_line.h"

#include <algorithm>
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

std::optional<player::RenderQuality> CommandLine::qualityValue(const QStringList& args, qsizetype& i) const {
    if (++i >= args.size()) {
        usageError("--quality needs a value");
        return std::nullopt;
    }
    const QString q = args[i].toLower();
    if (q == QLatin1String("low")) return player::RenderQuality::Low;
    if (q == QLatin1String("medium")) return player::RenderQuality::Medium;
    if (q == QLatin1String("high")) return player::RenderQuality::High;
    if (q == QLatin1String("best")) return player::RenderQuality::Best;
    usageError("--quality must be low, medium, high or best");
    return std::nullopt;
}

std::optional<QSize> CommandLine::sizeValue(const QStringList& args, qsizetype& i) const {
    QSize size;
    bool okW = false, okH = false;
    if (++i < args.size()) {
        const QStringList parts = args[i].split(QLatin1Char('x'));
        if (parts.size() == 2) size = QSize(parts[0].toInt(&okW), parts[1].toInt(&okH));
    }
    if (!okW || !okH || size.width() < 1 || size.height() < 1 || size.width() > 16384 || size.height() > 16384) {
        usageError("--size needs WIDTHxHEIGHT, each from 1 to 16384");
        return std::nullopt;
    }
    return size;
}

std::optional<Options> CommandLine::parse(const QStringList& args, std::initializer_list<std::string_view> accepted) const {
    Options options;
    const auto takes = [&](const QString& a, std::string_view name) {
        return a == QLatin1String(name.data(), static_cast<qsizetype>(name.size())) &&
               std::find(accepted.begin(), accepted.end(), name) != accepted.end();
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (takes(a, "--frames")) {
            if (!(options.frames = intValue(args, i, 1, 1000000))) return std::nullopt;
        } else if (takes(a, "--time")) {
            if (!(options.time = intValue(args, i, 1, 10000))) return std::nullopt;
        } else if (takes(a, "--quality")) {
            if (!(options.quality = qualityValue(args, i))) return std::nullopt;
        } else if (takes(a, "--size")) {
            if (!(options.size = sizeValue(args, i))) return std::nullopt;
        } else if (takes(a, "--input")) {
            if (++i >= args.size()) {
                usageError("--input needs a file");
                return std::nullopt;
            }
            options.input = args[i];
        } else {
            options.positional << a;
        }
    }
    return options;
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
