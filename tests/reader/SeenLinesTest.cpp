// The record of seen lines: its keys, and the file it is kept in.
#include "reader/SeenLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include <stdlib.h>

namespace fs = std::filesystem;
using namespace SeenLines;

namespace {

class SeenRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rk-seen-XXXXXX";
        Folder = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(Folder); }
    std::string Folder;
};

std::vector<uint64_t> Keys(const std::vector<std::string>& script)
{
    TLineAt at = [&](int64_t i) -> const std::string& { return script.at(size_t(i)); };
    std::vector<uint64_t> keys;
    for (size_t i = 0; i < script.size(); ++i)
        keys.push_back(LineKey(at, int64_t(i)));
    return keys;
}

uint64_t Story(const std::vector<std::string>& script)
{
    return StoryKey([&](int64_t i) -> const std::string& { return script.at(size_t(i)); }, int64_t(script.size()));
}

}  // namespace

TEST_F(SeenRecordTest, WhatWasSeenIsReadBackAndTheWriteLeavesNothingBeside)
{
    std::string path = RecordPath(Folder + "/zv_rk", 0x1234);
    {
        TSeenRecord record(path);
        EXPECT_TRUE(record.Add(7));
        EXPECT_FALSE(record.Add(7));
        EXPECT_TRUE(record.Add(0xFFFFFFFFFFFFFFFFull));
        std::string problem;
        ASSERT_TRUE(record.Save(problem)) << problem;  // the folder is made
        EXPECT_FALSE(record.Unsaved());
    }
    TSeenRecord again(path);
    EXPECT_TRUE(again.Contains(7));
    EXPECT_TRUE(again.Contains(0xFFFFFFFFFFFFFFFFull));
    EXPECT_FALSE(again.Contains(8));
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder + "/zv_rk"), fs::directory_iterator{}), 1);
}

// A damaged record, or one too large to be ours, is said once and started afresh; the next write
// replaces it.
TEST_F(SeenRecordTest, ADamagedRecordIsIgnoredAndReplaced)
{
    std::string path = Folder + "/x.seen";
    for (const std::string& bytes : {std::string("zv_rk seen lines 1\n00000000000000zz\n"), std::string("not ours\n"),
                                     "zv_rk seen lines 1\n" + std::string(8 * 1024 * 1024, '0')}) {
        std::ofstream(path, std::ios::binary) << bytes;
        testing::internal::CaptureStderr();
        TSeenRecord record(path);
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("damaged"), std::string::npos);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
        EXPECT_FALSE(record.Contains(0));
        record.Add(5);
        std::string problem;
        ASSERT_TRUE(record.Save(problem)) << problem;
        EXPECT_TRUE(TSeenRecord(path).Contains(5));
    }
}

// A copy is the same lines, wherever it is: the same story and line keys. An edited line is
// forgotten alone, even when the same text comes again in its section; an edit of text keeps the
// story, a new label starts another.
TEST(SeenKeys, ACopySharesAndAnEditForgetsOnlyTheEditedLine)
{
    const std::vector<std::string> script = {"一", "@a", "二", "……", "三", "……", "@b", "……", "#End"};
    std::vector<std::string> edited = script;
    edited[4] = "三です";
    EXPECT_EQ(Story(script), Story(std::vector<std::string>(script)));
    EXPECT_EQ(Story(script), Story(edited));
    std::vector<std::string> relabelled = script;
    relabelled[6] = "@c";
    EXPECT_NE(Story(script), Story(relabelled));
    // Stories without labels are told apart by how they open.
    EXPECT_NE(Story({"一", "二", "#End"}), Story({"壱", "二", "#End"}));

    std::vector<uint64_t> before = Keys(script), after = Keys(edited);
    for (size_t i = 0; i < script.size(); ++i)
        EXPECT_EQ(before[i] == after[i], i != 4) << i;
    // The same text twice in a section, and again in another: three lines, three keys.
    EXPECT_NE(before[3], before[5]);
    EXPECT_NE(before[3], before[7]);
    EXPECT_NE(before[5], before[7]);
}
