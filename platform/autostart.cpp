// The autostart entry in the user's configuration folder.
#include "platform/autostart.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QStringDecoder>
#include <cerrno>

#include "store/failure.h"
#include "store/files.h"

namespace tavik {

namespace {

constexpr const char* kComment =
    "Erinnert an Geburtstage, Jahrestage und andere jährlich wiederkehrende Ereignisse";

std::string localPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// A string value: backslash, line breaks and tabs escaped, and a leading blank, which a
// reader would drop.
QString escapedValue(const QString& value) {
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c == u'\\') {
      out += QStringLiteral("\\\\");
    } else if (c == u'\n') {
      out += QStringLiteral("\\n");
    } else if (c == u'\t') {
      out += QStringLiteral("\\t");
    } else if (c == u'\r') {
      out += QStringLiteral("\\r");
    } else if (c == u' ' && i == 0) {
      out += QStringLiteral("\\s");
    } else {
      out += c;
    }
  }
  return out;
}

// One quoted argument of an Exec line: inside the quotes " ` $ and \ take a backslash, a
// field code's % is doubled; the line as a whole is then escaped as any string value.
QString quotedArgument(const QString& argument) {
  QString quoted = QStringLiteral("\"");
  for (const QChar c : argument) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
    if (c == u'%') quoted += u'%';
    quoted += c;
  }
  return quoted + u'"';
}

// Creates every missing folder of `path`. Throws FileError.
void makeFolders(const QString& path) {
  const QString clean = QDir::cleanPath(path);
  qsizetype at = clean.startsWith(u'/') ? 1 : 0;
  while (at <= clean.size()) {
    qsizetype slash = clean.indexOf(u'/', at);
    if (slash < 0) slash = clean.size();
    const std::string part = localPath(clean.left(slash));
    if (::mkdir(part.c_str(), 0700) != 0) {
      const int failure = errno;
      struct stat st {};
      if (failure != EEXIST || ::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw FileError(failure == EEXIST ? ENOTDIR : failure);
      }
    }
    at = slash + 1;
  }
}

// Whether a desktop entry's main group says Hidden=true.
bool saysHidden(const std::string& text) {
  bool inMainGroup = false;
  for (const QByteArray& raw : QByteArray::fromStdString(text).split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.startsWith('[')) {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    if (!inMainGroup || equals < 0) continue;
    if (line.left(equals).trimmed() != "Hidden") continue;
    const QByteArray value = line.mid(equals + 1).trimmed();
    return value == "true" || value == "1";
  }
  return false;
}

}  // namespace

QString autostartEntryPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  // XDG base directories must be absolute paths; anything else counts as not set.
  if (!base.startsWith(u'/')) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/autostart/tavik.desktop");
}

QString autostartProgram() {
  const QString here = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {here + QStringLiteral("/tavik"), here + QStringLiteral("/../../bin/tavik")}) {
    const QFileInfo info(candidate);
    if (info.isFile() && info.isExecutable()) return QDir::cleanPath(info.absoluteFilePath());
  }
  return QCoreApplication::applicationFilePath();
}

QByteArray autostartEntryText(const QString& program, const QString& startDirectory) {
  const QString lines[] = {
      QStringLiteral("[Desktop Entry]"),
      QStringLiteral("Type=Application"),
      QStringLiteral("Name=Tavik!"),
      QStringLiteral("Comment=") + escapedValue(QString::fromUtf8(kComment)),
      QStringLiteral("Exec=") + escapedValue(quotedArgument(program)),
      QStringLiteral("TryExec=") + escapedValue(program),
      QStringLiteral("Path=") + escapedValue(startDirectory),
      QStringLiteral("Icon=tavik"),
      QStringLiteral("Terminal=false"),
      QStringLiteral("X-GNOME-Autostart-enabled=true"),
  };
  QByteArray text;
  for (const QString& line : lines) text += line.toUtf8() + '\n';
  return text;
}

AutostartEntry::AutostartEntry(Files& files, QString path, QString program,
                               std::string startDirectory)
    : m_files(files),
      m_path(std::move(path)),
      m_program(std::move(program)),
      m_startDirectory(std::move(startDirectory)) {}

bool AutostartEntry::enabled() const {
  FileStatus st;
  if (m_files.status(localPath(m_path), st) != 0 || st.isDirectory) return false;
  try {
    return !saysHidden(readFileBytes(m_files, localPath(m_path), 1 << 16));
  } catch (const FileError&) {
    return true;  // there, though its contents cannot be seen
  }
}

void AutostartEntry::setEnabled(bool on) {
  if (on) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString startDirectory = utf8(QByteArrayView(m_startDirectory));
    if (utf8.hasError()) throw Failure(kAutostartNotUtf8Message);
    makeFolders(QFileInfo(m_path).path());
    const QByteArray text = autostartEntryText(m_program, startDirectory);
    writeFileAtomically(m_files, localPath(m_path),
                        std::span(reinterpret_cast<const std::uint8_t*>(text.constData()),
                                  static_cast<std::size_t>(text.size())),
                        static_cast<std::size_t>(text.size()));
    return;
  }
  const int result = m_files.remove(localPath(m_path));
  if (result != 0 && result != ENOENT) throw FileError(result);
}

}  // namespace tavik
