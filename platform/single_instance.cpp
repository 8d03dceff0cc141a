// The show request between two starts, over a local socket.
#include "platform/single_instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>

namespace tavik {

namespace {

// The one request and the one answer; nothing else is ever read or sent.
constexpr char kRequest[] = "tavik-show 1\n";
constexpr qsizetype kRequestSize = sizeof kRequest - 1;
constexpr char kAnswer[] = "ok\n";
constexpr qsizetype kAnswerSize = sizeof kAnswer - 1;
// A caller gets this long to send its request; after that it is cut off.
constexpr int kRequestTimeoutMs = 2000;
// More callers at once than any user can cause by starting the program.
constexpr int kMaxOpen = 8;

bool fromThisUser(const QLocalSocket& socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                   &size) != 0) {
    return false;
  }
  return peer.uid == ::geteuid();
}

int remainingMs(const QDeadlineTimer& deadline) {
  return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

}  // namespace

QString instanceSocketPath(const std::string& startDirectory) {
  // Qt's runtime directory is the user's own (0700), or none.
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) return {};
  const QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(startDirectory),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(32);
  const QString path = runtime + QStringLiteral("/tavik-") + QString::fromLatin1(digest);
  if (QFile::encodeName(path).size() >= qsizetype(sizeof(sockaddr_un{}.sun_path))) return {};
  return path;
}

bool askRunningInstanceToShow(const QString& socketPath, int timeoutMs) {
  if (socketPath.isEmpty()) return false;
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(remainingMs(deadline))) return false;
  socket.write(kRequest, kRequestSize);
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(remainingMs(deadline))) return false;
  }
  while (socket.bytesAvailable() < kAnswerSize) {
    if (deadline.hasExpired() || !socket.waitForReadyRead(remainingMs(deadline))) return false;
  }
  return socket.read(kAnswerSize) == QByteArray(kAnswer, kAnswerSize);
}

ShowRequests::ShowRequests(QObject* parent) : QObject(parent) {
  // The socket itself is made in a private directory, set to the user's access only and then
  // moved into place, so there is no moment when another user could connect.
  m_server.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&m_server, &QLocalServer::newConnection, this, &ShowRequests::acceptPending);
}

ShowRequests::~ShowRequests() = default;

bool ShowRequests::listen(const QString& socketPath) {
  if (socketPath.isEmpty()) return false;
  QLocalServer::removeServer(socketPath);
  if (!m_server.listen(socketPath)) return false;
  // Connecting needs write permission only; read and write for the user, as for a file of theirs.
  ::chmod(QFile::encodeName(socketPath).constData(), S_IRUSR | S_IWUSR);
  return true;
}

void ShowRequests::acceptPending() {
  while (QLocalSocket* socket = m_server.nextPendingConnection()) {
    if (m_open >= kMaxOpen || !fromThisUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    // Its own from now on: the sockets go before the counter they keep.
    socket->setParent(this);
    ++m_open;
    connect(socket, &QObject::destroyed, this, [this] { --m_open; });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    QTimer::singleShot(kRequestTimeoutMs, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
    // What arrived with the connection is read now: no readyRead may follow for it.
    if (socket->bytesAvailable() > 0) readRequest(socket);
  }
}

void ShowRequests::readRequest(QLocalSocket* socket) {
  const qsizetype available = socket->bytesAvailable();
  const QByteArray expected(kRequest, kRequestSize);
  const QByteArray got = socket->peek(std::min(available, kRequestSize + 1));
  if (got.size() > kRequestSize || !expected.startsWith(got)) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  if (got.size() < kRequestSize) return;  // the rest is still on its way
  socket->read(kRequestSize);
  socket->write(kAnswer, kAnswerSize);
  socket->disconnectFromServer();
  emit showRequested();
}

}  // namespace tavik
