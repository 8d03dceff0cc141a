// Failure injection over the real POSIX calls.
#include "tests/support/fake_files.h"

namespace tavik::test {

void FakeFiles::failAt(Op op, int nth, int errorNumber) {
  m_failures[op] = {m_calls[op] + nth, errorNumber};
}

int FakeFiles::calls(Op op) const {
  const auto it = m_calls.find(op);
  return it == m_calls.end() ? 0 : it->second;
}

int FakeFiles::injected(Op op) {
  const int n = ++m_calls[op];
  const auto it = m_failures.find(op);
  return it != m_failures.end() && it->second.first == n ? it->second.second : 0;
}

int FakeFiles::status(const std::string& path, FileStatus& out) {
  if (const int e = injected(Op::Status)) return e;
  return PosixFiles::status(path, out);
}

int FakeFiles::open(const std::string& path, OpenMode mode, FileHandle& out) {
  if (const int e = injected(Op::Open)) return e;
  return PosixFiles::open(path, mode, out);
}

int FakeFiles::createNew(const std::string& path, std::uint32_t permissions, FileHandle& out) {
  if (const int e = injected(Op::Open)) return e;
  return PosixFiles::createNew(path, permissions, out);
}

int FakeFiles::readLink(const std::string& path, std::string& target) {
  if (const int e = injected(Op::ReadLink)) return e;
  return PosixFiles::readLink(path, target);
}

int FakeFiles::read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) {
  if (const int e = injected(Op::Read)) return e;
  return PosixFiles::read(file, buffer, got);
}

int FakeFiles::write(FileHandle file, std::span<const std::uint8_t> data) {
  if (const int e = injected(Op::Write)) return e;
  return PosixFiles::write(file, data);
}

int FakeFiles::sync(FileHandle file) {
  if (const int e = injected(Op::Sync)) return e;
  return PosixFiles::sync(file);
}

int FakeFiles::close(FileHandle file) {
  const int e = injected(Op::Close);
  const int real = PosixFiles::close(file);  // never leak the descriptor
  return e != 0 ? e : real;
}

int FakeFiles::rename(const std::string& from, const std::string& to) {
  if (const int e = injected(Op::Rename)) return e;
  return PosixFiles::rename(from, to);
}

int FakeFiles::remove(const std::string& path) {
  if (const int e = injected(Op::Remove)) return e;
  return PosixFiles::remove(path);
}

int FakeFiles::setPermissions(const std::string& path, std::uint32_t permissions) {
  if (const int e = injected(Op::SetPermissions)) return e;
  return PosixFiles::setPermissions(path, permissions);
}

}  // namespace tavik::test
