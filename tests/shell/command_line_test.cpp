#include "command_line.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace tavik {
namespace {

CommandLine parse(std::vector<std::string_view> args) {
    return parseCommandLine(std::span<const std::string_view>(args));
}

TEST(CommandLine, DefaultsWithoutArguments) {
    const CommandLine c = parse({});
    EXPECT_EQ(c.action, CommandLine::Action::Run);
    EXPECT_FALSE(c.batch);
    EXPECT_EQ(c.screenWidth, 480);
    EXPECT_EQ(c.screenHeight, 640);
    EXPECT_FALSE(c.file.has_value());
}

TEST(CommandLine, OptionsAndFileInAnyOrder) {
    CommandLine c = parse({"--batch", "--screen", "800x600", "prog.tk"});
    EXPECT_EQ(c.action, CommandLine::Action::Run);
    EXPECT_TRUE(c.batch);
    EXPECT_EQ(c.screenWidth, 800);
    EXPECT_EQ(c.screenHeight, 600);
    EXPECT_EQ(c.file, "prog.tk");

    c = parse({"prog.tk", "--screen=640X480", "--batch"});
    EXPECT_EQ(c.action, CommandLine::Action::Run);
    EXPECT_TRUE(c.batch);
    EXPECT_EQ(c.screenWidth, 640);
    EXPECT_EQ(c.screenHeight, 480);
    EXPECT_EQ(c.file, "prog.tk");

    // After "--" everything is a file name, even what looks like an option; a lone "-" is a name too.
    c = parse({"--", "--batch"});
    EXPECT_EQ(c.action, CommandLine::Action::Run);
    EXPECT_FALSE(c.batch);
    EXPECT_EQ(c.file, "--batch");
    EXPECT_EQ(parse({"-"}).file, "-");
}

TEST(CommandLine, ScreenSizeBounds) {
    int w = 0, h = 0;
    EXPECT_TRUE(parseScreenSize("100x4096", w, h));
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 4096);
    EXPECT_TRUE(parseScreenSize("4096X100", w, h));
    EXPECT_EQ(w, 4096);
    EXPECT_EQ(h, 100);

    for (std::string_view bad :
         {"99x640", "480x99", "4097x640", "480x4097", "480", "480x", "x640", "+480x640", "480x-640",
          " 480x640", "480 x640", "480x640x1", "0x0", "00480x640", "480y640", "", "abc", "1e3x640"}) {
        w = h = -1;
        EXPECT_FALSE(parseScreenSize(bad, w, h)) << bad;
        EXPECT_EQ(w, -1) << "a refused size leaves the outputs alone: " << bad;
        const CommandLine c = parse({"--screen", bad});
        EXPECT_EQ(c.action, CommandLine::Action::Error) << bad;
        EXPECT_NE(c.error.find("100..4096"), std::string::npos) << c.error;
    }
}

TEST(CommandLine, BadArgumentsAreErrors) {
    CommandLine c = parse({"--bogus"});
    EXPECT_EQ(c.action, CommandLine::Action::Error);
    EXPECT_NE(c.error.find("--bogus"), std::string::npos) << c.error;

    EXPECT_EQ(parse({"-x"}).action, CommandLine::Action::Error);
    EXPECT_EQ(parse({"--batch", "--screen"}).action, CommandLine::Action::Error);

    c = parse({"one.tk", "two.tk"});
    EXPECT_EQ(c.action, CommandLine::Action::Error);
    EXPECT_NE(c.error.find("two.tk"), std::string::npos) << c.error;

    // The batch console and the terminal exclude each other, in either order; each alone is taken.
    EXPECT_EQ(parse({"--batch", "--terminal"}).action, CommandLine::Action::Error);
    EXPECT_EQ(parse({"--terminal", "x.tk", "--batch"}).action, CommandLine::Action::Error);
    c = parse({"x.tk", "--terminal"});
    EXPECT_EQ(c.action, CommandLine::Action::Run);
    EXPECT_TRUE(c.terminal);
    EXPECT_FALSE(c.batch);
}

TEST(CommandLine, HelpAndVersionActWhereTheyStand) {
    EXPECT_EQ(parse({"--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"-h"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"--version"}).action, CommandLine::Action::Version);
    EXPECT_EQ(parse({"--batch", "--help", "--bogus"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"--bogus", "--help"}).action, CommandLine::Action::Error);
    EXPECT_EQ(parse({"--version", "a", "b"}).action, CommandLine::Action::Version);
}

TEST(CommandLine, ArgvFormSkipsTheProgramName) {
    const char* argv[] = {"tavikwm", "--batch", "game.tk", nullptr};
    const CommandLine c = parseCommandLine(3, argv);
    EXPECT_EQ(c.action, CommandLine::Action::Run);
    EXPECT_TRUE(c.batch);
    EXPECT_EQ(c.file, "game.tk");
}

TEST(CommandLine, VersionAndUsageTexts) {
    EXPECT_EQ(versionText(), "tavikWM 0.03");
    const std::string usage = usageText();
    for (const char* needle : {"--batch", "--screen WxH", "--help", "--version", "FILE", "100..4096", "  0 ",
                               "  1 ", "  130 ", "  2 ", "UTF-8", "docs/MANUAL.md", "tavikwm(1)"})
        EXPECT_NE(usage.find(needle), std::string::npos) << needle;
}

} // namespace
} // namespace tavik
