// How the reader's features are asked for: --copy-text, CopyEveryPage in settings.ini, and the
// keys that --help lists.
#include "ui/CommandLine.h"
#include "ui/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace {

std::optional<int> ParseArgs(std::vector<const char*> args, TCommandLine& line, std::string& out)
{
    args.insert(args.begin(), "zv_rk");
    std::ostringstream printed, errors;
    std::optional<int> status = ParseCommandLine(int(args.size()), args.data(), line, printed, errors);
    out = printed.str();
    return status;
}

}  // namespace

TEST(ReaderOptions, CopyTextFromTheCommandLineOrTheSettingsAndTheKeysInHelp)
{
    TCommandLine line;
    std::string out;
    EXPECT_FALSE(ParseArgs({"--copy-text", "story"}, line, out));
    EXPECT_TRUE(line.CopyText);
    EXPECT_EQ(ParseArgs({"--help"}, line, out), 0);
    for (const char* key : {"Page Up", "Ctrl+C", "F12", "F1", "Ctrl (held)", "Tab", "auto play"})
        EXPECT_NE(out.find(key), std::string::npos) << key;

    std::string path = "/tmp/rk-reader-settings-" + std::to_string(getpid()) + ".ini";
    std::string problem;
    for (const char* text :
         {"[reader]\nCopyEveryPage = true\n", "[window]\nscale = 2\n[reader]\nCopyEveryPage=yes\n"}) {
        std::ofstream(path) << text;
        EXPECT_EQ(LoadSettings(path, problem).CopyEveryPage, true) << text;
        EXPECT_EQ(problem, "") << text;
    }
    std::ofstream(path) << "[reader]\nCopyEveryPage = maybe\n";
    EXPECT_FALSE(LoadSettings(path, problem).CopyEveryPage);
    EXPECT_NE(problem.find("CopyEveryPage = maybe"), std::string::npos) << problem;
    std::remove(path.c_str());
}
