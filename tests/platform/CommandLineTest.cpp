// The Windows argv rules: the split and the quoting that every back end shares.
#include "platform/process.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> argv;
    EXPECT_TRUE(SplitCommandLine(line, &argv)) << line;
    return argv;
}

TEST(CommandLineTest, SplitsByTheWindowsArgvRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ((V{"prog", "a", "b c", "d"}), Split("  prog a \"b c\"\td  "));
    // The program name takes no escapes: a backslash before its closing quote stays.
    EXPECT_EQ((V{"C:\\dir\\", "x"}), Split("\"C:\\dir\\\" x"));
    // Backslashes are literal unless a quote follows them.
    EXPECT_EQ((V{"p", "a\\\\b", "a\\\"b", "a\\b", "a\\\\\\\\b c", "x\\", "y"}),
              Split("p a\\\\b a\\\\\\\"b a\\b \"a\\\\\\\\b c\" \"x\\\\\" y"));
    EXPECT_EQ((V{"p", "say \"hi\"", ""}), Split("p \"say \"\"hi\"\"\" \"\""));
    EXPECT_EQ((V{"p", "ab", "c"}), Split("p a\"b\" c"));
    EXPECT_EQ((V{"p", "open end"}), Split("p \"open end"));
    std::vector<std::string> argv;
    EXPECT_FALSE(SplitCommandLine("   ", &argv));
    EXPECT_FALSE(SplitCommandLine("\"\" x", &argv));
}

TEST(CommandLineTest, QuotedArgumentsComeBackUnchanged) {
    const std::vector<std::string> hostile = {"",
                                              "plain",
                                              "\" -d \"x",
                                              "trailing\\",
                                              "two\\\\",
                                              "\\\"",
                                              "$(touch /tmp/x); rm -rf / `id` | & > <",
                                              "line\nbreak\r\n",
                                              "tab\there",
                                              "\"\"\"",
                                              "C:\\Program Files\\x\\"};
    std::string line = "prog";
    for (const std::string& text : hostile)
        line += " " + QuoteArgument(text);
    std::vector<std::string> argv = Split(line);
    ASSERT_EQ(hostile.size() + 1, argv.size());
    for (size_t i = 0; i < hostile.size(); ++i)
        EXPECT_EQ(hostile[i], argv[i + 1]) << i;
}

} // namespace
