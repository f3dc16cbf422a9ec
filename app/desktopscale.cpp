// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopscale.h"

#include <QGuiApplication>
#include <QList>

#ifdef KORVA_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

int xftDpiFromResources(const QByteArray &resources)
{
    for (const QByteArray &line : resources.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed() != "Xft.dpi")
            continue;
        bool ok = false;
        const double dpi = line.mid(colon + 1).trimmed().toDouble(&ok);
        return ok && dpi > 0 && dpi < 10000 ? qRound(dpi) : 0;
    }
    return 0;
}

namespace {

// Xft.dpi of the X server in DISPLAY, read before Qt connects to it.
int desktopXftDpi()
{
#ifdef KORVA_HAVE_XCB
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (qEnvironmentVariableIsEmpty("DISPLAY") || (!platform.isEmpty() && platform != "xcb"))
        return 0;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    int dpi = 0;
    if (!xcb_connection_has_error(connection)) {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const xcb_get_property_cookie_t cookie = xcb_get_property(
            connection, 0, screen->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16);
        if (xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr)) {
            dpi = xftDpiFromResources(
                QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply)));
            std::free(reply);
        }
    }
    xcb_disconnect(connection);
    return dpi;
#else
    return 0;
#endif
}

} // namespace

void chooseScaleRounding()
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
    // A desktop set to 150 % says so in Xft.dpi (144): the form is drawn at 1.5, where it
    // still fits a 1920 x 1080 screen, rather than rounded up to 2, where it does not. Without
    // Xft.dpi Qt falls back on the monitor's own dpi, often near 100, and a factor of 1.04
    // would blur and shift the whole form: that one is rounded down.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        desktopXftDpi() > 0 ? Qt::HighDpiScaleFactorRoundingPolicy::PassThrough
                            : Qt::HighDpiScaleFactorRoundingPolicy::RoundPreferFloor);
#endif
}
