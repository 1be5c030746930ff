#include "KRX/runtime/VarTable.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace KRX {

bool VarTable::Grow(int capacity) {
  if (capacity > kMaxSlots) capacity = kMaxSlots;
  if (capacity <= m_capacity) return false;
  Var* slots = NewVarArray(capacity);
  auto* offsets = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * size_t(capacity)));
  if (!slots || !offsets) {
    DeleteVarArray(slots);
    std::free(offsets);
    return false;
  }
  // The old slots are relocated as they are; the fresh nil Vars they replace own nothing.
  RelocateVars(slots, m_slots, m_count);
  for (int i = 0; i < m_count; ++i) offsets[i] = m_nameOffsets[i];
  for (int i = m_count; i < capacity; ++i) offsets[i] = -1;
  if (m_slots) {
    for (int i = 0; i < m_count; ++i) new (static_cast<void*>(m_slots + i)) Var();
    DeleteVarArray(m_slots);
  }
  std::free(m_nameOffsets);
  m_slots = slots;
  m_nameOffsets = offsets;
  m_capacity = int16_t(capacity);
  return true;
}

void VarTable::OwnNames() {
  if (!m_layout) return;
  const VarTable& layout = *m_layout;
  m_layout = nullptr;
  m_names.CopyPool(layout.m_names);
  for (int i = 0; i < m_count; ++i) m_nameOffsets[i] = i < layout.m_count ? layout.m_nameOffsets[i] : -1;
}

Var* VarTable::AddVariable(const char* name, int type, int& index) {
  index = -1;
  OwnNames();
  if (m_count >= m_capacity && !Grow(2 + m_capacity * 3 / 2)) return nullptr;
  int32_t offset = m_names.Intern(name);
  index = m_count++;
  m_nameOffsets[index] = offset;
  Var* slot = m_slots + index;
  slot->Clear();
  slot->SetType(type);
  return slot;
}

const char* VarTable::GetName(int i) const {
  const VarTable& layout = Layout();
  if (i < 0 || i >= m_count || i >= layout.m_count) return nullptr;
  return layout.m_names.TextAt(layout.m_nameOffsets[i]);
}

void VarTable::ClearTable() {
  DeleteVarArray(m_slots);
  std::free(m_nameOffsets);
  m_slots = nullptr;
  m_nameOffsets = nullptr;
  m_count = m_capacity = 0;
  m_names.Clear();
  m_layout = nullptr;
}

void VarTable::CopyTable(const VarTable& from) {
  if (this == &from) return;
  // from may read its names from this very table: they are kept until the copy is done.
  OwnNames();
  const VarTable& layout = from.Layout();
  auto offsetOf = [&layout](int i) { return i < layout.m_count ? layout.m_nameOffsets[i] : -1; };
  if (m_capacity >= from.m_count && m_capacity > 0) {
    // Storage reuse. Every slot starts as a fresh nil, as in a new table, so no type or auto
    // flag of the old layout survives.
    if (&layout != this) m_names.CopyPool(layout.m_names);
    for (int i = 0; i < m_count; ++i) {
      m_slots[i].ClearOwned();
      new (static_cast<void*>(m_slots + i)) Var();
    }
    for (int i = 0; i < from.m_count; ++i) {
      m_slots[i].Assign(from.m_slots[i]);
      m_nameOffsets[i] = offsetOf(i);
    }
    for (int i = from.m_count; i < m_capacity; ++i) m_nameOffsets[i] = -1;
    m_count = from.m_count;
    return;
  }
  // A table that reads its names here has at most this table's count: past this point it is
  // empty, and the names cleared below are not needed.
  ClearTable();
  m_names.CopyPool(layout.m_names);
  if (from.m_capacity > 0 && Grow(from.m_capacity)) {
    for (int i = 0; i < from.m_count; ++i) {
      m_slots[i].Assign(from.m_slots[i]);
      m_nameOffsets[i] = offsetOf(i);
    }
    m_count = from.m_count;
  }
}

bool VarTable::TakeLayoutSlow(const VarTable& from) {
  if (this == &from) return true;
  const int n = from.m_count;
  if (n > m_capacity) {
    ClearTable();
    if (!Grow(from.m_capacity)) return false;
  }
  // What the last layout left past the new count goes now, not when the table dies.
  for (int i = n; i < m_count; ++i) m_slots[i].ClearOwned();
  for (int i = 0; i < n; ++i) m_slots[i].Assign(from.m_slots[i]);
  m_count = int16_t(n);
  m_layout = &from.Layout();
  return true;
}

void VarTable::CopyValues(const VarTable& from) {
  if (this == &from) return;
  if (m_count != from.m_count || m_capacity < from.m_count) {
    CopyTable(from);
    return;
  }
  for (int i = 0; i < m_count; ++i) m_slots[i].Assign(from.m_slots[i]);
}

bool VarTable::LoadLayout(int n, const char* namesBlob, int32_t blobSize) {
  ClearTable();
  if (n < 0 || n + 2 > kMaxSlots) return false;
  if (!m_names.SetBlob(namesBlob, blobSize)) return false;
  if (!Grow(n + 2)) {
    ClearTable();
    return false;
  }
  m_count = int16_t(n);
  int32_t off = blobSize > 0 ? 1 : 0;
  for (int i = 0; i < n; ++i) {
    if (off > 0 && off < blobSize) {
      m_nameOffsets[i] = off;
      off += int32_t(std::strlen(namesBlob + off)) + 1;
    }
  }
  return true;
}

}  // namespace KRX
