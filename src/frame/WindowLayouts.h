#pragma once

#include <QString>

class BrowserRegistry;
class QWidget;
class Shell;

// Window layout files: the open browser windows with their places, sizes,
// addresses and bars, saved and opened again.
namespace WindowLayouts {

// False (and a message shown) when the file could not be written.
bool save(const BrowserRegistry& registry, const QString& path, QWidget* parent);
// Opens one window per record, one per turn of the event loop; false (and a
// message shown) when the file could not be read.
bool load(Shell& shell, const QString& path, QWidget* parent);

} // namespace WindowLayouts
