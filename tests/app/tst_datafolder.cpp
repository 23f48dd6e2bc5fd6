#include "FileHelpers.h"
#include "app/DataLocation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Root may write into any folder, so a read-only program folder is only
// read-only to the program when it runs as somebody else.
bool asRoot() {
    return ::getuid() == 0;
}

const passwd* unprivileged() {
    return ::getpwnam("nobody");
}

int modeOf(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A program folder holding a copy of the real program, a data home and a
// home, all owned by the user the program runs as.
class Installation {
public:
    explicit Installation(bool writableProgramFolder) {
        QVERIFY(m_root.isValid());
        QVERIFY(QFile::setPermissions(m_root.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::ReadOther |
                                                         QFile::ExeOther));
        for (const QString& name : {QStringLiteral("program"), QStringLiteral("data"),
                                    QStringLiteral("home"), QStringLiteral("program2")})
            QVERIFY(QDir(m_root.path()).mkdir(name));
        for (const QString& name : {QStringLiteral("program"), QStringLiteral("program2")})
            QVERIFY(QFile::copy(QStringLiteral(KORVIX_EXECUTABLE),
                                QDir(path(name)).filePath(QStringLiteral("korvix"))));
        for (const QString& name : {QStringLiteral("data"), QStringLiteral("home")})
            giveToRunner(path(name));
        if (writableProgramFolder) {
            giveToRunner(path(QStringLiteral("program")));
        } else {
            for (const QString& name : {QStringLiteral("program"), QStringLiteral("program2")})
                QCOMPARE(::chmod(QFile::encodeName(path(name)).constData(), 0555), 0);
        }
    }

    QString path(const QString& name) const { return QDir(m_root.path()).filePath(name); }
    QString programDir() const { return path(QStringLiteral("program")); }
    QString dataHome() const { return path(QStringLiteral("data")); }

    // Starts the copy in `folder` as the unprivileged user.
    void start(QProcess& process, const QString& folder, const QStringList& args = {},
               const QString& platform = QString()) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!platform.isEmpty())
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        // The runner's runtime folder is not the unprivileged user's.
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        shareLeakSuppressions(env);
        process.setProcessEnvironment(env);
        const QString exe = QDir(path(folder)).filePath(QStringLiteral("korvix"));
        if (asRoot()) {
            process.start(QStringLiteral("setpriv"),
                          QStringList{QStringLiteral("--reuid=nobody"),
                                      QStringLiteral("--regid=nogroup"),
                                      QStringLiteral("--clear-groups"), exe} +
                              args);
        } else {
            process.start(exe, args);
        }
    }

private:
    // A sanitized build names its leak suppressions by a path inside the
    // checkout, which the unprivileged user may not be allowed to read.
    void shareLeakSuppressions(QProcessEnvironment& env) const {
        static const QLatin1String key("suppressions=");
        if (!env.contains(QStringLiteral("LSAN_OPTIONS")))
            return;
        QStringList options = env.value(QStringLiteral("LSAN_OPTIONS")).split(QLatin1Char(':'));
        for (QString& option : options) {
            if (!option.startsWith(key))
                continue;
            const QString copy = path(QStringLiteral("lsan.supp"));
            if (!QFile::exists(copy))
                QFile::copy(option.mid(key.size()), copy);
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadOther);
            option = key + copy;
        }
        env.insert(QStringLiteral("LSAN_OPTIONS"), options.join(QLatin1Char(':')));
    }

    static void giveToRunner(const QString& dir) {
        if (asRoot())
            QCOMPARE(::chown(QFile::encodeName(dir).constData(), unprivileged()->pw_uid,
                             unprivileged()->pw_gid),
                     0);
    }

    QTemporaryDir m_root;
};

bool finishes(QProcess& process, int timeoutMs = 30000) {
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
}
} // namespace

// The real program, unprivileged, in a folder it can or cannot write: its
// files go beside it or to the user's data folder.
class TestDataFolder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void filesFollowTheProgramFolder_data();
    void filesFollowTheProgramFolder();
    void installedCopiesShareOneInstance();
    void questionsLeaveEverythingAlone_data();
    void questionsLeaveEverythingAlone();
    void systemFolders_data();
    void systemFolders();
    void userDataFolder_data();
    void userDataFolder();
};

void TestDataFolder::initTestCase() {
    if (asRoot())
        QVERIFY2(unprivileged(), "no user 'nobody' to run the program as");
}

void TestDataFolder::filesFollowTheProgramFolder_data() {
    QTest::addColumn<bool>("writable");
    QTest::newRow("writable folder: beside the program") << true;
    QTest::newRow("read-only folder: user data folder") << false;
}

void TestDataFolder::filesFollowTheProgramFolder() {
    QFETCH(bool, writable);
    Installation inst(writable);
    if (QTest::currentTestFailed())
        return;
    const QString files =
        writable ? inst.programDir() : QDir(inst.dataHome()).filePath(QStringLiteral("korvix"));
    const QString prefs = QDir(files).filePath(QStringLiteral("Pref.kxp"));
    const QString engine = QDir(files).filePath(QStringLiteral("WebEngine"));

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    inst.start(process, QStringLiteral("program"));
    QVERIFY(process.waitForStarted(10000));
    // The default preferences open a window on the start page, so the web
    // engine's storage appears as well.
    QVERIFY2(QTest::qWaitFor([&] { return QFileInfo::exists(prefs) && QFileInfo(engine).isDir(); },
                             60000),
             qPrintable(entries(files).join(QLatin1Char(' '))));
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(finishes(process));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    QCOMPARE(modeOf(prefs), 0600);
    QVERIFY(QFileInfo(engine).isDir());
    if (writable) {
        // Only the user data folder is looked at: Qt WebEngine itself writes
        // a settings file under the data home before it is told the
        // profile's folder.
        QVERIFY(!QFileInfo::exists(QDir(inst.dataHome()).filePath(QStringLiteral("korvix"))));
    } else {
        QCOMPARE(entries(inst.programDir()), QStringList{QStringLiteral("korvix")});
        QCOMPARE(modeOf(files), 0700);
    }
}

void TestDataFolder::installedCopiesShareOneInstance() {
    // Two read-only copies with one data folder are one program: the second
    // start hands over its address instead of opening a second frame.
    Installation inst(false);
    if (QTest::currentTestFailed())
        return;
    const QString prefs = QDir(inst.dataHome()).filePath(QStringLiteral("korvix/Pref.kxp"));
    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    inst.start(first, QStringLiteral("program"));
    QVERIFY(first.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(prefs); }, 60000));

    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    inst.start(second, QStringLiteral("program2"), {QStringLiteral("http://example.org/")});
    QVERIFY(second.waitForStarted(10000));
    const bool handedOver = finishes(second);
    if (!handedOver)
        second.kill();
    QVERIFY(first.state() == QProcess::Running);
    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(finishes(first));
    QVERIFY2(handedOver, "the second copy started a frame of its own");
    QCOMPARE(second.exitCode(), 0);
}

void TestDataFolder::questionsLeaveEverythingAlone_data() {
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    // "%1" stands for the folder the answer names.
    QTest::newRow("--version") << true << "--version"
                               << "Korvix 6.4\n";
    QTest::newRow("--help, writable folder") << true << "--help"
                                             << "  Hier: %1\n";
    QTest::newRow("--help, read-only folder") << false << "--help"
                                              << "  Hier: %1\n";
}

void TestDataFolder::questionsLeaveEverythingAlone() {
    QFETCH(bool, writable);
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    Installation inst(writable);
    if (QTest::currentTestFailed())
        return;
    const QString files =
        writable ? inst.programDir() : QDir(inst.dataHome()).filePath(QStringLiteral("korvix"));
    QProcess process;
    // A platform that does not exist: a window or the web engine would end
    // the program with an error.
    inst.start(process, QStringLiteral("program"), {argument}, QStringLiteral("none"));
    QVERIFY(process.waitForStarted(10000));
    QVERIFY(finishes(process));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(out.contains(QString(expected).replace(QLatin1String("%1"), files)), qPrintable(out));
    if (argument == QLatin1String("--help")) {
        for (const char* form : {"korvix [ADRESSE | DATEI]", "korvix --help", "korvix --version",
                                 "$XDG_DATA_HOME/korvix", "SIGTERM"})
            QVERIFY2(out.contains(QLatin1String(form)), form);
    }
    QCOMPARE(entries(inst.programDir()), QStringList{QStringLiteral("korvix")});
    QCOMPARE(entries(inst.dataHome()), QStringList());
}

void TestDataFolder::systemFolders_data() {
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("system");
    QTest::newRow("/usr/bin") << "/usr/bin" << true;
    QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true;
    QTest::newRow("/usr/games") << "/usr/games" << true;
    QTest::newRow("/bin") << "/bin" << true;
    QTest::newRow("/sbin/") << "/sbin/" << true;
    QTest::newRow("/usr/../usr/bin") << "/usr/../usr/bin" << true;
    QTest::newRow("/opt/korvix") << "/opt/korvix" << false;
    QTest::newRow("/usrlocal") << "/usrlocal" << false;
    QTest::newRow("/binaries") << "/binaries" << false;
    QTest::newRow("/home/u/usr/bin") << "/home/u/usr/bin" << false;
    QTest::newRow("/tmp/x/../../usr") << "/tmp/x/../../usr" << true;
}

void TestDataFolder::systemFolders() {
    QFETCH(QString, dir);
    QFETCH(bool, system);
    QCOMPARE(DataLocation::isSystemFolder(dir), system);
    // Writable or not, a system folder keeps no user's files.
    const DataLocation location = DataLocation::forProgram(dir, {});
    QCOMPARE(location.rule() == DataLocation::Rule::SystemProgramFolder, system);
}

void TestDataFolder::userDataFolder_data() {
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<QString>("expected");
    QTest::newRow("set") << "/srv/u/data"
                         << "/srv/u/data/korvix";
    QTest::newRow("trailing slash") << "/srv/u/data/"
                                    << "/srv/u/data/korvix";
    QTest::newRow("unset") << QString() << "/home/u/.local/share/korvix";
    QTest::newRow("relative") << "data"
                              << "/home/u/.local/share/korvix";
}

void TestDataFolder::userDataFolder() {
    QFETCH(QString, dataHome);
    QFETCH(QString, expected);
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/u"));
    if (!dataHome.isNull())
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    QCOMPARE(DataLocation::userDataFolder(env), expected);
    QCOMPARE(DataLocation::forProgram(QStringLiteral("/usr/bin"), env).folder(), expected);
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
