#pragma once
// Qt's own X connection, for the parts of Lunaveil that talk to the server beside Qt's windows.

#include <QGuiApplication>

#include <xcb/xcb.h>

namespace lunaveil {

// Null unless the application runs on Qt's xcb platform.
inline xcb_connection_t* qtXcbConnection()
{
    const auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace lunaveil
