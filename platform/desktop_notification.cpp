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
#include <cstdio>
#include <memory>

#include "dates/notification_lines.h"
#include "platform/posix/notice_state.h"
#include "platform/qt_text.h"
#include "store/failure.h"

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

void notify(QDBusConnection bus, const DesktopNotification& notification, bool markup,
            const NotificationDone& done) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  // The urgency is a byte on the wire; an int is refused or ignored by some servers.
  const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("tavik")},
                          {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
  call << QStringLiteral("Tavik!") << 0u << QStringLiteral("tavik") << notification.summary
       << (markup ? notification.body.toHtmlEscaped() : notification.body) << QStringList() << hints
       << qint32(-1);
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [done](QDBusPendingCallWatcher* answered) {
                     answered->deleteLater();
                     if (done) done(!answered->isError());
                   });
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

void sendDesktopNotification(const DesktopNotification& notification, NotificationDone done) {
  const auto notDelivered = [&done] {
    if (done) done(false);
  };
  if (!sessionBusAddressKnown()) return notDelivered();
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return notDelivered();
  const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                          QStringLiteral("GetCapabilities"));
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), QCoreApplication::instance());
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [bus, notification, done](QDBusPendingCallWatcher* answered) {
                     answered->deleteLater();
                     const QDBusPendingReply<QStringList> reply = *answered;
                     if (reply.isError()) {
                       if (done) done(false);
                       return;
                     }
                     notify(bus, notification,
                            reply.value().contains(QStringLiteral("body-markup")), done);
                   });
}

std::vector<std::string> noticeLinesOf(const ViewResult& view) {
  return notificationLines(view);
}

void notifyOncePerDay(Files& files, const std::string& startDirectory, DayNumber today,
                      const std::vector<std::string>& lines, const NotificationSender& send,
                      std::function<void()> finished) {
  const std::optional<std::string> path = stateFilePath(startDirectory, "notified");
  const std::string directory = canonicalDirectory(startDirectory);
  std::optional<NoticeState> kept;
  if (path) kept = readNoticeState(files, *path, directory);
  const std::vector<std::string> unsaid = unsaidLines(kept, today, lines);
  if (unsaid.empty() || !send) {
    if (finished) finished();
    return;
  }
  QStringList shown;
  for (const std::string& line : unsaid) shown << QString::fromStdString(line);
  send(todayNotification(shown),
       [&files, path, directory, today, unsaid, finished = std::move(finished)](bool delivered) {
         if (delivered && path) {
           try {
             // Read again: another run may have said something since.
             const std::optional<NoticeState> now = readNoticeState(files, *path, directory);
             writeNoticeState(files, *path, afterSaying(now, directory, today, unsaid));
           } catch (const Failure& failure) {
             std::fprintf(stderr,
                          "Tavik!: Der Stand der Benachrichtigungen konnte nicht in %s "
                          "gespeichert werden: %s\n",
                          path->c_str(), failure.userMessage().c_str());
           }
         }
         if (finished) finished();
       });
}

}  // namespace tavik
