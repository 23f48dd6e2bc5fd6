#pragma once

#include <QString>
#include <QStringList>

// Rules of a browser window that need no window to decide.
namespace BrowserRules {

// Removes one enclosing pair of double quotes; nothing else. A lone quote
// gives an empty text.
QString trimQuotes(const QString& s);

// Puts a completed address at the top of the address list, once.
void rememberAddress(QStringList& list, const QString& address);

// The address that goes into the history after a completed navigation: the
// page's own address when the navigated address ends in the page's name,
// else the navigated address.
QString historyAddress(const QString& navigatedUrl, const QString& locationUrl,
                       const QString& locationName);

// Next picture of the busy animation: 2, 3, ..., frames, 1, 2, ...
int nextAnimFrame(int frame, int frames);

enum class DocKind { None, Html, Folder };

// The title the page-state poll gives a window once its page has loaded.
QString pollTitle(DocKind kind, const QString& documentTitle, const QString& locationName,
                  const QString& folderPath, const QString& locationUrl);

// New outer size of a window whose page asked for a client width or height
// (all in pixels): the window keeps its border and, for the height, the bar
// area above the page.
int windowWidthFor(int windowWidth, int clientWidth, int requested);
int windowHeightFor(int windowHeight, int clientHeight, int requested, int barHeight,
                    bool barVisible);

} // namespace BrowserRules
