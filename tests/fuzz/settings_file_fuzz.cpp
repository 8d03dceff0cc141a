// Any settings file gives, for each of the five numbers and the date, a value, "missing" or
// "wrong type", the same each time it is asked; a name the file cannot spell is missing.
#include <cstdlib>

#include "platform/ini_user_store.h"
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
  return 0;
}
