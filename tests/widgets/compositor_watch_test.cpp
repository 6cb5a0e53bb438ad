// CompositorWatch where there is no X display to watch.

#include "platform/CompositorWatch.h"
#include "support/SpinEventLoop.h"

#include <gtest/gtest.h>

namespace lunaveil {
namespace {

using namespace std::chrono_literals;

TEST(CompositorWatchWithoutDisplayTest, ReportsNoCompositorAndNeverChanges)
{
    // No server listens on this display (X11 display numbers stop well below it).
    CompositorWatch watch(":65000");
    int changes = 0;
    watch.onChanged = [&] { ++changes; };
    EXPECT_FALSE(watch.isActive());
    test::spinFor(100ms);
    EXPECT_FALSE(watch.isActive());
    EXPECT_EQ(changes, 0);
}

TEST(CompositorWatchWithoutDisplayTest, AMalformedDisplayNameIsNoDisplay)
{
    CompositorWatch watch("not a display");
    EXPECT_FALSE(watch.isActive());
}

}  // namespace
}  // namespace lunaveil
