// The desktop notification of the day's events, sent to the desktop's notification server.
#pragma once

#include <QString>
#include <QStringList>

namespace tavik {

struct DesktopNotification {
  QString summary;
  QString body;
  friend bool operator==(const DesktopNotification&, const DesktopNotification&) = default;
};

// The most lines a notification shows; the rest are counted.
inline constexpr int kMostNotificationLines = 10;

// The notification of the today box's lines: summary "Heute" when a line of today (after the
// round mark of notificationLines, if any) is among them, else "Tavik!"; the body the lines, one
// per line, at most 10, then "… und N weitere". Control characters in a line (a line break, a NUL)
// are shown as U+FFFD.
DesktopNotification todayNotification(const QStringList& lines);

// Sends `notification` on the session bus without waiting for anything: the server's
// capabilities first, so that a server that reads markup gets the text escaped, then Notify.
// Without a session bus (none is launched for it), without a server, or on an error reply
// nothing is shown and nothing is reported.
void sendDesktopNotification(const DesktopNotification& notification);

}  // namespace tavik
