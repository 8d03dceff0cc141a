// The QSettings-backed store: whole numbers 0..255 are values, anything else the wrong type.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QSettings>

#include "platform/qsettings_user_store.h"
#include "store/failure.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

class UserStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", m_dir.path().c_str(), 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(m_dir.path()));
  }
  std::string confPath() const { return m_dir.path() + "/HOLVENTARIS/Tavik! v4.x.conf"; }
  test::TempDir m_dir;
};

TEST_F(UserStoreTest, FirstStartCreatesTheFileWithDefaults) {
  Settings s;
  {
    QSettingsUserStore store;
    loadSettings(store, s);
  }
  EXPECT_EQ(s, Settings{});
  const std::string conf = test::readFile(confPath());
  EXPECT_NE(conf.find("anzdays=30"), std::string::npos) << conf;
  EXPECT_NE(conf.find("prior=0"), std::string::npos) << conf;
}

TEST_F(UserStoreTest, ValuesOfTheWrongType) {
  struct Case {
    const char* stored;
    bool valid;
    int value;
  } const cases[] = {
      {"42", true, 42},  {"0", true, 0}, {"255", true, 255}, {"256", false, 0},  {"-1", false, 0},
      {"abc", false, 0}, {"", false, 0}, {"1.5", false, 0},  {"7, 8", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    // A directory per case: QSettings caches a file whose size and time look unchanged.
    test::TempDir caseDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(caseDir.path()));
    ::mkdir((caseDir.path() + "/HOLVENTARIS").c_str(), 0755);
    test::writeFile(
        caseDir.path() + "/HOLVENTARIS/Tavik! v4.x.conf",
        std::string("[General]\nanzdays=") + c.stored + "\nautoclose=5\nheutebox=1\nprior=0\n");
    QSettingsUserStore store;
    Settings s;
    if (c.valid) {
      loadSettings(store, s);
      EXPECT_EQ(s.anzdays, c.value);
    } else {
      try {
        loadSettings(store, s);
        ADD_FAILURE();
      } catch (const Failure& e) {
        EXPECT_EQ(e.userMessage(), "Ungültiger Datentyp für 'anzdays'.");
      }
    }
  }
}

TEST_F(UserStoreTest, SavedValuesComeBack) {
  const Settings saved{.anzdays = 7,
                       .autoclose = 0,
                       .heutebox = 0,
                       .prior = 2,
                       .notify = 0,
                       .lastshown = makeDayNumber(2006, 12, 15)};
  {
    QSettingsUserStore store;
    saveSettings(store, saved);
  }
  const std::string conf = test::readFile(confPath());
  EXPECT_NE(conf.find("\nnotify=0\n"), std::string::npos) << conf;
  EXPECT_NE(conf.find("\nlastshown=2006-12-15\n"), std::string::npos) << conf;
  QSettingsUserStore store;
  Settings s;
  loadSettings(store, s);
  EXPECT_EQ(s, saved);
}

}  // namespace
}  // namespace tavik
