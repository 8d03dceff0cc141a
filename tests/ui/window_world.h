// One run of the windows on fakes: a temporary start directory and settings directory, fake
// boxes and clock, real files with failures on demand.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QDate>
#include <QSettings>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "app/program.h"
#include "dialogs/help.h"
#include "dialogs/todaybox.h"
#include "platform/qsettings_user_store.h"
#include "store/data_file.h"
#include "store/day_number.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_fakes.h"

namespace tavik::test {

struct EventFixture {
  QDate date;
  const char* text = "Ereignis";
  bool highPriority = false;
  bool autoDelete = false;
  const char* unicode = nullptr;  // UTF-8 stored through setEventText instead of `text`
  bool jubilee = false;
  std::uint8_t kind = 0;  // kind and lead time in the record extension
  std::uint8_t leadDays = 0;
};

// The control named `name` in `window`; a missing one ends the test run.
template <typename T>
T* control(QWidget& window, const char* name) {
  T* found = window.findChild<T*>(QString::fromUtf8(name));
  if (found == nullptr) qFatal("no control %s", name);
  return found;
}

// The text a list or grid shows in a cell.
inline QString cellText(const QAbstractItemView* grid, int row, int column) {
  return grid->model()->index(row, column).data().toString();
}

inline EventRecord makeEvent(const EventFixture& event) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(event.date.year(), event.date.month(), event.date.day()));
  r.setText(event.text);
  r.highPriority = event.highPriority ? 1 : 0;
  r.autoDelete = event.autoDelete ? 1 : 0;
  if (event.unicode != nullptr) setEventText(r, event.unicode);
  r.computeJubilee = event.jubilee ? 1 : 0;
  if (event.kind != 0 || event.leadDays != 0) {
    giveExtension(r);
    setKind(r, event.kind);
    setLeadDays(r, event.leadDays);
  }
  return r;
}

class WindowWorld {
 public:
  WindowWorld() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(config.path()));
    // The autostart entry goes there too, never into the user's own folder.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    // What the notifications said is kept there as well.
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(config.path() + "/state"));
    store = std::make_unique<QSettingsUserStore>();
    platform =
        std::make_unique<Platform>(Platform{files, *store, messages, fileDialogs, shell, clock});
  }

  std::string path(const char* name) const { return startDir.file(name); }
  QString startPath() const { return QString::fromStdString(startDir.path()); }

  // Stores a raw settings value as a text would hold it, as another program could have left it.
  void setSetting(const char* name, const QVariant& value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("HOLVENTARIS"),
                QStringLiteral("Tavik! v4.x"));
    s.setValue(QString::fromUtf8(name), value);
    s.sync();
    store = std::make_unique<QSettingsUserStore>();
    platform =
        std::make_unique<Platform>(Platform{files, *store, messages, fileDialogs, shell, clock});
  }
  QVariant storedSetting(const char* name) const {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("HOLVENTARIS"),
                QStringLiteral("Tavik! v4.x"));
    return s.value(QString::fromUtf8(name));
  }

  void writeEvents(const std::vector<EventFixture>& events) {
    std::string bytes;
    for (const EventFixture& e : events) {
      const RecordImage image = encodeRecord(makeEvent(e));
      bytes.append(reinterpret_cast<const char*>(image.data()), image.size());
    }
    writeFile(path(kDataFileName), bytes);
  }

  // Creates the windows as the program does. From then on every showing of the today box is
  // counted, its title and lines are kept, `whileTodayBoxOpen` runs, and the box is closed.
  void create() {
    // The page sizes kept between starts go to `cacheHome`: by default this world's own, so
    // that every page is built at creation, as on a first start.
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cacheHome));
    program = std::make_unique<Program>(*platform, startDir.path());
    program->create();
    main().sendNotification = [this](const DesktopNotification& n, const NotificationDone& done) {
      notifications.push_back(n);
      if (done) done(true);
    };
    auto* watch = new QTimer(&main());
    watch->setInterval(5);
    QObject::connect(watch, &QTimer::timeout, watch, [this] {
      if (!todayBox().isVisible() || m_inWatch) return;
      m_inWatch = true;
      ++todayBoxShown;
      todayBoxTitles << todayBox().windowTitle();
      todayBoxLines = todayBox().lines();
      if (whileTodayBoxOpen) whileTodayBoxOpen();
      if (todayBox().isVisible()) todayBox().accept();
      m_inWatch = false;
    });
    watch->start();
  }
  MainWindow& main() { return program->mainWindow(); }
  TForm4& todayBox() { return program->todayBox(); }
  TForm5& quickHelp() { return program->quickHelp(); }

  // Shows the main window and lets its first activation run.
  void showMain() {
    main().show();
    settle();
  }
  static void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  TempDir startDir{"tavik-ui"};
  TempDir config{"tavik-ui-config"};
  TempDir cache{"tavik-ui-cache"};
  std::string cacheHome = cache.path();
  FakeFiles files;
  std::unique_ptr<QSettingsUserStore> store;
  FakeMessages messages;
  FakeFileDialogs fileDialogs;
  FakeShell shell;
  FakeClock clock;
  std::unique_ptr<Platform> platform;
  std::unique_ptr<Program> program;

  std::function<void()> whileTodayBoxOpen;
  // The notifications the main window sent; none leaves the test.
  std::vector<DesktopNotification> notifications;
  int todayBoxShown = 0;
  QStringList todayBoxTitles;
  QStringList todayBoxLines;

 private:
  bool m_inWatch = false;
};

}  // namespace tavik::test
