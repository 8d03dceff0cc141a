// The quick-help window: fitting the heights, loading by topic.
#include "dialogs/help.h"

#include <sys/stat.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <cstdio>

#include "platform/posix/posix_files.h"
#include "tests/support/temp_dir.h"

namespace tavik::test {

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  // At the design pitch of 15 pixels: 15 per line plus 10, at most 287; window 49 more.
  void heights_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pitch");
    QTest::addColumn<int>("memo");
    QTest::addColumn<int>("window");
    QTest::newRow("empty") << 0 << 15 << 10 << 59;
    QTest::newRow("one line") << 1 << 15 << 25 << 74;
    QTest::newRow("18 lines") << 18 << 15 << 280 << 329;
    QTest::newRow("19 lines") << 19 << 15 << 287 << 336;
    QTest::newRow("30 lines") << 30 << 15 << 287 << 336;
    QTest::newRow("double pitch") << 1 << 30 << 50 << 148;
    QTest::newRow("double pitch, full") << 30 << 30 << 574 << 672;
  }
  void heights() {
    QFETCH(int, lines);
    QFETCH(int, pitch);
    const HelpHeights h = fitHelpHeights(lines, pitch);
    QTEST(h.memo, "memo");
    QTEST(h.window, "window");
  }

  void aFrameWiderThanTheDesignPaddingIsKept() {
    QCOMPARE(fitHelpHeights(1, 15, 14).memo, 29);
    QCOMPARE(fitHelpHeights(0, 15, 14).memo, 14);
  }

  // Screen, helped window (frames included) and help size give the help window's corner.
  void placement_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("helped");
    QTest::addColumn<QSize>("help");
    QTest::addColumn<QPoint>("at");
    const QRect wide(0, 0, 1600, 1000);
    const QSize help(257, 336);
    QTest::newRow("right of it") << wide << QRect(400, 300, 600, 346) << help << QPoint(1000, 300);
    QTest::newRow("right, touching the screen's edge")
        << wide << QRect(743, 300, 600, 346) << help << QPoint(1343, 300);
    QTest::newRow("left when the right is short by one")
        << wide << QRect(744, 300, 600, 346) << help << QPoint(487, 300);
    QTest::newRow("level with its top, lifted to stay on the screen")
        << wide << QRect(400, 800, 600, 150) << help << QPoint(1000, 664);
    QTest::newRow("a window above the screen's top")
        << wide << QRect(400, -50, 600, 346) << help << QPoint(1000, 0);
    QTest::newRow("a screen not at the origin")
        << QRect(1600, 100, 1280, 900) << QRect(1700, 200, 600, 346) << help << QPoint(2300, 200);
    // The holiday dialog at scale 2 on an 800x500 screen: no side has room; the left bottom
    // corner covers least of it, and leaves its OK button at the bottom right free.
    QTest::newRow("no room beside it")
        << QRect(0, 0, 800, 500) << QRect(111, 92, 578, 316) << QSize(257, 293) << QPoint(0, 207);
    QTest::newRow("below it covers nothing")
        << QRect(0, 0, 800, 1000) << QRect(100, 50, 600, 400) << QSize(257, 336) << QPoint(0, 450);
    QTest::newRow("as wide as the screen")
        << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 300) << QSize(800, 200) << QPoint(0, 300);
    QTest::newRow("larger than the screen")
        << QRect(0, 0, 640, 480) << QRect(100, 100, 300, 200) << QSize(700, 500) << QPoint(0, 0);
  }
  void placement() {
    QFETCH(QRect, screen);
    QFETCH(QRect, helped);
    QFETCH(QSize, help);
    const QPoint at = quickHelpPosition(screen, helped, help);
    QTEST(at, "at");
    // Never off the screen where it fits on it.
    if (help.width() <= screen.width() && help.height() <= screen.height()) {
      QVERIFY(screen.contains(QRect(at, help)));
    }
  }

  void showsBesideTheWindowItHelps() {
    TempDir dir("tavik-help");
    PosixFiles files;
    TForm5 help(files, dir.path());
    QWidget helped;
    const QRect screen = helped.screen()->availableGeometry();
    helped.setGeometry(screen.left() + 10, screen.top() + 10, 300, 200);
    helped.show();
    help.showQuickHelp(QStringLiteral("Hauptfenster"), &helped);
    QVERIFY(help.isVisible());
    QCOMPARE(help.frameGeometry().topLeft(),
             quickHelpPosition(screen, helped.frameGeometry(), help.frameGeometry().size()));
    QVERIFY(!help.frameGeometry().intersects(helped.frameGeometry()));
  }

  void loadsTheTopicFromTheStartDirectory() {
    TempDir dir("tavik-help");
    // Windows-1252 bytes; a lone LF is no line break, and nothing after a Ctrl-Z shows.
    writeFile(dir.file("Importfenster.txt"),
              "Importieren\r\n\r\nF\xFCr \x80 5\nso.\r\n\x1a"
              "Rest\r\n");
    PosixFiles files;
    TForm5 help(files, dir.path());
    QCOMPARE(help.windowTitle(), QStringLiteral("Quickhelp"));
    help.showQuickHelp(QStringLiteral("Importfenster"), nullptr);
    QVERIFY(help.isVisible());
    QCOMPARE(help.Label1->text(), QStringLiteral("Importfenster"));
    QCOMPARE(help.Memo1->toPlainText(), QString::fromUtf8("Importieren\n\nFür € 5 so."));
    QCOMPARE(help.displayedLineCount(), 3);
    const int threeLines = help.Memo1->height();

    // The file is read again at every showing.
    ::remove(dir.file("Importfenster.txt").c_str());
    help.hideQuickHelp();
    QVERIFY(!help.quickHelpVisible());
    help.showQuickHelp(QStringLiteral("Importfenster"), nullptr);
    QCOMPARE(help.Memo1->toPlainText(), QString::fromUtf8(kHelpNotFound));
    QCOMPARE(help.displayedLineCount(), 1);
    QVERIFY(help.Memo1->height() < threeLines);
    QCOMPARE(help.Memo1->verticalScrollBar()->maximum(), 0);
  }

  // Long texts stop at the full height and scroll; wrapped lines count once per shown line.
  void heightsFollowTheDisplayedLines() {
    TempDir dir("tavik-help");
    std::string many;
    for (int i = 1; i <= 60; ++i) {
      many += "Zeile " + std::to_string(i) + "\r\n";
      if (i == 30) writeFile(dir.file("Viele.txt"), many);
    }
    writeFile(dir.file("Sehr viele.txt"), many);
    std::string wrapped;
    for (int i = 0; i < 40; ++i) wrapped += "Wort ";
    writeFile(dir.file("Lang.txt"), wrapped);
    writeFile(dir.file("Leer.txt"), "");
    PosixFiles files;
    TForm5 help(files, dir.path());
    const int pitch = help.linePitch();

    help.showQuickHelp(QStringLiteral("Viele"), nullptr);
    QCOMPARE(help.displayedLineCount(), 30);
    const int full = help.Memo1->height();
    QVERIFY(full < 30 * pitch);
    QVERIFY(full > 18 * pitch);
    help.showQuickHelp(QStringLiteral("Sehr viele"), nullptr);
    QCOMPARE(help.Memo1->height(), full);
    QVERIFY(help.Memo1->verticalScrollBar()->maximum() > 0);

    help.showQuickHelp(QStringLiteral("Lang"), nullptr);
    const int shown = help.displayedLineCount();
    QVERIFY(shown > 1);
    QVERIFY(help.Memo1->height() >= shown * pitch);
    QVERIFY(help.Memo1->height() < full);
    QCOMPARE(help.Memo1->verticalScrollBar()->maximum(), 0);

    help.showQuickHelp(QStringLiteral("Leer"), nullptr);
    QCOMPARE(help.displayedLineCount(), 0);
    QVERIFY(help.Memo1->height() < pitch);
    QVERIFY(help.height() > help.Memo1->height());
  }

  // The delivered help texts: one per topic, Windows-1252 with CR LF, found by the window.
  void deliveredHelpTexts() {
    PosixFiles files;
    TForm5 help(files, TAVIK_HELP_DIR);
    for (const char* topic :
         {"Hauptfenster", "Editorfenster", "Optionenfenster", "Importfenster", "Exportfenster",
          "Aboutfenster", "Abgleichfenster", "Editor", "Feiertagewahl"}) {
      const std::string bytes = readFile(std::string(TAVIK_HELP_DIR "/") + topic + ".txt");
      QVERIFY2(bytes.size() > 100, topic);
      QVERIFY2(bytes.ends_with("\r\n"), topic);
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') QVERIFY2(i > 0 && bytes[i - 1] == '\r', topic);
      }
      help.showQuickHelp(QString::fromUtf8(topic), nullptr);
      const QString text = help.Memo1->toPlainText();
      QVERIFY2(text != QString::fromUtf8(kHelpNotFound), topic);
      // UTF-8 read as Windows-1252 would show "Ã¤" for "ä".
      QVERIFY2(!text.contains(QChar(0xC3)), topic);
    }
  }

  // A topic without a file in the start directory is read from the delivered help texts; a
  // file there under the topic's name wins, also one that cannot be read.
  void startDirectoryBeforeDeliveredTexts_data() {
    QTest::addColumn<QByteArray>("own");  // the start directory's file; "" none, "/" a directory
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QString>("shown");
    const QString notFound = QString::fromUtf8(kHelpNotFound);
    QTest::newRow("delivered only") << QByteArray() << true << QStringLiteral("Mitgeliefert");
    QTest::newRow("own text") << QByteArray("Eigener Text\r\n") << true
                              << QStringLiteral("Eigener Text");
    QTest::newRow("own unreadable") << QByteArray("/") << true << notFound;
    QTest::newRow("nothing delivered") << QByteArray() << false << notFound;
  }
  void startDirectoryBeforeDeliveredTexts() {
    QFETCH(QByteArray, own);
    QFETCH(bool, delivered);
    TempDir start("tavik-help");
    TempDir installed("tavik-help-installed");
    writeFile(installed.file("Hauptfenster.txt"), "Mitgeliefert\r\n");
    if (own == "/") {
      ::mkdir(start.file("Hauptfenster.txt").c_str(), 0755);
    } else if (!own.isEmpty()) {
      writeFile(start.file("Hauptfenster.txt"), own.toStdString());
    }
    PosixFiles files;
    TForm5 help(files, start.path(), delivered ? installed.path() : std::string());
    help.showQuickHelp(QStringLiteral("Hauptfenster"), nullptr);
    QTEST(help.Memo1->toPlainText(), "shown");
  }

  // Whatever stands at the topic's name and cannot be read counts as a missing file.
  void unreadableHelpFile() {
    TempDir dir("tavik-help");
    ::mkdir(dir.file("Hauptfenster.txt").c_str(), 0755);
    PosixFiles files;
    TForm5 help(files, dir.path());
    help.showQuickHelp(QStringLiteral("Hauptfenster"), nullptr);
    QVERIFY(help.isVisible());
    QCOMPARE(help.Label1->text(), QStringLiteral("Hauptfenster"));
    QCOMPARE(help.Memo1->toPlainText(), QStringLiteral("Hilfedatei nicht gefunden!"));
    QCOMPARE(help.displayedLineCount(), 1);
  }

  // Blanks, umlauts and a "!" in the start directory's name, or a name that is not UTF-8.
  void startDirectoryWithAnUnusualName_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("UTF-8") << QByteArray("Meine Tage \xC3\xA4\xC3\xB6\xC3\xBC!");
    QTest::newRow("Latin-1") << QByteArray("lat\xE4n1");
  }
  void startDirectoryWithAnUnusualName() {
    QFETCH(QByteArray, name);
    TempDir base("tavik-help");
    const std::string path = base.path() + "/" + name.toStdString();
    ::mkdir(path.c_str(), 0755);
    writeFile(path + "/Hauptfenster.txt", "Gefunden\r\n");
    PosixFiles files;
    TForm5 help(files, path);
    help.showQuickHelp(QStringLiteral("Hauptfenster"), nullptr);
    QCOMPARE(help.Memo1->toPlainText(), QStringLiteral("Gefunden"));
  }

  // The start directory is used whole, however long.
  void longStartDirectory() {
    TempDir base("tavik-help");
    std::string path = base.path();
    while (path.size() < 260) {
      path += "/verzeichnis-mit-langem-namen";
      ::mkdir(path.c_str(), 0755);
    }
    writeFile(path + "/Hauptfenster.txt", "Gefunden\r\n");
    PosixFiles files;
    TForm5 help(files, path);
    help.showQuickHelp(QStringLiteral("Hauptfenster"), nullptr);
    QCOMPARE(help.Memo1->toPlainText(), QStringLiteral("Gefunden"));
  }
};

}  // namespace tavik::test

QTEST_MAIN(tavik::test::HelpTest)
#include "help_test.moc"
