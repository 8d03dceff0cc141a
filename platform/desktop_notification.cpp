// Notifications over org.freedesktop.Notifications with QtDBus.
#include "platform/desktop_notification.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>
#include <algorithm>

#include "dates/notification_lines.h"
#include "platform/qt_text.h"

namespace tavik {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// Whether a session bus can be reached without starting one: an address is set, or the
// user's bus socket exists. Otherwise libdbus would try to launch a bus for the display,
// which costs time and leaves a daemon behind.
bool sessionBusAddressKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

void notify(QDBusConnection bus, const DesktopNotification& notification, bool markup) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  // The urgency is a byte on the wire; an int is refused or ignored by some servers.
  const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("tavik")},
                          {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
  call << QStringLiteral("Tavik!") << 0u << QStringLiteral("tavik") << notification.summary
       << (markup ? notification.body.toHtmlEscaped() : notification.body) << QStringList() << hints
       << qint32(-1);
  bus.asyncCall(call);
}

}  // namespace

DesktopNotification todayNotification(const QStringList& lines) {
  DesktopNotification n;
  const QString roundMark = QString::fromUtf8(kRoundMark);
  const bool today = std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
    // A round anniversary's mark comes before the day.
    const QString day = line.startsWith(roundMark) ? line.mid(roundMark.size()) : line;
    return day.startsWith(QStringLiteral("Heute"));
  });
  n.summary = today ? QStringLiteral("Heute") : QStringLiteral("Tavik!");
  QStringList shown;
  // The body is one line per event; a text's line break would forge another.
  for (const QString& line : lines.mid(0, kMostNotificationLines)) shown << printableText(line);
  if (lines.size() > kMostNotificationLines) {
    shown << QStringLiteral("… und %1 weitere").arg(lines.size() - kMostNotificationLines);
  }
  n.body = shown.join(u'\n');
  return n;
}

void sendDesktopNotification(const DesktopNotification& notification) {
  if (!sessionBusAddressKnown()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                          QStringLiteral("GetCapabilities"));
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), QCoreApplication::instance());
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [bus, notification](QDBusPendingCallWatcher* done) {
                     done->deleteLater();
                     const QDBusPendingReply<QStringList> reply = *done;
                     if (reply.isError()) return;
                     notify(bus, notification,
                            reply.value().contains(QStringLiteral("body-markup")));
                   });
}

}  // namespace tavik
