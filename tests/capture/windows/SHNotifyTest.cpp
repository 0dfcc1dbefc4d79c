#include "WinTestSupport.h"
#include "capture/windows/mdlPubSHNotify.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace zlv;
using zlv::test::PlainWindow;
using zlv::test::PumpFor;
using zlv::test::PumpUntil;

namespace {

constexpr UINT kNotify = 0x0401;

// A change the shell reports to every registered window.
void NotifyCreated(const std::string& path)
{
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, path.c_str(), nullptr);
}

class SHNotifyTest : public ::testing::Test
{
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }

    zlv::test::TempDir dir;
    PlainWindow window;
};

} // namespace

TEST_F(SHNotifyTest, RegistersOnceDeregistersOnceAndHoldsTheDesktopListInBetween)
{
    mdlPubSHNotify shell;
    EXPECT_FALSE(shell.deregister()) << "nothing registered yet";

    ASSERT_TRUE(shell.registerWindow(window.handle()));
    const ULONG handle = shell.handle();
    EXPECT_NE(handle, 0u);
    ASSERT_NE(shell.desktopItemList(), nullptr);
    EXPECT_EQ(shell.desktopItemList()->mkid.cb, 0) << "the desktop is the empty list";

    EXPECT_FALSE(shell.registerWindow(window.handle()));
    EXPECT_EQ(shell.handle(), handle);

    // Registered once, so one message per change, and it is the message asked for.
    NotifyCreated(dir / "one.txt");
    ASSERT_TRUE(PumpUntil([&] { return window.count(kNotify) >= 1; }));
    PumpFor(200);
    EXPECT_EQ(window.count(kNotify), 1);

    EXPECT_TRUE(shell.deregister());
    EXPECT_EQ(shell.handle(), 0u);
    EXPECT_EQ(shell.desktopItemList(), nullptr);
    EXPECT_FALSE(shell.deregister());

    NotifyCreated(dir / "two.txt");
    PumpFor(300);
    EXPECT_EQ(window.count(kNotify), 1) << "nothing arrives after deregistration";

    // And the cycle can start again.
    ASSERT_TRUE(shell.registerWindow(window.handle()));
    NotifyCreated(dir / "three.txt");
    EXPECT_TRUE(PumpUntil([&] { return window.count(kNotify) == 2; }));
    EXPECT_TRUE(shell.deregister());
}

TEST_F(SHNotifyTest, EndingTheObjectEndsTheRegistration)
{
    {
        mdlPubSHNotify shell;
        ASSERT_TRUE(shell.registerWindow(window.handle()));
    }
    NotifyCreated(dir / "late.txt");
    PumpFor(300);
    EXPECT_EQ(window.count(kNotify), 0);
}

TEST_F(SHNotifyTest, SpecialFolderItemLists)
{
    PIDLIST_ABSOLUTE desktop = mdlPubSHNotify::SpecialFolderItemList(nullptr, CSIDL_DESKTOP);
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(desktop->mkid.cb, 0);
    CoTaskMemFree(desktop);

    EXPECT_EQ(mdlPubSHNotify::SpecialFolderItemList(nullptr, 0x7F), nullptr)
        << "no such special folder";
}
