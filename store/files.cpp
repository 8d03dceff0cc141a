// Whole-file helpers over the Files interface.
#include "store/files.h"

#include <algorithm>
#include <cerrno>
#include <random>

#include "store/failure.h"

namespace tavik {

void check(int errorNumber) {
  if (errorNumber != 0) throw FileError(errorNumber);
}

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit for a path
constexpr int kTemporaryTries = 100;

std::string randomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  // A device per call: no generator state shared between threads.
  std::random_device device;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string out(6, 'x');
  for (char& c : out) c = kLetters[pick(device)];
  return out;
}

}  // namespace

int resolveLinks(Files& files, const std::string& path, std::string& out) {
  std::string at = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    std::string target;
    const int result = files.readLink(at, target);
    if (result == EINVAL || result == ENOENT || result == ENOTDIR) {
      out = std::move(at);
      return 0;
    }
    if (result != 0) return result;
    if (target.empty()) return ENOENT;
    if (target.front() != '/') {
      const std::size_t slash = at.rfind('/');
      target.insert(0, slash == std::string::npos ? std::string() : at.substr(0, slash + 1));
    }
    at = std::move(target);
  }
  return ELOOP;
}

int createTemporaryFile(Files& files, const std::string& beside, std::uint32_t permissions,
                        FileHandle& out, std::string& temp) {
  int result = EEXIST;
  for (int attempt = 0; attempt < kTemporaryTries && result == EEXIST; ++attempt) {
    temp = beside + "." + randomSuffix() + ".tmp";
    result = files.createNew(temp, permissions, out);
  }
  return result;
}

void writeFileAtomically(Files& files, const std::string& path, std::span<const std::uint8_t> bytes,
                         std::size_t chunkSize, Links links) {
  // Through a link, the target is replaced in its own directory, so the link stays one.
  std::string target = path;
  bool replacesLink = false;
  if (links == Links::Follow) {
    check(resolveLinks(files, path, target));
  } else {
    // A link to be replaced tells nothing about the file: its target is never looked at.
    std::string ignored;
    replacesLink = files.readLink(path, ignored) == 0;
  }

  FileStatus old;
  const int statResult = replacesLink ? ENOENT : files.status(target, old);
  if (statResult != 0 && statResult != ENOENT) throw FileError(statResult);
  const bool exists = statResult == 0;
  if (exists && old.isDirectory) throw FileError(EISDIR);
  if (exists) {
    // Refuse what the user may not write, as an in-place rewrite would.
    FileHandle probe = -1;
    check(files.open(target, OpenMode::ReadWrite, probe));
    check(files.close(probe));
  }

  // The old file's mode from the start: a private file is never readable by others meanwhile.
  std::string temp;
  FileHandle out = -1;
  check(createTemporaryFile(files, target, exists ? (old.permissions & 0777) : 0644, out, temp));
  int failure = 0;
  for (std::size_t at = 0; failure == 0 && at < bytes.size(); at += chunkSize) {
    failure = files.write(out, bytes.subspan(at, std::min(chunkSize, bytes.size() - at)));
  }
  if (failure == 0) failure = files.sync(out);
  const int closed = files.close(out);
  if (failure == 0) failure = closed;
  // The umask may have taken bits the old file had.
  if (failure == 0 && exists) failure = files.setPermissions(temp, old.permissions);
  if (failure == 0) failure = files.rename(temp, target);
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
