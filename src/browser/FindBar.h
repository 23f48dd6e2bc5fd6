#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class WebView;

// Finds text in the page of one browser window: searches as the user types,
// counts the matches and steps through them.
class FindBar : public QWidget {
    Q_OBJECT
public:
    FindBar(WebView* web, QWidget* parent = nullptr);

    // Shows the bar with the search text selected, ready for typing.
    void open();
    // Hides the bar and takes the marks off the page.
    void close();
    void findNext();
    void findPrevious();

    QLineEdit* field() const { return m_field; }
    QLabel* count() const { return m_count; }
    QCheckBox* caseSensitive() const { return m_case; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void find(bool backward);
    void showResult(int active, int count);

    WebView* m_web;
    // A search waiting for a page that is coming back from sleep.
    QTimer* m_waitForPage;
    bool m_pendingBackward = false;
    QLineEdit* m_field;
    QPushButton* m_next;
    QPushButton* m_previous;
    QCheckBox* m_case;
    QLabel* m_count;
};
