#include "platform/Application.h"

#include "platform/Control.h"
#include "platform/Errors.h"
#include "platform/Form.h"
#include "platform/ShiftJis.h"

#include <cstdio>

TApplication& Application()
{
    static TApplication app;
    return app;
}

void TApplication::Terminate() { Post({TMessageKind::Quit, nullptr}); }

void TApplication::Post(const TMessage& message) { Queue.push_back(message); }

void TApplication::ProcessMessages()
{
    if (Backend)
        Backend->CollectEvents(*this);
    while (!Queue.empty()) {
        TMessage message = Queue.front();
        Queue.pop_front();
        Guard([&] { Dispatch(message); });
    }
    Present();
}

void TApplication::Present()
{
    if (Backend)
        Backend->Present();
}

void TApplication::WaitForEvent(int ms)
{
    if (Backend && Queue.empty())
        Backend->WaitForEvent(ms);
}

void TApplication::Dispatch(const TMessage& message)
{
    TControl* target = message.Target;
    auto fire = [&](const TNotifyEvent& event) {
        if (event)
            event(*target);
    };
    switch (message.Kind) {
    case TMessageKind::Quit:
        TerminatedFlag = true;
        return;
    case TMessageKind::Click:
        fire(target->OnClick);
        return;
    case TMessageKind::DblClick:
        fire(target->OnDblClick);
        return;
    case TMessageKind::MouseMove:
        fire(target->OnMouseMove);
        return;
    case TMessageKind::ContextPopup:
        fire(target->OnContextPopup);
        return;
    case TMessageKind::Paint:
        if (target && target->Kind() == TControlKind::Form)
            fire(static_cast<TForm*>(target)->OnPaint);
        return;
    case TMessageKind::KeyDown:
        if (target && target->Kind() == TControlKind::Form) {
            auto& form = static_cast<TForm&>(*target);
            if (form.OnKeyDown)
                form.OnKeyDown(form, message.Key, message.Repeat);
        }
        return;
    case TMessageKind::KeyUp:
        if (target && target->Kind() == TControlKind::Form) {
            auto& form = static_cast<TForm&>(*target);
            if (form.OnKeyUp)
                form.OnKeyUp(form, message.Key, false);
        }
        return;
    }
}

void TApplication::MessageBox(const std::string& text, const std::string& caption, TMessageIcon icon)
{
    if (Backend) {
        Backend->ShowMessageBox(text, caption, icon);
        return;
    }
    // No window system at all: the text still reaches the person who started the program.
    std::fprintf(stderr, "%s: %s\n", Sjis::ToUtf8(caption).c_str(), Sjis::ToUtf8(text).c_str());
}

std::string ErrorReportText(const std::string& messageSjis)
{
    if (messageSjis.empty())
        return messageSjis;
    // The last character: a double-byte one starts with its lead byte, which sorts after ".".
    size_t last = 0;
    for (size_t i = 0; i < messageSjis.size(); i = Sjis::NextChar(messageSjis, i))
        last = i;
    if (static_cast<unsigned char>(messageSjis[last]) > '.')
        return messageSjis + ".";
    return messageSjis;
}

void TApplication::ShowException(const std::exception& error)
{
    std::string text = dynamic_cast<const Exception*>(&error) ? error.what() : Sjis::FromUtf8(error.what());
    if (ErrorReported)
        ErrorReported();
    MessageBox(ErrorReportText(text), Title, TMessageIcon::Stop);
}

void TApplication::Reset()
{
    Queue.clear();
    TerminatedFlag = false;
    Title.clear();
}
