#include "app/InputWatch.h"

#include <QCoreApplication>
#include <QFile>
#include <QInputEvent>
#include <QWidget>
#include <QWindow>
#include <chrono>

namespace {
// A run of a few hours with a person at the keys stays far below this; the
// notes stop there rather than grow without end.
constexpr qsizetype MostInputs = 100000;

qint64 monotonicUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

InputWatch::InputWatch(const QString& reportPath) : m_reportPath(reportPath) {
    QCoreApplication::instance()->installEventFilter(this);
}

InputWatch::~InputWatch() {
    QCoreApplication::instance()->removeEventFilter(this);
    QFile report(m_reportPath);
    if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QByteArray text;
    for (const Input& in : m_inputs)
        text += QByteArray(in.kind) + ' ' + QByteArray::number(in.timestamp) + ' ' +
                QByteArray::number(in.receivedUs) + ' ' + QByteArray::number(in.paintedUs) + '\n';
    report.write(text);
}

InputWatch* InputWatch::fromEnvironment() {
    const QString path = qEnvironmentVariable("KORVIX_INPUT_REPORT");
    return path.isEmpty() ? nullptr : new InputWatch(path);
}

bool InputWatch::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Paint) {
        if (m_firstWaiting >= m_inputs.size())
            return false;
        const auto* widget = qobject_cast<const QWidget*>(watched);
        const QWindow* painted = widget ? widget->window()->windowHandle() : nullptr;
        if (!painted)
            return false;
        const bool popup = widget->window()->windowType() == Qt::Popup;
        const qint64 now = monotonicUs();
        for (qsizetype i = m_firstWaiting; i < m_inputs.size(); ++i) {
            Input& in = m_inputs[i];
            if (in.paintedUs < 0 && (popup || in.window == painted || !in.window))
                in.paintedUs = now;
        }
        while (m_firstWaiting < m_inputs.size() && m_inputs.at(m_firstWaiting).paintedUs >= 0)
            ++m_firstWaiting;
        return false;
    }
    // Every press from the window system reaches exactly one QWindow first;
    // what Qt then hands on to the widgets is the same press.
    if ((type != QEvent::MouseButtonPress && type != QEvent::KeyPress) || !event->spontaneous() ||
        !watched->isWindowType() || m_inputs.size() >= MostInputs)
        return false;
    const auto* input = static_cast<const QInputEvent*>(event);
    const char* kind = "press";
    if (type == QEvent::KeyPress) {
        // A modifier alone changes nothing on screen; it is told apart so
        // that its wait for some later paint is not taken for the frame's.
        const int key = static_cast<const QKeyEvent*>(event)->key();
        const bool modifier = key == Qt::Key_Shift || key == Qt::Key_Control ||
                              key == Qt::Key_Alt || key == Qt::Key_Meta || key == Qt::Key_AltGr;
        kind = modifier ? "modifier" : "key";
    }
    m_inputs.append({kind, input->timestamp(), monotonicUs(), -1,
                     QPointer<QWindow>(static_cast<QWindow*>(watched))});
    return false;
}
