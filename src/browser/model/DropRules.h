#pragma once

#include <QString>

class QMimeData;

// What a drop on Korvix opens: the frame and the tab strip open each in a
// window of its own, the address box takes the first there is.
namespace DropRules {

struct Dropped {
    // A link or text, as it came.
    QString text;
    // The path of the first local file of a file list.
    QString file;
};

// A link dragged from a page or a file manager comes as a list of
// addresses: its first non-local one is the link, its first local one the
// file. Plain text counts only when there is neither.
Dropped dropped(const QMimeData* data);

} // namespace DropRules
