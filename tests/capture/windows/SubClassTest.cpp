#include "WinTestSupport.h"
#include "capture/windows/mdlPubSubClass.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace zlv;
using zlv::test::PlainWindow;
using zlv::test::PrintfHex;
using zlv::test::ScriptedMessages;

namespace {

constexpr UINT kNotify = 0x0401;

LONG_PTR ProcedureOf(HWND hwnd)
{
    return GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
}

HANDLE StoredProcedure(HWND hwnd)
{
    return GetPropA(hwnd, "OldWndProc");
}

class SubClassTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        mdlPubSubClass::Unsubclass(window.handle());
        mdlPubSubClass::SetReceiver(window.handle(), {});
    }

    ScriptedMessages messages;
    PlainWindow window{"abc"};
};

} // namespace

TEST_F(SubClassTest, SubclassKeepsThePreviousProcedureOnTheWindowAndUnsubclassPutsItBack)
{
    const HWND hwnd = window.handle();
    const LONG_PTR original = ProcedureOf(hwnd);
    ASSERT_EQ(original, reinterpret_cast<LONG_PTR>(PlainWindow::procedure()));

    ASSERT_TRUE(mdlPubSubClass::Subclass(hwnd));
    EXPECT_EQ(ProcedureOf(hwnd), reinterpret_cast<LONG_PTR>(&mdlPubSubClass::CaptureWindowProc));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(StoredProcedure(hwnd)), original);

    EXPECT_TRUE(mdlPubSubClass::Unsubclass(hwnd));
    EXPECT_EQ(StoredProcedure(hwnd), nullptr);
    EXPECT_EQ(ProcedureOf(hwnd), original);
    EXPECT_FALSE(mdlPubSubClass::Unsubclass(hwnd)) << "nothing left to undo";
    EXPECT_TRUE(messages.shown().empty());

    // Subclassing again after a clean undo works like the first time.
    EXPECT_TRUE(mdlPubSubClass::Subclass(hwnd));
}

TEST_F(SubClassTest, NotificationsReachTheReceiverBeforeThePreviousProcedureWhoseResultIsReturned)
{
    const HWND hwnd = window.handle();
    struct Call
    {
        WPARAM wParam;
        LPARAM lParam;
        int passedOnBefore;
    };
    std::vector<Call> calls;
    mdlPubSubClass::SetReceiver(hwnd, [&](WPARAM w, LPARAM l) {
        calls.push_back({w, l, window.count(kNotify)});
    });
    ASSERT_TRUE(mdlPubSubClass::Subclass(hwnd));

    EXPECT_EQ(SendMessageA(hwnd, kNotify, 0x1234, 0x2), PlainWindow::kNotifyResult);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].wParam, 0x1234u);
    EXPECT_EQ(calls[0].lParam, 0x2);
    EXPECT_EQ(calls[0].passedOnBefore, 0) << "the receiver runs to its end first";
    EXPECT_EQ(window.count(kNotify), 1) << "and the message is still passed on";

    // Other messages are passed on untouched and never reach the receiver.
    SetWindowTextA(hwnd, "four");
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0), 4);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 2, 0, 0), 0);
    EXPECT_EQ(calls.size(), 1u);

    // An exception must not unwind through the system's dispatch frames; the window goes on.
    mdlPubSubClass::SetReceiver(hwnd, [](WPARAM, LPARAM) { throw std::runtime_error("boom"); });
    EXPECT_EQ(SendMessageA(hwnd, kNotify, 0, 0x2), PlainWindow::kNotifyResult);
    EXPECT_EQ(window.count(kNotify), 2);
}

TEST_F(SubClassTest, SubclassingTwiceFailsWithTheHandleInHexAndLeavesTheWindowAsItWas)
{
    const HWND hwnd = window.handle();
    ASSERT_TRUE(mdlPubSubClass::Subclass(hwnd));
    const LONG_PTR procedure = ProcedureOf(hwnd);
    const HANDLE stored = StoredProcedure(hwnd);

    EXPECT_FALSE(mdlPubSubClass::Subclass(hwnd));
    ASSERT_EQ(messages.shown().size(), 1u);
    const MessageBox::Request& shown = messages.shown()[0];
    EXPECT_EQ(shown.text, "Unable to successfully subclass &H" + PrintfHex(hwnd));
    EXPECT_EQ(shown.title, "Zelvory");
    EXPECT_EQ(shown.icon, MessageBox::Icon::Critical);
    EXPECT_EQ(shown.buttons, MessageBox::Buttons::Ok);
    EXPECT_EQ(ProcedureOf(hwnd), procedure);
    EXPECT_EQ(StoredProcedure(hwnd), stored);

    // Had the second attempt stored the capture procedure as "previous", the first
    // undo would not restore the window's own procedure.
    EXPECT_TRUE(mdlPubSubClass::Unsubclass(hwnd));
    EXPECT_EQ(ProcedureOf(hwnd), reinterpret_cast<LONG_PTR>(PlainWindow::procedure()));

    PlainWindow gone;
    const HWND dead = gone.handle();
    DestroyWindow(dead);
    EXPECT_FALSE(mdlPubSubClass::Subclass(dead));
    ASSERT_EQ(messages.shown().size(), 2u);
    EXPECT_EQ(messages.shown()[1].text, "Unable to successfully subclass &H" + PrintfHex(dead));
}

TEST(SubClassHex, HandlesAreUpperCaseHexWithoutLeadingZeros)
{
    EXPECT_EQ(mdlPubSubClass::HexHandle(reinterpret_cast<HWND>(0x5E4)), "5E4");
    EXPECT_EQ(mdlPubSubClass::HexHandle(reinterpret_cast<HWND>(0x10)), "10");
    EXPECT_EQ(mdlPubSubClass::HexHandle(reinterpret_cast<HWND>(0xABCDEF0012ull)), "ABCDEF0012");
    EXPECT_EQ(mdlPubSubClass::HexHandle(nullptr), "0");
}

TEST_F(SubClassTest, DestroyingASubclassedWindowUndoesTheSubclassAndSaysSo)
{
    PlainWindow doomed;
    const HWND hwnd = doomed.handle();
    int received = 0;
    mdlPubSubClass::SetReceiver(hwnd, [&](WPARAM, LPARAM) { ++received; });
    ASSERT_TRUE(mdlPubSubClass::Subclass(hwnd));

    DestroyWindow(hwnd);
    ASSERT_EQ(messages.shown().size(), 1u);
    const MessageBox::Request& shown = messages.shown()[0];
    EXPECT_EQ(shown.text, "Unubclassed &H" + PrintfHex(hwnd));
    EXPECT_EQ(shown.title, "WndProc Error");
    EXPECT_EQ(shown.icon, MessageBox::Icon::Critical);
    EXPECT_EQ(doomed.count(WM_NCDESTROY), 1) << "the last message still reaches the window";

    // A new window may get the same handle; it must not inherit the old receiver.
    mdlPubSubClass::CaptureWindowProc(hwnd, kNotify, 0, 0x2);
    EXPECT_EQ(received, 0);
}

TEST_F(SubClassTest, AWindowWhosePropertyWasTakenStillGetsAnswers)
{
    const HWND hwnd = window.handle();
    ASSERT_TRUE(mdlPubSubClass::Subclass(hwnd));
    RemovePropA(hwnd, "OldWndProc");

    // Nothing to chain to: the default handling answers instead of a call through null.
    EXPECT_EQ(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0), 3);
    EXPECT_FALSE(mdlPubSubClass::Unsubclass(hwnd));
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PlainWindow::procedure()));
}
