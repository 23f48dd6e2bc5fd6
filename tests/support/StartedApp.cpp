#include "StartedApp.h"

#include "FakeWebView.h"
#include "browser/QtWebView.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QTest>

StartedApp::StartedApp() = default;

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
    return QTest::qWaitFor([frame] { return frame->queuedOpenings() == 0; }, 10000);
}

MainFrame* StartedApp::start(const QString& commandLine) {
    AppInit::StartOptions options;
    options.appDir = m_dir.path();
    options.commandLine = commandLine;
    options.webViewFactory = FakeWebView::factory();
    m_frame = AppInit::Main(options);
    return m_frame;
}

MainFrame* StartedApp::startWithEngine(const QString& commandLine) {
    QtWebView::initProfile(m_dir.path());
    m_engine = true;
    AppInit::StartOptions options;
    options.appDir = m_dir.path();
    options.commandLine = commandLine;
    options.webViewFactory = QtWebView::factory();
    m_frame = AppInit::Main(options);
    return m_frame;
}

void StartedApp::stop() {
    if (m_frame) {
        AppInit::shutdown();
        m_frame = nullptr;
    }
    if (m_engine) {
        QtWebView::releaseProfile();
        m_engine = false;
    }
}
