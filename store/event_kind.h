// The kinds of events the record extension's `kind` byte names, and their German names.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tavik {

inline constexpr std::uint8_t kKindNone = 0;
inline constexpr std::uint8_t kKindBirthday = 1;
inline constexpr std::uint8_t kKindWedding = 2;
inline constexpr std::uint8_t kKindDeath = 3;
inline constexpr std::uint8_t kKindNameDay = 4;
inline constexpr std::uint8_t kKindAnniversary = 5;
inline constexpr std::uint8_t kKindAppointment = 6;
inline constexpr std::uint8_t kMostKind = kKindAppointment;

// Indexed by kind; none has no name.
inline constexpr std::array<std::string_view, kMostKind + 1> kKindNames = {
    "", "Geburtstag", "Hochzeitstag", "Todestag", "Namenstag", "Jahrestag", "Termin"};

// A kind byte as the program knows it: one it does not know (a newer program's, garbage) is
// none.
constexpr std::uint8_t knownKind(std::uint8_t kind) {
  return kind <= kMostKind ? kind : kKindNone;
}

// "Geburtstag" …; empty for none and for kinds the program does not know.
constexpr std::string_view kindName(std::uint8_t kind) {
  return kKindNames[knownKind(kind)];
}

}  // namespace tavik
