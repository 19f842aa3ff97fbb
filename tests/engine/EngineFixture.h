// A fresh engine bound to plain controls, in a temporary working folder with a dat folder,
// and an application whose message boxes are recorded instead of shown.
#pragma once

#include "engine/UnitRK.h"
#include "platform/Application.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct TShownBox {
    std::string Text;     // UTF-8
    std::string Caption;  // UTF-8
    TMessageIcon Icon;
};

class TRecordingBackend : public TUiBackend {
public:
    void CollectEvents(TApplication&) override {}
    void WaitForEvent(int) override {}
    void Present() override {}
    void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon) override;
    std::vector<TShownBox> Boxes;
};

// A temporary folder made the current directory for the test, removed afterwards.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    const std::string& Path() const { return Dir; }
    // Writes `bytes` to `relative` (folders created as needed).
    void Write(const std::string& relative, const std::string& bytes) const;

private:
    std::string Dir;
    std::string OldDir;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes dat/1.txt from UTF-8 lines (converted to Shift-JIS), joined with CR LF.
    void WriteScript(const std::vector<std::string>& utf8Lines) const;
    void WriteScriptBytes(const std::string& bytes) const { Folder->Write("dat/1.txt", bytes); }
    // The start-up sequence: limits, controls, reset, load, first step.
    bool Start();
    // The same without the first step.
    bool BindAndLoad();
    // Drives one automatic step if one is pending, as timer 2 would.
    void Tick() { UnitRK::AutoTick(); }
    // Runs queued messages (the quit message of a terminate request).
    void Pump() { Application().ProcessMessages(); }
    // Caption of the message label as UTF-8, CR LF shown as "|".
    std::string Shown() const;
    std::string ChoiceCaption(int i) const;
    static std::string U(const std::string& sjis);  // Shift-JIS to UTF-8
    static std::string S(const std::string& utf8);  // UTF-8 to Shift-JIS

    std::unique_ptr<TTempFolder> Folder;
    TRecordingBackend Backend;
    std::vector<std::string> Calls;  // services called, e.g. "MidiPlay dat\bgm.mid 1"

    TPanel Page1{"Page1"}, Page2{"Page2"}, PanelCg{"PanelCg"}, PanelText{"PanelText"};
    TLabel LabMain{"LabMain"};
    TImage Image1{"Image1"};
    std::vector<std::unique_ptr<TLabel>> Choices;
    std::vector<std::unique_ptr<TButton>> LoadButtons;
};
