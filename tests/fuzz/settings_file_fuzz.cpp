// Any settings file gives, for each of the five numbers and the date, a value, "missing" or
// "wrong type", the same each time it is asked; a name the file cannot spell is missing. Values
// written into any file read back as written, and every other name reads as before.
#include <algorithm>
#include <cstdlib>

#include "platform/posix/ini_user_store.h"
#include "tests/fuzz/memory_files.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fuzz::MemoryFiles files;
  files.files["s"] = std::string(bytes);
  IniUserStore store(files, "s");
  if (!files.allClosed()) std::abort();
  // Keys may hide letters behind %XX escapes; without any, a key is spelled out.
  const bool escapes = bytes.find('%') != std::string_view::npos;
  for (const char* name : {"anzdays", "autoclose", "heutebox", "prior", "notify"}) {
    std::uint8_t first = 0xEE;
    const UserStore::Read read = store.read(name, first);
    std::uint8_t again = 0xEE;
    if (store.read(name, again) != read) std::abort();
    switch (read) {
      case UserStore::Read::Value:
        if (again != first) std::abort();
        // A value holds at least one digit.
        if (bytes.find_first_of("0123456789") == std::string_view::npos) std::abort();
        break;
      case UserStore::Read::Missing:
      case UserStore::Read::WrongType:
        if (first != 0xEE) std::abort();  // nothing is handed out
        break;
    }
    if (read != UserStore::Read::Missing && !escapes &&
        bytes.find(name) == std::string_view::npos) {
      std::abort();
    }
  }
  std::string date = "unset";
  const UserStore::Read dateRead = store.readText("lastshown", date);
  std::string dateAgain;
  if (store.readText("lastshown", dateAgain) != dateRead) std::abort();
  if (dateRead == UserStore::Read::Value ? dateAgain != date : date != "unset") std::abort();
  if (dateRead != UserStore::Read::Missing && !escapes &&
      bytes.find("lastshown") == std::string_view::npos) {
    std::abort();
  }

  if (store.write("anzdays", 1) || store.writeText("lastshown", "x")) std::abort();  // read-only

  const char* const written[] = {"anzdays", "prior", "notify"};
  IniUserStore writer(files, "s", IniUserStore::Writes::Allowed);
  for (std::size_t i = 0; i < std::size(written); ++i) {
    if (!writer.write(written[i], static_cast<std::uint8_t>(size > i ? data[i] : i))) std::abort();
  }
  if (!writer.writeText("lastshown", "2026-12-10")) std::abort();
  if (!writer.sync() || !files.allClosed() || files.anyTemporary()) std::abort();
  IniUserStore after(files, "s");
  for (std::size_t i = 0; i < std::size(written); ++i) {
    std::uint8_t value = 0;
    if (after.read(written[i], value) != UserStore::Read::Value ||
        value != (size > i ? data[i] : i)) {
      std::abort();
    }
  }
  std::string shown;
  if (after.readText("lastshown", shown) != UserStore::Read::Value || shown != "2026-12-10") {
    std::abort();
  }
  for (const std::string& name : store.names()) {
    if (name == "lastshown") continue;
    if (std::find(std::begin(written), std::end(written), name) != std::end(written)) continue;
    std::uint8_t was = 0;
    std::uint8_t is = 0;
    if (store.read(name, was) != after.read(name, is) || was != is) std::abort();
  }
  return 0;
}
