#include "utility/MessageBox.h"

#include <cstdio>
#include <mutex>

namespace zlv {

namespace {

std::mutex g_mutex;
MessageBox::Handler g_handler;

} // namespace

MessageBox::Answer MessageBox::show(Request request)
{
    if (request.title.empty()) {
        request.title = kProductName;
    }
    Handler handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    if (handler) {
        return handler(request);
    }
    std::fprintf(stderr, "%s: %s\n", request.title.c_str(), request.text.c_str());
    return request.defaultButton;
}

MessageBox::Answer MessageBox::show(const std::string& text, Icon icon, Buttons buttons,
                                    Answer defaultButton, const std::string& title)
{
    return show(Request{text, title, icon, buttons, defaultButton});
}

MessageBox::Handler MessageBox::setHandler(Handler handler)
{
    std::lock_guard lock(g_mutex);
    std::swap(g_handler, handler);
    return handler;
}

} // namespace zlv
