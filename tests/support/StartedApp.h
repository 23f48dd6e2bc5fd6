#pragma once

#include "app/Application.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class BrowserRegistry;
class BrowserWindow;
class MainFrame;
class Prefer;

// Windows opened as a batch (a layout file, a bookmark folder, the links of a
// page) come one per turn of the event loop; waits until the last has come.
bool batchOpened(MainFrame* frame);

// A window whose page has come and that waits for nothing more.
bool pageLoaded(const BrowserWindow* w);

// A program started on a fresh temporary program directory with fake web
// views; shut down when it goes out of scope.
class StartedApp {
public:
    StartedApp();
    ~StartedApp();

    QString dir() const { return m_dir.path(); }
    // Writes a preferences file before the start; `edit` changes the defaults.
    void writePrefs(const std::function<void(Prefer&)>& edit);
    void writeFile(const QString& name, const QByteArray& data);
    MainFrame* start(const QString& commandLine = QString());
    // The same with the real web engine; its profile lives in the program
    // directory and is released at stop().
    MainFrame* startWithEngine(const QString& commandLine = QString());
    MainFrame* frame() const;
    BrowserRegistry* registry() const;
    // Opens a window on `url` with its bars, as an address handed to the
    // frame does; returns it.
    BrowserWindow* openWindow(const QString& url);
    void stop();

private:
    MainFrame* startWith(const QString& commandLine, WebViewFactory factory);

    QTemporaryDir m_dir;
    std::unique_ptr<Application> m_program;
    bool m_engine = false;
};
