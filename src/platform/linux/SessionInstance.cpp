// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/SessionInstance.h"

#include "platform/linux/BusConnector.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform {

// The part of org.freedesktop.Application a second launch uses. Open and ActivateAction
// are left out: Tavimo opens no files and has no actions, and its desktop entry does not
// claim D-Bus activation.
class ApplicationAdaptor final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SessionInstance& instance) : m_instance(instance) {}

public slots:
    void Activate(const QVariantMap& platformData)
    {
        emit m_instance.activationRequested(LaunchToken::fromPlatformData(platformData));
    }

private:
    SessionInstance& m_instance;
};

namespace {
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kAlreadyOwner = 4;
} // namespace

SessionInstance::SessionInstance(const QString& appId, QObject* parent)
    : QObject(parent), m_appId(appId),
      m_objectPath(QLatin1Char('/') + QString(appId).replace(QLatin1Char('.'), QLatin1Char('/')))
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kDecisionTimeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] { decide(Outcome::Alone); });
}

SessionInstance::~SessionInstance()
{
    if (m_adaptor && BusConnector::session().state() == BusConnector::State::Connected)
        QDBusConnection::sessionBus().unregisterObject(m_objectPath);
}

void SessionInstance::claim(const LaunchToken& ownLaunch)
{
    if (m_claiming)
        return;
    m_claiming = true;
    m_ownLaunch = ownLaunch;
    m_deadline.start();
    BusConnector& connector = BusConnector::session();
    if (connector.state() == BusConnector::State::NotTried ||
        connector.state() == BusConnector::State::Connecting) {
        connect(&connector, &BusConnector::settled, this, &SessionInstance::handleBusSettled,
                Qt::UniqueConnection);
        connector.connectInBackground();
        return;
    }
    handleBusSettled();
}

void SessionInstance::handleBusSettled()
{
    if (m_decided)
        return;
    if (BusConnector::session().state() != BusConnector::State::Connected) {
        decide(Outcome::Alone);
        return;
    }
    requestName();
}

void SessionInstance::requestName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Served before the name is ours, so that a launch that sees the name can call at once.
    m_adaptor = new ApplicationAdaptor(*this);
    m_adaptor->setParent(this);
    bus.registerObject(m_objectPath, m_adaptor, QDBusConnection::ExportAllSlots);

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    call << m_appId << kDoNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kDecisionTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &SessionInstance::handleNameReply);
}

void SessionInstance::handleNameReply(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (m_decided)
        return;
    if (reply.isError()) {
        decide(Outcome::Alone);
        return;
    }
    if (reply.value() == kPrimaryOwner || reply.value() == kAlreadyOwner) {
        decide(Outcome::First);
        return;
    }
    // Someone else has the name: ask it to come forward, with our launch's token so that
    // the window system lets it take the focus.
    QDBusConnection::sessionBus().unregisterObject(m_objectPath);
    QDBusMessage activate = QDBusMessage::createMethodCall(
        m_appId, m_objectPath, QStringLiteral("org.freedesktop.Application"),
        QStringLiteral("Activate"));
    activate << m_ownLaunch.toPlatformData();
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(activate, kDecisionTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            &SessionInstance::handleActivateReply);
}

void SessionInstance::handleActivateReply(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    // A running Tavimo that does not answer (stopped, hung) gets no say: this launch runs
    // on its own rather than leave the user with no window at all.
    decide(QDBusPendingReply<>(*call).isError() ? Outcome::Alone : Outcome::HandedOver);
}

void SessionInstance::decide(Outcome outcome)
{
    if (m_decided)
        return;
    m_decided = true;
    m_deadline.stop();
    emit decided(outcome);
}

} // namespace platform

#include "SessionInstance.moc"
