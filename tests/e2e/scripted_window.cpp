// The window program for end-to-end tests: the same run as `tavik-window`, but its message
// boxes are written to standard output and answered with OK, and the file calls of its close
// are traced and can be held at a chosen call, so that a test can kill it exactly there.
//
// Once the first countdown view is built it prints "shown". Every replacement of a file, in
// the close or not, is printed as "renamed NAME".
//
// Options: --exit-when-shown   presses "Exit" once the first countdown view is built
//          --change-settings   sets the look-ahead days to 45 on the options page before
//                              "shown"
//          --pause-at N        after the N-th file call of the close (0: as the close begins)
//                              prints "paused N" and waits to be killed; a write is held
//                              halfway, with half of its bytes written
//          --slow-writes MS    each write of the close takes MS milliseconds longer
//          --refuse-temporary NAME  a temporary file beside NAME cannot be created (EACCES)
//          --import FILE       before "shown", on the Import page: reads FILE as the file
//                              dialog would leave it, prints the status line, ticks all, imports
//          --start-import FILE after "shown", on the Import page: prints "reading" and starts
//                              reading FILE, then prints "read started"; nothing is imported
//          --export-ics FILE   then, on the Export page: ticks all, chooses the calendar
//                              format and saves FILE through the real save dialog
#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

#include "app/main_window.h"
#include "app/pages/countdown_page.h"
#include "app/pages/export_page.h"
#include "app/pages/import_page.h"
#include "app/pages/options_page.h"
#include "app/program.h"
#include "app/window_program.h"
#include "platform/posix/posix_files.h"
#include "platform/seams.h"

namespace tavik {
namespace {

void say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// The name without its folder; a temporary file's random part shows as XXXXXX, so that traces
// of two runs compare.
std::string baseName(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  if (name.size() > 11 && name.ends_with(".tmp") && name[name.size() - 11] == '.') {
    name.replace(name.size() - 10, 6, "XXXXXX");
  }
  return name;
}

class PrintedMessages : public Messages {
 public:
  void info(QWidget*, const QString& text) override { say("info: " + text.toStdString()); }
  void error(QWidget*, const QString& text) override { say("error: " + text.toStdString()); }
  bool confirm(QWidget*, const QString& text, bool) override {
    say("confirm: " + text.toStdString());
    return true;
  }
};

// Real files; from the start of the close on, each call is printed as "call N OP NAME".
class TracedFiles : public PosixFiles {
 public:
  TracedFiles(int pauseAt, int slowWrites, std::string refused)
      : m_pauseAt(pauseAt), m_slowWrites(slowWrites), m_refused(std::move(refused)) {}

  void beginClose() {
    if (m_closing) return;
    m_closing = true;
    say("close");
    if (m_pauseAt == 0) pause(0);
  }

  int status(const std::string& path, FileStatus& out) override {
    return step("status", path, [&] { return PosixFiles::status(path, out); });
  }
  int open(const std::string& path, OpenMode mode, FileHandle& out) override {
    const int result = step("open", path, [&] { return PosixFiles::open(path, mode, out); });
    if (result == 0) m_names[out] = path;
    return result;
  }
  int createNew(const std::string& path, std::uint32_t permissions, FileHandle& out) override {
    const bool refused = !m_refused.empty() && baseName(path) == m_refused + ".XXXXXX.tmp";
    const int result = step("create", path, [&] {
      return refused ? EACCES : PosixFiles::createNew(path, permissions, out);
    });
    if (result == 0) m_names[out] = path;
    return result;
  }
  int readLink(const std::string& path, std::string& target) override {
    return step("readlink", path, [&] { return PosixFiles::readLink(path, target); });
  }
  int read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) override {
    return step("read", m_names[file], [&] { return PosixFiles::read(file, buffer, got); });
  }
  int write(FileHandle file, std::span<const std::uint8_t> data) override {
    if (m_closing && m_calls + 1 == m_pauseAt) {
      trace("write", m_names[file]);
      (void)PosixFiles::write(file, data.first(data.size() / 2));
      pause(m_calls);
    }
    if (m_closing && m_slowWrites > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(m_slowWrites));
    }
    return step("write", m_names[file], [&] { return PosixFiles::write(file, data); });
  }
  int sync(FileHandle file) override {
    return step("sync", m_names[file], [&] { return PosixFiles::sync(file); });
  }
  int close(FileHandle file) override {
    const std::string name = m_names[file];
    m_names.erase(file);
    return step("close", name, [&] { return PosixFiles::close(file); });
  }
  int rename(const std::string& from, const std::string& to) override {
    const int result =
        step("rename", from + " " + to, [&] { return PosixFiles::rename(from, to); });
    if (result == 0) say("renamed " + baseName(to));
    return result;
  }
  int remove(const std::string& path) override {
    return step("remove", path, [&] { return PosixFiles::remove(path); });
  }
  int setPermissions(const std::string& path, std::uint32_t permissions) override {
    return step("chmod", path, [&] { return PosixFiles::setPermissions(path, permissions); });
  }

 private:
  template <typename Call>
  int step(const char* op, const std::string& what, Call call) {
    if (!m_closing) return call();
    trace(op, what);
    const int result = call();
    if (m_calls == m_pauseAt) pause(m_calls);
    return result;
  }
  void trace(const char* op, const std::string& what) {
    std::string names;
    for (std::size_t at = 0; at <= what.size();) {
      const std::size_t blank = std::min(what.find(' ', at), what.size());
      if (!names.empty()) names += ' ';
      names += baseName(what.substr(at, blank - at));
      at = blank + 1;
    }
    say("call " + std::to_string(++m_calls) + " " + op + " " + names);
  }
  [[noreturn]] static void pause(int call) {
    say("paused " + std::to_string(call));
    std::this_thread::sleep_for(std::chrono::minutes(2));
    say("not killed");
    std::_Exit(3);
  }

  int m_pauseAt;
  int m_slowWrites;
  std::string m_refused;
  bool m_closing = false;
  int m_calls = 0;
  std::map<FileHandle, std::string> m_names;
};

// What a user does on the Import and Export pages, through their own controls.
void importFile(MainWindow& window, const QString& path) {
  window.TabbedNotebook1->setCurrentIndex(3);  // builds the page if it is not yet
  ImportPage& page = *window.importPage;
  page.Edit3->setText(path);
  page.Timer2Timer();
  if (page.isReading()) {
    QEventLoop loop;
    QObject::connect(&page, &ImportPage::readFinished, &loop, &QEventLoop::quit);
    loop.exec();
  }
  say("status: " + page.Label4->text().toStdString());
  page.Button7->click();
  page.Button6->click();
}

void exportCalendar(MainWindow& window, const QString& path) {
  window.TabbedNotebook1->setCurrentIndex(4);
  ExportPage& page = *window.exportPage;
  page.Button11->click();
  page.RadioGroup3Items->button(4)->click();
  auto* answer = new QTimer(&window);
  // The name is typed into the dialog's name field, as a user does: selectFile() leaves that
  // field alone while it has the focus, and whether it has it by then depends on timing.
  QObject::connect(answer, &QTimer::timeout, &window, [path] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
      name->setText(path);
    } else {
      dialog->selectFile(path);
    }
    QMetaObject::invokeMethod(dialog, "accept");
  });
  answer->start(50);
  page.Button13->click();
  answer->stop();
  answer->deleteLater();
}

// Tells the files when the main window starts to close.
class CloseWatch : public QObject {
 public:
  explicit CloseWatch(TracedFiles& files) : m_files(files) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) m_files.beginClose();
    return QObject::eventFilter(watched, event);
  }

 private:
  TracedFiles& m_files;
};

}  // namespace
}  // namespace tavik

int main(int argc, char** argv) {
  using namespace tavik;
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  const bool exitWhenShown = args.contains(QStringLiteral("--exit-when-shown"));
  const bool changeSettings = args.contains(QStringLiteral("--change-settings"));
  const auto number = [&](const char* option, int fallback) {
    const qsizetype at = args.indexOf(QString::fromUtf8(option));
    return at > 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
  };
  const auto optionValue = [&](const char* name) {
    const qsizetype at = args.indexOf(QString::fromLatin1(name));
    return at > 0 && at + 1 < args.size() ? args[at + 1] : QString();
  };
  const QString importPath = optionValue("--import");
  const QString exportPath = optionValue("--export-ics");
  const QString startImportPath = optionValue("--start-import");

  TracedFiles files(number("--pause-at", -1), number("--slow-writes", 0),
                    optionValue("--refuse-temporary").toStdString());
  PrintedMessages messages;
  CloseWatch watch(files);
  const auto created = [&](Program& program) {
    MainWindow& window = program.mainWindow();
    window.installEventFilter(&watch);
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [=, &window] {
      // The first rebuild always leaves a line in the hidden list.
      if (window.countdownPage->ListBox1->model()->rowCount() == 0) return;
      poll->stop();
      if (changeSettings) {
        window.optionsPage->Edit1->setText(QStringLiteral("45"));
        window.optionsPage->Edit1Exit();
      }
      if (!importPath.isEmpty()) importFile(window, importPath);
      if (!exportPath.isEmpty()) exportCalendar(window, exportPath);
      say("shown");
      if (exitWhenShown) window.Button1->click();
      if (!startImportPath.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, startImportPath] {
          window.TabbedNotebook1->setCurrentIndex(3);
          say("reading");
          window.importPage->Edit3->setText(startImportPath);
          window.importPage->Timer2Timer();
          say("read started");
        });
      }
    });
    poll->start(10);
  };
  const int result = runWindowProgram(app, {files, messages, created});
  say("exit " + std::to_string(result));
  return result;
}
