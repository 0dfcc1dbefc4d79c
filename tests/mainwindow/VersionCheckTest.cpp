#include "mainwindow/VersionCheck.h"

#include "mainwindow/VersionRule.h"
#include "support/OpenedUrls.h"
#include "support/ScriptedMessages.h"
#include "support/VersionServer.h"
#include "utility/ProductVersion.h"
#include "utility/WebPages.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QtTest>

using zlv::MessageBox;
using zlv::VersionAnswer;
using zlv::VersionChecker;
using zlv::test::VersionServer;

Q_DECLARE_METATYPE(zlv::VersionAnswer)

namespace {

// The main window as far as the check sees it: a window with the banner on it.
struct Window
{
    QWidget window;
    QPushButton* banner = new QPushButton(&window);
    Window()
    {
        window.resize(640, 480);
        banner->setGeometry(-10000, 0, 605, 71);
        banner->hide();
        window.show();
    }
};

// What the user sees of the window; an hourglass is cursor 3.
QString Looks(const Window& w)
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return QString::asprintf("enabled %d, banner %d at %d,%d, cursor %d", int(w.window.isEnabled()),
                             int(w.banner->isVisible()), w.banner->x(), w.banner->y(),
                             cursor ? int(cursor->shape()) : -1);
}

} // namespace

class VersionCheckTest : public QObject
{
    Q_OBJECT

    zlv::test::OpenedUrls m_browser;

private Q_SLOTS:

    void classifiesAnswersAndFetchesNothingForBadOnes()
    {
        const auto expect = [](VersionAnswer answer, const char* own,
                               std::initializer_list<const char*> fetched) {
            for (const char* f : fetched) {
                QVERIFY2(zlv::ClassifyVersionAnswer(QString::fromUtf8(f),
                                                    QString::fromLatin1(own)) == answer,
                         f);
            }
        };
        using A = VersionAnswer;
        // Trailing blanks and a byte order mark do not count; parts compare as numbers of
        // any length; what is not a dotted number is new when it differs.
        expect(A::NoNewVersion, "2.0", {"2.0 \t\n\n", "02.00", "2.0.0", "1.9999999"});
        expect(A::NewVersion, "2.0", {"2.0.1", "999999999", "2.0beta", "2.0.0.0.1"});
        expect(A::NewVersion, "2.9", {"2.10"});
        QCOMPARE(zlv::ClassifyVersionAnswer(QChar(0xFEFF) + QStringLiteral("2.0")),
                 A::NoNewVersion);
        // Fewer than 3 or more than 9 characters are no version file at all.
        expect(A::NoConnection, "2.0",
               {"2.0.0.0.10", "<html><body>Not Found</body></html>", "21", "21\r\n", "\r\n"});

        // An overlong body or a relative address fetches nothing.
        VersionServer server;
        server.body = QByteArray(200 * 1024, 'x');
        QCOMPARE(zlv::FetchText(QUrl(server.url()), 5000), QString());
        QCOMPARE(zlv::FetchText(QUrl(QStringLiteral("vers/zlv.txt")), 5000), QString());
    }

    void bothChecksAnswerEachKindOfServer_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<VersionAnswer>("answer");
        const auto row = [](const char* name, const char* status, const char* body,
                            VersionAnswer answer) {
            QTest::newRow(name) << QByteArray(status) << QByteArray(body) << answer;
        };
        row("running version", "200 OK", zlv::kProgramVersion, VersionAnswer::NoNewVersion);
        row("newer", "200 OK", "999.0", VersionAnswer::NewVersion);
        // A short error page would pass for a version: the status must decide.
        row("404", "404 Not Found", "Not found", VersionAnswer::NoConnection);
        row("empty", "200 OK", "", VersionAnswer::NoConnection);
        row("no answer", "", "", VersionAnswer::NoConnection);
    }
    void bothChecksAnswerEachKindOfServer()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        QFETCH(VersionAnswer, answer);
        zlv::test::ScriptedMessages messages;
        messages.answerNext(MessageBox::Answer::Cancel);
        messages.answerNext(MessageBox::Answer::Cancel);
        Window w;
        VersionServer server;
        server.status = status;
        server.body = body;
        QStringList looks;
        server.onRequest = [&] { looks << Looks(w); };
        int exits = 0;
        VersionChecker checker(&w.window, w.banner, server.url(), [&] { ++exits; });
        checker.setFetchTimeoutMs(500);
        QSignalSpy checked(&checker, &VersionChecker::checked);
        QSignalSpy quiet(&checker, &VersionChecker::backgroundFailed);

        // The background check falls due while the request waits: it waits its turn, and it
        // runs once however often it is armed.
        checker.startBackgroundTimer(0);
        checker.startBackgroundTimer(0);
        checker.checkOnRequest();
        QCOMPARE(checked.size(), 1);
        QTRY_COMPARE(checked.size(), 2);
        checker.startBackgroundTimer(0);
        QTest::qWait(50);
        QCOMPARE(checked.size(), 2);

        // Only the check on request shows that it is waiting, and then puts all back. The
        // banner is centred on the outer size: 644 by 484 with the offscreen frame.
        const QString idle = QStringLiteral("enabled 1, banner 0 at -10000,0, cursor -1");
        QCOMPARE(looks.join(QLatin1String(" / ")),
                 QStringLiteral("enabled 0, banner 1 at 19,206, cursor 3 / ") + idle);
        QCOMPARE(Looks(w), idle);
        // The background check keeps "no new version" to itself, and says a failure only
        // quietly, once: never in a box nobody asked for.
        const bool failed = answer == VersionAnswer::NoConnection;
        QCOMPARE(quiet.size(), failed ? 1 : 0);
        if (failed) {
            QCOMPARE(quiet.front().at(0).toString().toStdString(),
                     zlv::version::QuietNoConnectionText());
            QCOMPARE(quiet.front().at(1).toString().toStdString(),
                     zlv::version::NoConnectionText());
        }
        using namespace zlv::version;
        const std::tuple<std::string, MessageBox::Icon, MessageBox::Buttons> expected[] = {
            {NoConnectionText(), MessageBox::Icon::Exclamation, MessageBox::Buttons::Ok},
            {NoNewVersionText(), MessageBox::Icon::Information, MessageBox::Buttons::Ok},
            {NewVersionText(), MessageBox::Icon::Question, MessageBox::Buttons::OkCancel}};
        const auto& [text, icon, buttons] = expected[int(answer)];
        QCOMPARE(messages.shown().size(), size_t(answer == VersionAnswer::NewVersion ? 2 : 1));
        for (const MessageBox::Request& r : messages.shown()) {
            QCOMPARE(r.text, text);
            QCOMPARE(r.icon, icon);
            QCOMPARE(r.buttons, buttons);
            QCOMPARE(r.defaultButton, MessageBox::Answer::Ok);
        }
        // Cancel on the question leaves everything as it was.
        QCOMPARE(exits, 0);
        QVERIFY(m_browser.urls.isEmpty());
    }

    void aBuildWithoutAServerNeverFetchesAndSaysSoWhenAsked()
    {
        zlv::test::ScriptedMessages messages;
        Window w;
        // What a build made without ZLV_SERVER_URL asks: a placeholder of its own.
        VersionChecker checker(&w.window, w.banner,
                               QStringLiteral("https://www.qbsoftware.example/vers/zlv.txt"), {});
        int fetches = 0;
        checker.setFetcher([&](const QUrl&, int) { return ++fetches, QString(); });
        QSignalSpy quiet(&checker, &VersionChecker::backgroundFailed);
        checker.startBackgroundTimer(0);
        QTest::qWait(50);
        QVERIFY(messages.shown().empty() && quiet.isEmpty());
        checker.checkOnRequest();
        QCOMPARE(fetches, 0);
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(messages.shown()[0].text, zlv::version::NoServerText());
        QCOMPARE(Looks(w), QStringLiteral("enabled 1, banner 0 at -10000,0, cursor -1"));
    }

    void okOpensTheUpgradePagesThenExitsEvenWhenThatEndsTheChecker()
    {
        zlv::test::ScriptedMessages messages; // OK, the question's default
        auto* w = new Window;
        VersionServer server;
        server.body = "2.1";
        QList<QUrl> openedBeforeExit;
        auto* checker = new VersionChecker(&w->window, w->banner, server.url(), [&] {
            openedBeforeExit = m_browser.urls;
            delete w; // the window closes, taking the checker with it
            w = nullptr;
        });
        QPointer<VersionChecker> alive(checker);
        checker->checkOnRequest();
        QVERIFY(!w);
        QVERIFY(!alive);
        QCOMPARE(openedBeforeExit,
                 (QList<QUrl>{QUrl(QString::fromStdString(zlv::web::UpdatePage())),
                              QUrl(QString::fromStdString(zlv::web::LatestArchive()))}));
    }
};

QTEST_MAIN(VersionCheckTest)
#include "VersionCheckTest.moc"
