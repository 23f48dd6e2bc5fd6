#pragma once

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <array>

// The history window's rules that need no window.
namespace HistoryRules {

// "DD.MM.YYYY - hh:mm:ss".
QString formatUrlDate(const QDateTime& date);

// Sorts grid rows (address, title, date text) by one column: the address
// ascending ignoring letter case, the title ascending, the date text
// descending. Texts are compared as texts, so dates order by day first.
void sortRows(QList<QStringList>& rows, int column);

// Column widths for a client width; the margin leaves room for a scroll bar
// when not all rows fit.
std::array<int, 3> columnWidths(int clientWidth, bool allRowsFit);

} // namespace HistoryRules
