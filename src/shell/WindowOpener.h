#pragma once

#include <QList>

class QString;
struct OpenRequest;

// Opening browser windows, as tool windows, layout files and the start-up
// ask for it; the frame's registry of windows answers.
class WindowOpener {
public:
    virtual ~WindowOpener() = default;

    // Opens the request's address in a new browser window now; an empty
    // address opens nothing.
    virtual void visit(const OpenRequest& request) = 0;
    // Opens one window per request, a few per turn of the event loop; a
    // request without an address opens the home page. With stopAtLimit the
    // first request that meets the window limit is the last.
    virtual void queueOpenings(const QList<OpenRequest>& requests, bool stopAtLimit) = 0;
    // Whether one more window may open.
    virtual bool mayOpenWindow() const = 0;
    // The address the next window opened without one starts on.
    virtual void setNextWindowAddress(const QString& address) = 0;
};
