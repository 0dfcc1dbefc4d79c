// The real program, started as a user starts it, in the Wine prefix's own application-data
// folder, and driven from this other process by window messages only.
#include "logstore/DataFolder.h"
#include "logstore/DayFile.h"
#include "mainwindow/windows/CommandIds.h"
#include "support/TempDir.h"
#include "support/windows/WindowDriver.h"
#include "utility/SystemUtility.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace zlv;
using namespace zlv::test;

namespace {

constexpr DWORD kPatienceMs = 30000;

struct Process
{
    PROCESS_INFORMATION info{};

    bool start(const std::wstring& arguments = {})
    {
        // The program's path as Windows names it: Wine maps the Unix folders to a drive.
        std::wstring command = L'"' + DosPath(ZLV_APP_PATH) + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info) != FALSE;
    }
    bool endsWithin(DWORD ms) const
    {
        return info.hProcess && WaitForSingleObject(info.hProcess, ms) == WAIT_OBJECT_0;
    }
    DWORD exitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    ~Process()
    {
        if (info.hProcess) {
            if (!endsWithin(0)) {
                TerminateProcess(info.hProcess, 99); // a failed test must not leave it
                WaitForSingleObject(info.hProcess, 5000);
            }
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
};

// The top-level windows of a class that belong to a process.
std::vector<HWND> WindowsOf(DWORD process, const wchar_t* windowClass)
{
    struct Search
    {
        DWORD process;
        const wchar_t* windowClass;
        std::vector<HWND> found;
    } search{process, windowClass, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if ((s->process == 0 || owner == s->process) && std::wstring(name) == s->windowClass) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD process, const wchar_t* windowClass)
{
    HWND found = nullptr;
    PumpUntil(
        [&] {
            for (HWND w : WindowsOf(process, windowClass)) {
                if (IsWindowVisible(w)) {
                    found = w;
                }
            }
            return found != nullptr;
        },
        kPatienceMs);
    return found;
}

// The longest text among a dialog's controls: a message box's message.
std::wstring MessageOf(HWND box)
{
    std::wstring longest;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = Text(child);
        if (text.size() > longest.size()) {
            longest = text;
        }
    }
    return longest;
}

class AppWin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The program keeps its journal in the account's own data folder, which this test
        // empties: only in a throw-away Wine prefix is that folder nobody's.
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
            GTEST_SKIP() << "runs only under Wine, in a prefix of its own";
        }
        appData = SystemUtility::LocateAppData().path;
        ASSERT_FALSE(appData.empty());
        std::error_code ignored;
        std::filesystem::remove_all(appData + "\\QBS", ignored);
        ASSERT_TRUE(folder.establish(appData));
    }
    void TearDown() override
    {
        if (appData.empty()) {
            return;
        }
        std::error_code ignored;
        std::filesystem::remove_all(appData + "\\QBS", ignored);
    }

    std::string appData;
    DataFolder folder;
};

} // namespace

TEST_F(AppWin, StartsWithTodaysRecordsAndASecondLaunchEndsAtOnce)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const Date today{now.wYear, now.wMonth, now.wDay};
    ASSERT_TRUE(folder.ensureMonthFolder(today));
    std::string lines;
    for (int i = 0; i < 100000; ++i) {
        const LocalDateTime at{today, 0, i / 3600 % 60, i % 60};
        std::string name = std::to_string(i);
        name.append(".txt");
        lines += dayfile::FormatLine(
            LogRecord{dayfile::FormatStamp(at), "File", "Created", "C:\\Data\\", name, ""});
    }
    WriteAll(folder.dayFilePath(today), lines);

    Process first;
    ASSERT_TRUE(first.start());
    const HWND main = WaitForWindow(first.info.dwProcessId, L"ZelvoryMainWindow");
    ASSERT_NE(main, nullptr) << "no window within " << kPatienceMs << " ms";
    GetLocalTime(&now);
    if (Date{now.wYear, now.wMonth, now.wDay} != today) {
        GTEST_SKIP() << "midnight passed while the program started";
    }
    EXPECT_EQ(Text(main), L"Zelvory");
    EXPECT_EQ(ItemCount(GetDlgItem(main, IDC_lsvToday)), 100000);

    Process second;
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(second.endsWithin(kPatienceMs)) << "the second launch is still running";
    EXPECT_EQ(second.exitCode(), 0u);
    EXPECT_EQ(WindowsOf(second.info.dwProcessId, L"ZelvoryMainWindow").size(), 0u);
    EXPECT_EQ(WindowsOf(0, L"ZelvoryMainWindow").size(), 1u) << "one main window";
    EXPECT_FALSE(first.endsWithin(0)) << "the first one goes on";
}

TEST_F(AppWin, TheCloseQuestionIsARealBoxAndOnlyYesEndsTheProgram)
{
    Process program;
    ASSERT_TRUE(program.start());
    const HWND main = WaitForWindow(program.info.dwProcessId, L"ZelvoryMainWindow");
    ASSERT_NE(main, nullptr);

    for (const int answer : {IDNO, IDCANCEL, IDYES}) {
        PostMessageW(main, WM_CLOSE, 0, 0);
        const HWND box = WaitForWindow(program.info.dwProcessId, L"#32770");
        ASSERT_NE(box, nullptr) << "no question asked";
        EXPECT_EQ(Text(box), L"Zelvory");
        EXPECT_EQ(MessageOf(box),
                  L"Are you sure you want to stop tracing your operations in Windows Explorer?");
        EXPECT_EQ(GetWindow(box, GW_OWNER), main) << "over the main window";
        PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        if (answer != IDYES) {
            ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, kPatienceMs));
            EXPECT_FALSE(program.endsWithin(300));
            EXPECT_TRUE(IsWindow(main));
        }
    }
    EXPECT_TRUE(program.endsWithin(kPatienceMs));
    EXPECT_EQ(program.exitCode(), 0u);
}

TEST_F(AppWin, OnlyAKilledRunIsToldAsSuchByTheNextStart)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string gaps = folder.gapFilePath({now.wYear, now.wMonth, now.wDay});
    std::filesystem::create_directory(folder.runStateFile()); // in the way of the run state
    for (const bool kill : {true, false, false}) {
        Process run;
        ASSERT_TRUE(run.start());
        const HWND main = WaitForWindow(run.info.dwProcessId, L"ZelvoryMainWindow");
        ASSERT_NE(main, nullptr);
        if (kill) {
            TerminateProcess(run.info.hProcess, 1);
        } else {
            PostMessageW(main, WM_CLOSE, 0, 0);
            PostMessageW(WaitForWindow(run.info.dwProcessId, L"#32770"), WM_COMMAND, IDYES, 0);
        }
        ASSERT_TRUE(run.endsWithin(kPatienceMs));
    }
    // Told by the start after the kill; the orderly ends after it are no crash.
    const std::string text = ReadAll(gaps);
    const auto crash = text.find("capture-stopped\tZelvory ended without closing its journal");
    EXPECT_NE(crash, std::string::npos) << text;
    EXPECT_EQ(text.find("capture-stopped", crash + 1), std::string::npos) << text;
}

TEST_F(AppWin, AnInstanceInAnotherSessionOfTheAccountKeepsTheJournalToItself)
{
    // What that instance holds: the data folder's lock, not this session's mutex.
    const HANDLE lock = CreateFileA((folder.dataFolder() + "\\zelvory.lock").c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED whole{};
    ASSERT_TRUE(
        LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole));
    Process program;
    ASSERT_TRUE(program.start(L"--tray"));
    EXPECT_TRUE(program.endsWithin(kPatienceMs));
    EXPECT_FALSE(std::filesystem::exists(folder.runStateFile())) << "no second keeper";
    CloseHandle(lock);
}
