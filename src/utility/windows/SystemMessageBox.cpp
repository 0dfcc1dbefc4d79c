#include "utility/windows/SystemMessageBox.h"

#include "utility/MessageBox.h"
#include "utility/windows/WinText.h"

#include <vector>

namespace zlv::win {

namespace {

UINT IconFlag(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::None:
        return 0;
    case MessageBox::Icon::Critical:
        return MB_ICONHAND;
    case MessageBox::Icon::Question:
        return MB_ICONQUESTION;
    case MessageBox::Icon::Exclamation:
        return MB_ICONEXCLAMATION;
    case MessageBox::Icon::Information:
        return MB_ICONINFORMATION;
    }
    return 0;
}

std::vector<MessageBox::Answer> ButtonsOf(MessageBox::Buttons buttons)
{
    using A = MessageBox::Answer;
    switch (buttons) {
    case MessageBox::Buttons::Ok:
        return {A::Ok};
    case MessageBox::Buttons::OkCancel:
        return {A::Ok, A::Cancel};
    case MessageBox::Buttons::YesNo:
        return {A::Yes, A::No};
    case MessageBox::Buttons::YesNoCancel:
        return {A::Yes, A::No, A::Cancel};
    }
    return {A::Ok};
}

UINT ButtonsFlag(MessageBox::Buttons buttons)
{
    switch (buttons) {
    case MessageBox::Buttons::Ok:
        return MB_OK;
    case MessageBox::Buttons::OkCancel:
        return MB_OKCANCEL;
    case MessageBox::Buttons::YesNo:
        return MB_YESNO;
    case MessageBox::Buttons::YesNoCancel:
        return MB_YESNOCANCEL;
    }
    return MB_OK;
}

UINT DefaultFlag(const MessageBox::Request& request)
{
    static constexpr UINT kDefaults[] = {MB_DEFBUTTON1, MB_DEFBUTTON2, MB_DEFBUTTON3};
    const auto buttons = ButtonsOf(request.buttons);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] == request.defaultButton) {
            return kDefaults[i];
        }
    }
    return MB_DEFBUTTON1;
}

MessageBox::Answer AnswerOf(int result, MessageBox::Buttons buttons)
{
    switch (result) {
    case IDOK:
        return MessageBox::Answer::Ok;
    case IDYES:
        return MessageBox::Answer::Yes;
    case IDNO:
        return MessageBox::Answer::No;
    default:
        // Cancelled, closed, or the box could not be shown at all: nothing was chosen.
        return buttons == MessageBox::Buttons::Ok ? MessageBox::Answer::Ok
                                                  : MessageBox::Answer::Cancel;
    }
}

} // namespace

void InstallSystemMessageBoxes(std::function<HWND()> owner)
{
    MessageBox::setHandler([owner = std::move(owner)](const MessageBox::Request& request) {
        HWND window = owner ? owner() : nullptr;
        UINT flags = IconFlag(request.icon) | ButtonsFlag(request.buttons) | DefaultFlag(request);
        if (!window || !IsWindowVisible(window)) {
            // Nothing of ours on screen to sit over: the box must not hide behind other
            // programs' windows.
            window = nullptr;
            flags |= MB_TASKMODAL | MB_SETFOREGROUND;
        }
        const int result =
            MessageBoxW(window, Widen(request.text).c_str(), Widen(request.title).c_str(), flags);
        return AnswerOf(result, request.buttons);
    });
}

} // namespace zlv::win
