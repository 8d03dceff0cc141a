// The multistatus and error readers of the CalDAV client on any bytes: no crash, and every
// href they give is already in its one canonical form.
#include <QByteArrayView>
#include <cstddef>
#include <cstdint>

#include "platform/dav_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView body(data, static_cast<qsizetype>(size));
  if (const auto status = tavik::parseMultistatus(body)) {
    for (const tavik::DavResponse& r : status->responses) {
      if (tavik::canonicalHref(r.href) != r.href) __builtin_trap();
      if (tavik::canonicalHref(r.principal) != r.principal) __builtin_trap();
    }
  }
  tavik::parseDavError(body);
  return 0;
}
