#include "WinTestSupport.h"
#include "capture/windows/mdlPubSubClass.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <tuple>

using namespace zlv;
using namespace zlv::test;
using mdlPubSubClass::HexHandle;

namespace {

LONG_PTR ProcedureOf(HWND hwnd)
{
    return GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
}

LONG_PTR StoredProcedure(HWND hwnd)
{
    return reinterpret_cast<LONG_PTR>(GetPropA(hwnd, "OldWndProc"));
}

const auto kOwn = reinterpret_cast<LONG_PTR>(&PlainWindow::Procedure);

class SubClassTest : public ::testing::Test
{
protected:
    // Undone before the window goes: a window whose kept procedure is the capture procedure
    // itself (a faulty second subclass) would recurse until the stack ran out.
    void TearDown() override
    {
        mdlPubSubClass::Unsubclass(hwnd);
        mdlPubSubClass::SetReceiver(hwnd, {});
    }

    ScriptedMessages messages;
    PlainWindow window{"abc"};
    const HWND hwnd = window.handle();
};

} // namespace

TEST_F(SubClassTest, TheProcedureIsKeptOnTheWindowPutBackAndASecondSubclassFailsSayingSo)
{
    EXPECT_EQ(HexHandle(reinterpret_cast<HWND>(0x5E4)), "5E4");
    EXPECT_EQ(HexHandle(reinterpret_cast<HWND>(0xABCDEF0012ull)), "ABCDEF0012");
    EXPECT_EQ(HexHandle(nullptr), "0");

    ASSERT_EQ(ProcedureOf(hwnd), kOwn);
    ASSERT_TRUE(mdlPubSubClass::Subclass(hwnd));
    EXPECT_EQ(ProcedureOf(hwnd), reinterpret_cast<LONG_PTR>(&mdlPubSubClass::CaptureWindowProc));
    EXPECT_EQ(StoredProcedure(hwnd), kOwn);

    // Had the second attempt stored the capture procedure as "previous", the undo would not
    // restore the window's own procedure.
    EXPECT_FALSE(mdlPubSubClass::Subclass(hwnd));
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, "Unable to successfully subclass &H" + HexHandle(hwnd));
    EXPECT_EQ(messages.shown()[0].title, "Zelvory");
    EXPECT_EQ(messages.shown()[0].icon, MessageBox::Icon::Critical);
    EXPECT_EQ(messages.shown()[0].buttons, MessageBox::Buttons::Ok);
    EXPECT_EQ(StoredProcedure(hwnd), kOwn);

    EXPECT_TRUE(mdlPubSubClass::Unsubclass(hwnd));
    EXPECT_EQ(StoredProcedure(hwnd), 0);
    EXPECT_EQ(ProcedureOf(hwnd), kOwn);
    EXPECT_FALSE(mdlPubSubClass::Unsubclass(hwnd)) << "nothing left to undo";
    EXPECT_TRUE(mdlPubSubClass::Subclass(hwnd)) << "again after a clean undo";
}

TEST_F(SubClassTest, NotificationsReachTheReceiverBeforeThePreviousProcedureWhoseResultIsReturned)
{
    using Call = std::tuple<WPARAM, LPARAM, int>; // and how often the window had it by then
    std::vector<Call> calls;
    mdlPubSubClass::SetReceiver(
        hwnd, [&](WPARAM w, LPARAM l) { calls.emplace_back(w, l, window.count(kNotify)); });
    ASSERT_TRUE(mdlPubSubClass::Subclass(hwnd));

    // The receiver runs to its end first, then the message is passed on.
    EXPECT_EQ(SendMessageA(hwnd, kNotify, 0x1234, 0x2), PlainWindow::kNotifyResult);
    EXPECT_EQ(calls, (std::vector<Call>{{0x1234, 0x2, 0}}));
    EXPECT_EQ(window.count(kNotify), 1);

    // Other messages are passed on untouched and never reach the receiver.
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0), 3);
    EXPECT_EQ(window.count(WM_GETTEXTLENGTH), 1);
    EXPECT_EQ(calls.size(), 1u);

    // An exception must not unwind through the system's dispatch frames; the window goes on.
    mdlPubSubClass::SetReceiver(hwnd, [](WPARAM, LPARAM) { throw std::runtime_error("boom"); });
    EXPECT_EQ(SendMessageA(hwnd, kNotify, 0, 0x2), PlainWindow::kNotifyResult);
    EXPECT_EQ(window.count(kNotify), 2);

    // With its property taken there is nothing to chain to: the default handling answers
    // instead of a call through null.
    RemovePropA(hwnd, "OldWndProc");
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0), 3);
    EXPECT_EQ(window.count(WM_GETTEXTLENGTH), 1);
    EXPECT_FALSE(mdlPubSubClass::Unsubclass(hwnd));
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, kOwn);
}

TEST_F(SubClassTest, DestroyingASubclassedWindowUndoesTheSubclassAndSaysSo)
{
    PlainWindow doomed;
    const HWND handle = doomed.handle();
    int received = 0;
    mdlPubSubClass::SetReceiver(handle, [&](WPARAM, LPARAM) { ++received; });
    ASSERT_TRUE(mdlPubSubClass::Subclass(handle));

    DestroyWindow(handle);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, "Unubclassed &H" + HexHandle(handle));
    EXPECT_EQ(messages.shown()[0].title, "WndProc Error");
    EXPECT_EQ(messages.shown()[0].icon, MessageBox::Icon::Critical);
    EXPECT_EQ(doomed.count(WM_NCDESTROY), 1) << "the last message still reaches the window";

    // A new window may get the same handle; it must not inherit the old receiver.
    mdlPubSubClass::CaptureWindowProc(handle, kNotify, 0, 0x2);
    EXPECT_EQ(received, 0);

    // A window that is gone cannot be subclassed.
    EXPECT_FALSE(mdlPubSubClass::Subclass(handle));
    ASSERT_EQ(messages.shown().size(), 2u);
    EXPECT_EQ(messages.shown()[1].text, "Unable to successfully subclass &H" + HexHandle(handle));
}
