// Reading and writing the files of one run.
#include "store/run_files.h"

#include <cerrno>
#include <utility>

#include "store/failure.h"

namespace tavik {

namespace {

// True when `path` exists and is no folder; throws FileError for any other failure.
bool existsAsFile(Files& files, const std::string& path) {
  FileStatus st;
  const int result = files.status(path, st);
  if (result == ENOENT) return false;
  check(result);
  if (st.isDirectory) throw FileError(EISDIR);
  return true;
}

}  // namespace

RunFiles::RunFiles(std::string startDirectory)
    : m_startDirectory(std::move(startDirectory)),
      m_dataFilePath(m_startDirectory + "/" + kDataFileName),
      m_holidayFilePath(m_startDirectory + "/" + kHolidayFileName),
      m_table(std::make_unique<EventTable>()) {}

void RunFiles::load(Files& files, UserStore& userStore) {
  loadSettings(userStore, m_settings);
  m_shownBefore = m_settings.lastshown;
  m_dataFile.emplace(m_dataFilePath);
  m_dataFile->load(files, *m_table);
}

void RunFiles::loadHolidays(Files& files) {
  loadHolidaySelection(files, m_holidayFilePath, m_holidays);
}

void RunFiles::readOnly(Files& files, UserStore& userStore) {
  readSettings(userStore, m_settings);
  m_shownBefore = m_settings.lastshown;
  if (existsAsFile(files, m_dataFilePath)) {
    FileHandle in = -1;
    check(files.open(m_dataFilePath, OpenMode::Read, in));
    bool atEnd = false;
    const int failure = readRecords(files, in, *m_table, atEnd);
    const int closed = files.close(in);
    check(failure != 0 ? failure : closed);
  }
  if (existsAsFile(files, m_holidayFilePath)) {
    const std::string bytes = readFileBytes(files, m_holidayFilePath, kHolidaySelectionSize);
    if (bytes.size() < kHolidaySelectionSize) throw FileError(kReadPastEnd);
    for (std::size_t i = 0; i < kHolidaySelectionSize; ++i) {
      m_holidays.bytes[i] = static_cast<std::uint8_t>(bytes[i]);
    }
  }
}

void RunFiles::save(Files& files, UserStore& userStore) {
  // The events come first: a settings folder that cannot be written (read-only, full) does not
  // keep them from the data file. Its failure is reported after the files are written.
  std::string settingsFailure;
  try {
    saveSettings(userStore, m_settings);
  } catch (const Failure& failure) {
    settingsFailure = failure.what();
  }
  try {
    if (m_dataFile) m_dataFile->save(files, *m_table);
    saveHolidaySelection(files, m_holidayFilePath, m_holidays);
  } catch (const Failure& failure) {
    if (settingsFailure.empty()) throw;
    throw Failure(settingsFailure + ".\n" + failure.what());
  }
  if (!settingsFailure.empty()) throw Failure(settingsFailure);
}

std::string RunFiles::saveAtExit(Files& files, UserStore& userStore) {
  if (m_closed) return {};
  m_closed = true;
  try {
    save(files, userStore);
  } catch (const Failure& failure) {
    return failure.userMessage();
  }
  return {};
}

}  // namespace tavik
