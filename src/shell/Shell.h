#pragma once

#include <QList>
#include <QRect>
#include <QString>

class HistoryList;
class Prefer;
class QWidget;
struct OpenRequest;

// What the frame offers the windows around it (archive, history, settings,
// layout files, start-up): they see this, never the frame itself.
class Shell {
public:
    enum class ToolWindow { Archive, History };

    virtual ~Shell() = default;

    virtual Prefer& preferences() = 0;
    // Where the program keeps its files.
    virtual QString programFolder() const = 0;
    virtual const HistoryList& history() const = 0;

    // Opens the request's address in a new browser window now; an empty
    // address opens nothing.
    virtual void visit(const OpenRequest& request) = 0;
    // Opens one window per request, one per turn of the event loop; a
    // request without an address opens the home page. With stopAtLimit the
    // first request that meets the window limit is the last.
    virtual void queueOpenings(const QList<OpenRequest>& requests, bool stopAtLimit) = 0;
    // Whether one more window may open.
    virtual bool mayOpenWindow() const = 0;
    // The address the next window opened without one starts on.
    virtual void setNextWindowAddress(const QString& address) = 0;

    // The frame's outer rectangle, which tool windows place themselves by,
    // and the window that owns them.
    virtual QRect anchorGeometry() const = 0;
    virtual QWidget* ownerWindow() = 0;
    virtual void toolWindowShown(ToolWindow window, bool shown) = 0;
};
