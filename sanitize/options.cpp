// SPDX-License-Identifier: GPL-3.0-or-later
// Default options of the sanitizers, for every program of a sanitizer build. The environment
// (ASAN_OPTIONS, UBSAN_OPTIONS, LSAN_OPTIONS) still overrides them.

#include <QGuiApplication>
#include <QScreen>

#include <sanitizer/lsan_interface.h>

extern "C" {

// Leaks inside system libraries that are never freed by design, one by one with the reason.
const char *__lsan_default_options()
{
    return "suppressions=" KORVA_LSAN_SUPPRESSIONS;
}

// A report stops the program, so that no test can pass over one.
const char *__ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

const char *__asan_default_options()
{
    return "detect_leaks=1:halt_on_error=1:strict_init_order=1";
}
}

namespace {

// Qt 5's offscreen platform plugin, which the tests run on, never deletes the screen it makes
// when the application object starts: the screen, its platform half and its cursor are left
// pointing at one another when the application ends. They are marked as meant to live on. (A
// suppression cannot name them: Qt is built without frame pointers, so the stack the leak
// checker keeps of each allocation ends one frame above it.)
void keepTheOffscreenScreen()
{
    // Marking a screen that a platform does delete changes nothing.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            __lsan_ignore_object(screen);
    }
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(keepTheOffscreenScreen)

namespace {

// On X11, Qt probes OpenGL for every window, although this program never draws with it; Mesa's
// driver keeps a buffer from that probe and is unloaded before the leak check, which then
// cannot even tell where the buffer came from. The windows draw the same without the probe.
struct NoOpenGLProbe
{
    NoOpenGLProbe()
    {
        if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
            qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
} noOpenGLProbe;

} // namespace
