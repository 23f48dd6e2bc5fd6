#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <unistd.h>

// The real program as a process: started from a bare copy in an empty
// folder, ended by a signal.
class TestProcess : public QObject {
    Q_OBJECT
private slots:
    void signalClosesLikeBeenden_data();
    void signalClosesLikeBeenden();
    void rootWithoutSandboxSwitchSaysSo();
};

void TestProcess::signalClosesLikeBeenden_data() {
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestProcess::signalClosesLikeBeenden() {
    QFETCH(int, sig);
    QTemporaryDir dir;
    const QString exe = QDir(dir.path()).filePath(QStringLiteral("korvix"));
    QVERIFY(QFile::copy(QStringLiteral(KORVIX_EXECUTABLE), exe));
    {
        // A width that is no whole number of pixels: the value saved at the
        // end is the frame's real width, so it changes only if the frame saved.
        Prefer p(dir.path());
        p.setDefaults();
        // A window on the start page, so the web engine runs when the
        // signal comes.
        p.StartBrowser = -1;
        p.MdiWidth = 12346;
        QString error;
        QVERIFY(p.save(&error));
    }
    QProcess process;
    process.setProgram(exe);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    QVERIFY(process.waitForStarted(10000));
    // The running program keeps its windows in the session file.
    const QString session = QDir(dir.path()).filePath(QStringLiteral("Sitzung.wlt"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(session), 30000);
    ::kill(pid_t(process.processId()), sig);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    // An end asked for leaves no session to restore.
    QVERIFY(!QFile::exists(session));
    Prefer saved(dir.path());
    QString error;
    QVERIFY(saved.load(&error));
    QCOMPARE(int(saved.MdiWidth), 823 * 15);
    QVERIFY(QFileInfo(QDir(dir.path()).filePath(QStringLiteral("WebEngine"))).isDir());
}

// As root the engine refuses its sandbox; without the switch the program
// says so and why, instead of ending without a word, and writes nothing.
void TestProcess::rootWithoutSandboxSwitchSaysSo() {
    if (::geteuid() != 0)
        QSKIP("only root meets the engine's refusal");
    QTemporaryDir dir;
    const QString exe = QDir(dir.path()).filePath(QStringLiteral("korvix"));
    QVERIFY(QFile::copy(QStringLiteral(KORVIX_EXECUTABLE), exe));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    env.remove(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(exe, {QStringLiteral("http://example.org/")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    const QString said = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("root")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX=1")), qPrintable(said));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{QStringLiteral("korvix")});
}

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
