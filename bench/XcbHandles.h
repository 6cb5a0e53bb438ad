#pragma once
// Owning handles for the benchmark helpers' XCB connections and replies.

#include <chrono>
#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace lunaveil::bench {

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

struct FreeMemory {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeMemory>;

// Waits for a request's reply; an X error gives null (and is freed here rather than queued as an event).
template <typename T, typename Cookie>
Reply<T> reply(T* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**), xcb_connection_t* connection,
               Cookie cookie)
{
    xcb_generic_error_t* error = nullptr;
    Reply<T> answer(fetch(connection, cookie, &error));
    std::free(error);
    return answer;
}

using Clock = std::chrono::steady_clock;

inline double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace lunaveil::bench
