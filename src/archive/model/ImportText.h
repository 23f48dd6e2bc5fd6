#pragma once

#include <QByteArray>
#include <QString>

// Reading a bookmark file's bytes before it is parsed.
namespace BookmarkImport::detail {

// The text of a file: in the charset its META declares, else UTF-8 when the
// bytes are valid UTF-8, else Windows-1252.
QString decodeText(const QByteArray& bytes);

// How deep the file's elements nest, counted roughly and only up to `limit`
// (a little beyond it), so a hostile file is refused before it is parsed.
int nestingDepth(const QByteArray& utf8, int limit);

} // namespace BookmarkImport::detail
