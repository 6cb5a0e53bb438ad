// RandrCrtcs against a real Xorg (dummy driver): ramps, errors, hotplug and a vanishing server.

#include "platform/x11/RandrCrtcs.h"
#include "support/Calibration.h"
#include "support/SpinEventLoop.h"
#include "support/XServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace lunaveil {
namespace {

using test::XServer;
using namespace std::chrono_literals;

// One server through the life of a connection: ramps and refusals, monitors that come and go,
// and the server's end.
TEST(RandrCrtcsTest, EachCrtcKeepsItsOwnRampMonitorsAreFollowedAndAVanishedServerIsReportedOnce)
{
    XServer server(2);
    LUNAVEIL_REQUIRE_X_SERVER(server);
    const auto gamma = RandrCrtcs::create(server.displayName().c_str());
    ASSERT_NE(gamma, nullptr);
    int changes = 0;
    int losses = 0;
    gamma->onCrtcsChanged = [&] { ++changes; };
    gamma->onConnectionLost = [&] { ++losses; };
    const std::vector<CrtcId> crtcs = test::crtcIds(*gamma);
    ASSERT_EQ(crtcs.size(), 2u);

    // The dummy server has 16 CRTCs; only the two lit ones are listed, each with a ramp of 256.
    EXPECT_EQ(gamma->getRamp(crtcs[0])->size(), 256u);
    // Ramps whose channels differ from each other and from the other ramp's.
    const GammaRamp first = test::calibration(256);
    GammaRamp second = first;
    std::swap(second.red, second.blue);
    ASSERT_TRUE(gamma->setRamp(crtcs[0], first));
    ASSERT_TRUE(gamma->setRamp(crtcs[1], second));
    EXPECT_EQ(gamma->getRamp(crtcs[0]), first);
    EXPECT_EQ(gamma->getRamp(crtcs[1]), second);

    GammaRamp unevenChannels = first;
    unevenChannels.blue.pop_back();
    for (const GammaRamp& refused : {test::calibration(255), test::calibration(1024), unevenChannels, GammaRamp{}})
        EXPECT_FALSE(gamma->setRamp(crtcs[0], refused)) << refused.size();
    const CrtcId unknown = std::max(crtcs[0], crtcs[1]) + 100'000;
    EXPECT_FALSE(gamma->setRamp(unknown, first));
    // The X errors above did not cost the connection, and read in one go, an unknown CRTC between
    // two known ones gives nothing and shifts no answer.
    const CrtcId asked[] = {crtcs[1], unknown, crtcs[0]};
    EXPECT_EQ(gamma->getRamps(asked), (std::vector<std::optional<GammaRamp>>{second, std::nullopt, first}));

    ASSERT_TRUE(server.enableMonitor(2)) << server.failure();
    ASSERT_TRUE(test::spinUntil([&] { return changes > 0; })) << "no change announced for a new monitor";
    // xrandr's reconfiguration sends several RandR events at once; they make one announcement.
    EXPECT_EQ(changes, 1);
    const std::vector<CrtcId> withThird = test::crtcIds(*gamma);
    ASSERT_EQ(withThird.size(), 3u);
    const auto added = std::ranges::find_if(withThird, [&](CrtcId crtc) { return std::ranges::find(crtcs, crtc) == crtcs.end(); });
    ASSERT_NE(added, withThird.end());
    ASSERT_TRUE(gamma->setRamp(*added, first));
    EXPECT_EQ(gamma->getRamp(*added), first);

    changes = 0;
    ASSERT_TRUE(server.disableMonitor(2)) << server.failure();
    // Listing before the event loop runs reads the change's events along with the reply,
    // out of the socket notifier's sight; they must be announced all the same.
    EXPECT_EQ(test::crtcIds(*gamma), crtcs);
    EXPECT_TRUE(test::spinUntil([&] { return changes > 0; })) << "no change announced for a removed monitor";

    server.stop();
    ASSERT_TRUE(test::spinUntil([&] { return losses > 0; })) << "the lost connection was not reported";
    EXPECT_LT(test::spinFor(300ms), 50) << "the event loop keeps waking for the dead connection";
    EXPECT_TRUE(test::crtcIds(*gamma).empty());
    EXPECT_EQ(gamma->getRamp(crtcs[0]), std::nullopt);
    EXPECT_FALSE(gamma->setRamp(crtcs[0], first));
    test::spinFor(50ms);
    EXPECT_EQ(losses, 1);
}

TEST(RandrCrtcsCreate, GivesNothingWithoutAReachableDisplayOrRandR)
{
    EXPECT_EQ(RandrCrtcs::create(":not-a-display"), nullptr);
    EXPECT_EQ(RandrCrtcs::create("/nonexistent/lunaveil-socket:0"), nullptr);

    const XServer withoutRandR(1, XServer::RandR::Disabled);
    LUNAVEIL_REQUIRE_X_SERVER(withoutRandR);
    EXPECT_EQ(RandrCrtcs::create(withoutRandR.displayName().c_str()), nullptr);
}

}  // namespace
}  // namespace lunaveil
