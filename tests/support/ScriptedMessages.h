#pragma once

#include "utility/MessageBox.h"

#include <deque>
#include <string>
#include <vector>

namespace zlv::test {

// Answers every message box from a script instead of showing it, and keeps what was asked.
// Unscripted boxes take their default button. Restores the previous handler when it goes.
class ScriptedMessages
{
public:
    ScriptedMessages()
    {
        m_previous = MessageBox::setHandler([this](const MessageBox::Request& r) {
            m_shown.push_back(r);
            if (m_answers.empty()) {
                return r.defaultButton;
            }
            const MessageBox::Answer a = m_answers.front();
            m_answers.pop_front();
            return a;
        });
    }
    ~ScriptedMessages() { MessageBox::setHandler(std::move(m_previous)); }
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    void answerNext(MessageBox::Answer a) { m_answers.push_back(a); }
    const std::vector<MessageBox::Request>& shown() const { return m_shown; }
    // The texts of the boxes shown so far, in order.
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const MessageBox::Request& r : m_shown) {
            out.push_back(r.text);
        }
        return out;
    }
    void clear() { m_shown.clear(); }

private:
    MessageBox::Handler m_previous;
    std::deque<MessageBox::Answer> m_answers;
    std::vector<MessageBox::Request> m_shown;
};

} // namespace zlv::test
