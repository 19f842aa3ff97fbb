#include "ui/Unit2.h"

#include "engine/UnitRK.h"
#include "platform/Errors.h"
#include "platform/PictureArea.h"
#include "platform/ShiftJis.h"
#include "platform/audio/AudioDevice.h"

#include "timing/MyTime.h"

#include <algorithm>
#include <string>

TForm1* Form1 = nullptr;

namespace {

constexpr TColor PictureAreaColor = 0x444444;
constexpr TColor MenuCaptionColor = 0xEEEEEE;

// Controls take their parent's font and colour unless they set their own.
void InheritLook(TControl& control, const TControl& parent)
{
    control.Font = parent.Font;
    control.Color = parent.Color;
}

void SetupButton(TButton& button, TControl& parent, int left, int top, int width, const char* utf8Caption, int tag,
                 int tabOrder)
{
    Place(button, parent, left, top, width, 20);
    button.Caption = Sjis::FromUtf8(utf8Caption);
    button.Color = Colors::ButtonFace;
    button.Font = TFont{Colors::Black, 12, true};
    button.Tag = tag;
    button.TabOrder = tabOrder;
}

template <class T>
T* Find(TControl& root, const std::string& name)
{
    T* control = dynamic_cast<T*>(root.FindControl(name));
    if (!control)
        throw Exception(Sjis::FromUtf8("control not found: " + name));
    return control;
}

}  // namespace

TForm1::TForm1() : TForm("Form1")
{
    // The design-time size; FormCreate shrinks the client area to the story's window.
    Width = 535;
    Height = 348;
    WindowLeft = 220;
    WindowTop = 142;
    Color = Colors::ButtonFace;
    Font = TFont{Colors::Black, 12, false};
    BuildGamePage();
    BuildDataMenu();
    WireEvents();
}

void TForm1::BuildGamePage()
{
    Place(Page1, *this, -1, -1, 156, 144);
    InheritLook(Page1, *this);
    Page1.Color = Colors::Fuchsia;  // never seen: the two areas cover it
    Page1.BevelOuter = TBevel::Lowered;

    Place(PanelCg, Page1, 0, 0, PictureArea::Width, PictureArea::Height);
    InheritLook(PanelCg, Page1);
    PanelCg.Color = PictureAreaColor;

    Place(Image1, PanelCg, 8, 8, 97, 49);
    InheritLook(Image1, PanelCg);
    Image1.AutoSize = true;
    Image1.Visible = false;

    Place(PanelText, Page1, 0, 96, 156, 48);
    PanelText.Color = Colors::Black;
    PanelText.Font = TFont{Colors::Black, 12, false};

    Place(LabMain, PanelText, 4, 3, 148, 42);
    LabMain.Color = PanelText.Color;
    LabMain.Font = TFont{Colors::White, 13, false};
    LabMain.Alignment = TAlignment::LeftJustify;

    TLabel* choices[] = {&Label0, &Label1, &Label2, &Label3, &Label4, &Label5};
    for (int i = 0; i < 6; ++i) {
        TLabel& label = *choices[i];
        Place(label, PanelText, i < 3 ? 4 : 80, 3 + 15 * (i % 3), 72, 13);
        InheritLook(label, PanelText);
        label.Alignment = TAlignment::Center;
        label.Visible = false;
    }
}

void TForm1::BuildDataMenu()
{
    Place(Page2, *this, -1, -1, 156, 144);
    InheritLook(Page2, *this);
    Page2.Color = PictureAreaColor;
    Page2.BevelOuter = TBevel::Lowered;
    Page2.Visible = false;

    // Sized to its caption, as an auto-sized label would be.
    Place(Label8, Page2, 40, 8, 91, 13);
    Label8.Color = Page2.Color;
    Label8.Font = TFont{MenuCaptionColor, 13, true};
    Label8.Caption = Sjis::FromUtf8("データメニュー");

    // Keyboard order: slot 1, slot 2, slot 0 for saving, the same for loading, then Cancel.
    SetupButton(ButSave0, Page2, 8, 32, 65, "セーブ ０", 0, 2);
    SetupButton(ButSave1, Page2, 8, 60, 65, "セーブ １", 1, 0);
    SetupButton(ButSave2, Page2, 8, 88, 65, "セーブ ２", 2, 1);
    SetupButton(ButLoad0, Page2, 85, 32, 65, "ロード ０", 0, 5);
    SetupButton(ButLoad1, Page2, 85, 60, 65, "ロード １", 1, 3);
    SetupButton(ButLoad2, Page2, 85, 88, 65, "ロード ２", 2, 4);
    SetupButton(But2Cancel, Page2, 40, 120, 75, "キャンセル", 0, 6);
}

void TForm1::WireEvents()
{
    auto bind = [this](void (TForm1::*handler)(TControl&)) {
        return [this, handler](TControl& sender) { (this->*handler)(sender); };
    };
    OnPaint = bind(&TForm1::FormPaint);
    OnKeyDown = [this](TControl& sender, int key, bool repeat) { FormKeyDown(sender, key, repeat); };
    OnKeyUp = [this](TControl& sender, int key, bool repeat) { FormKeyUp(sender, key, repeat); };
    for (TControl* c : std::initializer_list<TControl*>{&PanelCg, &Image1, &PanelText, &LabMain}) {
        c->OnClick = bind(&TForm1::PanelCgClick);
        c->OnDblClick = bind(&TForm1::PanelCgClick);
        c->OnMouseMove = bind(&TForm1::SelectsMouseOut);
        c->OnContextPopup = bind(&TForm1::OnRightClick);
    }
    for (TControl* c : std::initializer_list<TControl*>{&Label0, &Label1, &Label2, &Label3, &Label4, &Label5}) {
        c->OnClick = bind(&TForm1::SelectsClick);
        c->OnMouseMove = bind(&TForm1::SelectsMouseMove);
        c->OnContextPopup = bind(&TForm1::OnRightClick);
    }
    for (TControl* c : std::initializer_list<TControl*>{&Page2, &Label8, &ButSave0, &ButSave1, &ButSave2, &ButLoad0,
                                                        &ButLoad1, &ButLoad2, &But2Cancel})
        c->OnContextPopup = bind(&TForm1::On2Cancel);
    But2Cancel.OnClick = bind(&TForm1::But2CancelClick);
    for (TControl* c : std::initializer_list<TControl*>{&ButSave0, &ButSave1, &ButSave2})
        c->OnClick = bind(&TForm1::OnSave);
    for (TControl* c : std::initializer_list<TControl*>{&ButLoad0, &ButLoad1, &ButLoad2})
        c->OnClick = bind(&TForm1::OnLoad);
}

void TForm1::FormCreate()
{
    UnitRK::Services.MidiClose();
    UnitRK::Services.WaveStop();
    Width = 154;
    Height = 142;
    MyTime::TimerInit();
    Page1.Left = -1;
    Page1.Top = -1;
    Page1.Width = 156;
    Page1.Height = 144;
    Page1.Visible = false;
    Image1.Visible = false;
    LabMain.Caption = "";
    Page2.Left = -1;
    Page2.Top = -1;
    Page2.Width = 156;
    Page2.Height = 144;
    Page2.Visible = false;
    Page1.Visible = true;

    for (int n = 0; n <= 5; ++n) {
        Selects[n] = Find<TLabel>(*this, "Label" + std::to_string(n));
        Selects[n]->Tag = n;
    }
    for (int n = 0; n <= 2; ++n) {
        Selects[6 + n] = Find<TButton>(*this, "ButLoad" + std::to_string(n));
        Selects[6 + n]->Tag = n;
    }
    UnitRK::SetLimits(3, 5, 72, 148);
    std::vector<TLabel*> choices;
    for (int n = 0; n <= 5; ++n)
        choices.push_back(static_cast<TLabel*>(Selects[n]));
    std::vector<TButton*> loads;
    for (int n = 6; n <= 8; ++n)
        loads.push_back(static_cast<TButton*>(Selects[n]));
    UnitRK::BindControls(&LabMain, &Image1, choices, &PanelCg, &Page1, &Page2, loads);
    UnitRK::ResetEngine();
    if (!UnitRK::LoadScript(UnitRK::ScriptPath))
        return;
    // Timer 2 carries the story on after every command, so it runs whatever the first step
    // did: a first line that fails is reported, and once a click gets past it the commands
    // after it still go on by themselves.
    try {
        if (FirstStep)
            FirstStep();
        else
            UnitRK::Advance();
    } catch (...) {
        MyTime::SetTimerInterval(2, 100);
        throw;
    }
    MyTime::SetTimerInterval(2, 100);
}

void TForm1::FormPaint(TControl&) { MyTime::MainLoop(); }

void TForm1::PanelCgClick(TControl&)
{
    if (ReaderClick)
        ReaderClick(false);
    if (!ReaderTakes(Keys::Click))
        StepStory();
}

void TForm1::StepStory() { UnitRK::Advance(); }

void TForm1::SelectsClick(TControl& sender)
{
    if (ReaderClick)
        ReaderClick(true);
    UnitRK::SelectChoice(sender.Tag);
}

void TForm1::SelectsMouseMove(TControl& sender) { UnitRK::HighlightChoice(sender.Tag); }

void TForm1::SelectsMouseOut(TControl&) { UnitRK::ClearHighlight(); }

void TForm1::OnRightClick(TControl&)
{
    if (ReaderClick)
        ReaderClick(false);
    if (!ReaderTakes(Keys::ContextMenu))
        UnitRK::OpenDataMenu();
}

bool TForm1::ReaderTakes(int key, bool repeat) { return ReaderInput && ReaderInput(key, repeat); }

void TForm1::On2Cancel(TControl&) { UnitRK::CloseDataMenu(); }

void TForm1::But2CancelClick(TControl&) { UnitRK::CloseDataMenu(); }

void TForm1::OnSave(TControl& sender) { UnitRK::SaveSlot(sender.Tag); }

void TForm1::OnLoad(TControl& sender) { UnitRK::LoadSlot(sender.Tag); }

std::vector<int> TForm1::VisibleChoices() const
{
    std::vector<int> visible;
    for (int n = 0; n <= 5; ++n)
        if (Selects[n] && Selects[n]->Showing())
            visible.push_back(n);
    return visible;
}

// Keyboard play: each key does what a click does somewhere on the game page. The data menu has
// its buttons' own keys, and Escape, which the window sends as a right click.
void TForm1::FormKeyDown(TControl&, int key, bool repeat)
{
    if (ReaderKeyDown && ReaderKeyDown(key, repeat))
        return;
    if (ReaderTakes(key, repeat))
        return;
    if (key == 'M') {
        if (!repeat)
            Audio::SetMuted(!Audio::Muted());
        return;
    }
    if (key == Keys::F5) {
        // For authors: the script as it is now, the story going on from the same line.
        if (!repeat)
            UnitRK::ReloadScript();
        return;
    }
    if (!Page1.Showing())
        return;
    std::vector<int> choices = VisibleChoices();
    auto hot = std::find(choices.begin(), choices.end(), UnitRK::Rk.HotChoice);
    switch (key) {
    case Keys::Up:
    case Keys::Down:
        if (choices.empty()) {
            if (key == Keys::Down)
                UnitRK::Advance();
        } else if (hot == choices.end()) {
            UnitRK::HighlightChoice(key == Keys::Down ? choices.front() : choices.back());
        } else {
            size_t at = size_t(hot - choices.begin()), count = choices.size();
            UnitRK::HighlightChoice(choices[key == Keys::Down ? (at + 1) % count : (at + count - 1) % count]);
        }
        return;
    case Keys::Return:
        if (hot != choices.end()) {
            if (!repeat)
                UnitRK::SelectChoice(*hot);
            return;
        }
        UnitRK::Advance();
        return;
    case Keys::Space:
    case Keys::PageDown:
    case Keys::WheelDown:  // as a click on the picture
        UnitRK::Advance();
        return;
    default:
        if (key >= '1' && key <= '6' && !repeat && size_t(key - '1') < choices.size())
            UnitRK::SelectChoice(choices[size_t(key - '1')]);
        return;
    }
}

void TForm1::FormKeyUp(TControl&, int key, bool)
{
    if (ReaderKeyUp)
        ReaderKeyUp(key);
}
