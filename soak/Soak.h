#pragma once

#include "ShadowArchive.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <random>

class ArchiveWindow;
class BrowserRegistry;
class BrowserWindow;
class HttpTestServer;
class MainFrame;
class MemoryWatch;
class QTimer;
class QWidget;
class SoakDialogs;
class StartedApp;

struct SoakOptions {
    quint64 seed = 1;
    // Whichever comes first ends the run; 0 for no bound.
    double minutes = 0;
    qint64 actions = 0;
    // Open windows are kept below this (a new one closes another first).
    int maxWindows = 12;
    // The longest the event loop may go without getting round.
    qint64 stallLimitMs = 1000;
    // Every action printed as it ends.
    bool verbose = false;
};

// The real program in this process, on the real engine and pages of its own
// server, driven by random user actions drawn from a seed: the same seed and
// number of actions give the same actions again. After every action it checks
// that the program answers and agrees with itself, and that the bookmark
// archive holds what the soak put into it.
class Soak : public QObject {
public:
    explicit Soak(const SoakOptions& options);
    ~Soak() override;

    // Runs until the time or the number of actions is reached, or a check
    // fails; prints the report. The exit code: 0 without failures.
    int run();

    // The random numbers one action may use; drawn ahead, the same number
    // for every action, so a replay draws the same actions whatever the
    // pages did in between.
    struct Dice {
        std::array<quint32, 6> values{};
        // A number below `n` (0 for n <= 0), from value `i`.
        int below(int i, int n) const { return n > 0 ? int(values[size_t(i)] % quint32(n)) : 0; }
        bool chance(int i, int percent) const { return below(i, 100) < percent; }
    };

private:
    using Action = void (Soak::*)(const Dice&);
    struct Choice {
        const char* name;
        int weight;
        Action run;
    };

    bool setUp();
    void servePages();
    void step();
    bool check();
    void fail(const QString& what);
    void note(const QString& text);
    void report() const;
    void wait(int ms);
    bool waitFor(const std::function<bool()>& condition, int timeoutMs);

    // Parts of the program.
    MainFrame* frame() const;
    BrowserRegistry* registry() const;
    BrowserWindow* pick(const Dice& dice, int i) const;
    QString pageAddress(const Dice& dice, int i) const;
    // A frame command as a person gives it: its key on the frame or a
    // click on its menu item.
    void command(int command, bool byKey);
    void openWindow(int command, const Dice& dice);
    bool typeInto(QWidget* field, const QString& text, bool enter);
    QString windowsDisagree() const;

    // Actions.
    void newWindow(const Dice& dice);
    void newPrivateWindow(const Dice& dice);
    void closeWindow(const Dice& dice);
    void closeAll(const Dice& dice);
    void reopenClosed(const Dice& dice);
    void typeAddress(const Dice& dice);
    void takeSuggestion(const Dice& dice);
    void navigate(const Dice& dice);
    void killRenderer(const Dice& dice);
    void switchTab(const Dice& dice);
    void arrange(const Dice& dice);
    void layouts(const Dice& dice);
    void archive(const Dice& dice);
    void historyWindow(const Dice& dice);
    void settings(const Dice& dice);
    void findInPage(const Dice& dice);
    void zoom(const Dice& dice);
    void downloads(const Dice& dice);
    void handOff(const Dice& dice);
    void popupPolicy(const Dice& dice);
    void blocking(const Dice& dice);
    void clearData(const Dice& dice);
    void bookmarkPage(const Dice& dice);

    // The archive window's parts (SoakArchive.cpp).
    ArchiveWindow* openArchive();
    bool checkArchive();
    void addFolder(ArchiveWindow* book, const Dice& dice);
    void renameFolder(ArchiveWindow* book, const Dice& dice);
    void deleteFolder(ArchiveWindow* book, const Dice& dice);
    void addBookmark(ArchiveWindow* book, const Dice& dice);
    void deleteBookmark(ArchiveWindow* book, const Dice& dice);
    void dropLink(ArchiveWindow* book, const Dice& dice);
    void saveArchive(ArchiveWindow* book);
    void closeArchive(ArchiveWindow* book);
    void importBookmarks(ArchiveWindow* book);
    void exportBookmarks(ArchiveWindow* book);

    static const std::vector<Choice>& choices();

    SoakOptions m_options;
    std::mt19937_64 m_random;
    std::unique_ptr<SoakDialogs> m_dialogs;
    std::unique_ptr<StartedApp> m_app;
    std::unique_ptr<HttpTestServer> m_site;
    std::unique_ptr<HttpTestServer> m_tlsSite;
    std::unique_ptr<MemoryWatch> m_memory;
    QString m_executable;

    // The archive as the soak made it (working) and as last saved.
    ShadowArchive m_shadow;
    ShadowArchive m_savedShadow;
    bool m_archiveKnown = false;

    // The event loop's pulse.
    QTimer* m_pulse = nullptr;
    QElapsedTimer m_sincePulse;
    qint64 m_stepStall = 0;
    qint64 m_longestStall = 0;
    qint64 m_longestStallStep = 0;

    qint64 m_step = 0;
    QString m_current;
    QStringList m_failures;
    QElapsedTimer m_clock;
    qint64 m_pssStart = 0;
    qint64 m_pssEnd = 0;
    qint64 m_pssMost = 0;
    // (step, PSS) every few steps, for the growth per thousand steps.
    QList<std::pair<qint64, qint64>> m_pssSamples;
    int m_savedLayouts = 0;
    int m_downloadsSaved = 0;
};
