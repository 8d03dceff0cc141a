// The Qt-free settings reader against QSettings itself: what one writes or reads, the other
// reads the same way.
#include "platform/posix/ini_user_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QSettings>
#include <algorithm>
#include <filesystem>

#include "platform/posix/posix_files.h"
#include "platform/qsettings_user_store.h"
#include "store/day_number.h"
#include "store/failure.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

class IniUserStoreTest : public ::testing::Test {
 protected:
  // A fresh settings directory, so that QSettings' cache of files never answers from an
  // earlier case.
  std::string freshConfigHome() {
    const std::string dir = m_dir.file("config" + std::to_string(++m_count));
    ::mkdir(dir.c_str(), 0755);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir));
    return dir;
  }
  PosixFiles m_files;
  test::TempDir m_dir;
  int m_count = 0;
};

struct Reading {
  UserStore::Read result;
  int value;
  friend bool operator==(const Reading&, const Reading&) = default;
};

std::ostream& operator<<(std::ostream& out, const Reading& r) {
  return out << static_cast<int>(r.result) << "/" << r.value;
}

Reading readFrom(UserStore& store, const std::string& name) {
  std::uint8_t value = 0;
  const UserStore::Read result = store.read(name, value);
  return {result, result == UserStore::Read::Value ? value : -1};
}

TEST_F(IniUserStoreTest, ReadsWhatQSettingsWrote) {
  const Settings cases[] = {
      {.anzdays = 30, .autoclose = 30, .heutebox = 1, .prior = 0},
      {.anzdays = 0, .autoclose = 255, .heutebox = 0, .prior = 2, .notify = 0, .inworten = 1},
      {.anzdays = 99,
       .autoclose = 240,
       .heutebox = 1,
       .prior = 1,
       .lastshown = makeDayNumber(2006, 12, 8)},
  };
  for (const Settings& s : cases) {
    SCOPED_TRACE(static_cast<int>(s.anzdays));
    freshConfigHome();
    std::string qtPath;
    {
      QSettingsUserStore qt;
      saveSettings(qt, s);
      qtPath =
          QSettings(QSettings::NativeFormat, QSettings::UserScope, "HOLVENTARIS", "Tavik! v4.x")
              .fileName()
              .toStdString();
    }
    EXPECT_EQ(IniUserStore::defaultPath(), qtPath);
    IniUserStore ini(m_files, IniUserStore::defaultPath());
    EXPECT_EQ(readFrom(ini, "anzdays"), (Reading{UserStore::Read::Value, s.anzdays}));
    EXPECT_EQ(readFrom(ini, "autoclose"), (Reading{UserStore::Read::Value, s.autoclose}));
    EXPECT_EQ(readFrom(ini, "heutebox"), (Reading{UserStore::Read::Value, s.heutebox}));
    EXPECT_EQ(readFrom(ini, "prior"), (Reading{UserStore::Read::Value, s.prior}));
    EXPECT_EQ(readFrom(ini, "other"), (Reading{UserStore::Read::Missing, -1}));
    Settings back;
    readSettings(ini, back);
    EXPECT_EQ(back, s);
  }
}

// Settings files as QSettings or a user could have left them.
const char* const kFileTexts[] = {
    "[General]\nanzdays=42\n",
    "anzdays=42\n",
    "[general]\nanzdays=42\n",
    "[Other]\nanzdays=42\n",
    "[%General]\nanzdays=42\n",
    "[General]\r\nanzdays=42\r\n",
    "\xEF\xBB\xBF[General]\nanzdays=42\n",
    "[General]\n  anzdays  =  42  \n",
    "[General]\nanzdays=\"42\"\n",
    "[General]\nanzdays=\" 42 \"\n",
    "[General]\nanzdays=\"4\" 2\n",
    "[General]\nanzdays=\"4\n2\"\n",
    "[General]\nanzdays=+42\n",
    "[General]\nanzdays=-0\n",
    "[General]\nanzdays=-1\n",
    "[General]\nanzdays=042\n",
    "[General]\nanzdays=255\n",
    "[General]\nanzdays=256\n",
    "[General]\nanzdays=99999999999\n",
    "[General]\nanzdays=0x2a\n",
    "[General]\nanzdays=4 2\n",
    "[General]\nanzdays=\n",
    "[General]\nanzdays=\"\"\n",
    "[General]\nanzdays=abc\n",
    "[General]\nanzdays=1.5\n",
    "[General]\nanzdays=42;comment\n",
    "[General]\nanzdays=42 ; comment\n",
    "[General]\nanzdays=\"42;x\"\n",
    "[General]\nanzdays=7, 8\n",
    "[General]\nanzdays=\"7, 8\"\n",
    "[General]\nanzdays=7,\n",
    "[General]\nanzdays=@ByteArray(42)\n",
    "[General]\nanzdays=@String(42)\n",
    "[General]\nanzdays=@Invalid()\n",
    "[General]\nanzdays=@Rect(1 2 3 4)\n",
    "[General]\nanzdays=@@42\n",
    "[General]\nanzdays=@42\n",
    "[General]\nanzdays=\\x34\\x32\n",
    "[General]\nanzdays=\\064\\062\n",
    "[General]\nanzdays=\\t42\\n\n",
    "[General]\nanzdays=4\\\n2\n",
    "[General]\nanzdays=4\\q2\n",
    "[General]\nanzdays=\xC2\xA0"
    "42\n",
    "[General]\nanzdays=\xEF\xBC\x94\xEF\xBC\x92\n",
    "[General]\nANZDAYS=42\n",
    "[General]\n/anzdays=42\n",
    "[General]\n%61nzdays=42\n",
    "[General]\n%U0061nzdays=42\n",
    "[General]\nanzdays=1\nanzdays=2\n",
    "[General]\nanzdays=1\n[Other]\nx=1\n[General]\nanzdays=2\n",
    "[General]\n;anzdays=42\n",
    "[General]\n  ; anzdays=42\n",
    "[General]\n#anzdays=42\n",
    "[General]\nanzdays\n",
    "",
    "[General]\nlastshown = 2026-12-05\n",
    "[General]\nlastshown=\t2026-12-05 \t \n",
    "[General]\nlastshown = \"2026-12-05 \" \n",
    "[General]\nlastshown = \" 2026\"-12-05  \n",
    "[General]\nlastshown = 2026-12-05\\t \n",
    "[General]\nlastshown = 2026-12-05\\  \n",
    "[General]\nlastshown = 2026-12-05 \\\n",
    "[General]\nlastshown = 2026-12-05\\x20 \n",
    "[General]\nlastshown = \xC2\xA0"
    "2026-12-05\n",
    "[General]\nlastshown = 2026-12-05\r\n",
    "[General]\nlastshown = @String( 2026-12-05 ) \n",
    "[General]\nlastshown = 2026 - 12 - 05 , \n",
    "[General]\n\tlastshown\t=\t2026-12-05\n",
    "[General]\nlastshown\x0b=2026-12-05\n",
    "[General]\nlastshown\f = 2026-12-05\n",
    "[General]\nanzdays\t=\t42\t\n",
};

TEST_F(IniUserStoreTest, ReadsFileTextsAsQSettingsDoes) {
  for (const char* text : kFileTexts) {
    SCOPED_TRACE(text);
    const std::string dir = freshConfigHome();
    ::mkdir((dir + "/HOLVENTARIS").c_str(), 0755);
    test::writeFile(dir + "/HOLVENTARIS/Tavik! v4.x.conf", text);
    QSettingsUserStore qt;
    IniUserStore ini(m_files, IniUserStore::defaultPath());
    EXPECT_EQ(readFrom(ini, "anzdays"), readFrom(qt, "anzdays"));
  }
}

// Every key of [General] and its text read as QSettings reads them: the same names, and a text
// where QSettings has one (blanks around '=' and at the end are no part of it).
TEST_F(IniUserStoreTest, ReadsKeysAndTextsAsQSettingsDoes) {
  for (const char* text : kFileTexts) {
    SCOPED_TRACE(text);
    const std::string dir = freshConfigHome();
    ::mkdir((dir + "/HOLVENTARIS").c_str(), 0755);
    test::writeFile(dir + "/HOLVENTARIS/Tavik! v4.x.conf", text);
    QSettings qt(QSettings::NativeFormat, QSettings::UserScope, "HOLVENTARIS", "Tavik! v4.x");
    IniUserStore ini(m_files, IniUserStore::defaultPath());
    std::vector<std::string> qtNames;
    for (const QString& key : qt.childKeys()) qtNames.push_back(key.toStdString());
    std::sort(qtNames.begin(), qtNames.end());
    std::vector<std::string> names = ini.names();
    std::erase_if(names, [](const std::string& n) { return n.find('/') != std::string::npos; });
    EXPECT_EQ(names, qtNames);
    for (const std::string& name : qtNames) {
      const QVariant value = qt.value(QString::fromStdString(name));
      const bool isText =
          value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
      std::string got = "unset";
      const UserStore::Read result = ini.readText(name, got);
      EXPECT_EQ(result, isText ? UserStore::Read::Value : UserStore::Read::WrongType) << name;
      if (isText) {
        EXPECT_EQ(got, value.toString().toStdString()) << name;
      }
    }
  }
}

// What the store writes, QSettings reads: the values written, and every other key as before.
TEST_F(IniUserStoreTest, WritesWhatQSettingsReads) {
  std::vector<std::string> texts(std::begin(kFileTexts), std::end(kFileTexts));
  texts.insert(texts.end(),
               {"[Other]\nx=1\n[General]\nprior=1\n[Third]\ny=2",
                "[General]\nanzdays=1\nheutebox=0\n\n[Other]\nprior=9\n", "x=1\n[Other]\ny=2\n"});
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    QMap<QString, QVariant> before;
    {
      const std::string dir = freshConfigHome();
      ::mkdir((dir + "/HOLVENTARIS").c_str(), 0755);
      test::writeFile(dir + "/HOLVENTARIS/Tavik! v4.x.conf", text);
      QSettings qt(QSettings::NativeFormat, QSettings::UserScope, "HOLVENTARIS", "Tavik! v4.x");
      for (const QString& key : qt.allKeys()) before[key] = qt.value(key);
    }
    const std::string dir = freshConfigHome();
    ::mkdir((dir + "/HOLVENTARIS").c_str(), 0755);
    test::writeFile(dir + "/HOLVENTARIS/Tavik! v4.x.conf", text);
    IniUserStore ini(m_files, IniUserStore::defaultPath(), IniUserStore::Writes::Allowed);
    ASSERT_TRUE(ini.write("anzdays", 77));
    ASSERT_TRUE(ini.write("prior", 1));
    ASSERT_TRUE(ini.write("prior", 2));
    EXPECT_EQ(readFrom(ini, "prior"), (Reading{UserStore::Read::Value, 2}));
    ASSERT_TRUE(ini.sync());
    for (const auto& entry : std::filesystem::directory_iterator(dir + "/HOLVENTARIS")) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }

    QSettingsUserStore qt;
    EXPECT_EQ(readFrom(qt, "anzdays"), (Reading{UserStore::Read::Value, 77}));
    EXPECT_EQ(readFrom(qt, "prior"), (Reading{UserStore::Read::Value, 2}));
    QSettings after(QSettings::NativeFormat, QSettings::UserScope, "HOLVENTARIS", "Tavik! v4.x");
    // QSettings takes "/anzdays" for "anzdays" when asked; those keys are the names written.
    const auto written = [](QString key) {
      key.remove('/');
      return key == "anzdays" || key == "prior";
    };
    for (const QString& key : before.keys()) {
      if (!written(key)) {
        EXPECT_EQ(after.value(key), before[key]) << key.toStdString();
      }
    }
    QStringList keys = after.allKeys();
    keys.removeIf(written);
    QStringList expected = before.keys();
    expected.removeIf(written);
    keys.sort();
    EXPECT_EQ(keys, expected);
    // And the reader of the listing sees the same.
    IniUserStore again(m_files, IniUserStore::defaultPath());
    EXPECT_EQ(readFrom(again, "anzdays"), (Reading{UserStore::Read::Value, 77}));
  }
}

// A settings file that is a link (into a synced folder, say) stays one: the exit path writes
// its target, as QSettings does.
TEST_F(IniUserStoreTest, WritesThroughALinkedSettingsFile) {
  const std::string dir = freshConfigHome();
  ::mkdir((dir + "/HOLVENTARIS").c_str(), 0755);
  ::mkdir((dir + "/synced").c_str(), 0755);
  test::writeFile(dir + "/synced/tavik.conf", "[General]\nprior=1\n");
  const std::string path = IniUserStore::defaultPath();
  ASSERT_EQ(::symlink("../synced/tavik.conf", path.c_str()), 0);
  IniUserStore ini(m_files, path, IniUserStore::Writes::Allowed);
  ASSERT_TRUE(ini.write("anzdays", 12));
  ASSERT_TRUE(ini.sync());
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  EXPECT_EQ(test::readFile(dir + "/synced/tavik.conf"), "[General]\nanzdays=12\nprior=1\n");
}

// A missing file is made; one that cannot be replaced fails and stays.
TEST_F(IniUserStoreTest, WritingMakesTheFileOrFails) {
  std::string dir = freshConfigHome();
  ::mkdir((dir + "/HOLVENTARIS").c_str(), 0755);
  {
    IniUserStore ini(m_files, IniUserStore::defaultPath(), IniUserStore::Writes::Allowed);
    Settings s;
    s.anzdays = 45;
    s.lastshown = makeDayNumber(2026, 12, 10);
    saveSettings(ini, s);
  }
  EXPECT_EQ(test::readFile(dir + "/HOLVENTARIS/Tavik! v4.x.conf"),
            "[General]\nanzdays=45\nautoclose=30\nheutebox=1\nprior=0\nnotify=1\ninworten=0\n"
            "lastshown=2026-12-10\n");
  // QSettings reads the date back as the text it writes itself.
  EXPECT_EQ(
      QSettings(QString::fromStdString(dir + "/HOLVENTARIS/Tavik! v4.x.conf"), QSettings::IniFormat)
          .value("lastshown"),
      QVariant(QStringLiteral("2026-12-10")));

  dir = freshConfigHome();
  IniUserStore ini(m_files, IniUserStore::defaultPath(), IniUserStore::Writes::Allowed);
  EXPECT_TRUE(ini.write("anzdays", 5));
  EXPECT_FALSE(ini.sync());  // no directory to put it in
  EXPECT_FALSE(test::fileExists(dir + "/HOLVENTARIS"));
}

TEST_F(IniUserStoreTest, MissingFileHoldsNoValuesAndWritesAreRefused) {
  const std::string dir = freshConfigHome();
  IniUserStore ini(m_files, IniUserStore::defaultPath());
  EXPECT_EQ(readFrom(ini, "anzdays"), (Reading{UserStore::Read::Missing, -1}));
  EXPECT_FALSE(ini.write("anzdays", 5));
  EXPECT_TRUE(ini.sync());
  EXPECT_FALSE(test::fileExists(dir + "/HOLVENTARIS"));
}

TEST_F(IniUserStoreTest, UnreadableFileIsAFileError) {
  const std::string dir = freshConfigHome();
  ::mkdir((dir + "/HOLVENTARIS").c_str(), 0755);
  ::mkdir((dir + "/HOLVENTARIS/Tavik! v4.x.conf").c_str(), 0755);
  try {
    IniUserStore ini(m_files, IniUserStore::defaultPath());
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.userMessage(), "Dateizugriff verweigert.");
  }
}

TEST_F(IniUserStoreTest, DefaultPathFallsBackToHome) {
  const char* home = std::getenv("HOME");
  const std::string savedHome = home != nullptr ? home : "";
  ::setenv("XDG_CONFIG_HOME", "", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(IniUserStore::defaultPath(), "/home/someone/.config/HOLVENTARIS/Tavik! v4.x.conf");
  ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace tavik
