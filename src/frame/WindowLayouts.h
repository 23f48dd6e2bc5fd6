#pragma once

#include <QList>
#include <QString>

class BrowserRegistry;
class QWidget;
class Shell;
struct LayoutItem;
struct LayoutRecord;
struct OpenRequest;

// Window layout files: the open browser windows with their places, sizes,
// addresses and bars, saved and opened again.
namespace WindowLayouts {

// One item per open window, in the registry's order.
QList<LayoutItem> items(const BrowserRegistry& registry);
// What opens each record's window again.
QList<OpenRequest> requests(const QList<LayoutRecord>& records);

// False (and a message shown) when the file could not be written.
bool save(const BrowserRegistry& registry, const QString& path, QWidget* parent);
// Opens one window per record, one per turn of the event loop; false (and a
// message shown) when the file could not be read.
bool load(Shell& shell, const QString& path, QWidget* parent);

} // namespace WindowLayouts
