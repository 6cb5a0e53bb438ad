#pragma once
// Owning XCB replies, and the display name shown in messages.

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace lunaveil {

struct FreeMemory {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using XcbPointer = std::unique_ptr<T, FreeMemory>;

// Waits for a request's reply. An X error gives null and is freed here; passing no error
// pointer would instead deliver it later as an event.
template <typename Reply, typename Cookie>
XcbPointer<Reply> waitFor(Reply* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                          xcb_connection_t* connection, Cookie cookie)
{
    xcb_generic_error_t* error = nullptr;
    XcbPointer<Reply> reply(fetch(connection, cookie, &error));
    std::free(error);
    return reply;
}

// The display a connection to `displayName` ($DISPLAY when null) reaches, for messages.
inline const char* shownDisplayName(const char* displayName)
{
    if (displayName != nullptr)
        return displayName;
    const char* fromEnvironment = std::getenv("DISPLAY");
    return fromEnvironment != nullptr ? fromEnvironment : "(DISPLAY unset)";
}

}  // namespace lunaveil
