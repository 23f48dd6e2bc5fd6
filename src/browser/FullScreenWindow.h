#pragma once

#include <QWidget>

class QLabel;
class QWebEnginePage;
class QWebEngineView;

// A page that asked for the whole screen (a video, a game): shown alone in a
// window of its own that covers the screen, until the page leaves full screen
// or the user presses Esc. The page goes back to its own view afterwards.
class FullScreenWindow : public QWidget {
    Q_OBJECT
public:
    // Takes the page of `home` for as long as this window lives.
    explicit FullScreenWindow(QWebEngineView* home);
    // Gives the page back to its own view.
    ~FullScreenWindow() override;

    QWebEngineView* view() const { return m_view; }

private:
    QWebEngineView* m_view;
    QWebEngineView* m_home;
    QLabel* m_hint;
};
