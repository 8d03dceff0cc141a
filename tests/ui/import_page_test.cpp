// The Import page: choosing and reading a file, the status line, ticking and storing candidates.
#include "app/pages/import_page.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "exchange/import_reader.h"
#include "platform/qt_seams.h"
#include "store/data_file.h"
#include "store/day_number.h"
#include "store/event_table.h"
#include "store/event_text.h"
#include "store/settings_store.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/ui_fakes.h"
#include "tests/ui/check_list_helpers.h"

namespace tavik {
namespace {

using namespace std::chrono_literals;

using test::lines;
using test::NoUserStore;
using test::tickedCount;
using test::whenDialogOpens;

EventRecord eventOn(int year, int month, int day, std::string_view text) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(year, month, day));
  r.setText(text);
  return r;
}

std::string image(const EventRecord& r) {
  const RecordImage i = encodeRecord(r);
  return std::string(i.begin(), i.end());
}

// One 48-byte record of the previous generation, with a year.
std::string tavik3Record(int day, int month, int year, std::string_view text) {
  std::string r(48, '\0');
  r[1] = 1;
  r[3] = static_cast<char>(day);
  r[4] = static_cast<char>(month);
  r[6] = static_cast<char>(year & 0xff);
  r[7] = static_cast<char>(year >> 8);
  r[8] = static_cast<char>(text.size());
  r.replace(9, text.size(), text);
  return r;
}

// Real files whose reads wait until the test opens the gate.
class GatedFiles : public PosixFiles {
 public:
  int read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) override {
    {
      std::unique_lock lock(m_mutex);
      ++m_waiting;
      m_changed.wait(lock, [this] { return m_open; });
    }
    return PosixFiles::read(file, buffer, got);
  }
  int waiting() {
    const std::lock_guard lock(m_mutex);
    return m_waiting;
  }
  void openGate() {
    const std::lock_guard lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_waiting = 0;
  bool m_open = false;
};

}  // namespace

class ImportPageTest : public QObject {
  Q_OBJECT

  struct World {
    test::TempDir dir;
    test::FakeFiles files;
    NoUserStore store;
    test::FakeMessages messages;
    test::FakeFileDialogs dialogs;
    test::FakeShell shell;
    test::FakeClock clock;
    Platform platform{files, store, messages, dialogs, shell, clock};
    EventTable table;
    ImportPage page{table, platform};

    World() {
      // The reader thread goes through the same failing files; the test waits for it.
      page.makeReaderFiles = [this] { return std::shared_ptr<Files>(&files, [](Files*) {}); };
      page.show();
    }

    template <typename T>
    T* find(const char* name) {
      T* w = page.findChild<T*>(QString::fromLatin1(name));
      if (!w) qFatal("no control %s", name);
      return w;
    }
    QLabel* status() { return find<QLabel>("Label4"); }
    QListWidget* list() { return find<QListWidget>("CheckListBox1"); }
    QPushButton* importButton() { return find<QPushButton>("Button6"); }

    // Chooses `name` in the file list of the dialog and confirms it.
    void choose(const std::string& name, std::string_view bytes) {
      test::writeFile(dir.file(name), bytes);
      dialogs.selections = {QString::fromStdString(dir.file(name))};
      dialogs.openResult = QString::fromStdString(dir.file(name));
      QTest::mouseClick(find<QPushButton>("Button5"), Qt::LeftButton);
      waitForRead();
    }
    // The file is read on a thread of its own; the status line says when it is done.
    void waitForRead() {
      QTRY_VERIFY_WITH_TIMEOUT(status()->text() != QString::fromUtf8(kStatusReading), 10000);
    }
    void fillTable(int usedSlots) {
      for (int slot = 1; slot <= usedSlots; ++slot) {
        table.storeRecord(slot, eventOn(2001, 1, 1, "belegt"));
      }
    }
  };

 private slots:
  void controlsAtStart() {
    World w;
    QCOMPARE(w.find<QLabel>("StaticText7")->text(), QStringLiteral("Importdatei:"));
    QVERIFY(w.find<QLineEdit>("Edit3")->isReadOnly());
    QCOMPARE(w.find<QLineEdit>("Edit3")->statusTip(),
             QStringLiteral("Bitte wählen sie die Importdatei über den Button rechts."));
    QCOMPARE(w.find<QPushButton>("Button5")->text(), QStringLiteral("..."));
    QCOMPARE(w.find<QPushButton>("Button7")->text(), QStringLiteral("alle wählen"));
    QCOMPARE(w.find<QPushButton>("Button8")->statusTip(),
             QStringLiteral("Keinen Eintrag anwählen"));
    QCOMPARE(w.importButton()->text(), QStringLiteral("Import !"));
    QCOMPARE(w.list()->statusTip(),
             QStringLiteral("Hier sehen sie alle Einträge, die sie importieren können"));
    QVERIFY(!w.list()->accessibleName().isEmpty());
    QVERIFY(!w.importButton()->isEnabled());
    QVERIFY(w.find<QLabel>("Label6")->isVisible());
    QVERIFY(w.find<QLabel>("Label7")->isVisible());
    QCOMPARE(w.find<QLabel>("Label7")->text(),
             QStringLiteral("Im Moment unterstützt Tavik die Formate: Tavik!4.dat, Tavik!3.dat, "
                            "CSV, vCard und iCalendar"));
    QVERIFY(!w.find<QFrame>("Panel1")->isVisible());
  }

  void statusAfterReading_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("importEnabled");
    QTest::addColumn<QStringList>("listed");

    const std::string fest = image(eventOn(1975, 12, 24, "Feier"));
    const std::string ohneJahr = [] {
      EventRecord r = eventOn(2000, 7, 3, "Jahrestag");
      r.withoutYear = 1;
      return image(r);
    }();
    const auto bytes = [](const std::string& s) {
      return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
    };
    const QStringList both = {QStringLiteral("24.12.1975   Feier"),
                              QStringLiteral("03.07.           Jahrestag")};

    QTest::newRow("3 bytes") << QByteArray("abc") << true
                             << QStringLiteral("Datei kann nicht geöffnet werden!") << false
                             << QStringList();
    QTest::newRow("tavik4") << bytes(fest + ohneJahr) << true
                            << QStringLiteral("lese Format: Tavik4") << true << both;
    QTest::newRow("csv, stops at a bad date")
        << QByteArray("24.12.1975\tFeier\r\n31.02.1980\tnie\r\n") << true
        << QStringLiteral("Unbekanntes Format!") << false
        << QStringList{QStringLiteral("24.12.1975   Feier")};
    QTest::newRow("tavik3 taken") << bytes(tavik3Record(24, 12, 1975, "Feier") +
                                           tavik3Record(1, 5, 1990, "Mai"))
                                  << true << QStringLiteral("lese Format: Tavik3") << true
                                  << QStringList{QStringLiteral("24.12.1975   Feier"),
                                                 QStringLiteral("01.05.1990   Mai")};
    QTest::newRow("tavik3 refused")
        << bytes(tavik3Record(24, 12, 1975, "Feier") + tavik3Record(1, 5, 1990, "Mai")) << false
        << QStringLiteral("96 Bytes in der Datei") << false << QStringList();
    QTest::newRow("vCard")
        << QByteArray(
               "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna M\xC3\xBCller\r\n"
               "BDAY:--0414\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Ohne\r\n"
               "END:VCARD\r\n")
        << true << QStringLiteral("vCard: 1 Eintrag gefunden, 1 übersprungen (kein Datum)") << true
        << QStringList{QStringLiteral("14.04.           Geburtstag Anna Müller")};
    QTest::newRow("iCalendar")
        << QByteArray(
               "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART;VALUE=DATE:19751224\n"
               "RRULE:FREQ=YEARLY\nSUMMARY:Feier\nEND:VEVENT\nBEGIN:VEVENT\n"
               "DTSTART;VALUE=DATE:20260105\nRRULE:FREQ=WEEKLY\nSUMMARY:Runde\n"
               "END:VEVENT\nEND:VCALENDAR\n")
        << true << QStringLiteral("iCalendar: 1 Eintrag gefunden, 1 übersprungen (nicht jährlich)")
        << true << QStringList{QStringLiteral("24.12.1975   Feier")};
    QTest::newRow("UTF-8 text with LF line ends")
        << QByteArray("24.12.1975\tM\xC3\xBCller\n01.05.1990\tMai\n") << true
        << QStringLiteral("lese Format: CSV (UTF-8)") << true
        << QStringList{QStringLiteral("24.12.1975   Müller"), QStringLiteral("01.05.1990   Mai")};
    QTest::newRow("unknown") << QByteArray(100, 'x') << true
                             << QStringLiteral("Dateiformat unbekannt!") << false << QStringList();
  }

  void statusAfterReading() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, answerOk);
    QFETCH(QString, status);
    QFETCH(bool, importEnabled);
    QFETCH(QStringList, listed);

    World w;
    w.messages.answers = {answerOk};
    QString statusDuringQuestion;
    w.messages.whileOpen = [&] { statusDuringQuestion = w.status()->text(); };
    w.choose("import.dat", std::string_view(bytes.constData(), bytes.size()));

    QVERIFY(w.find<QFrame>("Panel1")->isVisible());
    QVERIFY(!w.find<QLabel>("Label6")->isVisible());
    QCOMPARE(w.status()->text(), status);
    QCOMPARE(w.importButton()->isEnabled(), importEnabled);
    QCOMPARE(lines(w.list()), listed);
    QCOMPARE(tickedCount(w.list()), 0);
    QCOMPARE(w.page.candidates().size(), static_cast<std::size_t>(listed.size()));
    if (bytes.size() == 96) {
      QCOMPARE(w.messages.texts(),
               QStringList{QStringLiteral(
                   "Älteres Tavik3-Format vermutet. Sollen die Daten importiert werden?")});
      QCOMPARE(statusDuringQuestion, QStringLiteral("96 Bytes in der Datei"));
    } else {
      QVERIFY(w.messages.boxes.empty());
    }
  }

  void theDialogDecidesTheFile() {
    World w;
    const std::string csv = "24.12.1975\tFeier\r\n";
    test::writeFile(w.dir.file("a.csv"), csv);
    test::writeFile(w.dir.file("b.csv"), "01.05.1990\tMai\r\n");
    const QString a = QString::fromStdString(w.dir.file("a.csv"));
    const QString b = QString::fromStdString(w.dir.file("b.csv"));
    auto* edit = w.find<QLineEdit>("Edit3");
    auto* open = w.find<QPushButton>("Button5");

    // A file selected in the list and then cancelled is still read.
    w.dialogs.selections = {b, a};
    w.dialogs.openResult.reset();
    QTest::mouseClick(open, Qt::LeftButton);
    w.waitForRead();
    QCOMPARE(
        w.dialogs.lastSetup.filter,
        QStringLiteral("alle Dateien (*.*)|*.*|Tavik! - Exportdateien (*.dat)|*.dat|"
                       "Tabellen (*.csv)|*.csv|Adressbuch (*.vcf)|*.vcf|Kalender (*.ics)|*.ics"));
    QCOMPARE(w.dialogs.lastSetup.name, QStringLiteral("OpenDialog1"));
    QCOMPARE(edit->text(), a);
    QCOMPARE(lines(w.list()), QStringList{QStringLiteral("24.12.1975   Feier")});

    // A name typed into the dialog's field and confirmed is heard of only when it closes.
    w.dialogs.selections.clear();
    w.dialogs.openResult = b;
    QTest::mouseClick(open, Qt::LeftButton);
    w.waitForRead();
    QCOMPARE(edit->text(), b);
    QCOMPARE(lines(w.list()), QStringList{QStringLiteral("01.05.1990   Mai")});

    // Cancelled without a selection: the file in the field is read again.
    w.dialogs.openResult.reset();
    QTest::mouseClick(open, Qt::LeftButton);
    w.waitForRead();
    QCOMPARE(edit->text(), b);
    QCOMPARE(lines(w.list()), QStringList{QStringLiteral("01.05.1990   Mai")});
    QVERIFY(w.importButton()->isEnabled());

    // Opening the dialog empties the list even when the next file cannot be read.
    w.dialogs.selections = {QString::fromStdString(w.dir.file("fehlt.csv"))};
    QTest::mouseClick(open, Qt::LeftButton);
    w.waitForRead();
    QCOMPARE(w.status()->text(), QStringLiteral("Datei kann nicht geöffnet werden!"));
    QCOMPARE(w.list()->count(), 0);
    QVERIFY(w.page.candidates().empty());
    QVERIFY(!w.importButton()->isEnabled());
  }

  // A file chosen in the dialog that is gone by the time it is read, before or after its size
  // was taken, is refused like a missing one.
  void fileGoneBeforeItIsRead() {
    for (const bool afterTheSize : {false, true}) {
      World w;
      w.choose("vorher.csv", "24.12.1975\tFeier\r\n");
      QCOMPARE(w.list()->count(), 1);
      test::writeFile(w.dir.file("weg.csv"), "01.05.1990\tMai\r\n");
      const QString gone = QString::fromStdString(w.dir.file("weg.csv"));
      w.dialogs.selections = {gone};
      w.dialogs.openResult = gone;
      if (afterTheSize) {
        w.files.failAt(test::FakeFiles::Op::Open, 1, ENOENT);
      } else {
        QVERIFY(std::filesystem::remove(w.dir.file("weg.csv")));
      }
      QTest::mouseClick(w.find<QPushButton>("Button5"), Qt::LeftButton);
      w.waitForRead();
      QCOMPARE(w.find<QLineEdit>("Edit3")->text(), gone);
      QCOMPARE(w.status()->text(), QStringLiteral("Datei kann nicht geöffnet werden!"));
      QCOMPARE(w.list()->count(), 0);
      QVERIFY(!w.importButton()->isEnabled());
      QCOMPARE(w.table.usedCount(), 0);
    }
  }

  // A FIFO would block the read in open() until some writer came, a device may never end: both
  // are refused at once with their own status line.
  void specialFilesAreRefusedAtOnce() {
    World w;
    const std::string fifo = w.dir.file("pipe.vcf");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
      QTest::mouseClick(w.find<QPushButton>("Button7"), Qt::LeftButton);
      // A reader stuck in open() is freed after three seconds, so that the fault shows as a
      // late answer rather than a test that never ends.
      std::atomic<bool> done{false};
      std::thread freeing([&] {
        for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(10ms);
        while (!done) {
          const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
          if (fd >= 0) ::close(fd);
          std::this_thread::sleep_for(10ms);
        }
      });
      QElapsedTimer clock;
      clock.start();
      w.dialogs.selections = {QString::fromStdString(path)};
      w.dialogs.openResult = QString::fromStdString(path);
      QTest::mouseClick(w.find<QPushButton>("Button5"), Qt::LeftButton);
      w.waitForRead();
      const qint64 took = clock.elapsed();
      done = true;
      freeing.join();
      QCOMPARE(w.status()->text(),
               QStringLiteral("Datei kann nicht geöffnet werden! Sie ist keine gewöhnliche Datei "
                              "(Pipe, Gerät oder Socket)."));
      QVERIFY2(took < 2000, qPrintable(QStringLiteral("%1 ms").arg(took)));
      QCOMPARE(w.list()->count(), 0);
      QVERIFY(!w.importButton()->isEnabled());
      QVERIFY(w.find<QPushButton>("Button7")->isEnabled());
    }
  }

  // While a file is read the window goes on and shows it is busy; a second choice abandons the
  // first read, whose result never shows.
  void aSlowReadKeepsTheWindowResponsive() {
    World w;
    auto gated = std::make_shared<GatedFiles>();
    const auto keptFactory = w.page.makeReaderFiles;
    w.page.makeReaderFiles = [gated] { return gated; };
    test::writeFile(w.dir.file("langsam.csv"), "01.01.2001\teins\r\n");
    w.dialogs.openResult = QString::fromStdString(w.dir.file("langsam.csv"));
    QTest::mouseClick(w.find<QPushButton>("Button5"), Qt::LeftButton);

    QTRY_COMPARE(gated->waiting(), 1);
    QVERIFY(w.page.isReading());
    QCOMPARE(w.status()->text(), QStringLiteral("Datei wird gelesen..."));
    QVERIFY(!w.importButton()->isEnabled());
    QVERIFY(!w.find<QPushButton>("Button7")->isEnabled());
    QVERIFY(!w.find<QPushButton>("Button8")->isEnabled());
    QVERIFY(w.find<QPushButton>("Button5")->isEnabled());

    w.page.makeReaderFiles = keptFactory;
    w.choose("zweite.csv", "02.02.2002\tzwei\r\n");
    QCOMPARE(lines(w.list()), QStringList{QStringLiteral("02.02.2002   zwei")});
    gated->openGate();
    QTest::qWait(200);
    QCOMPARE(lines(w.list()), QStringList{QStringLiteral("02.02.2002   zwei")});
    QCOMPARE(w.status()->text(), QStringLiteral("lese Format: CSV"));
    QVERIFY(w.importButton()->isEnabled());
    QVERIFY(w.find<QPushButton>("Button7")->isEnabled());
  }

  // Qt's own dialog: a name typed into its field and confirmed is the file read.
  void realDialogReadsATypedName() {
    World w;
    QtFileDialogs realDialogs;
    Platform platform{w.files, w.store, w.messages, realDialogs, w.shell, w.clock};
    ImportPage page(w.table, platform);
    page.show();
    test::writeFile(w.dir.file("getippt.csv"), "24.12.1975\tFeier\r\n");
    const QString typed = QString::fromStdString(w.dir.file("getippt.csv"));

    QStringList offered;
    QString dialogName;
    whenDialogOpens([&](QFileDialog* dialog) {
      dialogName = dialog->objectName();
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      for (int i = 0; types && i < types->count(); ++i) offered << types->itemText(i);
      dialog->selectNameFilter(QStringLiteral("Tabellen (*.csv) (*.csv)"));
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name) return dialog->reject();
      name->setText(typed);
      QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(page.Button5, Qt::LeftButton);
    QTRY_VERIFY(page.Label4->text() != QString::fromUtf8(kStatusReading));

    QCOMPARE(dialogName, QStringLiteral("OpenDialog1"));
    QCOMPARE(offered,
             (QStringList{QStringLiteral("alle Dateien (*.*)"),
                          QStringLiteral("Tavik! - Exportdateien (*.dat)"),
                          QStringLiteral("Tabellen (*.csv)"), QStringLiteral("Adressbuch (*.vcf)"),
                          QStringLiteral("Kalender (*.ics)")}));
    QCOMPARE(page.Edit3->text(), typed);
    QCOMPARE(lines(page.CheckListBox1), QStringList{QStringLiteral("24.12.1975   Feier")});
    QCOMPARE(page.OpenDialog1.fileName, typed);

    // The next use opens on that file and entry; cancelled, it reads the file again.
    QString shownName;
    QString shownType;
    whenDialogOpens([&](QFileDialog* dialog) {
      shownName = dialog->selectedFiles().value(0);
      shownType = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
      dialog->reject();
    });
    QTest::mouseClick(page.Button5, Qt::LeftButton);
    QTRY_VERIFY(page.Label4->text() != QString::fromUtf8(kStatusReading));
    QCOMPARE(shownName, typed);
    QCOMPARE(shownType, QStringLiteral("Tabellen (*.csv)"));
    QCOMPARE(lines(page.CheckListBox1), QStringList{QStringLiteral("24.12.1975   Feier")});
  }

  void tickingAndImporting() {
    World w;
    w.choose("drei.csv", "01.01.2001\teins\r\n02.02.2002\tzwei\r\n03.03.2003\tdrei\r\n");
    QListWidget* list = w.list();
    QCOMPARE(list->count(), 3);

    QTest::mouseClick(w.find<QPushButton>("Button7"), Qt::LeftButton);
    QCOMPARE(tickedCount(list), 3);
    QTest::mouseClick(w.find<QPushButton>("Button8"), Qt::LeftButton);
    QCOMPARE(tickedCount(list), 0);

    // The ticked candidates go into the lowest free slots in list order.
    w.table.storeRecord(1, eventOn(1999, 9, 9, "alt"));
    list->item(2)->setCheckState(Qt::Checked);
    list->item(0)->setCheckState(Qt::Checked);
    QTest::mouseClick(w.importButton(), Qt::LeftButton);
    QCOMPARE(w.messages.texts(), QStringList{QStringLiteral("2 Datensätze zugefügt!")});
    QCOMPARE(w.table.record(1).text(), std::string("alt"));
    QCOMPARE(w.table.record(2).text(), std::string("eins"));
    QCOMPARE(w.table.record(3).text(), std::string("drei"));
    QCOMPARE(w.table.record(3).computeJubilee, std::uint8_t{1});
    QVERIFY(w.table.slotIsFree(4));
    QCOMPARE(w.status()->text(), QStringLiteral("Import von 2 Datensätzen erfolgreich"));
    QCOMPARE(list->count(), 0);
    QVERIFY(w.page.candidates().empty());
    QVERIFY(!w.importButton()->isEnabled());
  }

  // Names in any script are listed and imported whole.
  void namesInAnyScript() {
    World w;
    const QStringList names = {QStringLiteral("Ayşe Yılmaz"), QStringLiteral("Mehmet Doğan"),
                               QStringLiteral("Łukasz Wiśniewski"), QStringLiteral("Jiří Dvořák"),
                               QStringLiteral("Zoë Šimić")};
    std::string cards;
    for (const QString& n : names) {
      cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + n.toStdString() +
               "\r\nBDAY:--0301\r\nEND:VCARD\r\n";
    }
    w.choose("kontakte.vcf", cards);
    QCOMPARE(w.status()->text(), QStringLiteral("vCard: 5 Einträge gefunden"));
    QCOMPARE(w.list()->count(), names.size());
    for (int i = 0; i < names.size(); ++i) {
      QCOMPARE(w.list()->item(i)->text(),
               QStringLiteral("01.03.           Geburtstag ") + names[i]);
    }
    QTest::mouseClick(w.find<QPushButton>("Button7"), Qt::LeftButton);
    QTest::mouseClick(w.importButton(), Qt::LeftButton);
    QCOMPARE(w.table.usedCount(), 5);
    for (int i = 0; i < names.size(); ++i) {
      QCOMPARE(QString::fromStdString(eventText(w.table.record(i + 1))),
               QStringLiteral("Geburtstag ") + names[i]);
    }
  }

  // Reading the same address book again after importing it offers nothing new.
  void theSameAddressBookTwiceAddsNothing() {
    World w;
    const std::string cards =
        "BEGIN:VCARD\r\nFN:Anna\r\nBDAY:1980-01-01\r\nANNIVERSARY:20050607\r\nEND:VCARD\r\n";
    w.choose("kontakte.vcf", cards);
    QCOMPARE(w.status()->text(), QStringLiteral("vCard: 2 Einträge gefunden"));
    QTest::mouseClick(w.find<QPushButton>("Button7"), Qt::LeftButton);
    QTest::mouseClick(w.importButton(), Qt::LeftButton);
    QCOMPARE(w.table.usedCount(), 2);
    QCOMPARE(w.table.record(2).text(), std::string("Hochzeitstag Anna"));

    w.choose("kontakte.vcf", cards);
    QCOMPARE(w.status()->text(), QStringLiteral("vCard: 0 Einträge gefunden, 2 bereits vorhanden"));
    QCOMPARE(w.list()->count(), 0);
    QVERIFY(!w.importButton()->isEnabled());
  }

  // A full table stops the import with one box, however many ticked candidates are left; those
  // stay listed as they were, for when room has been made.
  void importIntoAlmostFullTable() {
    World w;
    w.fillTable(kSlotCount - 2);
    w.choose("fuenf.csv",
             "01.01.2001\teins\r\n02.02.2002\tzwei\r\n03.03.2003\tdrei\r\n"
             "04.04.2004\tvier\r\n05.05.2005\tfünf\r\n");
    QTest::mouseClick(w.find<QPushButton>("Button7"), Qt::LeftButton);
    w.list()->item(3)->setCheckState(Qt::Unchecked);
    QTest::mouseClick(w.importButton(), Qt::LeftButton);

    QCOMPARE(
        w.messages.texts(),
        (QStringList{QStringLiteral("Zufügen nicht (weiter) möglich.. Speicherplatz erschöpft!"),
                     QStringLiteral("2 Datensätze zugefügt!")}));
    QCOMPARE(w.table.record(kSlotCount - 1).text(), std::string("eins"));
    QCOMPARE(w.table.record(kSlotCount).text(), std::string("zwei"));
    QCOMPARE(w.table.usedCount(), kSlotCount);
    QCOMPARE(w.status()->text(), QStringLiteral("Import von 2 Datensätzen erfolgreich"));
    QCOMPARE(lines(w.list()),
             (QStringList{QStringLiteral("03.03.2003   drei"), QStringLiteral("04.04.2004   vier"),
                          QStringLiteral("05.05.2005   fünf")}));
    QCOMPARE(w.page.candidates().size(), std::size_t{3});
    QCOMPARE(w.list()->item(0)->checkState(), Qt::Checked);
    QCOMPARE(w.list()->item(1)->checkState(), Qt::Unchecked);
    QCOMPARE(w.list()->item(2)->checkState(), Qt::Checked);
    QVERIFY(w.importButton()->isEnabled());

    // Room for one more: the next ticked one goes in, the box comes once again.
    w.table.freeSlot(5);
    w.messages.boxes.clear();
    QTest::mouseClick(w.importButton(), Qt::LeftButton);
    QCOMPARE(w.table.record(5).text(), std::string("drei"));
    QCOMPARE(w.messages.boxes.size(), std::size_t{2});
    QCOMPARE(lines(w.list()), (QStringList{QStringLiteral("04.04.2004   vier"),
                                           QStringLiteral("05.05.2005   fünf")}));
  }

  void importWithNothingTicked() {
    World w;
    w.choose("eins.csv", "01.01.2001\teins\r\n");
    QTest::mouseClick(w.importButton(), Qt::LeftButton);
    QCOMPARE(w.messages.texts(), QStringList{QStringLiteral("0 Datensätze zugefügt!")});
    QCOMPARE(w.status()->text(), QStringLiteral("Import von 0 Datensätzen erfolgreich"));
    QCOMPARE(w.table.usedCount(), 0);
    QCOMPARE(w.list()->count(), 0);
    QVERIFY(!w.importButton()->isEnabled());
  }

  void thousandCandidatesKeepFileOrder() {
    World w;
    std::string csv;
    for (int i = 1000; i >= 1; --i) {
      csv += "01.01." + std::to_string(1000 + i) + "\tEintrag " + std::to_string(i) + "\r\n";
    }
    w.choose("viele.csv", csv);
    QListWidget* list = w.list();
    QCOMPARE(list->count(), 1000);
    QCOMPARE(list->item(0)->text(), QStringLiteral("01.01.2000   Eintrag 1000"));
    QCOMPARE(list->item(999)->text(), QStringLiteral("01.01.1001   Eintrag 1"));
    QVERIFY(w.importButton()->isEnabled());
  }
};

}  // namespace tavik

QTEST_MAIN(tavik::ImportPageTest)
#include "import_page_test.moc"
