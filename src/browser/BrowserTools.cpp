// Find in page, zoom and the page tools of a browser window.
#include "browser/BrowserHost.h"
#include "browser/BrowserWindow.h"
#include "browser/BrowserWindows.h"
#include "browser/FindBar.h"
#include "browser/model/ZoomSteps.h"
#include "shell/OpenRequest.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QLayout>
#include <QShortcut>
#include <QStandardPaths>
#include <QUrl>

namespace {
// Pages of one host share a zoom, as in every browser; local files are one
// site.
QString siteOf(const QString& address) {
    const QUrl url(address);
    return url.scheme() == QLatin1String("file") ? QStringLiteral("file:") : url.host().toLower();
}
} // namespace

void BrowserWindow::connectTools() {
    const auto key = [this](const QKeySequence& keys, auto act) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, act);
    };
    key(QKeySequence(Qt::Key_F3),
        [this] { m_findBar && m_findBar->isVisible() ? m_findBar->findNext() : openFindBar(); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] {
        m_findBar && m_findBar->isVisible() ? m_findBar->findPrevious() : openFindBar();
    });
    connect(m_web, &WebView::zoomRequested, this, &BrowserWindow::zoomBy);
    connect(m_web, &WebView::pageToolRequested, this, &BrowserWindow::runPageTool);
    connect(m_web, &WebView::pdfFinished, this, [this](const QString& path, bool ok) {
        if (ok) {
            emit statusTextChanged(QStringLiteral("Als PDF gespeichert: %1").arg(path));
            return;
        }
        Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Fehlermeldung"),
                         QStringLiteral("Die Seite konnte nicht als PDF gespeichert werden:\n%1")
                             .arg(QDir::toNativeSeparators(path)));
    });
}

FindBar* BrowserWindow::findBar() {
    if (!m_findBar) {
        m_findBar = new FindBar(m_web, m_client);
        m_client->layout()->addWidget(m_findBar);
    }
    return m_findBar;
}

void BrowserWindow::openFindBar() {
    findBar()->open();
}

void BrowserWindow::setZoom(double factor) {
    m_zoom = factor;
    m_zoomSite = siteOf(m_web->locationUrl());
    m_web->setZoomFactor(factor);
    emit zoomChanged(factor);
}

void BrowserWindow::zoomBy(int steps) {
    setZoom(ZoomSteps::step(m_zoom, steps));
}

void BrowserWindow::resetZoom() {
    setZoom(1.0);
}

void BrowserWindow::keepZoomOnSite() {
    if (m_zoom == 1.0)
        return;
    // Another site starts at its own size; the same site keeps the zoom
    // (the engine may have dropped it with the old page).
    if (siteOf(m_web->locationUrl()) != m_zoomSite)
        resetZoom();
    else
        m_web->setZoomFactor(m_zoom);
}

void BrowserWindow::runPageTool(WebView::PageTool tool) {
    switch (tool) {
    case WebView::PageTool::ViewSource:
        if (!m_web->locationUrl().isEmpty())
            m_host->windows().openWindow(
                OpenRequest::at(QStringLiteral("view-source:") + m_web->locationUrl()));
        break;
    case WebView::PageTool::DevTools:
        m_web->showDevTools();
        break;
    case WebView::PageTool::SavePdf:
        savePdf();
        break;
    }
}

void BrowserWindow::savePdf() {
    QString name = m_web->documentTitle().trimmed();
    if (name.isEmpty())
        name = QStringLiteral("Seite");
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    const QString path = Dialogs::saveFileName(this, QStringLiteral("Als PDF speichern"),
                                               QDir(dir).filePath(name + QStringLiteral(".pdf")),
                                               QStringLiteral("PDF-Dokument (*.pdf)"));
    if (!path.isEmpty())
        m_web->printToPdf(path);
}
