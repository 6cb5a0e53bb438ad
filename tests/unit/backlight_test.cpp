// Backlight against a fake sysfs tree, with a fake logind on a private bus standing in for the system bus.

#include "platform/Backlight.h"

#include "fakes/FakeLogind.h"
#include "support/PrivateBus.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <linux/capability.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace lunaveil {
namespace {

namespace fs = std::filesystem;
using test::FakeLogind;
using Call = FakeLogind::Call;

int warningCount = 0;

void countWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg)
        ++warningCount;
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
}

// A read-only device must stay an ordinary 0444 brightness file, as sysfs shows root's files to a
// user; a folder or a broken link in its place would test something else. But the tests run as
// root in CI, and root's CAP_DAC_OVERRIDE writes through permission bits. So each test lowers that
// capability in its thread's effective set (the permitted set keeps it, and it comes back after):
// root then meets the bits as a user does. Capabilities are per thread, and Backlight opens the
// files on the calling thread. Its only test of "writable" is opening the file for writing.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride()
    {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutPermissionOverride()
    {
        if (lowered_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

std::string readFile(const fs::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A SetBrightness call for a backlight device.
Call call(const QString& name, uint brightness)
{
    return {QStringLiteral("backlight"), name, brightness};
}

void writeFile(const fs::path& file, const std::string& text)
{
    std::ofstream(file) << text;
}

class BacklightTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sysfs.isValid());
        warningCount = 0;
        previousHandler = qInstallMessageHandler(countWarnings);

        const fs::path probe = root() / "probe";
        writeFile(probe, "");
        fs::permissions(probe, fs::perms::owner_read);
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CLOEXEC);
        fs::remove(probe);
        if (fd >= 0) {
            ::close(fd);
            GTEST_SKIP() << "this process cannot be kept from writing a read-only file";
        }
    }
    void TearDown() override { qInstallMessageHandler(previousHandler); }

    // Lays a device out as sysfs does: the device folder elsewhere, a symlink to it in class/backlight.
    // Its brightness reads 1 until something sets it.
    fs::path addDevice(const std::string& name, const std::string& maxBrightness, bool writable = true)
    {
        const fs::path device = root() / "devices" / name;
        fs::create_directories(device);
        fs::create_directories(root() / "class" / "backlight");
        fs::create_directory_symlink(fs::path("../../devices") / name, root() / "class" / "backlight" / name);
        writeFile(device / "max_brightness", maxBrightness + "\n");
        writeFile(device / "brightness", "1\n");
        if (!writable)
            fs::permissions(device / "brightness",
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        return device / "brightness";
    }

    void setLevel(float level) { Backlight(root()).setBrightnessLevel(level); }

    fs::path root() const { return fs::path(sysfs.path().toStdString()); }

    static QString busAddress() { return qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"); }

    const WithoutPermissionOverride asOrdinaryUser;
    QTemporaryDir sysfs;
    QtMessageHandler previousHandler = nullptr;
};

TEST_F(BacklightTest, WritesWhereItMayAndAsksLogindForTheRest)
{
    FakeLogind logind(busAddress());
    ASSERT_TRUE(logind.registered());
    const fs::path writable = addDevice("acpi_video0", "15");
    const fs::path readOnly = addDevice("intel_backlight", "1000", false);
    writeFile(root() / "class" / "backlight" / "not_a_device", "15\n");

    setLevel(0.5f);

    EXPECT_EQ(readFile(writable), "8\n");  // round(7.5)
    EXPECT_EQ(readFile(readOnly), "1\n");
    EXPECT_EQ(logind.calls(), (QList<Call>{call(QStringLiteral("intel_backlight"), 500)}));
    EXPECT_EQ(warningCount, 0);
}

TEST_F(BacklightTest, ClampsTheLevelToZeroAndFull)
{
    const fs::path device = addDevice("panel", "255");

    setLevel(1.7f);
    EXPECT_EQ(readFile(device), "255\n");
    setLevel(-0.2f);
    EXPECT_EQ(readFile(device), "0\n");
    setLevel(0.3f);
    EXPECT_EQ(readFile(device), "77\n");  // round(76.5)
}

TEST_F(BacklightTest, SkipsDevicesWithoutAUsableMaximumAndIsQuietWithoutBacklights)
{
    FakeLogind logind(busAddress());
    ASSERT_TRUE(logind.registered());
    setLevel(0.5f);  // no class/backlight folder
    fs::create_directories(root() / "class" / "backlight");
    setLevel(0.5f);  // an empty one
    EXPECT_EQ(warningCount, 0);
    const fs::path garbage = addDevice("a_garbage", "bright");
    const fs::path zero = addDevice("b_zero", "0");
    const fs::path trailing = addDevice("c_trailing", "100abc");
    const fs::path negative = addDevice("d_negative", "-100");
    const fs::path tooLarge = addDevice("e_too_large", "99999999999");
    const fs::path missing = addDevice("f_missing", "100");
    fs::remove(missing.parent_path() / "max_brightness");
    const fs::path good = addDevice("g_good", "100");

    setLevel(0.5f);

    for (const auto& skipped : {garbage, zero, trailing, negative, tooLarge, missing})
        EXPECT_EQ(readFile(skipped), "1\n") << skipped;
    EXPECT_EQ(readFile(good), "50\n");
    EXPECT_TRUE(logind.calls().isEmpty());
}

TEST_F(BacklightTest, GivesLogindOddNamesVerbatimInNameOrder)
{
    FakeLogind logind(busAddress());
    ASSERT_TRUE(logind.registered());
    const QString odd = QStringLiteral("b odd 'näme' \"$(x)\\..");
    const fs::path second = addDevice(odd.toStdString(), "10", false);
    const fs::path first = addDevice("a:1", "10", false);

    setLevel(0.5f);

    EXPECT_EQ(logind.calls(), (QList<Call>{call(QStringLiteral("a:1"), 5), call(odd, 5)}));
    EXPECT_EQ(readFile(second), "1\n");
}

TEST_F(BacklightTest, GoesOnAfterLogindRefusesADevice)
{
    FakeLogind logind(busAddress());
    ASSERT_TRUE(logind.registered());
    logind.setAnswer(QStringLiteral("a_refused"), FakeLogind::Answer::Refuse);
    const fs::path refused = addDevice("a_refused", "10", false);
    addDevice("b_accepted", "10", false);
    const fs::path direct = addDevice("c_direct", "10");

    setLevel(0.5f);

    EXPECT_EQ(logind.calls(), (QList<Call>{call(QStringLiteral("a_refused"), 5), call(QStringLiteral("b_accepted"), 5)}));
    EXPECT_EQ(readFile(direct), "5\n");
    EXPECT_EQ(warningCount, 1);
}

TEST_F(BacklightTest, ReturnsWhenNoLogindIsOnTheBus)
{
    const fs::path readOnly = addDevice("a_read_only", "10", false);
    const fs::path direct = addDevice("b_direct", "10");

    setLevel(0.5f);

    EXPECT_EQ(readFile(readOnly), "1\n");
    EXPECT_EQ(readFile(direct), "5\n");
    EXPECT_EQ(warningCount, 1);
}

// One device waits out the call timeout; asking again for every further device would keep the
// UI waiting that long for each.
TEST_F(BacklightTest, StopsAskingALogindThatDoesNotAnswer)
{
    FakeLogind logind(busAddress());
    ASSERT_TRUE(logind.registered());
    logind.setAnswer(QStringLiteral("a_silent"), FakeLogind::Answer::Never);
    const fs::path silent = addDevice("a_silent", "10", false);
    addDevice("b_not_asked", "10", false);
    const fs::path direct = addDevice("c_direct", "10");

    setLevel(0.5f);

    EXPECT_EQ(logind.calls(), (QList<Call>{call(QStringLiteral("a_silent"), 5)}));
    EXPECT_EQ(readFile(direct), "5\n");
}

// The address of the system bus is fixed once a process first connects, so this runs in a fresh
// child process, where the bus is made to be missing before anything connects.
TEST_F(BacklightTest, WithoutASystemBusStillWritesWhatItMay)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path readOnly = addDevice("a_read_only", "10", false);
    const fs::path direct = addDevice("b_direct", "10");

    // The child runs this test afresh, in its own folder, so it checks the files itself.
    EXPECT_EXIT(
        {
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/lunaveil-test-bus");
            setLevel(0.5f);
            const bool asExpected = readFile(readOnly) == "1\n" && readFile(direct) == "5\n";
            sysfs.remove();
            std::exit(asExpected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "Cannot set the brightness of backlight \"a_read_only\"");
}

}  // namespace
}  // namespace lunaveil

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    // Every D-Bus call of these tests goes to a private bus standing in for the system bus. The
    // variable must be set before QtDBus first connects, which is why this is done here.
    const lunaveil::test::PrivateBus systemBus;
    if (systemBus.address().isEmpty()) {
        std::fprintf(stderr, "unit_backlight: could not start a private dbus-daemon\n");
        return EXIT_FAILURE;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus.address().toUtf8());
    return RUN_ALL_TESTS();
}
