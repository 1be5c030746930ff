// Intrusive reference counting for the script objects that values share: modules (BinCode) and
// threads. The count starts at 0; the holder that keeps an object adds the first reference.
#pragma once

namespace KRX {

class RefObj {
 public:
  RefObj() = default;
  RefObj(const RefObj&) = delete;
  RefObj& operator=(const RefObj&) = delete;
  // A class with its own operator new (syntax nodes) is deleted through this destructor, which
  // picks the class's operator delete; GCC's check sees only the global one here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
  virtual ~RefObj() = default;
#pragma GCC diagnostic pop

  void AddRef() { ++m_refCount; }
  // Drops one reference; deletes the object when the count falls below 1.
  void Release() {
    if (--m_refCount < 1) delete this;
  }
  int GetRefCount() const { return m_refCount; }

 private:
  int m_refCount = 0;
};

// A counted pointer over a RefObj-derived T. Taking the same object again is a no-op; a new
// object is referenced before the old one is released, so replacing a parent by its child is safe.
template <class T>
class tRefPtr {
 public:
  tRefPtr() = default;
  tRefPtr(T* p) : m_p(p) {  // NOLINT: implicit on purpose, like a raw pointer
    if (m_p) m_p->AddRef();
  }
  tRefPtr(const tRefPtr& o) : tRefPtr(o.m_p) {}
  tRefPtr(tRefPtr&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
  ~tRefPtr() {
    if (m_p) m_p->Release();
  }
  tRefPtr& operator=(T* p) {
    reset(p);
    return *this;
  }
  tRefPtr& operator=(const tRefPtr& o) {
    reset(o.m_p);
    return *this;
  }
  tRefPtr& operator=(tRefPtr&& o) noexcept {
    if (this != &o) {
      T* old = m_p;
      m_p = o.m_p;
      o.m_p = nullptr;
      if (old) old->Release();
    }
    return *this;
  }
  void reset(T* p = nullptr) {
    if (p == m_p) return;
    if (p) p->AddRef();
    T* old = m_p;
    m_p = p;
    if (old) old->Release();
  }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  T& operator*() const { return *m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
};

}  // namespace KRX
