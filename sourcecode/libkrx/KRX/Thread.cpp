#include "KRX/Thread.h"

#include "KRX/BinCode.h"

namespace KRX {

Thread::~Thread() {
  DeleteVarArray(m_args);
  m_args = nullptr;
  m_variables.clear();
  m_returnValue.Clear();
  for (Frame*& frame : m_frames) {
    delete frame;
    frame = nullptr;
  }
}

const char* Thread::GetModuleName() const {
  const Frame* frame = GetCurrentFrame();
  return frame ? GetSymbolText(frame->m_module.get(), "~m") : nullptr;
}

const char* Thread::GetFunctionName() const {
  const Frame* frame = GetCurrentFrame();
  return frame ? GetSymbolText(frame->m_function, "~f") : nullptr;
}

}  // namespace KRX
