#include "frame/WindowLayouts.h"

#include "browser/BrowserWindow.h"
#include "common/Twips.h"
#include "frame/BrowserRegistry.h"
#include "frame/model/LayoutFile.h"
#include "shell/OpenRequest.h"
#include "shell/Shell.h"
#include "shell/WindowOpener.h"
#include "ui/Dialogs.h"

QList<LayoutItem> WindowLayouts::items(const BrowserRegistry& registry) {
    QList<LayoutItem> items;
    for (const BrowserWindow* w : registry.windows()) {
        // A private window leaves no trace in a file.
        if (w->isPrivate())
            continue;
        LayoutItem item;
        item.left = w->x() * 15.0;
        item.top = w->y() * 15.0;
        item.width = w->width() * 15.0;
        item.height = w->height() * 15.0;
        item.url = w->webView()->locationUrl();
        // A window whose page has not arrived yet (or waits for its turn to
        // load) keeps the address it is opening.
        if (item.url.isEmpty())
            item.url = w->startingAddress();
        item.toolbar = w->bandVisible(BrowserWindow::Band::Toolbar);
        item.adress = w->bandVisible(BrowserWindow::Band::Adress);
        item.state = w->isMinimized() ? 1 : (w->isMaximized() ? 2 : 0);
        items << item;
    }
    return items;
}

bool WindowLayouts::save(const BrowserRegistry& registry, const QString& path, QWidget* parent) {
    QString error;
    if (LayoutFile::save(path, items(registry), &error))
        return true;
    Dialogs::message(parent, QMessageBox::Warning, QStringLiteral("Fehlermeldung"), error);
    return false;
}

bool WindowLayouts::load(Shell& shell, const QString& path, QWidget* parent) {
    QList<LayoutRecord> records;
    QString error;
    if (LayoutFile::load(path, &records, &error) == LayoutFile::LoadStatus::Failed) {
        Dialogs::message(parent, QMessageBox::Warning, QStringLiteral("Fehlermeldung"),
                         QStringLiteral("Fehler beim lesen der Datei !\n\n") + error);
        return false;
    }
    // Every record gets its window, or the limit message.
    shell.windowOpener().queueOpenings(requests(records), false);
    return true;
}

QList<OpenRequest> WindowLayouts::requests(const QList<LayoutRecord>& records) {
    QList<OpenRequest> requests;
    for (const LayoutRecord& r : records) {
        OpenRequest request = OpenRequest::at(r.url);
        // A record without a width keeps the size, state and bars a new
        // window gets.
        if (r.width > 0) {
            request.geometry =
                QRect(twipsToPx(r.left), twipsToPx(r.top), twipsToPx(r.width), twipsToPx(r.height));
            request.state = r.state;
            request.toolbar = r.toolbar != 0;
            request.addressBar = r.adress != 0;
        }
        requests << request;
    }
    return requests;
}
