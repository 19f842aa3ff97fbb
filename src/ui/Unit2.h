// The main window: a picture area above three message lines, six choice labels over the
// message lines, and the data menu page that replaces everything on a right click. Every
// handler only forwards to the engine (keys to the operations the mouse reaches).
#pragma once

#include "platform/Button.h"
#include "platform/Form.h"
#include "platform/Image.h"
#include "platform/Label.h"
#include "platform/Panel.h"

#include <array>
#include <functional>
#include <vector>

class TForm1 : public TForm {
public:
    // Builds the controls as laid out at design time and wires their events; FormCreate is
    // run separately so that its errors can be reported around it.
    TForm1();

    // Game page.
    TPanel Page1{"Page1"};
    TPanel PanelCg{"PanelCg"};
    TImage Image1{"Image1"};
    TPanel PanelText{"PanelText"};
    TLabel LabMain{"LabMain"};
    TLabel Label0{"Label0"}, Label1{"Label1"}, Label2{"Label2"};
    TLabel Label3{"Label3"}, Label4{"Label4"}, Label5{"Label5"};

    // Data menu page.
    TPanel Page2{"Page2"};
    TLabel Label8{"Label8"};
    TButton ButSave0{"ButSave0"}, ButSave1{"ButSave1"}, ButSave2{"ButSave2"};
    TButton ButLoad0{"ButLoad0"}, ButLoad1{"ButLoad1"}, ButLoad2{"ButLoad2"};
    TButton But2Cancel{"But2Cancel"};

    // The six choice labels in index order, then the three load buttons in slot order.
    std::array<TControl*, 9> Selects{};

    // The story's first step when it does not begin at its top (a start at a label); FormCreate
    // runs it in place of the first Advance.
    std::function<void()> FirstStep;

    // The reader's features (looking back, copying the text, help) see the keys, the wheel, and
    // clicks and context-menu requests on the game page first (as Keys::Click and
    // Keys::ContextMenu); true when they took one and the story is not to see it.
    std::function<bool(int key, bool repeat)> ReaderInput;
    // The reader's own features (skipping, auto play) hear the player first: a key pressed (true
    // when the reader took it for itself), Ctrl released, and a click on the game page or the data
    // menu's opening (`onChoice` for a click on a choice). Empty until the program binds them.
    std::function<bool(int key, bool repeat)> ReaderKeyDown;
    std::function<void(int key)> ReaderKeyUp;
    std::function<void(bool onChoice)> ReaderClick;

    void FormCreate();
    void FormPaint(TControl& sender);
    void PanelCgClick(TControl& sender);
    void SelectsClick(TControl& sender);
    void SelectsMouseMove(TControl& sender);
    void SelectsMouseOut(TControl& sender);
    void OnRightClick(TControl& sender);
    void On2Cancel(TControl& sender);
    void But2CancelClick(TControl& sender);
    void OnSave(TControl& sender);
    void OnLoad(TControl& sender);
    void FormKeyDown(TControl& sender, int key, bool repeat);
    void FormKeyUp(TControl& sender, int key, bool repeat);
    // What a click on the picture does to the story: the step the reader's skipping and auto play
    // take in its place, so that they go exactly as far, and fail exactly as, a click.
    void StepStory();

private:
    void BuildGamePage();
    void BuildDataMenu();
    void WireEvents();
    // Indices of the choice labels on screen, in reading order: the first column top to bottom,
    // then the second, which is their index order.
    std::vector<int> VisibleChoices() const;
    bool ReaderTakes(int key, bool repeat = false);
};

// The one main window, while it exists.
extern TForm1* Form1;
