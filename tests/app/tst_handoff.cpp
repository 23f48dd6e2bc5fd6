#include "FakeWebView.h"
#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "UserScript.h"
#include "app/SingleInstance.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "prefs/SettingsDialog.h"
#include "prefs/model/Prefer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

// A second start of the real program hands its address to this process,
// which plays the running instance (its frame with fake web views).
class TestHandOff : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void addressOpensOneWindow();
    void noAddressOnlyRaises();
    void quickSuccession();
    void modalDialogHoldsAddress_data();
    void modalDialogHoldsAddress();
    void maximizedFrameComesBackMaximized();
    void staleSocketIsReplaced();
    void garbageClientsAreDropped();

private:
    int secondStart(const QStringList& args);
    QStringList navigations() const;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
    QString m_exe;
};

void TestHandOff::init() {
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_app = std::make_unique<StartedApp>();
    m_app->writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    m_exe = QDir(m_app->dir()).filePath(QStringLiteral("korvix"));
    QVERIFY(QFile::copy(QStringLiteral(KORVIX_EXECUTABLE), m_exe));
    QVERIFY(m_app->start());
}

void TestHandOff::cleanup() {
    m_app.reset();
    m_dialogs.reset();
}

// Runs the program as a second start while this process keeps serving.
int TestHandOff::secondStart(const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(m_exe, args);
    if (!process.waitForStarted(10000))
        return -1;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000)) {
        process.kill();
        return -2;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -3;
}

QStringList TestHandOff::navigations() const {
    QStringList all;
    for (BrowserWindow* w : m_app->frame()->registry()->windows())
        all << static_cast<FakeWebView*>(w->webView())->navigations;
    return all;
}

void TestHandOff::addressOpensOneWindow() {
    QCOMPARE(secondStart({QStringLiteral("http://example.org/a"), QStringLiteral("b")}), 0);
    QCOMPARE(m_app->frame()->registry()->count(), 1);
    QCOMPARE(navigations(), QStringList{QStringLiteral("http://example.org/a b")});
    // The second start wrote nothing of its own.
    QVERIFY(!QFileInfo::exists(QDir(m_app->dir()).filePath(QStringLiteral("WebEngine"))));
}

void TestHandOff::noAddressOnlyRaises() {
    MainFrame* frame = m_app->frame();
    frame->showMinimized();
    QVERIFY(frame->isMinimized());
    const QByteArray prefsBefore = [this] {
        QFile f(QDir(m_app->dir()).filePath(QStringLiteral("Pref.kxp")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QCOMPARE(secondStart({}), 0);
    QCOMPARE(frame->registry()->count(), 0);
    QVERIFY(!frame->isMinimized());
    QFile f(QDir(m_app->dir()).filePath(QStringLiteral("Pref.kxp")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), prefsBefore);
}

void TestHandOff::quickSuccession() {
    QList<QProcess*> processes;
    for (int i = 0; i < 3; ++i) {
        auto* p = new QProcess(this);
        p->start(m_exe, {QStringLiteral("http://example.org/%1").arg(i)});
        processes << p;
    }
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (QProcess* p : processes)
                if (p->state() != QProcess::NotRunning)
                    return false;
            return true;
        },
        60000));
    for (QProcess* p : processes)
        QCOMPARE(p->exitCode(), 0);
    QCOMPARE(m_app->frame()->registry()->count(), 3);
    QStringList got = navigations();
    got.sort();
    QCOMPARE(got,
             (QStringList{"http://example.org/0", "http://example.org/1", "http://example.org/2"}));
    qDeleteAll(processes);
}

void TestHandOff::modalDialogHoldsAddress_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("dialogs");
    // Windows open while each dialog is up, seen just before it closes.
    QTest::addColumn<QList<int>>("windows");
    // With no mail program the message comes first, then the settings: the
    // address opens as soon as the message box has closed.
    QTest::newRow("message box, then settings")
        << int(FrameActions::MailProgram) << QStringList{"QMessageBox", "SettingsDialog"}
        << QList<int>{0, 1};
    QTest::newRow("settings dialog")
        << int(FrameActions::Settings) << QStringList{"SettingsDialog"} << QList<int>{0};
    QTest::newRow("file dialog") << int(FrameActions::LoadLayout) << QStringList{"QFileDialog"}
                                 << QList<int>{0};
}

// A second start arrives while a real modal dialog is open: its address waits
// until the last dialog has closed, and then opens once.
void TestHandOff::modalDialogHoldsAddress() {
    QFETCH(int, command);
    QFETCH(QStringList, dialogs);
    QFETCH(QList<int>, windows);
    m_dialogs.reset(); // real dialogs
    MainFrame* frame = m_app->frame();
    QProcess second;
    QList<int> windowsWhileOpen;
    auto modal = [](const QString& className) {
        return [className] {
            QWidget* w = QApplication::activeModalWidget();
            return w && w->isVisible() && w->inherits(qPrintable(className));
        };
    };
    UserScript user;
    user.then(modal(dialogs.first()),
              [&] { second.start(m_exe, {QStringLiteral("http://example.org/spaeter")}); });
    user.then([&] { return second.state() == QProcess::NotRunning; }, [] {});
    for (const QString& dialog : dialogs) {
        user.then(modal(dialog), [&, frame] {
            windowsWhileOpen << frame->registry()->count();
            QWidget* w = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->button(QMessageBox::Ok)->click();
            else if (auto* settings = qobject_cast<SettingsDialog*>(w))
                settings->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
            else if (auto* files = qobject_cast<QFileDialog*>(w))
                files->reject();
        });
    }
    frame->action(FrameActions::Command(command))->trigger();
    QVERIFY(user.done());
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(windowsWhileOpen, windows);
    QCOMPARE(frame->registry()->count(), 1);
    QCOMPARE(navigations(), QStringList{QStringLiteral("http://example.org/spaeter")});
    // Drops are taken again too.
    QVERIFY(frame->acceptDrops());
}

void TestHandOff::maximizedFrameComesBackMaximized() {
    MainFrame* frame = m_app->frame();
    frame->showMaximized();
    frame->showMinimized();
    QVERIFY(frame->isMinimized());
    QCOMPARE(secondStart({QStringLiteral("http://example.org/a")}), 0);
    QCOMPARE(frame->registry()->count(), 1);
    QVERIFY(!frame->isMinimized());
    QVERIFY(frame->isMaximized());
}

void TestHandOff::staleSocketIsReplaced() {
    QTemporaryDir dir;
    SingleInstance crashed(dir.path());
    // What a crashed instance leaves behind: its socket file, nobody behind it.
    QFile stale(QDir(QDir::tempPath()).filePath(crashed.serverName()));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance fresh(dir.path());
    QVERIFY(!fresh.handOff(QStringLiteral("x"), 1000));
    QVERIFY(fresh.listen());
    QSignalSpy received(&fresh, &SingleInstance::addressReceived);
    // A client written by hand, so this thread keeps serving.
    QLocalSocket client;
    client.connectToServer(fresh.serverName());
    QVERIFY(client.waitForConnected(2000));
    client.write(QByteArray("KVX1\0\0\0\x09http://x/", 17));
    client.flush();
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 5000);
    QCOMPARE(received.first().first().toString(), QStringLiteral("http://x/"));
    QTRY_VERIFY(client.bytesAvailable() >= 2 || client.waitForReadyRead(10));
    QCOMPARE(client.readAll(), QByteArray("OK"));
}

void TestHandOff::garbageClientsAreDropped() {
    // A silent client, binary junk and an enormous length: the running
    // instance stays responsive and a real hand-off still gets through.
    QLocalSocket silent;
    silent.connectToServer(SingleInstance(m_app->dir()).serverName());
    QVERIFY(silent.waitForConnected(2000));
    QLocalSocket junk;
    junk.connectToServer(SingleInstance(m_app->dir()).serverName());
    QVERIFY(junk.waitForConnected(2000));
    junk.write(QByteArray("\x00\xff\x13garbage\x01\x02", 13));
    junk.flush();
    QLocalSocket huge;
    huge.connectToServer(SingleInstance(m_app->dir()).serverName());
    QVERIFY(huge.waitForConnected(2000));
    huge.write(QByteArray("KVX1\x7f\xff\xff\xff", 8) + QByteArray(1000, 'a'));
    huge.flush();
    QTest::qWait(200);
    QCOMPARE(secondStart({QStringLiteral("http://example.org/ok")}), 0);
    QCOMPARE(m_app->frame()->registry()->count(), 1);
    // The silent client is dropped after its time-out.
    QTRY_VERIFY_WITH_TIMEOUT(silent.state() == QLocalSocket::UnconnectedState, 10000);
    QCOMPARE(m_app->frame()->registry()->count(), 1);
}

QTEST_MAIN(TestHandOff)
#include "tst_handoff.moc"
