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

// What OpenGL the frame would be composed with; empty without any.
QByteArray openGLRenderer() {
    // The engine's shared context exists already; another costs time.
    QOpenGLContext own;
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    if (!context) {
        if (!own.create())
            return QByteArray();
        context = &own;
    }
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    if (!surface.isValid() || !context->makeCurrent(&surface))
        return QByteArray();
    const auto* name =
        reinterpret_cast<const char*>(context->functions()->glGetString(GL_RENDERER));
    QByteArray renderer(name ? name : "");
    context->doneCurrent();
    return renderer;
}

} // namespace

void EngineDrawing::choose() {
    if (g_chosen)
        return;
    g_chosen = true;
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return;
    const QByteArray renderer = openGLRenderer();
    if (renderer.isEmpty() || isSoftwareRenderer(renderer))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
