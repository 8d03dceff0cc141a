// Event table operations.
#include "store/event_table.h"

#include <cassert>

namespace tavik {

namespace {
std::size_t indexOf(int slot) {
  assert(slot >= 1 && slot <= kSlotCount);
  return static_cast<std::size_t>(slot - 1);
}
}  // namespace

bool EventTable::slotIsFree(int slot) const {
  return m_slots[indexOf(slot)].date == 0.0;
}

std::optional<int> EventTable::findFreeSlot() const {
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (slotIsFree(slot)) return slot;
  }
  return std::nullopt;
}

void EventTable::storeRecord(int slot, const EventRecord& record) {
  m_slots[indexOf(slot)] = record;
}

void EventTable::placeRecord(int slot, const EventRecord& record) {
  EventRecord& placed = m_slots[indexOf(slot)];
  placed = record;
  const auto extension = readExtension(placed);
  if (!extension) return;
  for (int other = 1; other <= kSlotCount; ++other) {
    if (other == slot || slotIsFree(other)) continue;
    const auto held = readExtension(m_slots[indexOf(other)]);
    if (held && held->uid == extension->uid) {
      setUid(placed, randomUid());
      return;
    }
  }
}

std::optional<Uid> EventTable::ensureIdentity(int slot) {
  EventRecord copy = record(slot);
  if (reservedUse(copy) == ReservedUse::None) {
    if (!giveExtension(copy)) return std::nullopt;
    placeRecord(slot, copy);
  }
  const auto extension = readExtension(record(slot));
  if (!extension) return std::nullopt;
  return extension->uid;
}

void EventTable::freeSlot(int slot) {
  m_slots[indexOf(slot)].date = 0.0;
}

bool EventTable::applyAutoDelete(int slot, DayNumber today) {
  const EventRecord& r = record(slot);
  if (slotIsFree(slot) || !isSet(r.autoDelete)) return false;
  const auto stored = dayNumberFromDouble(r.date);
  const auto storedYmd = stored ? splitDayNumber(*stored) : std::nullopt;
  if (!storedYmd) return false;
  int difference = 0;
  if (storedYmd->year == yearlessMarkerYear) {
    const int currentYear = splitDayNumber(today)->year;
    if (const auto d = makeDayNumber(currentYear, storedYmd->month, storedYmd->day)) {
      difference = *d - today;
    }
  } else {
    difference = *stored - today;
  }
  if (difference >= -7) return false;
  freeSlot(slot);
  return true;
}

const EventRecord& EventTable::record(int slot) const {
  return m_slots[indexOf(slot)];
}

int EventTable::usedCount() const {
  int n = 0;
  for (int slot = 1; slot <= kSlotCount; ++slot) n += slotIsFree(slot) ? 0 : 1;
  return n;
}

}  // namespace tavik
