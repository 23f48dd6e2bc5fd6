#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Plays the user's part while real modal dialogs run event loops of their
// own: each step waits until its condition holds, then acts. Started steps
// run on a timer, so a test can call the command that opens the dialog and
// get control back only once the dialog has closed.
class UserScript : public QObject {
public:
    UserScript() {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_steps.isEmpty()) {
                m_timer.stop();
                return;
            }
            // A step that waits (for a window to come to the front) runs
            // the event loop; the next step waits for it to end.
            if (!m_acting && m_steps.first().ready()) {
                const Step step = m_steps.takeFirst();
                m_acting = true;
                step.act();
                m_acting = false;
            }
        });
    }

    UserScript& then(std::function<bool()> ready, std::function<void()> act) {
        m_steps.append({std::move(ready), std::move(act)});
        m_timer.start();
        return *this;
    }
    bool done() const { return m_steps.isEmpty(); }

private:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    QList<Step> m_steps;
    QTimer m_timer;
    bool m_acting = false;
};
