#include "tools/trace_command.h"

#include <cstdio>
#include <iostream>

#include <QFileInfo>

#include "player/movie.h"
#include "player/player.h"
#include "tools/info_command.h"

namespace vistrel::tools {

namespace {

int usageError(const char* text) {
    std::cerr << "vistrel-tool trace: " << text << "\n"
              << "usage: vistrel-tool trace [--frames N] [--input EVENTS.json] FILE\n";
    return kExitNotMovie;
}

}  // namespace

int traceCommand(const QStringList& args) {
    int frames = 1;
    QString input;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--frames")) {
            if (++i >= args.size()) return usageError("--frames needs a number");
            bool ok = false;
            frames = args[i].toInt(&ok);
            if (!ok || frames < 1 || frames > 1000000) return usageError("--frames needs a number from 1 to 1000000");
        } else if (a == QLatin1String("--input")) {
            if (++i >= args.size()) return usageError("--input needs a file");
            input = args[i];
        } else {
            positional << a;
        }
    }
    if (positional.size() != 1) return usageError("expected one FILE");
    const QString file = positional[0];
    if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable()) {
        std::cerr << "vistrel-tool trace: cannot read " << file.toStdString() << "\n";
        return kExitUnreadable;
    }
    if (!input.isEmpty()) std::cerr << "vistrel-tool trace: mouse and keyboard events are not sent yet; --input ignored\n";
    auto movie = player::Movie::fromFile(file);
    if (!movie->isValid()) {
        const std::string why = movie->diagnostics().empty() ? "not an SWF movie" : movie->diagnostics().front().text;
        std::cerr << "vistrel-tool trace: " << file.toStdString() << ": " << why << "\n";
        return kExitNotMovie;
    }
    auto print = [](const QString& line) {
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
        std::fputc('\n', stdout);
    };
    player::Player player(movie, print);
    for (int i = 1; i < frames; ++i) player.nextFrame();
    for (const QString& message : player.takeScriptMessages()) std::cerr << "vistrel-tool trace: " << message.toStdString() << "\n";
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace vistrel::tools
