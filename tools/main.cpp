// vistrel-tool: header facts ("info") and frame snapshots ("render") from the command line.

#include <cstdio>
#include <iostream>
#include <string>

#include <QByteArray>
#include <QGuiApplication>
#include <QStringList>

#include "tools/info_command.h"
#include "tools/trace_command.h"
#include "tools/audio_command.h"

#if __has_include("tools/render_command.h")
#include "tools/render_command.h"
#define VISTREL_TOOL_HAS_RENDER 1
#endif

namespace {

const char *const kUsage =
    "Usage:\n"
    "  vistrel-tool info FILE\n"
    "      print the header facts of an SWF movie and its status-pane texts\n"
    "  vistrel-tool render [--frames N] [--quality low|medium|high|best] FILE OUT.png\n"
    "      render the stage after N frames into a PNG image\n"
    "  vistrel-tool trace [--frames N] [--input EVENTS.json] FILE\n"
    "      play N frames headless and print every trace() line\n"
    "  vistrel-tool audio [--frames N] FILE OUT.wav\n"
    "      play N frames headless (default: every frame once) and write the sound mix as WAV\n";

int usage() {
    std::cerr << kUsage;
    return vistrel::tools::kExitNotMovie;
}

int runRender(int argc, char **argv) {
#ifdef VISTREL_TOOL_HAS_RENDER
    // Rendering needs a GUI application object but never a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.remove(0, 2); // program and subcommand: the command sees only its own arguments
    return vistrel::tools::renderCommand(args);
#else
    (void)argc;
    (void)argv;
    std::cerr << "vistrel-tool: render is not available in this build\n";
    return vistrel::tools::kExitNotMovie;
#endif
}

int runTrace(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.remove(0, 2);
    return vistrel::tools::traceCommand(args);
}

int runAudio(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.remove(0, 2);
    return vistrel::tools::audioCommand(args);
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
        return runRender(argc, argv);
    if (command == "trace")
        return runTrace(argc, argv);
    if (command == "audio" || command == "sound")
        return runAudio(argc, argv);
    return usage();
}
