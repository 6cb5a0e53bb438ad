// The crash journal of original gamma ramps: round trip, and damaged or hostile files.

#include "fakes/FakeDisplayGamma.h"
#include "platform/GammaJournal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace lunaveil;

namespace {

class GammaJournalTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = testing::TempDir() + "gamma-journal-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        file = dir / "nested" / "gamma-0.journal";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void write(std::string_view bytes)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    }

    std::string read()
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path dir;
    std::filesystem::path file;
};

// Builds journal bytes by the documented format, so that hostile headers carry a valid hash.
class JournalBytes {
public:
    JournalBytes() : bytes_("LVGJ") {}
    JournalBytes& u32(std::uint32_t v) { return put(v, 4); }
    JournalBytes& u16(std::uint16_t v) { return put(v, 2); }
    std::string sealed() const
    {
        std::uint64_t hash = 14695981039346656037ull;
        for (const char c : bytes_)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        std::string out = bytes_;
        for (int i = 0; i < 8; ++i)
            out.push_back(static_cast<char>((hash >> (8 * i)) & 0xff));
        return out;
    }

private:
    JournalBytes& put(std::uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            bytes_.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        return *this;
    }
    std::string bytes_;
};

}  // namespace

TEST_F(GammaJournalTest, SavedRampsLoadBackExactlyWithPrivateModes)
{
    GammaJournal journal(file);
    EXPECT_FALSE(journal.exists());
    EXPECT_TRUE(journal.load().empty());

    const std::map<CrtcId, GammaRamp> ramps{{63, FakeDisplayGamma::calibration(63, 256)},
                                            {64, FakeDisplayGamma::calibration(64, 1024)}};
    ASSERT_TRUE(journal.save(ramps));
    EXPECT_TRUE(journal.exists());
    EXPECT_EQ(GammaJournal(file).load(), ramps);

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    journal.remove();
    EXPECT_FALSE(journal.exists());
    journal.remove();  // absent: harmless
}

TEST_F(GammaJournalTest, HandWrittenFileInTheDocumentedFormatLoads)
{
    write(JournalBytes().u32(1).u32(1).u32(7).u32(2).u16(1).u16(2).u16(3).u16(4).u16(5).u16(6).sealed());
    const GammaRamp expected{{1, 2}, {3, 4}, {5, 6}};
    EXPECT_EQ(GammaJournal(file).load(), (std::map<CrtcId, GammaRamp>{{7, expected}}));
}

TEST_F(GammaJournalTest, TruncatedOrCorruptedFilesLoadNothing)
{
    GammaJournal journal(file);
    ASSERT_TRUE(journal.save({{1, FakeDisplayGamma::calibration(1, 4)}, {2, FakeDisplayGamma::calibration(2, 4)}}));
    const std::string good = read();

    for (std::size_t length = 0; length < good.size(); ++length) {
        write(good.substr(0, length));
        EXPECT_TRUE(journal.load().empty()) << "truncated to " << length;
    }
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x10);
        write(bad);
        EXPECT_TRUE(journal.load().empty()) << "byte " << i << " flipped";
    }
    write(good + "x");
    EXPECT_TRUE(journal.load().empty());
}

TEST_F(GammaJournalTest, HostileSizesAndKindsOfFileLoadNothing)
{
    GammaJournal journal(file);
    const std::string hostile[] = {
        JournalBytes().u32(2).u32(0).sealed(),                            // unknown version
        JournalBytes().u32(1).u32(100000).sealed(),                       // absurd CRTC count
        JournalBytes().u32(1).u32(1).u32(7).u32(0xffffffff).sealed(),     // absurd ramp size
        JournalBytes().u32(1).u32(1).u32(7).u32(65536).sealed(),          // a size the data does not back
        JournalBytes().u32(1).u32(1).u32(7).u32(0).sealed(),              // empty ramp
        JournalBytes().u32(1).u32(2).u32(7).u32(1).u16(1).u16(2).u16(3)   // the same CRTC twice
            .u32(7).u32(1).u16(1).u16(2).u16(3).sealed(),
    };
    for (const std::string& bytes : hostile) {
        write(bytes);
        EXPECT_TRUE(journal.load().empty());
    }

    // A huge sparse file is refused without reading it; a FIFO does not block.
    std::filesystem::resize_file(file, std::uintmax_t{1} << 32);
    EXPECT_TRUE(journal.load().empty());
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_TRUE(journal.load().empty());
    EXPECT_TRUE(journal.exists());
}

TEST_F(GammaJournalTest, RefusesToSaveWhatItCouldNotLoad)
{
    GammaJournal journal(file);
    GammaRamp ragged = FakeDisplayGamma::calibration(1, 8);
    ragged.blue.pop_back();
    EXPECT_FALSE(journal.save({{1, ragged}}));
    EXPECT_FALSE(journal.save({{1, GammaRamp{}}}));
    EXPECT_FALSE(journal.exists());
}

TEST(GammaJournalFile, LivesInTheRuntimeFolderNamedForTheDisplay)
{
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    const std::filesystem::path folder = "/run/user/4242/lunaveil";
    EXPECT_EQ(GammaJournal::defaultFile(":0"), folder / "gamma-0.journal");
    EXPECT_EQ(GammaJournal::defaultFile(":0.0"), folder / "gamma-0.journal");
    EXPECT_EQ(GammaJournal::defaultFile(":1.1"), folder / "gamma-1.1.journal");
    EXPECT_EQ(GammaJournal::defaultFile("localhost:10.0"), folder / "gamma-localhost_10.journal");
    EXPECT_EQ(GammaJournal::defaultFile("/tmp/../x:0"), folder / "gamma-_tmp_.._x_0.journal");
    EXPECT_EQ(GammaJournal::defaultFile(""), folder / "gamma-default.journal");
    if (old)
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}
