#pragma once

#include <QList>
#include <QToolBar>

class QMenu;
class QToolButton;

// The button bar of a browser window: its buttons, their menus and the menu
// of the machine's drives. It only reports what was chosen; the window acts.
class BrowserToolbar : public QToolBar {
    Q_OBJECT
public:
    // What a button or a menu entry stands for.
    enum class Command {
        // The buttons, in their order.
        Back,
        Forward,
        Stop,
        Refresh,
        Home,
        Search,
        Clone,
        Drives,
        Mail,
        SendLink,
        Archive,
        Save,
        Print,
        // Entries of the buttons' menus.
        RefreshInterval,
        RoundTrip,
        TakeAsHome,
        CloneWindow,
        NewWindow,
        OpenAllLinks,
        CloseAllWindows,
        PrintPreview,
        PrintFromMenu,
        // One of the drives; its folder comes with it.
        Drive,
    };
    Q_ENUM(Command)

    explicit BrowserToolbar(QWidget* parent);
    ~BrowserToolbar() override;

    // A button by its key ("Back", "Forward", ...), its object name.
    QToolButton* button(const QString& key) const;
    // The tooltips set each time the window is activated; Home and Search
    // show where they go.
    void setToolTips(const QString& homeUrl, const QString& searchEngine);
    // One entry per mounted drive, a separator between two; done each time
    // the menu opens.
    void fillDriveMenu();

signals:
    void buttonClicked(BrowserToolbar::Command command);
    // A menu entry; for a drive entry, the drive's folder.
    void menuChosen(BrowserToolbar::Command command, const QString& drivePath);

private:
    QToolButton* addButton(Command command, const QString& key, const QString& text,
                           int standardIcon, QMenu* menu = nullptr);
    // Entries by command and text; a separator where the text is empty.
    QMenu* addMenu(const QList<std::pair<Command, QString>>& entries);

    QMenu* m_driveMenu = nullptr;
    QList<QToolButton*> m_buttons;
};
