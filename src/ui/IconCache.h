#pragma once

// Keeps the style's standard icons once they are read. Every browser window's
// frame asks the style for the same few icons (restore, minimize, close ...),
// and the style reads and decodes each from its picture file every time: with
// hundreds of windows that is most of what opening a window costs. Call once
// the application object exists.
void installIconCache();
