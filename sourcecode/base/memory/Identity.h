// Object identity: long-lived engine objects (devices, resources, resource types, animations, pool
// elements) register in one global slot table. Others refer to them by slot index and serial
// number (handles in Ref.h) instead of raw pointers, so a holder can always tell whether the object
// still lives: a slot's serial advances whenever the slot is given up. Main thread only.
#pragma once

namespace base {

class cl_RefBase {
 public:
  struct slot {
    int index;     // the slot's own position, fixed
    int serial;    // advances by one each time the slot is given up
    int refcount;  // counted handles (smart_ptr) to the current object
    void* object;  // the registered identity; null while idle
  };

  // An idle slot (last given up, first reused) or a new one at the end of the table.
  static slot* NewSlot();
  // Gives slot index up: object null, serial + 1, reference count 0, pushed on the idle stack.
  // The count is reset so a later object in this slot is not kept alive by the old count.
  static void ReleaseSlot(int index);

  // The slot at index, or null when index is outside the table. Slot addresses may move when the
  // table grows: keep indices, not slot pointers.
  static slot* GetSlot(int index) {
    return index >= 0 && index < s_SlotCount ? &s_SlotVector[index] : nullptr;
  }
  static int SlotCount() { return s_SlotCount; }
  static int IdleCount();

 private:
  static slot* s_SlotVector;
  static int s_SlotCount;
};

// Base of every identifiable class: holds its slot from construction to destruction. The object
// in the slot is this identity (the address of the tIdentity<T> subobject); handles convert it.
template <class T>
class tIdentity {
 public:
  using identity_type = tIdentity<T>;

  tIdentity() { Announce(this); }
  // A copy is a new object and gets a slot of its own; sharing the source's slot would let the
  // first of the two to die invalidate the other's handles.
  tIdentity(const tIdentity&) { Announce(this); }
  tIdentity& operator=(const tIdentity&) { return *this; }  // the identity stays with the object
  virtual ~tIdentity() { Resign(); }

  // Gives the slot up while the object lives on without identity; handles to it turn stale.
  void Resign() {
    if (m_Index != -1) cl_RefBase::ReleaseSlot(m_Index);
    m_Index = -1;
  }
  // Takes a fresh slot for object (this identity's address; an identity held before is resigned).
  void Announce(void* object) {
    Resign();
    cl_RefBase::slot* s = cl_RefBase::NewSlot();
    s->object = object;
    m_Index = s->index;
  }
  int GetIndex() const { return m_Index; }  // -1: no identity
  int GetSerial() const {
    const cl_RefBase::slot* s = cl_RefBase::GetSlot(m_Index);
    return s ? s->serial : -1;
  }
  // Destroys the object through its virtual destructor; nothing for null.
  static void KillSelf(tIdentity* object) { delete object; }
  void KillSelf() { delete this; }

 private:
  int m_Index = -1;
};

}  // namespace base
