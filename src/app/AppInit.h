#pragma once

#include "browser/WebView.h"

#include <QString>
#include <functional>

class MainFrame;
class Prefer;

// Program start: decides what the process opens and holds the globals every
// window shares.
namespace AppInit {

extern QString AppDir;
// Why the program's files lie in AppDir, for the about window.
extern QString AppDirReason;
extern QString AppTitle;
extern bool IsSecondInstance;
extern bool AcceptHandOff;

struct StartOptions {
    QString appDir;
    QString appDirReason;
    // The whole command line as one address; empty means none.
    QString commandLine;
    WebViewFactory webViewFactory;
    // Asked once it is clear that this process becomes the running instance,
    // before anything is written; false ends the start.
    std::function<bool()> mayRun;
};

// Runs the start-up sequence; returns the frame, or nullptr when this process
// has nothing to show.
MainFrame* Main(const StartOptions& options);

// The frame, created on first use.
MainFrame* MDIForm1();
Prefer* preferences();

void SetModalLock(bool bLock);
// What the running instance does with an address a second start handed over
// (empty: only come to the front).
void handOffReceived(const QString& address);
void SetMenuCaptions();
void OpenGroupFile(const QString& fileName);
void ApplyBarSettings();

// Closes the frame (saving the preferences) and releases what start-up made.
void shutdown();

} // namespace AppInit
