// Program entry: the start-up sequence in its binding order.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <future>
#include <locale.h>
#include <memory>
#include <string_view>

#include <fontconfig/fontconfig.h>

#include "app/browse_probe.h"
#include "app/main_form.h"
#include "app/vistrel_application.h"
#include "core/session_bus.h"
#include "core/startup_trace.h"
#include "core/thread_priority.h"
#include "favorites/favorites_dialog.h"
#include "lang/set_lng.h"
#include "player/codec_libraries.h"
#include "widgets/player/flash_player.h"
#include "settings/config_dialog.h"
#include "widgets/balloon_hints.h"
#include "widgets/image_lists.h"
#include "widgets/lazy_icon.h"
#include "widgets/message_box.h"

namespace {

// The command line's options. --help and --version are answered before the application object is made,
// so they print and end the run in a terminal without a display too, and before any thread is started
// that the end would cut short.
// The application title: taskbar text, caption of plain and error boxes, and the version line.
void nameTheProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Vistrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VISTREL_VERSION));
}

void describeOptions(QCommandLineParser& options)
{
    options.setApplicationDescription(QStringLiteral("Viewer for SWF movies: browse folders and play the movies in them."));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A movie to play in its folder, or a folder to open."),
                                  QStringLiteral("[FILE.swf | FOLDER]"));
}

void answerHelpOrVersion(int argc, char* argv[])
{
    enum class Asked { Nothing, Help, HelpAll, Version } asked = Asked::Nothing;
    for (int i = 1; i < argc && asked == Asked::Nothing; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "-h" || argument == "--help" || argument == "-?")
            asked = Asked::Help;
        else if (argument == "--help-all")
            asked = Asked::HelpAll;
        else if (argument == "-v" || argument == "--version")
            asked = Asked::Version;
    }
    if (asked == Asked::Nothing)
        return;
    // A core application object only: it names the program in the usage line and needs no display.
    QCoreApplication core(argc, argv);
    nameTheProgram();
    QCommandLineParser options;
    describeOptions(options);
    if (asked == Asked::Version)
        options.showVersion();
    if (asked == Asked::Help)
        options.showHelp();
    options.process(core);
}

} // namespace

int main(int argc, char* argv[])
{
    using namespace vistrel;

    answerHelpOrVersion(argc, argv);
    startupMark("main");
    // The window's first text needs the system's font configuration, dozens of XML files that take longer
    // to read than the application object takes to reach the display, and then the system's font list and
    // the face and fallbacks of the interface font, which a bare window never reads. They are read on a
    // thread of their own from the start (the library keeps one configuration for the whole process, the
    // font database guards itself and keeps what it found for every thread), at a lower priority, so the
    // GUI thread building the window gets a core first. The thread reads numbers in the environment's
    // locale, a copy of its own, as the application object sets the process's locale meanwhile; the
    // interface font is known once the application object has read the desktop's settings.
    std::promise<QFont> interfaceFont;
    const std::future<void> fontsRead = std::async(std::launch::async, [font = interfaceFont.get_future()]() mutable {
        lowerThisThreadPriority();
        const locale_t ownLocale = newlocale(LC_ALL_MASK, "", locale_t(nullptr));
        if (ownLocale)
            uselocale(ownLocale);
        FcInit();
        if (ownLocale) {
            uselocale(LC_GLOBAL_LOCALE);
            freelocale(ownLocale);
        }
        const QFont uiFont = font.get();
        QFontDatabase::families();
        QFontMetrics(uiFont).horizontalAdvance(QStringLiteral("Vistrel"));
        startupMark("font list (worker thread)");
    });
    VistrelApplication app(argc, argv);
    startupMark("application");
    // The menu bar asks the session bus whether a global menu takes it, and the GUI thread waits there for the
    // connection (without a bus, for the bus library's launcher, which forks the process). Connecting on a
    // helper now lets that wait run while the window is built; the menu bar then finds the connection made.
    QThreadPool::globalInstance()->start([] { QDBusConnection::sessionBus(); });
    // Where the environment names no bus there is no global menu to find: the menu bar stays in the window
    // without asking, as it would after a failed search, and does not wait for the launcher.
    if (!sessionBusNamed())
        QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    nameTheProgram();
    // `vistrel [FILE.swf | FOLDER]`, read after the application object has taken its own options out.
    QCommandLineParser options;
    describeOptions(options);
    options.process(app);
    // The desktop's style (or the one asked for with -style), its extension button pictures read when needed.
    QApplication::setStyle(new LazyIconStyle);
    // The font thread goes on with the style's interface font.
    interfaceFont.set_value(QApplication::font());
    // Made absolute now: loading the settings moves the working folder to the remembered one.
    QStringList paths;
    for (const QString& path : options.positionalArguments())
        paths << (path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
    // The toolbar's and status panes' pictures are drawn on other threads while the window is built.
    prepareImageLists();
    BalloonHints balloons(&app);

    SharedState state;
    std::unique_ptr<TForm1> form1;
    try {
        form1 = std::make_unique<TForm1>(state, nullptr, TForm1::StartFolder::AfterFirstFrame);
        startupMark("main window");
        // The dialogs wait until the first frame is painted or one is asked for.
        form1->setDialogMaker([&state, form = form1.get()] {
            auto* favorites = new TForm2(state, *form, form);
            auto* config = new TForm3(state, *form, form);
            form->setDialogs(favorites, config);
        });
        // The packs' names are read for the language box when the dialogs are made, after the first frame.
        InitLanguage(state, form1->languageWindows(), false);
        startupMark("language");
    } catch (const std::exception& error) {
        // Without its windows the program cannot run; start-up ends with the error shown.
        showError(nullptr, QString::fromUtf8(error.what()));
        return 1;
    }

    // For the start-up benchmark: VISTREL_STARTUP_PROBE holds the launch time (ns since the epoch);
    // the time to the first painted frame of the start-up movie is printed, with the processor time used
    // until then (by this thread, by all), and the run ends.
    const QByteArray probe = qgetenv("VISTREL_STARTUP_PROBE");
    if (!probe.isEmpty()) {
        const qint64 launchedNs = probe.toLongLong();
        QObject::connect(form1->flash(), &ShockwaveFlash::frameRendered, &app, [launchedNs] {
            startupMark("first frame");
            const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
            std::printf("first-frame-ms %.1f\nfirst-frame-cpu-ms %.1f %.1f\n", double(nowNs - launchedNs) / 1e6,
                        threadCpuMs(), processCpuMs());
            // Where the system tells it, the time this thread was ready to run but waited for a core.
            if (FILE* schedule = std::fopen("/proc/thread-self/schedstat", "r")) {
                unsigned long long runningNs = 0;
                unsigned long long waitingNs = 0;
                if (std::fscanf(schedule, "%llu %llu", &runningNs, &waitingNs) == 2)
                    std::printf("first-frame-core-wait-ms %.1f\n", double(waitingNs) / 1e6);
                std::fclose(schedule);
            }
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        });
    }

    // Once the start-up movie is painted, the codec libraries are opened in the background, so the first
    // movie with sound or video does not wait for them.
    QObject::connect(form1->flash(), &ShockwaveFlash::frameRendered, &app,
                     [] { QThreadPool::globalInstance()->start([] { player::preloadCodecLibraries(); }); },
                     Qt::SingleShotConnection);
    form1->show();
    startupMark("shown");
    if (!paths.isEmpty()) {
        // A path that cannot be opened is said once; the viewer then starts as usual.
        QString problem = paths.size() > 1 ? QStringLiteral("Only one movie or folder can be opened; the others are left.")
                                           : QString();
        const QString opened = form1->OpenPath(paths.front());
        if (!opened.isEmpty())
            problem = opened;
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "vistrel: %s\n", problem.toLocal8Bit().constData());
            QTimer::singleShot(0, form1.get(), [&form1, problem] { showMessage(form1.get(), MessageKind::Warning, problem); });
        }
    }
    startBrowseProbeIfAsked(*form1);
    const int result = app.exec();

    // The dialogs go first; the main window's destruction saves the settings of the run.
    form1->deleteDialogs();
    try {
        form1->FormDestroy();
    } catch (const std::exception& error) {
        showError(nullptr, QString::fromUtf8(error.what()));
    }
    form1.reset();
    return result;
}
