#pragma once

#include <QRect>
#include <QString>

class HistoryList;
class Prefer;
class QWidget;
class WindowOpener;

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

    // Opening browser windows.
    virtual WindowOpener& windowOpener() = 0;

    // The frame's outer rectangle, which tool windows place themselves by,
    // and the window that owns them.
    virtual QRect anchorGeometry() const = 0;
    virtual QWidget* ownerWindow() = 0;
    virtual void toolWindowShown(ToolWindow window, bool shown) = 0;
};
