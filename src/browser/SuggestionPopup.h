#pragma once

#include "browser/model/Suggestions.h"

#include <QFrame>

class QListWidget;

// The list under the address box while the user types. It never takes the
// keyboard: the box keeps the focus and steps through the rows.
class SuggestionPopup : public QFrame {
    Q_OBJECT
public:
    explicit SuggestionPopup(QWidget* parent);

    // Shows the rows under `anchor`, none chosen.
    void showRows(const QList<Suggestions::Row>& rows, QWidget* anchor);
    const QList<Suggestions::Row>& rows() const { return m_rows; }
    // The chosen row, -1 for none.
    int current() const;
    // Up (-1) or down (+1); past the first row nothing is chosen.
    void step(int delta);
    QListWidget* list() const { return m_list; }

    // The text a row shows.
    static QString text(const Suggestions::Row& row);

signals:
    void rowClicked(int row);

private:
    QListWidget* m_list;
    QList<Suggestions::Row> m_rows;
};
