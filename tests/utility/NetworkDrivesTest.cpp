#include "utility/NetworkDrives.h"

#include "support/ScriptedMessages.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"

#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using zlv::frmPubDisconnectDrive;
using zlv::frmPubMapDrive;
using zlv::GioCommand;

namespace {

// A stand-in for the desktop's gio tool, first on PATH: it logs each call (one argument a
// line, then "--"), prints the listing for "mount -l", sleeps when asked to mount
// "smb://slow/x", and exits with the status kept in a file.
class FakeGio
{
public:
    FakeGio()
    {
        const QString script =
            QStringLiteral("#!/bin/sh\n"
                           "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1/log'; done\n"
                           "echo -- >> '%1/log'\n"
                           "if [ \"$1 $2\" = 'mount -l' ]; then cat '%1/listing'; fi\n"
                           "if [ \"$2\" = 'smb://slow/x' ]; then sleep 5; fi\n"
                           "exit $(cat '%1/status')\n")
                .arg(m_dir.path());
        write(QStringLiteral("gio"), script.toUtf8());
        QFile::setPermissions(m_dir.filePath(QStringLiteral("gio")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setStatus(0);
        setListing({});
        m_oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_oldPath);
    }
    ~FakeGio() { qputenv("PATH", m_oldPath); }

    void setStatus(int status) { write(QStringLiteral("status"), QByteArray::number(status)); }
    void setListing(const QByteArray& listing) { write(QStringLiteral("listing"), listing); }

    // Every call so far, each as its list of arguments.
    QList<QStringList> calls() const
    {
        QFile log(m_dir.filePath(QStringLiteral("log")));
        QList<QStringList> calls;
        if (!log.open(QIODevice::ReadOnly)) {
            return calls;
        }
        QStringList current;
        for (const QByteArray& line : log.readAll().split('\n')) {
            if (line == "--") {
                calls << current;
                current.clear();
            } else if (!line.isEmpty()) {
                current << QString::fromUtf8(line);
            }
        }
        return calls;
    }
    QString path() const { return m_dir.path(); }

private:
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

QStringList Args(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts) {
        list << QString::fromUtf8(t);
    }
    return list;
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

} // namespace

class NetworkDrivesTest : public QObject
{
    Q_OBJECT

    QList<QUrl> m_opened;

public Q_SLOTS:
    void open(const QUrl& url) { m_opened << url; }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char* scheme : {"http", "https", "file", "ftp", "javascript"}) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        }
    }
    void cleanupTestCase()
    {
        for (const char* scheme : {"http", "https", "file", "ftp", "javascript"}) {
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        }
    }
    void init() { m_opened.clear(); }

    void recognisesNetworkAddresses()
    {
        for (const char* good : {"smb://host/share", "SMB://Host/Share", "sftp://me@host/",
                                 "ftp://host", "ftps://host/pub", "dav://host/dav",
                                 "davs://host:8443/x", "nfs://host/export", "  smb://host/s  "}) {
            QVERIFY2(zlv::IsNetworkAddress(QString::fromUtf8(good)), good);
        }
        for (const char* bad :
             {"", "host/share", "\\\\host\\share", "smb://", "smb:///share", "file:///home",
              "http://host/", "-l", "smb://host/a b", "mount -u smb://host/"}) {
            QVERIFY2(!zlv::IsNetworkAddress(QString::fromUtf8(bad)), bad);
        }
    }

    void parsesNetworkMountsFromTheListing()
    {
        QCOMPARE(zlv::ParseNetworkMounts(QString::fromUtf8(kListing)),
                 Args({"smb://nas/share/", "sftp://me@box/",
                       "davs://cloud.example/remote.php/webdav/"}));
        QVERIFY(zlv::ParseNetworkMounts(QString()).isEmpty());
        QVERIFY(zlv::ParseNetworkMounts(QStringLiteral("garbage\n\0\n->\n")).isEmpty());
    }

    void mapDialogMountsTheAddressAsOneArgumentInTheBackground()
    {
        zlv::test::ScriptedMessages messages;
        FakeGio gio;
        QWidget owner;
        QPointer<GioCommand> command;
        {
            frmPubMapDrive dialog(&owner);
            auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("txtAddress"));
            auto* connect = dialog.findChild<QPushButton*>(QStringLiteral("cmbConnect"));
            QVERIFY(address && connect);
            QVERIFY(!connect->isEnabled());
            address->setText(QStringLiteral("server/share"));
            QVERIFY(!connect->isEnabled());
            // Characters a shell would act on reach gio untouched.
            address->setText(QStringLiteral("smb://nas/share;touch&pwned'$HOME"));
            QVERIFY(connect->isEnabled());
            dialog.show();
            QTest::mouseClick(connect, Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            command = dialog.lastCommand();
            QVERIFY(command);
        }
        // The dialog is gone; the mount goes on under the owner.
        QVERIFY(command);
        QSignalSpy finished(command.data(), &GioCommand::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.front().at(0).toBool(), true);
        QCOMPARE(gio.calls(),
                 (QList<QStringList>{Args({"mount", "smb://nas/share;touch&pwned'$HOME"})}));
        QVERIFY(!QFile::exists(gio.path() + QStringLiteral("/pwned")));
        QTRY_VERIFY(!command);
        QVERIFY(messages.shown().empty());
    }

    void failingOrMissingGioLeavesNoTrace()
    {
        zlv::test::ScriptedMessages messages;
        QWidget owner;
        {
            FakeGio gio;
            gio.setStatus(2);
            GioCommand* c = GioCommand::start(Args({"mount", "smb://nas/x"}), &owner);
            QSignalSpy finished(c, &GioCommand::finished);
            QVERIFY(finished.wait(5000));
            QCOMPARE(finished.front().at(0).toBool(), false);
        }
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir empty;
        qputenv("PATH", QFile::encodeName(empty.path()));
        GioCommand* c = GioCommand::start(Args({"mount", "-l"}), &owner);
        QSignalSpy finished(c, &GioCommand::finished);
        QVERIFY(finished.size() == 1 || finished.wait(5000));
        qputenv("PATH", path);
        QCOMPARE(finished.front().at(0).toBool(), false);
        QVERIFY(messages.shown().empty());
    }

    void hungGioIsStoppedAtItsDeadlineOrWithItsOwner()
    {
        FakeGio gio;
        GioCommand* c = GioCommand::start(Args({"mount", "smb://slow/x"}), nullptr, 300);
        QSignalSpy finished(c, &GioCommand::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.front().at(0).toBool(), false);

        auto* owner = new QWidget;
        QPointer<GioCommand> orphan = GioCommand::start(Args({"mount", "smb://slow/x"}), owner);
        QTRY_COMPARE(gio.calls().size(), 2);
        delete owner; // must neither hang for the sleeping tool nor report back
        QVERIFY(!orphan);
    }

    void disconnectDialogListsNetworkMountsAndUnmountsTheChosenOne()
    {
        zlv::test::ScriptedMessages messages;
        FakeGio gio;
        gio.setListing(kListing);
        QWidget owner;
        frmPubDisconnectDrive dialog(&owner);
        QSignalSpy listed(&dialog, &frmPubDisconnectDrive::listed);
        QVERIFY(listed.wait(5000));
        auto* mounts = dialog.findChild<QListWidget*>(QStringLiteral("lstMounts"));
        auto* disconnect = dialog.findChild<QPushButton*>(QStringLiteral("cmbDisconnect"));
        QVERIFY(mounts && disconnect);
        QCOMPARE(mounts->count(), 3);
        QCOMPARE(mounts->item(1)->text(), QStringLiteral("sftp://me@box/"));

        mounts->setCurrentRow(1);
        dialog.show();
        QTest::mouseClick(disconnect, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QSignalSpy finished(dialog.lastCommand(), &GioCommand::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(gio.calls(), (QList<QStringList>{Args({"mount", "-l"}),
                                                  Args({"mount", "-u", "sftp://me@box/"})}));
        QVERIFY(messages.shown().empty());
    }

    void disconnectDialogWithNothingToListOffersNothing()
    {
        FakeGio gio;
        gio.setListing(kListing);
        gio.setStatus(1);
        frmPubDisconnectDrive dialog(nullptr);
        QSignalSpy listed(&dialog, &frmPubDisconnectDrive::listed);
        QVERIFY(listed.wait(5000));
        auto* mounts = dialog.findChild<QListWidget*>(QStringLiteral("lstMounts"));
        auto* disconnect = dialog.findChild<QPushButton*>(QStringLiteral("cmbDisconnect"));
        QCOMPARE(mounts->count(), 0);
        QVERIFY(!disconnect->isEnabled());
        QTest::mouseClick(disconnect, Qt::LeftButton);
        QCOMPARE(gio.calls().size(), 1);
    }

    void staticEntriesRunTheDialogsModallyOverTheOwner()
    {
        FakeGio gio;
        QWidget owner;
        owner.show();
        QStringList seen;
        const auto closeModal = [&] {
            QTimer::singleShot(0, this, [&] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    seen << modal->objectName() + QLatin1Char('/') + modal->windowTitle();
                    QCOMPARE(modal->parentWidget(), &owner);
                    modal->close();
                }
            });
        };
        closeModal();
        zlv::SystemUtility::ShowMapDriveDialog(&owner, 1);
        closeModal();
        zlv::SystemUtility::ShowDisconnectDriveDialog(&owner, 1);
        QCOMPARE(seen, Args({"frmPubMapDrive/Map Network Drive",
                             "frmPubDisconnectDrive/Disconnect Network Drive"}));
    }

    void webPagesHangOffTheBuildsServer()
    {
        using namespace zlv::web;
        const std::string server = Server();
        QVERIFY(!server.empty() && server.back() != '/');
        QCOMPARE(ProductPage(), server + "/zelvory/");
        QCOMPARE(UpdatePage(), server + "/zelvory/?selectedTab=updates");
        QCOMPARE(LatestArchive(), server + "/zelvory/zelvory.zip");
        QCOMPARE(RecommendPage(), server + "/zelvory/?selectedTab=recommend");
        QCOMPARE(CompanyHomePage(), server + "/?source=zlv-ui");
        QCOMPARE(ContactPage(), server + "/contact.htm");
        QCOMPARE(VersionFile(), server + "/vers/zlv.txt");
        QVERIFY(QUrl(QString::fromStdString(FacebookPage())).isValid());
        QCOMPARE(NormaliseServer(" https://host.example// \n"),
                 std::string("https://host.example"));
        QCOMPARE(NormaliseServer("https://host.example"), std::string("https://host.example"));
    }

    void onlyWebAddressesGoToTheBrowser()
    {
        zlv::SystemUtility::OpenWebPage(zlv::web::ProductPage(), 1);
        zlv::SystemUtility::OpenWebPage("http://host.example/a?b=c", 1);
        for (const char* other : {"", "not an address", "file:///etc/passwd", "ftp://host/",
                                  "javascript:alert(1)", "https://", "/usr/bin/xterm"}) {
            zlv::SystemUtility::OpenWebPage(other, 1);
        }
        QCOMPARE(m_opened, (QList<QUrl>{QUrl(QString::fromStdString(zlv::web::ProductPage())),
                                        QUrl(QStringLiteral("http://host.example/a?b=c"))}));
    }

    void folderGoesToTheFileManagerWhateverItsName()
    {
        const std::string odd = "/tmp/Zelvory logs/#1 100% ?x=y;rm -rf ~";
        zlv::SystemUtility::OpenFolderInFileManager(odd);
        zlv::SystemUtility::OpenFolderInFileManager("");
        QCOMPARE(m_opened.size(), 1);
        QVERIFY(m_opened.front().isLocalFile());
        QCOMPARE(m_opened.front().toLocalFile(), QString::fromStdString(odd));
    }
};

QTEST_MAIN(NetworkDrivesTest)
#include "NetworkDrivesTest.moc"
