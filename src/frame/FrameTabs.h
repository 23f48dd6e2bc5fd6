#pragma once

#include <QObject>

class BrowserRegistry;
class BrowserWindow;
class FrameActions;
class Prefer;
class QMainWindow;
class QMdiArea;
class TabBar;

// The tab strip of open windows along the top or bottom edge of the frame:
// a tab per window that follows its caption, shown as the user chose
// ("&Registerzeile ein/aus", "oben", "unten") and the preferences say.
class FrameTabs : public QObject {
    Q_OBJECT
public:
    FrameTabs(QMainWindow* frame, FrameActions& actions, BrowserRegistry& registry, QMdiArea* area,
              const Prefer& prefs);

    TabBar* bar() const { return m_bar; }
    // What the user chose: the strip wanted at all, and where (1 top,
    // 2 bottom).
    bool wanted() const { return m_wanted; }
    int align() const { return m_align; }
    // Takes both from the preferences (start, settings saved).
    void takePreferences();

    void setVisible(bool visible);
    // Docks the strip at the top (1) or the bottom (2) and gives it its look.
    void place(int align);
    // "&Registerzeile ein/aus", "oben", "unten".
    void toggle();
    void move(int align);
    // Shows the states chosen last (the frame came to the front).
    void showChoices();
    // The active window's tab is selected and follows its caption.
    void updateTab();
    void setTitle(qint32 windowId, const QString& title);
    void addWindow(BrowserWindow* window);
    void removeWindow(qint32 windowId);

private:
    void onTabClicked(qint32 id);

    QMainWindow* m_frame;
    FrameActions& m_actions;
    BrowserRegistry& m_registry;
    QMdiArea* m_area;
    const Prefer& m_prefs;
    TabBar* m_bar;
    bool m_wanted = false;
    int m_align = 1;
};
