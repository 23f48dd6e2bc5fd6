#pragma once

#include <QDateTime>
#include <QObject>
#include <QStringList>

class BrowserRegistry;
class BrowserWindow;
class DownloadList;
class FrameActions;
class HistoryList;
class QWidget;
class ToolWindows;

// The privacy items in "&Tools": cookies of other sites allowed for every
// page or for the site in front, and "Browserdaten löschen...".
class PrivacyCommands : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* frame;
        FrameActions* actions;
        BrowserRegistry* registry;
        ToolWindows* tools;
        HistoryList* history;
        DownloadList* downloads;
        QString programFolder;
    };
    explicit PrivacyCommands(Parts parts, QObject* parent = nullptr);

    // The site's check for the window now in front.
    void showCurrent();

private:
    void setThirdPartyAllowed(bool allowed);
    void setSiteAllowed(bool allowed);
    void showClearData();
    QStringList sitesVisitedFrom(const QDateTime& from) const;

    Parts m_parts;
};
