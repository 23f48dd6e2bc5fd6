#pragma once

// How the engine's pages reach the screen. With a graphics card they are
// composed into the frame by OpenGL. Without one (a software renderer such
// as Mesa's llvmpipe, a virtual machine, a remote or virtual X display) every
// repaint of the frame, even of one tab's title, would compose the whole
// window in software: there the pages are drawn without OpenGL, and only
// what changed is repainted.
namespace EngineDrawing {
// Chooses once, before the first page's view exists. QT_QUICK_BACKEND or
// QSG_RHI_BACKEND in the environment choose instead.
void choose();
} // namespace EngineDrawing
