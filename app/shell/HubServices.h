#pragma once
// The one factory the hub builds its collaborators through: real parts in the program, fakes in tests.

#include "settings/SettingsDataAccess.h"
#include "shell/Collaborators.h"

#include <functional>
#include <memory>
#include <string>

namespace lunaveil {

struct HubServices {
    template <typename T>
    using Maker = std::function<std::unique_ptr<T>()>;

    Maker<SettingsDataAccess> makeSettings;
    Maker<BackgroundDimmer> makeDimmer;
    Maker<Presenter> makePresenter;
    Maker<ScheduleMonitor> makeScheduleMonitor;
    Maker<ScreenControl> makeScreenControl;  // one per call
    Maker<LoginItem> makeLoginItem;          // one per call
    Maker<GreetingsWindow> makeGreetingsWindow;
    Maker<HelpWindow> makeHelpWindow;
    Maker<ColourPanel> makeColourPanel;  // called once, on the first custom colour request
    std::function<std::unique_ptr<MessageAlert>(const std::string& messageText, const std::string& informativeText)>
        makeAlert;
    EffectsOffered effectsOffered;
    // Ends Lunaveil with status 0 after the displays are given back.
    std::function<void()> quit;
    // Where the user is when no place was set by hand (the time zone's, GeoClue's), or why
    // nothing says; asked whenever the schedule follows the sun.
    std::function<PlaceAnswer()> locate;
};

}  // namespace lunaveil
