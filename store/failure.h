// The failures a user can meet with files and the per-user store, as German texts.
#pragma once

#include <stdexcept>
#include <string>

namespace tavik {

// A failure whose what() is the German text shown to the user, without the full stop that
// the message box adds (userMessage()).
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  std::string userMessage() const { return std::string(what()) + "."; }
};

// A file operation failed; what() is the run-time wording of the system error.
class FileError : public Failure {
 public:
  explicit FileError(int errorNumber);
  int errorNumber() const { return m_errorNumber; }

 private:
  int m_errorNumber;
};

// The error number of a read that ended before the record did.
inline constexpr int kReadPastEnd = -100;

// "Datei nicht gefunden", "Dateizugriff verweigert", ..., "E/A-Fehler %d".
std::string fileErrorText(int errorNumber);

}  // namespace tavik
