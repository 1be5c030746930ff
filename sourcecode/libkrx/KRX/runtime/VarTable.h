// KRX::VarTable: the named, typed variable slots of a function. The byte code addresses slots by
// index; parameters occupy the first slots; each call frame runs on its own copy of the values,
// reading the slot names from the function's table (TakeLayout) instead of copying them.
#pragma once

#include <cstdint>

#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Var.h"

namespace KRX {

class VarTable {
 public:
  static constexpr int kMaxSlots = 32767;  // the slot count is a 16-bit field in module files

  VarTable() = default;
  VarTable(const VarTable& other) { CopyTable(other); }
  VarTable& operator=(const VarTable& other) {
    if (this != &other) CopyTable(other);
    return *this;
  }
  ~VarTable() { ClearTable(); }

  // Appends a slot named name (interned in the names pool) of type (TYPE_AUTO: nil with the auto
  // flag); index receives its number. Grows to 2 + 1.5 x capacity when full. Null (index -1)
  // when the table already has kMaxSlots slots.
  Var* AddVariable(const char* name, int type, int& index);
  Var* GetVariable(int i) const { return (i >= 0 && i < m_count) ? m_slots + i : nullptr; }
  const char* GetName(int i) const;  // the slot's name, null when it has none
  int GetCount() const { return m_count; }
  int GetCapacity() const { return m_capacity; }
  // This table becomes a deep copy of from (names, every slot assigned). Its capacity becomes
  // from's, or stays when it already holds from's slots (the storage is then reused).
  void CopyTable(const VarTable& from);
  // Copies only the slot values into a table that already has from's layout (a call frame
  // reusing a table); falls back to CopyTable when the layouts differ.
  void CopyValues(const VarTable& from);
  // A call frame's start: from's slot values copied into this table's storage (grown only when
  // too small), the names read from from's table, which must outlive this use of them (until
  // the next CopyTable, TakeLayout, LoadLayout or ClearTable). Slots past from's count that this
  // table still holds must own nothing. False (the table then empty) when no memory.
  // Inline: every script call comes here, mostly with few plain slots.
  bool TakeLayout(const VarTable& from) {
    if (from.m_count > m_capacity || m_count > from.m_count || this == &from) return TakeLayoutSlow(from);
    for (int i = 0; i < from.m_count; ++i) m_slots[i].Assign(from.m_slots[i]);
    m_count = from.m_count;
    m_layout = from.m_layout ? from.m_layout : &from;
    return true;
  }
  void ClearTable();  // destroys the slots and frees the names

  // For record readers: n nil slots (capacity n + 2) named, in order, by the texts of a names
  // blob (blob order; a table written by AddVariable has its names in slot order). False when
  // n is out of range or the blob is malformed; the table is then empty.
  bool LoadLayout(int n, const char* namesBlob, int32_t blobSize);

  // The names of the slots (a layout's, when taken from one with TakeLayout).
  const StringPool& GetNames() const { return Layout().m_names; }

 private:
  bool Grow(int capacity);
  // The table whose names and name offsets this one reads.
  const VarTable& Layout() const { return m_layout ? *m_layout : *this; }
  void OwnNames();
  bool TakeLayoutSlow(const VarTable& from);  // a taken layout's names copied in, so that the table may change its slots

  Var* m_slots = nullptr;
  int16_t m_count = 0;
  int16_t m_capacity = 0;
  StringPool m_names;
  int32_t* m_nameOffsets = nullptr;  // one per slot (capacity entries), -1 when unnamed
  const VarTable* m_layout = nullptr;  // TakeLayout's table: names and offsets are read there
};

}  // namespace KRX
