#include "audio/SoundTestFiles.h"
#include "platform/audio/AudioDevice.h"

#include <gtest/gtest.h>

namespace {

TEST(SoundFont, OurVariableWinsOnlyWhenItNamesAFile)
{
    SoundTest::TTempDir dir;
    dir.Write("mine.sf2", "x");
    EXPECT_EQ(Audio::FindSoundFont(dir.Path("mine.sf2").c_str()), dir.Path("mine.sf2"));
    std::string system = Audio::FindSoundFont(nullptr);
    EXPECT_EQ(Audio::FindSoundFont(dir.Path("missing.sf2").c_str()), system);
    EXPECT_EQ(Audio::FindSoundFont(dir.Path("").c_str()), system);  // a folder
}

}  // namespace
