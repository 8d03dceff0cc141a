// The show request between two starts: the socket's name and place, the one request that is
// answered, and every other caller cut off without a signal.
#include "platform/single_instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <future>

#include "tests/support/temp_dir.h"

namespace tavik::test {

namespace {

// Runs `work` on a thread of its own while this thread's event loop runs, as a second process
// would; the result once it is done.
template <typename T>
T whileServing(std::function<T()> work) {
  std::future<T> result = std::async(std::launch::async, std::move(work));
  const bool done = QTest::qWaitFor(
      [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000);
  if (!done) qFatal("the caller did not finish");
  return result.get();
}

// What a caller sending `bytes` hears back before the other side hangs up (or 3 s pass).
QByteArray sendRaw(const QString& path, const QByteArray& bytes) {
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(1000)) return "no connection";
  socket.write(bytes);
  socket.waitForBytesWritten(1000);
  QByteArray heard;
  QElapsedTimer clock;
  clock.start();
  while (socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < 3000) {
    socket.waitForReadyRead(100);
    heard += socket.readAll();
  }
  heard += socket.readAll();
  if (socket.state() == QLocalSocket::ConnectedState) heard += "<still connected>";
  return heard;
}

// A socket file nobody listens at, as a run killed with SIGKILL leaves it.
void leaveStaleSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) qFatal("bind");
  ::close(fd);
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime.path())); }

  void socketNameComesFromTheDirectory() {
    const QString a = instanceSocketPath("/home/anna/Termine");
    QVERIFY(a.startsWith(QString::fromStdString(m_runtime.path()) + QStringLiteral("/tavik-")));
    QCOMPARE(instanceSocketPath("/home/anna/Termine"), a);
    QVERIFY(instanceSocketPath("/home/anna/Termine2") != a);
    // A name that is not UTF-8 must not meet another one in the conversion.
    QVERIFY(instanceSocketPath("/home/\xe4") != instanceSocketPath("/home/\xf6"));

    // A runtime directory so deep that a local socket cannot be named in it: no socket.
    TempDir deep("tavik-runtime");
    const std::string longPath = deep.path() + "/" + std::string(100, 'x');
    QVERIFY(::mkdir(longPath.c_str(), 0700) == 0);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(longPath));
    QVERIFY(instanceSocketPath("/home/anna/Termine").isEmpty());
    QVERIFY(!askRunningInstanceToShow(QString()));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime.path()));
    QVERIFY(::rmdir(longPath.c_str()) == 0);
  }

  void requestIsAnsweredAndSignalled() {
    const QString path = instanceSocketPath("/start");
    ShowRequests requests;
    QSignalSpy shown(&requests, &ShowRequests::showRequested);
    QVERIFY(requests.listen(path));
    struct stat st {};
    QVERIFY(::stat(path.toLocal8Bit().constData(), &st) == 0);
    QVERIFY(S_ISSOCK(st.st_mode));
    QCOMPARE(st.st_mode & 0777, 0600u);

    QVERIFY(whileServing<bool>([&] { return askRunningInstanceToShow(path); }));
    QCOMPARE(shown.count(), 1);
    QVERIFY(whileServing<bool>([&] { return askRunningInstanceToShow(path); }));
    QCOMPARE(shown.count(), 2);
  }

  // Nobody there, a socket left by a crashed run, or a run that does not answer in time: the
  // later start learns it without waiting longer than it was told to.
  void noAnswerIsNoShow() {
    const QString path = instanceSocketPath("/nobody");
    QVERIFY(!askRunningInstanceToShow(path, 500));

    leaveStaleSocket(path.toStdString());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!askRunningInstanceToShow(path, 500));
    QVERIFY(clock.elapsed() < 500);

    // Listening, but its event loop never runs (a hung run).
    ShowRequests hung;
    QSignalSpy shown(&hung, &ShowRequests::showRequested);
    QVERIFY(hung.listen(path));
    clock.restart();
    QVERIFY(!askRunningInstanceToShow(path, 300));
    QVERIFY(clock.elapsed() >= 290);
    QVERIFY(clock.elapsed() < 3000);
  }

  // The lock holder takes the place of a socket a crashed run left behind.
  void staleSocketIsReplaced() {
    const QString path = instanceSocketPath("/crashed");
    leaveStaleSocket(path.toStdString());
    ShowRequests requests;
    QSignalSpy shown(&requests, &ShowRequests::showRequested);
    QVERIFY(requests.listen(path));
    QVERIFY(whileServing<bool>([&] { return askRunningInstanceToShow(path); }));
    QCOMPARE(shown.count(), 1);
  }

  void anythingElseIsCutOff_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("other version") << QByteArray("tavik-show 2\n");
    QTest::newRow("more after the request") << QByteArray("tavik-show 1\nraise");
    QTest::newRow("no line end") << QByteArray("tavik-show 1 ");
    QTest::newRow("a web request") << QByteArray("GET / HTTP/1.0\r\n\r\n");
    QTest::newRow("a flood") << QByteArray(100000, 'x');
    QTest::newRow("half, then silence") << QByteArray("tavik-sh");
  }
  void anythingElseIsCutOff() {
    QFETCH(QByteArray, bytes);
    const QString path = instanceSocketPath("/guarded");
    ShowRequests requests;
    QSignalSpy shown(&requests, &ShowRequests::showRequested);
    QVERIFY(requests.listen(path));
    QCOMPARE(whileServing<QByteArray>([&] { return sendRaw(path, bytes); }), QByteArray());
    QCOMPARE(shown.count(), 0);
    // The next caller is served as ever.
    QVERIFY(whileServing<bool>([&] { return askRunningInstanceToShow(path); }));
    QCOMPARE(shown.count(), 1);
  }

 private:
  TempDir m_runtime{"tavik-runtime"};
};

}  // namespace tavik::test

QTEST_GUILESS_MAIN(tavik::test::SingleInstanceTest)
#include "single_instance_test.moc"
