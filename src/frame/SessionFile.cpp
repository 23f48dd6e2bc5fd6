#include "frame/SessionFile.h"

#include "browser/BrowserWindow.h"
#include "frame/BrowserRegistry.h"
#include "frame/WindowLayouts.h"
#include "frame/model/LayoutFile.h"

#include <QEvent>
#include <QFile>

SessionFile::SessionFile(BrowserRegistry& registry, QString path, QObject* parent)
    : QObject(parent), m_registry(registry), m_path(std::move(path)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(DelayMs);
    connect(&m_timer, &QTimer::timeout, this, &SessionFile::write);
}

QList<LayoutRecord> SessionFile::leftOver(const QString& path) {
    if (!QFile::exists(path))
        return {};
    QList<LayoutRecord> records;
    QString error;
    if (LayoutFile::load(path, &records, &error) == LayoutFile::LoadStatus::Failed)
        qWarning("%s", qPrintable(error));
    return records;
}

void SessionFile::start() {
    if (m_started || m_finished)
        return;
    m_started = true;
    connect(&m_registry, &BrowserRegistry::windowAdded, this, &SessionFile::watch);
    connect(&m_registry, &BrowserRegistry::windowRemoved, this, &SessionFile::changed);
    for (BrowserWindow* w : m_registry.windows())
        watch(w);
    // The file of an earlier session is replaced by this one's soon, also
    // when nothing changes.
    changed();
}

void SessionFile::finish() {
    if (m_finished)
        return;
    m_finished = true;
    m_timer.stop();
    disconnect(&m_registry, nullptr, this, nullptr);
    for (BrowserWindow* w : m_registry.windows()) {
        w->removeEventFilter(this);
        disconnect(w, nullptr, this, nullptr);
    }
    if (m_started)
        QFile::remove(m_path);
}

void SessionFile::watch(BrowserWindow* window) {
    window->installEventFilter(this);
    connect(window, &BrowserWindow::layoutChanged, this, &SessionFile::changed);
    changed();
}

bool SessionFile::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        changed();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void SessionFile::changed() {
    // A burst of changes (a window dragged across the frame, a layout
    // opening) gives one write, at most the delay after the first.
    if (!m_finished && !m_timer.isActive())
        m_timer.start();
}

void SessionFile::write() {
    const QList<LayoutItem> items = WindowLayouts::items(m_registry);
    const QByteArray records = LayoutFile::encode(items);
    if (m_current && records == m_written)
        return;
    QString error;
    if (items.isEmpty()) {
        // Nothing open, nothing to bring back.
        if (!QFile::remove(m_path) && QFile::exists(m_path)) {
            qWarning("cannot remove %s", qPrintable(m_path));
            return;
        }
    } else if (!LayoutFile::save(m_path, items, &error)) {
        // Tried again with the next change; nothing of the session is lost
        // by a failed write but the chance to restore it.
        qWarning("%s", qPrintable(error));
        return;
    }
    m_written = records;
    m_current = true;
}
