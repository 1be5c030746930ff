// The script language's chief header: values (Var), modules (BinCode) and the root module
// handle through which the script system, native libraries and the interpreter reach the tree
// of loaded modules.
#pragma once

#include "KRX/BinCode.h"
#include "KRX/runtime/RefObj.h"
#include "KRX/runtime/Var.h"

namespace KRX {

class Thread;

// The root module handle: one counted reference to the root BinCode (which binds every loaded
// file module by name and holds the built-in and native functions), and the thread whose code
// the interpreter is running (null outside a run).
class Module {
 public:
  BinCode* GetRoot() const { return m_root.get(); }
  void SetRoot(BinCode* root) { m_root = root; }
  Thread* GetCurrentThread() const { return m_currentThread; }
  void SetCurrentThread(Thread* thread) { m_currentThread = thread; }

 private:
  tRefPtr<BinCode> m_root;
  Thread* m_currentThread = nullptr;
};

}  // namespace KRX
