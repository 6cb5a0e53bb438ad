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

// A ramp whose channels differ from each other and from any other seed's.
GammaRamp distinctRamp(std::size_t size, std::uint16_t seed)
{
    GammaRamp ramp;
    for (std::size_t i = 0; i < size; ++i) {
        const auto level = static_cast<std::uint16_t>(i * 65535 / (size - 1));
        ramp.red.push_back(static_cast<std::uint16_t>(level / 2 + seed));
        ramp.green.push_back(static_cast<std::uint16_t>(level / 3 + seed * 2));
        ramp.blue.push_back(static_cast<std::uint16_t>(65535 - level / 4 - seed));
    }
    return ramp;
}

// Each test gets a fresh server with two monitors, so no state leaks between them.
class RandrCrtcsTest : public testing::Test {
protected:
    void SetUp() override
    {
        server_ = std::make_unique<XServer>(2);
        LUNAVEIL_REQUIRE_X_SERVER(*server_);
        gamma_ = RandrCrtcs::create(server_->displayName().c_str());
        ASSERT_NE(gamma_, nullptr);
        gamma_->onCrtcsChanged = [this] { ++changes_; };
        gamma_->onConnectionLost = [this] { ++losses_; };
        crtcs_ = test::crtcIds(*gamma_);
        ASSERT_EQ(crtcs_.size(), 2u);
    }

    std::unique_ptr<XServer> server_;
    std::unique_ptr<RandrCrtcs> gamma_;
    std::vector<CrtcId> crtcs_;
    int changes_ = 0;
    int losses_ = 0;
};

TEST_F(RandrCrtcsTest, EachCrtcKeepsItsOwnRampExactlyAndRefusalsChangeNothing)
{
    // The dummy server has 16 CRTCs; only the two lit ones are listed, each with a ramp of 256.
    EXPECT_NE(crtcs_[0], crtcs_[1]);
    EXPECT_EQ(gamma_->getRamp(crtcs_[0])->size(), 256u);
    const GammaRamp first = distinctRamp(256, 11);
    const GammaRamp second = distinctRamp(256, 900);
    ASSERT_TRUE(gamma_->setRamp(crtcs_[0], first));
    ASSERT_TRUE(gamma_->setRamp(crtcs_[1], second));
    EXPECT_EQ(gamma_->getRamp(crtcs_[0]), first);
    EXPECT_EQ(gamma_->getRamp(crtcs_[1]), second);
    // Setting one again leaves the other as it was.
    ASSERT_TRUE(gamma_->setRamp(crtcs_[0], second));
    EXPECT_EQ(gamma_->getRamp(crtcs_[0]), second);
    EXPECT_EQ(gamma_->getRamp(crtcs_[1]), second);

    GammaRamp unevenChannels = distinctRamp(256, 1);
    unevenChannels.blue.pop_back();
    for (const GammaRamp& refused : {distinctRamp(255, 1), distinctRamp(1024, 1), unevenChannels, GammaRamp{}})
        EXPECT_FALSE(gamma_->setRamp(crtcs_[0], refused)) << refused.size();
    const CrtcId unknown = std::max(crtcs_[0], crtcs_[1]) + 100'000;
    EXPECT_FALSE(gamma_->setRamp(unknown, first));
    EXPECT_EQ(gamma_->getRamp(unknown), std::nullopt);
    EXPECT_EQ(gamma_->getRamp(crtcs_[0]), second);

    // The X errors above did not cost the connection: the CRTCs still take new ramps.
    ASSERT_TRUE(gamma_->setRamp(crtcs_[1], first));
    EXPECT_EQ(gamma_->getRamp(crtcs_[1]), first);
    EXPECT_EQ(test::crtcIds(*gamma_), crtcs_);
    // Read in one go, an unknown CRTC between two known ones gives nothing and shifts no answer.
    const CrtcId asked[] = {crtcs_[0], unknown, crtcs_[1]};
    EXPECT_EQ(gamma_->getRamps(asked), (std::vector<std::optional<GammaRamp>>{second, std::nullopt, first}));
}

TEST_F(RandrCrtcsTest, AddedAndRemovedMonitorsAreAnnouncedAndListed)
{
    ASSERT_TRUE(server_->enableMonitor(2)) << server_->failure();
    ASSERT_TRUE(test::spinUntil([this] { return changes_ > 0; })) << "no change announced for a new monitor";
    // xrandr's reconfiguration sends several RandR events at once; they make one announcement.
    EXPECT_EQ(changes_, 1);

    const std::vector<CrtcId> withThird = test::crtcIds(*gamma_);
    ASSERT_EQ(withThird.size(), 3u);
    const auto listed = [&withThird](CrtcId crtc) { return std::ranges::find(withThird, crtc) != withThird.end(); };
    EXPECT_TRUE(listed(crtcs_[0]) && listed(crtcs_[1]));
    const auto added = std::ranges::find_if(withThird, [this](CrtcId crtc) {
        return std::ranges::find(crtcs_, crtc) == crtcs_.end();
    });
    ASSERT_NE(added, withThird.end());
    const GammaRamp ramp = distinctRamp(256, 321);
    ASSERT_TRUE(gamma_->setRamp(*added, ramp));
    EXPECT_EQ(gamma_->getRamp(*added), ramp);

    changes_ = 0;
    ASSERT_TRUE(server_->disableMonitor(2)) << server_->failure();
    // Listing before the event loop runs reads the change's events along with the reply,
    // out of the socket notifier's sight; they must be announced all the same.
    EXPECT_EQ(test::crtcIds(*gamma_), crtcs_);
    EXPECT_TRUE(test::spinUntil([this] { return changes_ > 0; })) << "no change announced for a removed monitor";
}

TEST_F(RandrCrtcsTest, AVanishedServerIsReportedOnceWithoutBusyLooping)
{
    server_->stop();
    ASSERT_TRUE(test::spinUntil([this] { return losses_ > 0; })) << "the lost connection was not reported";

    EXPECT_LT(test::spinFor(300ms), 50) << "the event loop keeps waking for the dead connection";
    EXPECT_EQ(losses_, 1);
    EXPECT_TRUE(test::crtcIds(*gamma_).empty());
    EXPECT_EQ(gamma_->getRamp(crtcs_[0]), std::nullopt);
    EXPECT_FALSE(gamma_->setRamp(crtcs_[0], distinctRamp(256, 3)));
    test::spinFor(50ms);
    EXPECT_EQ(losses_, 1);
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
