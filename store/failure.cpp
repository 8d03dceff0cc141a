// Error numbers to the German texts users see.
#include "store/failure.h"

#include <cerrno>

namespace tavik {

FileError::FileError(int errorNumber)
    : Failure(fileErrorText(errorNumber)), m_errorNumber(errorNumber) {}

std::string fileErrorText(int e) {
  switch (e) {
    case kReadPastEnd:
      return "Versuch hinter dem Dateiende zu lesen";
    case ENOENT:
    case ENOTDIR:
      return "Datei nicht gefunden";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENXIO:  // a FIFO, device or socket where a file belongs
      return "Dateizugriff verweigert";
    case EMFILE:
    case ENFILE:
      return "Zu viele geöffnete Dateien";
    case ENAMETOOLONG:
    case EINVAL:
      return "Ungültiger Dateiname";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return "Zu wenig Speicherplatz";
    default:
      return "E/A-Fehler " + std::to_string(e);
  }
}

}  // namespace tavik
