// korvix_soak: the program under a long run of random user actions.
//
//   korvix_soak [--seed N] [--minutes M] [--actions K] [--windows W] [--verbose]
//
// Without --seed it takes one from the clock and prints it; --seed N
// --actions K replays the first K actions of a run.

#include "Soak.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <cstdio>
#include <unistd.h>

namespace {
// The headless platform says for every window brought to the front that it
// cannot raise it; thousands of such lines would bury the report.
QtMessageHandler g_defaultHandler = nullptr;

void dropPlatformNoise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support")))
        return;
    g_defaultHandler(type, context, text);
}
} // namespace

int main(int argc, char* argv[]) {
    g_defaultHandler = qInstallMessageHandler(dropPlatformNoise);
    // Headless unless told otherwise; the engine's sandbox refuses to run
    // as root, and its start-up dump says nothing here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."),
                                  QStringLiteral("N"));
    const QCommandLineOption minutes(QStringLiteral("minutes"), QStringLiteral("Run time."),
                                     QStringLiteral("M"));
    const QCommandLineOption actions(QStringLiteral("actions"),
                                     QStringLiteral("Number of actions."), QStringLiteral("K"));
    const QCommandLineOption windows(QStringLiteral("windows"),
                                     QStringLiteral("Most windows open at once."),
                                     QStringLiteral("W"));
    const QCommandLineOption stall(QStringLiteral("stall-ms"),
                                   QStringLiteral("Longest stall of the event loop allowed."),
                                   QStringLiteral("MS"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Print every action."));
    parser.addOptions({seed, minutes, actions, windows, stall, verbose});
    parser.process(app);

    SoakOptions options;
    options.seed = parser.isSet(seed) ? parser.value(seed).toULongLong()
                                      : quint64(QDateTime::currentMSecsSinceEpoch());
    options.minutes = parser.value(minutes).toDouble();
    options.actions = parser.value(actions).toLongLong();
    if (parser.isSet(windows))
        options.maxWindows = parser.value(windows).toInt();
    if (parser.isSet(stall))
        options.stallLimitMs = parser.value(stall).toLongLong();
    options.verbose = parser.isSet(verbose);
    if (options.minutes <= 0 && options.actions <= 0) {
        std::fprintf(stderr, "korvix_soak: give --minutes or --actions\n");
        return 2;
    }
    Soak soak(options);
    return soak.run();
}
