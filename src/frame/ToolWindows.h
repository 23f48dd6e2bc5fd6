#pragma once

#include "shell/Shell.h"

#include <QObject>
#include <QPointer>

class ArchiveWindow;
class DownloadList;
class DownloadsWindow;
class HistoryList;
class HistoryWindow;
class WindowOpener;

// The frame's tool windows (the archive, the history, the downloads and the
// about window): made when first asked for, placed beside the frame, and
// given what they may ask of it, this shell.
class ToolWindows : public QObject, public Shell {
    Q_OBJECT
public:
    struct Setup {
        // The frame, which owns the tool windows and places them.
        QWidget* owner = nullptr;
        Prefer* prefs = nullptr;
        const HistoryList* history = nullptr;
        WindowOpener* opener = nullptr;
        DownloadList* downloads = nullptr;
        QString programFolder;
        // Why the program keeps its files there (shown in the about window).
        QString programFolderReason;
    };

    explicit ToolWindows(Setup setup, QObject* parent = nullptr);
    ~ToolWindows() override;

    ArchiveWindow* archive() const;
    HistoryWindow* historyWindow() const;
    DownloadsWindow* downloads() const;
    bool isOpen(ToolWindow window) const;

    void showArchive();
    void showHistory();
    void showDownloads();
    void showAbout();
    // The archive window asks about unsaved changes; false when the user
    // keeps it open (or its save failed), so nothing is lost.
    bool closeArchive();

    // Shell.
    Prefer& preferences() override { return *m_setup.prefs; }
    QString programFolder() const override { return m_setup.programFolder; }
    const HistoryList& history() const override { return *m_setup.history; }
    WindowOpener& windowOpener() override { return *m_setup.opener; }
    QRect anchorGeometry() const override;
    QWidget* ownerWindow() override { return m_setup.owner; }
    void toolWindowShown(ToolWindow window, bool shown) override;

private:
    Setup m_setup;
    QPointer<ArchiveWindow> m_archive;
    QPointer<HistoryWindow> m_history;
    QPointer<DownloadsWindow> m_downloads;
    bool m_archiveOpen = false;
    bool m_historyOpen = false;
};
