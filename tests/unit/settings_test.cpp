// The settings store over a real defaults file: defaults, round trips, foreign and damaged contents.

#include "schedule/DateTimeMonitor.h"
#include "settings/ColourArchive.h"
#include "settings/Constants.h"
#include "settings/SettingsDataAccess.h"
#include "platform/FileLock.h"
#include "support/PermissionBits.h"
#include "support/SpinEventLoop.h"
#include "support/TextFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

using namespace lunaveil;
namespace fs = std::filesystem;

namespace {

struct SettingsFile : testing::Test {
    fs::path file() const { return fs::path(dir_.path().toStdString()) / "lunaveil" / "com.quorvex.Lunaveil.json"; }
    SettingsDataAccess open() const { return SettingsDataAccess(file()); }

    void writeRaw(const std::string& contents) const
    {
        fs::create_directories(file().parent_path());
        std::ofstream(file()) << contents;
    }
    // Empty when the file is missing or torn.
    QJsonObject readJson() const
    {
        QFile in(QString::fromStdString(file().string()));
        return in.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(in.readAll()).object() : QJsonObject();
    }
    // The damaged files kept in `folder`, the settings' own unless given.
    std::vector<fs::path> setAside(fs::path folder = {}) const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(folder.empty() ? file().parent_path() : folder))
            if (entry.path().filename().string().find(".damaged-") != std::string::npos)
                found.push_back(entry.path());
        return found;
    }
    static void expectAllDefaults(const SettingsDataAccess& s)
    {
        EXPECT_EQ(std::tuple(s.getBackgroundAlpha(), s.getTrueColor(), s.getBackgroundColor(), s.getBackgroundTrueColor(),
                             s.getStartAtLogin(), s.getFirstTimeOpened()),
                  std::tuple(25.0, true, Colour::rgb(1.0, 0.27058823529411763, 0.0), Colour::orangeColor(), false, false));
        EXPECT_EQ(std::tuple(s.getSchedule().isActive, s.getSchedule().start, s.getSchedule().stop),
                  std::tuple(true, DateTimeMonitor::dateFromComponents(22, 0), DateTimeMonitor::dateFromComponents(7, 0)));
    }

    QTemporaryDir dir_;
};

// The keys walked three ways: the defaults without a file, a round trip through a new store, and
// foreign values that convert or read as their defaults without the file being set aside.
TEST_F(SettingsFile, EveryKeyHasItsDefaultRoundTripsAndReadsForeignValuesSafely)
{
    expectAllDefaults(open());
    EXPECT_FALSE(fs::exists(file())) << "reading writes nothing";

    // The other keys' round trips are the end-to-end tests', whose runs read what the test stored
    // and store what was clicked.
    const Colour custom = Colour::rgb(0.2, 0.4, 0.6, 1.0, ColourSpace::DeviceRGB);
    {
        SettingsDataAccess settings = open();
        settings.setBackgroundColor(custom);
        settings.setLightMonitorNowIsEnabled(true);
        settings.setInverseColorsIsEnabled(true);
    }
    const SettingsDataAccess reopened = open();
    EXPECT_EQ(reopened.getBackgroundColor(), custom);
    EXPECT_FALSE(reopened.getLightMonitorNowIsEnabled() || reopened.getInverseColorsIsEnabled())
        << "the tint and invert switches start off at every run";
    EXPECT_EQ(fs::status(file()).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // A bool reads as 0 or 1, a number as a bool by being non-zero; unknown keys survive a write.
    const char* foreign = R"({"SOMEONE_ELSES_KEY": {"nested": [1, 2]}, "BACKGROUND_ALPHA_STORE_KEY": true,
        "USE_COLOR_TRUE_STORE_KEY": 0, "START_AT_LOGIN_STORE_KEY": 2.5, "SCHEDULE_IS_ACTIVE_STORE_KEY": false)";
    writeRaw(std::string(foreign) + "}");
    SettingsDataAccess settings = open();
    EXPECT_TRUE(settings.getBackgroundAlpha() == 1.0 && !settings.getTrueColor() && settings.getStartAtLogin());
    EXPECT_FALSE(settings.getSchedule().isActive) << "a stored flag holds even when the dates are missing";
    settings.setTrueColor(true);
    EXPECT_EQ(readJson(), QJsonDocument::fromJson(QByteArray(foreign) + R"(, "USE_COLOR_TRUE_STORE_KEY": true})").object());
    EXPECT_TRUE(setAside().empty()) << "a well-formed file with odd values is not damaged";

    // Values no control could set read as their defaults; the range's own ends are kept.
    const auto stored = [this](double alpha, const Colour& colour) {
        const std::string data = archiveColour(colour).toBase64().toStdString();
        writeRaw("{\"BACKGROUND_ALPHA_STORE_KEY\": " + QByteArray::number(alpha, 'g', 17).toStdString() +
                 ", \"BACKGROUND_COLOR_STORE_KEY\": {\"data\": \"" + data +
                 "\"}, \"BACKGROUND_COLOR_TRUE_STORE_KEY\": {\"data\": \"" + data + "\"}}");
        return open();
    };
    for (const auto& [alpha, colour] : {std::pair{150.0, Colour::rgb(1e308, 0.5, 0)}, {-0.5, Colour::grey(2)},
                                        {100.5, Colour::rgb(1, 0, 0, 1.5)}}) {
        const SettingsDataAccess odd = stored(alpha, colour);
        EXPECT_EQ(std::tuple(odd.getBackgroundAlpha(), odd.getBackgroundColor(), odd.getBackgroundTrueColor()),
                  std::tuple(Constants::DEFAULT_BACKGROUND_ALPHA_VALUE, Constants::DEFAULT_DIM_BACKGROUND_COLOR,
                             Constants::DEFAULT_BACKGROUND_TRUE_COLOR)) << alpha;
    }
    for (const double edge : {0.0, 100.0}) {
        const SettingsDataAccess kept = stored(edge, Colour::rgb(1, 0, 0, 0));
        EXPECT_EQ(std::pair(kept.getBackgroundAlpha(), kept.getBackgroundTrueColor()), std::pair(edge, Colour::rgb(1, 0, 0, 0)));
    }
}

// A write goes through a link to the user's own file, and a damaged one is set aside with the link
// kept. What is not the user's own regular file (a FIFO; as root, another user's file) is read as the
// defaults and never renamed, replaced or written; the change is kept for the next usable write.
TEST_F(SettingsFile, AWriteGoesThroughLinksOnlyToTheUsersOwnFileAndKeepsOtherChangesInMemory)
{
    const fs::path dotfiles = fs::path(dir_.path().toStdString()) / "dotfiles";
    const fs::path elsewhere = dotfiles / "lunaveil.json";
    fs::create_directories(dotfiles);
    fs::create_directories(file().parent_path());
    fs::create_symlink(elsewhere, file());
    std::ofstream(elsewhere) << "{ damaged";
    EXPECT_EQ(open().getBackgroundAlpha(), Constants::DEFAULT_BACKGROUND_ALPHA_VALUE);
    open().setBackgroundAlpha(44.0);
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(SettingsDataAccess(elsewhere).getBackgroundAlpha(), 44.0);
    EXPECT_EQ(setAside(dotfiles).size(), 1u) << "set aside beside the file the link names";

    const fs::path targets = fs::path(dir_.path().toStdString()) / "targets";
    fs::create_directories(targets);
    ASSERT_EQ(::mkfifo((targets / "fifo").c_str(), 0600), 0);
    const char* const theirs = R"({"BACKGROUND_ALPHA_STORE_KEY": 80})";
    if (::geteuid() == 0) {
        std::ofstream(targets / "theirs") << theirs;
        ASSERT_EQ(::chown((targets / "theirs").c_str(), 65534, 65534), 0);
    }
    for (const auto& entry : fs::directory_iterator(targets)) {
        SCOPED_TRACE(entry.path());
        fs::remove(file());
        fs::create_symlink(entry.path(), file());
        SettingsDataAccess settings = open();
        EXPECT_EQ(settings.getBackgroundAlpha(), Constants::DEFAULT_BACKGROUND_ALPHA_VALUE);
        settings.setBackgroundAlpha(33.0);
        settings.setStartAtLogin(true);
        EXPECT_EQ(settings.getBackgroundAlpha(), 33.0) << "the change holds for this session";
        EXPECT_EQ(open().getBackgroundAlpha(), Constants::DEFAULT_BACKGROUND_ALPHA_VALUE) << "and is written nowhere";
        EXPECT_TRUE(fs::is_symlink(file()));
        EXPECT_EQ(std::distance(fs::directory_iterator(targets), fs::directory_iterator()), ::geteuid() == 0 ? 2 : 1);
        // Once the link is gone, the next write saves what was kept too.
        fs::remove(file());
        settings.setTrueColor(false);
        EXPECT_TRUE(open().getBackgroundAlpha() == 33.0 && open().getStartAtLogin());
    }
    EXPECT_TRUE(::geteuid() != 0 || test::readFile(targets / "theirs") == theirs);
}

// Another Lunaveil (or a hung one) holding the lock never holds up this one's UI thread.
TEST_F(SettingsFile, AHeldLockNeitherBlocksNorLosesAChange)
{
    open().setBackgroundAlpha(20.0);
    std::optional<FileLock> other(std::in_place, file().string() + ".lock");
    ASSERT_TRUE(other->held());
    std::thread releaser;
    {
        SettingsDataAccess settings = open();
        EXPECT_EQ(settings.getBackgroundAlpha(), 20.0) << "a read takes no lock";
        settings.setBackgroundAlpha(60.0);
        EXPECT_EQ(settings.getBackgroundAlpha(), 60.0) << "the change holds at once";
        EXPECT_EQ(open().getBackgroundAlpha(), 20.0);
        other.reset();
        EXPECT_TRUE(test::spinUntil([&] { return open().getBackgroundAlpha() == 60.0; })) << "and is saved later";

        // Quitting while the lock is held: the last change is saved once the lock comes free.
        other.emplace(file().string() + ".lock");
        settings.setStartAtLogin(true);
        releaser = std::thread([&other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            other.reset();
        });
    }
    releaser.join();
    EXPECT_TRUE(open().getStartAtLogin());
}

// Each leaves something unusable where the file should be: the defaults are read, the damaged file
// is kept under a new name, and the next write starts afresh without overwriting the kept copy.
TEST_F(SettingsFile, ADamagedFileIsSetAsideAndTheNextWriteStartsAfresh)
{
    const test::PermissionBitsBind bitsBind;  // the unreadable file stops root too
    const std::pair<const char*, void (*)(const fs::path&)> damages[] = {
        {"not JSON", [](const fs::path& p) { std::ofstream(p) << "BACKGROUND_ALPHA_STORE_KEY = 40"; }},
        {"not an object", [](const fs::path& p) { std::ofstream(p) << "[1, 2, 3]"; }},
        {"huge", [](const fs::path& p) { std::ofstream(p) << "{\"k\": \"" << std::string(2 << 20, 'x') << "\"}"; }},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); }},
        {"a FIFO", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }},
        {"unreadable", [](const fs::path& p) { std::ofstream(p) << "{}"; fs::permissions(p, fs::perms::none); }},
    };
    for (const auto& [name, make] : damages) {
        SCOPED_TRACE(name);
        fs::remove_all(file().parent_path());
        fs::create_directories(file().parent_path());
        make(file());
        expectAllDefaults(open());
        const auto aside = setAside();
        ASSERT_EQ(aside.size(), 1u) << "the damaged file is kept, under a new name";
        open().setBackgroundAlpha(70.0);
        EXPECT_EQ(open().getBackgroundAlpha(), 70.0);
        EXPECT_TRUE(fs::is_regular_file(file()));
        EXPECT_EQ(setAside(), aside) << "the kept copy is never overwritten";
    }
}

}  // namespace
