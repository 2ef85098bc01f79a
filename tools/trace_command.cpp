#include "tools/trace_command.h"

#include <cstdio>
#include <iostream>

#include "player/movie.h"
#include "player/player.h"
#include "tools/command_line.h"
#include "tools/info_command.h"
#include "tools/input_script.h"

namespace vistrel::tools {

int traceCommand(const QStringList& args) {
    const CommandLine command("trace", "[--frames N] [--input EVENTS.json] FILE");
    const auto options = command.parse(args, {"--frames", "--input"});
    if (!options) return kExitNotMovie;
    const int frames = options->frames.value_or(1);
    const QString& input = options->input;
    const QStringList& positional = options->positional;
    if (positional.size() != 1) return command.usageError("expected one FILE");
    int exitCode = kExitOk;
    std::optional<InputScript> script;
    if (!input.isEmpty() && !(script = loadInputScript(input, "trace", exitCode))) return exitCode;
    const auto movie = command.openMovie(positional[0], exitCode);
    if (!movie) return exitCode;
    auto print = [](QString line) {
        // Half a surrogate pair has no UTF-8 form: it prints as U+FFFD.
        for (qsizetype i = 0; i < line.size(); ++i) {
            const bool pair = line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate();
            if (pair) ++i;
            else if (line[i].isSurrogate()) line[i] = QChar(QChar::ReplacementCharacter);
        }
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
        std::fputc('\n', stdout);
    };
    player::Player player(movie, print, player::DateClock::Frames);
    playWithInput(player, frames, script ? &*script : nullptr);
    for (const QString& message : player.takeScriptMessages()) std::cerr << "vistrel-tool trace: " << message.toStdString() << "\n";
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace vistrel::tools
