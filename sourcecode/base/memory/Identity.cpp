// The global identity slot table and its stack of idle slots.

#include "base/memory/Identity.h"

#include <cstddef>
#include <vector>

namespace base {

cl_RefBase::slot* cl_RefBase::s_SlotVector = nullptr;
int cl_RefBase::s_SlotCount = 0;

namespace {

// Made on first use and never destroyed: identities of static objects may come and go before
// and after any other static's lifetime.
struct table {
  std::vector<cl_RefBase::slot> slots;
  std::vector<int> idle;  // used as a stack: last given up, first reused
};

table& the_table() {
  static table* t = new table;
  return *t;
}

}  // namespace

cl_RefBase::slot* cl_RefBase::NewSlot() {
  table& t = the_table();
  if (!t.idle.empty()) {
    const int index = t.idle.back();
    t.idle.pop_back();
    return &t.slots[static_cast<size_t>(index)];
  }
  const int index = static_cast<int>(t.slots.size());
  t.slots.push_back(slot{index, 0, 0, nullptr});
  s_SlotVector = t.slots.data();
  s_SlotCount = static_cast<int>(t.slots.size());
  return &t.slots.back();
}

void cl_RefBase::ReleaseSlot(int index) {
  slot* s = GetSlot(index);
  if (!s || !s->object) return;  // unknown or already idle: giving it up twice would list it twice
  s->object = nullptr;
  s->serial += 1;
  s->refcount = 0;
  the_table().idle.push_back(index);
}

int cl_RefBase::IdleCount() { return static_cast<int>(the_table().idle.size()); }

}  // namespace base
