// The folders not to record, from the lists' context menu and the Tools menu, with the real
// Linux capture over a temporary home: the watches the kernel holds are what is compared.
#include "capture/linux/LinuxNotificationSource.h"
#include "logstore/LogListView.h"
#include "mainwindow/frmPubExclusions.h"
#include "mainwindow/frmPubMain.h"
#include "support/Environment.h"
#include "support/InotifyWatches.h"
#include "support/Modal.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>

using namespace zlv;
namespace sfs = std::filesystem;

class ExclusionsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aFolderLeftOutFromARowFreesItsWatchesAndComesBackFromTheDialog()
    {
        test::TempDir homeDir;
        test::TempDir appData;
        test::ScriptedMessages messages;
        const std::string home = sfs::canonical(homeDir.path()).string();
        const test::ScopedEnv homeVariable("HOME", home);
        for (int i = 0; i < 20; ++i) {
            sfs::create_directories(home + "/work/build/d" + std::to_string(i));
        }
        const std::size_t before = test::WatchesHeld();

        frmPubMain::Options options;
        options.appData = appData.path();
        options.trayAvailable = false;
        options.versionCheckDelayMs = 0;
        options.makeSource = [&home](const DataFolder& folder) {
            LinuxCaptureOptions o = LinuxCaptureOptions::ForDataFolder(folder);
            o.homeFolder = home;
            o.mountRoots = {};
            o.watchMedia = false;
            o.settle = std::chrono::milliseconds(300);
            return std::make_unique<LinuxNotificationSource>(o);
        };
        frmPubMain window(std::move(options));
        window.show();
        auto* source = dynamic_cast<LinuxNotificationSource*>(window.capture()->source());
        QVERIFY(source && source->waitUntilWatching(std::chrono::seconds(10)));
        const std::size_t all = test::WatchesHeld() - before;
        QCOMPARE(all, std::size_t(23)); // home, work, build and its 20 folders

        test::WriteAll(home + "/work/build/a.o", "");
        LogListView* today = window.lsvToday();
        QTRY_COMPARE_WITH_TIMEOUT(today->rowCount(), 1, 10000);
        // The right button on the row opens the lists' menu, on that row.
        const QPoint onRow = today->visualRect(today->model()->index(0, 2)).center();
        QTest::mouseClick(today->viewport(), Qt::RightButton, {}, onRow);
        auto* menu = window.findChild<QMenu*>(QStringLiteral("menl"));
        QTRY_VERIFY(menu->isVisible());
        auto* exclude = window.findChild<QAction*>(QStringLiteral("menld"));
        QVERIFY(exclude->isEnabled());
        menu->close();
        exclude->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(test::WatchesHeld() - before, all - 21, 10000);
        test::WriteAll(home + "/work/build/d2/b.o", "");
        const std::string text = test::ReadAll(window.dataFolder().configurationFile());
        QVERIFY2(text.find("[Exclusions]") != std::string::npos &&
                     text.find("Folder1=" + home + "/work/build\n") != std::string::npos &&
                     text.find("Sequence=Month Day Year") != std::string::npos,
                 text.c_str());

        // The home itself is never offered: nothing at all would be recorded.
        test::WriteAll(home + "/top.txt", "");
        QTRY_COMPARE_WITH_TIMEOUT(today->rowCount(), 2, 10000);
        today->setCurrentIndex(today->model()->index(0, 0));
        Q_EMIT menu->aboutToShow();
        QVERIFY(!exclude->isEnabled());

        // The dialog lists it; a folder chosen is added, the excluded one removed, saved.
        auto* tools = window.findChild<QAction*>(QStringLiteral("mentn"));
        const bool opened = test::WithModal(
            [&] { tools->trigger(); },
            [&](QWidget& modal) {
                auto& dialog = static_cast<frmPubExclusions&>(modal);
                QCOMPARE(dialog.folderList()->count(), 1);
                QCOMPARE(dialog.folderList()->item(0)->text().toStdString(), home + "/work/build");
                QVERIFY(dialog.gitSwitch()->isChecked());
                dialog.setFolderChooser(
                    [&](QWidget*) { return QString::fromStdString(home + "/work/"); });
                QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
                QCOMPARE(dialog.folderList()->count(), 2);
                dialog.folderList()->setCurrentRow(1);
                QTest::mouseClick(dialog.removeButton(), Qt::LeftButton);
                dialog.folderList()->setCurrentRow(0);
                QTest::mouseClick(dialog.removeButton(), Qt::LeftButton);
                QCOMPARE(dialog.folderList()->count(), 0);
                QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
                QVERIFY(!dialog.isVisible());
            });
        QVERIFY(opened);
        QTRY_COMPARE_WITH_TIMEOUT(test::WatchesHeld() - before, all, 10000);
        test::WriteAll(home + "/work/build/d3/c.o", "");
        QTRY_COMPARE_WITH_TIMEOUT(today->rowCount(), 3, 10000);
        QVERIFY(messages.shown().empty());
    }
};

QTEST_MAIN(ExclusionsTest)
#include "ExclusionsTest.moc"
