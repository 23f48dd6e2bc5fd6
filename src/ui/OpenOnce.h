#pragma once

#include <QDialog>
#include <QPointer>

// A non-modal dialog the program keeps open once: the open one comes to the
// front, else `make` builds it.
template <typename Dialog, typename Make> Dialog* showOnce(QPointer<Dialog>& open, Make make) {
    if (!open)
        open = make();
    open->QDialog::show();
    open->raise();
    open->activateWindow();
    return open;
}
