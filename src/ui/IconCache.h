#pragma once

// Keeps the style's standard icons once they are read. Every browser window's
// frame asks the style for the same few icons (restore, minimize, close ...),
// and the style reads and decodes each from its picture file every time: with
// hundreds of windows that is most of what opening a window costs. An icon's
// pictures are read only when it is first drawn. Call once the application
// object exists.
void installIconCache();
