#pragma once
// A hub over the stand-ins of HubFakes.h and a real settings file, each stand-in readable while the
// hub owns it.

#include "support/HubFakes.h"
#include "shell/PresetersMainHub.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>

namespace lunaveil::testing {

struct HubFixture : ::testing::Test {
    HubServices services()
    {
        HubServices s;
        s.makeSettings = [this] { return std::make_unique<SettingsDataAccess>(settingsFile()); };
        s.makeDimmer = [this] { return own(dimmer); };
        s.makePresenter = [this] { return own(presenter); };
        s.makeScheduleMonitor = [this] { return own(monitor); };
        s.makeScreenControl = [this] { return std::make_unique<FakeScreenControl>(screen); };
        s.makeGreetingsWindow = [] { return std::make_unique<FakeGreetingsWindow>(); };
        s.makeColourPanel = [this] { return own(panel); };
        s.makeLoginItem = [this] { return std::make_unique<FakeLoginItem>(loginProblem); };
        s.effectsOffered = offered;
        s.locate = [this] { return located; };
        s.makeAlert = [this](const std::string&, const std::string& informativeText) {
            alerts.push_back(informativeText);
            return std::make_unique<FakeAlert>();
        };
        return s;
    }
    template <typename T>
    static std::unique_ptr<T> own(T*& observer)
    {
        auto made = std::make_unique<T>();
        observer = made.get();
        return made;
    }

    std::filesystem::path settingsFile() const { return std::filesystem::path(dir.path().toStdString()) / "s.json"; }
    SettingsDataAccess settings() const { return SettingsDataAccess(settingsFile()); }

    // A started hub; the user's actions reach it through the presenter.
    FakePresenter& start() { return start(services()); }
    FakePresenter& start(const HubServices& made)
    {
        hub = std::make_unique<PresetersMainHub>(made);
        hub->startService();
        return *presenter;
    }

    QTemporaryDir dir;
    FakeDimmer* dimmer = nullptr;
    FakePresenter* presenter = nullptr;
    FakeScheduleMonitor* monitor = nullptr;
    FakeColourPanel* panel = nullptr;
    ScreenState screen;
    std::vector<std::string> alerts;
    std::optional<std::string> loginProblem;
    EffectsOffered offered;
    PlaceAnswer located{Coordinates{52.52, 13.405}};
    std::unique_ptr<PresetersMainHub> hub;
};

}  // namespace lunaveil::testing
