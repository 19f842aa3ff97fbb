// The application object: the message queue, the terminate request, the message box and the
// error report. What it needs of the window system sits behind TUiBackend, so the engine and
// its tests run without any window.
#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class TControl;
class TApplication;

enum class TMessageKind { Click, DblClick, MouseMove, ContextPopup, Paint, KeyDown, KeyUp, Quit };

struct TMessage {
    TMessageKind Kind;
    TControl* Target = nullptr;
    int Key = 0;          // KeyDown, KeyUp: the key's code (Keys:: in Form.h)
    bool Repeat = false;  // KeyDown: sent again by the key being held down
};

enum class TMessageIcon { None, Stop };

class TUiBackend {
public:
    virtual ~TUiBackend() = default;
    // Moves every waiting window-system event into the application's queue; never waits.
    virtual void CollectEvents(TApplication& app) = 0;
    // Sleeps until a window-system event arrives or `ms` milliseconds have passed.
    virtual void WaitForEvent(int ms) = 0;
    // Brings the screen up to date with the controls (called when the queue has been emptied).
    virtual void Present() = 0;
    // A modal message box; returns when the user has closed it. Texts are Shift-JIS.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon) = 0;
};

class TApplication {
public:
    std::string Title;  // Shift-JIS; captions the error report
    // Told just before an error report goes up (the reader stops skipping there).
    std::function<void()> ErrorReported;

    // Queues a quit message; Terminated() turns true when message processing takes it.
    void Terminate();
    bool Terminated() const { return TerminatedFlag; }

    void Post(const TMessage& message);
    // Handles every queued message (and whatever the backend has waiting) and returns as soon
    // as the queue is empty. Never waits.
    void ProcessMessages();
    // Brings the screen up to date with work done outside a message (the timers').
    void Present();
    // Waits for the next window-system event, at most `ms` milliseconds.
    void WaitForEvent(int ms);

    void MessageBox(const std::string& text, const std::string& caption, TMessageIcon icon = TMessageIcon::None);

    // The error report: the error's text (with "." added when its last character sorts after
    // "."), captioned with Title, with the stop icon.
    void ShowException(const std::exception& error);

    // Runs a handler; an error escaping it is reported and the program goes on.
    template <class F>
    void Guard(F&& handler)
    {
        try {
            handler();
        } catch (const std::exception& e) {
            ShowException(e);
        }
    }

    void SetBackend(TUiBackend* backend) { Backend = backend; }
    TUiBackend* GetBackend() const { return Backend; }

    // Back to a fresh state (tests); what listens for error reports stays bound.
    void Reset();

private:
    void Dispatch(const TMessage& message);

    std::deque<TMessage> Queue;
    bool TerminatedFlag = false;
    TUiBackend* Backend = nullptr;
};

// The one application object of the process.
TApplication& Application();

// The text the error report shows for `message`.
std::string ErrorReportText(const std::string& messageSjis);
