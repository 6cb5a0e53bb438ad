#include "ProductionServices.h"

#include "effects/BackgroundDimmerService.h"
#include "effects/ScreenControlService.h"
#include "login/SystemConfigurationService.h"
#include "platform/GeoClueLocation.h"
#include "schedule/DateTimeMonitor.h"
#include "schedule/TimeZoneLocation.h"
#include "ui/GreetingsWindowController.h"
#include "ui/HelpWindowController.h"
#include "ui/PopoverViewPresenter.h"
#include "ui/QtColourPanel.h"
#include "ui/QtMessageAlert.h"

#include <QCoreApplication>

namespace lunaveil {

HubServices productionServices(DisplayServices& displays, Scheduler& scheduler, OverlayScreens* screens,
                               GeoClueLocation& geoClue)
{
    DisplayTransfer* const transfer = displays.transfer();
    Compositor* const compositor = displays.platform().compositor();
    Backlight* const backlight = &displays.backlight();
    const auto makeScreenControl = [transfer, backlight] {
        return std::make_unique<ScreenControlService>(transfer, backlight);
    };

    HubServices services;
    services.makeSettings = [] { return std::make_unique<SettingsDataAccess>(); };
    services.makeDimmer = [screens, &scheduler, transfer, compositor, makeScreenControl] {
        return std::make_unique<BackgroundDimmerService>(screens, transfer, compositor, scheduler, makeScreenControl);
    };
    services.makePresenter = [] { return std::make_unique<PopoverViewPresenter>(); };
    services.makeScheduleMonitor = [] { return std::make_unique<DateTimeMonitor>(); };
    services.makeScreenControl = makeScreenControl;
    services.makeLoginItem = [] { return std::make_unique<SystemConfigurationService>(); };
    services.makeGreetingsWindow = [] { return std::make_unique<GreetingsWindowController>(); };
    services.makeHelpWindow = [] { return std::make_unique<HelpWindowController>(); };
    services.makeColourPanel = [] { return std::make_unique<QtColourPanel>(); };
    services.effectsOffered = {.displayGamma = transfer != nullptr,
                               .tint = transfer != nullptr || screens != nullptr,
                               .whyNoDisplayGamma = displays.platform().whyNoDisplayGamma};
    services.makeAlert = [](const std::string& messageText, const std::string& informativeText) {
        return std::make_unique<QtMessageAlert>(messageText, informativeText);
    };
    // GeoClue's place where it answers, else the time zone's; a place set by hand comes first, in
    // the hub. GeoClue is first asked when the schedule first follows the sun.
    services.locate = [&geoClue] {
        geoClue.start();
        if (geoClue.place())
            return PlaceAnswer{geoClue.place()};
        const ZoneLocation zone = systemZoneLocation();
        return PlaceAnswer{zone.coordinates, zone.problem};
    };
    // main gives the displays back once the event loop has ended.
    services.quit = [] { QCoreApplication::exit(0); };
    return services;
}

}  // namespace lunaveil
