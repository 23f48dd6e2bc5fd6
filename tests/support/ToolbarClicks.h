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

inline bool chooseMenuEntry(BrowserWindow* w, const QString& key) {
    for (QToolButton* b : w->toolBar()->findChildren<QToolButton*>()) {
        if (!b->menu())
            continue;
        for (QAction* a : b->menu()->actions()) {
            if (a->data().toString() == key) {
                a->trigger();
                return true;
            }
        }
    }
    return false;
}
