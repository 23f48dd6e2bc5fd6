#include "StartedApp.h"
#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "prefs/model/KorvixSettings.h"
#include "prefs/model/Prefer.h"

#include <QDir>
#include <QFile>
#include <QTest>

// What sites stored goes at the start after "Browserdaten löschen" asked for
// it, before the engine opens it; cookies and cache stay.
class TestStorageAtStart : public QObject {
    Q_OBJECT
public:
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void removedBeforeTheEngineOpensIt();
};

void TestStorageAtStart::removedBeforeTheEngineOpensIt() {
    StartedApp app;
    const QStringList stored{"WebEngine/Local Storage/leveldb/000123.ldb",
                             "WebEngine/IndexedDB/http_127.0.0.1_80.indexeddb.leveldb/CURRENT",
                             "WebEngine/Service Worker/Database/CURRENT"};
    const QStringList kept{"WebEngine/Cache/index", "WebEngine/Cookies"};
    for (const QString& file : stored + kept) {
        QVERIFY(QDir(app.dir()).mkpath(QFileInfo(file).path()));
        app.writeFile(file, "x");
    }
    KorvixSettings(app.dir()).setClearSiteDataAtStart(true);
    app.writePrefs([](Prefer& p) { p.StartBrowser = 0; });
    QVERIFY(app.startWithEngine());
    // Nothing happens before the engine starts, with the first window.
    for (const QString& file : stored)
        QVERIFY(QFile::exists(QDir(app.dir()).filePath(file)));
    QVERIFY(app.openWindow(QStringLiteral("about:blank")));
    for (const QString& file : stored)
        QVERIFY2(!QFile::exists(QDir(app.dir()).filePath(file)), qPrintable(file));
    QVERIFY(QFile::exists(QDir(app.dir()).filePath(kept.first())));
    QVERIFY(!KorvixSettings(app.dir()).clearSiteDataAtStart());
    app.stop();
}

QTEST_MAIN(TestStorageAtStart)
#include "tst_storageatstart.moc"
