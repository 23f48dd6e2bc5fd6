#pragma once

#include "browser/BrowserToolbar.h"
#include "browser/BrowserWindow.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

// What the user does on a browser window's toolbar: a button, or an entry of
// a button's menu, found by its key.
inline bool clickButton(BrowserWindow* w, const QString& key) {
    QToolButton* b = w->toolBar()->button(key);
    if (!b)
        return false;
    b->click();
    return true;
}

inline bool chooseMenuEntry(BrowserWindow* w, BrowserToolbar::Command command) {
    for (QToolButton* b : w->toolBar()->findChildren<QToolButton*>()) {
        if (!b->menu())
            continue;
        for (QAction* a : b->menu()->actions()) {
            if (a->data().isValid() && a->data().value<BrowserToolbar::Command>() == command) {
                a->trigger();
                return true;
            }
        }
    }
    return false;
}
