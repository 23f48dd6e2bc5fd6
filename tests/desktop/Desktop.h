#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QDBusConnection;

// A desktop of its own for programs under test: an X server (Xvfb) with a
// German keyboard, a session bus with the accessibility bus behind it, and
// real X input through xdotool. What a program shows is read from outside:
// window titles from the X server, places of widgets from the
// accessibility tree.
class Desktop {
public:
    Desktop();
    ~Desktop();

    // False, with the reason in error(), when a piece is missing.
    bool start();
    QString error() const { return m_error; }

    // The environment a program started on this desktop gets.
    QProcessEnvironment environment() const;

    // xdotool with these arguments; true when it did what it was told.
    bool xdotool(const QStringList& args, QString* output = nullptr, int timeoutMs = 15000) const;
    // Keys as xdotool names them ("ctrl+a", "Return", "alt+d"), one after
    // another when separated by blanks.
    bool key(const QString& keys) const;
    // Text typed through the keyboard map, character by character.
    bool type(const QString& text) const;
    // A left click at a point of the screen.
    bool click(QPoint at) const;
    // The colour of a point of the screen, as the X server has it; 0 when
    // it cannot be read.
    QRgb pixel(QPoint at) const;

    // The visible top-level windows of a process whose title matches
    // `pattern` (a regular expression), newest last.
    QStringList windows(qint64 pid, const QString& pattern) const;
    QString windowTitle(const QString& window) const;
    // Gives a window the keyboard, as a window manager does for the window
    // a person clicks or that has just opened.
    bool focusWindow(const QString& window) const;

    // Where on the screen a widget of the program lies, found in its
    // accessibility tree by role ("combo box", "push button", ...) and,
    // if given, name; of several that are showing, the last. An empty
    // rectangle when there is none.
    QRect findWidget(qint64 pid, const QString& role, const QString& name = QString()) const;

private:
    bool startXServer();
    bool startSessionBus();
    QDBusConnection accessibilityBus() const;

    QTemporaryDir m_runtime;
    QProcess m_x;
    QProcess m_bus;
    QString m_display;
    QString m_busAddress;
    QString m_error;
};
