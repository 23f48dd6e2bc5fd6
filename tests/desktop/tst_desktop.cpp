#include "Desktop.h"
#include "HttpTestServer.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <memory>

// The built program on an X server of its own, used with real X input as a
// person uses it: a click, keys on a German keyboard. Results are read from
// outside: the requests of a local server, window titles, the files written.
class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void enterOpensTypedAddress_data();
    void enterOpensTypedAddress();
    void menuByAltKeyOpensWindow();
    void findWithCtrlF();
    void closeWindowWithCtrlF12();
    void previousWindowWithCtrlShiftTab();
    void settingsLeftWithEnter();
    void beendenEndsTheProgram();
    void pageDrawnWithoutOpenGL();

private:
    // Starts Korvix in a fresh folder of its own (a portable copy), its start
    // page on the local server, and waits until its frame shows that page.
    // What went wrong, or nothing.
    QString startKorvix(const QString& address = QString());
    QString frameWindow() const;
    QString frameTitle() const;
    // Clicks into the address box of the window in front.
    bool clickAddressBox();
    QString dataFile(const QString& name) const { return QDir(m_dir->path()).filePath(name); }
    int sessionWindows() const;
    QString pageUrl(const QString& path) const { return m_server.url(path); }

    Desktop m_desktop;
    HttpTestServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_korvix;
};

void TestDesktop::initTestCase() {
    if (!m_desktop.start())
        QFAIL(qPrintable(m_desktop.error()));
    QVERIFY(m_server.start());
    m_server.addPage(QStringLiteral("/home.html"),
                     "<html><head><title>Heim</title></head><body>Start</body></html>");
    m_server.addPage(QStringLiteral("/b.html"),
                     "<html><head><title>Seite B</title></head><body>Seite B</body></html>");
    m_server.addPage(QStringLiteral("/c.html"),
                     "<html><head><title>Seite C</title></head><body>Seite C</body></html>");
    // The find bar scrolls its match into sight, which the page reports.
    m_server.addPage(QStringLiteral("/obst.html"),
                     "<html><head><title>Obst</title></head><body><p>Apfel</p>"
                     "<div style='height:4000px'></div><p>Birne</p>"
                     "<script>let told = false; addEventListener('scroll', () => {"
                     "if (!told && scrollY > 2000) { told = true; fetch('/gerollt'); } });"
                     "</script></body></html>");
    m_server.addPage(QStringLiteral("/gerollt"), "");
    m_server.addPage(QStringLiteral("/gruen.html"),
                     "<html><head><title>Gruen</title></head>"
                     "<body style='background: #1e9c50'></body></html>");
}

void TestDesktop::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestDesktop::cleanup() {
    if (m_korvix && m_korvix->state() != QProcess::NotRunning) {
        m_korvix->kill();
        m_korvix->waitForFinished(10000);
    }
    m_korvix.reset();
    m_dir.reset();
}

QString TestDesktop::startKorvix(const QString& address) {
    const QString exe = dataFile(QStringLiteral("korvix"));
    if (!QFile::copy(QStringLiteral(KORVIX_EXECUTABLE), exe))
        return QStringLiteral("no copy of the program");
    Prefer prefs(m_dir->path());
    prefs.setDefaults();
    prefs.HomeUrl = pageUrl(QStringLiteral("/home.html"));
    prefs.StartBrowser = -1;
    // 1000 x 700 pixels.
    prefs.MdiWidth = 15000;
    prefs.MdiHeight = 10500;
    QString error;
    if (!prefs.save(&error))
        return error;
    m_korvix = std::make_unique<QProcess>();
    QProcessEnvironment env = m_desktop.environment();
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    m_korvix->setProcessEnvironment(env);
    m_korvix->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_korvix->start(exe, address.isEmpty() ? QStringList() : QStringList{address});
    if (!m_korvix->waitForStarted(10000))
        return QStringLiteral("did not start");
    const QString expected = address.isEmpty() ? QStringLiteral("Korvix 6.4 - [Heim]")
                                               : QStringLiteral("Korvix 6.4 - [");
    if (!QTest::qWaitFor([&] { return frameTitle().startsWith(expected); }, 60000))
        return QStringLiteral("the frame's title is \"%1\"").arg(frameTitle());
    // The frame takes the keys, as the window manager gives them to a
    // window that has just opened.
    if (!m_desktop.focusWindow(frameWindow()))
        return QStringLiteral("the frame did not take the focus");
    return QString();
}

QString TestDesktop::frameWindow() const {
    const QStringList found =
        m_desktop.windows(m_korvix->processId(), QStringLiteral("^Korvix 6\\.4"));
    return found.isEmpty() ? QString() : found.first();
}

QString TestDesktop::frameTitle() const {
    const QString window = frameWindow();
    return window.isEmpty() ? QString() : m_desktop.windowTitle(window);
}

bool TestDesktop::clickAddressBox() {
    QRect box;
    const auto found = [&] {
        box = m_desktop.findWidget(m_korvix->processId(), QStringLiteral("combo box"));
        return !box.isEmpty();
    };
    if (!QTest::qWaitFor(found, 20000))
        return false;
    // Into the text, left of the arrow.
    return m_desktop.click(QPoint(box.left() + box.width() / 3, box.center().y()));
}

int TestDesktop::sessionWindows() const {
    QFile f(dataFile(QStringLiteral("Sitzung.wlt")));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return int(LayoutFile::decode(f.readAll()).size());
}

void TestDesktop::enterOpensTypedAddress_data() {
    QTest::addColumn<bool>("newWindow");
    QTest::addColumn<QString>("enter");
    QTest::newRow("start window, Return") << false << "Return";
    QTest::newRow("window made with F12, keypad Enter") << true << "KP_Enter";
}

void TestDesktop::enterOpensTypedAddress() {
    QFETCH(bool, newWindow);
    QFETCH(QString, enter);
    QCOMPARE(startKorvix(), QString());
    const QString page = newWindow ? QStringLiteral("/c.html") : QStringLiteral("/b.html");
    const int pagesBefore = m_server.hits(page);
    if (newWindow) {
        const int homes = m_server.hits(QStringLiteral("/home.html"));
        QVERIFY(m_desktop.key(QStringLiteral("F12")));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.hits(QStringLiteral("/home.html")), homes + 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(sessionWindows(), 2, 30000);
    }
    QVERIFY(clickAddressBox());
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+a")));
    QVERIFY(m_desktop.type(pageUrl(page)));
    QVERIFY(m_desktop.key(enter));
    const QString title = newWindow ? QStringLiteral("Seite C") : QStringLiteral("Seite B");
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [%1]").arg(title), 30000);
    QCOMPARE(m_server.hits(page), pagesBefore + 1);
}

void TestDesktop::menuByAltKeyOpensWindow() {
    QCOMPARE(startKorvix(), QString());
    const int homes = m_server.hits(QStringLiteral("/home.html"));
    QTRY_COMPARE_WITH_TIMEOUT(sessionWindows(), 1, 30000);
    // "&Datei", then "&Neuer Browser..." by its letter.
    QVERIFY(m_desktop.key(QStringLiteral("alt+d")));
    QVERIFY(m_desktop.key(QStringLiteral("n")));
    QTRY_COMPARE_WITH_TIMEOUT(m_server.hits(QStringLiteral("/home.html")), homes + 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(sessionWindows(), 2, 30000);
}

void TestDesktop::findWithCtrlF() {
    QCOMPARE(startKorvix(pageUrl(QStringLiteral("/obst.html"))), QString());
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [Obst]"), 30000);
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+f")));
    QVERIFY(m_desktop.type(QStringLiteral("Birne")));
    QTRY_COMPARE_WITH_TIMEOUT(m_server.hits(QStringLiteral("/gerollt")), 1, 30000);
}

void TestDesktop::closeWindowWithCtrlF12() {
    QCOMPARE(startKorvix(), QString());
    QVERIFY(m_desktop.key(QStringLiteral("F12")));
    QTRY_COMPARE_WITH_TIMEOUT(sessionWindows(), 2, 30000);
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+F12")));
    QTRY_COMPARE_WITH_TIMEOUT(sessionWindows(), 1, 30000);
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+F12")));
    QTRY_COMPARE_WITH_TIMEOUT(sessionWindows(), 0, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4"), 30000);
}

// Back through the windows in the order they were opened, wrapping around.
void TestDesktop::previousWindowWithCtrlShiftTab() {
    QCOMPARE(startKorvix(pageUrl(QStringLiteral("/b.html"))), QString());
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [Seite B]"), 30000);
    QVERIFY(m_desktop.key(QStringLiteral("F12")));
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [Heim]"), 30000);
    QVERIFY(clickAddressBox());
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+a")));
    QVERIFY(m_desktop.type(pageUrl(QStringLiteral("/c.html"))));
    QVERIFY(m_desktop.key(QStringLiteral("Return")));
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [Seite C]"), 30000);
    QVERIFY(m_desktop.key(QStringLiteral("F12")));
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [Heim]"), 30000);
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+shift+Tab")));
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [Seite C]"), 30000);
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+shift+Tab")));
    QTRY_COMPARE_WITH_TIMEOUT(frameTitle(), QStringLiteral("Korvix 6.4 - [Seite B]"), 30000);
}

void TestDesktop::settingsLeftWithEnter() {
    QCOMPARE(startKorvix(), QString());
    // "&Tools", then "e" twice, past "&E-Mail Anwendung" to
    // "Korvix &Einstellungen...", and Enter.
    QVERIFY(m_desktop.key(QStringLiteral("alt+t")));
    QVERIFY(m_desktop.key(QStringLiteral("e e Return")));
    QStringList dialog;
    QTRY_VERIFY_WITH_TIMEOUT(!(dialog = m_desktop.windows(m_korvix->processId(),
                                                          QStringLiteral("^Korvix Einstellungen$")))
                                  .isEmpty(),
                             30000);
    QVERIFY(m_desktop.focusWindow(dialog.first()));
    // The start address has the focus; a new one typed over it, and Enter.
    const QString home = pageUrl(QStringLiteral("/c.html"));
    QVERIFY(m_desktop.key(QStringLiteral("ctrl+a")));
    QVERIFY(m_desktop.type(home));
    QVERIFY(m_desktop.key(QStringLiteral("Return")));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_desktop.windows(m_korvix->processId(), QStringLiteral("^Korvix Einstellungen$"))
            .isEmpty(),
        30000);
    Prefer stored(m_dir->path());
    QString error;
    QVERIFY2(stored.load(&error), qPrintable(error));
    QCOMPARE(stored.HomeUrl, home);
}

void TestDesktop::beendenEndsTheProgram() {
    QCOMPARE(startKorvix(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(sessionWindows(), 1, 30000);
    QFile::remove(dataFile(QStringLiteral("Pref.kxp")));
    // "&Datei", "&Beenden".
    QVERIFY(m_desktop.key(QStringLiteral("alt+d")));
    QVERIFY(m_desktop.key(QStringLiteral("b")));
    QVERIFY(m_korvix->waitForFinished(30000));
    QCOMPARE(m_korvix->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_korvix->exitCode(), 0);
    // It saved its preferences and left no session behind.
    QVERIFY(QFile::exists(dataFile(QStringLiteral("Pref.kxp"))));
    QVERIFY(!QFile::exists(dataFile(QStringLiteral("Sitzung.wlt"))));
}

// A display without a graphics card, as this one is: the page is drawn in
// software, and OpenGL's software renderer never comes into the program.
void TestDesktop::pageDrawnWithoutOpenGL() {
    QCOMPARE(startKorvix(pageUrl(QStringLiteral("/gruen.html"))), QString());
    QString geometry;
    QVERIFY(m_desktop.xdotool(
        {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), frameWindow()},
        &geometry));
    const auto value = [&geometry](const char* key) {
        const QRegularExpression line(QLatin1String(key) + QStringLiteral("=(\\d+)"));
        return line.match(geometry).captured(1).toInt();
    };
    // The window on the command line fills the frame; its page the middle.
    const QPoint middle(value("X") + value("WIDTH") / 2, value("Y") + value("HEIGHT") / 2);
    QTRY_COMPARE_WITH_TIMEOUT(m_desktop.pixel(middle), qRgb(0x1e, 0x9c, 0x50), 20000);
    QFile maps(QStringLiteral("/proc/%1/maps").arg(m_korvix->processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    for (const char* renderer : {"_dri.so", "libLLVM", "libGLX_mesa"})
        QVERIFY2(!mapped.contains(renderer), renderer);
}

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
