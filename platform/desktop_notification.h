// The desktop notification of the day's events, sent to the desktop's notification server.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "dates/countdown.h"
#include "store/day_number.h"

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

class Files;

// The lines the day's notification says of a first rebuild's view, worded for reading.
std::vector<std::string> noticeLinesOf(const ViewResult& view);

// Told once whether the notification server took the notification.
using NotificationDone = std::function<void(bool delivered)>;
using NotificationSender = std::function<void(const DesktopNotification&, NotificationDone)>;

// Sends `notification` on the session bus without waiting for anything: the server's
// capabilities first, so that a server that reads markup gets the text escaped, then Notify.
// Without a session bus (none is launched for it), without a server, or on an error reply
// nothing is shown and nothing is reported; `done` then gets false (at once when there is no
// bus), else true once the server has answered Notify.
void sendDesktopNotification(const DesktopNotification& notification, NotificationDone done = {});

// Sends, through `send`, the notification of those `lines` (UTF-8) that no notification has
// said yet on `today` for `startDirectory`, and once the server took it keeps them as said in
// the directory's state file (see notice_state.h); nothing when all were said. A state file
// that cannot be read counts as none; one that cannot be written is named on standard error
// only. `finished` runs once when all is done, also when nothing was sent.
void notifyOncePerDay(Files& files, const std::string& startDirectory, DayNumber today,
                      const std::vector<std::string>& lines, const NotificationSender& send,
                      std::function<void()> finished = {});

}  // namespace tavik
