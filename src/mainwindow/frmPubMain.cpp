#include "mainwindow/frmPubMain.h"

#include "browse/frmPubDetail.h"
#include "logstore/GapMarks.h"
#include "logstore/LogListView.h"
#include "mainwindow/Commands.h"
#include "mainwindow/DataFolderNotice.h"
#include "mainwindow/DateRange.h"
#include "mainwindow/DesktopCommands.h"
#include "mainwindow/DesktopNotifier.h"
#include "mainwindow/DesktopWords.h"
#include "mainwindow/ExclusionCommands.h"
#include "mainwindow/FirstStartNotice.h"
#include "mainwindow/Geometry.h"
#include "mainwindow/HealthNotice.h"
#include "mainwindow/QtMessageBox.h"
#include "mainwindow/QuietNotice.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/VersionCheck.h"
#include "mainwindow/WindowPlacement.h"
#include "settings/DisplayFormat.h"
#include "settings/Settings.h"
#include "settings/frmPubAbout.h"
#include "settings/frmPubOptions.h"
#include "utility/Contrast.h"
#include "utility/FormFont.h"
#include "utility/FormLayout.h"
#include "utility/ListUtility.h"
#include "utility/MessageBox.h"
#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <algorithm>

namespace zlv {

namespace {

QDate ToQDate(const Date& d)
{
    return QDate(d.year, d.month, d.day);
}

Date FromQDate(const QDate& d)
{
    return Date{d.year(), d.month(), d.day()};
}

// The controls were designed on a client area whose top held the toolbar; here the
// toolbar lives outside the central widget, so design tops move up by its design height.
constexpr int Below(int designTop)
{
    return designTop - layout::kToolbarDesignHeight;
}

QIcon ProductIcon()
{
    // The drawn bitmaps keep the small sizes crisp; the drawing serves every other size.
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/icons/zelvory-%1.png").arg(size), QSize(size, size));
    }
    icon.addFile(QStringLiteral(":/icons/zelvory.svg"));
    return icon;
}

} // namespace

frmPubMain::frmPubMain(Options options) : m_options(std::move(options))
{
    setObjectName(QStringLiteral("frmPubMain"));
    setWindowTitle(QStringLiteral("Zelvory"));
    setWindowIcon(ProductIcon());
    // Neither the menu bar nor the toolbar offers to hide the toolbar.
    setContextMenuPolicy(Qt::PreventContextMenu);
    menuBar()->setContextMenuPolicy(Qt::PreventContextMenu);
    buildControls();
    m_tray = new TrayIcon(this, windowIcon(), m_options.trayAvailable);
    AddDesktopCommands(*this, BuildCommands(*this));
    startUp();
}

frmPubMain::~frmPubMain()
{
    shutDown();
}

void frmPubMain::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
    m_client->installEventFilter(this);
    m_client->setFont(FormFont());

    FormLayout form;
    m_optTod = new QRadioButton(QStringLiteral("Today"), m_client);
    m_optTod->setObjectName(QStringLiteral("optTod"));
    form.place(m_optTod, 90, Below(900), 900, 300);
    m_optHis = new QRadioButton(QStringLiteral("History"), m_client);
    m_optHis->setObjectName(QStringLiteral("optHis"));
    form.place(m_optHis, 1080, Below(900), 960, 300);

    m_lblFrom = new QLabel(QStringLiteral("From"), m_client);
    m_lblFrom->setObjectName(QStringLiteral("lbl0"));
    form.placeSizedToText(m_lblFrom, 2130, Below(953), 2580, 195);
    m_lblTo = new QLabel(QStringLiteral("To"), m_client);
    m_lblTo->setObjectName(QStringLiteral("lbl1"));
    form.placeSizedToText(m_lblTo, 5685, Below(960), 5955, 195);

    auto makePicker = [this](const char* name) {
        auto* picker = new QDateEdit(m_client);
        picker->setObjectName(QString::fromLatin1(name));
        picker->setCalendarPopup(true);
        // Typing a date digit by digit must not load a range for every keystroke.
        picker->setKeyboardTracking(false);
        picker->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
        picker->setEnabled(false);
        connect(picker, &QDateEdit::dateChanged, this, [this] { runRangeCheck(); });
        return picker;
    };
    m_dtpF = makePicker("dtpF");
    m_dtpT = makePicker("dtpT");
    form.place(m_dtpF, 2580, Below(900), 3015, 300);
    form.place(m_dtpT, 5955, Below(900), 3015, 300);
    m_lblFrom->setBuddy(m_dtpF);
    m_lblTo->setBuddy(m_dtpT);
    form.apply();
    m_scale = form.scale();

    m_today = new LogListView(LogListView::Kind::Today, m_client);
    m_history = new LogListView(LogListView::Kind::History, m_client);
    for (LogListView* list : {m_today, m_history}) {
        list->move(form.x(layout::kListLeft), form.y(Below(layout::kListTop)));
        list->setFont(FormFont());
        connect(list, &LogListView::detailRequested, this, [this, list] {
            if (list == visibleList()) {
                showDetailView();
            }
        });
        connect(list, &LogListView::rowCountChanged, this, [this, list] {
            if (list == visibleList()) {
                refreshRowCount();
            }
        });
    }
    m_history->hide();

    m_stb = new StatusBar(this);
    setStatusBar(m_stb);
    connect(m_stb, &StatusBar::versionPanelClicked, this, &frmPubMain::showAbout);
    // The Today list follows the calendar even when nothing is recorded at midnight.
    connect(m_stb, &StatusBar::dateChanged, this, [this] {
        rebuildToday();
        refreshTodayGaps();
    });

    m_cmbProgress =
        new QPushButton(QStringLiteral("Checking the latest version, please wait..."), this);
    m_cmbProgress->setObjectName(QStringLiteral("cmbProgress"));
    m_cmbProgress->setFont(FormFont(20.25, true));
    styleBanner();
    // It floats over the window, so it grows for its text without moving anything else.
    m_cmbProgress->resize(m_scale.X(9075), m_scale.Y(1065));
    m_cmbProgress->setGeometry(
        QRect(QPoint(-10000, 0), m_cmbProgress->size().expandedTo(TextNeed(*m_cmbProgress))));
    m_cmbProgress->setFocusPolicy(Qt::NoFocus);
    m_cmbProgress->hide();

    connect(m_optTod, &QRadioButton::clicked, this, &frmPubMain::showTodayView);
    connect(m_optHis, &QRadioButton::clicked, this, &frmPubMain::showHistoryView);

    setTabOrder(m_today, m_dtpF);
    setTabOrder(m_dtpF, m_optHis);
    setTabOrder(m_optHis, m_optTod);
    setTabOrder(m_optTod, m_dtpT);
    setTabOrder(m_dtpT, m_history);
}

void frmPubMain::styleBanner()
{
    // Its own colours in every state: it is shown while the window is disabled, which
    // would otherwise grey it out. The blue is darkened only as far as a dark theme's light
    // text needs to be read on it.
    const QColor text = palette().color(QPalette::Active, QPalette::ButtonText);
    const QString blue = contrast::Readable(QColor(128, 128, 255), text).name();
    m_cmbProgress->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: %2; border: 2px outset %1; }")
            .arg(blue, text.name()));
}

void frmPubMain::startUp()
{
    // The program ends when the close question is answered Yes, and only then: not when a
    // message box is dismissed while the window sits hidden in the tray.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QApplication::setQuitOnLastWindowClosed(false);
    }
    SetMessageBoxOwner(this);

    const SystemUtility::AppDataLookup appData =
        m_options.appData.empty() ? SystemUtility::LocateAppData()
                                  : SystemUtility::AppDataLookup{m_options.appData, {}};
    if (!appData.path.empty()) {
        m_folder.establish(appData.path);
        ShowFirstStartNotice(*m_today, QString::fromStdString(m_folder.logsFolder()),
                             [this] { manageLogFiles(); });
    } else {
        ShowDataFolderProblem(*m_today, QString::fromStdString(appData.problem));
    }
    LoadSettingsAtStartup(m_folder.configurationFile());

    m_stb->setVersionText(QStringLiteral(" Version %1 (Build %2) ")
                              .arg(QLatin1String(kProgramVersion), QLatin1String(kBuildNumber)));

    m_optTod->setChecked(true);
    if (!m_folder.dataFolder().empty()) {
        m_today->loadFile(m_folder.dayFilePath(today()));
    }
    ListUtility::AdjustListView(*m_today);
    m_today->highlightRows();
    refreshRowCount();
    refreshTodayGaps();

    const QDate yesterday = ToQDate(today().addDays(-1));
    for (QDateEdit* picker : {m_dtpF, m_dtpT}) {
        const QSignalBlocker quiet(picker);
        picker->setDate(yesterday);
    }

    m_notifier = new DesktopNotifier(this);
    connect(m_notifier, &DesktopNotifier::activated, this, [this](const QByteArray& token) {
        bringForward({token, {}});
    });
    m_health = new HealthNotice(this, m_stb, m_tray, m_notifier);
    connect(m_health, &HealthNotice::gapWritten, this, &frmPubMain::refreshTodayGaps);

    if (m_options.makeSource && !m_folder.dataFolder().empty()) {
        m_hide = std::make_unique<frmPubHide>(m_folder, m_options.makeSource(m_folder));
        if (m_options.keepRunState) {
            m_hide->keepRunState();
            m_heartbeat.setTimerType(Qt::VeryCoarseTimer);
            connect(&m_heartbeat, &QTimer::timeout, this, [this] { m_hide->publishState(); });
            m_heartbeat.start(60000);
        }
        // Called inside an append: what it sets off waits for the event loop.
        m_folder.setRemadeCallback(
            [this] { QTimer::singleShot(0, this, &frmPubMain::dataFolderRemade); });
        m_todayTimer.setSingleShot(true);
        connect(&m_todayTimer, &QTimer::timeout, this, &frmPubMain::rebuildToday);
        m_hide->setRecordedCallback([this] { scheduleTodayRebuild(); });
        m_hide->setRetryScheduler(
            [this](int ms) { QTimer::singleShot(ms, this, [this] { m_hide->retryHeld(); }); });
        m_health->watch(m_hide.get());
        ApplyStoredExclusions(m_folder.configurationFile(), m_hide->source());
        m_hide->load(); // a failed start is told by the capture itself
        // The start may have noted the span since the last run, or the last run's end.
        refreshTodayGaps();
    }

    m_versionChecker =
        new VersionChecker(this, m_cmbProgress, m_options.versionUrl, [this] { close(); });
    // A close asked for while a check waited is asked now that it is over.
    connect(m_versionChecker, &VersionChecker::checked, this, [this] {
        if (m_closeAfterCheck) {
            QTimer::singleShot(0, this, [this] {
                if (m_closeAfterCheck) {
                    close();
                }
            });
        }
    });
    auto* quiet = new QuietNotice(m_stb, m_tray);
    connect(m_versionChecker, &VersionChecker::backgroundFailed, quiet,
            [this, quiet](const QString& headline, const QString& details) {
                quiet->show(headline, details);
                // Heard on the desktop too while the user is away from the window.
                m_notifier->notify(QStringLiteral("version-check"), headline, details);
            });
    if (m_options.versionCheckDelayMs > 0) {
        m_versionChecker->startBackgroundTimer(m_options.versionCheckDelayMs);
    }

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // Logging off asks the same question as any other way of stopping.
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
            if (manager.allowsInteraction() && !confirmSessionEnd()) {
                manager.cancel();
            }
        });
    }

    resize(m_scale.X(layout::kClientWidth),
           m_scale.Y(layout::kClientHeight) + menuBar()->sizeHint().height());
    // Placed now by its inner size, and again once the window manager has framed it.
    placeWindow();
    WhenFramed(this, [this] { placeWindow(); });
}

Date frmPubMain::today() const
{
    return Clock::instance().now().date;
}

void frmPubMain::placeWindow()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QSize outer = frameGeometry().size();
    const auto at = layout::GoldenPlacement(
        {screen->geometry().width(), screen->geometry().height()}, {outer.width(), outer.height()});
    move(screen->geometry().topLeft() + QPoint(at.x, at.y));
}

LogListView* frmPubMain::visibleList() const
{
    // Asked of the lists themselves, not of the screen: while the window sits in the
    // notification area nothing is visible, yet the view the user chose still counts.
    return m_history->isHidden() ? m_today : m_history;
}

void frmPubMain::refreshRowCount()
{
    m_stb->setRowCountText(visibleList()->rowCountText());
}

void frmPubMain::showList(LogListView* list)
{
    list->show();
    (list == m_today ? m_history : m_today)->hide();
    // Another list now shows: its count, which changes by its own signal from here on.
    refreshRowCount();
}

void frmPubMain::layoutLists()
{
    // The lists keep their corner and a 90-twip margin to the right edge and to the
    // status bar, which lies below the central widget.
    const auto size =
        layout::ListSize({m_client->width(), m_client->height()}, {m_today->x(), m_today->y()},
                         {m_scale.X(kFormMarginTwips), m_scale.Y(kFormMarginTwips)},
                         {m_listSize.width(), m_listSize.height()});
    m_listSize = QSize(size.width, size.height);
    for (LogListView* list : {m_today, m_history}) {
        list->resize(m_listSize);
        ListUtility::AdjustListView(*list);
    }
}

bool frmPubMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        layoutLists();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmPubMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_cmbProgress) {
        styleBanner();
    }
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray) {
        // Hiding from inside the state change confuses some window managers; let the
        // minimise finish first.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                m_tray->AddTrayIcon();
            }
        });
    }
}

void frmPubMain::showTodayView()
{
    m_optTod->setChecked(true);
    m_dtpF->setEnabled(false);
    m_dtpT->setEnabled(false);
    showList(m_today);
}

void frmPubMain::showHistoryView()
{
    m_optHis->setChecked(true);
    m_dtpF->setEnabled(true);
    m_dtpT->setEnabled(true);
    m_dtpF->setFocus();
    runRangeCheck();
}

void frmPubMain::runRangeCheck()
{
    if (!m_optHis->isChecked()) {
        return;
    }
    const Date now = today();
    const Date from = FromQDate(m_dtpF->date());
    const Date to = FromQDate(m_dtpT->date());
    switch (CheckRange(from, to, now)) {
    case RangeVerdict::EndTooLate: {
        refuseDate(m_dtpT, "The end date cannot be later than yesterday.");
        const QSignalBlocker quiet(m_dtpT);
        m_dtpT->setDate(ToQDate(now.addDays(-1)));
        m_dtpT->setFocus();
        return;
    }
    case RangeVerdict::StartAfterEnd: {
        refuseDate(m_dtpF, "The start date cannot be later than the end date.");
        const QSignalBlocker quiet(m_dtpF);
        m_dtpF->setDate(m_dtpT->date());
        m_dtpF->setFocus();
        return;
    }
    case RangeVerdict::Valid:
        break;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_history->loadRange(m_folder, from, to);
    m_history->setGapStamps(gapmarks::CollectStamps(m_folder, from, to));
    QApplication::restoreOverrideCursor();
    showList(m_history);
}

void frmPubMain::refuseDate(QDateEdit* picker, const char* message)
{
    // The calendar pop-up hands a pick over more than once, the second time after the first
    // was put right: the same date picked again before the event loop comes round is the
    // same pick, corrected without a second message.
    const QDate picked = picker->date();
    if (m_refused.picker == picker && m_refused.date == picked) {
        return;
    }
    // Noted before the message, whose own event loop may deliver the repeat; forgotten only
    // once the message is gone and the event loop comes round.
    m_refused = {picker, picked};
    MessageBox::show(message, MessageBox::Icon::Information);
    QTimer::singleShot(0, this, [this] { m_refused = {}; });
}

void frmPubMain::bringForward(const LaunchTokens& tokens)
{
    BringForward(this, m_tray, tokens);
}

void frmPubMain::showDetailView()
{
    frmPubDetail::Open(this, [this]() -> QTreeView* { return visibleList(); });
}

void frmPubMain::manageLogFiles()
{
    SystemUtility::OpenFolderInFileManager(m_folder.logsFolder());
}

void frmPubMain::showOptions()
{
    frmPubOptions dialog(
        m_folder.configurationFile(), [this] { visibleList()->refreshTimes(); }, this);
    dialog.exec();
}

void frmPubMain::showAbout()
{
    frmPubAbout dialog(this, QString::fromStdString(m_folder.dataFolder()));
    dialog.exec();
}

void frmPubMain::checkLatestVersion()
{
    m_versionChecker->checkOnRequest();
}

void frmPubMain::mapNetworkDrive()
{
    SystemUtility::ShowMapDriveDialog(this, 1);
}

void frmPubMain::disconnectNetworkDrive()
{
    SystemUtility::ShowDisconnectDriveDialog(this, 1);
}

bool frmPubMain::confirmClose()
{
    m_closeAfterCheck = false;
    return MessageBox::show(words::For().closeQuestion, MessageBox::Icon::Question,
                            MessageBox::Buttons::YesNoCancel,
                            MessageBox::Answer::Yes) == MessageBox::Answer::Yes;
}

bool frmPubMain::confirmSessionEnd()
{
    if (m_shutDown || m_closeConfirmed) {
        return true;
    }
    if (!confirmClose()) {
        return false;
    }
    // Yes here stands for the close that follows, which must not ask again.
    m_closeConfirmed = true;
    QTimer::singleShot(0, this, &QWidget::close);
    return true;
}

void frmPubMain::closeEvent(QCloseEvent* event)
{
    const bool confirmed = m_shutDown || m_closeConfirmed;
    if (!confirmed && m_versionChecker && m_versionChecker->busy()) {
        // The check holds the thread in its fetch (or shows its answer): asking now would
        // open the question inside its wait. The request is taken up when the check is over.
        m_closeAfterCheck = true;
        event->ignore();
        return;
    }
    if (confirmed || confirmClose()) {
        shutDown();
        event->accept();
        // Closing the last window no longer ends the program by itself.
        QCoreApplication::quit();
    } else {
        event->ignore();
    }
}

void frmPubMain::shutDown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    if (m_versionChecker) {
        m_versionChecker->abandon();
    }
    if (m_tray) {
        m_tray->RemoveTrayIcon();
    }
    // Capture stops here; nothing is recorded after this point.
    if (m_hide) {
        m_hide->unload();
    }
    // Dialogs still open (a modal box left over by a test or by a logout) go with us.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isWindow() && w->parentWidget() == this) {
            w->close();
        }
    }
}

} // namespace zlv
