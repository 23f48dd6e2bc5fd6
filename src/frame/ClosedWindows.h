#pragma once

#include "shell/OpenRequest.h"

#include <QList>
#include <QObject>
#include <QString>

class BrowserWindow;

// The windows closed in this session, newest first (at most 20), each with
// what reopens it: its address, place, state and back and forward list.
class ClosedWindows : public QObject {
    Q_OBJECT
public:
    static constexpr int Kept = 20;

    struct Entry {
        QString title;
        OpenRequest request;
    };

    using QObject::QObject;

    // Keeps what the window shows now; windows that never showed a page are
    // not kept.
    void remember(const BrowserWindow* window);
    const QList<Entry>& entries() const { return m_entries; }
    // Takes entry `index` (0 the newest) off the list.
    Entry take(int index);
    // The last private window closed: its pages are not to come back.
    void forgetPrivate();

signals:
    void changed();

private:
    QList<Entry> m_entries;
};
