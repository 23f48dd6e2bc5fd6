#include "ScriptedDialogs.h"
#include "StartedApp.h"
#include "frame/MainFrame.h"
#include "frame/ToolWindows.h"
#include "mail/MailLauncher.h"
#include "prefs/SettingsDialog.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

namespace {

// Keeps the order of everything shown, and the filter the file dialog offered.
class RecordingDialogs : public ScriptedDialogs {
public:
    QStringList shown;
    QStringList filters;

protected:
    QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton def) override {
        shown << QStringLiteral("message");
        return ScriptedDialogs::showMessage(parent, icon, title, text, buttons, def);
    }
    QString showOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter, QFileDialog::Options options,
                         bool mustExist) override {
        shown << QStringLiteral("file");
        filters << filter;
        return ScriptedDialogs::showOpenFile(parent, caption, dir, filter, options, mustExist);
    }
    int showModal(const std::function<int()>& exec) override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isWindow() && qobject_cast<QDialog*>(w))
                shown << w->windowTitle();
        return ScriptedDialogs::showModal(exec);
    }
};

QString contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeProgram(const QString& path, const QByteArray& body, bool executable) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(body) != body.size())
        return false;
    f.close();
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        p |= QFile::ExeOwner;
    return f.setPermissions(p);
}

} // namespace

class TestMailLauncher : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void unconfiguredOpensTheSettings_data();
    void unconfiguredOpensTheSettings();
    void missingProgramIsNamed_data();
    void missingProgramIsNamed();
    void programWithBlanksInItsPathStarts();
    void programThatCannotStartIsNotReported();
    void linkCarriesTitleAndAddressWhole_data();
    void linkCarriesTitleAndAddressWhole();
    void noAddressNoLink();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Prefer> m_prefs;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    QList<QUrl> m_opened;
};

void TestMailLauncher::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_prefs = std::make_unique<Prefer>(m_dir->path());
    m_prefs->setDefaults();
    m_dialogs = std::make_unique<RecordingDialogs>();
    m_opened.clear();
    MailLauncher::setUrlOpener([this](const QUrl& url) {
        m_opened << url;
        return true;
    });
}

void TestMailLauncher::cleanup() {
    MailLauncher::setUrlOpener({});
    m_dialogs.reset();
    m_prefs.reset();
    m_dir.reset();
}

void TestMailLauncher::unconfiguredOpensTheSettings_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("command");
    QTest::newRow("empty") << QString() << int(FrameActions::MailProgram);
    QTest::newRow("blanks") << QStringLiteral("   ") << int(FrameActions::MailProgram);
}

// "E-Mail Anwendung" without a mail program says so and opens the settings
// dialog, where the program is chosen; nothing is chosen or saved behind the
// user's back.
void TestMailLauncher::unconfiguredOpensTheSettings() {
    QFETCH(QString, stored);
    QFETCH(int, command);
    StartedApp app;
    app.writePrefs([&](Prefer& p) {
        p.StartBrowser = 0;
        p.MailClient = stored;
    });
    MainFrame* frame = app.start();
    m_dialogs->fileNames << QStringLiteral("/usr/bin/env");
    frame->action(FrameActions::Command(command))->trigger();

    QCOMPARE(m_dialogs->shown, (QStringList{"message", "Korvix Einstellungen"}));
    QCOMPARE(m_dialogs->messages[0].icon, QMessageBox::Information);
    QCOMPARE(m_dialogs->messages[0].title, QStringLiteral("Meldung"));
    QCOMPARE(m_dialogs->messages[0].text,
             QStringLiteral("Bitte konfigurieren Sie Ihre E-Mail Anwendung."));
    QCOMPARE(frame->tools()->preferences().MailClient, QString());
}

void TestMailLauncher::missingProgramIsNamed_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("absolute") << QStringLiteral("/nirgends/mail");
    QTest::newRow("with blanks") << QStringLiteral("/opt/Mein Mail/bin/mail --neu");
    QTest::newRow("bare name") << QStringLiteral("korvix-kein-mailprogramm");
}

void TestMailLauncher::missingProgramIsNamed() {
    QFETCH(QString, path);
    m_prefs->MailClient = path;
    MailLauncher::startMailProgram(nullptr, *m_prefs);
    QCOMPARE(m_dialogs->shown, QStringList{"message"});
    QCOMPARE(m_dialogs->messages[0].icon, QMessageBox::Warning);
    QCOMPARE(m_dialogs->messages[0].title, QStringLiteral("Meldung"));
    QCOMPARE(m_dialogs->messages[0].text, QStringLiteral("Die Anwendung '") + path +
                                              QStringLiteral("' konnte nicht gefunden werden."));
    QCOMPARE(m_prefs->MailClient, path);
}

void TestMailLauncher::programWithBlanksInItsPathStarts() {
    const QString folder = m_dir->path() + QStringLiteral("/Mail Programm");
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/post fach");
    const QString marker = m_dir->path() + QStringLiteral("/gestartet");
    // Writes its own path and arguments, so a split path would show.
    QVERIFY(writeProgram(
        program, "#!/bin/sh\nprintf '%s|%s' \"$0\" \"$#\" > '" + marker.toUtf8() + "'\n", true));
    m_prefs->MailClient = program;
    MailLauncher::startMailProgram(nullptr, *m_prefs);
    QVERIFY(m_dialogs->shown.isEmpty());
    QTRY_COMPARE(contentOf(marker), program + QStringLiteral("|0"));
}

void TestMailLauncher::programThatCannotStartIsNotReported() {
    const QString program = m_dir->path() + QStringLiteral("/kein programm");
    QVERIFY(writeProgram(program, "nur Text\n", false));
    m_prefs->MailClient = program;
    MailLauncher::startMailProgram(nullptr, *m_prefs);
    QVERIFY(m_dialogs->shown.isEmpty());
}

void TestMailLauncher::linkCarriesTitleAndAddressWhole_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("address");
    QTest::newRow("ampersands") << QStringLiteral("Fish & Chips")
                                << QStringLiteral("http://a.example/?x=1&y=2");
    QTest::newRow("equals and hash") << QStringLiteral("a=b #1") << QStringLiteral("http://h/#top");
    QTest::newRow("plus and percent")
        << QStringLiteral("C++ zu 100%") << QStringLiteral("http://h/?q=c%2B%2B+tipps");
    QTest::newRow("umlauts") << QStringLiteral("Grüße aus Köln")
                             << QStringLiteral("http://köln.de/");
    QTest::newRow("empty title") << QString() << QStringLiteral("file:///tmp/a b.html");
}

void TestMailLauncher::linkCarriesTitleAndAddressWhole() {
    QFETCH(QString, title);
    QFETCH(QString, address);
    MailLauncher::sendLink(title, address);
    QCOMPARE(m_opened.size(), 1);
    const QUrl link = m_opened.first();
    QVERIFY(link.isValid());
    QCOMPARE(link.scheme(), QStringLiteral("mailto"));
    const QUrlQuery query(link);
    QCOMPARE(query.queryItems(QUrl::FullyDecoded).size(), 2);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), title);
    QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), address);
    // What the mail program receives: one separator, nothing a handler could
    // read as a blank or a further field.
    const QByteArray sent = link.toEncoded();
    QVERIFY2(sent.startsWith("mailto:?subject="), sent.constData());
    QCOMPARE(sent.count('&'), 1);
    QCOMPARE(sent.count('='), 2);
    QVERIFY2(!sent.contains('+') && !sent.contains(' ') && !sent.contains('#'), sent.constData());
}

void TestMailLauncher::noAddressNoLink() {
    MailLauncher::sendLink(QStringLiteral("Titel"), QString());
    QVERIFY(m_opened.isEmpty());
}

QTEST_MAIN(TestMailLauncher)
#include "tst_maillauncher.moc"
