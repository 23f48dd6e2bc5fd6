#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;

// "Refresh-Intervall": switches a window's auto-refresh on or off and picks
// its interval. Every way of closing applies what it shows.
class RefreshDialog : public QDialog {
    Q_OBJECT
public:
    // seconds: the window's interval now (0 = off); topLeft: where the
    // window's corner is on the screen.
    RefreshDialog(int seconds, const QPoint& topLeft, QWidget* parent = nullptr);

    // The interval the dialog stands for: 0 when the box is clear.
    int seconds() const;

    QCheckBox* check() const { return m_check; }
    QComboBox* list() const { return m_combo; }

    static constexpr int ClosedHeightTwips = 900;
    static constexpr int OpenHeightTwips = 1500;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateHeight();

    QCheckBox* m_check;
    QComboBox* m_combo;
    QLabel* m_after;
    QLabel* m_seconds;
    QWidget* m_row;
};
