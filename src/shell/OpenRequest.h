#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <optional>

// What a new browser window is to show, and how. Every way of opening a
// window (the menus, a second start, a drop, the archive, the history, a
// layout file, a page's links) says it with one of these.
struct OpenRequest {
    // Empty: the address the history window left for the next window, else
    // the home page. Enclosing double quotes are taken off.
    QString address;
    // The bars it shows; nothing means as the preferences say.
    std::optional<bool> addressBar;
    std::optional<bool> toolbar;
    // Place and size in the frame, in pixels, as a layout file keeps them.
    std::optional<QRect> geometry;
    // 0 normal, 1 minimized, 2 maximized; nothing leaves the window as the
    // frame's arrangement placed it.
    std::optional<int> state;
    // The back and forward list of a window that closed, which the new one
    // takes (and shows the page it stood on).
    QByteArray history;
    // A private window: its pages keep nothing on disk and leave no trace in
    // the history, the session or a layout file.
    bool isPrivate = false;

    // The address its window starts on: its own, else the one the history
    // window left for the next window, else the home page.
    QString startAddress(const QString& nextAddress, const QString& homeUrl) const {
        if (!address.isEmpty())
            return address;
        return nextAddress.isEmpty() ? homeUrl : nextAddress;
    }
    // Whether a visit opens anything: one without an address opens nothing.
    bool visitsSomething() const { return !address.isEmpty(); }

    static OpenRequest at(const QString& address) {
        OpenRequest r;
        r.address = address;
        return r;
    }
    static OpenRequest withBars(const QString& address, bool addressBar, bool toolbar) {
        OpenRequest r = at(address);
        r.addressBar = addressBar;
        r.toolbar = toolbar;
        return r;
    }
};
