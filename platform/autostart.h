// The user's autostart entry, which has the desktop start the program at login.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace tavik {

class Files;

// ${XDG_CONFIG_HOME:-$HOME/.config}/autostart/tavik.desktop
QString autostartEntryPath();

// The program an autostart entry should start: the front program `tavik` beside the running
// program or, installed, in ../../bin/ from libexec/tavik/; else the running program itself.
QString autostartProgram();

// The entry's text: Type, Name, Comment, Exec with the program quoted (a path with blanks is
// refused unquoted), TryExec, Path (the directory the program reads its files from), Icon,
// Terminal and X-GNOME-Autostart-enabled, escaped as desktop entries want.
QByteArray autostartEntryText(const QString& program, const QString& startDirectory);

// Why an entry for a start directory whose name is not UTF-8 is refused: the desktop cannot
// run an entry that is not UTF-8 text. Without the full stop, as Failure::what().
inline constexpr const char* kAutostartNotUtf8Message =
    "Der Autostart kann nicht eingerichtet werden, weil der Name des Startverzeichnisses "
    "keine gültige UTF-8-Zeichenfolge ist";

class AutostartEntry {
 public:
  // `startDirectory` is the directory's name in bytes, as the system gives it.
  AutostartEntry(Files& files, QString path, QString program, std::string startDirectory);

  // True when the entry exists and does not say Hidden=true (a hidden entry is ignored).
  bool enabled() const;
  // Writes the entry crash-safely (a temporary file renamed over it), creating its folder, or
  // removes it; a missing entry is already off. Throws FileError, or Failure with
  // kAutostartNotUtf8Message, before anything is written, for a start directory whose name is
  // not UTF-8.
  void setEnabled(bool on);

  const QString& path() const { return m_path; }

 private:
  Files& m_files;
  QString m_path;
  QString m_program;
  std::string m_startDirectory;
};

}  // namespace tavik
