#include "browser/PagePanels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PageNotice::PageNotice(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(48, 48, 48, 48);
    outer->addStretch(1);
    m_heading = new QLabel;
    m_heading->setObjectName(QStringLiteral("noticeHeading"));
    QFont big = m_heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    m_heading->setFont(big);
    m_heading->setWordWrap(true);
    m_heading->setTextFormat(Qt::PlainText);
    m_text = new QLabel;
    m_text->setObjectName(QStringLiteral("noticeText"));
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->addStretch(1);
    outer->addWidget(m_heading);
    outer->addSpacing(12);
    outer->addWidget(m_text);
    outer->addSpacing(24);
    outer->addLayout(m_buttonRow);
    outer->addStretch(2);
}

void PageNotice::setContent(const QString& heading, const QString& text,
                            const QList<PanelChoice>& choices) {
    m_heading->setText(heading);
    m_text->setText(text);
    qDeleteAll(m_buttons);
    m_buttons.clear();
    for (const PanelChoice& choice : choices) {
        auto* button = new QPushButton(choice.caption);
        connect(button, &QPushButton::clicked, this, choice.act);
        m_buttonRow->addWidget(button);
        m_buttons << button;
    }
    if (!m_buttons.isEmpty())
        m_buttons.first()->setDefault(true);
}

QString PageNotice::heading() const {
    return m_heading->text();
}
QString PageNotice::text() const {
    return m_text->text();
}

QuestionBar::QuestionBar(const QString& text, const QList<PanelChoice>& choices,
                         std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    m_text = new QLabel(text);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    row->addWidget(m_text, 1);
    for (const PanelChoice& choice : choices) {
        auto* button = new QPushButton(choice.caption);
        connect(button, &QPushButton::clicked, this, [this, act = choice.act] { finish(act); });
        row->addWidget(button);
        m_buttons << button;
    }
    m_close = new QPushButton(QStringLiteral("\u2715"));
    m_close->setFlat(true);
    m_close->setToolTip(QStringLiteral("Schließen"));
    m_close->setAccessibleName(QStringLiteral("Schließen"));
    connect(m_close, &QPushButton::clicked, this, [this, dismiss] { finish(dismiss); });
    row->addWidget(m_close);
}

void QuestionBar::finish(const std::function<void()>& act) {
    // The bar goes first: what the choice does may ask the next question.
    hide();
    deleteLater();
    if (act)
        act();
}

QString QuestionBar::text() const {
    return m_text->text();
}

QPushButton* QuestionBar::button(const QString& caption) const {
    for (QPushButton* b : m_buttons)
        if (b->text() == caption)
            return b;
    return nullptr;
}
