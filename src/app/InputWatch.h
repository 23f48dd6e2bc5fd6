#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QWindow;

// For measuring from outside how soon the frame answers a person: notes
// every mouse press and key press that comes from the window system, and
// the first paint that follows it in the same top-level window or in a popup
// (a menu) that opened meanwhile. When it goes it writes one line per input
// to a file: "<press|key|modifier> <x time ms> <received us> <painted us>"
// (a modifier: Shift, Ctrl, Alt or Meta pressed alone), the window
// system's time of the event and the monotonic clock's times (-1 for
// a paint that never came). Switched on by the environment variable
// KORVIX_INPUT_REPORT naming that file; without it nothing is watched.
class InputWatch : public QObject {
public:
    explicit InputWatch(const QString& reportPath);
    ~InputWatch() override;

    // A watch on the whole application when the environment asks for one,
    // else nothing.
    static InputWatch* fromEnvironment();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Input {
        const char* kind;
        quint64 timestamp;
        qint64 receivedUs;
        qint64 paintedUs;
        QPointer<QWindow> window;
    };

    QString m_reportPath;
    QList<Input> m_inputs;
    // Inputs from this index on still wait for their paint.
    qsizetype m_firstWaiting = 0;
};
