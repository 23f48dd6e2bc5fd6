// The least a multi-window browser needs: a main window with an MDI area and
// one plain web view per address, nothing else. It is what korvix_bench_versus
// holds Korvix against, so it does none of Korvix's work: no profile of its
// own, no bars, no history, no care for pages nobody sees.
//
//   korvix_bare_shell [--maximized] [--size WxH] [--list FILE] [--profile DIR] [URL...]
//
// With --profile the pages use a profile stored in DIR, with cookies and a
// disk cache as a browser keeps them, instead of the engine's profile that
// keeps nothing.
//
// When every window exists it prints one line, "windows <n> <ms>", the time
// taken from the system's monotonic clock, so a driver in another process
// can tell when that was.

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <chrono>
#include <cstdio>

namespace {

struct Options {
    QStringList urls;
    bool maximized = false;
    QSize size{1280, 1024};
    QString profileDir;
    QString error;
};

QSize parseSize(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return QSize();
    bool okWidth = false;
    bool okHeight = false;
    const QSize size(parts.at(0).toInt(&okWidth), parts.at(1).toInt(&okHeight));
    return okWidth && okHeight && size.width() > 0 && size.height() > 0 ? size : QSize();
}

Options parseArguments(const QStringList& args) {
    Options options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--maximized")) {
            options.maximized = true;
        } else if (arg == QLatin1String("--size") && i + 1 < args.size()) {
            options.size = parseSize(args.at(++i));
            if (!options.size.isValid())
                options.error = QStringLiteral("bad size: ") + args.at(i);
        } else if (arg == QLatin1String("--list") && i + 1 < args.size()) {
            QFile list(args.at(++i));
            if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
                options.error = QStringLiteral("cannot read ") + list.fileName();
                continue;
            }
            while (!list.atEnd()) {
                const QString line = QString::fromUtf8(list.readLine()).trimmed();
                if (!line.isEmpty())
                    options.urls << line;
            }
        } else if (arg == QLatin1String("--profile") && i + 1 < args.size()) {
            options.profileDir = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--"))) {
            options.error = QStringLiteral("unknown option: ") + arg;
        } else {
            options.urls << arg;
        }
    }
    return options;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const Options options = parseArguments(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "korvix_bare_shell: %s\n", qPrintable(options.error));
        return 2;
    }

    QWebEngineProfile* profile = nullptr;
    if (!options.profileDir.isEmpty()) {
        profile = new QWebEngineProfile(QStringLiteral("bare"), &app);
        profile->setPersistentStoragePath(options.profileDir);
        profile->setCachePath(options.profileDir + QStringLiteral("/Cache"));
        profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
        profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    }

    QMainWindow window;
    auto* area = new QMdiArea(&window);
    window.setCentralWidget(area);
    window.resize(options.size);
    window.show();

    for (const QString& url : options.urls) {
        auto* view = new QWebEngineView;
        if (profile)
            view->setPage(new QWebEnginePage(profile, view));
        QMdiSubWindow* sub = area->addSubWindow(view);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        view->load(QUrl::fromUserInput(url));
        if (options.maximized)
            sub->showMaximized();
        else
            sub->show();
    }
    if (!options.maximized)
        area->tileSubWindows();

    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf(
        "windows %d %lld\n", int(options.urls.size()),
        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
    std::fflush(stdout);
    return QApplication::exec();
}
