// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/DesktopPortalSettings.h"

#include "platform/linux/BusConnector.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
const QString kGnomeInterface = QStringLiteral("org.gnome.desktop.interface");
const QString kAnimations = QStringLiteral("enable-animations");

// Read wraps the value in one variant more than ReadOne does.
QVariant unwrapped(QVariant value)
{
    while (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

void DesktopPortalSettings::follow()
{
    if (m_following)
        return;
    m_following = true;
    BusConnector& connector = BusConnector::session();
    connect(&connector, &BusConnector::settled, this, &DesktopPortalSettings::handleBusSettled,
            Qt::UniqueConnection);
    if (connector.state() == BusConnector::State::NotTried)
        connector.connectInBackground();
    else if (connector.state() != BusConnector::State::Connecting)
        handleBusSettled();
}

void DesktopPortalSettings::handleBusSettled()
{
    disconnect(&BusConnector::session(), nullptr, this, nullptr);
    if (BusConnector::session().state() != BusConnector::State::Connected) {
        settle();
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    // No sender named: naming the portal would make Qt look up its owner with a blocking
    // call, and a hung bus must never stall the event loop.
    // The whole message: Qt 6.4 does not match a slot taking a QDBusVariant to a signal.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(handleSettingChanged(QDBusMessage)));
    // A portal started (or restarted) later answers afresh.
    m_portalWatcher =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(m_portalWatcher, &QDBusServiceWatcher::serviceRegistered, this,
            &DesktopPortalSettings::readAll);
    readAll();
}

void DesktopPortalSettings::readAll()
{
    read(kAppearance, kColorScheme);
    read(kGnomeInterface, kAnimations);
}

void DesktopPortalSettings::read(const QString& group, const QString& key, bool oldMethod)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       oldMethod ? QStringLiteral("Read")
                                                                 : QStringLiteral("ReadOne"));
    call << group << key;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, group, key, oldMethod](QDBusPendingCallWatcher* reply) {
                reply->deleteLater();
                const QDBusMessage answer = reply->reply();
                if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty())
                    apply(group, key, unwrapped(answer.arguments().constFirst()));
                else if (answer.type() == QDBusMessage::ErrorMessage &&
                         answer.errorName() !=
                             QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
                    apply(group, key, {}); // a portal that does not know says nothing
                if (!oldMethod && answer.errorName() ==
                                      QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
                    read(group, key, true);
                    return;
                }
                if (key == kColorScheme)
                    settle();
            });
}

void DesktopPortalSettings::handleSettingChanged(const QDBusMessage& signal)
{
    const QVariantList arguments = signal.arguments();
    if (arguments.size() == 3)
        apply(arguments[0].toString(), arguments[1].toString(), unwrapped(arguments[2]));
}

void DesktopPortalSettings::apply(const QString& group, const QString& key, const QVariant& value)
{
    if (group == kAppearance && key == kColorScheme) {
        // 1 prefers dark, 2 prefers light; 0 and values from later versions say nothing.
        const uint number = value.toUInt();
        const ColorScheme scheme = number == 1   ? ColorScheme::Dark
                                   : number == 2 ? ColorScheme::Light
                                                 : ColorScheme::NoPreference;
        if (scheme != m_colorScheme) {
            m_colorScheme = scheme;
            emit colorSchemeChanged();
        }
    } else if (group == kGnomeInterface && key == kAnimations) {
        m_animationsEnabled =
            value.typeId() == QMetaType::Bool ? std::optional<bool>(value.toBool()) : std::nullopt;
    }
}

void DesktopPortalSettings::settle()
{
    if (m_settled)
        return;
    m_settled = true;
    emit settled();
}

} // namespace platform
