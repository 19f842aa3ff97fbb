// The author's tools on whole stories: the demo (clean, and its map), a story that holds every
// fault the checker knows once, and the outline of stories that trip a second reading of the
// script, step by step against the engine itself.
#include "EngineFixture.h"
#include "author/StartPoint.h"
#include "author/StoryCheck.h"
#include "author/StoryMap.h"
#include "author/StoryOutline.h"
#include "platform/FifoWatch.h"
#include "platform/ShiftJis.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ScriptOf(const std::vector<std::string>& utf8Lines)
{
    std::string bytes;
    for (const std::string& line : utf8Lines)
        bytes += Sjis::FromUtf8(line) + "\r\n";
    return bytes;
}

// "line: severity: text" for each diagnostic.
std::vector<std::string> Lines(const Author::TCheckReport& report)
{
    std::vector<std::string> out;
    for (const Author::TDiagnostic& d : report.Diagnostics) {
        const char* severity = d.Severity == Author::TSeverity::Error     ? "error"
                               : d.Severity == Author::TSeverity::Warning ? "warning"
                                                                          : "note";
        out.push_back(std::to_string(d.Line) + ": " + severity + ": " + d.Text);
    }
    return out;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

// The table the loader would make of the story in the current folder.
Author::TOutline CurrentOutline()
{
    return Author::TOutline(UnitRK::ScriptTable(UnitRK::ReadScriptFile(UnitRK::ScriptPath)));
}

class StoryToolsTest : public ::testing::Test {
protected:
    void TearDown() override { fs::current_path(Start); }
    void InDemo() { fs::current_path(RK_DEMO_DIR); }
    const fs::path Start = fs::current_path();
};

}  // namespace

TEST_F(StoryToolsTest, TheDemoIsClean)
{
    InDemo();
    const Author::TCheckReport report = Author::CheckStory();
    EXPECT_EQ(report.ScriptName, "dat/1.txt");
    EXPECT_EQ(Joined(Lines(report)), "");
}

TEST_F(StoryToolsTest, EveryFaultIsFoundOnceOnItsLine)
{
    TTempFolder folder;
    folder.Write("dat/1.txt", ScriptOf({"#Cg pic.jpg",
                                        "はじめの行",
                                        "#Goto @forest",
                                        "#Goto forest",
                                        "#Music bgm.mid",
                                        "いろはにほへとちりぬるをわかよたれそつねならむ",
                                        "a b c d e f g h i j k l m n o p q",
                                        std::string(32, '/'),
                                        "#Cg missing.jpg",
                                        "#Cg PIC.JPG",
                                        "#Cg title.png",
                                        "#Cg broken.jpg",
                                        "#Midi broken.mid",
                                        "#Wave broken.wav",
                                        "@dup",
                                        "問い",
                                        "1@m2",
                                        "2@m2",
                                        "3@m2",
                                        "4@m2",
                                        "5@m2",
                                        "6@nowhere",
                                        "7@m2",
                                        "@m2",
                                        "次",
                                        "短@m3",
                                        "二@m3",
                                        "三@x",
                                        "とても長い長い選択肢@m3",
                                        "@m3",
                                        "@dup",
                                        "#End",
                                        "ここには来ない",
                                        "@x",
                                        "x" + std::string(16, '@')}));
    folder.Write("dat/pic.jpg", ReadFile(std::string(RK_TEST_IMAGES) + "/testorig.jpg"));
    folder.Write("dat/title.png", "\x89PNG\r\n\x1A\n");
    folder.Write("dat/broken.jpg", "\xFF\xD8\xFF\xE0 not a JPEG");
    folder.Write("dat/broken.mid", "MThd but no more");
    folder.Write("dat/broken.wav", "RIFF\x04\0\0\0WAVE");

    const std::vector<std::string> got = Lines(Author::CheckStory());
    const std::vector<std::string> expected = {
        "3: error: #Goto target @forest has no label line",
        "4: warning: #Goto without a label",
        "5: warning: #Music is no command",
        "6: warning: the line is \\d+ pixels wide; the message area shows 148",
        "7: error: more than 16 words",
        "8: error: more than 16 pieces",
        "9: warning: picture dat/missing.jpg is missing",
        "10: note: picture dat/PIC.JPG is found only as dat/pic.jpg",
        "11: error: picture dat/title.png cannot be shown: 拡張子 .png の画像形式は処理できません",
        "12: error: picture dat/broken.jpg cannot be shown: JPEG エラー #\\d+",
        "13: error: music dat/broken.mid cannot be played: it is no MIDI file the player opens",
        "14: error: sound dat/broken.wav cannot be played: ",
        "22: error: choice 6 targets @nowhere, which has no label line",
        "23: warning: a menu holds six choices",
        "29: warning: the choice is \\d+ pixels wide; its column shows 72",
        "31: warning: label @dup is defined again \\(first on line 15\\)",
        "33: warning: no path from the start reaches this line",
        "35: error: 16 or more \"@\"",
    };
    ASSERT_EQ(got.size(), expected.size()) << Joined(got);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(std::regex_search(got[i], std::regex("^" + expected[i])))
            << got[i] << "\n  expected " << expected[i];
}

TEST_F(StoryToolsTest, WhatPlaysHereButNotInTheOriginalIsNamed)
{
    TTempFolder folder;
    // Saved as UTF-8 by an editor, with a character Shift-JIS lacks, naming a picture unpacked
    // under its UTF-8 name and two whose Shift-JIS names unpackers took for Western code pages:
    // 駅前 (89 77 91 4F) in UTF-8 and 前 (91 4F) in ISO-8859-1 bytes.
    folder.Write("dat/1.txt", "#Cg 駅.jpg\r\nはじめの行\r\n€を払った\r\n#Cg 駅前.jpg\r\n#Cg 前.jpg\r\n");
    for (const char* name : {"dat/駅.jpg", "dat/ëwæO.jpg", "dat/\xE6O.jpg"})
        folder.Write(name, ReadFile(std::string(RK_TEST_IMAGES) + "/testorig.jpg"));
    EXPECT_EQ(
        Joined(Lines(Author::CheckStory())),
        "0: note: the script is saved as UTF-8: it plays here as if saved in Shift-JIS, but the original player "
        "shows it as garbage\n"
        "1: warning: picture dat/駅.jpg is found only under its name in UTF-8, dat/駅.jpg: it plays here, but the "
        "original player looked for the Shift-JIS name and never found it\n"
        "3: warning: € has no Shift-JIS form: the player shows ？\n"
        "4: note: picture dat/駅前.jpg is found only as dat/ëwæO.jpg, unpacked with a code page that mangled it\n"
        "5: note: picture dat/前.jpg is found only as dat/æO.jpg, unpacked with a code page that mangled it\n");
}

TEST_F(StoryToolsTest, ScriptsThatReadAsOneLineAreNamed)
{
    TTempFolder folder;
    folder.Write("dat/1.txt", "one\rtwo\r");
    EXPECT_EQ(Joined(Lines(Author::CheckStory())),
              "1: warning: the lines end in CR alone: the player reads the whole file as one line, as the original "
              "did\n");
    fs::remove("dat/1.txt");
    const Author::TCheckReport missing = Author::CheckStory();
    ASSERT_EQ(missing.Diagnostics.size(), 1u);
    EXPECT_EQ(missing.Diagnostics[0].Line, 0);
    std::ostringstream printed;
    Author::PrintReport(missing, printed);
    EXPECT_EQ(printed.str().rfind("dat/1.txt: error: the script is missing", 0), 0u) << printed.str();
}

TEST_F(StoryToolsTest, ACommandLineInsideAMenuIsTheChoiceThePlayerShows)
{
    TTempFolder folder;
    folder.Write("dat/1.txt", ScriptOf({"Pick one", "Yes@yes", "No@no", "#Goto @other", "@yes", "yes", "#End", "@no",
                                        "no", "#End", "@other", "other", "more", "#End"}));
    EXPECT_EQ(Joined(Lines(Author::CheckStory())),
              "4: warning: the player shows this command as the choice \"#Goto \" and does not run it: after a "
              "menu's first choice, every line with an \"@\" is a choice\n");
    const std::string dot = Author::StoryGraph(CurrentOutline());
    EXPECT_NE(dot.find("n0 -> n10 [label=\"#Goto \"];"), std::string::npos) << dot;
}

TEST_F(StoryToolsTest, FilesThePlayerWillNotReadAreNamedWithTheReason)
{
    TTempFolder folder;
    folder.Write("dat/1.txt", ScriptOf({"#Midi bgm.mid", "#Cg big.bmp", "#Wave sounds"}));
    folder.Write("dat/big.bmp", "BM");
    fs::resize_file("dat/big.bmp", 17 << 20);
    fs::create_directory("dat/sounds");
    TFifoWatch fifo("dat/bgm.mid");
    EXPECT_EQ(Joined(Lines(Author::CheckStory())),
              "1: error: music dat/bgm.mid cannot be played: it is not a regular file\n"
              "2: error: picture dat/big.bmp cannot be shown: it is larger than the 16 MB the player reads\n"
              "3: error: sound dat/sounds cannot be played: it is not a regular file\n");
    EXPECT_FALSE(fifo.Waited());

    std::string lines;
    for (int i = 0; i < 10001; ++i)
        lines += "x\n";
    folder.Write("dat/1.txt", lines);
    EXPECT_EQ(Joined(Lines(Author::CheckStory())),
              "10000: error: the script has more than 9999 lines; the player holds 9999 and stops loading it "
              "(範囲チェックエラー)\n");
}

TEST_F(StoryToolsTest, APictureIsDrawnOnlyWhereThePlayersPictureAreaShowsIt)
{
    // A placeable metafile 4096 x 4096 pixels large of rectangles that each cover it: drawn whole,
    // a minute's work; the player draws only what its picture area shows.
    auto words = [](std::string& out, std::initializer_list<int> values) {
        for (int v : values)
            out += {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
    };
    std::string wmf;
    words(wmf, {0xCDD7, 0x9AC6, 0, 0, 0, 4096, 4096, 96, 0, 0});
    words(wmf, {0xCDD7 ^ 0x9AC6 ^ 4096 ^ 4096 ^ 96, 1, 9, 0x300, 0, 0, 0, 7, 0, 0});
    for (int i = 0; i < 10000; ++i)
        words(wmf, {7, 0, 0x041B, 4096, 4096, 0, 0});
    words(wmf, {3, 0, 0});
    TTempFolder folder;
    folder.Write("dat/1.txt", ScriptOf({"#Cg big.wmf", "x"}));
    folder.Write("dat/big.wmf", wmf);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Joined(Lines(Author::CheckStory())), "");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
}

TEST_F(StoryToolsTest, TheDemosMapHasTheEdgesItsScriptDefinesAndDotDrawsIt)
{
    InDemo();
    const std::string dot = Author::StoryGraph(CurrentOutline());
    // Node names to their first label line, then every edge as "from -> to (label)".
    std::map<std::string, std::string> names{{"start", "start"}, {"end", "#End"}, {"stop", "#Stop"}};
    const std::regex node(R"re(\n  (n\d+) \[label="([^"\\]*))re");
    const std::regex edge(R"re((\w+) -> (\w+)(?: \[(?:label="([^"]*)")?(style=dashed)?\])?;)re");
    for (auto it = std::sregex_iterator(dot.begin(), dot.end(), node); it != std::sregex_iterator(); ++it)
        names[(*it)[1]] = (*it)[2];
    std::set<std::string> edges;
    for (auto it = std::sregex_iterator(dot.begin(), dot.end(), edge); it != std::sregex_iterator(); ++it)
        edges.insert(names[(*it)[1]] + " -> " + names[(*it)[2]] +
                     ((*it)[3].matched ? " (" + (*it)[3].str() + ")" : "") + ((*it)[4].matched ? " (falls)" : ""));
    EXPECT_EQ(edges,
              (std::set<std::string>{"start -> (start)", "(start) -> @menu (falls)", "@menu -> @ride (乗る)",
                                     "@menu -> @wait (待つ)", "@menu -> @home (帰る)", "@menu -> @sky (空を見る)",
                                     "@ride -> @last (#Goto)", "@wait -> @menu (#Goto)", "@sky -> @menu (#Goto)",
                                     "@home -> #Stop", "@last -> #End"}))
        << dot;
    EXPECT_NE(dot.find("station.jpg"), std::string::npos) << "pictures shown in a section";

    TTempFolder folder;
    folder.Write("story.dot", dot);
    ASSERT_EQ(std::system("dot -Tsvg story.dot -o story.svg"), 0) << "graphviz's dot refuses the map";
    EXPECT_GT(fs::file_size("story.svg"), 1000u);
}

TEST_F(StoryToolsTest, PictureAndMusicOnTheWayToALabel)
{
    TTempFolder folder;
    folder.Write("dat/1.txt",
                 ScriptOf({"#Midi bgm.mid", "#Cg a.jpg", "どちら", "左@left", "右@right", "@left", "#Cg b.jpg",
                           "#Goto @meet", "@right", "右だ", "@meet", "会った", "#End", "@alone", "誰も来ない"}));
    const Author::TOutline outline = CurrentOutline();
    auto at = [&](const std::string& label) { return outline.MediaAt(outline.FindLabel(label, 0) + 1); };
    EXPECT_EQ(at("@right").Cg.Kind, Author::TSetting::Known);
    EXPECT_EQ(at("@right").Cg.Name, "a.jpg");
    EXPECT_EQ(at("@meet").Cg.Kind, Author::TSetting::Ambiguous) << "a.jpg one way, b.jpg the other";
    EXPECT_EQ(at("@meet").Midi.Name, "bgm.mid");
    EXPECT_EQ(at("@alone").Cg.Kind, Author::TSetting::Unknown) << "no path leads there";

    auto right = Author::FindStartPoint("right");
    ASSERT_TRUE(right.has_value());
    EXPECT_EQ(right->LabelLine, 8);
    EXPECT_EQ(right->Cg, "a.jpg");
    EXPECT_EQ(right->Midi, "bgm.mid");
    EXPECT_TRUE(right->Notes.empty());
    auto meet = Author::FindStartPoint("@meet");
    ASSERT_TRUE(meet.has_value());
    EXPECT_EQ(meet->Cg, "");
    EXPECT_EQ(meet->Midi, "bgm.mid");
    ASSERT_EQ(meet->Notes.size(), 1u);
    EXPECT_EQ(meet->Notes[0], "the picture differs on the ways to @meet: starting without one");
    EXPECT_FALSE(Author::FindStartPoint("@nowhere").has_value());
}

TEST_F(StoryToolsTest, StartFindsTheFirstLineOfALabelEvenOnTheScriptsFirstLine)
{
    TTempFolder folder;
    folder.Write("dat/1.txt", ScriptOf({"@top", "hello", "#Goto @top"}));
    auto top = Author::FindStartPoint("@top");
    ASSERT_TRUE(top.has_value());
    EXPECT_EQ(top->LabelLine, 0);
    folder.Write("dat/1.txt", ScriptOf({"@top", "hello", "@top", "again", "#Goto @top"}));
    top = Author::FindStartPoint("top");
    ASSERT_TRUE(top.has_value());
    EXPECT_EQ(top->LabelLine, 0) << "the first of two";
}

namespace {

// Where each step leads, as "-> 12", "-> 12 by はい", "end", "stop" or "fails at 7", with the
// line the next step starts at (-1 for none).
using TWays = std::map<std::string, int>;

// The outline against the engine itself: from every line the engine reaches from the start, the
// step the engine takes (driven through Advance and SelectChoice) is the step the outline gives,
// and the lines the engine passes are those the outline calls reached.
class StoryOutlineTest : public EngineTest {
protected:
    void ExpectOutlineIsEngine(const std::vector<std::string>& story)
    {
        WriteScript(story);
        ASSERT_TRUE(BindAndLoad());
        const Author::TOutline outline = CurrentOutline();
        std::vector<bool> reached(outline.Count(), false);
        std::set<int> seen;
        std::deque<int> work{0};
        while (!work.empty()) {
            const int line = work.front();
            work.pop_front();
            if (!seen.insert(line).second)
                continue;
            int last = line;
            const TWays ways = EngineWays(line, last);
            for (int i = line; i <= last; ++i)
                reached[static_cast<size_t>(i)] = true;
            EXPECT_EQ(ways, OutlineWays(outline, line)) << "a step from line " << line + 1 << " of\n" << Joined(story);
            for (const auto& [way, next] : ways)
                if (next >= 0)
                    work.push_back(next);
        }
        EXPECT_EQ(reached, outline.Reached()) << Joined(story);
    }

private:
    // One step of the engine from `line`; `last` is set to the last line it reads.
    TWays EngineWays(int line, int& last)
    {
        Application().Reset();
        UnitRK::Rk.CurLine = line;
        UnitRK::Rk.AutoNext = UnitRK::Rk.Stopped = UnitRK::Rk.Choosing = false;
        UnitRK::HideChoices();
        last = line;
        while (UnitRK::IsBreakLine(UnitRK::Rk.ScriptLines[last]))
            ++last;
        try {
            UnitRK::Advance();
        } catch (const ERangeError&) {
            last = UnitRK::Rk.CurLine;  // the next click tries the failing line again
            return {{"fails at " + std::to_string(last + 1), -1}, {"-> " + std::to_string(last + 1), last}};
        }
        Pump();
        if (Application().Terminated())
            return {{"end", -1}};
        if (UnitRK::Rk.Stopped)
            return {{"stop", -1}};
        if (!UnitRK::Rk.Choosing)
            return {{"-> " + std::to_string(UnitRK::Rk.CurLine + 1), UnitRK::Rk.CurLine}};
        last = UnitRK::Rk.CurLine - 1;
        std::vector<std::string> captions;
        for (const auto& label : Choices)
            if (label->Visible)
                captions.push_back(U(label->Caption));
        TWays ways;
        for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
            const std::string& caption = captions[static_cast<size_t>(i)];
            UnitRK::Rk.CurLine = last + 1;
            UnitRK::Rk.Choosing = true;
            UnitRK::SelectChoice(i);
            ways["-> " + std::to_string(UnitRK::Rk.CurLine + 1) + " by " + caption] = UnitRK::Rk.CurLine;
        }
        return ways;
    }

    static TWays OutlineWays(const Author::TOutline& outline, int line)
    {
        TWays ways;
        for (const Author::TStep& step : outline.Steps(line)) {
            switch (step.Kind) {
            case Author::TStep::Line:
                ways["-> " + std::to_string(step.To + 1) + (step.Choice.empty() ? "" : " by " + U(step.Choice))] =
                    step.To;
                break;
            case Author::TStep::End:
                ways["end"] = -1;
                break;
            case Author::TStep::Stop:
                ways["stop"] = -1;
                break;
            case Author::TStep::Stuck:
                ways["fails at " + std::to_string(step.Via + 1)] = -1;
                break;
            }
        }
        return ways;
    }
};

}  // namespace

TEST_F(StoryOutlineTest, EveryStepIsTheEnginesStep)
{
    const std::string at16 = std::string(16, '@');
    // A command line after a menu's first choice is a choice.
    ExpectOutlineIsEngine({"Pick one", "Yes@yes", "No@no", "#Goto @other", "@yes", "yes", "#End", "@no", "no", "#Stop",
                           "@other", "other", "#End"});
    // A first line that holds an "@" is a command; blank, blank-only, comment and label lines end
    // a menu; a label defined twice is found after the jumping line first, then from the top.
    ExpectOutlineIsEngine({"#Goto @b", "never@b", "@a", "question",    "one@b",   "two@c",       "",
                           "three@d",  "   ",     "@b", "#Cg x@y.jpg", "right@a", "#Cg z@w.jpg", "// a comment",
                           "@c",       "left@a",  "@c", "#Goto @a",    "@d",      "on",          "#Goto @c"});
    // Choice lines after six, a command line with 16 "@" inside a menu (it fails there, then runs
    // as a command at the next click) and a text line with 16 "@" (it fails at every click).
    ExpectOutlineIsEngine({"q", "1@x", "2@x", "3@x", "4@x", "5@x", "6@x", "#Goto @y", "8@x", "9@y", "@x", "a@y",
                           "#Goto @a" + at16, "b@x" + at16, "@y", "z@" + at16, "#End"});
}

// A script is a stranger's text: what --check repeats of it cannot work the reader's terminal.
TEST_F(StoryToolsTest, ControlCharactersOfAScriptReachTheTerminalAsQuestionMarks)
{
    TTempFolder folder;
    folder.Write("dat/1.txt", ScriptOf({"#Goto @\x1b]0;owned\x07\x1b[2J"}));
    fs::current_path(folder.Path());
    std::ostringstream out;
    Author::PrintReport(Author::CheckStory(), out);
    EXPECT_NE(out.str().find("@?]0;owned??[2J"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find_first_of("\x1b\x07"), std::string::npos);
}
