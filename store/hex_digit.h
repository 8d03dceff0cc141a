// The value of a hexadecimal digit, for the readers of escaped text.
#pragma once

namespace tavik {

// 0..15 for 0-9, A-F and a-f; -1 for any other character.
constexpr int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace tavik
