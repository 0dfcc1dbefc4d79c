#include "browse/ExportRows.h"

#include "logstore/LogLines.h"
#include "logstore/LogList.h"
#include "settings/DisplayFormat.h"
#include "support/Modal.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTest>

using namespace zlv;
using namespace zlv::test;

class ExportRowsTest final : public QObject
{
    Q_OBJECT

    TempDir m_dir;
    LogList m_list;
    std::string m_quoted, m_wide;

private Q_SLOTS:
    void initTestCase()
    {
        ProgramDisplayFormat() = DefaultDisplayFormat();
        m_quoted = RecordLine(Stamp(9, 0, 0), "File", "Created", "/p, q/", "say \"hi\"");
        m_wide = "2024-03-05 09:00:01\tFile\tRenamed\t/p/\ta\tb\tc\r\n";
        const std::string day = m_dir / "day.log";
        WriteBytes(day, m_quoted + m_wide + CreatedLine(Stamp(9, 0, 2), "zzz"));
        m_list.rebuildFrom(day);
        m_list.setFilter("p");
        m_list.sortBy(4, SortOrder::Descending);
    }

    // What --format csv prints, for the rows shown in their order: the same header and the
    // stored stamps, not the captions and the times as the list shows them.
    void writesTheShownRowsAsTheCommandLineDoes()
    {
        const QString csv = QString::fromStdString(m_dir / "out.csv");
        const QString log = QString::fromStdString(m_dir / "out.log");
        QVERIFY(ExportRows(m_list, csv, ExportForm::Csv));
        QVERIFY(ExportRows(m_list, log, ExportForm::DayFile));
        QCOMPARE(ReadAll(csv.toStdString()),
                 std::string("time,object,action,path,original_name,new_name\r\n"
                             "2024-03-05 09:00:00,File,Created,\"/p, q/\",\"say \"\"hi\"\"\",\r\n"
                             "2024-03-05 09:00:01,File,Renamed,/p/,a,b\tc\r\n"));
        QCOMPARE(ReadAll(log.toStdString()), m_quoted + m_wide);
        // Stopped half-way, the file stays as it was.
        QVERIFY(!ExportRows(m_list, log, ExportForm::Csv, [](int, int) { return false; }));
        QCOMPARE(ReadAll(log.toStdString()), m_quoted + m_wide);
    }

    // The dialog starts in Documents with a dated name; a name typed without the extension
    // gets it, without replacing another file unasked; the status bar hears where it went.
    void theCommandNamesTheFileAndSaysWhatItWrote()
    {
        qputenv("HOME", QByteArray::fromStdString(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_dir / "config"));
        QDir(QString::fromStdString(m_dir.path())).mkpath(QStringLiteral("Documents"));
        const QString documents = QString::fromStdString(m_dir / "Documents");
        QCOMPARE(SuggestedExportPath({2026, 12, 7}, ExportForm::Csv),
                 documents + QStringLiteral("/zelvory-2026-12-07.csv"));

        ScriptedMessages messages;
        QString typed, told;
        SetExportTargetQuestion([&](QWidget*, const QString&, ExportForm& form) {
            form = ExportForm::Csv;
            return typed;
        });
        const auto tell = [&](const QString& line) { told = line; };
        typed = documents + QStringLiteral("/report");
        ExportList(nullptr, m_list, tell);
        QVERIFY(QFileInfo::exists(documents + QStringLiteral("/report.csv")));
        QCOMPARE(told,
                 QStringLiteral("Exported 2 rows to ") + documents + QStringLiteral("/report.csv"));

        // report.csv is there now: "report" again asks first, and No leaves it alone.
        WriteBytes((documents + QStringLiteral("/report.csv")).toStdString(), "mine");
        told.clear();
        messages.answerNext(MessageBox::Answer::No);
        ExportList(nullptr, m_list, tell);
        QCOMPARE(ReadAll((documents + QStringLiteral("/report.csv")).toStdString()),
                 std::string("mine"));
        QVERIFY(told.isEmpty());
        QCOMPARE(messages.shown().size(), std::size_t(1));
        SetExportTargetQuestion({});
    }

    // Qt's own file dialog keeps a history in QtProject.conf; none is left behind. Accepted
    // as it opens, it writes where it was told to start.
    void theRealDialogLeavesNoSettingsFileBehind()
    {
        const QString config = QString::fromStdString(m_dir / "config");
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        QDir(QString::fromStdString(m_dir.path())).mkpath(QStringLiteral("Documents"));
        const QString target = SuggestedExportPath(Clock::instance().now().date, ExportForm::Csv);
        bool answered = false;
        WithModal([this] { ExportList(nullptr, m_list); },
                  [&](QWidget& modal) {
                      if (auto* dialog = qobject_cast<QFileDialog*>(&modal)) {
                          static_cast<QDialog*>(dialog)->accept();
                          answered = true;
                      }
                  });
        QVERIFY(answered);
        QVERIFY(QFileInfo::exists(target));
        QVERIFY(!QFileInfo::exists(config + QStringLiteral("/QtProject.conf")));
    }
};

QTEST_MAIN(ExportRowsTest)
#include "ExportRowsTest.moc"
