#include "history/FrmHistory.h"

#include "common/Twips.h"
#include "frame/MainFrame.h"
#include "history/model/HistoryRules.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTableWidget>

namespace {
constexpr int MinWidthTwips = 2500;
constexpr int MinHeightTwips = 1590;
} // namespace

FrmHistory::FrmHistory(MainFrame* frame) : QMainWindow(frame, Qt::Window), m_frame(frame) {
    setObjectName(QStringLiteral("frmHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Historie"));
    setMinimumSize(twipsToPx(MinWidthTwips), twipsToPx(MinHeightTwips));
    m_frame->bIsOpenHistory = true;

    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setColumnCount(3);
    m_grid->setHorizontalHeaderLabels(
        {QStringLiteral("Adresse"), QStringLiteral("Titel"), QStringLiteral("Datum - Uhrzeit")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setWordWrap(false);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
    setCentralWidget(m_grid);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionPressed, this,
            &FrmHistory::headerPressed);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openRow(row); });
    connect(m_grid, &QTableWidget::currentCellChanged, this, &FrmHistory::updateCopyItem);

    m_menu = menuBar()->addMenu(QStringLiteral("&Tabelle"));
    m_menu->setObjectName(QStringLiteral("mn_Historie"));
    auto add = [this](QMenu* menu, const char* name, const QString& text) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    connect(add(m_menu, "mn_Aktualisieren", QStringLiteral("&Aktualisieren")), &QAction::triggered,
            this, &FrmHistory::fillGrid);
    m_menu->addSeparator();
    QMenu* sort = m_menu->addMenu(QStringLiteral("Sor&tieren"));
    sort->setObjectName(QStringLiteral("mn_Sortieren"));
    connect(add(sort, "mn_SortAdr", QStringLiteral("nach &Adresse")), &QAction::triggered, this,
            [this] { sortBy(0); });
    connect(add(sort, "mn_SortTitel", QStringLiteral("nach &Titel")), &QAction::triggered, this,
            [this] { sortBy(1); });
    connect(add(sort, "mn_SortDate", QStringLiteral("nach &Datum")), &QAction::triggered, this,
            [this] { sortBy(2); });
    m_menu->addSeparator();
    connect(add(m_menu, "mn_Kopieren", QStringLiteral("Adresse &kopieren")), &QAction::triggered,
            this, &FrmHistory::copyAddress);
    QAction* tz3 = m_menu->addSeparator();
    tz3->setObjectName(QStringLiteral("mn_tz3"));
    connect(add(m_menu, "mn_Schließen", QStringLiteral("&Schließen")), &QAction::triggered, this,
            &QWidget::close);

    resize(620, 320);
    fillGrid();
}

QAction* FrmHistory::action(const QString& name) const {
    return findChild<QAction*>(name);
}

void FrmHistory::setRows(const QList<QStringList>& rows) {
    m_grid->clearSelection();
    m_grid->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(rows[r].value(c)));
    updateColumnWidths();
}

QList<QStringList> FrmHistory::rows() const {
    QList<QStringList> out;
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < 3; ++c)
            row << (m_grid->item(r, c) ? m_grid->item(r, c)->text() : QString());
        out << row;
    }
    return out;
}

void FrmHistory::fillGrid() {
    QList<QStringList> list;
    for (const HistoryItem& item : m_frame->History.items())
        list << QStringList{item.Url, item.Title, HistoryRules::formatUrlDate(item.UrlDate)};
    HistoryRules::sortRows(list, 2);
    setRows(list);
    if (!list.isEmpty()) {
        m_grid->setCurrentCell(0, 0);
        m_grid->setRangeSelected(QTableWidgetSelectionRange(0, 0, 0, 2), true);
    } else {
        m_grid->setCurrentCell(-1, -1);
    }
    updateCopyItem();
}

void FrmHistory::sortBy(int column) {
    QList<QStringList> list = rows();
    HistoryRules::sortRows(list, column);
    setRows(list);
    updateCopyItem();
}

void FrmHistory::copyAddress() {
    if (QTableWidgetItem* item = m_grid->currentItem())
        QGuiApplication::clipboard()->setText(item->text());
}

void FrmHistory::openRow(int row) {
    if (row < 0 || row >= m_grid->rowCount() || m_bHeaderClicked)
        return;
    m_grid->setCurrentCell(row, 0);
    m_frame->VisitUrl(m_grid->item(row, 0)->text(), false, false);
}

void FrmHistory::takeRow(int row) {
    if (row < 0 || row >= m_grid->rowCount())
        return;
    m_frame->HistoryUrl = m_grid->item(row, 0)->text();
    close();
}

void FrmHistory::headerPressed(int column) {
    m_bHeaderClicked = true;
    sortBy(column);
}

void FrmHistory::updateCopyItem() {
    const bool onAddress = m_grid->currentRow() >= 0 && m_grid->currentColumn() == 0;
    action(QStringLiteral("mn_Kopieren"))->setVisible(onAddress);
    action(QStringLiteral("mn_tz3"))->setVisible(onAddress);
}

void FrmHistory::updateColumnWidths() {
    const int client = m_grid->viewport()->width();
    const int rowHeight = m_grid->horizontalHeader()->height();
    const bool fits = m_grid->height() >= rowHeight * (m_grid->rowCount() + 1);
    const std::array<int, 3> widths = HistoryRules::columnWidths(client, fits);
    for (int c = 0; c < 3; ++c)
        m_grid->setColumnWidth(c, qMax(0, widths[size_t(c)]));
}

void FrmHistory::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    updateColumnWidths();
}

void FrmHistory::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool FrmHistory::eventFilter(QObject* watched, QEvent* event) {
    // The viewport's own width is what the columns share; it is known only
    // once the grid is laid out and changes with a scroll bar too.
    if (watched == m_grid->viewport() && event->type() == QEvent::Resize)
        updateColumnWidths();
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            takeRow(m_grid->currentRow());
            return true;
        }
    }
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* e = static_cast<QMouseEvent*>(event);
        m_bHeaderClicked = false;
        if (e->button() == Qt::RightButton) {
            const QModelIndex index = m_grid->indexAt(e->position().toPoint());
            if (index.isValid())
                m_grid->setCurrentCell(index.row(), index.column());
            updateCopyItem();
            m_menu->popup(e->globalPosition().toPoint());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrmHistory::closeEvent(QCloseEvent* event) {
    m_frame->bIsOpenHistory = false;
    m_closed = true;
    QMainWindow::closeEvent(event);
}
