#include "ui/PopoverViewPresenter.h"

#include "ui/DesktopNotification.h"
#include "ui/Resources.h"

#include <utility>

namespace lunaveil {
namespace {

// Calls the presenter's callback as it is at the moment of the event.
template <typename... Arguments>
auto relay(const std::function<void(Arguments...)>& callback)
{
    return [&callback](Arguments... arguments) {
        if (const auto current = callback)
            current(std::forward<Arguments>(arguments)...);
    };
}

}  // namespace

PopoverViewPresenter::PopoverViewPresenter(PopupSystem::Test trayAvailable) : trayAvailable_(std::move(trayAvailable))
{
    PopoverViewController& view = popoverViewController_;
    view.onBackgroundColorChanged = relay(onBackgroundColorChanged);
    view.onBackgroundCustomColorSelected = relay(onBackgroundCustomColorSelected);
    view.onBackgroundAlphaChanged = relay(onBackgroundAlphaChanged);
    view.onStartAtLoginPreferencesChanged = relay(onStartAtLoginPreferencesChanged);
    view.onScheduleIsActivePreferencesChanged = relay(onScheduleIsActivePreferencesChanged);
    view.onLightMonitorNowChanged = relay(onLightMonitorNowChanged);
    view.onInverseColorsChanged = relay(onInverseColorsChanged);
    view.onHelpRequest = relay(onHelpRequest);
    view.onInverseColorsHelpRequest = relay(onInverseColorsHelpRequest);
    view.onTrueColorsHelpRequest = relay(onTrueColorsHelpRequest);
    view.onQuitRequest = relay(onQuitRequest);
    view.onScheduleFollowsSunChanged = relay(onScheduleFollowsSunChanged);
    view.onScheduleLocationChanged = relay(onScheduleLocationChanged);
    buildTrayMenu();
}

void PopoverViewPresenter::buildTrayMenu()
{
    tintAction_ = trayMenu_.addAction(QString());
    QObject::connect(tintAction_, &QAction::triggered, &trayMenu_, [this] {
        // As the popover's switch does, and shown there.
        const bool on = !popoverViewController_.tintSwitchIsOn();
        popoverViewController_.setLightMonitorNowCheckBox(on);
        if (const auto callback = onLightMonitorNowChanged)
            callback(on);
    });
    // The entry says what it will do.
    QObject::connect(&trayMenu_, &QMenu::aboutToShow, &trayMenu_, [this] {
        tintAction_->setText(popoverViewController_.tintSwitchIsOn() ? tr("Tint Off") : tr("Tint On"));
    });
    tintAction_->setText(tr("Tint On"));
    trayMenu_.addSeparator();
    QObject::connect(trayMenu_.addAction(tr("Help && Support")), &QAction::triggered, &trayMenu_, [this] {
        if (const auto callback = onHelpRequest)
            callback();
    });
    QObject::connect(trayMenu_.addAction(tr("Quit")), &QAction::triggered, &trayMenu_, [this] {
        if (const auto callback = onQuitRequest)
            callback();
    });
}

PopoverViewPresenter::~PopoverViewPresenter() = default;

void PopoverViewPresenter::startService(const Colour& colour, double alphaPercent, bool scheduleIsActive,
                                        TimePoint scheduleStart, TimePoint scheduleStop, bool startAtLogin,
                                        bool lightMonitorNowIsEnabled, bool inverseColorsIsEnabled, bool trueColor)
{
    popoverViewController_.initiate(colour, alphaPercent, scheduleIsActive, scheduleStart, scheduleStop, startAtLogin,
                                    lightMonitorNowIsEnabled, inverseColorsIsEnabled, trueColor);
    popupSystem_.reset();
    popupSystem_ = std::make_unique<PopupSystem>(popoverViewController_, loadIcon(QStringLiteral("AppMenuBarIconBlack")),
                                                 loadIcon(QStringLiteral("AppMenuBarIconWhite")), trayAvailable_);
    popupSystem_->statusItem().setContextMenu(&trayMenu_);
    // The item does not own the presenter, which outlives it.
    popupSystem_->onWillShowPopover = [this] {
        if (const auto callback = onPopoverWillOpen)
            callback();
    };
    popupSystem_->onOpenWithoutTray = [this] {
        if (const auto callback = onOpenWithoutTrayRequest)
            callback();
        else
            popupSystem_->showPopover();
    };
}

void PopoverViewPresenter::setTrueColorsCheckBox(bool on)
{
    popoverViewController_.setTrueColorsCheckBox(on);
}

void PopoverViewPresenter::setBackgroundAlpha(double alphaPercent)
{
    popoverViewController_.setBackgroundAlpha(alphaPercent);
}

void PopoverViewPresenter::setSchedule(bool active, TimePoint start, TimePoint stop)
{
    popoverViewController_.setSchedule(active, start, stop);
}

void PopoverViewPresenter::setSunFollowing(const SunFollowing& following)
{
    popoverViewController_.setSunFollowing(following);
}

void PopoverViewPresenter::showNotice(const std::string& summary, const std::string& body)
{
    const QString title = QString::fromStdString(summary);
    const QString text = QString::fromStdString(body);
    if (!sendDesktopNotification(QDBusConnection::sessionBus(), title, text) && popupSystem_)
        popupSystem_->statusItem().showMessage(title, text);
}

void PopoverViewPresenter::showPopover()
{
    if (popupSystem_)
        popupSystem_->showPopover();
}

void PopoverViewPresenter::hidePopover()
{
    if (popupSystem_)
        popupSystem_->hidePopover();
}

void PopoverViewPresenter::changeBackgroundCustomColor(const Colour& colour)
{
    popoverViewController_.changeBackgroundCustomColor(colour);
}

void PopoverViewPresenter::setSelectedBackgroundColor(const Colour& colour)
{
    popoverViewController_.setSelectedBackgroundColor(colour);
}

void PopoverViewPresenter::setStartAtLoginCheckBox(bool on)
{
    popoverViewController_.setStartAtLoginCheckBox(on);
}

void PopoverViewPresenter::setLightMonitorNowCheckBox(bool on)
{
    popoverViewController_.setLightMonitorNowCheckBox(on);
}

void PopoverViewPresenter::setInverseColorsEnabled(bool on)
{
    popoverViewController_.setInverseColorsEnabled(on);
}

void PopoverViewPresenter::setEffectsOffered(const EffectsOffered& offered)
{
    popoverViewController_.setEffectsOffered(offered);
}

}  // namespace lunaveil
