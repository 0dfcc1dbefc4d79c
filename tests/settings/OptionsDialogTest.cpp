#include "settings/frmPubOptions.h"
#include "support/ScriptedMessages.h"
#include "utility/SystemUtility.h"
// Hidden from moc, which cannot parse the <compare> these pull in.
#ifndef Q_MOC_RUN
#include "settings/DisplayFormat.h"
#include "settings/Settings.h"
#include "utility/Clock.h"
#endif

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using zlv::frmPubOptions;
using zlv::MessageBox;

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

QByteArray ReadBytes(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const std::string& path, const QByteArray& bytes)
{
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void Choose(frmPubOptions& d, int slot, const char* entry)
{
    QComboBox* list = d.list(slot);
    const int index = list->findText(QString::fromUtf8(entry));
    QVERIFY2(index >= 0, entry);
    list->setCurrentIndex(index);
}

QStringList Texts(const frmPubOptions& d)
{
    QStringList texts;
    for (int slot = 0; slot < 6; ++slot) {
        texts << d.list(slot)->currentText();
    }
    return texts;
}

QStringList Strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts) {
        list << QString::fromUtf8(t);
    }
    return list;
}

const QStringList kDefaults =
    Strings({"Month Day Year", "{Space}", "YYYY", "MMM", "DD", "HH:MM:SS"});

} // namespace

class OptionsDialogTest : public QObject
{
    Q_OBJECT

    zlv::ManualClock m_clock{zlv::LocalDateTime{{2006, 2, 8}, 23, 34, 23}};
    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_config;
    int m_refreshes = 0;

    std::string stored(const char* key) const
    {
        return zlv::SystemUtility::ReadSetting(m_config, "DTF", key);
    }
    std::function<void()> refresh()
    {
        return [this] { ++m_refreshes; };
    }

private Q_SLOTS:
    void initTestCase() { zlv::Clock::setInstance(&m_clock); }
    void cleanupTestCase() { zlv::Clock::setInstance(nullptr); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_config = QDir(m_dir->path()).filePath(QStringLiteral("configuration.ini")).toStdString();
        WriteBytes(m_config, QByteArray());
        zlv::WriteDefaultSettings(m_config);
        zlv::LoadSettings(m_config);
        m_refreshes = 0;
    }

    void opensOnTheStoredFormatWithItsPreview()
    {
        frmPubOptions d(m_config, refresh());
        QCOMPARE(d.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(Texts(d), kDefaults);
        QCOMPARE(d.preview()->text(), QStringLiteral("Feb 08 2006 23:34:23"));
        for (int slot = 0; slot < 6; ++slot) {
            QCOMPARE(d.list(slot)->objectName(), QStringLiteral("cbb%1").arg(slot));
            QVERIFY(!d.list(slot)->isEditable());
            QCOMPARE(d.list(slot)->count(), int(zlv::DisplayFormatEntries()[slot].size()));
        }
        // The inner area ends 90 twips right of the frame and below the buttons.
        QCOMPARE(d.size(), QSize(382, 185));
    }

    void previewFollowsTheUnsavedChoiceOnly()
    {
        const QByteArray before = ReadBytes(m_config);
        frmPubOptions d(m_config, refresh());
        Choose(d, 0, "Year Month Day");
        Choose(d, 1, "-");
        Choose(d, 3, "MM");
        QCOMPARE(d.preview()->text(), QStringLiteral("2006-02-08 23:34:23"));
        Choose(d, 0, "Day Month Year");
        Choose(d, 1, "/");
        Choose(d, 2, "YY");
        Choose(d, 3, "M");
        Choose(d, 4, "D");
        Choose(d, 5, "H:M:S AM/PM");
        QCOMPARE(d.preview()->text(), QStringLiteral("8/2/06 11:34:23 PM"));
        // The user's keyboard moves the choice as well.
        d.show();
        QTest::keyClick(d.list(4), Qt::Key_Up);
        QCOMPARE(d.list(4)->currentText(), QStringLiteral("DD"));
        QCOMPARE(d.preview()->text(), QStringLiteral("08/2/06 11:34:23 PM"));
        QCOMPARE(ReadBytes(m_config), before);
        QCOMPARE(zlv::ProgramDisplayFormat()[0], std::string("Month Day Year"));
        QCOMPARE(m_refreshes, 0);
    }

    void saveWritesAllSixKeysRefreshesAndSaysSo()
    {
        zlv::test::ScriptedMessages messages;
        // A key lost from the file while memory still has it is written back as well.
        zlv::SystemUtility::WriteSetting(m_config, "DTF", "Time", "");
        frmPubOptions d(m_config, refresh());
        d.show();
        Choose(d, 0, "Year Month Day");
        Choose(d, 1, "-");
        QTest::mouseClick(d.button(frmPubOptions::kSave), Qt::LeftButton);
        QVERIFY(d.isVisible());

        QCOMPARE(stored("Sequence"), std::string("Year Month Day"));
        QCOMPARE(stored("Separator"), std::string("-"));
        QCOMPARE(stored("Year"), std::string("YYYY"));
        QCOMPARE(stored("Month"), std::string("MMM"));
        QCOMPARE(stored("Day"), std::string("DD"));
        QCOMPARE(stored("Time"), std::string("HH:MM:SS"));
        QCOMPARE(zlv::ProgramDisplayFormat()[0], std::string("Year Month Day"));
        QCOMPARE(zlv::GetDisplayPattern(), std::string("YYYY-MMM-DD HH:MM:SS"));
        QCOMPARE(m_refreshes, 1);
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(Q(messages.shown().front().text), QStringLiteral("Save successfully!"));
        QCOMPARE(messages.shown().front().icon, MessageBox::Icon::Information);
        QCOMPARE(messages.shown().front().buttons, MessageBox::Buttons::Ok);

        // Lists and file agree now: a second Save does nothing at all.
        const QByteArray after = ReadBytes(m_config);
        QTest::mouseClick(d.button(frmPubOptions::kSave), Qt::LeftButton);
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(m_refreshes, 1);
        QCOMPARE(ReadBytes(m_config), after);
    }

    void saveWithoutChangeWritesNothing()
    {
        zlv::test::ScriptedMessages messages;
        const QByteArray before = ReadBytes(m_config);
        frmPubOptions d(m_config, refresh());
        Choose(d, 2, "YY");
        Choose(d, 2, "YYYY"); // changed and changed back
        d.save();
        QVERIFY(messages.shown().empty());
        QCOMPARE(m_refreshes, 0);
        QCOMPARE(ReadBytes(m_config), before);
    }

    void defaultRestoresFileMemoryListsAndPreviewSilently()
    {
        zlv::test::ScriptedMessages messages;
        for (const auto& [key, value] :
             {std::pair{"Sequence", "Day Month Year"}, {"Separator", "."}, {"Time", "H:M:S"}}) {
            zlv::SystemUtility::WriteSetting(m_config, "DTF", key, value);
        }
        zlv::LoadSettings(m_config);
        frmPubOptions d(m_config, refresh());
        QCOMPARE(d.preview()->text(), QStringLiteral("08.Feb.2006 23:34:23"));
        Choose(d, 4, "D"); // an unsaved choice the defaults replace too

        QTest::mouseClick(d.button(frmPubOptions::kDefault), Qt::LeftButton);
        QCOMPARE(Texts(d), kDefaults);
        QCOMPARE(d.preview()->text(), QStringLiteral("Feb 08 2006 23:34:23"));
        QCOMPARE(stored("Sequence"), std::string("Month Day Year"));
        QCOMPARE(stored("Time"), std::string("HH:MM:SS"));
        QCOMPARE(zlv::ProgramDisplayFormat()[1], std::string("{Space}"));
        QCOMPARE(m_refreshes, 1);
        QVERIFY(messages.shown().empty());

        // Also when nothing differs: the file gets the defaults back.
        zlv::SystemUtility::WriteSetting(m_config, "DTF", "Day", "");
        d.restoreDefaults();
        QCOMPARE(stored("Day"), std::string("DD"));
        QCOMPARE(m_refreshes, 2);
    }

    void closeDropsUnsavedChoices()
    {
        zlv::test::ScriptedMessages messages;
        const QByteArray before = ReadBytes(m_config);
        {
            frmPubOptions d(m_config, refresh());
            d.show();
            Choose(d, 0, "Year Month Day");
            QTest::mouseClick(d.button(frmPubOptions::kClose), Qt::LeftButton);
            QVERIFY(!d.isVisible());
            QCOMPARE(d.result(), int(QDialog::Rejected));
        }
        QCOMPARE(ReadBytes(m_config), before);
        QCOMPARE(m_refreshes, 0);
        frmPubOptions again(m_config, refresh());
        QCOMPARE(Texts(again), kDefaults);
        QVERIFY(messages.shown().empty());
    }

    void handEditedValueOpensEmptyAndSavesAsEmpty()
    {
        zlv::test::ScriptedMessages messages;
        zlv::SystemUtility::WriteSetting(m_config, "DTF", "Year", "Quarter");
        zlv::SystemUtility::WriteSetting(m_config, "DTF", "Month", "mmm"); // case counts
        zlv::SystemUtility::WriteSetting(m_config, "DTF", "Day", "\xff\xfe");
        zlv::LoadSettings(m_config);
        frmPubOptions d(m_config, refresh());
        for (int slot : {2, 3, 4}) {
            QCOMPARE(d.list(slot)->currentIndex(), -1);
            QCOMPARE(d.list(slot)->currentText(), QString());
        }
        QCOMPARE(d.list(0)->currentText(), QStringLiteral("Month Day Year"));

        d.save();
        QCOMPARE(stored("Year"), std::string());
        QCOMPARE(stored("Month"), std::string());
        QCOMPARE(stored("Day"), std::string());
        QCOMPARE(stored("Sequence"), std::string("Month Day Year"));
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(Q(messages.shown().front().text), QStringLiteral("Save successfully!"));
    }

    void failedWriteIsNotReportedAsSaved()
    {
        zlv::test::ScriptedMessages messages;
        // A configuration path that is a folder can be neither written nor read.
        const std::string folder =
            QDir(m_dir->path()).filePath(QStringLiteral("cfg")).toStdString();
        QVERIFY(QDir().mkpath(Q(folder)));
        frmPubOptions d(folder, refresh());
        Choose(d, 5, "H:M:S");
        d.save();
        QCOMPARE(messages.shown().size(), size_t(1));
        QVERIFY(Q(messages.shown().front().text) != QStringLiteral("Save successfully!"));
        QVERIFY(Q(messages.shown().front().text).contains(Q(folder)));
        QCOMPARE(messages.shown().front().icon, MessageBox::Icon::Exclamation);
        // Memory still holds what was stored before, and the choice can be saved again.
        QCOMPARE(zlv::ProgramDisplayFormat()[5], std::string("HH:MM:SS"));
        d.save();
        QCOMPARE(messages.shown().size(), size_t(2));
    }

    void accessKeysReachTheirLists()
    {
        frmPubOptions d(m_config, refresh());
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        const std::pair<Qt::Key, int> keys[] = {{Qt::Key_E, 0}, {Qt::Key_P, 1}, {Qt::Key_Y, 2},
                                                {Qt::Key_M, 3}, {Qt::Key_A, 4}, {Qt::Key_F, 5}};
        for (const auto& [key, slot] : keys) {
            QTest::keyClick(&d, key, Qt::AltModifier);
            QVERIFY2(d.list(slot)->hasFocus(), qPrintable(QString::number(slot)));
        }
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
