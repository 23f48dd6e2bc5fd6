#include "browser/FindBar.h"

#include "browser/WebView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

FindBar::FindBar(WebView* web, QWidget* parent) : QWidget(parent), m_web(web) {
    setObjectName(QStringLiteral("findBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(QStringLiteral("&Suchen:"));
    m_field = new QLineEdit;
    m_field->setObjectName(QStringLiteral("findText"));
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(80);
    label->setBuddy(m_field);
    m_next = new QPushButton(QStringLiteral("&Weiter"));
    m_previous = new QPushButton(QStringLiteral("&Zurück"));
    m_case = new QCheckBox(QStringLiteral("&Groß-/Kleinschreibung beachten"));
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("findCount"));
    auto* closeButton = new QPushButton(QStringLiteral("\u2715"));
    closeButton->setFlat(true);
    // A square button, so the row fits a frame of 640 pixels with every
    // caption whole.
    const int side = closeButton->sizeHint().height();
    closeButton->setFixedSize(side, side);
    closeButton->setToolTip(QStringLiteral("Suchleiste schließen (Esc)"));
    closeButton->setAccessibleName(QStringLiteral("Suchleiste schließen"));
    row->addWidget(label);
    row->addWidget(m_field, 1);
    row->addWidget(m_next);
    row->addWidget(m_previous);
    row->addWidget(m_case);
    row->addWidget(m_count);
    row->addStretch();
    row->addWidget(closeButton);

    connect(m_field, &QLineEdit::textChanged, this, [this] { find(false); });
    connect(m_next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(m_previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    // The engine keeps the case of a search it already runs; a new one
    // starts with the new case.
    connect(m_case, &QCheckBox::toggled, this, [this] {
        m_web->findText(QString(), false, false);
        find(false);
    });
    connect(closeButton, &QPushButton::clicked, this, &FindBar::close);
    connect(m_web, &WebView::findResult, this, &FindBar::showResult);
    m_waitForPage = new QTimer(this);
    m_waitForPage->setInterval(100);
    connect(m_waitForPage, &QTimer::timeout, this, [this] {
        if (!m_web->isBusy()) {
            m_waitForPage->stop();
            find(m_pendingBackward);
        }
    });
    hide();
}

void FindBar::open() {
    show();
    m_field->setFocus();
    m_field->selectAll();
}

void FindBar::close() {
    hide();
    m_waitForPage->stop();
    m_count->clear();
    m_web->findText(QString(), false, false);
}

void FindBar::findNext() {
    find(false);
}

void FindBar::findPrevious() {
    find(true);
}

void FindBar::find(bool backward) {
    const QString text = m_field->text();
    if (text.isEmpty()) {
        m_count->clear();
        m_web->findText(QString(), false, false);
        return;
    }
    // A page put to sleep has nothing to search in: it wakes first, and the
    // search runs once it is back.
    if (m_web->lifecycle() != Lifecycle::State::Active)
        m_web->setLifecycle(Lifecycle::State::Active);
    if (m_web->isBusy()) {
        m_pendingBackward = backward;
        m_waitForPage->start();
        return;
    }
    m_web->findText(text, backward, m_case->isChecked());
}

void FindBar::showResult(int active, int count) {
    // A late answer to a search the user has closed.
    if (isHidden() || m_field->text().isEmpty())
        return;
    m_count->setText(count > 0 ? QStringLiteral("%1 von %2").arg(active).arg(count)
                               : QStringLiteral("Nicht gefunden"));
}

// Keys reach the bar from whichever of its widgets has the focus (the field
// and the buttons leave Enter and Esc to their parent), so Esc closes it
// after a click on "Groß-/Kleinschreibung beachten" too.
// Esc closes the bar, also while a page loads and the frame's Esc would
// stop it.
bool FindBar::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        find(event->modifiers() & Qt::ShiftModifier);
        return;
    case Qt::Key_Escape:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
