#pragma once

#include "app/Application.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class BrowserRegistry;
class DownloadList;
class BrowserWindow;
class MainFrame;
class Prefer;

// Windows opened as a batch (a layout file, a bookmark folder, the links of a
// page) come a few per turn of the event loop and load their pages after;
// waits until the last has come and every page has started loading.
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
    // The downloads of the running program.
    DownloadList& downloads() const;
    // Stands for starting the web engine, as the program does before its
    // frame shows when windows open at start.
    std::function<void()> startEngine;
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
