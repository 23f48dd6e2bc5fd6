#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class BrowserRegistry;
class BrowserWindow;
struct LayoutRecord;

// Keeps the open browser windows in a layout file while the program runs,
// so that after a crash, a kill or a power loss they can be opened again. The
// file is written a few seconds after a change and removed when the program
// ends cleanly; finding it at start means the last session did not.
class SessionFile : public QObject {
    Q_OBJECT
public:
    static constexpr char FileName[] = "Sitzung.wlt";
    static constexpr int DelayMs = 2000;

    SessionFile(BrowserRegistry& registry, QString path, QObject* parent = nullptr);

    // The windows an unclean end left behind; read before start().
    static QList<LayoutRecord> leftOver(const QString& path);

    // Watches the windows from now on and writes what is open.
    void start();
    // The program ends cleanly: nothing more is written and the file goes.
    void finish();
    bool isWritePending() const { return m_timer.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(BrowserWindow* window);
    void changed();
    void write();

    BrowserRegistry& m_registry;
    QString m_path;
    QTimer m_timer;
    // What the file holds now; nothing is rewritten for a change that left
    // the records as they were.
    QByteArray m_written;
    // The file holds m_written (not the last session's windows).
    bool m_current = false;
    bool m_started = false;
    bool m_finished = false;
};
