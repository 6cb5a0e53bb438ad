// The presenter: relays each user action to the hub's handler of the moment, and forwards the hub's updates.

#include "PopoverCalls.h"
#include "ui/PopoverColourTables.h"
#include "ui/PopoverViewPresenter.h"
#include "ui/RoundedViewCheckGroup.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace lunaveil {
namespace {

using testing::PopoverCalls;
using Names = std::vector<std::string>;

class PopoverPresenterTest : public ::testing::Test {
protected:
    QCheckBox* box(const char* name)
    {
        return presenter.popoverViewController().view()->findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    void start(const Colour& colour = PopoverColourTables::colors()[0])
    {
        presenter.startService(colour, 25.0, false, systemNow(), systemNow(), false, false, false, false);
    }

    // A tray is taken to run, so nothing opens by itself.
    PopoverViewPresenter presenter{[] { return true; }};
    PopoverCalls calls;
};

TEST_F(PopoverPresenterTest, ActionsBeforeTheHubsHandlersAreDroppedThenReachThemUnchanged)
{
    start();
    box("inverseColorsCheckboxOutlet")->click();
    QTest::keyClick(presenter.popoverViewController().view()->findChild<QSlider*>(), Qt::Key_Right);

    calls.recordFrom(presenter);
    box("inverseColorsCheckboxOutlet")->click();
    EXPECT_EQ(calls.names, Names{"onInverseColorsChanged"});
    EXPECT_FALSE(calls.flag);  // on with the first click, off with this one
    QTest::keyClick(presenter.popoverViewController().view()->findChild<QSlider*>(), Qt::Key_Right);
    EXPECT_EQ(calls.alpha, 27.0);

    box("trueColorsCheckboxOutlet")->click();
    EXPECT_EQ(calls.names.back(), "onBackgroundColorChanged");
    EXPECT_EQ(calls.colour, std::nullopt);
    EXPECT_TRUE(calls.flag);
}

TEST_F(PopoverPresenterTest, ReplacedHandlerIsTheOneCalledAtTheNextEvent)
{
    calls.recordFrom(presenter);
    start();
    int replacementCalls = 0;
    presenter.onLightMonitorNowChanged = [&](bool on) {
        EXPECT_TRUE(on);
        ++replacementCalls;
    };
    box("lunaveilCheckboxOutlet")->click();
    EXPECT_EQ(replacementCalls, 1);
    EXPECT_TRUE(calls.names.empty());
}

TEST_F(PopoverPresenterTest, OwnsTheHubsHandlersAndReleasesAReplacedOne)
{
    auto hub = std::make_shared<int>(0);
    auto owner = std::make_unique<PopoverViewPresenter>([] { return true; });
    owner->onHelpRequest = [hub] { ++*hub; };
    owner->onQuitRequest = [hub] { ++*hub; };
    EXPECT_EQ(hub.use_count(), 3);
    owner->onQuitRequest = nullptr;
    EXPECT_EQ(hub.use_count(), 2);

    // A presenter whose popover is open goes cleanly, and with it the handlers it held.
    owner->startService(Colour::redColor(), 25.0, false, systemNow(), systemNow(), false, false, false, false);
    owner->showPopover();
    owner.reset();
    EXPECT_EQ(hub.use_count(), 1);
}

TEST_F(PopoverPresenterTest, ShowAndHideReachTheTrayItemOnceStarted)
{
    int willOpen = 0;
    presenter.onPopoverWillOpen = [&] { ++willOpen; };
    presenter.showPopover();
    presenter.hidePopover();
    EXPECT_EQ(presenter.popupSystem(), nullptr);
    EXPECT_FALSE(presenter.popoverViewController().isViewLoaded());

    start();
    ASSERT_NE(presenter.popupSystem(), nullptr);
    EXPECT_FALSE(presenter.popoverViewController().isViewLoaded());  // built at the first opening
    presenter.showPopover();
    presenter.showPopover();
    EXPECT_EQ(willOpen, 2);
    EXPECT_TRUE(presenter.popupSystem()->isActive());
    EXPECT_TRUE(presenter.popoverViewController().view()->isVisible());

    presenter.hidePopover();
    EXPECT_FALSE(presenter.popupSystem()->isActive());
    EXPECT_FALSE(presenter.popoverViewController().view()->isVisible());
}

TEST_F(PopoverPresenterTest, UpdatesBeforeTheFirstOpeningLeaveTheStartStateShowing)
{
    start(PopoverColourTables::colors()[3]);
    presenter.setSelectedBackgroundColor(PopoverColourTables::colors()[6]);
    presenter.setInverseColorsEnabled(true);
    presenter.setLightMonitorNowCheckBox(true);
    presenter.showPopover();

    const auto& items = presenter.popoverViewController().view()->findChild<RoundedViewCheckGroup*>()->items();
    ASSERT_EQ(items.size(), 8u);
    EXPECT_TRUE(items[3]->isSelected());
    EXPECT_FALSE(items[6]->isSelected());
    EXPECT_FALSE(box("inverseColorsCheckboxOutlet")->isChecked());
    EXPECT_TRUE(box("lunaveilCheckboxOutlet")->isChecked());

    presenter.setInverseColorsEnabled(true);
    EXPECT_TRUE(box("inverseColorsCheckboxOutlet")->isChecked());
}

}  // namespace
}  // namespace lunaveil
