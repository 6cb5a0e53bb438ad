// The crash journal of original gamma ramps: round trip, and damaged or hostile files.

#include "fakes/FakeDisplayGamma.h"
#include "platform/GammaJournal.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>

using namespace lunaveil;

namespace {

class GammaJournalTest : public testing::Test {
protected:
    void write(std::string_view bytes)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    }

    QTemporaryDir dir;
    const std::filesystem::path file = dir.path().toStdString() + "/nested/gamma-0.journal";
    GammaJournal journal{file};
};

// Journal bytes written by hand in the file's format.
class JournalBytes {
public:
    JournalBytes& u32(std::uint32_t v) { return put(v, 4); }
    JournalBytes& u16(std::uint16_t v) { return put(v, 2); }
    std::string sealed()
    {
        std::uint64_t hash = 14695981039346656037ull;
        for (const char c : bytes_)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return std::string(put(hash, 8).bytes_);
    }

private:
    JournalBytes& put(std::uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            bytes_.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        return *this;
    }
    std::string bytes_ = "LVGJ";
};

TEST_F(GammaJournalTest, SavedRampsLoadBackExactlyWithPrivateModes)
{
    EXPECT_FALSE(journal.exists());
    EXPECT_TRUE(journal.load().empty());
    const std::map<CrtcId, GammaRamp> ramps{{63, FakeDisplayGamma::calibration(63, 256)},
                                            {64, FakeDisplayGamma::calibration(64, 1024)}};
    ASSERT_TRUE(journal.save(ramps));
    EXPECT_EQ(GammaJournal(file).load(), ramps);
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(file).permissions(), perms::owner_read | perms::owner_write);
    EXPECT_EQ(std::filesystem::status(file.parent_path()).permissions(), perms::owner_all);

    journal.remove();
    EXPECT_FALSE(journal.exists());
    journal.remove();  // absent: harmless

    GammaRamp ragged = FakeDisplayGamma::calibration(1, 8);
    ragged.blue.pop_back();
    EXPECT_FALSE(journal.save({{1, ragged}})) << "nothing is saved that could not be loaded";
    EXPECT_FALSE(journal.save({{1, GammaRamp{}}}));
    EXPECT_FALSE(journal.exists());
}

TEST_F(GammaJournalTest, TruncatedCorruptedOrHostileFilesLoadNothing)
{
    ASSERT_TRUE(journal.save({{1, FakeDisplayGamma::calibration(1, 4)}, {2, FakeDisplayGamma::calibration(2, 4)}}));
    std::ifstream in(file, std::ios::binary);
    const std::string good{std::istreambuf_iterator<char>(in), {}};
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string flipped = good;
        flipped[i] = static_cast<char>(flipped[i] ^ 0x10);
        for (const std::string& bad : {good.substr(0, i), flipped}) {
            write(bad);
            EXPECT_TRUE(journal.load().empty()) << "truncated or flipped at byte " << i;
        }
    }
    write(good + "x");
    EXPECT_TRUE(journal.load().empty()) << "one byte too many";

    // Sealed with a valid hash, so that only the values are hostile.
    const std::string hostile[] = {
        JournalBytes().u32(2).u32(0).sealed(),                         // unknown version
        JournalBytes().u32(1).u32(100000).sealed(),                    // absurd CRTC count
        JournalBytes().u32(1).u32(1).u32(7).u32(0xffffffff).sealed(),  // absurd ramp size
        JournalBytes().u32(1).u32(1).u32(7).u32(65536).sealed(),       // a size the data does not back
        JournalBytes().u32(1).u32(1).u32(7).u32(0).sealed(),           // empty ramp
        JournalBytes().u32(1).u32(2).u32(7).u32(1).u16(1).u16(2).u16(3).u32(7).u32(1).u16(1).u16(2).u16(3).sealed(),
    };  // the last names the same CRTC twice
    for (const std::string& bytes : hostile) {
        write(bytes);
        EXPECT_TRUE(journal.load().empty());
    }
    write(JournalBytes().u32(1).u32(1).u32(7).u32(2).u16(1).u16(2).u16(3).u16(4).u16(5).u16(6).sealed());
    EXPECT_EQ(journal.load(), (std::map<CrtcId, GammaRamp>{{7, GammaRamp{{1, 2}, {3, 4}, {5, 6}}}}))
        << "while a sane file written by hand loads";

    // A huge sparse file is refused without reading it; a FIFO does not block.
    std::filesystem::resize_file(file, std::uintmax_t{1} << 32);
    EXPECT_TRUE(journal.load().empty());
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_TRUE(journal.load().empty());
    EXPECT_TRUE(journal.exists());
}

TEST(GammaJournalFile, LivesInTheRuntimeFolderNamedForTheDisplay)
{
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    const std::pair<const char*, const char*> names[] = {
        {":0", "gamma-0.journal"},   {":0.0", "gamma-0.journal"},
        {":1.1", "gamma-1.1.journal"}, {"localhost:10.0", "gamma-localhost_10.journal"},
        {"", "gamma-default.journal"}, {"/tmp/../x:0", "gamma-_tmp_.._x_0.journal"},
    };
    for (const auto& [display, name] : names)
        EXPECT_EQ(GammaJournal::defaultFile(display), std::filesystem::path("/run/user/4242/lunaveil") / name);
    if (old)
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
