#pragma once

#include "browser/WebView.h"

#include <QString>
#include <functional>
#include <memory>

class ContentBlocker;
class Passwords;
class DownloadList;
class MainFrame;
class Prefer;
class SessionFile;
class SingleInstance;

// Builds the program and runs its start-up: the single-instance channel, the
// preferences, the frame with its windows, the mail check and what the
// preferences open at start. Everything else is wired here and nowhere else.
class Application {
public:
    struct Options {
        QString appDir;
        // Why the files lie in appDir (shown in the about window).
        QString appDirReason;
        // The whole command line as one address; empty means none.
        QString commandLine;
        WebViewFactory webViewFactory;
        // Starts the web engine. Called before the frame shows when windows
        // open at start, so the frame never stands still for it later.
        std::function<void()> startEngine;
        // Asked once it is clear that this process becomes the running
        // instance, before anything is written; false ends the start.
        std::function<bool()> mayRun;
    };

    explicit Application(Options options);
    // Closes the frame (saving the preferences) and releases everything.
    ~Application();

    // The frame, or nothing when this process has nothing to show: another
    // instance took its address, or it may not run.
    MainFrame* start();
    MainFrame* frame() const { return m_frame.get(); }
    // Every download of the session.
    DownloadList& downloads() const { return *m_downloads; }
    // Closes the frame as "Beenden" does, without asking about running
    // downloads: the system wants the program to end.
    void quit();

private:
    void openGroupFile(const QString& fileName);
    void keepSession();

    Options m_options;
    std::unique_ptr<DownloadList> m_downloads;
    std::unique_ptr<ContentBlocker> m_blocker;
    std::unique_ptr<Passwords> m_passwords;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<Prefer> m_prefs;
    std::unique_ptr<MainFrame> m_frame;
    std::unique_ptr<SessionFile> m_session;
};
