#include "StartedApp.h"

#include "FakeWebView.h"
#include "blocking/model/Subscriptions.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/QtWebView.h"
#include "browser/WebView.h"
#include "frame/BatchOpening.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"

#include <QDir>
#include <QFile>
#include <QTest>

StartedApp::StartedApp() {
    // No test fetches filter lists from the internet: no subscriptions
    // unless a test makes its own.
    Subscriptions::save(KorvixSettings(m_dir.path()).path(), {});
}

StartedApp::~StartedApp() {
    stop();
}

void StartedApp::writePrefs(const std::function<void(Prefer&)>& edit) {
    Prefer prefs(m_dir.path());
    prefs.setDefaults();
    edit(prefs);
    QString error;
    prefs.save(&error);
}

void StartedApp::writeFile(const QString& name, const QByteArray& data) {
    QFile f(QDir(m_dir.path()).filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

bool batchOpened(MainFrame* frame) {
    return QTest::qWaitFor(
        [frame] {
            const BrowserRegistry* registry = frame->registry();
            return registry->batches().queued() == 0 && registry->batches().waitingToLoad() == 0;
        },
        // A bound for a stalled batch only: under a sanitizer on a loaded
        // machine a hundred windows take many seconds.
        60000);
}

MainFrame* StartedApp::startWith(const QString& commandLine, WebViewFactory factory) {
    Application::Options options;
    options.appDir = m_dir.path();
    options.commandLine = commandLine;
    options.webViewFactory = std::move(factory);
    options.startEngine = startEngine;
    m_program = std::make_unique<Application>(options);
    return m_program->start();
}

MainFrame* StartedApp::start(const QString& commandLine) {
    return startWith(commandLine, FakeWebView::factory());
}

MainFrame* StartedApp::startWithEngine(const QString& commandLine) {
    m_engine = true;
    // As the program does: the engine starts before the frame shows when
    // windows open at start, else with the first window, and always after
    // the start-up set its language.
    if (!startEngine)
        startEngine = [dir = m_dir.path()] { EngineProfile::init(dir); };
    return startWith(commandLine,
                     [dir = m_dir.path()](QWidget* parent, bool isPrivate) -> WebView* {
                         EngineProfile::init(dir);
                         return new QtWebView(parent, isPrivate);
                     });
}

bool pageLoaded(const BrowserWindow* w) {
    return w && w->webView()->hasDocument() && !w->webView()->isBusy() && !w->isBusyShown();
}

BrowserWindow* StartedApp::openWindow(const QString& url) {
    registry()->visit(OpenRequest::withBars(url, true, true));
    return registry()->activeWindow();
}

MainFrame* StartedApp::frame() const {
    return m_program ? m_program->frame() : nullptr;
}

DownloadList& StartedApp::downloads() const {
    return m_program->downloads();
}

BrowserRegistry* StartedApp::registry() const {
    return frame() ? frame()->registry() : nullptr;
}

void StartedApp::stop() {
    m_program.reset();
    if (m_engine) {
        EngineProfile::release();
        m_engine = false;
    }
}
