#include "ui/Compositor.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {
template <class Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;
}

bool x11CompositorRunning() {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
    for (int screen = 0; screen < screens; ++screen) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
        // Only if the atom exists: a display that never had a compositor has none.
        ReplyPtr<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.constData()),
                                  nullptr),
            &std::free);
        if (!atom || atom->atom == XCB_ATOM_NONE)
            continue;
        ReplyPtr<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                          nullptr),
            &std::free);
        if (owner && owner->owner != XCB_WINDOW_NONE)
            return true;
    }
#endif
    return false;
}
