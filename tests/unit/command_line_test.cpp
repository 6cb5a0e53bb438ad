// The command-line options Lunaveil answers, and that nothing else changes how it starts.

#include "shell/CommandLine.h"

#include <gtest/gtest.h>

using namespace lunaveil;

TEST(CommandLine, OptionsAndEverythingElse)
{
    EXPECT_EQ(commandLineAction({"lunaveil"}), CommandLineAction::Run);
    EXPECT_EQ(commandLineAction({"lunaveil", "--reset"}), CommandLineAction::Reset);
    EXPECT_EQ(commandLineAction({"lunaveil", "-h"}), CommandLineAction::Help);
    EXPECT_EQ(commandLineAction({"lunaveil", "--version", "--reset"}), CommandLineAction::Version);
    EXPECT_EQ(commandLineAction({"--reset"}), CommandLineAction::Run) << "the program's own path is no option";
    EXPECT_EQ(commandLineAction({"lunaveil", "-psn_0_1", "RestartedFromHelper", "--resets"}), CommandLineAction::Run);
    EXPECT_NE(usageText().find("--reset"), std::string_view::npos);
}
