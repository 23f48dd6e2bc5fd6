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
    explicit BrowserToolbar(QWidget* parent);
    ~BrowserToolbar() override;

    QToolButton* button(const QString& key) const;
    // The tooltips set each time the window is activated; Home and Search
    // show where they go.
    void setToolTips(const QString& homeUrl, const QString& searchEngine);
    // One entry per mounted drive, a separator between two; done each time
    // the menu opens.
    void fillDriveMenu();
    // The folder a drive entry stands for, or nothing for another text.
    QString drivePath(const QString& entryText) const;

signals:
    void buttonClicked(const QString& key);
    // A menu entry: its key, or for a drive entry an empty key and its text.
    void menuChosen(const QString& key, const QString& text);

private:
    QToolButton* addButton(const QString& key, const QString& text, int standardIcon,
                           QMenu* menu = nullptr);
    QMenu* addMenu(const QList<std::pair<QString, QString>>& entries);

    QMenu* m_driveMenu = nullptr;
    QList<QToolButton*> m_buttons;
};
