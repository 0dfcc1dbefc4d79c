#include "mainwindow/VersionCheck.h"

#include "support/ScriptedMessages.h"
#include "utility/WebPages.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <functional>

using zlv::MessageBox;
using zlv::VersionAnswer;
using zlv::VersionChecker;

Q_DECLARE_METATYPE(zlv::VersionAnswer)

namespace {

const char kNoConnection[] =
    "Cannot connect to QBS server to check the new version, please check the Internet "
    "connection and try again.\r\n\r\nPlease note that if you get the Internet connection "
    "through a proxy server, you must set the proxy in Microsoft Web Browser.";
const char kNewVersion[] =
    "New version found, please click <OK> to exit Zelvory, view the update and download the "
    "latest version, to abandon upgrading, please click <Cancel>.";
const char kNoNewVersion[] = "No available new version for upgrading.";

// A version file server on 127.0.0.1 that answers the way a test tells it to.
class VersionServer final : public QObject
{
public:
    enum class Mode
    {
        Answer,   // 200 with `body`
        NotFound, // 404 with `body` as the error page
        Silent,   // takes the connection and never answers
    };

    Mode mode = Mode::Answer;
    QByteArray body = "2.0";
    int delayMs = 0;
    int requests = 0;
    std::function<void()> onRequest; // runs while the client waits for the answer

    VersionServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                auto request = std::make_shared<QByteArray>();
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                    *request += socket->readAll();
                    if (!request->contains("\r\n\r\n")) {
                        return;
                    }
                    request->clear();
                    ++requests;
                    if (onRequest) {
                        onRequest();
                    }
                    if (mode != Mode::Silent) {
                        QTimer::singleShot(delayMs, socket, [this, socket] { answer(socket); });
                    }
                });
            }
        });
    }

    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1/vers/zlv.txt").arg(m_server.serverPort());
    }

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray status = mode == Mode::NotFound ? "404 Not Found" : "200 OK";
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};

// Stands in for the desktop's browser.
class Browser final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

// The main window as far as the check sees it: a window with the banner on it.
struct Window
{
    QWidget window;
    QPushButton* banner =
        new QPushButton(QStringLiteral("Checking the latest version, please wait..."), &window);
    Window()
    {
        window.resize(640, 480);
        banner->setGeometry(-10000, 0, 605, 71);
        banner->hide();
        window.show();
    }
};

QString Text(const MessageBox::Request& r)
{
    return QString::fromStdString(r.text);
}

} // namespace

class VersionCheckTest : public QObject
{
    Q_OBJECT

    Browser m_browser;

private Q_SLOTS:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "open");
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    void init() { m_browser.opened.clear(); }

    void classifiesAnswers_data()
    {
        QTest::addColumn<QString>("fetched");
        QTest::addColumn<QString>("own");
        QTest::addColumn<VersionAnswer>("expected");
        const auto row = [](const char* name, const QString& fetched, VersionAnswer a,
                            const char* own = "2.0") {
            QTest::newRow(name) << fetched << QString::fromLatin1(own) << a;
        };
        using A = VersionAnswer;
        row("same", QStringLiteral("2.0"), A::NoNewVersion);
        row("newer", QStringLiteral("2.1"), A::NewVersion);
        row("older is not new", QStringLiteral("1.9"), A::NoNewVersion);
        row("CR LF after it", QStringLiteral("2.0\r\n"), A::NoNewVersion);
        row("blanks and LFs after it", QStringLiteral("2.0 \t\n\n"), A::NoNewVersion);
        row("byte order mark", QString(QChar(0xFEFF)) + QStringLiteral("2.0"), A::NoNewVersion);
        row("newer with CR LF", QStringLiteral("2.1\r\n"), A::NewVersion);
        row("parts compare as numbers", QStringLiteral("2.10"), A::NewVersion, "2.9");
        row("two-digit major", QStringLiteral("10.0"), A::NewVersion);
        row("leading zeros", QStringLiteral("02.00"), A::NoNewVersion);
        row("missing part is zero", QStringLiteral("2.0.0"), A::NoNewVersion);
        row("extra part", QStringLiteral("2.0.1"), A::NewVersion);
        row("nine digits, no overflow", QStringLiteral("999999999"), A::NewVersion);
        row("long fraction still older", QStringLiteral("1.9999999"), A::NoNewVersion);
        row("not a number and different", QStringLiteral("2.0beta"), A::NewVersion);
        row("not a number and equal", QStringLiteral("2.0b"), A::NoNewVersion, "2.0b");
        row("own not a number", QStringLiteral("1.9"), A::NewVersion, "2.0b");
        row("nine characters", QStringLiteral("2.0.0.0.1"), A::NewVersion);
        row("ten characters", QStringLiteral("2.0.0.0.10"), A::NoConnection);
        row("an error page", QStringLiteral("<html><body>Not Found</body></html>"),
            A::NoConnection);
        row("two characters", QStringLiteral("21"), A::NoConnection);
        row("empty", QString(), A::NoConnection);
        row("only a line end", QStringLiteral("\r\n"), A::NoConnection);
        row("two characters padded to four", QStringLiteral("21\r\n"), A::NoConnection);
    }
    void classifiesAnswers()
    {
        QFETCH(QString, fetched);
        QFETCH(QString, own);
        QFETCH(VersionAnswer, expected);
        QCOMPARE(zlv::ClassifyVersionAnswer(fetched, own), expected);
    }

    void fetchYieldsTheBodyOrNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("answer") << int(VersionServer::Mode::Answer) << QByteArray("2.1")
                                << QStringLiteral("2.1");
        QTest::newRow("answer with line end") << int(VersionServer::Mode::Answer)
                                              << QByteArray("2.0\r\n") << QStringLiteral("2.0\r\n");
        QTest::newRow("empty body")
            << int(VersionServer::Mode::Answer) << QByteArray() << QString();
        // A short error page would pass for a version: the status must decide.
        QTest::newRow("404") << int(VersionServer::Mode::NotFound) << QByteArray("Not found")
                             << QString();
        QTest::newRow("endless body")
            << int(VersionServer::Mode::Answer) << QByteArray(200 * 1024, 'x') << QString();
    }
    void fetchYieldsTheBodyOrNothing()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        VersionServer server;
        server.mode = VersionServer::Mode(mode);
        server.body = body;
        QCOMPARE(zlv::FetchText(QUrl(server.url()), 5000), expected);
        QCOMPARE(server.requests, 1);
    }

    void fetchGivesUpAfterItsTimeOutAndOnRefusedConnections()
    {
        VersionServer server;
        server.mode = VersionServer::Mode::Silent;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(zlv::FetchText(QUrl(server.url()), 1000), QString());
        QVERIFY(clock.elapsed() >= 900);
        QCOMPARE(server.requests, 1);

        QString closedPort;
        {
            VersionServer gone;
            closedPort = gone.url();
        }
        QCOMPARE(zlv::FetchText(QUrl(closedPort), 5000), QString());
        QCOMPARE(zlv::FetchText(QUrl(), 5000), QString());
        QCOMPARE(zlv::FetchText(QUrl(QStringLiteral("vers/zlv.txt")), 5000), QString());
    }

    void checkOnRequestShowsTheAnswer_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        const auto row = [](const char* name, VersionServer::Mode mode, const char* body,
                            const char* text, MessageBox::Icon icon, MessageBox::Buttons buttons) {
            QTest::newRow(name) << int(mode) << QByteArray(body) << QString::fromLatin1(text)
                                << int(icon) << int(buttons);
        };
        using M = VersionServer::Mode;
        using I = MessageBox::Icon;
        using B = MessageBox::Buttons;
        row("2.0", M::Answer, "2.0", kNoNewVersion, I::Information, B::Ok);
        row("2.0 with line end", M::Answer, "2.0\r\n", kNoNewVersion, I::Information, B::Ok);
        row("1.9", M::Answer, "1.9", kNoNewVersion, I::Information, B::Ok);
        row("2.1", M::Answer, "2.1", kNewVersion, I::Question, B::OkCancel);
        row("404", M::NotFound, "Not found", kNoConnection, I::Exclamation, B::Ok);
        row("empty", M::Answer, "", kNoConnection, I::Exclamation, B::Ok);
        row("no answer", M::Silent, "", kNoConnection, I::Exclamation, B::Ok);
    }
    void checkOnRequestShowsTheAnswer()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(int, buttons);

        zlv::test::ScriptedMessages messages;
        messages.answerNext(MessageBox::Answer::Cancel);
        Window w;
        const QPoint home = w.banner->pos();
        VersionServer server;
        server.mode = VersionServer::Mode(mode);
        server.body = body;
        bool disabled = false, bannerUp = false, hourglass = false;
        QPoint bannerAt;
        server.onRequest = [&] {
            disabled = !w.window.isEnabled();
            bannerUp = w.banner->isVisible();
            bannerAt = w.banner->pos();
            hourglass = QGuiApplication::overrideCursor() &&
                        QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        };
        int exits = 0;
        VersionChecker checker(&w.window, w.banner, server.url(), [&] { ++exits; });
        checker.setFetchTimeoutMs(1000);
        checker.checkOnRequest();

        QCOMPARE(server.requests, 1);
        QVERIFY(disabled);
        QVERIFY(bannerUp);
        QVERIFY(hourglass);
        QCOMPARE(bannerAt, QPoint((640 - 605) / 2, (480 - 71) / 2));
        QVERIFY(w.window.isEnabled());
        QVERIFY(!w.banner->isVisible());
        QCOMPARE(w.banner->pos(), home);
        QVERIFY(!QGuiApplication::overrideCursor());

        QCOMPARE(messages.shown().size(), size_t(1));
        const MessageBox::Request& r = messages.shown().front();
        QCOMPARE(Text(r), message);
        QCOMPARE(int(r.icon), icon);
        QCOMPARE(int(r.buttons), buttons);
        QCOMPARE(r.defaultButton, MessageBox::Answer::Ok);
        QCOMPARE(QString::fromStdString(r.title).isEmpty() || r.title == "Zelvory", true);
        // Cancel on the question leaves everything as it was.
        QCOMPARE(exits, 0);
        QVERIFY(m_browser.opened.isEmpty());
    }

    void backgroundCheckRunsOnceAndQuietlyWhenUpToDate()
    {
        zlv::test::ScriptedMessages messages;
        Window w;
        VersionServer server;
        bool windowUntouched = true;
        server.onRequest = [&] {
            windowUntouched = w.window.isEnabled() && !w.banner->isVisible() &&
                              !QGuiApplication::overrideCursor();
        };
        VersionChecker checker(&w.window, w.banner, server.url(), {});
        QSignalSpy checked(&checker, &VersionChecker::checked);
        checker.startBackgroundTimer(20);
        checker.startBackgroundTimer(20);
        QTRY_COMPARE(checked.size(), 1);
        QTest::qWait(200);
        checker.startBackgroundTimer(20);
        QTest::qWait(200);

        QCOMPARE(server.requests, 1);
        QCOMPARE(checked.size(), 1);
        QCOMPARE(checked.front().at(0).value<VersionAnswer>(), VersionAnswer::NoNewVersion);
        QVERIFY(checker.backgroundCheckDone());
        QVERIFY(windowUntouched);
        QVERIFY(messages.shown().empty());
    }

    void backgroundCheckReportsNewVersionsAndMissingConnections()
    {
        zlv::test::ScriptedMessages messages;
        messages.answerNext(MessageBox::Answer::Cancel);
        Window w;
        VersionServer newer;
        newer.body = "2.1\n";
        VersionChecker a(&w.window, w.banner, newer.url(), {});
        QSignalSpy aChecked(&a, &VersionChecker::checked);
        a.startBackgroundTimer(0);
        QTRY_COMPARE(aChecked.size(), 1);
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(Text(messages.shown().back()), QString::fromLatin1(kNewVersion));

        VersionServer silent;
        silent.mode = VersionServer::Mode::Silent;
        VersionChecker b(&w.window, w.banner, silent.url(), {});
        b.setFetchTimeoutMs(500);
        QSignalSpy bChecked(&b, &VersionChecker::checked);
        b.startBackgroundTimer(0);
        QTRY_COMPARE(bChecked.size(), 1);
        QCOMPARE(messages.shown().size(), size_t(2));
        QCOMPARE(Text(messages.shown().back()), QString::fromLatin1(kNoConnection));
        QCOMPARE(messages.shown().back().icon, MessageBox::Icon::Exclamation);
        QVERIFY(m_browser.opened.isEmpty());
    }

    void okOpensTheUpdatePageAndArchiveThenExits()
    {
        zlv::test::ScriptedMessages messages;
        messages.answerNext(MessageBox::Answer::Ok);
        Window w;
        VersionServer server;
        server.body = "2.1";
        QList<QUrl> openedBeforeExit;
        int exits = 0;
        VersionChecker checker(&w.window, w.banner, server.url(), [&] {
            ++exits;
            openedBeforeExit = m_browser.opened;
        });
        checker.checkOnRequest();
        QCOMPARE(exits, 1);
        QCOMPARE(openedBeforeExit,
                 (QList<QUrl>{QUrl(QString::fromStdString(zlv::web::UpdatePage())),
                              QUrl(QString::fromStdString(zlv::web::LatestArchive()))}));
    }

    void exitThatDeletesTheCheckerIsSurvived()
    {
        zlv::test::ScriptedMessages messages;
        messages.answerNext(MessageBox::Answer::Ok);
        auto* w = new Window;
        VersionServer server;
        server.body = "9.9";
        auto* checker = new VersionChecker(&w->window, w->banner, server.url(), [&] {
            delete w; // the window closes, taking the checker with it
            w = nullptr;
        });
        QPointer<VersionChecker> alive(checker);
        checker->checkOnRequest();
        QVERIFY(!w);
        QVERIFY(!alive);
    }

    void backgroundCheckDueDuringARequestWaitsItsTurn()
    {
        zlv::test::ScriptedMessages messages;
        Window w;
        VersionServer server;
        server.delayMs = 300;
        VersionChecker checker(&w.window, w.banner, server.url(), {});
        QSignalSpy checked(&checker, &VersionChecker::checked);
        checker.startBackgroundTimer(10);
        checker.checkOnRequest();
        QCOMPARE(checked.size(), 1);
        QCOMPARE(checked.front().at(1).toBool(), true);
        QTRY_COMPARE(checked.size(), 2);
        QCOMPARE(checked.at(1).at(1).toBool(), false);
        QTest::qWait(100);
        QCOMPARE(server.requests, 2);
        QCOMPARE(messages.shown().size(), size_t(1)); // only the request says "no new version"
    }

    void emptyAddressMeansTheMakersVersionFile()
    {
        Window w;
        VersionChecker checker(&w.window, w.banner, QString(), {});
        QCOMPARE(checker.versionUrl(), QUrl(QString::fromStdString(zlv::web::VersionFile())));
        QVERIFY(checker.versionUrl().toString().endsWith(QStringLiteral("/vers/zlv.txt")));
    }
};

QTEST_MAIN(VersionCheckTest)
#include "VersionCheckTest.moc"
