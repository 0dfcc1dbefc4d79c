#pragma once

#include "mainwindow/frmPubMain.h"
#include "mock/FakeSource.h"

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

} // namespace zlv::test
