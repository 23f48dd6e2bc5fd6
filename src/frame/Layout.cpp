#include "frame/Layout.h"

#include "app/AppInit.h"
#include "app/Dialogs.h"
#include "browser/BrowserWindow.h"
#include "common/Twips.h"
#include "frame/MainFrame.h"
#include "frame/model/LayoutFile.h"

#include <QApplication>

bool Layout::SaveLayout(const QString& sDatei) {
    QList<LayoutItem> items;
    for (BrowserWindow* w : m_frame->browsers()) {
        LayoutItem item;
        item.left = w->x() * 15.0;
        item.top = w->y() * 15.0;
        item.width = w->width() * 15.0;
        item.height = w->height() * 15.0;
        item.url = w->webView()->locationUrl();
        item.toolbar = w->bandVisible(BrowserWindow::Band::Toolbar);
        item.adress = w->bandVisible(BrowserWindow::Band::Adress);
        item.state = w->isMinimized() ? 1 : (w->isMaximized() ? 2 : 0);
        items << item;
    }
    QString error;
    if (LayoutFile::save(sDatei, items, &error))
        return true;
    Dialogs::message(m_frame, QMessageBox::Warning, QStringLiteral("Fehlermeldung"), error);
    return false;
}

bool Layout::LoadLayout(const QString& sDatei) {
    QList<LayoutRecord> records;
    QString error;
    if (LayoutFile::load(sDatei, &records, &error) == LayoutFile::LoadStatus::Failed) {
        Dialogs::message(m_frame, QMessageBox::Warning, QStringLiteral("Fehlermeldung"),
                         QStringLiteral("Fehler beim lesen der Datei !\n\n") + error);
        return false;
    }
    // The windows come one per turn of the event loop, in file order.
    MainFrame* frame = m_frame;
    for (const LayoutRecord& r : records)
        m_frame->queueOpening([frame, r] {
            frame->OpenLayoutItem(r.url, r.adress, r.toolbar, r.left, r.top, r.width, r.height,
                                  r.state);
            return true;
        });
    return true;
}

void MainFrame::OpenLayoutItem(const QString& sUrl, qint16 bAdress, qint16 bToolb, qint16 nLeft,
                               qint16 nTop, qint16 nWidth, qint16 nHeight, qint16 nState) {
    HistoryUrl = sUrl;
    BrowserWindow* w = CreateBrowser(QStringLiteral("MDI"));
    if (w) {
        w->Navigate(QString());
        if (nWidth > 0) {
            if (nState != 1)
                w->showNormal();
            w->resize(twipsToPx(nWidth), twipsToPx(nHeight));
            w->move(twipsToPx(nLeft), twipsToPx(nTop));
            if (nState == 2)
                w->showMaximized();
            else if (nState == 1)
                w->showMinimized();
            if (bToolb != 0 || bAdress != 0) {
                w->setBandVisible(BrowserWindow::Band::Anim, true);
                w->setBandVisible(BrowserWindow::Band::Toolbar, bToolb != 0);
                w->setBandVisible(BrowserWindow::Band::Adress, bAdress != 0);
                w->setCoolBarVisible(true);
            } else {
                w->setBothBands(false);
            }
        }
    }
    HistoryUrl.clear();
}

void MainFrame::mn_Anordnung_load_Click() {
    const QString name = Dialogs::openFileName(
        this, QStringLiteral("Anordnung laden..."), AppInit::AppDir,
        QStringLiteral("Fensterlayout-Datei (*.wlt)"), QFileDialog::Options(), false);
    if (name.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CloseAllBrowser();
    QApplication::restoreOverrideCursor();
    Layout(this).LoadLayout(name);
}

void MainFrame::mn_Anordnung_save_Click() {
    const QString name = Dialogs::saveFileName(
        this, QStringLiteral("Anordnung speichern..."), AppInit::AppDir,
        QStringLiteral("Fensterlayout-Datei (*.wlt)"), QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Layout(this).SaveLayout(name);
    QApplication::restoreOverrideCursor();
}
