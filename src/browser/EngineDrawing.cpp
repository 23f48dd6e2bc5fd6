#include "browser/EngineDrawing.h"

#include <QByteArray>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <xcb/xcb.h>

QT_BEGIN_NAMESPACE
// Qt's own; its web engine module sets the shared context through it too.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

namespace {

bool g_chosen = false;
// OpenGL kept out of Qt's X platform until the application object exists.
bool g_openGLHeldOff = false;

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

bool chosenInEnvironment() {
    return qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
           qEnvironmentVariableIsSet("QSG_RHI_BACKEND");
}

// Whether Qt will open the X display: the platform asked for, or the one it
// takes by itself outside a Wayland session.
bool startsOnX(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return false;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return platform == "xcb";
    return qgetenv("XDG_SESSION_TYPE") != "wayland" && !qEnvironmentVariableIsEmpty("DISPLAY");
}

// Whether the X display lets a program draw on a graphics card: through
// Mesa's drivers (DRI2, DRI3) or NVIDIA's own. A display that cannot be
// asked counts as one that does.
bool displayHasCard() {
    constexpr std::array<const char*, 3> Extensions = {"DRI3", "DRI2", "NV-GLX"};
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool card = xcb_connection_has_error(connection) != 0;
    if (!card) {
        std::array<xcb_query_extension_cookie_t, Extensions.size()> asked;
        for (size_t i = 0; i < Extensions.size(); ++i)
            asked[i] = xcb_query_extension(connection, uint16_t(std::strlen(Extensions[i])),
                                           Extensions[i]);
        for (const xcb_query_extension_cookie_t cookie : asked) {
            xcb_query_extension_reply_t* reply =
                xcb_query_extension_reply(connection, cookie, nullptr);
            card = card || !reply || reply->present;
            std::free(reply);
        }
    }
    xcb_disconnect(connection);
    return card;
}

} // namespace

void EngineDrawing::chooseBeforeStart(int argc, char* argv[]) {
    if (g_chosen || chosenInEnvironment() || !startsOnX(argc, argv) || displayHasCard())
        return;
    g_chosen = true;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Qt and its web engine set up a shared OpenGL context as the
    // application starts, unless there is one already, and ask whether
    // OpenGL works on threads, which makes one too. Each would load the
    // software renderer, some 30 MB in this process, for nothing. One that
    // is never created, kept for the program's life, stands in, and Qt's X
    // platform is told to leave OpenGL alone.
    qt_gl_set_global_share_context(new QOpenGLContext);
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        g_openGLHeldOff = true;
    }
}

void EngineDrawing::applicationStarted() {
    if (!std::exchange(g_openGLHeldOff, false))
        return;
    // The X platform reads the variable the first time it is asked about
    // OpenGL. Asked now, its answer holds for this program, and the
    // programs Korvix starts do not inherit it.
    QOpenGLContext::supportsThreadedOpenGL();
    qunsetenv("QT_XCB_GL_INTEGRATION");
}

void EngineDrawing::choose() {
    if (g_chosen)
        return;
    g_chosen = true;
    if (chosenInEnvironment())
        return;
    if (openGLDrawing() == Drawing::Software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
