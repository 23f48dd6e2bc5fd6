#include "browser/SuggestionPopup.h"

#include <QListWidget>
#include <QVBoxLayout>

SuggestionPopup::SuggestionPopup(QWidget* parent)
    : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("suggestions"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_list = new QListWidget(this);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_list->setAccessibleName(QStringLiteral("Vorschläge"));
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit rowClicked(m_list->row(item)); });
}

QString SuggestionPopup::text(const Suggestions::Row& row) {
    switch (row.kind) {
    case Suggestions::Kind::Search:
        return QStringLiteral("\u201E%1\u201C suchen").arg(row.title);
    case Suggestions::Kind::Window:
        return QStringLiteral("%1 \u2013 Zu Fenster wechseln")
            .arg(row.title.isEmpty() ? row.url : row.title);
    case Suggestions::Kind::Bookmark:
    case Suggestions::Kind::History:
        break;
    }
    return row.title.isEmpty() || row.title == row.url
               ? row.url
               : QStringLiteral("%1 \u2013 %2").arg(row.title, row.url);
}

void SuggestionPopup::showRows(const QList<Suggestions::Row>& rows, QWidget* anchor) {
    m_rows = rows;
    m_list->clear();
    for (const Suggestions::Row& row : rows) {
        auto* item = new QListWidgetItem(text(row), m_list);
        item->setToolTip(row.url);
    }
    m_list->setCurrentRow(-1);
    const int rowHeight = m_list->sizeHintForRow(0) > 0 ? m_list->sizeHintForRow(0) : 20;
    resize(anchor->width(), rowHeight * int(rows.size()) + 2 * frameWidth() + 4);
    move(anchor->mapToGlobal(QPoint(0, anchor->height())));
    show();
    raise();
}

int SuggestionPopup::current() const {
    return m_list->currentRow();
}

void SuggestionPopup::step(int delta) {
    const int count = m_list->count();
    int next = current() + delta;
    if (next < -1)
        next = count - 1;
    else if (next >= count)
        next = -1;
    m_list->setCurrentRow(next);
    if (next < 0)
        m_list->clearSelection();
}
