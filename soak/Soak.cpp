#include "Soak.h"

#include "HttpTestServer.h"
#include "Keyboard.h"
#include "SoakDialogs.h"
#include "SoakTail.h"
#include "StartedApp.h"
#include "TestCertificate.h"
#include "browser/BrowserWindow.h"
#include "browser/FindBar.h"
#include "browser/QtWebView.h"
#include "browser/model/Lifecycle.h"
#include "common/TreeMemory.h"
#include "downloads/DownloadsWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/FrameTabs.h"
#include "frame/MainFrame.h"
#include "frame/TabBar.h"
#include "frame/ToolWindows.h"
#include "history/HistoryWindow.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <csignal>
#include <cstdio>

using A = FrameActions;

namespace {

constexpr int PlainPages = 10;
constexpr int PageTimeoutMs = 30000;
// A step that waits for something longer than this is itself a failure.
constexpr int SettleTimeoutMs = 5000;

QByteArray plainPage(int n) {
    QByteArray links;
    for (int i = 0; i < 4; ++i)
        links += "<a href=\"/plain/" + QByteArray::number((n + i + 1) % PlainPages) +
                 ".html\">Weiter " + QByteArray::number(i) + "</a> ";
    return "<html><head><title>Seite " + QByteArray::number(n) +
           "</title></head><body><h1>Korvix Seite " + QByteArray::number(n) + "</h1>" + links +
           "<p>Ein Absatz über Korvix, Lesezeichen und Fenster.</p>"
           "<img src=\"/ads/banner.png\" width=\"60\" height=\"20\">"
           "<form><input name=\"q\"><textarea>Haus Garten Korvix</textarea></form>"
           "</body></html>";
}

// Pages every browser meets: heavy script, popups, a login, a slow picture,
// script dialogs.
const char* const HeavyPage =
    "<html><head><title>Schwer</title></head><body><div id=\"d\"></div><script>"
    "let n = 0; const d = document.getElementById('d');"
    "function churn() { for (let i = 0; i < 300; ++i) {"
    "  const e = document.createElement('span'); e.textContent = 'x' + (n++);"
    "  d.appendChild(e); } while (d.childNodes.length > 2000) d.removeChild(d.firstChild); }"
    "setInterval(churn, 30); let s = 0; for (let i = 0; i < 3e6; ++i) s += Math.sqrt(i);"
    "</script></body></html>";
const char* const PopupPage =
    "<html><head><title>Popups</title></head><body>Popups<script>"
    "window.open('/plain/1.html'); window.open('/plain/2.html', '', 'width=300,height=200');"
    "</script></body></html>";
const char* const SlowPage =
    "<html><head><title>Langsam</title></head><body>Langsam <img src=\"/slow.png\">"
    "</body></html>";
const char* const DialogPage = "<html><head><title>Fragen</title></head><body><script>"
                               "if (confirm('Weiter?')) alert('Ja'); else alert('Nein');"
                               "</script></body></html>";

} // namespace

Soak::Soak(const SoakOptions& options) : m_options(options), m_random(options.seed) {}

Soak::~Soak() {
    if (m_memory) {
        m_memory->requestInterruption();
        m_memory->wait();
    }
    m_app.reset();
    m_dialogs.reset();
}

const std::vector<Soak::Choice>& Soak::choices() {
    static const std::vector<Choice> all = {
        {"new window", 8, &Soak::newWindow},
        {"new private window", 2, &Soak::newPrivateWindow},
        {"close window", 7, &Soak::closeWindow},
        {"close all", 1, &Soak::closeAll},
        {"reopen closed", 3, &Soak::reopenClosed},
        {"type address", 14, &Soak::typeAddress},
        {"suggestion", 3, &Soak::takeSuggestion},
        {"navigate", 7, &Soak::navigate},
        {"kill renderer", 2, &Soak::killRenderer},
        {"switch tab", 6, &Soak::switchTab},
        {"arrange", 4, &Soak::arrange},
        {"layouts", 2, &Soak::layouts},
        {"archive", 12, &Soak::archive},
        {"history window", 2, &Soak::historyWindow},
        {"settings", 2, &Soak::settings},
        {"find", 3, &Soak::findInPage},
        {"zoom", 3, &Soak::zoom},
        {"downloads", 3, &Soak::downloads},
        {"hand-off", 1, &Soak::handOff},
        {"popup policy", 1, &Soak::popupPolicy},
        {"blocking", 2, &Soak::blocking},
        {"clear data", 1, &Soak::clearData},
        {"bookmark page", 3, &Soak::bookmarkPage},
    };
    return all;
}

MainFrame* Soak::frame() const {
    return m_app ? m_app->frame() : nullptr;
}

BrowserRegistry* Soak::registry() const {
    return frame() ? frame()->registry() : nullptr;
}

void Soak::wait(int ms) {
    QTest::qWait(ms);
}

bool Soak::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

void Soak::note(const QString& text) {
    m_current += (m_current.endsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(", ")) + text;
}

void Soak::fail(const QString& what) {
    m_failures << QStringLiteral("step %1 (%2): %3").arg(m_step).arg(m_current, what);
}

// Setting up: the program on the real engine in a fresh folder, with a
// filter list of its own and the pages of two local servers.
bool Soak::setUp() {
    m_dialogs = std::make_unique<SoakDialogs>();
    m_app = std::make_unique<StartedApp>();
    servePages();
    const QString home = m_site->url(QStringLiteral("/plain/0.html"));
    m_app->writePrefs([&home](Prefer& p) {
        p.StartBrowser = 0;
        p.HomeUrl = home;
    });
    QDir(m_app->dir()).mkpath(QStringLiteral("Filter"));
    m_app->writeFile(QStringLiteral("Filter/soak.txt"), "! Werbung der Testseiten\n/ads/*\n");
    // A second start of the program hands its address to this one.
    m_executable = QDir(m_app->dir()).filePath(QStringLiteral("korvix"));
    QFile::copy(QStringLiteral(KORVIX_EXECUTABLE), m_executable);
    if (!m_app->startWithEngine())
        return false;
    frame()->resize(1100, 800);
    frame()->show();
    m_pulse = new QTimer(this);
    m_pulse->setInterval(20);
    connect(m_pulse, &QTimer::timeout, this, [this] {
        const qint64 gap = m_sincePulse.restart();
        m_stepStall = std::max(m_stepStall, gap);
        SoakTail::pulse();
    });
    m_sincePulse.start();
    m_pulse->start();
    m_memory = std::make_unique<MemoryWatch>();
    m_memory->start();
    m_app->openWindow(home);
    return waitFor(
        [this] {
            return !registry()->windows().isEmpty() && pageLoaded(registry()->windows().first());
        },
        PageTimeoutMs * 2);
}

void Soak::servePages() {
    m_site = std::make_unique<HttpTestServer>();
    m_site->start();
    for (int i = 0; i < PlainPages; ++i)
        m_site->addPage(QStringLiteral("/plain/%1.html").arg(i), plainPage(i));
    m_site->addPage(QStringLiteral("/heavy.html"), HeavyPage);
    m_site->addPage(QStringLiteral("/popups.html"), PopupPage);
    m_site->addPage(QStringLiteral("/slow.html"), SlowPage);
    m_site->addPage(QStringLiteral("/fragen.html"), DialogPage);
    m_site->addPage(QStringLiteral("/ads/banner.png"), "GIF89a", "image/gif");
    m_site->addDownload(QStringLiteral("/slow.png"), QByteArray(64 * 1024, 'p'), 4096, 150);
    m_site->addDownload(QStringLiteral("/datei.bin"), QByteArray(1024 * 1024, 'd'), 16384, 40);
    m_site->addPage(QStringLiteral("/login.html"),
                    "<html><head><title>Drinnen</title></head><body>Willkommen</body></html>");
    m_site->protect(QStringLiteral("/login.html"), QStringLiteral("Soak"), QStringLiteral("anna"),
                    QStringLiteral("geheim"), "<html><body>Zugang verweigert</body></html>");

    if (const QSslConfiguration tls = testServerTls(); !tls.localCertificate().isNull()) {
        m_tlsSite = std::make_unique<HttpTestServer>();
        m_tlsSite->startTls(tls);
        m_tlsSite->addPage(QStringLiteral("/"),
                           "<html><head><title>Zertifikat</title></head><body>TLS</body></html>");
    }
}

QString Soak::pageAddress(const Dice& dice, int i) const {
    switch (dice.below(i, 10)) {
    case 0:
        return m_site->url(QStringLiteral("/heavy.html"));
    case 1:
        return m_site->url(QStringLiteral("/popups.html"));
    case 2:
        return m_site->url(QStringLiteral("/datei.bin"));
    case 3:
        return m_site->url(QStringLiteral("/login.html"));
    case 4:
        return m_site->url(QStringLiteral("/slow.html"));
    case 5:
        return m_site->url(QStringLiteral("/fehlt.html"));
    case 6:
        return m_tlsSite ? m_tlsSite->url(QStringLiteral("/"), QStringLiteral("localhost"))
                         : m_site->url(QStringLiteral("/fragen.html"));
    case 7:
        return m_site->url(QStringLiteral("/fragen.html"));
    default:
        return m_site->url(QStringLiteral("/plain/%1.html").arg(dice.below(i + 1, PlainPages)));
    }
}

BrowserWindow* Soak::pick(const Dice& dice, int i) const {
    const QList<BrowserWindow*>& all = registry()->windows();
    return all.isEmpty() ? nullptr : all[dice.below(i, int(all.size()))];
}

void Soak::command(int command, bool byKey) {
    QAction* action = frame()->action(A::Command(command));
    note(action->text().remove(QLatin1Char('&')) +
         (byKey ? QStringLiteral(" (Taste)") : QString()));
    const QKeySequence key = action->shortcut();
    if (byKey && !key.isEmpty() && Keyboard::activate(frame())) {
        Keyboard::press(key[0].key(), key[0].keyboardModifiers());
        return;
    }
    // The menu item, as a click on it.
    if (action->isEnabled())
        action->trigger();
}

bool Soak::typeInto(QWidget* field, const QString& text, bool enter) {
    if (!Keyboard::clickInto(field))
        return false;
    Keyboard::press(Qt::Key_A, Qt::ControlModifier);
    Keyboard::type(text);
    if (enter)
        Keyboard::press(Qt::Key_Return);
    return true;
}

// Actions on windows.

// A command that opens a window, where there is room for one; else a window
// closes, so the run keeps within its bound.
void Soak::openWindow(int command, const Dice& dice) {
    if (registry()->count() >= m_options.maxWindows)
        return closeWindow(dice);
    this->command(command, dice.chance(0, 60));
}

void Soak::newWindow(const Dice& dice) {
    openWindow(A::NewBrowser, dice);
}

void Soak::newPrivateWindow(const Dice& dice) {
    openWindow(A::NewPrivateWindow, dice);
}

void Soak::closeWindow(const Dice& dice) {
    BrowserWindow* w = pick(dice, 1);
    if (!w)
        return;
    // The window comes to the front first, as a click on it does.
    registry()->showWindow(w->id());
    command(A::CloseWindow, dice.chance(0, 50));
}

void Soak::closeAll(const Dice& dice) {
    command(A::CloseAllWindows, false);
    Q_UNUSED(dice);
}

void Soak::reopenClosed(const Dice& dice) {
    openWindow(A::ReopenClosed, dice);
}

void Soak::typeAddress(const Dice& dice) {
    BrowserWindow* w = pick(dice, 0);
    if (!w)
        return newWindow(dice);
    const QString address = pageAddress(dice, 1);
    note(address);
    if (address.endsWith(QLatin1String(".bin")) && dice.chance(3, 70))
        m_dialogs->files
            << QDir(m_app->dir())
                   .filePath(QStringLiteral("Downloads/datei-%1.bin").arg(++m_downloadsSaved));
    registry()->showWindow(w->id());
    if (dice.chance(2, 50)) {
        // Ctrl+L puts the keys into the address box.
        Keyboard::activate(frame());
        Keyboard::press(Qt::Key_L, Qt::ControlModifier);
        Keyboard::type(address);
        Keyboard::press(Qt::Key_Return);
    } else {
        typeInto(w->addressBox(), address, true);
    }
}

void Soak::takeSuggestion(const Dice& dice) {
    BrowserWindow* w = pick(dice, 0);
    if (!w)
        return;
    registry()->showWindow(w->id());
    // The beginning of an address the program has seen.
    const QString start = m_site->url(QStringLiteral("/pl"));
    note(start);
    if (!typeInto(w->addressBox(), start, false))
        return;
    if (waitFor([] { return QApplication::activePopupWidget() != nullptr; }, 1500)) {
        for (int i = 0; i <= dice.below(1, 3); ++i)
            Keyboard::press(Qt::Key_Down);
        note(QStringLiteral("Vorschlag"));
    }
    Keyboard::press(dice.chance(2, 80) ? Qt::Key_Return : Qt::Key_Escape);
}

void Soak::navigate(const Dice& dice) {
    static const int commands[] = {A::GoBack,      A::GoForward, A::Reload,
                                   A::StopLoading, A::GoHome,    A::ReloadBypassingCache};
    BrowserWindow* w = pick(dice, 0);
    if (!w)
        return;
    registry()->showWindow(w->id());
    command(commands[dice.below(1, 6)], dice.chance(2, 60));
}

void Soak::killRenderer(const Dice& dice) {
    BrowserWindow* w = pick(dice, 0);
    auto* view = w ? qobject_cast<QtWebView*>(w->webView()) : nullptr;
    const qint64 pid = view && view->page() ? view->page()->renderProcessPid() : 0;
    if (pid <= 0)
        return;
    note(QStringLiteral("[%1] pid %2").arg(w->id()).arg(pid));
    ::kill(pid_t(pid), SIGKILL);
}

void Soak::switchTab(const Dice& dice) {
    QTabBar* tabs = frame()->tabs()->bar()->tabs();
    if (tabs->count() == 0)
        return;
    if (!tabs->isVisible() || dice.chance(1, 30)) {
        command(dice.chance(2, 50) ? A::NextWindow : A::PreviousWindow, true);
        return;
    }
    const int i = dice.below(0, tabs->count());
    note(QStringLiteral("Reiter %1").arg(i));
    Keyboard::activate(frame());
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(i).center());
}

void Soak::arrange(const Dice& dice) {
    switch (dice.below(0, 7)) {
    case 0:
        return command(A::TileBelow, false);
    case 1:
        return command(A::TileSideBySide, false);
    case 2:
        return command(A::Cascade, false);
    case 3:
        return command(A::FullScreen, dice.chance(1, 70));
    case 4:
        return command(A::TabBar, false);
    default:
        break;
    }
    BrowserWindow* w = pick(dice, 2);
    if (!w)
        return;
    // The buttons on a window's title bar.
    if (dice.chance(3, 50)) {
        note(QStringLiteral("[%1] minimieren").arg(w->id()));
        w->showMinimized();
    } else {
        note(QStringLiteral("[%1] maximieren").arg(w->id()));
        w->showMaximized();
    }
}

void Soak::layouts(const Dice& dice) {
    const bool save = m_savedLayouts == 0 || dice.chance(0, 50);
    const QString name =
        QDir(m_app->dir())
            .filePath(QStringLiteral("soak-%1.wlt")
                          .arg(save ? ++m_savedLayouts : dice.below(1, m_savedLayouts) + 1));
    if (dice.chance(2, 90))
        m_dialogs->files << name;
    command(save ? A::SaveLayout : A::LoadLayout, false);
    note(QFileInfo(name).fileName());
}

void Soak::historyWindow(const Dice& dice) {
    command(A::History, dice.chance(0, 50));
    HistoryWindow* history = frame()->tools()->historyWindow();
    if (!history || !waitFor([history] { return history->isVisible(); }, SettleTimeoutMs))
        return;
    wait(100);
    if (dice.chance(1, 80))
        history->close();
}

void Soak::settings(const Dice& dice) {
    // The dialog is answered by the soak's dialogs: OK or Abbrechen, or
    // whatever the clicks reach first.
    command(A::Settings, false);
    Q_UNUSED(dice);
}

void Soak::findInPage(const Dice& dice) {
    BrowserWindow* w = pick(dice, 0);
    if (!w)
        return;
    registry()->showWindow(w->id());
    command(A::FindInPage, true);
    Keyboard::type(dice.chance(1, 70) ? QStringLiteral("Korvix") : QStringLiteral("xyz"));
    Keyboard::press(Qt::Key_Return);
    if (dice.chance(2, 70))
        Keyboard::press(Qt::Key_Escape);
}

void Soak::zoom(const Dice& dice) {
    static const int commands[] = {A::ZoomIn, A::ZoomOut, A::ZoomReset};
    BrowserWindow* w = pick(dice, 0);
    if (!w)
        return;
    registry()->showWindow(w->id());
    command(commands[dice.below(1, 3)], dice.chance(2, 70));
}

void Soak::downloads(const Dice& dice) {
    command(A::Downloads, dice.chance(0, 50));
    DownloadsWindow* window = frame()->tools()->downloads();
    if (!window || !waitFor([window] { return window->isVisible(); }, SettleTimeoutMs))
        return;
    QTreeWidget* list = window->list();
    if (list->topLevelItemCount() > 0) {
        QTreeWidgetItem* row = list->topLevelItem(dice.below(1, list->topLevelItemCount()));
        Keyboard::activate(window);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(row).center());
        static const char* const buttons[] = {"pause", "resume", "cancel", "remove"};
        QPushButton* b = window->button(QLatin1String(buttons[dice.below(2, 4)]));
        if (b && b->isEnabled()) {
            note(b->text().remove(QLatin1Char('&')));
            QTest::mouseClick(b, Qt::LeftButton);
        }
    }
    if (dice.chance(3, 60))
        window->close();
}

void Soak::handOff(const Dice& dice) {
    const QString address =
        m_site->url(QStringLiteral("/plain/%1.html").arg(dice.below(0, PlainPages)));
    note(address);
    const int before = registry()->count();
    const bool room = before < m_options.maxWindows;
    QProcess second;
    second.start(m_executable, {address});
    if (!waitFor([&second] { return second.state() == QProcess::NotRunning; }, PageTimeoutMs)) {
        second.kill();
        second.waitForFinished();
        fail(QStringLiteral("the second start did not end"));
        return;
    }
    if (second.exitStatus() != QProcess::NormalExit || second.exitCode() != 0)
        fail(QStringLiteral("the second start ended with %1").arg(second.exitCode()));
    if (room && !waitFor([this, before] { return registry()->count() > before; }, SettleTimeoutMs))
        fail(QStringLiteral("the handed-over address opened no window"));
}

void Soak::popupPolicy(const Dice& dice) {
    static const int commands[] = {A::AllowPopups, A::ForbidPopups, A::PopupsToBack};
    command(commands[dice.below(0, 3)], false);
}

void Soak::blocking(const Dice& dice) {
    command(dice.chance(0, 50) ? A::BlockContent : A::AllowOnSite, false);
}

void Soak::clearData(const Dice& dice) {
    command(A::ClearBrowsingData, dice.chance(0, 50));
}

// The loop.

void Soak::step() {
    ++m_step;
    Dice dice;
    const quint64 which = m_random();
    for (quint32& v : dice.values)
        v = quint32(m_random());
    m_dialogs->random.seed(quint32(m_random()));
    m_dialogs->files.clear();
    m_dialogs->answerModal = nullptr;
    m_dialogs->shown.clear();
    m_dialogs->given.clear();

    const std::vector<Choice>& all = choices();
    int total = 0;
    for (const Choice& c : all)
        total += c.weight;
    int at = int(which % quint64(total));
    const Choice* chosen = &all.front();
    for (const Choice& c : all) {
        if (at < c.weight) {
            chosen = &c;
            break;
        }
        at -= c.weight;
    }
    m_current = QString::fromLatin1(chosen->name) + QStringLiteral(": ");
    SoakTail::begin(m_step, m_current);
    m_stepStall = 0;
    m_sincePulse.restart();
    (this->*chosen->run)(dice);
    // Time for what the action set going, as a person looks before the next.
    wait(50 + dice.below(5, 400));
    if (!m_dialogs->shown.isEmpty())
        note(QStringLiteral("Meldung \"%1\"")
                 .arg(m_dialogs->shown.join(QStringLiteral("\", \"")).left(160)));
    SoakTail::end(m_current);
    if (m_options.verbose) {
        std::printf("%lld %s\n", static_cast<long long>(m_step), qPrintable(m_current));
        std::fflush(stdout);
    }
}

QString Soak::windowsDisagree() const {
    const QList<BrowserWindow*>& windows = registry()->windows();
    QTabBar* tabs = frame()->tabs()->bar()->tabs();
    if (tabs->count() != windows.size())
        return QStringLiteral("%1 windows, %2 tabs").arg(windows.size()).arg(tabs->count());
    QList<BrowserWindow*> inArea;
    for (QMdiSubWindow* sub : registry()->area()->subWindowList())
        if (auto* w = qobject_cast<BrowserWindow*>(sub))
            inArea << w;
    if (inArea.size() != windows.size())
        return QStringLiteral("%1 windows, %2 in the area").arg(windows.size()).arg(inArea.size());
    for (BrowserWindow* w : windows) {
        if (!inArea.contains(w))
            return QStringLiteral("window [%1] is not in the area").arg(w->id());
        if (frame()->tabs()->bar()->indexOf(w->id()) < 0)
            return QStringLiteral("window [%1] has no tab").arg(w->id());
    }
    return QString();
}

bool Soak::check() {
    const int before = int(m_failures.size());
    if (!frame() || !frame()->isVisible())
        fail(QStringLiteral("the frame is gone"));
    else {
        QString disagreement;
        // Closed windows leave a turn of the event loop later.
        if (!waitFor([this, &disagreement] { return (disagreement = windowsDisagree()).isEmpty(); },
                     SettleTimeoutMs))
            fail(disagreement);
    }
    if (m_stepStall > m_options.stallLimitMs)
        fail(QStringLiteral("the event loop stood still for %1 ms").arg(m_stepStall));
    if (m_stepStall > m_longestStall) {
        m_longestStall = m_stepStall;
        m_longestStallStep = m_step;
    }
    if (m_dialogs->forced > 0) {
        fail(QStringLiteral("a dialog did not close after %1 clicks").arg(m_dialogs->forced));
        m_dialogs->forced = 0;
    }
    checkArchive();
    const qint64 pss = m_memory->lastBytes();
    if (pss > 0) {
        if (m_pssStart == 0)
            m_pssStart = pss;
        m_pssEnd = pss;
        m_pssMost = std::max(m_pssMost, pss);
        if (m_step % 10 == 0)
            m_pssSamples.append({m_step, pss});
        const qint64 allowed = Lifecycle::memoryBudgetFromEnvironment() * 5 / 4;
        if (pss > allowed)
            fail(QStringLiteral("PSS %1 MB over %2 MB").arg(pss >> 20).arg(allowed >> 20));
    }
    return m_failures.size() == before;
}

int Soak::run() {
    std::printf("korvix_soak --seed %llu\n", static_cast<unsigned long long>(m_options.seed));
    std::fflush(stdout);
    SoakTail::install(m_options.seed);
    if (!setUp()) {
        std::printf("the program did not start or showed no first page\n");
        return 2;
    }
    m_clock.start();
    qint64 lastMinute = 0;
    for (;;) {
        if (m_options.actions > 0 && m_step >= m_options.actions)
            break;
        if (m_options.minutes > 0 && m_clock.elapsed() >= qint64(m_options.minutes * 60000))
            break;
        step();
        if (!check())
            break;
        if (m_clock.elapsed() / 60000 > lastMinute) {
            lastMinute = m_clock.elapsed() / 60000;
            std::printf("minute %lld: %lld steps, %d windows, PSS %lld MB\n",
                        static_cast<long long>(lastMinute), static_cast<long long>(m_step),
                        registry()->count(), static_cast<long long>(m_pssEnd >> 20));
            std::fflush(stdout);
        }
    }
    report();
    return m_failures.isEmpty() ? 0 : 1;
}

// The slope of PSS over steps by least squares, in bytes per step.
static double growthPerStep(const QList<std::pair<qint64, qint64>>& samples) {
    if (samples.size() < 2)
        return 0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& [x, y] : samples) {
        sx += double(x);
        sy += double(y);
        sxx += double(x) * double(x);
        sxy += double(x) * double(y);
    }
    const double n = double(samples.size());
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

void Soak::report() const {
    const double minutes = double(m_clock.elapsed()) / 60000.0;
    std::printf("seed %llu: %lld steps in %.1f min, %.1f steps per minute, %lld failures\n",
                static_cast<unsigned long long>(m_options.seed), static_cast<long long>(m_step),
                minutes, minutes > 0 ? double(m_step) / minutes : 0.0,
                static_cast<long long>(m_failures.size()));
    std::printf("PSS at the start %lld MB, at the end %lld MB, most %lld MB, "
                "growth %.1f MB per 1000 steps\n",
                static_cast<long long>(m_pssStart >> 20), static_cast<long long>(m_pssEnd >> 20),
                static_cast<long long>(m_pssMost >> 20),
                growthPerStep(m_pssSamples) * 1000.0 / (1024.0 * 1024.0));
    std::printf("longest stall %lld ms (step %lld)\n", static_cast<long long>(m_longestStall),
                static_cast<long long>(m_longestStallStep));
    for (const QString& f : m_failures)
        std::printf("FAILED %s\n", qPrintable(f));
    if (!m_failures.isEmpty()) {
        std::printf("replay: korvix_soak --seed %llu --actions %lld\n",
                    static_cast<unsigned long long>(m_options.seed),
                    static_cast<long long>(m_step));
        SoakTail::print();
    }
    std::fflush(stdout);
}
