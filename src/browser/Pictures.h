#pragma once

#include <QPixmap>

// The pictures of a browser window's animation area: 1 idle, 1 to 4 the busy
// animation, 5 the lock of an encrypted page. Drawn once, so the program needs
// no image files.
QPixmap browserPicture(int index);

// A private window's icon: a dark mask over the globe.
QPixmap privateWindowPicture();

// The mail symbol of the frame's status bar.
QPixmap mailPicture();

// The magnifier beside the status text while a mail server is searched.
QPixmap lookPicture();

// The program's icon: the globe, at the given size.
QPixmap programIcon(int size);
