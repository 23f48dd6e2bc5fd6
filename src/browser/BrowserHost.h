#pragma once

#include "browser/WebView.h"

#include <QString>

class AddressSuggestions;
class BrowserWindows;
class Prefer;
class QPoint;

// What a browser window may ask of the frame that holds it. What happens in
// a window (its status text, its title) the window tells by its signals.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    virtual Prefer& preferences() = 0;
    virtual WebView* createWebView(QWidget* parent, bool isPrivate) = 0;
    // The open windows: opening, popups, closing, visibility.
    virtual BrowserWindows& windows() = 0;
    // What the address box suggests while the user types.
    virtual AddressSuggestions& suggestions() = 0;

    virtual void addToHistory(const QString& url, const QString& title) = 0;
    virtual void setModalLock(bool locked) = 0;
    virtual void showArchive() = 0;
    virtual void startMailProgram() = 0;
    // Refreshes the window menu and pops up "Aktives Fenster" at a screen point.
    virtual void popupActiveWindowMenu(const QPoint& globalPos) = 0;
};
