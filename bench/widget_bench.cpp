// The lists and the grid as the pages fill them, offscreen, over 0, 100 and 1000 events: the
// editor list (its lines alone, then the widget's rebuild), the countdown grid, the export list
// and the import list. Each widget run includes the layout and paint it causes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QButtonGroup>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "app/pages/countdown_page.h"
#include "app/pages/editor_page.h"
#include "app/pages/export_page.h"
#include "app/pages/import_page.h"
#include "bench/bench_tables.h"
#include "bench/scratch_dir.h"
#include "dates/countdown.h"
#include "dialogs/edit.h"
#include "dialogs/quick_help.h"
#include "exchange/export_writer.h"
#include "platform/posix/posix_files.h"
#include "platform/qsettings_user_store.h"
#include "platform/qt_seams.h"

namespace {

using namespace tavik;

const DayNumber kToday = *makeDayNumber(2006, 12, 15);

class NoQuickHelp : public QuickHelp {
 public:
  void showQuickHelp(const QString&, const QWidget*) override {}
  void hideQuickHelp() override {}
  bool quickHelpVisible() const override { return false; }
};

// The real seams; none of them is called by what is measured here.
struct Seams {
  PosixFiles files;
  QSettingsUserStore userStore;
  QtMessages messages;
  QtFileDialogs fileDialogs;
  QtShell shell;
  SystemClock clock;
  Platform platform{files, userStore, messages, fileDialogs, shell, clock};
};

void settle() {
  QCoreApplication::processEvents();
}

void ordersAndSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"order", "events"});
  for (int order = 0; order < 4; ++order) {
    for (int events : {0, 100, 1000}) b->Args({order, events});
  }
  b->Unit(benchmark::kMicrosecond);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->ArgName("events")->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
}

void BM_EditorListLines(benchmark::State& state) {
  const EventTable table = bench::tableOf(static_cast<int>(state.range(1)), kToday);
  const int order = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(editorList(table, order));
}
BENCHMARK(BM_EditorListLines)->Apply(ordersAndSizes);

void BM_EditorListWidget(benchmark::State& state) {
  Seams seams;
  NoQuickHelp help;
  EventTable table = bench::tableOf(static_cast<int>(state.range(1)), kToday);
  TForm2 dialog(seams.messages, help);
  EditorPage page(table, dialog, seams.messages);
  page.resize(417, 236);
  page.show();
  page.RadioGroup1->button(static_cast<int>(state.range(0)))->setChecked(true);
  settle();
  for (auto _ : state) {
    page.ListBox2Update();
    settle();
  }
  state.counters["lines"] = page.ListBox2->count();
}
BENCHMARK(BM_EditorListWidget)->Apply(ordersAndSizes);

// What a rebuild of the first page costs: computeView and the grid it fills.
void BM_CountdownPage(benchmark::State& state) {
  EventTable table = bench::tableOf(static_cast<int>(state.range(0)), kToday);
  const HolidaySelection holidays = bench::allDays();
  const Settings settings{.anzdays = 99, .prior = 2};
  CountdownPage page;
  page.resize(417, 236);
  page.show();
  settle();
  for (auto _ : state) {
    ViewResult view = computeView(table, settings, holidays, kToday, false);
    page.showView(std::move(view.lines), std::move(view.grid));
    settle();
  }
}
BENCHMARK(BM_CountdownPage)->Apply(sizes);

void BM_ExportPageList(benchmark::State& state) {
  Seams seams;
  EventTable table = bench::tableOf(static_cast<int>(state.range(0)), kToday);
  ExportPage page(table, seams.platform);
  page.resize(417, 236);
  page.show();
  settle();
  for (auto _ : state) {
    page.checklistbox2update();
    settle();
  }
}
BENCHMARK(BM_ExportPageList)->Apply(sizes);

// Reads the file named on the page, as closing the file dialog does, and waits until it is
// listed.
void readAndList(ImportPage& page) {
  QEventLoop loop;
  QObject::connect(&page, &ImportPage::readFinished, &loop, &QEventLoop::quit);
  page.Timer2Timer();
  if (page.isReading()) loop.exec();
  settle();
}

// Reading a CSV file into the import list, as closing the file dialog does.
void BM_ImportPageRead(benchmark::State& state) {
  Seams seams;
  const bench::ScratchDir dir;
  const EventTable source = bench::tableOf(static_cast<int>(state.range(0)), kToday);
  std::vector<EventRecord> records;
  for (int slot = 1; slot <= static_cast<int>(state.range(0)); ++slot) {
    records.push_back(source.record(slot));
  }
  dir.write("import.csv", exportFileBytes(records, ExportFormat::Csv));
  EventTable table;
  ImportPage page(table, seams.platform);
  page.resize(417, 236);
  page.show();
  page.Edit3->setText(QString::fromStdString(dir.file("import.csv")));
  for (auto _ : state) readAndList(page);
  state.counters["lines"] = page.CheckListBox1->count();
}
BENCHMARK(BM_ImportPageRead)->Apply(sizes);

// An address book of many more cards than the table holds: reading and listing them, and
// ticking them all with "alle wählen".
std::string manyCards(int cards) {
  std::string vcf;
  for (int i = 0; i < cards; ++i) {
    vcf += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Person " + std::to_string(i) + "\r\nBDAY:1970-01-" +
           std::to_string(10 + i % 18) + "\r\nEND:VCARD\r\n";
  }
  return vcf;
}

// An Import page with an address book of `cards` cards chosen, not yet read.
struct CardsPage {
  explicit CardsPage(int cards) {
    dir.write("karten.vcf", manyCards(cards));
    page.resize(417, 236);
    page.show();
    page.Edit3->setText(QString::fromStdString(dir.file("karten.vcf")));
  }
  Seams seams;
  const bench::ScratchDir dir;
  EventTable table;
  ImportPage page{table, seams.platform};
};

void BM_ImportPageCards(benchmark::State& state) {
  CardsPage fixture(static_cast<int>(state.range(0)));
  ImportPage& page = fixture.page;
  for (auto _ : state) readAndList(page);
  state.counters["lines"] = page.CheckListBox1->count();
}
BENCHMARK(BM_ImportPageCards)
    ->ArgName("cards")
    ->Arg(25000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_ImportPageTickAll(benchmark::State& state) {
  CardsPage fixture(static_cast<int>(state.range(0)));
  ImportPage& page = fixture.page;
  readAndList(page);
  bool on = true;
  for (auto _ : state) {
    on ? page.Button7Click() : page.Button8Click();
    on = !on;
    settle();
  }
}
BENCHMARK(BM_ImportPageTickAll)->ArgName("cards")->Arg(25000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
