#pragma once

#include "mainwindow/frmPubMain.h"
#include "mock/FakeSource.h"
#include "mock/ManualClock.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <memory>
#include <optional>
#include <string>

namespace zlv::test {

// The main window on a data folder under `appData`, capturing from a FakeSource that
// `source` then points to; no background version check.
inline std::unique_ptr<frmPubMain> MakeTestWindow(const std::string& appData, FakeSource*& source,
                                                  std::optional<bool> trayAvailable = false,
                                                  const QString& versionUrl = {})
{
    frmPubMain::Options o;
    o.appData = appData;
    o.versionUrl = versionUrl;
    o.trayAvailable = trayAvailable;
    o.versionCheckDelayMs = 0;
    o.makeSource = [&source](const DataFolder&) {
        auto s = std::make_unique<FakeSource>();
        source = s.get();
        return s;
    };
    auto w = std::make_unique<frmPubMain>(std::move(o));
    w->show();
    return w;
}

// What each test function of the main window starts from: a data folder of its own, the
// program's clock standing at 14:07:09 on 5 March 2024, and every message box scripted.
struct WindowTestState
{
    WindowTestState() { Clock::setInstance(&clock); }
    ~WindowTestState() { Clock::setInstance(nullptr); }
    WindowTestState(const WindowTestState&) = delete;
    WindowTestState& operator=(const WindowTestState&) = delete;

    std::unique_ptr<frmPubMain> window(std::optional<bool> tray = false)
    {
        return MakeTestWindow(appData.path(), source, tray);
    }

    TempDir appData;
    ManualClock clock{LocalDateTime{{2024, 3, 5}, 14, 7, 9}};
    ScriptedMessages messages;
    FakeSource* source = nullptr;
};

} // namespace zlv::test
