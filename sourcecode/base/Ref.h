// Handles to identifiable objects (tIdentity, Identity.h): a slot index and the slot's serial at
// the time the handle was taken. A handle is live while that serial is still the slot's, so a
// handle to a destroyed object reads as null even after the slot went to a new object.
// smart_ptr counts: the last counted handle to let go destroys the object. weak_ptr only observes.
// T must derive from tIdentity<X> for some X. Main thread only.
#pragma once

#include "base/memory/Identity.h"

namespace base {

namespace detail {

template <class T>
inline T* identity_object(void* p) {
  return p ? static_cast<T*>(static_cast<typename T::identity_type*>(p)) : nullptr;
}

inline bool handle_live(int index, int serial) {
  const cl_RefBase::slot* s = cl_RefBase::GetSlot(index);
  return s && s->serial == serial && s->object;
}

}  // namespace detail

template <class T, class P = T*>
class weak_ptr;

template <class T, class P = T*>
class smart_ptr {
 public:
  smart_ptr() = default;
  // Takes a counted reference to object; null (or an object without identity) gives a null handle.
  // Explicit: a temporary handle made from a raw pointer would destroy an uncounted object.
  explicit smart_ptr(T* object) {
    if (!object) return;
    const int index = static_cast<typename T::identity_type*>(object)->GetIndex();
    cl_RefBase::slot* s = cl_RefBase::GetSlot(index);
    if (!s) return;
    m_index = index;
    m_serial = s->serial;
    ++s->refcount;
  }
  smart_ptr(const smart_ptr& other) { take(other.m_index, other.m_serial); }
  smart_ptr(smart_ptr&& other) noexcept : m_index(other.m_index), m_serial(other.m_serial) { other.m_index = -1; }
  smart_ptr& operator=(const smart_ptr& other) {
    if (this != &other) {
      smart_ptr old(static_cast<smart_ptr&&>(*this));  // released after the new reference is taken
      take(other.m_index, other.m_serial);
    }
    return *this;
  }
  smart_ptr& operator=(smart_ptr&& other) noexcept {
    if (this != &other) {
      release();
      m_index = other.m_index;
      m_serial = other.m_serial;
      other.m_index = -1;
    }
    return *this;
  }
  ~smart_ptr() { release(); }

  // The object while the handle is live; otherwise the handle turns null and the result is null.
  T* IsValid() {
    if (live()) return object();
    m_index = -1;
    return nullptr;
  }
  T* get() const { return live() ? object() : nullptr; }  // as IsValid, without changing the handle
  T* operator->() const { return get(); }
  explicit operator bool() const { return live(); }
  // The slot's object without the serial test, for owners walking children they know are alive.
  T* Direct() const { return m_index >= 0 ? object() : nullptr; }

  // Drops the reference (destroying the object when it was the last); the handle turns null.
  void release() {
    if (live()) _Release();
    m_index = -1;
  }
  int GetIndex() const { return m_index; }
  int GetSerial() const { return m_serial; }
  bool operator==(const smart_ptr& o) const { return get() == o.get(); }

 private:
  friend class weak_ptr<T, P>;

  bool live() const { return m_index != -1 && detail::handle_live(m_index, m_serial); }
  T* object() const {
    const cl_RefBase::slot* s = cl_RefBase::GetSlot(m_index);
    return s ? detail::identity_object<T>(s->object) : nullptr;
  }
  // A counted reference to (index, serial) when that is live; else null.
  void take(int index, int serial) {
    m_index = -1;
    if (index == -1 || !detail::handle_live(index, serial)) return;
    m_index = index;
    m_serial = serial;
    ++cl_RefBase::GetSlot(index)->refcount;
  }
  void _Release() {
    cl_RefBase::slot* s = cl_RefBase::GetSlot(m_index);
    m_index = -1;
    if (--s->refcount > 0) return;
    // The identity destructor gives the slot up, which makes every other handle stale.
    if (s->object) delete static_cast<typename T::identity_type*>(s->object);
  }

  int m_index = -1;
  int m_serial = 0;
};

template <class T, class P>
class weak_ptr {
 public:
  weak_ptr() = default;
  explicit weak_ptr(T* object) {
    if (!object) return;
    const int index = static_cast<typename T::identity_type*>(object)->GetIndex();
    const cl_RefBase::slot* s = cl_RefBase::GetSlot(index);
    if (!s) return;
    m_index = index;
    m_serial = s->serial;
  }
  weak_ptr(const smart_ptr<T, P>& h) { assign_live(h.m_index, h.m_serial); }
  weak_ptr(const weak_ptr& other) { assign_live(other.m_index, other.m_serial); }
  weak_ptr& operator=(const weak_ptr& other) {
    if (this != &other) {
      m_index = other.m_index;
      if (m_index != -1) m_serial = other.m_serial;
    }
    return *this;
  }
  ~weak_ptr() { m_index = -1; }

  T* IsValid() {
    if (live()) return object();
    m_index = -1;
    return nullptr;
  }
  T* get() const { return live() ? object() : nullptr; }
  T* operator->() const { return get(); }
  explicit operator bool() const { return live(); }
  int GetIndex() const { return m_index; }
  int GetSerial() const { return m_serial; }

 private:
  bool live() const { return m_index != -1 && detail::handle_live(m_index, m_serial); }
  T* object() const {
    const cl_RefBase::slot* s = cl_RefBase::GetSlot(m_index);
    return s ? detail::identity_object<T>(s->object) : nullptr;
  }
  void assign_live(int index, int serial) {
    if (index == -1 || !detail::handle_live(index, serial)) return;
    m_index = index;
    m_serial = serial;
  }

  int m_index = -1;
  int m_serial = 0;
};

}  // namespace base
