#include "browser/EngineDrawing.h"

#include <QByteArray>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>

namespace {

bool g_chosen = false;

// Renderers that draw on the processor: Mesa's and Chromium's.
bool isSoftwareRenderer(const QByteArray& renderer) {
    const QByteArray name = renderer.toLower();
    for (const char* known :
         {"llvmpipe", "softpipe", "swrast", "software rasterizer", "swiftshader"}) {
        if (name.contains(known))
            return true;
    }
    return false;
}

enum class Drawing { OpenGL, Software, Unknown };

// How the frame would be composed: by OpenGL on a card, by OpenGL in
// software, or without OpenGL at all (software too). A renderer that cannot
// be asked keeps the toolkit's own choice.
Drawing openGLDrawing() {
    // The engine's shared context exists already; another costs time.
    QOpenGLContext own;
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    if (!context) {
        if (!own.create())
            return Drawing::Software;
        context = &own;
    }
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    if (!surface.isValid() || !context->makeCurrent(&surface))
        return Drawing::Unknown;
    const auto* name =
        reinterpret_cast<const char*>(context->functions()->glGetString(GL_RENDERER));
    const QByteArray renderer(name ? name : "");
    context->doneCurrent();
    if (renderer.isEmpty())
        return Drawing::Unknown;
    return isSoftwareRenderer(renderer) ? Drawing::Software : Drawing::OpenGL;
}

} // namespace

void EngineDrawing::choose() {
    if (g_chosen)
        return;
    g_chosen = true;
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return;
    if (openGLDrawing() == Drawing::Software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
