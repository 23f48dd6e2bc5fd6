#pragma once

#include <QObject>

class BrowserRegistry;
class BrowserWindow;
class ContentBlocker;
class FrameActions;
class FrameStatus;
class QWidget;

// The content blocker's items in "&Tools" and its count in the status bar:
// blocking on or off for every window, a site let through, the filter lists.
class BlockingCommands : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* frame;
        FrameActions* actions;
        BrowserRegistry* registry;
        FrameStatus* status;
        // Absent where no engine runs (tests with fake pages).
        ContentBlocker* blocker;
    };
    explicit BlockingCommands(Parts parts, QObject* parent = nullptr);

    // The count and the site's check for the window now in front.
    void showCurrent();

private:
    void watch(BrowserWindow* window);
    void setSiteAllowed(bool allowed);
    void showFilterLists();

    Parts m_parts;
};
