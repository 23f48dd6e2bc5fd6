// Find, zoom, downloads, page tools and full screen: the frame's commands for
// what current browsers offer besides.
#include "browser/BrowserWindow.h"
#include "common/Product.h"
#include "downloads/DownloadList.h"
#include "downloads/DownloadsWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/MainFrame.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QLabel>

void MainFrame::connectTools() {
    using A = FrameActions;
    const auto onActive = [this](A::Command command, auto handler) {
        connect(action(command), &QAction::triggered, this, [this, handler] {
            if (BrowserWindow* w = m_registry->currentWindow())
                handler(w);
        });
    };
    onActive(A::FindInPage, [](BrowserWindow* w) { w->openFindBar(); });
    onActive(A::ZoomIn, [](BrowserWindow* w) { w->zoomBy(1); });
    onActive(A::ZoomOut, [](BrowserWindow* w) { w->zoomBy(-1); });
    onActive(A::ZoomReset, [](BrowserWindow* w) { w->resetZoom(); });
    onActive(A::ViewSource,
             [](BrowserWindow* w) { w->runPageTool(WebView::PageTool::ViewSource); });
    onActive(A::DevTools, [](BrowserWindow* w) { w->runPageTool(WebView::PageTool::DevTools); });
    onActive(A::SavePdf, [](BrowserWindow* w) { w->runPageTool(WebView::PageTool::SavePdf); });
    connect(action(A::Downloads), &QAction::triggered, this, &MainFrame::showDownloads);
    connect(action(A::FullScreen), &QAction::triggered, this, &MainFrame::toggleFullScreen);
    // The shortcuts work wherever the focus is in the frame.
    for (A::Command c : {A::FindInPage, A::ZoomIn, A::ZoomOut, A::ZoomReset, A::Downloads,
                         A::ViewSource, A::DevTools, A::FullScreen})
        addAction(action(c));

    DownloadList& downloads = *m_setup.downloads;
    connect(&downloads, &DownloadList::added, this, &MainFrame::showDownloadProgress);
    connect(&downloads, &DownloadList::changed, this, &MainFrame::showDownloadProgress);
    connect(&downloads, &DownloadList::removed, this, &MainFrame::showDownloadProgress);
    updatePageCommands();
}

void MainFrame::updatePageCommands() {
    m_actions->setEnabled({FrameActions::FindInPage, FrameActions::ZoomIn, FrameActions::ZoomOut,
                           FrameActions::ZoomReset, FrameActions::ViewSource,
                           FrameActions::DevTools, FrameActions::SavePdf},
                          m_registry->count() > 0);
}

void MainFrame::showZoom() {
    BrowserWindow* w = m_registry->currentWindow();
    const int percent = w ? qRound(w->zoom() * 100) : 100;
    m_zoomText->setText(QStringLiteral("Zoom: %1 %").arg(percent));
    m_zoomText->setVisible(percent != 100);
}

DownloadsWindow* MainFrame::downloadsWindow() const {
    return m_downloads.data();
}

void MainFrame::showDownloads() {
    if (!m_downloads)
        m_downloads = new DownloadsWindow(*m_setup.downloads, this);
    m_downloads->show();
    m_downloads->raise();
    m_downloads->activateWindow();
}

void MainFrame::showDownloadProgress() {
    const DownloadList& downloads = *m_setup.downloads;
    const int running = downloads.active();
    if (running == 0) {
        m_downloadsText->hide();
        return;
    }
    const int percent = downloads.overallPercent();
    QString text =
        running == 1 ? QStringLiteral("1 Download") : QStringLiteral("%1 Downloads").arg(running);
    if (percent >= 0)
        text += QStringLiteral(": %1 %").arg(percent);
    m_downloadsText->setText(text);
    m_downloadsText->show();
}

void MainFrame::closeWithoutAsking() {
    m_askAboutDownloads = false;
    close();
}

bool MainFrame::mayCloseWithDownloads() {
    if (!m_askAboutDownloads || m_unloaded || m_setup.downloads->active() == 0)
        return true;
    return Dialogs::message(this, QMessageBox::Question, Product::AppTitle,
                            QStringLiteral("Es laufen noch Downloads. Trotzdem beenden?"),
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) == QMessageBox::Yes;
}
