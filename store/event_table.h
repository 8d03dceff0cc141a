// The 1000 event slots, numbered 1..1000; a slot whose date is 0 is free.
#pragma once

#include <array>
#include <optional>

#include "store/day_number.h"
#include "store/record_extension.h"
#include "store/typs.h"

namespace tavik {

class EventTable {
 public:
  // Slot numbers are 1..kSlotCount; other numbers are a programming error (asserted).
  bool slotIsFree(int slot) const;
  // The lowest free slot, or nullopt when the table is full.
  std::optional<int> findFreeSlot() const;
  // Copies the whole record into the slot.
  void storeRecord(int slot, const EventRecord& record);
  // Stores a record the program made or imported: a uid another used slot holds already is
  // renewed, so every identity stays unique in the table.
  void placeRecord(int slot, const EventRecord& record);
  // Gives the used slot's record its extension (and so its identity) when it has none yet.
  // nullopt when another program owns its reserved bytes.
  std::optional<Uid> ensureIdentity(int slot);
  // Sets the slot's date to 0; the other bytes stay.
  void freeSlot(int slot);
  // Frees a used slot whose date lies 8 or more days before today and that has autoDelete set.
  // A stored year 9996 stands for the current year; a date that cannot be formed (29 February
  // of 9996 mapped onto a common year) counts as today. Returns true when the slot was freed.
  bool applyAutoDelete(int slot, DayNumber today);

  const EventRecord& record(int slot) const;
  // Number of used slots.
  int usedCount() const;

 private:
  std::array<EventRecord, kSlotCount> m_slots{};
};

}  // namespace tavik
