// Owners for what libical hands out: a component tree and a string buffer.
#pragma once

#include <libical/ical.h>

#include <memory>

namespace tavik {

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

struct BufferFree {
  void operator()(char* s) const { icalmemory_free_buffer(s); }
};
using BufferPtr = std::unique_ptr<char, BufferFree>;

}  // namespace tavik
