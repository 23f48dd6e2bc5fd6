#include "app/Application.h"

#include "app/SingleInstance.h"
#include "archive/model/ArchiveRecords.h"
#include "blocking/ContentBlocker.h"
#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "common/Product.h"
#include "common/RecordCodec.h"
#include "common/SafeFile.h"
#include "downloads/DownloadList.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "frame/SessionFile.h"
#include "frame/ToolWindows.h"
#include "frame/WindowLayouts.h"
#include "frame/model/LayoutFile.h"
#include "passwords/Passwords.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "ui/Dialogs.h"
#include "ui/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QPointer>

// Pages and pictures compiled into the program live in a static library, so
// they are registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(korvix);
}

Application::Application(Options options)
    : m_options(std::move(options)), m_downloads(std::make_unique<DownloadList>()) {
    installGermanTranslations();
    EngineProfile::setDownloads(m_downloads.get());
}

Application::~Application() {
    quit();
    Dialogs::setModalLockHook(nullptr);
    m_session.reset();
    m_frame.reset();
    EngineProfile::setBlocker(nullptr);
    m_blocker.reset();
    EngineProfile::setPasswords(nullptr);
    m_passwords.reset();
    m_instance.reset();
    m_prefs.reset();
    EngineProfile::setDownloads(nullptr);
}

void Application::quit() {
    if (m_frame)
        m_frame->closeWithoutAsking();
}

MainFrame* Application::start() {
    initResources();
    const QString& appDir = m_options.appDir;
    const QString& commandLine = m_options.commandLine;

    // Another instance for this program folder takes the address (or just
    // comes to the front) and this process ends without a window.
    m_instance = std::make_unique<SingleInstance>(appDir);
    if (m_instance->handOff(commandLine))
        return nullptr;
    if (m_options.mayRun && !m_options.mayRun())
        return nullptr;
    m_instance->listen();

    m_prefs = std::make_unique<Prefer>(appDir);
    QString error;
    const bool loaded = m_prefs->load(&error);
    m_blocker = std::make_unique<ContentBlocker>(appDir);
    EngineProfile::setBlocker(m_blocker.get());
    // The keyring is asked nothing until a page has a login form.
    m_passwords = std::make_unique<Passwords>(appDir);
    EngineProfile::setPasswords(m_passwords.get());
    m_frame = std::make_unique<MainFrame>(
        *m_prefs, MainFrame::Setup{appDir, m_options.appDirReason, m_options.webViewFactory,
                                   m_downloads.get(), m_blocker.get(), m_passwords.get()});
    MainFrame* frame = m_frame.get();
    // Every message box and file dialog holds the modal lock while it is open.
    Dialogs::setModalLockHook([frame](bool locked) { frame->setModalLock(locked); });
    QObject::connect(m_instance.get(), &SingleInstance::addressReceived, frame,
                     &MainFrame::receiveHandOff);
    if (!loaded)
        Dialogs::message(frame, QMessageBox::Critical, QStringLiteral("Fehlermeldung"), error);

    const Prefer& p = *m_prefs;
    const bool startWindow = p.StartBrowser != 0 || !commandLine.isEmpty();
    if ((startWindow || p.LoadOption == 2 || p.LoadOption == 3) && m_options.startEngine)
        m_options.startEngine();
    // The start window's page begins once the frame is shown and has taken
    // its final size, so the page is laid out and drawn once, not a second
    // time when the frame around it settles.
    QPointer<BrowserWindow> first;
    if (startWindow) {
        OpenRequest request = OpenRequest::at(commandLine);
        request.state = 2;
        first = frame->registry()->openUnloaded(request);
    }
    if (p.MdiState == 2)
        frame->showMaximized();
    else
        frame->show();
    if (first) {
        // The frame's last layout steps wait in the event queue.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        first->navigate(QString());
    }
    frame->restartMailCheck(p.EnableMailCheck1 || p.EnableMailCheck2 || p.EnableMailCheck3 ||
                            p.EnableMailCheck4);
    if (p.LoadOption == 3) {
        openGroupFile(p.GroupFile);
        frame->applyBarSettings();
    } else if (p.LoadOption == 2) {
        // A relative name lies in the program folder.
        const QString name = trimBlanks(p.Layout);
        if (!name.isEmpty())
            WindowLayouts::load(*frame->tools(), QDir(appDir).filePath(name), frame);
        frame->applyBarSettings();
    }
    keepSession();
    return frame;
}

// The open windows are kept in a file while the program runs; one found at
// start was left by a session that never ended cleanly.
void Application::keepSession() {
    MainFrame* frame = m_frame.get();
    const QString path =
        QDir(m_options.appDir).filePath(QString::fromLatin1(SessionFile::FileName));
    const QList<LayoutRecord> leftOver = SessionFile::leftOver(path);
    m_session = std::make_unique<SessionFile>(*frame->registry(), path);
    QObject::connect(frame, &MainFrame::unloading, m_session.get(), &SessionFile::finish);
    if (!leftOver.isEmpty() &&
        Dialogs::message(frame, QMessageBox::Question, Product::AppTitle,
                         QStringLiteral("Die letzte Sitzung wurde nicht ordnungsgemäß beendet. "
                                        "Fenster wiederherstellen?"),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes)
        frame->registry()->queueOpenings(WindowLayouts::requests(leftOver), false);
    m_session->start();
}

// Every bookmark of the start-up folder in a maximized window of its own.
void Application::openGroupFile(const QString& fileName) {
    // No folder chosen: nothing to open.
    if (trimBlanks(fileName).isEmpty())
        return;
    const QString path = QDir(m_options.appDir).filePath(trimBlanks(fileName));
    QByteArray data;
    QString error;
    const ReadStatus status = readWholeFile(path, &data, &error);
    if (status == ReadStatus::NotFound)
        return;
    if (status == ReadStatus::Failed) {
        Dialogs::message(m_frame.get(), QMessageBox::Critical, QStringLiteral("Fehlermeldung"),
                         error);
        return;
    }
    QList<OpenRequest> requests;
    for (const BookmarkRecord& record : parseBookmarkFile(data)) {
        if (record.Url.isEmpty())
            continue;
        OpenRequest request =
            OpenRequest::withBars(record.Url, record.Adresszeile != 0, record.Toolbar != 0);
        request.state = 2;
        requests << request;
    }
    // One per turn of the event loop, so the frame answers while a large
    // folder opens.
    m_frame->registry()->queueOpenings(requests, true);
}
