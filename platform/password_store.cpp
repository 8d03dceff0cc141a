// The password in the Secret Service through QtKeychain, and the password file.
#include "platform/password_store.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <cerrno>
#include <fstream>
#include <memory>

#include "store/failure.h"

namespace tavik {

QString passwordKey(const QString& user, const QString& url) {
  return user + QLatin1Char('@') + url;
}

PasswordStore::PasswordStore(QObject* parent, int timeoutMs)
    : QObject(parent), m_timeoutMs(timeoutMs) {}

void PasswordStore::read(const QString& key) {
  start(Job::Read, key, {});
}

void PasswordStore::write(const QString& key, const QString& password) {
  start(Job::Write, key, password);
}

void PasswordStore::remove(const QString& key) {
  start(Job::Remove, key, {});
}

void PasswordStore::start(Job job, const QString& key, const QString& password) {
  const QString service = QString::fromUtf8(kPasswordService);
  // The jobs have no parent and delete themselves when done: the Secret Service's answer may
  // come after this store is gone, and a job deleted before it crashes in that answer.
  QKeychain::Job* keychainJob = nullptr;
  switch (job) {
    case Job::Read:
      keychainJob = new QKeychain::ReadPasswordJob(service);
      break;
    case Job::Write: {
      auto* writeJob = new QKeychain::WritePasswordJob(service);
      writeJob->setTextData(password);
      keychainJob = writeJob;
      break;
    }
    case Job::Remove:
      keychainJob = new QKeychain::DeletePasswordJob(service);
      break;
  }
  // Never the plain-text settings file QtKeychain can fall back to.
  keychainJob->setInsecureFallback(false);
  keychainJob->setAutoDelete(true);
  keychainJob->setKey(key);

  // Whichever comes first, the job's answer or the time limit, is the one given.
  auto answeredAlready = std::make_shared<bool>(false);
  auto* timer = new QTimer(this);
  timer->setSingleShot(true);
  connect(timer, &QTimer::timeout, this, [this, job, key, answeredAlready, timer] {
    timer->deleteLater();
    if (*answeredAlready) return;
    *answeredAlready = true;
    emit answered(job, key,
                  {PasswordStatus::Unavailable,
                   {},
                   QStringLiteral("Der Schlüsselbund hat nicht rechtzeitig geantwortet")});
  });
  connect(keychainJob, &QKeychain::Job::finished, this,
          [this, job, key, answeredAlready, timer](QKeychain::Job* finished) {
            timer->stop();
            timer->deleteLater();
            if (*answeredAlready) return;
            *answeredAlready = true;
            PasswordAnswer answer;
            switch (finished->error()) {
              case QKeychain::NoError:
                answer.status = PasswordStatus::Done;
                if (job == Job::Read) {
                  answer.password = static_cast<QKeychain::ReadPasswordJob*>(finished)->textData();
                }
                break;
              case QKeychain::EntryNotFound:
                answer.status = PasswordStatus::NotFound;
                break;
              default:
                answer.status = PasswordStatus::Unavailable;
                answer.reason = finished->errorString();
                break;
            }
            emit answered(job, key, answer);
          });
  timer->start(m_timeoutMs);
  keychainJob->start();
}

PasswordAnswer PasswordStore::readNow(const QString& key) {
  QEventLoop loop;
  PasswordAnswer result;
  bool done = false;
  const QMetaObject::Connection connection =
      connect(this, &PasswordStore::answered, &loop,
              [&](Job job, const QString& answeredKey, const PasswordAnswer& answer) {
                if (job != Job::Read || answeredKey != key) return;
                result = answer;
                done = true;
                loop.quit();
              });
  read(key);
  if (!done) loop.exec();
  disconnect(connection);
  return result;
}

std::optional<std::string> readPasswordFile(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "Die Passwortdatei " + path + " kann nicht gelesen werden: " + fileErrorText(errno);
    return std::nullopt;
  }
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) {
    error = "Die Passwortdatei " + path + " enthält kein Passwort";
    return std::nullopt;
  }
  return line;
}

}  // namespace tavik
