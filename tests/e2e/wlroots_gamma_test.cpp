// Lunaveil's True Colors on a wlroots compositor, against a Wayland server of the tests' own
// whose outputs take gamma tables: the formula reaches each output at its own ramp size, an
// output that refuses is left out, and however Lunaveil ends the compositor gives every output
// its own table back.

#include "effects/TransferFormula.h"
#include "support/LunaveilProcess.h"
#include "support/SpinEventLoop.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace lunaveil {
namespace {

using test::LunaveilProcess;

// What the fake compositor says about a table: the first and last entry of each channel.
std::string tableLine(const char* output, const GammaRamp& ramp)
{
    std::string line = std::string("set ") + output;
    for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue})
        line += " " + std::to_string(channel->front()) + " " + std::to_string(channel->back());
    return line;
}

class LunaveilOnWlroots : public testing::Test {
protected:
    void SetUp() override
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        compositor_.setProcessEnvironment(env);
        compositor_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        compositor_.start(QStringLiteral(LUNAVEIL_FAKE_GAMMA_COMPOSITOR),
                          {QStringLiteral("FAKE-1:256"), QStringLiteral("FAKE-2:1024"), QStringLiteral("DARK-3:0")});
        ASSERT_TRUE(saw("socket ")) << "the fake compositor did not start";
        socket_ = QString::fromStdString(said_.substr(said_.find("socket ") + 7)).section(QLatin1Char('\n'), 0, 0);
    }
    void TearDown() override
    {
        compositor_.kill();
        compositor_.waitForFinished();
    }

    // Waits until the compositor has said `text`.
    bool saw(const std::string& text)
    {
        return test::spinUntil([&] {
            said_ += compositor_.readAllStandardOutput().toStdString();
            return said_.find(text) != std::string::npos;
        });
    }
    int occurrences(const std::string& text) const
    {
        int count = 0;
        for (auto at = said_.find(text); at != std::string::npos; at = said_.find(text, at + 1))
            ++count;
        return count;
    }
    std::unique_ptr<LunaveilProcess> lunaveilWithTrueColors()
    {
        auto process = std::make_unique<LunaveilProcess>(QStringLiteral(LUNAVEIL_PROGRAM), "");
        process->storeTint(true, Colour::orangeColor(), 25, true);
        process->setVariable(QStringLiteral("DISPLAY"), {});
        process->setVariable(QStringLiteral("WAYLAND_DISPLAY"), socket_);
        process->setVariable(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
        process->setVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->captureErrors();
        return process;
    }

    QTemporaryDir runtime_;
    QProcess compositor_;
    QString socket_;
    std::string said_;
};

TEST_F(LunaveilOnWlroots, TrueColorsReachesEveryOutputThatTakesGammaAndEveryEndGivesTheTablesBack)
{
    const TransferFormula orange = *trueColorFormula(Colour::orangeColor(), 25);
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGKILL");
        said_.clear();
        const auto process = lunaveilWithTrueColors();
        ASSERT_TRUE(process->start({QStringLiteral("-psn_0_0")}));
        EXPECT_TRUE(saw(tableLine("FAKE-1", rampFromFormula(256, orange)))) << said_;
        EXPECT_TRUE(saw(tableLine("FAKE-2", rampFromFormula(1024, orange)))) << said_;
        EXPECT_EQ(said_.find("set DARK-3"), std::string::npos) << "an output that refused got a table";
        test::spinUntil([] { return false; }, std::chrono::milliseconds(2500));
        said_ += compositor_.readAllStandardOutput().toStdString();
        EXPECT_EQ(occurrences("set FAKE-1"), 1) << "a table the compositor holds was sent again";
        const QString errors = process->errors();
        EXPECT_TRUE(errors.contains(QStringLiteral("display platform Wayland (sway)"))) << errors.toStdString();
        process->send(signal);
        EXPECT_TRUE(saw("restore FAKE-1") && saw("restore FAKE-2")) << said_;
        process->waitForExit();
    }
}

}  // namespace
}  // namespace lunaveil
