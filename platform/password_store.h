// The calendar server's password in the desktop's Secret Service (QtKeychain), never in a file
// of ours; and the password file a script may name instead.
#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

namespace tavik {

inline constexpr const char* kPasswordService = "Tavik!";
// The environment variable naming a file whose first line is the password (for `--sync`).
inline constexpr const char* kPasswordFileVariable = "TAVIK_PASSWORD_FILE";

// The keychain's key for an account: "user@URL".
QString passwordKey(const QString& user, const QString& url);

// What became of a keychain job.
enum class PasswordStatus {
  Done,         // read, written or deleted
  NotFound,     // nothing stored under the key
  Unavailable,  // no Secret Service answered (or not in time), or it refused
};

struct PasswordAnswer {
  PasswordStatus status = PasswordStatus::Unavailable;
  QString password;  // for a read that was Done
  QString reason;    // the keychain's own text when Unavailable
};

// Reads, writes and deletes passwords under the service "Tavik!", asynchronously: each call
// starts a keychain job and its answer comes by `answered` from the event loop, never from
// inside the call. A job without an answer after `timeoutMs` counts as Unavailable; a late
// answer is dropped.
class PasswordStore : public QObject {
  Q_OBJECT

 public:
  enum class Job { Read, Write, Remove };

  explicit PasswordStore(QObject* parent = nullptr, int timeoutMs = kDefaultTimeoutMs);

  void read(const QString& key);
  void write(const QString& key, const QString& password);
  void remove(const QString& key);

  // Reads `key` and waits for the answer in a local event loop (for `tavik --sync`, which has
  // no window to keep responsive).
  PasswordAnswer readNow(const QString& key);

  static constexpr int kDefaultTimeoutMs = 10000;

 signals:
  void answered(tavik::PasswordStore::Job job, const QString& key,
                const tavik::PasswordAnswer& answer);

 private:
  void start(Job job, const QString& key, const QString& password);

  int m_timeoutMs;
};

// The first line of the file at `path`, without its line end; nullopt with `error` set to a
// German reason when it cannot be read or is empty.
std::optional<std::string> readPasswordFile(const std::string& path, std::string& error);

}  // namespace tavik
