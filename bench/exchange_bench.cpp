// Address books and calendars: reading 1000 vCards and 1000 calendar events as the Import
// page does (from a file, detection and the comparison with a full table included), and
// writing 1000 events as a calendar. The vCard reader on hostile shapes at 100 KB and 1 MB:
// the time per byte must stay the same at both sizes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_tables.h"
#include "bench/scratch_dir.h"
#include "exchange/export_writer.h"
#include "exchange/import_reader.h"
#include "exchange/vcard_reader.h"
#include "platform/posix/posix_files.h"

namespace {

using namespace tavik;

const DayNumber kToday = *makeDayNumber(2026, 12, 10);
constexpr int kCount = 1000;

std::string two(int n) {
  std::string s = std::to_string(n);
  if (n < 10) s.insert(s.begin(), '0');
  return s;
}

// Cards as address books export them: every third a vCard 2.1 with quoted-printable names,
// the others 3.0 with escapes, addresses, a note and Apple-style labelled dates.
std::string addressBook() {
  std::string out;
  for (int i = 0; i < kCount; ++i) {
    const std::string n = std::to_string(i);
    const std::string date =
        std::to_string(1940 + i % 70) + "-" + two(1 + i % 12) + "-" + two(1 + i % 28);
    if (i % 3 == 0) {
      out +=
          "BEGIN:VCARD\r\nVERSION:2.1\r\n"
          "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller" +
          n +
          ";J=C3=BCrgen;;;\r\n"
          "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller" +
          n +
          "\r\n"
          "TEL;CELL:+49 170 1234567\r\nEMAIL;HOME:juergen" +
          n +
          "@example.org\r\n"
          "BDAY:" +
          date +
          "\r\n"
          "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;" +
          date +
          ";1;;;;;;;;;;;;;\r\n"
          "END:VCARD\r\n";
    } else {
      out +=
          "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\n"
          "N:Gro\xC3\x9F" +
          n + ";Anna;;;\r\nFN:Anna Gro\xC3\x9F" + n +
          "\r\n"
          "ORG:Firma\\, Abteilung;\r\nTEL;type=CELL;type=VOICE;type=pref:+49 170 7654321\r\n"
          "item1.ADR;type=HOME;type=pref:;;Hauptstra\xC3\x9F"
          "e 1;Berlin;;10115;Deutschland\r\n"
          "item1.X-ABADR:de\r\n"
          "NOTE:Kennt man aus dem Verein\\, seit Jahren.\\nZweite Zeile mit etwas mehr Tex\r\n"
          " t\\, gefaltet.\r\n"
          "BDAY" +
          std::string(i % 2 ? ";X-APPLE-OMIT-YEAR=1604:1604" : ":1970") + "-" + two(1 + i % 12) +
          "-" + two(1 + i % 28) +
          "\r\n"
          "item2.X-ABDATE;type=pref:" +
          date +
          "\r\n"
          "item2.X-ABLABEL:_$!<Anniversary>!$_\r\n"
          "END:VCARD\r\n";
    }
  }
  return out;
}

// Birthdays as a contacts calendar writes them, with an alarm each.
std::string calendarOf1000() {
  std::string out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//GNOME//Evolution//EN\r\n";
  for (int i = 0; i < kCount; ++i) {
    const std::string day = std::to_string(1940 + i % 70) + two(1 + i % 12) + two(1 + i % 28);
    out += "BEGIN:VEVENT\r\nUID:pas-id-" + std::to_string(i) +
           "-birthday\r\n"
           "DTSTAMP:20261201T080000Z\r\nDTSTART;VALUE=DATE:" +
           day +
           "\r\n"
           "RRULE:FREQ=YEARLY;INTERVAL=1\r\nX-EVOLUTION-SINCE-YEAR:" +
           day.substr(0, 4) +
           "\r\n"
           "SUMMARY:Geburtstag: J\xC3\xBCrgen M\xC3\xBCller " +
           std::to_string(i) +
           "\r\n"
           "CATEGORIES:Birthday\r\nCLASS:PRIVATE\r\nTRANSP:TRANSPARENT\r\n"
           "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;RELATED=START:-P1D\r\n"
           "DESCRIPTION:Geburtstag\r\nEND:VALARM\r\nEND:VEVENT\r\n";
  }
  return out + "END:VCALENDAR\r\n";
}

void readFile(benchmark::State& state, const std::string& bytes) {
  const bench::ScratchDir dir;
  dir.write("import", bytes);
  PosixFiles files;
  // The duplicates check compares with a full table, the most it ever has to.
  const EventTable table = bench::tableOf(kCount, kToday);
  ImportContext context;
  context.existing = &table;
  context.today = kToday;
  std::size_t candidates = 0;
  for (auto _ : state) {
    const ImportResult result = readImportFile(files, dir.file("import"), nullptr, context);
    candidates = result.candidates.size();
    benchmark::DoNotOptimize(result);
  }
  state.counters["candidates"] = static_cast<double>(candidates);
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_Read1000Vcards(benchmark::State& state) {
  readFile(state, addressBook());
}
BENCHMARK(BM_Read1000Vcards)->Unit(benchmark::kMillisecond);

// A distinct date for each i, as "YYYY-MM-DD".
std::string nthDate(int i) {
  return std::to_string(1900 + (i / 336) % 8000) + "-" + two(1 + (i / 28) % 12) + "-" +
         two(1 + i % 28);
}

// One card with a birthday line after another, each on another day.
std::string cardWithManyDates(std::size_t size) {
  std::string out = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Viele Daten\r\n";
  for (int i = 0; out.size() < size; ++i) out += "BDAY:" + nthDate(i) + "\r\n";
  return out + "END:VCARD\r\n";
}

// One card with Apple's labelled dates, all labels after all dates.
std::string cardWithFarLabels(std::size_t size) {
  std::string dates;
  std::string labels;
  for (int i = 0; dates.size() + labels.size() < size; ++i) {
    const std::string group = "item" + std::to_string(i);
    dates += group + ".X-ABDATE:" + nthDate(i) + "\r\n";
    labels += group + ".X-ABLabel:_$!<Anniversary>!$_\r\n";
  }
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Viele Etiketten\r\n" + dates + labels +
         "BDAY:1970-01-01\r\nEND:VCARD\r\n";
}

// A quoted-printable name whose parameters fill half the size, then soft line breaks.
std::string softBreaksAfterLongParameters(std::size_t size) {
  std::string out = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;X-LANG=" + std::string(size / 2, 'a') +
                    ";ENCODING=QUOTED-PRINTABLE:=41";
  while (out.size() < size) out += "=\r\n=42";
  return out + "\r\nBDAY:1970-01-01\r\nEND:VCARD\r\n";
}

void readShape(benchmark::State& state, std::string (*make)(std::size_t)) {
  const std::string bytes = make(static_cast<std::size_t>(state.range(0)) * 1024);
  std::size_t candidates = 0;
  for (auto _ : state) {
    const ReadResult read = readVcard(bytes);
    candidates = read.candidates.size();
    benchmark::DoNotOptimize(read);
  }
  state.counters["candidates"] = static_cast<double>(candidates);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_VcardManyDatesOnOneCard(benchmark::State& state) {
  readShape(state, cardWithManyDates);
}
BENCHMARK(BM_VcardManyDatesOnOneCard)->Arg(100)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_VcardLabelsInOtherGroups(benchmark::State& state) {
  readShape(state, cardWithFarLabels);
}
BENCHMARK(BM_VcardLabelsInOtherGroups)->Arg(100)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_VcardSoftBreaksAfterLongParameters(benchmark::State& state) {
  readShape(state, softBreaksAfterLongParameters);
}
BENCHMARK(BM_VcardSoftBreaksAfterLongParameters)
    ->Arg(100)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond);

void BM_Read1000CalendarEvents(benchmark::State& state) {
  readFile(state, calendarOf1000());
}
BENCHMARK(BM_Read1000CalendarEvents)->Unit(benchmark::kMillisecond);

// One event whose title is one physical line of `mebibytes` MiB, beside an X- line as long.
std::string calendarWithLongLines(std::size_t mebibytes) {
  const std::string long_(mebibytes << 19, 'a');
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:19700131\r\n"
         "RRULE:FREQ=YEARLY\r\nX-SOMETHING:" +
         long_ + "\r\nSUMMARY:" + long_ + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Linear: the time per byte stays the same from 1 to 8 MiB.
void BM_ReadCalendarLongLines(benchmark::State& state) {
  const std::string bytes = calendarWithLongLines(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const ReadResult read = readIcalendar(bytes, kToday, systemLocalDate);
    benchmark::DoNotOptimize(read);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadCalendarLongLines)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_Export1000AsCalendar(benchmark::State& state) {
  const EventTable table = bench::tableOf(kCount, kToday);
  std::vector<EventRecord> records;
  for (int slot = 1; slot <= kCount; ++slot) records.push_back(table.record(slot));
  const bench::ScratchDir dir;
  PosixFiles files;
  // The whole export: the bytes, written, synced and renamed into place.
  for (auto _ : state) {
    writeExportFile(files, dir.file("export.ics"), records, ExportFormat::Ics, 1'796'900'000);
  }
}
BENCHMARK(BM_Export1000AsCalendar)->Unit(benchmark::kMillisecond);

}  // namespace
