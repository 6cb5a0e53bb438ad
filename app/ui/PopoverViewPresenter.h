#pragma once
// Between the hub and the popover: hands the stored settings to the view, relays every user action back.

#include "shell/Collaborators.h"
#include "ui/PopupSystem.h"
#include "ui/PopoverViewController.h"

#include <QCoreApplication>
#include <QMenu>

#include <functional>
#include <memory>

namespace lunaveil {

// Each callback the presenter installs on its view controller reads the presenter's callback of
// the same name at the moment of the event and passes the arguments on unchanged, so the hub may
// install or replace its handlers at any time. The view controller is built at construction, the
// tray item by startService, and the popover's widgets only when it first opens.
class PopoverViewPresenter final : public Presenter {
    Q_DECLARE_TR_FUNCTIONS(lunaveil::PopoverViewPresenter)

public:
    // trayAvailable: the tray test the tray item uses (whether a system tray runs); without it the
    // tray icon is asked.
    explicit PopoverViewPresenter(PopupSystem::Test trayAvailable = nullptr);
    ~PopoverViewPresenter() override;

    // Hands the values to the view controller and puts the item in the tray.
    void startService(const Colour& colour, double alphaPercent, bool scheduleIsActive, TimePoint scheduleStart,
                      TimePoint scheduleStop, bool startAtLogin, bool lightMonitorNowIsEnabled,
                      bool inverseColorsIsEnabled, bool trueColor) override;
    // Before startService there is no tray item, and these do nothing.
    void showPopover() override;
    void hidePopover();
    void changeBackgroundCustomColor(const Colour& colour) override;
    void setSelectedBackgroundColor(const Colour& colour) override;
    void setLightMonitorNowCheckBox(bool on) override;
    void setStartAtLoginCheckBox(bool on) override;
    void setInverseColorsEnabled(bool on) override;
    void setEffectsOffered(const EffectsOffered& offered) override;
    void setTrueColorsCheckBox(bool on) override;
    void setBackgroundAlpha(double alphaPercent) override;
    void setSchedule(bool active, TimePoint start, TimePoint stop) override;
    void setSunFollowing(const SunFollowing& following) override;
    // A desktop notification, else a message by the tray icon; stderr has it in any case.
    void showNotice(const std::string& summary, const std::string& body) override;

    // Fired whenever the tray item is asked to show the popover.
    std::function<void()> onPopoverWillOpen;

    PopoverViewController& popoverViewController() { return popoverViewController_; }
    // Null before startService.
    PopupSystem* popupSystem() { return popupSystem_.get(); }

    // The tray icon's right-click menu: the tint switch, help and quit, through the same handlers
    // as the popover's controls.
    QMenu& trayMenu() { return trayMenu_; }

private:
    void buildTrayMenu();

    PopupSystem::Test trayAvailable_;
    QMenu trayMenu_;
    QAction* tintAction_ = nullptr;
    // Declared before the tray item, which shows its view: it goes last.
    PopoverViewController popoverViewController_;
    std::unique_ptr<PopupSystem> popupSystem_;
};

}  // namespace lunaveil
