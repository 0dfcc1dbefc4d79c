#include "mainwindow/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QImage>
#include <QPainter>
#include <QtEndian>

namespace {

constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kWatcherInterface = "org.kde.StatusNotifierWatcher";
constexpr const char* kItemPath = "/StatusNotifierItem";

// One picture of an icon as the protocol sends it: ARGB, 32 bits a pixel, most significant
// byte first.
struct SniPixmap
{
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniPixmaps = QList<SniPixmap>;

struct SniToolTip
{
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};

} // namespace

Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniToolTip)

namespace {

QDBusArgument& operator<<(QDBusArgument& out, const SniPixmap& p)
{
    out.beginStructure();
    out << p.width << p.height << p.argb;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniPixmap& p)
{
    in.beginStructure();
    in >> p.width >> p.height >> p.argb;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const SniToolTip& t)
{
    out.beginStructure();
    out << t.iconName << t.pixmaps << t.title << t.text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SniToolTip& t)
{
    in.beginStructure();
    in >> t.iconName >> t.pixmaps >> t.title >> t.text;
    in.endStructure();
    return in;
}

void RegisterTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmaps>();
        qDBusRegisterMetaType<SniToolTip>();
        return true;
    }();
    (void)once;
}

SniPixmaps Pixmaps(const QIcon& icon)
{
    // The sizes panels draw at; a host picks the nearest, or scales the largest.
    SniPixmaps out;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image =
            icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) {
            continue;
        }
        SniPixmap p{image.width(), image.height(), {}};
        p.argb.resize(qsizetype(image.width()) * image.height() * 4);
        auto* to = reinterpret_cast<uchar*>(p.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, to += 4) {
                qToBigEndian(line[x], to);
            }
        }
        out << p;
    }
    return out;
}

// The product icon with a warning dot in its corner, for hosts that show a different icon
// while an item needs attention.
QIcon AttentionIcon(const QIcon& icon)
{
    QIcon marked;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = icon.pixmap(QSize(size, size));
        if (pixmap.isNull()) {
            continue;
        }
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal dot = size * 0.45;
        painter.setPen(QPen(Qt::white, std::max(1.0, size / 16.0)));
        painter.setBrush(QColor(220, 40, 30));
        painter.drawEllipse(QRectF(size - dot - 0.5, size - dot - 0.5, dot, dot));
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

} // namespace

namespace zlv {

// What the protocol asks of an item, read from the item.
class StatusNotifierAdaptor final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(SniPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(SniPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(SniPixmaps AttentionIconPixmap READ attentionIconPixmap)
    Q_PROPERTY(QString AttentionMovieName READ empty)
    Q_PROPERTY(SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit StatusNotifierAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), m_item(item)
    {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("zelvory"); }
    QString title() const { return m_item->toolTipTitle(); }
    QString status() const
    {
        return m_item->needsAttention() ? QStringLiteral("NeedsAttention")
                                        : QStringLiteral("Active");
    }
    int windowId() const { return 0; }
    // Found by hosts in the installed icon theme; the pictures serve the others.
    QString iconName() const { return QStringLiteral("zelvory"); }
    SniPixmaps iconPixmap() const { return Pixmaps(m_item->icon()); }
    SniPixmaps attentionIconPixmap() const { return Pixmaps(m_item->attentionIcon()); }
    QString empty() const { return {}; }
    SniPixmaps noPixmaps() const { return {}; }
    SniToolTip toolTip() const
    {
        return {iconName(), {}, m_item->toolTipTitle(), m_item->toolTipText()};
    }
    // Both buttons bring the window back; there is no menu to show.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

public Q_SLOTS:
    void Activate(int, int) { Q_EMIT m_item->activated(); }
    void ContextMenu(int, int) { Q_EMIT m_item->activated(); }
    void SecondaryActivate(int, int) {}
    void Scroll(int, const QString&) {}

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* m_item;
};

StatusNotifierHost::StatusNotifierHost(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    const QString watcher = QString::fromLatin1(kWatcherService);
    m_watch = new QDBusServiceWatcher(watcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watch, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                watcherOwnerChanged(newOwner);
            });
    // Hosts that come after the watcher announce themselves; some watchers also say when
    // the last host went. Heard from any sender, since a watcher that has just taken the
    // name may speak before the bus connection has learnt who owns it now; what counts is
    // what the watcher then answers.
    bus.connect(QString(), QString::fromLatin1(kWatcherPath),
                QString::fromLatin1(kWatcherInterface),
                QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(hostRegistered()));
    bus.connect(QString(), QString::fromLatin1(kWatcherPath),
                QString::fromLatin1(kWatcherInterface),
                QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(hostUnregistered()));
    if (bus.interface()->isServiceRegistered(watcher)) {
        askWatcher();
    }
}

void StatusNotifierHost::watcherOwnerChanged(const QString& newOwner)
{
    if (newOwner.isEmpty()) {
        setPresent(false);
        return;
    }
    Q_EMIT watcherChanged();
    askWatcher();
}

void StatusNotifierHost::hostRegistered()
{
    askWatcher();
}

void StatusNotifierHost::hostUnregistered()
{
    askWatcher();
}

void StatusNotifierHost::askWatcher()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(kWatcherInterface)
        << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, asked = ++m_asked](QDBusPendingCallWatcher* c) {
                c->deleteLater();
                // Only the answer to the latest question: an older one may predate a host.
                if (asked == m_asked) {
                    const QDBusPendingReply<QDBusVariant> reply = *c;
                    setPresent(reply.isValid() && reply.value().variant().toBool());
                }
            });
}

void StatusNotifierHost::setPresent(bool present)
{
    if (present != m_present) {
        m_present = present;
        Q_EMIT presenceChanged(present);
    }
}

StatusNotifierItem::StatusNotifierItem(const QIcon& icon, QObject* parent)
    : QObject(parent), m_icon(icon), m_attentionIcon(AttentionIcon(icon))
{
    RegisterTypes();
}

StatusNotifierItem::~StatusNotifierItem()
{
    hide();
}

void StatusNotifierItem::hide()
{
    if (m_service.isEmpty()) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(kItemPath));
    bus.unregisterService(m_service);
    m_service.clear();
    delete m_adaptor;
    m_adaptor = nullptr;
}

bool StatusNotifierItem::show()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    if (m_service.isEmpty()) {
        static int s_count = 0;
        const QString name = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(++s_count);
        m_adaptor = new StatusNotifierAdaptor(this);
        if (!bus.registerObject(QString::fromLatin1(kItemPath), this,
                                QDBusConnection::ExportAdaptors) ||
            !bus.registerService(name)) {
            bus.unregisterObject(QString::fromLatin1(kItemPath));
            return false;
        }
        m_service = name;
    }
    registerAgain();
    return true;
}

void StatusNotifierItem::registerAgain()
{
    if (m_service.isEmpty()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
        QString::fromLatin1(kWatcherInterface), QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& text)
{
    if (title == m_title && text == m_text) {
        return;
    }
    m_title = title;
    m_text = text;
    if (m_adaptor) {
        Q_EMIT m_adaptor->NewTitle();
        Q_EMIT m_adaptor->NewToolTip();
    }
}

void StatusNotifierItem::setNeedsAttention(bool needsAttention)
{
    if (needsAttention == m_needsAttention) {
        return;
    }
    m_needsAttention = needsAttention;
    if (m_adaptor) {
        Q_EMIT m_adaptor->NewStatus(m_adaptor->status());
    }
}

} // namespace zlv

#include "StatusNotifierItem.moc"
