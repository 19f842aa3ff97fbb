// Writes the seed corpus of every fuzz target: a few valid files of each kind, made here with the
// builders the tests use (and the demo story's own files), one folder per target.
//   make_seeds OUTPUT_FOLDER
#include "archive/ArchiveBytes.h"
#include "audio/SoundTestFiles.h"
#include "engine/SaveRecord.h"
#include "graphics/PictureFiles.h"
#include "platform/ShiftJis.h"
#include "sound/CodecWaves.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace PictureFiles;
using namespace std::string_literals;

namespace {

fs::path Output;
int Written = 0;

void Seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    fs::create_directories(Output / target);
    std::ofstream(Output / target / name, std::ios::binary) << bytes;
    ++Written;
}

void CopySeed(const std::string& target, const fs::path& file)
{
    Seed(target, file.filename().string(), ReadFile(file.string()));
}

// Lines given in UTF-8, written as Shift-JIS with CR LF.
std::string Script(const std::vector<std::string>& utf8Lines)
{
    std::string bytes;
    for (const std::string& line : utf8Lines)
        bytes += Sjis::FromUtf8(line) + "\r\n";
    return bytes;
}

void Scripts()
{
    const std::string demo = std::string(RK_DEMO_DIR) + "/dat/1.txt";
    CopySeed("script", demo);
    Seed("script", "menus.txt",
         Script({"始まり", "一@a", "二@b", "三@c", "四@d", "五@e", "六@f", "七@g", "@a", "#Goto @b", "@b", "#Stop",
                 "@c", "#End"}));
    Seed("script", "commands.txt",
         Script({"// 注釈", "#cg 絵.bmp", "#MIDI 曲.mid", "#wave 音.wav", "#Wave", "#Midi", "#Cg", "\t　文　章\t",
                 "R&&D の &Tab\tの後", "@top  // 札", "#Goto @top"}));
    Seed("script", "odd-bytes.txt", "a@@b\r\n\x81\x40@x\r\n\x83@\r\n//@\r\n\0\r\n\x1A tail"s);
    Seed("script", "utf8.txt", "こんにちは\n選ぶ@右\n戻る@左\n@右\n#Cg 絵.jpg\n右です\n#End\n@左\n左です\n");
    Seed("utf8_script", "demo.txt", ReadFile(demo));
    Seed("utf8_script", "utf8.txt", "こんにちは\n選ぶ@右\n@右\n右です\n");
    Seed("utf8_script", "bom.txt",
         "\xEF\xBB\xBF"
         "abc\r\n漢字と€と🎵\r\n");
    Seed("utf8_script", "short.txt", "\xE3\x81\x82");  // あ, which also reads as Shift-JIS
    Seed("utf8_script", "broken.txt",
         "\xEF\xBB\xBF"
         "ok\n\xC3\x28\n\xF0\x9F\x8E");
}

void Saves()
{
    TSaveRecord fresh;
    fresh.CurLine = 4;
    fresh.MsgText = Sjis::FromUtf8("夜の駅に着いた。\r\n");
    fresh.MsgLines = 1;
    fresh.CgName = "station.jpg";
    fresh.MidiName = "bgm.mid";
    TSaveRecord menu = fresh;
    menu.CurLine = 14;
    menu.Choosing = true;
    const char* captions[] = {"乗る", "待つ", "帰る", "空を見る"};
    const char* targets[] = {"@ride", "@wait", "@home", "@sky"};
    for (int i = 0; i < 4; ++i)
        menu.Choices[size_t(i)] = {true, Sjis::FromUtf8(captions[i]), 72, targets[i]};
    TSaveRecord odd = menu;
    odd.CurLine = -1;
    odd.Stopped = true;
    odd.Choices[0].Width = 0x7FFFFFFF;
    odd.Choices[1].Width = -5;
    odd.CgName = "train.bmp";
    odd.MidiName = "no such.mid alias x";
    for (const auto& [name, record] : {std::pair{"fresh.dat", fresh}, {"menu.dat", menu}, {"odd.dat", odd}}) {
        TSaveBytes bytes = EncodeSaveRecord(record);
        Seed("save", name, std::string(bytes.begin(), bytes.end()));
    }
}

void Pictures()
{
    // The JPEG library's test pictures, where the checkout has them beside it.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(RK_TEST_IMAGES, ec)) {
        std::string extension = entry.path().extension().string();
        if (extension == ".jpg" || extension == ".bmp")
            CopySeed(extension.substr(1), entry.path());
    }
    CopySeed("jpg", std::string(RK_DEMO_DIR) + "/dat/sky.jpg");
    CopySeed("bmp", std::string(RK_DEMO_DIR) + "/dat/train.bmp");
    TRgbImage small = Gradient(24, 16);
    Seed("jpg", "baseline.jpg", Jpeg(small, false, false));
    Seed("jpg", "progressive.jpg", Jpeg(small, false, true));
    Seed("jpg", "grey.jpg", Jpeg(small, true, false, 50));
    Seed("bmp", "gradient.bmp", Bitmap(small));
    std::vector<uint32_t> raw(16 * 4);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint32_t(i * 0x01020305);
    Seed("bmp", "masks-231.bmp", BitfieldBitmap(16, 4, 16, {0x30, 0x0E, 0x01}, raw));
    Seed("bmp", "masks-v5.bmp", BitfieldBitmap(16, 4, 32, {0xFF, 0xFF00, 0xFF000000, 0xFF0000}, raw, 124, true));
    std::vector<uint8_t> indices(16 * 4);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i * 5);
    Seed("bmp", "short-palette.bmp", PaletteBitmap(16, 4, 8, {0xFF0000, 0x00FF00, 0x0000FF}, indices, 4));

    std::vector<uint32_t> argb(16 * 16);
    for (size_t i = 0; i < argb.size(); ++i)
        argb[i] = (i % 3 == 0 ? 0x00000000u : 0xFF000000u) | uint32_t(i * 0x010203);
    Seed("ico", "masked.ico", Icon(16, 16, argb));
    std::vector<bool> masked(32 * 32);
    for (size_t i = 0; i < masked.size(); ++i)
        masked[i] = i % 5 == 0;
    Seed("ico", "palette-sizes.ico",
         IconFile({PaletteIconImage(32, 32, 4, {0, 0xFFFFFFFF, 0x00FF00}, std::vector<uint8_t>(32 * 32, 3), masked),
                   PaletteIconImage(16, 16, 1, {0, 0xFFFFFF}, std::vector<uint8_t>(16 * 16, 1),
                                    std::vector<bool>(16 * 16, true)),
                   Png(48, 48, std::vector<uint32_t>(48 * 48, 0x80FF0000))}));
    Seed("ico", "sizes.ico",
         IconFile({IconImage(2, 2, std::vector<uint32_t>(4, 0xFF0000FF)), Png(4, 4, argb),
                   IconImage(4, 3, std::vector<uint32_t>(12, 0x8000FF00))}));

    // GDI records: brushes and pens made and selected, shapes, text, a fill, a clip, a bitmap.
    const std::vector<TWmfRecord> shapes{
        {0x02FC, {0, 0x00FF, 0, 0}},                 // CreateBrushIndirect
        {0x012D, {0}},                               // SelectObject
        {0x02FA, {2, 1, 0, 0xFF00, 0}},              // CreatePenIndirect, dotted
        {0x012D, {1}},                               //
        {0x041B, {40, 60, 10, 10}},                  // Rectangle
        {0x0418, {90, 190, 50, 110}},                // Ellipse
        {0x0324, {3, 10, 90, 50, 90, 30, 60}},       // Polygon
        {0x0416, {80, 180, 0, 100}},                 // IntersectClipRect
        {0x061D, {0x0021, 0x00F0, 20, 30, 5, 120}},  // PatBlt
    };
    Seed("wmf", "shapes.wmf", Wmf(200, 100, 96, 2, shapes));
    std::vector<int> font(9, 0);
    font[0] = -24;  // the height of its characters
    Seed("wmf", "text.wmf",
         Wmf(120, 40, 96, 1,
             {{0x02FB, font},
              {0x012D, {0}},
              {0x0209, {0x00FF, 0}},
              {0x0521, WmfTextOut(4, 4, Sjis::FromUtf8("絵と字"))}}));
    std::string dib = Bitmap(Gradient(4, 2)).substr(14);
    std::vector<int> dibWords{0x0020, 0x00CC, 0, 2, 4, 0, 0, 20, 40, 0, 0};  // SRCCOPY, the whole bitmap to 40 x 20
    for (size_t i = 0; i + 1 < dib.size(); i += 2)
        dibWords.push_back(static_cast<unsigned char>(dib[i]) | static_cast<unsigned char>(dib[i + 1]) << 8);
    Seed("wmf", "bitmap.wmf", Wmf(40, 20, 96, 0, {{0x0F43, dibWords}}));  // StretchDIBits
    Seed("emf", "shapes.emf",
         Emf(100, 50,
             {{39, {1, 0, 0x0000FF, 0}},  // EMR_CREATEBRUSHINDIRECT
              {37, {1}},                  // EMR_SELECTOBJECT
              {43, {10, 10, 50, 30}},     // EMR_RECTANGLE
              {42, {60, 5, 96, 45}}}));   // EMR_ELLIPSE
    TEmfBounds part{20, 10, 60, 40};
    Seed("emf", "bounds.emf", Emf(100, 50, {{39, {1, 0, 0x00FF00, 0}}, {37, {1}}, {43, {20, 10, 60, 40}}}, &part));
    // A path filled under a turned world transform, a clipping region, text, a gradient, a bitmap.
    std::vector<uint32_t> logFont{2, uint32_t(-20), 0, 0, 0, 400, 0, 0, 'A' | 'r' << 16, 'i' | 'a' << 16, 'l'};
    logFont.resize(1 + 7 + 16, 0);
    std::vector<uint32_t> blit{0, 0,          0,  0, 60, 30, 0, 0, 4, 2, 80, 40, 120, uint32_t(dib.size() - 40),
                               0, 0x00CC0020, 30, 15};
    for (size_t i = 0; i + 3 < dib.size(); i += 4)
        blit.push_back(uint32_t(uint8_t(dib[i])) | uint32_t(uint8_t(dib[i + 1])) << 8 |
                       uint32_t(uint8_t(dib[i + 2])) << 16 | uint32_t(uint8_t(dib[i + 3])) << 24);
    Seed("emf", "families.emf",
         Emf(100, 50,
             {{39, {1, 0, 0x0000FF, 0}},                                              // EMR_CREATEBRUSHINDIRECT
              {37, {1}},                                                              // EMR_SELECTOBJECT
              {35, {0x3F3504F3, 0x3F3504F3, 0xBF3504F3, 0x3F3504F3, 0x42200000, 0}},  // a turn of 45 degrees
              {59, {}},                                                               // EMR_BEGINPATH
              {86, {0, 0, 0, 0, 3, 0, 30 << 16, 30}},                                 // EMR_POLYGON16
              {60, {}},                                                               // EMR_ENDPATH
              {63, {0, 0, 0, 0}},                                                     // EMR_STROKEANDFILLPATH
              {36, {0, 0, 0, 0, 0, 0, 1}},                                            // EMR_MODIFYWORLDTRANSFORM
              {75, {48, 5, 32, 1, 1, 16, 0, 0, 90, 45, 0, 0, 90, 45}},                // EMR_EXTSELECTCLIPRGN
              {82, logFont},                                                          // EMR_EXTCREATEFONTINDIRECTW
              {37, {2}},
              {84, {0, 0, 0, 0, 1, 0, 0, 5, 30, 2, 76, 0, 0, 0, 0, 0, 80, 'A' | 'b' << 16, 10, 10}},  // EMR_EXTTEXTOUTW
              {118, {0, 0, 0, 0, 2, 1, 0, 60, 0, 0xFF00, 0, 99, 20, 0, 0xFF00, 0, 1}},  // EMR_GRADIENTFILL
              {81, blit}}));                                                            // EMR_STRETCHDIBITS
}

void Music()
{
    using namespace SoundTest;
    CopySeed("midi", std::string(RK_DEMO_DIR) + "/dat/bgm.mid");
    Seed("midi", "piano.mid", PianoMidi(3));
    Seed("midi", "piano.rmi", RiffMidi(PianoMidi(2)));
    int n = 0;
    for (const auto& [kind, file] : RefusedMidiFiles())
        Seed("midi", "refused" + std::to_string(++n) + ".mid", file);
    TTrack conductor;
    conductor.Tempo(48, 1000000);
    conductor.End(0);
    TTrack notes;
    notes.Event(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    notes.Event(0, {0xB0, 7, 100});
    notes.Event(0, {0x90, 60, 100});
    notes.Event(96, {62, 100});
    notes.Event(96, {0xE0, 0, 0x40});
    notes.End(96);
    Seed("midi", "format1.mid", MidiFile(1, 96, {conductor, notes}));

    CopySeed("wave", std::string(RK_DEMO_DIR) + "/dat/whistle.wav");
    Seed("wave", "sine.wav", SineWav(440, 50));
    Seed("wave", "gsm.wav", GsmWave());
    Seed("wave", "mp3.wav", Mp3Wave());
    Seed("wave", "double.wav", WaveFile(3, 1, 22050, 8, 64, "", DoubleWave().substr(44, 8 * 400)));
    Seed("wave", "eight-bit.wav", WaveFile(1, 2, 11025, 2, 8, "", std::string(64, '\x80')));
    std::string extensible(22, '\0');
    extensible[6] = 3;  // the sub-format: float
    Seed("wave", "extensible.wav", WaveFile(0xFFFE, 1, 8000, 8, 64, extensible, std::string(64, '\0')));
    // 416 MB of zeros in a GSM wave, spelled short (fuzz/Fuzz.h): 4 GB of samples once decoded.
    const std::string gsm = GsmWave();
    std::string zeros = gsm.substr(0, gsm.find("data") + 4);
    Put(zeros, 436'207'655, 4, false);
    Seed("wave", "gsm-zeros.wav", zeros + "\xF5\xF5\x1D\x01\x00"s);

    Seed("mci", "play.txt",
         "open dat\\bgm.mid alias Midi1\0play Midi1 notify\0status Midi1 mode\0play Midi1 from 0\0"
         "status Midi1 ready\0stop Midi1\0close Midi1"s);
    Seed("mci", "quoted.txt",
         "open \"dat\\Music Box.mid\" type sequencer alias m shareable wait\0play m from 0 to 10\0status m\0"
         "close all\0open dat\\late.mid\0play late.mid\0status late.mid mode"s);
    Seed("mci", "bad.txt", "\0open\0open \"x\0pause Midi1\0status Midi1 mode mode\0play Midi1 from -1\0close nothing"s);
}

void Captions()
{
    // The caption, then the bytes the target reads its label's choices from: "&" markers or not,
    // alignment, size, weight, box and clip.
    const std::string centred(20, '\x01'), plain(20, '\x7F');
    for (const auto& [name, utf8] : {std::pair{"plain.txt", "夜の駅に着いた。"},
                                     {"lines.txt", "一行目\r\n二行目\rthree\nfour"},
                                     {"marks.txt", "&File && R&&K &表示 end&"},
                                     {"tabs.txt", "a\tb\t\tc\r\n\t全角　空白"}}) {
        Seed("label_text", name, Sjis::FromUtf8(utf8) + centred);
        Seed("label_text", "left-" + std::string(name), Sjis::FromUtf8(utf8) + plain);
    }
    Seed("label_text", "broken.txt", "\x81\r\n\x82\x20\xFD\x80\xA0&\x83"s + centred);
    // A line of 32,768 "&a" and one of as many lines, spelled short (fuzz/Fuzz.h).
    Seed("label_text", "long-line.txt", "\xF5\xF5\x0F\x02&a"s + plain);
    Seed("label_text", "long-centred-line.txt", "\xF5\xF5\x0F\x02&a"s + centred);
    Seed("label_text", "many-lines.txt", "\xF5\xF5\x0F\x03a\r\n"s + plain);
}

void Archives()
{
    // The demo story in each kind of archive, with Shift-JIS names, links and a member of zeros.
    std::vector<ArchiveBytes::TArchiveMember> story;
    for (const auto& entry : fs::directory_iterator(std::string(RK_DEMO_DIR) + "/dat"))
        story.push_back({"night/dat/" + entry.path().filename().string(), ReadFile(entry.path().string())});
    story.push_back(
        {"night/dat/\x95\x5C.jpg", std::string(4096, '\0'), ArchiveBytes::TArchiveMember::File, false, true});
    Seed("archive", "story.zip", ArchiveBytes::ZipArchive(story));
    Seed("archive", "story.lzh", ArchiveBytes::LzhArchive(story));
    Seed("archive", "story.tar.gz", ArchiveBytes::TarArchive(story, true));
    Seed("archive", "story.7z", ArchiveBytes::SevenZipArchive(story));
    Seed("archive", "links.tar",
         ArchiveBytes::TarArchive({{"dat/1.txt", "#Cg a.jpg\r\n"},
                                   {"dat/a.jpg", "/etc/passwd", ArchiveBytes::TArchiveMember::Symlink},
                                   {"dat/b.jpg", "dat/1.txt", ArchiveBytes::TArchiveMember::Hardlink}}));
    Seed("archive", "bomb.zip", ArchiveBytes::ZipBomb("dat/big.jpg", 8 << 20, 10));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    Output = argv[1];
    try {
        fs::remove_all(Output);
        Scripts();
        Saves();
        Pictures();
        Music();
        Captions();
        Archives();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_seeds: %s\n", e.what());
        return 1;
    }
    std::printf("%d seed files in %s\n", Written, Output.c_str());
    return 0;
}
