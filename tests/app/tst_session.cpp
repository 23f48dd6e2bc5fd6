#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameActions.h"
#include "frame/MainFrame.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QUrl>
#include <csignal>

// The open windows outlive a program that was killed: the next start offers
// them again. A clean end leaves nothing to offer.
class TestSession : public QObject {
    Q_OBJECT
private slots:
    void killedSessionComesBack_data();
    void killedSessionComesBack();
    void beendenLeavesNoSession();

private:
    static QString sessionPath(const StartedApp& app) {
        return QDir(app.dir()).filePath(QStringLiteral("Sitzung.wlt"));
    }
    static QStringList sessionAddresses(const StartedApp& app) {
        QFile f(sessionPath(app));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList addresses;
        for (const LayoutRecord& r : LayoutFile::decode(f.readAll()))
            addresses << r.url;
        return addresses;
    }
};

void TestSession::killedSessionComesBack_data() {
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("Ja") << QMessageBox::Yes;
    QTest::newRow("Nein") << QMessageBox::No;
}

void TestSession::killedSessionComesBack() {
    QFETCH(QMessageBox::StandardButton, answer);
    StartedApp app;
    // Three pages opened by a layout at start, in the real program.
    QStringList pages;
    QList<LayoutItem> items;
    for (const char* name : {"eins", "zwei", "drei"}) {
        const QString file = QString::fromLatin1(name) + QStringLiteral(".html");
        app.writeFile(file, "<html><head><title>" + QByteArray(name) + "</title></head></html>");
        pages << QUrl::fromLocalFile(QDir(app.dir()).filePath(file)).toString();
        LayoutItem item;
        item.url = pages.last();
        items << item;
    }
    QString error;
    QVERIFY(LayoutFile::save(QDir(app.dir()).filePath(QStringLiteral("drei.wlt")), items, &error));
    app.writePrefs([](Prefer& p) {
        p.StartBrowser = 0;
        p.LoadOption = 2;
        p.Layout = QStringLiteral("drei.wlt");
    });
    const QString exe = QDir(app.dir()).filePath(QStringLiteral("korvix"));
    QVERIFY(QFile::copy(QStringLiteral(KORVIX_EXECUTABLE), exe));
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(exe, {});
    QVERIFY(process.waitForStarted(10000));
    QTRY_COMPARE_WITH_TIMEOUT(sessionAddresses(app), pages, 60000);
    ::kill(pid_t(process.processId()), SIGKILL);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);

    // The next start opens no layout of its own.
    app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    ScriptedDialogs dialogs;
    dialogs.answers << answer;
    MainFrame* frame = app.start();
    QVERIFY(frame);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().text,
             QStringLiteral("Die letzte Sitzung wurde nicht ordnungsgemäß beendet. "
                            "Fenster wiederherstellen?"));
    QCOMPARE(dialogs.messages.first().icon, QMessageBox::Question);
    QVERIFY(batchOpened(frame));
    QStringList opened;
    for (BrowserWindow* w : frame->registry()->windows())
        opened << w->startingAddress();
    QCOMPARE(opened, answer == QMessageBox::Yes ? pages : QStringList());
    // From now on the file holds this session: the windows restored, or none.
    if (answer == QMessageBox::Yes)
        QTRY_COMPARE_WITH_TIMEOUT(sessionAddresses(app), pages, 10000);
    else
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(sessionPath(app)), 10000);
}

void TestSession::beendenLeavesNoSession() {
    ScriptedDialogs dialogs;
    StartedApp app;
    app.writePrefs([](Prefer& p) { p.StartBrowser = -1; });
    MainFrame* frame = app.start(QStringLiteral("http://example.org/"));
    QTRY_COMPARE_WITH_TIMEOUT(sessionAddresses(app),
                              QStringList{QStringLiteral("http://example.org/")}, 10000);
    frame->action(FrameActions::Exit)->trigger();
    QVERIFY(!QFile::exists(sessionPath(app)));
    app.stop();
    // The next start has nothing to ask.
    app.start();
    QVERIFY(dialogs.messages.isEmpty());
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
