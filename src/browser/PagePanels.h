#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QLabel;
class QPushButton;

// A choice offered on a panel: its button's caption and what it does.
struct PanelChoice {
    QString caption;
    std::function<void()> act;
};

// Takes the place of a page that cannot be shown (a certificate the user
// has not accepted, a page whose process ended): a heading, an explanation
// and the choices, the first of them the default.
class PageNotice : public QWidget {
    Q_OBJECT
public:
    explicit PageNotice(QWidget* parent = nullptr);

    void setContent(const QString& heading, const QString& text, const QList<PanelChoice>& choices);
    QString heading() const;
    QString text() const;
    QList<QPushButton*> buttons() const { return m_buttons; }

private:
    QLabel* m_heading;
    QLabel* m_text;
    QHBoxLayout* m_buttonRow;
    QList<QPushButton*> m_buttons;
};

// A question of a page shown above it (may it use the camera?). Every
// choice closes the bar, and so does its close button, which calls `dismiss`.
class QuestionBar : public QWidget {
    Q_OBJECT
public:
    QuestionBar(const QString& text, const QList<PanelChoice>& choices,
                std::function<void()> dismiss, QWidget* parent = nullptr);

    QString text() const;
    QPushButton* button(const QString& caption) const;
    QPushButton* closeButton() const { return m_close; }

private:
    void finish(const std::function<void()>& act);

    QLabel* m_text;
    QList<QPushButton*> m_buttons;
    QPushButton* m_close;
};
