// vistrel-tool: header facts ("info"), frame snapshots ("render"), script traces ("trace") and drawing
// costs ("bench") and the sound mix ("audio") from the command line.

#include <cstdio>
#include <iostream>
#include <string>

#include <QByteArray>
#include <QGuiApplication>
#include <QStringList>

#include "tools/audio_command.h"
#include "tools/bench_command.h"
#include "tools/info_command.h"
#include "tools/render_command.h"
#include "tools/trace_command.h"

namespace {

const char *const kUsage =
    "Usage:\n"
    "  vistrel-tool info FILE\n"
    "      print the header facts of an SWF movie and its status-pane texts\n"
    "  vistrel-tool render [--frames N] [--input EVENTS.json] [--quality low|medium|high|best] [--size WxH] FILE OUT.png\n"
    "      render the stage after N frames (with scripted mouse and key events) into a PNG image\n"
    "  vistrel-tool trace [--frames N] [--input EVENTS.json] FILE\n"
    "      play N frames headless and print every trace() line\n"
    "  vistrel-tool bench [--size WxH] [--frames N] [--quality low|medium|high|best] FILE\n"
    "      play N frames headless and print what drawing them cost\n"
    "  vistrel-tool audio [--frames N] [--input EVENTS.json] FILE OUT.wav\n"
    "      play N frames headless (default: every frame once) and write the sound mix as WAV\n"
    "  vistrel-tool audio --list FILE | --sound ID FILE OUT.wav\n"
    "      list the movie's sounds in file order, or write one defined sound as it plays\n";

int usage() {
    std::cerr << kUsage;
    return vistrel::tools::kExitNotMovie;
}

// The engine's commands draw and script through QtGui but never need a display.
int runHeadless(int argc, char **argv, int (*command)(const QStringList&)) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.remove(0, 2); // program and subcommand: the command sees only its own arguments
    return command(args);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "info") {
        if (argc != 3)
            return usage();
        return vistrel::tools::infoCommand(argv[2], std::cout, std::cerr);
    }
    if (command == "render")
        return runHeadless(argc, argv, vistrel::tools::renderCommand);
    if (command == "trace")
        return runHeadless(argc, argv, vistrel::tools::traceCommand);
    if (command == "bench")
        return runHeadless(argc, argv, vistrel::tools::benchCommand);
    if (command == "audio")
        return runHeadless(argc, argv, vistrel::tools::audioCommand);
    return usage();
}
