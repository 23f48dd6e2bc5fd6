#include "frame/ToolWindows.h"

#include "archive/ArchiveWindow.h"
#include "common/Twips.h"
#include "downloads/DownloadsWindow.h"
#include "frame/AboutWindow.h"
#include "history/HistoryWindow.h"
#include "shell/WindowOpener.h"

ToolWindows::ToolWindows(Setup setup, QObject* parent)
    : QObject(parent), m_setup(std::move(setup)) {}

ToolWindows::~ToolWindows() {
    delete m_archive;
    delete m_history;
}

ArchiveWindow* ToolWindows::archive() const {
    return m_archive.data();
}

HistoryWindow* ToolWindows::historyWindow() const {
    return m_history.data();
}

DownloadsWindow* ToolWindows::downloads() const {
    return m_downloads.data();
}

bool ToolWindows::isOpen(ToolWindow window) const {
    return window == ToolWindow::Archive ? m_archiveOpen : m_historyOpen;
}

void ToolWindows::toolWindowShown(ToolWindow window, bool shown) {
    (window == ToolWindow::Archive ? m_archiveOpen : m_historyOpen) = shown;
}

QRect ToolWindows::anchorGeometry() const {
    return m_setup.owner->frameGeometry();
}

void ToolWindows::showArchive() {
    // A closed archive window is on its way out; each opening reads the
    // archive afresh.
    if (!m_archive || m_archive->isClosed())
        m_archive = new ArchiveWindow(*this);
    // Near the frame's right edge, level with its top.
    const QRect frame = anchorGeometry();
    const int left =
        qAbs(frame.width() - m_archive->frameGeometry().width()) + frame.left() - twipsToPx(850);
    m_archive->move(left, frame.top());
    m_archive->show();
    m_archive->raise();
    m_archive->activateWindow();
}

void ToolWindows::showHistory() {
    m_setup.opener->setNextWindowAddress(QString());
    if (!m_history || m_history->isClosed())
        m_history = new HistoryWindow(*this);
    m_history->move(m_history->x(), anchorGeometry().top() + twipsToPx(650));
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void ToolWindows::showDownloads() {
    if (!m_downloads)
        m_downloads = new DownloadsWindow(*m_setup.downloads, m_setup.owner);
    m_downloads->show();
    m_downloads->raise();
    m_downloads->activateWindow();
}

void ToolWindows::showAbout() {
    auto* about =
        new AboutWindow(m_setup.programFolder, m_setup.programFolderReason, m_setup.owner);
    about->move(anchorGeometry().center() - about->rect().center());
    about->show();
    about->raise();
    about->activateWindow();
}

bool ToolWindows::closeArchive() {
    return !m_archive || m_archive->close();
}
