#include "browser/RefreshDialog.h"

#include "common/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

RefreshDialog::RefreshDialog(int seconds, const QPoint& topLeft, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmRefresh"));
    setWindowTitle(QStringLiteral("Refresh-Intervall"));
    auto* layout = new QVBoxLayout(this);
    m_check = new QCheckBox(QStringLiteral("Aktivieren"), this);
    m_check->setObjectName(QStringLiteral("Check1"));
    layout->addWidget(m_check);
    m_row = new QWidget(this);
    auto* row = new QHBoxLayout(m_row);
    row->setContentsMargins(0, 0, 0, 0);
    m_after = new QLabel(QStringLiteral("nach"), m_row);
    m_after->setObjectName(QStringLiteral("Label2"));
    m_combo = new QComboBox(m_row);
    m_combo->setObjectName(QStringLiteral("Combo2"));
    m_seconds = new QLabel(QStringLiteral("Sekunden"), m_row);
    m_seconds->setObjectName(QStringLiteral("Label1"));
    row->addWidget(m_after);
    row->addWidget(m_combo, 1);
    row->addWidget(m_seconds);
    layout->addWidget(m_row);
    layout->addStretch(1);

    for (int i = 1; i <= 65; ++i)
        m_combo->addItem(QString::number(i));
    if (seconds >= 1 && seconds <= 65)
        m_combo->setCurrentIndex(seconds - 1);
    else
        m_combo->setCurrentIndex(-1);
    if (seconds > 0) {
        m_check->setChecked(true);
    } else {
        m_combo->setCurrentIndex(2);
    }
    connect(m_check, &QCheckBox::toggled, this, &RefreshDialog::updateHeight);
    move(topLeft);
    setMinimumWidth(200);
    updateHeight();
}

void RefreshDialog::updateHeight() {
    const bool open = m_check->isChecked();
    m_row->setVisible(open);
    setFixedHeight(twipsToPx(open ? OpenHeightTwips : ClosedHeightTwips));
}

int RefreshDialog::seconds() const {
    if (!m_check->isChecked())
        return 0;
    return m_combo->currentText().toInt();
}

void RefreshDialog::keyPressEvent(QKeyEvent* event) {
    // Escape closes like any other way; the state shown is applied.
    if (event->key() == Qt::Key_Escape) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
