// tFactory: objects created by name. Each registered name maps to a creator object that makes one
// concrete class with its default constructor; the GUI root uses it to build windows from the class
// names in layout files, so a skin or the game can swap a control's class by registering the name
// again. The factory owns its creators.
#pragma once

#include <map>
#include <memory>
#include <new>

// Global like CMemoryMgr: the program names it without a namespace.
template <class K, class B>
class tFactory {
 public:
  // A creator of one class; the factory holds one per registered name.
  class i_Creator {
   public:
    virtual ~i_Creator() = default;
    virtual B* Create() const = 0;  // a new object, or null when it cannot be allocated
  };

  template <class Base, class T>
  class tSpecializedFactoryFunction : public i_Creator {
   public:
    Base* Create() const override { return new (std::nothrow) T; }
  };

  tFactory() = default;
  tFactory(const tFactory&) = delete;
  tFactory& operator=(const tFactory&) = delete;
  virtual ~tFactory() = default;

  // Maps name to a creator of T. A name registered before is replaced: the last registration wins.
  template <class T>
  void Register(const K& name) {
    m_creators[name] = std::make_unique<tSpecializedFactoryFunction<B, T>>();
  }
  // A new object of the class registered under name; null when the name is unknown.
  B* Create(const K& name) const {
    auto it = m_creators.find(name);
    return it == m_creators.end() ? nullptr : it->second->Create();
  }
  bool IsRegistered(const K& name) const { return m_creators.find(name) != m_creators.end(); }
  int GetCount() const { return static_cast<int>(m_creators.size()); }

 private:
  std::map<K, std::unique_ptr<i_Creator>> m_creators;
};
