// The files of one run: the event table, the settings and the holiday selection of a start
// directory, read at start and written at the close. No Qt, so that the terminal listing and
// the exit-time save can use it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "store/data_file.h"
#include "store/day_number.h"
#include "store/event_table.h"
#include "store/files.h"
#include "store/settings_store.h"
#include "store/typs.h"

namespace tavik {

class RunFiles {
 public:
  explicit RunFiles(std::string startDirectory);
  RunFiles(const RunFiles&) = delete;
  RunFiles& operator=(const RunFiles&) = delete;

  const std::string& startDirectory() const { return m_startDirectory; }
  const std::string& dataFilePath() const { return m_dataFilePath; }
  const std::string& holidayFilePath() const { return m_holidayFilePath; }

  // The same objects for the whole run; pages keep references to them.
  EventTable& table() { return *m_table; }
  Settings& settings() { return m_settings; }
  HolidaySelection& holidays() { return m_holidays; }
  // The day the countdown was shown before this run, as the settings held it at start.
  std::optional<DayNumber> shownBefore() const { return m_shownBefore; }

  // The window's start: the settings through `userStore` (a missing one written with its
  // default), then the data file, created when missing and opened for writing. Throws Failure;
  // what was read before it stays, and a data file not reached is never written.
  void load(Files& files, UserStore& userStore);
  // Reads the holiday file again, created from the selection when missing. Throws FileError.
  void loadHolidays(Files& files);
  // Reads the settings, the data file and the holiday file without creating or writing
  // anything; a missing file counts as empty, a missing setting keeps its default. Throws
  // Failure.
  void readOnly(Files& files, UserStore& userStore);

  // The close's writes: the settings through `userStore`, the data file and the holiday file,
  // in this order. A settings failure keeps neither file from being written and is thrown
  // after them; a file's failure skips the files after it. Both texts when both fail.
  void save(Files& files, UserStore& userStore);

  // The close has had its writes (or gave them up): nothing is written after.
  void markClosed() { m_closed = true; }
  bool closed() const { return m_closed; }
  // The process ends without a close: unless closed, the stores are written once and the run
  // closed. Returns the failure text, empty when nothing failed.
  std::string saveAtExit(Files& files, UserStore& userStore);

 private:
  std::string m_startDirectory;
  std::string m_dataFilePath;
  std::string m_holidayFilePath;
  std::unique_ptr<EventTable> m_table;
  Settings m_settings;
  HolidaySelection m_holidays;
  std::optional<DayNumber> m_shownBefore;
  // Set once start-up reached the data file; without it the file holds events the table
  // does not know.
  std::optional<DataFile> m_dataFile;
  bool m_closed = false;
};

}  // namespace tavik
