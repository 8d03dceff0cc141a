// The password in the desktop's Secret Service: stored, read back and deleted through a real
// gnome-keyring-daemon, and an answer within the time limit where no Secret Service answers.
// password_store_test.sh runs it on a session bus of its own and says, through
// TAVIK_KEYRING, what answers there: "running", "frozen" (the daemon stopped) or "none".
#include "platform/password_store.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace tavik::test {

namespace {

QString keyring() {
  return qEnvironmentVariable("TAVIK_KEYRING");
}

// The answer to the next job of `store`, waited for up to `ms`.
PasswordAnswer nextAnswer(PasswordStore& store, int ms) {
  QSignalSpy spy(&store, &PasswordStore::answered);
  if (!spy.wait(ms)) qFatal("no answer from the password store");
  return spy.at(0).at(2).value<PasswordAnswer>();
}

}  // namespace

class PasswordStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qRegisterMetaType<PasswordAnswer>(); }

  void writtenPasswordIsReadBackAndDeleted() {
    if (keyring() != QLatin1String("running")) QSKIP("no Secret Service on this bus");
    PasswordStore store;
    const QString key = passwordKey(QStringLiteral("anna"),
                                    QStringLiteral("https://cloud.example.de/dav/anna/tavik/"));
    QCOMPARE(key, QStringLiteral("anna@https://cloud.example.de/dav/anna/tavik/"));
    store.write(key, QStringLiteral("Geheim – ß€"));
    QCOMPARE(nextAnswer(store, 10000).status, PasswordStatus::Done);
    store.read(key);
    const PasswordAnswer read = nextAnswer(store, 10000);
    QCOMPARE(read.status, PasswordStatus::Done);
    QCOMPARE(read.password, QStringLiteral("Geheim – ß€"));
    // Another account's key finds nothing.
    QCOMPARE(store.readNow(passwordKey(QStringLiteral("ben"), QStringLiteral("https://x/"))).status,
             PasswordStatus::NotFound);
    store.remove(key);
    QCOMPARE(nextAnswer(store, 10000).status, PasswordStatus::Done);
    QCOMPARE(store.readNow(key).status, PasswordStatus::NotFound);
  }

  // No Secret Service, or one that never answers: Unavailable, by the time limit at the
  // latest, and never a hang.
  void withoutAnsweringSecretServiceTheAnswerIsUnavailable() {
    if (keyring() != QLatin1String("none") && keyring() != QLatin1String("frozen")) {
      QSKIP("a Secret Service answers on this bus");
    }
    PasswordStore store(nullptr, 1500);
    QElapsedTimer clock;
    clock.start();
    const PasswordAnswer answer = store.readNow(QStringLiteral("anna@https://x/"));
    QCOMPARE(answer.status, PasswordStatus::Unavailable);
    QVERIFY(!answer.reason.isEmpty());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    store.write(QStringLiteral("anna@https://x/"), QStringLiteral("geheim"));
    QCOMPARE(nextAnswer(store, 5000).status, PasswordStatus::Unavailable);
  }

  void passwordFileGivesItsFirstLine() {
    TempDir dir("tavik-password");
    const struct {
      const char* name;
      std::string bytes;
      std::optional<std::string> want;
    } cases[] = {
        {"line end", "geheim\nzweite Zeile\n", "geheim"},
        {"no line end", "geheim", "geheim"},
        {"CR LF", "geheim\r\n", "geheim"},
        {"blanks kept", " ge heim \n", " ge heim "},
        {"empty", "", std::nullopt},
        {"empty first line", "\ngeheim\n", std::nullopt},
    };
    for (const auto& c : cases) {
      writeFile(dir.file("pw"), c.bytes);
      std::string error;
      QCOMPARE(readPasswordFile(dir.file("pw"), error), c.want);
      if (!c.want) QVERIFY2(error.find("enthält kein Passwort") != std::string::npos, c.name);
    }
    std::string error;
    QVERIFY(!readPasswordFile(dir.file("missing"), error));
    QCOMPARE(QString::fromStdString(error),
             QString::fromStdString("Die Passwortdatei " + dir.file("missing") +
                                    " kann nicht gelesen werden: Datei nicht gefunden"));
  }
};

}  // namespace tavik::test

QTEST_GUILESS_MAIN(tavik::test::PasswordStoreTest)
#include "password_store_test.moc"
