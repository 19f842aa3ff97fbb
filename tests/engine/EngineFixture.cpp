#include "EngineFixture.h"

#include "platform/ShiftJis.h"

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

void TRecordingBackend::ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon)
{
    Boxes.push_back({Sjis::ToUtf8(text), Sjis::ToUtf8(caption), icon});
}

TTempFolder::TTempFolder()
{
    char pattern[] = "/tmp/rk-test-XXXXXX";
    Dir = mkdtemp(pattern);
    OldDir = fs::current_path().string();
    fs::current_path(Dir);
}

TTempFolder::~TTempFolder()
{
    fs::current_path(OldDir);
    std::error_code ec;
    fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Dir, ec);
}

void TTempFolder::Write(const std::string& relative, const std::string& bytes) const
{
    fs::path p = fs::path(Dir) / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

void EngineTest::SetUp()
{
    Folder = std::make_unique<TTempFolder>();
    Application().Reset();
    Application().Title = "zv_rk";
    Application().SetBackend(&Backend);
    UnitRK::Rk = UnitRK::TEngineState{};

    UnitRK::Services.LoadPictureFile = [this](TImage& image, const std::string& path) {
        Calls.push_back("LoadPictureFile " + path);
        image.SetPicture(std::make_shared<TBitmapGraphic>(TRgbImage{100, 50, std::vector<uint32_t>(5000)}));
    };
    UnitRK::Services.MidiPlay = [this](const std::string& path, bool loop) {
        Calls.push_back("MidiPlay " + path + (loop ? " loop" : ""));
    };
    UnitRK::Services.MidiClose = [this] { Calls.push_back("MidiClose"); };
    UnitRK::Services.WavePlay = [this](const std::string& path, bool loop) {
        Calls.push_back("WavePlay " + path + (loop ? " loop" : ""));
    };
    UnitRK::Services.WaveStop = [this] { Calls.push_back("WaveStop"); };

    PanelCg.Width = 156;
    PanelCg.Height = 96;
    PanelText.Color = Colors::Black;
    LabMain.Color = Colors::Black;
    LabMain.Font.Color = Colors::White;
    for (int i = 0; i < 6; ++i) {
        Choices.push_back(std::make_unique<TLabel>("Label" + std::to_string(i)));
        Choices.back()->Width = 72;  // as the window lays them out
    }
    for (int i = 0; i < 3; ++i)
        LoadButtons.push_back(std::make_unique<TButton>("ButLoad" + std::to_string(i)));
}

void EngineTest::TearDown()
{
    Application().SetBackend(nullptr);
    UnitRK::Services = UnitRK::IdleServices();
    UnitRK::Events = UnitRK::TStoryEvents{};
    UnitRK::Rk = UnitRK::TEngineState{};
    Folder.reset();
}

void EngineTest::WriteScript(const std::vector<std::string>& utf8Lines) const
{
    std::string bytes;
    for (const std::string& line : utf8Lines)
        bytes += Sjis::FromUtf8(line) + "\r\n";
    WriteScriptBytes(bytes);
}

bool EngineTest::Start()
{
    if (!BindAndLoad())
        return false;
    UnitRK::Advance();
    return true;
}

bool EngineTest::BindAndLoad()
{
    std::vector<TLabel*> labels;
    for (auto& l : Choices)
        labels.push_back(l.get());
    std::vector<TButton*> buttons;
    for (auto& b : LoadButtons)
        buttons.push_back(b.get());
    UnitRK::SetLimits(3, 5, 72, 148);
    UnitRK::BindControls(&LabMain, &Image1, labels, &PanelCg, &Page1, &Page2, buttons);
    UnitRK::ResetEngine();
    return UnitRK::LoadScript(UnitRK::ScriptPath);
}

std::string EngineTest::U(const std::string& sjis) { return Sjis::ToUtf8(sjis); }
std::string EngineTest::S(const std::string& utf8) { return Sjis::FromUtf8(utf8); }

std::string EngineTest::Shown() const
{
    std::string s = Sjis::ReplaceAll(LabMain.Caption, "\r\n", "|");
    return U(s);
}

std::string EngineTest::ChoiceCaption(int i) const { return U(Choices[static_cast<size_t>(i)]->Caption); }
