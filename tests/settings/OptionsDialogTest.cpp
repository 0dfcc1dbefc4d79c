#include "mock/ManualClock.h"
#include "settings/frmPubOptions.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "utility/SystemUtility.h"
// Hidden from moc, which cannot parse the <compare> these pull in.
#ifndef Q_MOC_RUN
#include "settings/DisplayFormat.h"
#include "settings/Settings.h"
#include "utility/Clock.h"
#endif

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using zlv::frmPubOptions;
using zlv::MessageBox;

namespace {

// Picks an entry in each list, from the first; nullptr leaves a list as it is.
void Choose(frmPubOptions& d, std::initializer_list<const char*> entries)
{
    int slot = 0;
    for (const char* entry : entries) {
        QComboBox* list = d.list(slot++);
        if (entry) {
            list->setCurrentIndex(list->findText(QString::fromUtf8(entry)));
            QVERIFY2(list->currentText() == QString::fromUtf8(entry), entry);
        }
    }
}

// The six lists' texts, joined by "|".
QString Texts(const frmPubOptions& d)
{
    QStringList texts;
    for (int slot = 0; slot < 6; ++slot) {
        texts << d.list(slot)->currentText();
    }
    return texts.join(QLatin1Char('|'));
}

const QString kDefaults = QStringLiteral("Month Day Year|{Space}|YYYY|MMM|DD|HH:MM:SS");
const std::vector<std::string> kSaved{"Save successfully!"};

} // namespace

class OptionsDialogTest : public QObject
{
    Q_OBJECT

    zlv::ManualClock m_clock{zlv::LocalDateTime{{2006, 2, 8}, 23, 34, 23}};
    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_config;
    int m_refreshes = 0;
    const std::function<void()> m_refresh = [this] { ++m_refreshes; };

    // The six stored keys, joined by "|" in the order of the lists.
    QString stored() const
    {
        QStringList values;
        for (const char* key : {"Sequence", "Separator", "Year", "Month", "Day", "Time"}) {
            values << QString::fromStdString(zlv::SystemUtility::ReadSetting(m_config, "DTF", key));
        }
        return values.join(QLatin1Char('|'));
    }
    void store(const char* key, const char* value)
    {
        zlv::SystemUtility::WriteSetting(m_config, "DTF", key, value);
    }

private Q_SLOTS:
    void initTestCase() { zlv::Clock::setInstance(&m_clock); }
    void cleanupTestCase() { zlv::Clock::setInstance(nullptr); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_config = QDir(m_dir->path()).filePath(QStringLiteral("configuration.ini")).toStdString();
        QVERIFY(QFile(QString::fromStdString(m_config)).open(QIODevice::WriteOnly));
        zlv::WriteDefaultSettings(m_config);
        zlv::LoadSettings(m_config);
        m_refreshes = 0;
        m_clock.set({{2006, 2, 8}, 23, 34, 23});
    }

    void previewFollowsTheUnsavedChoiceWhichCloseDrops()
    {
        zlv::test::ScriptedMessages messages;
        const std::string before = zlv::test::ReadAll(m_config);
        {
            frmPubOptions d(m_config, m_refresh);
            QCOMPARE(Texts(d), kDefaults);
            QCOMPARE(d.preview()->text(), QStringLiteral("Feb 08 2006 23:34:23"));
            Choose(d, {"Day Month Year", "/", "YY", "M", "D", "H:M:S AM/PM"});
            QCOMPARE(d.preview()->text(), QStringLiteral("8/2/06 11:34:23 PM"));
            d.show();
            QTest::keyClick(d.list(4), Qt::Key_Up); // the user's keyboard moves it as well
            QCOMPARE(d.preview()->text(), QStringLiteral("08/2/06 11:34:23 PM"));
            // Enter in a list presses no button; the entry chosen again shows the new time.
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(d.list(5), key);
            }
            m_clock.advanceSeconds(1);
            d.list(5)->showPopup();
            QTest::keyClick(d.list(5)->view(), Qt::Key_Return);
            QCOMPARE(d.preview()->text(), QStringLiteral("08/2/06 11:34:24 PM"));
            QTest::mouseClick(d.button(frmPubOptions::kClose), Qt::LeftButton);
            QVERIFY(!d.isVisible());
        }
        QCOMPARE(zlv::test::ReadAll(m_config), before);
        QCOMPARE(zlv::ProgramDisplayFormat()[0], std::string("Month Day Year"));
        QCOMPARE(Texts(frmPubOptions(m_config, m_refresh)), kDefaults);
        QCOMPARE(m_refreshes, 0);
        QVERIFY(messages.shown().empty());
    }

    void saveWritesAllSixKeysOnlyWhenTheChoiceDiffersAndDefaultRestoresThem()
    {
        zlv::test::ScriptedMessages messages;
        store("Time", ""); // lost from the file while memory still has it: written back too
        frmPubOptions d(m_config, m_refresh);
        d.show();
        Choose(d, {"Year Month Day", "-"});
        QTest::mouseClick(d.button(frmPubOptions::kSave), Qt::LeftButton);
        QVERIFY(d.isVisible());
        QCOMPARE(stored(), QStringLiteral("Year Month Day|-|YYYY|MMM|DD|HH:MM:SS"));
        QCOMPARE(zlv::GetDisplayPattern(), std::string("YYYY-MMM-DD HH:MM:SS"));
        QCOMPARE(m_refreshes, 1);
        QCOMPARE(messages.texts(), kSaved);
        QCOMPARE(messages.shown().front().icon, MessageBox::Icon::Information);
        QCOMPARE(messages.shown().front().buttons, MessageBox::Buttons::Ok);

        // Lists and file agree, also after a change taken back: Save does nothing at all.
        const std::string after = zlv::test::ReadAll(m_config);
        Choose(d, {nullptr, nullptr, "YY"});
        Choose(d, {nullptr, nullptr, "YYYY"});
        QTest::mouseClick(d.button(frmPubOptions::kSave), Qt::LeftButton);
        QCOMPARE(zlv::test::ReadAll(m_config), after);

        // Default puts back file, memory, lists and preview silently, over an unsaved choice.
        Choose(d, {nullptr, nullptr, nullptr, nullptr, "D"});
        QTest::mouseClick(d.button(frmPubOptions::kDefault), Qt::LeftButton);
        QCOMPARE(Texts(d), kDefaults);
        QCOMPARE(d.preview()->text(), QStringLiteral("Feb 08 2006 23:34:23"));
        QCOMPARE(stored(), kDefaults);
        QCOMPARE(zlv::GetDisplayPattern(), std::string("MMM DD YYYY HH:MM:SS"));
        QCOMPARE(m_refreshes, 2);
        // Also when nothing differs: the file gets the defaults back.
        store("Day", "");
        d.restoreDefaults();
        QCOMPARE(stored(), kDefaults);
        QCOMPARE(m_refreshes, 3);
        QCOMPARE(messages.texts(), kSaved);
    }

    void handEditedValuesOpenEmptyAndAFailedWriteIsNotReportedAsSaved()
    {
        zlv::test::ScriptedMessages messages;
        store("Separator", ".");
        store("Year", "Quarter");
        store("Month", "mmm"); // case counts
        store("Day", "\xff\xfe");
        zlv::LoadSettings(m_config);
        frmPubOptions d(m_config, m_refresh);
        QCOMPARE(Texts(d), QStringLiteral("Month Day Year|.||||HH:MM:SS"));
        d.save();
        QCOMPARE(stored(), QStringLiteral("Month Day Year|.||||HH:MM:SS"));
        QCOMPARE(messages.texts(), kSaved);

        // A configuration path that is a folder can be neither written nor read.
        const QString folder = QDir(m_dir->path()).filePath(QStringLiteral("cfg"));
        QVERIFY(QDir().mkpath(folder));
        frmPubOptions broken(folder.toStdString(), m_refresh);
        Choose(broken, {nullptr, nullptr, nullptr, nullptr, nullptr, "H:M:S"});
        broken.save();
        QCOMPARE(messages.texts().size(), std::size_t(2));
        QVERIFY(messages.texts().back().find(folder.toStdString()) != std::string::npos);
        QCOMPARE(messages.shown().back().icon, MessageBox::Icon::Exclamation);
        // Memory still holds what was stored before, and the choice can be saved again.
        QCOMPARE(zlv::ProgramDisplayFormat()[5], std::string("HH:MM:SS"));
        broken.save();
        QCOMPARE(messages.texts().size(), std::size_t(3));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
