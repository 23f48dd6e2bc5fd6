#pragma once

// How the engine's pages reach the screen. With a graphics card they are
// composed into the frame by OpenGL. Without one (a software renderer such
// as Mesa's llvmpipe, a virtual machine, a remote or virtual X display) every
// repaint of the frame, even of one tab's title, would compose the whole
// window in software: there the pages are drawn without OpenGL, and only
// what changed is repainted.
namespace EngineDrawing {
// Before the application object exists: on an X display that gives no
// program a graphics card (Xvfb, a VNC server, many virtual machines), the
// pages are drawn in software from the start, and OpenGL, which could only
// come from a software renderer there, is never loaded.
void chooseBeforeStart(int argc, char* argv[]);
// Right after the application object was made.
void applicationStarted();
// Chooses once, before the first page's view exists, unless chosen before
// the start. QT_QUICK_BACKEND or QSG_RHI_BACKEND in the environment choose
// instead.
void choose();
} // namespace EngineDrawing
