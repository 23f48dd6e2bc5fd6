#include "history/HistoryWindow.h"

#include "common/Twips.h"
#include "history/model/HistoryList.h"
#include "history/model/HistoryRules.h"
#include "shell/OpenRequest.h"
#include "shell/Shell.h"
#include "shell/WindowOpener.h"

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

HistoryWindow::HistoryWindow(Shell& shell)
    : QMainWindow(shell.ownerWindow(), Qt::Window), m_shell(shell) {
    setObjectName(QStringLiteral("frmHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Historie"));
    setMinimumSize(twipsToPx(MinWidthTwips), twipsToPx(MinHeightTwips));
    m_shell.toolWindowShown(Shell::ToolWindow::History, true);

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
            &HistoryWindow::headerPressed);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openRow(row); });
    connect(m_grid, &QTableWidget::currentCellChanged, this, &HistoryWindow::updateCopyItem);

    m_menu = menuBar()->addMenu(QStringLiteral("&Tabelle"));
    m_menu->setObjectName(QStringLiteral("tableMenu"));
    auto add = [this](QMenu* menu, const char* name, const QString& text) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    connect(add(m_menu, "refresh", QStringLiteral("&Aktualisieren")), &QAction::triggered, this,
            &HistoryWindow::fillGrid);
    m_menu->addSeparator();
    QMenu* sort = m_menu->addMenu(QStringLiteral("Sor&tieren"));
    sort->setObjectName(QStringLiteral("sortMenu"));
    connect(add(sort, "sortByAddress", QStringLiteral("nach &Adresse")), &QAction::triggered, this,
            [this] { sortBy(0); });
    connect(add(sort, "sortByTitle", QStringLiteral("nach &Titel")), &QAction::triggered, this,
            [this] { sortBy(1); });
    connect(add(sort, "sortByDate", QStringLiteral("nach &Datum")), &QAction::triggered, this,
            [this] { sortBy(2); });
    m_menu->addSeparator();
    connect(add(m_menu, "copyAddress", QStringLiteral("Adresse &kopieren")), &QAction::triggered,
            this, &HistoryWindow::copyAddress);
    QAction* tz3 = m_menu->addSeparator();
    tz3->setObjectName(QStringLiteral("copySeparator"));
    connect(add(m_menu, "close", QStringLiteral("&Schließen")), &QAction::triggered, this,
            &QWidget::close);

    resize(620, 320);
    fillGrid();
}

QAction* HistoryWindow::action(const QString& name) const {
    return findChild<QAction*>(name);
}

void HistoryWindow::setRows(const QList<QStringList>& rows) {
    m_grid->clearSelection();
    m_grid->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(rows[r].value(c)));
    updateColumnWidths();
}

QList<QStringList> HistoryWindow::rows() const {
    QList<QStringList> out;
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < 3; ++c)
            row << (m_grid->item(r, c) ? m_grid->item(r, c)->text() : QString());
        out << row;
    }
    return out;
}

void HistoryWindow::fillGrid() {
    QList<QStringList> list;
    for (const HistoryItem& item : m_shell.history().items())
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

void HistoryWindow::sortBy(int column) {
    QList<QStringList> list = rows();
    HistoryRules::sortRows(list, column);
    setRows(list);
    updateCopyItem();
}

void HistoryWindow::copyAddress() {
    if (QTableWidgetItem* item = m_grid->currentItem())
        QGuiApplication::clipboard()->setText(item->text());
}

void HistoryWindow::openRow(int row) {
    if (row < 0 || row >= m_grid->rowCount() || m_bHeaderClicked)
        return;
    m_grid->setCurrentCell(row, 0);
    m_shell.windowOpener().visit(OpenRequest::withBars(m_grid->item(row, 0)->text(), false, false));
}

void HistoryWindow::takeRow(int row) {
    if (row < 0 || row >= m_grid->rowCount())
        return;
    m_shell.windowOpener().setNextWindowAddress(m_grid->item(row, 0)->text());
    close();
}

void HistoryWindow::headerPressed(int column) {
    m_bHeaderClicked = true;
    sortBy(column);
}

void HistoryWindow::updateCopyItem() {
    const bool onAddress = m_grid->currentRow() >= 0 && m_grid->currentColumn() == 0;
    action(QStringLiteral("copyAddress"))->setVisible(onAddress);
    action(QStringLiteral("copySeparator"))->setVisible(onAddress);
}

void HistoryWindow::updateColumnWidths() {
    const int client = m_grid->viewport()->width();
    const int rowHeight = m_grid->horizontalHeader()->height();
    const bool fits = m_grid->height() >= rowHeight * (m_grid->rowCount() + 1);
    const std::array<int, 3> widths = HistoryRules::columnWidths(client, fits);
    for (int c = 0; c < 3; ++c)
        m_grid->setColumnWidth(c, qMax(0, widths[size_t(c)]));
}

void HistoryWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    updateColumnWidths();
}

void HistoryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event) {
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

void HistoryWindow::closeEvent(QCloseEvent* event) {
    m_shell.toolWindowShown(Shell::ToolWindow::History, false);
    m_closed = true;
    QMainWindow::closeEvent(event);
}
