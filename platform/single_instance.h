// One window per start directory: a later start asks the running one to show its window.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <string>

class QLocalSocket;

namespace tavik {

// How long a later start waits for the running one's answer before it gives up.
inline constexpr int kShowRequestTimeoutMs = 2000;

// The socket of the run in `startDirectory` (its name in bytes): a name made from the
// directory's in the user's private runtime directory. Empty when there is no such directory
// or the name would be too long for a local socket.
QString instanceSocketPath(const std::string& startDirectory);

// Asks the run listening at `socketPath` to show its window, waiting at most `timeoutMs` for
// its answer. False when nobody listens there, nobody answers in time or the answer is not
// the expected one. Blocks the calling thread: meant for a start that has no window yet.
bool askRunningInstanceToShow(const QString& socketPath, int timeoutMs = kShowRequestTimeoutMs);

// The running side: takes requests at the socket and signals each valid one. Everything runs
// from the event loop; a caller that is slow or sends anything but the one request is cut off.
class ShowRequests : public QObject {
  Q_OBJECT

 public:
  explicit ShowRequests(QObject* parent = nullptr);
  ~ShowRequests() override;

  // Listens at `socketPath`, reachable by this user only. A socket file found there is
  // replaced: call this only while holding the start directory's lock, which makes any other
  // socket there a left-over of a run that has ended. False when the socket cannot be made.
  bool listen(const QString& socketPath);
  QString socketPath() const { return m_server.fullServerName(); }

 signals:
  void showRequested();

 private:
  void acceptPending();
  void readRequest(QLocalSocket* socket);

  QLocalServer m_server;
  int m_open = 0;
};

}  // namespace tavik
