// Whole-file helpers over the Files interface.
#include "store/files.h"

#include <algorithm>
#include <cerrno>

#include "store/failure.h"

namespace tavik {

void check(int errorNumber) {
  if (errorNumber != 0) throw FileError(errorNumber);
}

void writeFileAtomically(Files& files, const std::string& path,
                         std::span<const std::uint8_t> bytes, std::size_t chunkSize) {
  FileStatus old;
  const int statResult = files.status(path, old);
  if (statResult != 0 && statResult != ENOENT) throw FileError(statResult);
  const bool exists = statResult == 0;
  if (exists && old.isDirectory) throw FileError(EISDIR);
  if (exists) {
    // Refuse what the user may not write, as an in-place rewrite would.
    FileHandle probe = -1;
    check(files.open(path, OpenMode::ReadWrite, probe));
    check(files.close(probe));
  }

  const std::string temp = path + ".tmp";
  FileHandle out = -1;
  check(files.open(temp, OpenMode::Create, out));
  int failure = 0;
  for (std::size_t at = 0; failure == 0 && at < bytes.size(); at += chunkSize) {
    failure = files.write(out, bytes.subspan(at, std::min(chunkSize, bytes.size() - at)));
  }
  if (failure == 0) failure = files.sync(out);
  const int closed = files.close(out);
  if (failure == 0) failure = closed;
  if (failure == 0 && exists) failure = files.setPermissions(temp, old.permissions);
  if (failure == 0) failure = files.rename(temp, path);
  if (failure != 0) {
    files.remove(temp);
    throw FileError(failure);
  }
}

std::string readFileBytes(Files& files, const std::string& path, std::size_t limit) {
  FileHandle in = -1;
  check(files.open(path, OpenMode::Read, in));
  std::string bytes;
  std::uint8_t buffer[65536];
  int failure = 0;
  while (bytes.size() < limit) {
    std::size_t got = 0;
    const std::size_t want = std::min(sizeof buffer, limit - bytes.size());
    failure = files.read(in, std::span(buffer, want), got);
    if (failure != 0) break;
    bytes.append(reinterpret_cast<const char*>(buffer), got);
    if (got < want) break;
  }
  const int closed = files.close(in);
  check(failure != 0 ? failure : closed);
  return bytes;
}

}  // namespace tavik
