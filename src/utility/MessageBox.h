#pragma once

#include <functional>
#include <string>

// <windows.h> defines MessageBox as a macro for MessageBoxA or MessageBoxW, which would
// rename this class in every file that includes both.
#ifdef MessageBox
#undef MessageBox
#endif

namespace zlv {

// Every message the program shows goes through here, so that tests can answer them in
// advance and never block on a modal box. The GUI installs a handler that shows a real
// message box; without one, the default button is taken and the text goes to stderr.
class MessageBox final
{
public:
    enum class Icon
    {
        None,
        Critical,
        Question,
        Exclamation,
        Information
    };
    enum class Buttons
    {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel
    };
    enum class Answer
    {
        Ok,
        Cancel,
        Yes,
        No
    };

    struct Request
    {
        std::string text;
        std::string title; // the product name when empty
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer defaultButton = Answer::Ok;
    };

    using Handler = std::function<Answer(const Request&)>;

    static constexpr const char* kProductName = "Zelvory";

    // Shows the message; the box closed without a choice answers Cancel (or Ok where Ok is
    // the only button).
    static Answer show(Request request);
    static Answer show(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                       Answer defaultButton = Answer::Ok, const std::string& title = {});

    // Replaces the handler; returns the previous one so that it can be put back.
    static Handler setHandler(Handler handler);
};

} // namespace zlv
