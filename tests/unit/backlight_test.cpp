// Backlight against a fake sysfs tree, with a fake logind on a private bus standing in for the system bus.

#include "platform/Backlight.h"
#include "platform/RuntimeFolder.h"

#include "support/FakeLogind.h"
#include "support/PermissionBits.h"
#include "support/PrivateBus.h"
#include "support/TextFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace lunaveil {
namespace {

namespace fs = std::filesystem;
using test::FakeLogind;
using Call = FakeLogind::Call;
using test::readFile;

// A SetBrightness call for a backlight device.
Call call(const QString& name, uint brightness)
{
    return {QStringLiteral("backlight"), name, brightness};
}

struct BacklightTest : ::testing::Test {
    // Every D-Bus call of these tests goes to a private bus standing in for the system bus, named
    // before the first test, and so before QtDBus first connects to it.
    static void SetUpTestSuite()
    {
        systemBus.emplace();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus->address().toUtf8());
    }
    static void TearDownTestSuite() { systemBus.reset(); }
    static inline std::optional<test::PrivateBus> systemBus;

    // A read-only device is an ordinary 0444 brightness file, as sysfs shows root's files to a user;
    // root (as in CI) would write through it but for the bits binding.
    void SetUp() override
    {
        ASSERT_FALSE(systemBus->address().isEmpty()) << "could not start a private dbus-daemon";
        std::ofstream(root() / "probe").close();
        fs::permissions(root() / "probe", fs::perms::owner_read);
        const int fd = ::open((root() / "probe").c_str(), O_WRONLY | O_CLOEXEC);
        fs::remove(root() / "probe");
        if (fd >= 0 && ::close(fd) == 0)
            GTEST_SKIP() << "this process cannot be kept from writing a read-only file";
    }

    // Lays a device out as sysfs does: the device folder elsewhere, a symlink to it in class/backlight;
    // without a maximum, no max_brightness file. Its brightness is the maximum unless given.
    fs::path addDevice(const std::string& name, const std::string& maximum, bool writable = true,
                       std::string brightness = {})
    {
        const fs::path device = root() / "devices" / name;
        fs::create_directories(device);
        fs::create_directories(root() / "class" / "backlight");
        fs::create_directory_symlink(fs::path("../../devices") / name, root() / "class" / "backlight" / name);
        if (!maximum.empty())
            std::ofstream(device / "max_brightness") << maximum << "\n";
        std::ofstream(device / "brightness") << (brightness.empty() ? maximum : brightness) << "\n";
        if (!writable)
            fs::permissions(device / "brightness", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        return device / "brightness";
    }

    fs::path root() const { return fs::path(sysfs.path().toStdString()); }
    fs::path record() const { return root() / "run" / Backlight::recordName; }

    static QString busAddress() { return systemBus->address(); }

    const test::PermissionBitsBind bitsBind;
    QTemporaryDir sysfs;
    const std::shared_ptr<const RuntimeFolder> run =
        std::make_shared<const RuntimeFolder>(RuntimeFolder::open(root() / "run", true));
    Backlight backlight{root(), run};
    std::vector<std::string>& warnings = test::recordWarnings();
};

// What a level of one half does to each device: written where its file may be written, asked of
// logind by exact name in name order where not, skipped without a usable maximum; quiet throughout.
TEST_F(BacklightTest, EachDeviceIsWrittenOrAskedOfLogindOrSkipped)
{
    const FakeLogind logind(busAddress());
    ASSERT_TRUE(logind.served.registered);
    backlight.lowerBrightnessTo(0.5f);  // no class/backlight folder yet
    const QString odd = QStringLiteral("b odd 'näme' \"$(x)\\..");
    const struct {
        std::string name, maximum;
        bool writable;
        std::string after;
    } devices[] = {
        {"acpi_video0", "15", true, "8"},  // round(7.5)
        {"intel_backlight", "1000", false, "1000"}, {odd.toStdString(), "10", false, "10"}, {"a:1", "10", false, "10"},
        {"c_garbage", "100abc", true, "100abc"},    {"c_zero", "0", true, "0"},   {"c_missing", "", true, "7"},
    };
    for (const auto& device : devices)
        addDevice(device.name, device.maximum, device.writable, device.name == "c_missing" ? "7" : "");
    std::ofstream(root() / "class" / "backlight" / "not_a_device") << "15\n";
    backlight.lowerBrightnessTo(0.5f);
    for (const auto& device : devices)
        EXPECT_EQ(readFile(root() / "devices" / device.name / "brightness"), device.after + "\n") << device.name;
    EXPECT_EQ(logind.calls(), (QList<Call>{call(QStringLiteral("a:1"), 5), call(odd, 5),
                                           call(QStringLiteral("intel_backlight"), 500)}));
    EXPECT_TRUE(warnings.empty());
}

TEST_F(BacklightTest, LowersOnlyAndGivesBackWhatItTookUnlessTheUserChangedItSince)
{
    const fs::path bright = addDevice("a_bright", "100", true, "80");
    const fs::path dim = addDevice("b_dim", "100", true, "30");
    const auto brightness = [](const fs::path& device) { return std::stoi(readFile(device)); };

    backlight.lowerBrightnessTo(0.5f);
    backlight.lowerBrightnessTo(0.5f);  // again, as every change of the tint does
    EXPECT_EQ(brightness(bright), 50);
    EXPECT_EQ(brightness(dim), 30) << "a screen dimmer than the tint's level is never brightened";
    EXPECT_EQ(readFile(record()), "lunaveil-backlight 1\n80 50 a_bright\n");
    backlight.restoreBrightness();
    EXPECT_EQ(brightness(bright), 80);
    EXPECT_FALSE(fs::exists(record()));

    backlight.lowerBrightnessTo(0.5f);
    std::ofstream(bright) << "65\n";  // the user's brightness keys
    backlight.restoreBrightness();
    EXPECT_EQ(brightness(bright), 65);

    // A run that died: the next one gives back what the record holds, once.
    backlight.lowerBrightnessTo(0.5f);
    EXPECT_TRUE(Backlight(root(), run).restoreFromRecord());
    EXPECT_EQ(brightness(bright), 65);
    EXPECT_FALSE(Backlight(root(), run).restoreFromRecord());

    EXPECT_TRUE(warnings.empty());
}

// How logind fails for the first read-only device, and which calls it then gets: asking a logind
// that does not answer for every further device would keep the UI waiting its timeout for each.
// Whatever the failure, one warning for every device that failed, and the writable device is
// still written.
TEST_F(BacklightTest, AFailingLogindWarnsOnceAndWhatMayBeWrittenStillIs)
{
    const fs::path failing = addDevice("a_failing", "10", false);
    addDevice("b_read_only", "10", false);
    const fs::path direct = addDevice("c_direct", "10");
    addDevice("d_\xff", "10", false);  // a name logind cannot be given: one more failure
    const QList<Call> both{call(QStringLiteral("a_failing"), 5), call(QStringLiteral("b_read_only"), 5)};
    using enum FakeLogind::Answer;
    const std::pair<std::optional<FakeLogind::Answer>, QList<Call>> failures[] = {
        {Refuse, both}, {Never, both.first(1)}, {std::nullopt, {}}};  // nothing: no logind on the bus
    for (const auto& [answer, calls] : failures) {
        SCOPED_TRACE(answer ? static_cast<int>(*answer) : -1);
        warnings.clear();
        std::optional<FakeLogind> logind;
        if (answer)
            logind.emplace(busAddress(), QStringLiteral("a_failing"), *answer);
        Backlight(root(), run).lowerBrightnessTo(0.5f);
        EXPECT_EQ(logind ? logind->calls() : QList<Call>{}, calls);
        EXPECT_EQ(std::pair(readFile(failing), readFile(direct)), std::pair(std::string("10\n"), std::string("5\n")));
        EXPECT_EQ(warnings.size(), 1u);
        std::ofstream(direct) << "10\n";  // bright again for the next failure
    }
}

}  // namespace
}  // namespace lunaveil
