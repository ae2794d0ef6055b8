// What pz4 makes of its command line, once Qt has taken its own options.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CommandLine, OneFileHelpVersionOrAReason) {
    using A = CommandLine::Action;
    const struct {
        std::vector<std::string> args;
        A action;
        std::string file;
    } cases[] = {
        {{}, A::Run, ""},
        {{"walk.gif"}, A::Run, "walk.gif"},
        {{"--", "-odd.gif"}, A::Run, "-odd.gif"},
        {{"walk.gif", "--help"}, A::Help, ""},
        {{"--version", "x"}, A::Version, ""},
        {{"--", "--help"}, A::Run, "--help"},
        {{"-x"}, A::Error, ""},
        {{"a.gif", "b.gif"}, A::Error, ""},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.args);
        std::string label;
        for (const std::string& a : c.args)
            label += a + " ";
        EXPECT_EQ(line.action, c.action) << label;
        EXPECT_EQ(line.file, c.file) << label;
        EXPECT_EQ(line.error.empty(), c.action != A::Error) << label;
    }
}

} // namespace
