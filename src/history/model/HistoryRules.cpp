#include "history/model/HistoryRules.h"

#include <QtMath>
#include <algorithm>

namespace HistoryRules {

QString formatUrlDate(const QDateTime& date) {
    return date.toString(QStringLiteral("dd.MM.yyyy - hh:mm:ss"));
}

void sortRows(QList<QStringList>& rows, int column) {
    auto cell = [column](const QStringList& row) {
        return column < row.size() ? row.at(column) : QString();
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const QStringList& a, const QStringList& b) {
        switch (column) {
        case 0:
            return QString::compare(cell(a), cell(b), Qt::CaseInsensitive) < 0;
        case 1:
            return QString::compare(cell(a), cell(b), Qt::CaseSensitive) < 0;
        default:
            return QString::compare(cell(a), cell(b), Qt::CaseSensitive) > 0;
        }
    });
}

std::array<int, 3> columnWidths(int clientWidth, bool allRowsFit) {
    // 100 and 350 twips at 15 twips a pixel.
    const double margin = allRowsFit ? 100.0 / 15.0 : 350.0 / 15.0;
    const double room = clientWidth - margin;
    const int first = qRound(room / 2.5);
    return {first, first, qRound(room) - 2 * first};
}

} // namespace HistoryRules
