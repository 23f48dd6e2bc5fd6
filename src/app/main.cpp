#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DataLocation.h"
#include "app/EngineSandbox.h"
#include "app/InputWatch.h"
#include "app/StallWatch.h"
#include "browser/EngineDrawing.h"
#include "browser/EngineProfile.h"
#include "browser/Pictures.h"
#include "browser/QtWebView.h"
#include "common/Product.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "ui/Dialogs.h"
#include "ui/IconCache.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};
bool g_quitAsked = false;

void onSignal(int) {
    const char c = 1;
    // Only async-signal-safe work here: wake the event loop.
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT close the frame the way "Beenden" does, so a logout or a
// kill saves the preferences and shuts the web engine down cleanly.
void installSignalHandlers(QApplication& app, Application& program) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&program] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &c, 1);
        program.quit();
        // Start-up runs pending events before the event loop exists (a new
        // window does); a quit asked for then is kept for it.
        g_quitAsked = true;
        QApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}
} // namespace

int main(int argc, char* argv[]) {
    if (CommandLine::isQuestion(argc, argv))
        return CommandLine::answer(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    EngineDrawing::chooseBeforeStart(argc, argv);
    QApplication app(argc, argv);
    EngineDrawing::applicationStarted();
    QApplication::setApplicationName(QStringLiteral("Korvix"));
    QApplication::setApplicationVersion(Product::Version);
    QApplication::setWindowIcon(QIcon(programIcon(48)));
    installIconCache();

    // The whole command line is one address.
    QStringList args = QApplication::arguments();
    args.removeFirst();

    Application::Options options;
    // A copy in a folder of the user's own keeps its files beside it; an
    // installed one in the user's data folder.
    const DataLocation location = DataLocation::forProgram(QApplication::applicationDirPath());
    QString error;
    if (!location.create(&error))
        qWarning("%s", qPrintable(error));
    options.appDir = location.folder();
    options.appDirReason = location.reason();
    options.commandLine = args.join(QLatin1Char(' '));
    // The engine starts with the first window, so a second start that only
    // hands its address over never touches the web storage.
    options.webViewFactory = [appDir = options.appDir](QWidget* parent,
                                                       bool isPrivate) -> WebView* {
        EngineProfile::init(appDir);
        return new QtWebView(parent, isPrivate);
    };
    options.startEngine = [appDir = options.appDir] { EngineProfile::init(appDir); };

    // Said on the terminal and, where there is a screen, in a message box.
    bool refused = false;
    options.mayRun = [&refused] {
        const QString problem = EngineSandbox::problem();
        if (problem.isEmpty())
            return true;
        refused = true;
        fprintf(stderr, "korvix: %s\n", qPrintable(problem));
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
            Dialogs::message(nullptr, QMessageBox::Critical, QStringLiteral("Fehlermeldung"),
                             problem);
        return false;
    };

    int rc = 0;
    {
        Application program(options);
        installSignalHandlers(app, program);
        // Watches from the first moment, when the layout's windows come.
        std::unique_ptr<StallWatch> stalls(StallWatch::fromEnvironment(
            [&program] { return program.frame() ? program.frame()->registry()->count() : 0; }));
        const std::unique_ptr<InputWatch> inputs(InputWatch::fromEnvironment());
        if (MainFrame* frame = program.start()) {
            if (stalls)
                QObject::connect(frame, &MainFrame::unloading, stalls.get(), &StallWatch::stop);
            QApplication::setQuitOnLastWindowClosed(true);
            // The event loop still runs once, so what start-up left for it
            // (deferred deletions, the engine's own shutdown) is done.
            if (g_quitAsked)
                QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            rc = QApplication::exec();
        }
    }
    // Every page is gone with the frame; the engine's profile goes last.
    EngineProfile::release();
    return refused ? 1 : rc;
}
