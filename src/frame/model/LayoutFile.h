#pragma once

// The window layout file (*.wlt): one fixed record per open browser window,
// so a saved arrangement of windows can be opened again later. The file has
// no header; record k starts at byte LayoutRecord::Size * (k - 1).

#include <QByteArray>
#include <QList>
#include <QString>

// One browser window as the frame knows it.
struct LayoutItem {
    double left = 0, top = 0, width = 0, height = 0; // twips; may be fractional or huge
    QString url;
    bool toolbar = true;
    bool adress = true;
    qint16 state = 0; // 0 normal, 1 minimised, 2 maximised
};

// One record as read back from the file, values as stored.
struct LayoutRecord {
    static constexpr int Size = 516;

    qint16 seq = 0, left = 0, top = 0, width = 0, height = 0;
    QString url; // blanks at both ends removed
    qint16 toolbar = -1, adress = -1, state = 0;
};

namespace LayoutFile {

// Numbers the records 1, 2, 3... in list order. Positions are rounded half to
// even and then held to the 16-bit range, so a window far off screen stays
// far off screen instead of wrapping to the other side.
QByteArray encode(const QList<LayoutItem>& items);

// Whole records only; an incomplete tail is ignored.
QList<LayoutRecord> decode(const QByteArray& data);

// Replaces the file in one step; on failure the old file is left as it was
// and error receives a German reason naming the file. No items give an
// empty file. Blanks around path are ignored.
bool save(const QString& path, const QList<LayoutItem>& items, QString* error);

enum class LoadStatus { Ok, Created, Failed };

// Blanks around path are ignored. A missing file is created empty (Created,
// no records); a file that cannot be read or created is Failed with a German
// reason naming it in error.
LoadStatus load(const QString& path, QList<LayoutRecord>* records, QString* error);

} // namespace LayoutFile
