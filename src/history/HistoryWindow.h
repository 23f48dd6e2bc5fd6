#pragma once

#include <QMainWindow>

class Shell;
class QAction;
class QMenu;
class QTableWidget;

// "Historie": the visited addresses as a grid to sort, copy from and open.
class HistoryWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HistoryWindow(Shell& shell);

    QTableWidget* grid() const { return m_grid; }
    QMenu* tableMenu() const { return m_menu; }
    QAction* action(const QString& name) const;
    bool headerClicked() const { return m_bHeaderClicked; }
    // Closed and only waiting to be deleted.
    bool isClosed() const { return m_closed; }

    void fillGrid();
    void sortBy(int column);
    void copyAddress();
    // Opens the address of a row in a new window with both bars hidden.
    void openRow(int row);
    // Enter: the next new window starts on the row's address.
    void takeRow(int row);
    void headerPressed(int column);
    void updateCopyItem();

protected:
    void closeEvent(class QCloseEvent* event) override;
    void keyPressEvent(class QKeyEvent* event) override;
    void resizeEvent(class QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setRows(const QList<QStringList>& rows);
    QList<QStringList> rows() const;
    void updateColumnWidths();

    Shell& m_shell;
    QTableWidget* m_grid;
    QMenu* m_menu;
    bool m_bHeaderClicked = false;
    bool m_closed = false;
};
