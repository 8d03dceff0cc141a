// The daily reminder's systemd user units, and systemctl run through QProcess.
#include "platform/reminder_timer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <cerrno>

#include "platform/posix/notice_state.h"
#include "store/failure.h"
#include "store/files.h"

namespace tavik {

namespace {

// How long one systemctl call may take; a daemon-reload of a busy manager takes a second or two.
constexpr int kSystemctlMilliseconds = 15000;

std::string localPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// systemd expands specifiers (%h, %u, ...) in both settings.
QString doubledPercent(const QString& text) {
  QString out = text;
  return out.replace(u'%', QStringLiteral("%%"));
}

bool holdsControl(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
  }
  return false;
}

void writeText(Files& files, const QString& path, const QByteArray& text) {
  writeFileAtomically(files, localPath(path),
                      std::span(reinterpret_cast<const std::uint8_t*>(text.constData()),
                                static_cast<std::size_t>(text.size())),
                      static_cast<std::size_t>(text.size()));
}

// The reason as the message shows it: with its full stop.
QString withFullStop(QString reason) {
  reason = reason.trimmed();
  if (!reason.endsWith(u'.')) reason += u'.';
  return reason;
}

}  // namespace

QString systemdUserFolder() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  // XDG base directories must be absolute paths; anything else counts as not set.
  if (!base.startsWith(u'/')) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/systemd/user");
}

QString reminderUnitName(const std::string& startDirectory) {
  return QStringLiteral("tavik-remind-") +
         QString::fromStdString(directoryKey(canonicalDirectory(startDirectory)));
}

std::optional<QByteArray> reminderServiceText(const QString& program,
                                              const std::string& startDirectory, QString& why) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString directory = utf8(QByteArrayView(startDirectory));
  // The value runs to the end of its line: trailing blanks are dropped, a trailing backslash
  // joins the next line.
  if (utf8.hasError() || !directory.startsWith(u'/') || holdsControl(directory) ||
      directory.endsWith(u' ') || directory.endsWith(u'\\')) {
    why = QStringLiteral(
        "Der Name des Startverzeichnisses lässt sich nicht in eine systemd-Unit schreiben");
    return std::nullopt;
  }
  if (!program.startsWith(u'/') || holdsControl(program) || program.contains(u'\\') ||
      program.contains(u'"') || program.contains(u'\'')) {
    why = QStringLiteral(
              "Der Pfad des Programms tavik (%1) lässt sich nicht in eine systemd-Unit schreiben")
              .arg(program);
    return std::nullopt;
  }
  const QString lines[] = {
      QStringLiteral("[Unit]"),
      QStringLiteral("Description=Tavik!: tägliche Erinnerung"),
      QString(),
      QStringLiteral("[Service]"),
      QStringLiteral("Type=oneshot"),
      QStringLiteral("WorkingDirectory=") + doubledPercent(directory),
      // Quoted for the blanks; an executable's name takes no other escapes.
      QStringLiteral("ExecStart=\"") + doubledPercent(program) + QStringLiteral("\" --notify"),
  };
  QByteArray text;
  for (const QString& line : lines) text += line.toUtf8() + '\n';
  return text;
}

QByteArray reminderTimerText(QTime time) {
  const QString lines[] = {
      QStringLiteral("[Unit]"),
      QStringLiteral("Description=Tavik!: tägliche Erinnerung um ") +
          time.toString(QStringLiteral("HH:mm")),
      QString(),
      QStringLiteral("[Timer]"),
      QStringLiteral("OnCalendar=*-*-* ") + time.toString(QStringLiteral("HH:mm")) +
          QStringLiteral(":00"),
      QStringLiteral("Persistent=true"),
      QString(),
      QStringLiteral("[Install]"),
      QStringLiteral("WantedBy=timers.target"),
  };
  QByteArray text;
  for (const QString& line : lines) text += line.toUtf8() + '\n';
  return text;
}

std::optional<QTime> reminderTimeOf(const QByteArray& timerText) {
  for (const QByteArray& raw : timerText.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (!line.startsWith("OnCalendar=*-*-* ")) continue;
    const QTime time =
        QTime::fromString(QString::fromLatin1(line.mid(17)), QStringLiteral("HH:mm:ss"));
    if (time.isValid()) return time;
  }
  return std::nullopt;
}

QString runSystemctl(const QStringList& args) {
  const QString program = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
  if (program.isEmpty()) return QStringLiteral("systemctl wurde nicht gefunden");
  QProcess process;
  process.start(program, QStringList{QStringLiteral("--user")} + args);
  if (!process.waitForStarted(kSystemctlMilliseconds)) {
    return QStringLiteral("systemctl konnte nicht gestartet werden");
  }
  if (!process.waitForFinished(kSystemctlMilliseconds)) {
    process.kill();
    process.waitForFinished(1000);
    return QStringLiteral("systemctl hat nicht rechtzeitig geantwortet");
  }
  if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return {};
  const QString error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
  const QString first = error.section(u'\n', 0, 0).trimmed();
  return first.isEmpty() ? QStringLiteral("systemctl %1 ist gescheitert").arg(args.join(u' '))
                         : first;
}

ReminderTimer::ReminderTimer(Files& files, QString folder, QString program,
                             std::string startDirectory)
    : m_files(files),
      m_folder(std::move(folder)),
      m_program(std::move(program)),
      m_startDirectory(std::move(startDirectory)),
      m_name(reminderUnitName(m_startDirectory)) {}

QString ReminderTimer::timerPath() const {
  return m_folder + u'/' + m_name + QStringLiteral(".timer");
}

QString ReminderTimer::servicePath() const {
  return m_folder + u'/' + m_name + QStringLiteral(".service");
}

std::optional<QTime> ReminderTimer::installedTime() const {
  FileStatus st;
  if (m_files.status(localPath(timerPath()), st) != 0 || st.isDirectory) return std::nullopt;
  try {
    if (const std::optional<QTime> time = reminderTimeOf(
            QByteArray::fromStdString(readFileBytes(m_files, localPath(timerPath()), 1 << 16)))) {
      return time;
    }
  } catch (const FileError&) {
    // There, though its time cannot be read.
  }
  return QTime(kDefaultReminderHour, 0);
}

void ReminderTimer::install(QTime time) {
  const auto fail = [](const QString& reason) {
    throw Failure(QString::fromUtf8(kReminderSetUpFailed)
                      .arg(withFullStop(reason))
                      .chopped(1)  // Failure adds the full stop
                      .toStdString());
  };
  QString why;
  const std::optional<QByteArray> service = reminderServiceText(m_program, m_startDirectory, why);
  if (!service) fail(why);
  try {
    check(makeFolders(localPath(m_folder)));
    writeText(m_files, servicePath(), *service);
    writeText(m_files, timerPath(), reminderTimerText(time));
  } catch (const FileError& error) {
    removeFiles();
    fail(QString::fromStdString(error.what()));
  }
  const QString timer = m_name + QStringLiteral(".timer");
  for (const QStringList& args :
       {QStringList{QStringLiteral("daemon-reload")}, QStringList{QStringLiteral("enable"), timer},
        QStringList{QStringLiteral("restart"), timer}}) {
    const QString failure = systemctl(args);
    if (failure.isEmpty()) continue;
    // Nothing half set up stays behind: the box then shows it off, as it is.
    systemctl({QStringLiteral("disable"), timer});
    removeFiles();
    systemctl({QStringLiteral("daemon-reload")});
    fail(failure);
  }
}

void ReminderTimer::remove() {
  const QString timer = m_name + QStringLiteral(".timer");
  systemctl({QStringLiteral("disable"), QStringLiteral("--now"), timer});
  try {
    for (const QString& path : {timerPath(), servicePath()}) {
      const int result = m_files.remove(localPath(path));
      if (result != 0 && result != ENOENT) throw FileError(result);
    }
  } catch (const FileError& error) {
    throw Failure(QString::fromUtf8(kReminderRemoveFailed)
                      .arg(withFullStop(QString::fromStdString(error.what())))
                      .chopped(1)
                      .toStdString());
  }
  removeFiles();
  systemctl({QStringLiteral("daemon-reload")});
}

void ReminderTimer::removeFiles() {
  // The link `enable` makes; without the manager it would be left dangling.
  for (const QString& path :
       {m_folder + QStringLiteral("/timers.target.wants/") + m_name + QStringLiteral(".timer"),
        timerPath(), servicePath()}) {
    m_files.remove(localPath(path));
  }
}

}  // namespace tavik
