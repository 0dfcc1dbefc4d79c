#include "support/Environment.h"
#include "support/Modal.h"
#include "support/OpenedUrls.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "utility/NetworkDriveDialogs.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"

#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using zlv::GioCommand;
using zlv::MessageBox;

namespace {

// A stand-in for the desktop's gio tool, first on PATH: it logs each call as a line of
// "|"-ended arguments, prints the listing for "mount -l", sleeps when asked to mount
// "smb://slow/x", writes the text kept in a file to standard error and exits with the
// status kept in another.
class FakeGio
{
public:
    FakeGio()
    {
        write("gio", QStringLiteral("#!/bin/sh\n"
                                    "printf '%s|' \"$@\" >> '%1/log'; echo >> '%1/log'\n"
                                    "if [ \"$1 $2\" = 'mount -l' ]; then cat '%1/listing'; fi\n"
                                    "if [ \"$2\" = 'smb://slow/x' ]; then sleep 5; fi\n"
                                    "cat '%1/error' >&2\n"
                                    "exit $(cat '%1/status')\n")
                         .arg(QString::fromStdString(m_dir.path()))
                         .toStdString());
        QFile::setPermissions(QString::fromStdString(m_dir / "gio"),
                              QFile::ReadOwner | QFile::ExeOwner);
        write("status", "0");
        write("listing", "");
        write("error", "");
    }

    void write(const char* name, const std::string& bytes)
    {
        zlv::test::WriteAll(m_dir / name, bytes);
    }
    QString log() const { return QString::fromStdString(zlv::test::ReadAll(m_dir / "log")); }

private:
    zlv::test::TempDir m_dir;
    const zlv::test::ScopedEnv m_path{"PATH", m_dir.path() + ':' + std::getenv("PATH")};
};

QStringList Args(const char* line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '));
}

const char kListing[] = "Drive(0): SSD\n"
                        "  Type: GProxyDrive (GProxyVolumeMonitorUDisks2)\n"
                        "  Volume(0): Data\n"
                        "    Mount(0): Data -> file:///media/me/Data\n"
                        "Mount(0): share on nas -> smb://nas/share/\n"
                        "  Type: GDaemonMount\n"
                        "Mount(1): me on box -> box -> sftp://me@box/\n"
                        "Mount(2): share on nas -> smb://nas/share/\n"
                        "Mount(3): photos -> davs://cloud.example/remote.php/webdav/\n"
                        "Mount(4): broken ->\n"
                        "Mount(5): spaced -> smb://nas/a b\n"
                        "Volume(0): ftp://old/\n";
const char kNetworkMounts[] =
    "smb://nas/share/ sftp://me@box/ davs://cloud.example/remote.php/webdav/";

} // namespace

class NetworkDrivesTest : public QObject
{
    Q_OBJECT

    zlv::test::OpenedUrls m_browser{{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("file"), QStringLiteral("ftp"),
                                     QStringLiteral("javascript")}};

    // Runs `inside` on the modal dialog `show` brings up over `owner`, and returns its title.
    static QString runModal(QWidget& owner, void (*show)(QWidget*, int),
                            const std::function<void(QDialog&)>& inside)
    {
        QString title;
        zlv::test::WithModal([&] { show(&owner, 1); },
                             [&](QWidget& modal) {
                                 title = modal.parentWidget() == &owner ? modal.windowTitle()
                                                                        : QString();
                                 inside(static_cast<QDialog&>(modal));
                             });
        return title;
    }

private Q_SLOTS:

    void recognisesAddressesAndParsesTheListing()
    {
        for (const char* good : {"smb://host/share", "SMB://Host/Share", "sftp://me@host/",
                                 "davs://host:8443/x", "nfs://host/export", "  smb://host/s  "}) {
            QVERIFY2(zlv::IsNetworkAddress(QString::fromUtf8(good)), good);
        }
        for (const char* bad :
             {"", "host/share", "\\\\host\\share", "smb://", "smb:///share", "file:///home",
              "http://host/", "-l", "smb://host/a b", "mount -u smb://host/"}) {
            QVERIFY2(!zlv::IsNetworkAddress(QString::fromUtf8(bad)), bad);
        }
        QCOMPARE(zlv::ParseNetworkMounts(QString::fromUtf8(kListing)), Args(kNetworkMounts));
        QVERIFY(zlv::ParseNetworkMounts(QStringLiteral("garbage\n\0\n->\n")).isEmpty());
    }

    void dialogsMountAndUnmountThroughGioUnderTheOwner()
    {
        zlv::test::ScriptedMessages messages;
        FakeGio gio;
        gio.write("listing", kListing);
        QWidget owner;
        owner.show();
        const auto finishes = [&] {
            QPointer<GioCommand> command = owner.findChild<GioCommand*>();
            QSignalSpy finished(command.data(), &GioCommand::finished);
            QVERIFY(finished.wait(5000));
            QCOMPARE(finished.front().at(0).toBool(), true);
            QTRY_VERIFY(!command); // it goes once done
        };
        const QString mapTitle =
            runModal(owner, &zlv::SystemUtility::ShowMapDriveDialog, [](QDialog& dialog) {
                auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("txtAddress"));
                auto* connect = dialog.findChild<QPushButton*>(QStringLiteral("cmbConnect"));
                address->setText(QStringLiteral("server/share"));
                QVERIFY(!connect->isEnabled());
                // Characters a shell would act on reach gio untouched, as one argument.
                address->setText(QStringLiteral("smb://nas/share;touch&pwned'$HOME"));
                QTest::mouseClick(connect, Qt::LeftButton);
            });
        // The dialog is gone; the mount goes on under the owner.
        finishes();

        QStringList listed;
        const auto disconnectSecond = [&](QDialog& dialog) {
            auto* mounts = dialog.findChild<QListWidget*>(QStringLiteral("lstMounts"));
            QTRY_VERIFY(!static_cast<zlv::frmPubDisconnectDrive&>(dialog).lastCommand());
            for (int i = 0; i < mounts->count(); ++i) {
                listed << mounts->item(i)->text();
            }
            mounts->setCurrentRow(1);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmbDisconnect")),
                              Qt::LeftButton);
        };
        const QString disconnectTitle =
            runModal(owner, &zlv::SystemUtility::ShowDisconnectDriveDialog, disconnectSecond);
        QCOMPARE(listed, Args(kNetworkMounts));
        finishes();
        QVERIFY(messages.shown().empty()); // success is silent
        // A failing listing offers nothing to disconnect, and says why.
        gio.write("status", "1");
        gio.write("error", "gio: Operation not supported\n");
        listed.clear();
        runModal(owner, &zlv::SystemUtility::ShowDisconnectDriveDialog, disconnectSecond);
        QVERIFY(listed.isEmpty());
        QCOMPARE(messages.shown().size(), size_t(1));
        QVERIFY(QString::fromStdString(messages.shown()[0].text)
                    .startsWith(QStringLiteral("Zelvory could not list the network drives: "
                                               "Operation not supported.")));
        messages.clear();

        QCOMPARE(mapTitle + QLatin1Char('/') + disconnectTitle,
                 QStringLiteral("Map Network Drive/Disconnect Network Drive"));
        QCOMPARE(gio.log(), QStringLiteral("mount|smb://nas/share;touch&pwned'$HOME|\n"
                                           "mount|-l|\nmount|-u|sftp://me@box/|\nmount|-l|\n"));
        QVERIFY(messages.shown().empty());
    }

    void aMountThatFailsSaysWhichShareAndWhatToCheck()
    {
        zlv::test::ScriptedMessages messages;
        QWidget owner;
        const auto map = [&](const char* address) {
            runModal(owner, &zlv::SystemUtility::ShowMapDriveDialog, [&](QDialog& dialog) {
                dialog.findChild<QLineEdit*>()->setText(QString::fromUtf8(address));
                dialog.findChild<QPushButton*>(QStringLiteral("cmbConnect"))->click();
            });
        };
        {
            FakeGio gio;
            gio.write("status", "2");
            gio.write("error", "gio: smb://nas/gone/: Failed to mount Windows share: Connection "
                               "refused\n");
            map("smb://nas/gone/");
            QTRY_COMPARE(messages.shown().size(), size_t(1));
        }
        QCOMPARE(
            messages.shown()[0].text,
            std::string("Zelvory could not connect to smb://nas/gone/: Failed to mount Windows "
                        "share: Connection refused.\r\n\r\nCheck the share's address and "
                        "that its server can be reached, then try again."));
        QTemporaryDir empty; // no gio at all: what to install
        const zlv::test::ScopedEnv path("PATH", empty.path().toStdString());
        map("sftp://me@box/");
        QTRY_COMPARE(messages.shown().size(), size_t(2));
        QVERIFY(messages.shown()[1].text.find("Install gio") != std::string::npos);
    }

    // A failing or missing gio is told by the dialogs (above); here, one that hangs.
    void aHungGioIsStoppedAtItsDeadlineOrWithItsOwner()
    {
        zlv::test::ScriptedMessages messages;
        FakeGio gio;
        QSignalSpy finished(GioCommand::start(Args("mount smb://slow/x"), nullptr, 300),
                            &GioCommand::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.front().at(0).toBool(), false);
        // Gone with its owner, neither waiting for the sleeping tool nor reporting back.
        auto* doomed = new QWidget;
        QPointer<GioCommand> orphan = GioCommand::start(Args("mount smb://slow/x"), doomed);
        QTRY_COMPARE(gio.log().count(QLatin1Char('\n')), 2);
        delete doomed;
        QVERIFY(!orphan);
        QVERIFY(messages.shown().empty());
    }

    void onlyWebAddressesGoToTheBrowserAndAnyFolderToTheFileManager()
    {
        QCOMPARE(zlv::web::NormaliseServer(" https://host.example// \n"),
                 std::string("https://host.example"));
        zlv::SystemUtility::OpenWebPage(zlv::web::ProductPage(), 1);
        zlv::SystemUtility::OpenWebPage("http://host.example/a?b=c", 1);
        for (const char* other : {"", "not an address", "file:///etc/passwd", "ftp://host/",
                                  "javascript:alert(1)", "https://", "/usr/bin/xterm"}) {
            zlv::SystemUtility::OpenWebPage(other, 1);
        }
        const std::string odd = "/tmp/Zelvory logs/#1 100% ?x=y;rm -rf ~";
        zlv::SystemUtility::OpenFolderInFileManager(odd);
        zlv::SystemUtility::OpenFolderInFileManager("");
        QCOMPARE(m_browser.urls, (QList<QUrl>{QUrl(QString::fromStdString(zlv::web::ProductPage())),
                                              QUrl(QStringLiteral("http://host.example/a?b=c")),
                                              QUrl::fromLocalFile(QString::fromStdString(odd))}));
    }
};

QTEST_MAIN(NetworkDrivesTest)
#include "NetworkDrivesTest.moc"
