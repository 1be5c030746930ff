#include "KRX/file/BinCodeFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "KRX/BinCode.h"
#include "KRX/LittleEndian.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Types.h"
#include "KRX/runtime/Var.h"
#include "KRX/runtime/VarTable.h"
#include "base/File.h"
#include "platform/os/Path.h"

namespace KRX {

namespace {
// Records nest (modules in values in modules); a crafted file must not nest them without end.
constexpr int kMaxNesting = 200;
// The smallest Var record: its type word.
constexpr size_t kMinVarRecord = 4;
}  // namespace

// ---- stream

Stream::Stream() = default;
Stream::~Stream() = default;

void Stream::Write(const void* bytes, size_t n) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  m_bytes.insert(m_bytes.end(), p, p + n);
}
void Stream::WriteU16(uint16_t v) {
  uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  Write(b, 2);
}
void Stream::WriteU32(uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  Write(b, 4);
}

void Stream::SetInput(const uint8_t* data, size_t size) {
  m_data = data;
  m_size = data ? size : 0;
  m_pos = 0;
  m_failed = false;
  m_failReason.clear();
}

bool Stream::Fail(const char* why) {
  if (!m_failed) {
    m_failed = true;
    m_failOffset = m_pos;
    m_failReason = why ? why : "";
  }
  return false;
}

bool Stream::Read(void* out, size_t n, const char* what) {
  if (m_failed) return false;
  if (n > Remaining()) {
    std::string why = std::string(what) + " runs past the end of the file";
    return Fail(why.c_str());
  }
  if (n) std::memcpy(out, m_data + m_pos, n);
  m_pos += n;
  return true;
}
bool Stream::ReadU16(uint16_t& v, const char* what) {
  uint8_t b[2];
  if (!Read(b, 2, what)) return false;
  v = ReadLE16(b);
  return true;
}
bool Stream::ReadU32(uint32_t& v, const char* what) {
  uint8_t b[4];
  if (!Read(b, 4, what)) return false;
  v = ReadLE32(b);
  return true;
}

namespace {
// Counts one nesting level for the span of a record.
class cl_Nest {
 public:
  explicit cl_Nest(Stream& s) : m_s(s) { ++m_s.m_depth; }
  ~cl_Nest() { --m_s.m_depth; }
  cl_Nest(const cl_Nest&) = delete;
  cl_Nest& operator=(const cl_Nest&) = delete;
  bool Ok() { return m_s.m_depth <= kMaxNesting || m_s.Fail("records nested too deeply"); }

 private:
  Stream& m_s;
};
}  // namespace

// ---- module

bool WriteModule(Stream& s, const BinCode* module) {
  if (!module) {
    s.WriteU32(0);  // an empty module value
    return true;
  }
  auto it = s.m_writeIds.find(module);
  if (it != s.m_writeIds.end()) {
    s.WriteU32(it->second);
    return true;
  }
  const uint32_t id = uint32_t(s.m_writeIds.size()) + 1;
  s.m_writeIds[module] = id;
  s.WriteU32(id);
  s.WriteU8(uint8_t(module->GetParamCount()));
  s.WriteU8(uint8_t(module->GetReturnType()));
  return WriteVarTable(s, module->GetVarTable()) && WriteSymbols(s, *module);
}

BinCode* ReadModule(Stream& s) {
  cl_Nest nest(s);
  if (!nest.Ok()) return nullptr;
  uint32_t id = 0;
  if (!s.ReadU32(id, "module id")) return nullptr;
  if (id == 0) return nullptr;
  auto it = s.m_readModules.find(id);
  if (it != s.m_readModules.end()) {
    // A module that holds itself (or an enclosing module) would never be freed.
    if (std::find(s.m_reading.begin(), s.m_reading.end(), it->second) != s.m_reading.end()) {
      s.Fail("a module refers to a module that contains it");
      return nullptr;
    }
    return it->second;
  }
  uint8_t params = 0, returnType = 0;
  if (!s.ReadU8(params, "parameter count") || !s.ReadU8(returnType, "return type")) return nullptr;
  tRefPtr<BinCode> module(new BinCode());
  module->SetParamCount(params);
  module->SetReturnType(returnType);
  s.m_readModules[id] = module.get();
  s.m_reading.push_back(module.get());
  const bool ok = ReadVarTable(s, module->GetVarTable()) && ReadSymbols(s, *module);
  s.m_reading.pop_back();
  if (!ok) {
    s.m_readModules.erase(id);
    return nullptr;
  }
  s.m_keep.push_back(module);
  return module.get();
}

// ---- variable table

bool WriteVarTable(Stream& s, const VarTable& table) {
  const StringPool& names = table.GetNames();
  s.WriteU16(uint16_t(table.GetCount()));
  s.WriteU32(uint32_t(names.GetBlobSize()));
  if (names.GetBlobSize() > 0) s.Write(names.GetBlob(), size_t(names.GetBlobSize()));
  for (int i = 0; i < table.GetCount(); ++i)
    if (!WriteVar(s, *table.GetVariable(i))) return false;
  return true;
}

bool ReadVarTable(Stream& s, VarTable& table) {
  uint16_t n = 0;
  uint32_t m = 0;
  if (!s.ReadU16(n, "slot count") || !s.ReadU32(m, "slot names size")) return false;
  if (m > s.Remaining()) return s.Fail("slot names run past the end of the file");
  std::vector<char> blob(m);
  if (!s.Read(blob.data(), m, "slot names")) return false;
  if (size_t(n) * kMinVarRecord > s.Remaining()) return s.Fail("slot count exceeds the file");
  if (!table.LoadLayout(n, blob.data(), int32_t(m))) return s.Fail("invalid slot table");
  for (int i = 0; i < n; ++i)
    if (!ReadVar(s, *table.GetVariable(i))) return false;
  return true;
}

// ---- symbols

bool WriteSymbols(Stream& s, const BinCode& module) {
  for (const auto& [name, value] : module.GetSymbols()) {
    if (name == "~p") continue;
    if (name.size() > 0xFFFF) return false;
    s.WriteU8(1);
    s.WriteU16(uint16_t(name.size()));
    s.Write(name.data(), name.size());
    if (!WriteVar(s, value)) return false;
  }
  s.WriteU8(0);
  return true;
}

bool ReadSymbols(Stream& s, BinCode& owner) {
  for (;;) {
    uint8_t flag = 0;
    if (!s.ReadU8(flag, "symbol flag")) return false;
    if (flag == 0) return true;
    if (flag != 1) return s.Fail("invalid symbol flag");
    uint16_t length = 0;
    if (!s.ReadU16(length, "symbol name length")) return false;
    std::string name(length, '\0');
    if (!s.Read(name.data(), length, "symbol name")) return false;
    if (name.find('\0') != std::string::npos) return s.Fail("symbol name holds a NUL");
    if (name == "~p") return s.Fail("stored parent link");
    Var value;
    if (!ReadVar(s, value)) return false;
    owner.FindOrCreate(name.c_str(), 0)->Assign(value);
    // Parent links are not stored; they are rebuilt from the modules' owners.
    if (BinCode* child = value.IsArray() ? nullptr : value.GetModule(); child && child != &owner)
      child->SetParent(&owner);
  }
}

// ---- pool

bool WritePool(Stream& s, const StringPool& pool) {
  s.WriteU32(uint32_t(pool.GetBlobSize()));
  if (pool.GetBlobSize() > 0) s.Write(pool.GetBlob(), size_t(pool.GetBlobSize()));
  return true;
}

bool ReadPool(Stream& s, Var& v) {
  uint32_t m = 0;
  if (!s.ReadU32(m, "pool size")) return false;
  if (m > s.Remaining()) return s.Fail("pool runs past the end of the file");
  std::vector<char> blob(m);
  if (!s.Read(blob.data(), m, "pool")) return false;
  auto* pool = new StringPool();
  if (!pool->SetBlob(blob.data(), int32_t(m))) {
    delete pool;
    return s.Fail("invalid string pool");
  }
  v.SetVocabulary(pool);
  return true;
}

// ---- threads and frames

namespace {

bool WriteFrame(Stream& s, const Frame& f) {
  s.WriteU32(uint32_t(f.m_line));
  s.WriteU32(f.m_position);
  if (!WriteModule(s, f.m_module.get()) || !WriteModule(s, f.m_function)) return false;
  s.WriteU32(f.m_stackCount);
  for (uint32_t i = 0; i < f.m_stackCount; ++i)
    if (!WriteVar(s, f.m_stack[i])) return false;
  return WriteVarTable(s, f.m_locals);
}

bool ReadFrame(Stream& s, Frame& f) {
  uint32_t line = 0, position = 0, count = 0;
  if (!s.ReadU32(line, "frame line") || !s.ReadU32(position, "frame position")) return false;
  f.m_line = int32_t(line);
  f.m_position = position;
  BinCode* module = ReadModule(s);
  if (s.Failed()) return false;
  BinCode* function = ReadModule(s);
  if (s.Failed()) return false;
  if (!function) return s.Fail("frame without function");
  f.m_module = module;
  f.m_function = function;
  // The frame keeps its function alive itself: a loaded file need not tie it to the module.
  f.m_functionKeep = function;
  if (!s.ReadU32(count, "stack size")) return false;
  if (size_t(count) * kMinVarRecord > s.Remaining()) return s.Fail("stack size exceeds the file");
  if (count > 0) {
    f.m_stack = NewVarArray(int(count));
    if (!f.m_stack) return s.Fail("stack cannot be allocated");
    f.m_stackCapacity = count;
    for (uint32_t i = 0; i < count; ++i) {
      if (!ReadVar(s, f.m_stack[i])) return false;
      f.m_stackCount = i + 1;
    }
  }
  return ReadVarTable(s, f.m_locals);
}

}  // namespace

bool WriteThread(Stream& s, const Thread* thread) {
  auto it = s.m_writeIds.find(thread);
  if (it != s.m_writeIds.end()) {
    s.WriteU32(it->second);
    return true;
  }
  const uint32_t id = uint32_t(s.m_writeIds.size()) + 1;
  s.m_writeIds[thread] = id;
  s.WriteU32(id);
  s.WriteU32(uint32_t(thread->m_state));
  const std::string& name = thread->m_moduleName;
  if (name.size() > 0xFFFF) return false;
  s.WriteU16(uint16_t(name.size()));
  s.Write(name.data(), name.size());
  s.WriteU8(thread->m_debugFlag ? 1 : 0);
  // Only the frames a run resumes are stored; context copies belong to another thread.
  int top = thread->m_frameIndex;
  if (top >= Thread::kMaxFrames) top = Thread::kMaxFrames - 1;
  for (int i = 0; i <= top; ++i)
    if (!thread->m_frames[i] || thread->m_frames[i]->m_context) top = i - 1;
  s.WriteU32(uint32_t(int32_t(top)));
  if (!WriteVar(s, thread->m_returnValue)) return false;
  for (const auto& [key, value] : thread->m_variables) {
    if (key.size() > 0xFFFF) return false;
    s.WriteU8(1);
    s.WriteU16(uint16_t(key.size()));
    s.Write(key.data(), key.size());
    if (!WriteVar(s, value)) return false;
  }
  s.WriteU8(0);
  for (int i = 0; i <= top; ++i)
    if (!WriteFrame(s, *thread->m_frames[i])) return false;
  return true;
}

Thread* ReadThread(Stream& s) {
  cl_Nest nest(s);
  if (!nest.Ok()) return nullptr;
  uint32_t id = 0;
  if (!s.ReadU32(id, "thread id")) return nullptr;
  if (id == 0) return nullptr;
  auto known = s.m_readThreads.find(id);
  if (known != s.m_readThreads.end()) {
    // A thread's own record naming it (its "self" parameter) loads empty: a loaded thread must
    // not keep itself alive.
    if (std::find(s.m_readingThreads.begin(), s.m_readingThreads.end(), known->second) != s.m_readingThreads.end())
      return nullptr;
    return known->second;
  }
  tRefPtr<Thread> thread(new Thread());
  s.m_readThreads[id] = thread.get();
  s.m_keepThreads.push_back(thread);
  uint32_t state = 0;
  uint16_t length = 0;
  uint8_t debug = 0;
  uint32_t top = 0;
  if (!s.ReadU32(state, "thread state")) return nullptr;
  if (state > Thread::STATE_PAUSED) {
    s.Fail("invalid thread state");
    return nullptr;
  }
  thread->m_state = int32_t(state);
  if (!s.ReadU16(length, "thread module name length")) return nullptr;
  thread->m_moduleName.assign(length, '\0');
  if (!s.Read(thread->m_moduleName.data(), length, "thread module name")) return nullptr;
  if (!s.ReadU8(debug, "thread debug flag")) return nullptr;
  thread->m_debugFlag = debug ? 1 : 0;
  if (!s.ReadU32(top, "frame index")) return nullptr;
  // The frame index must name one of the thread's 32 frames (or none).
  const int32_t frameIndex = int32_t(top);
  if (frameIndex < -1 || frameIndex >= Thread::kMaxFrames) {
    s.Fail("frame index outside the 32 frames");
    return nullptr;
  }
  s.m_readingThreads.push_back(thread.get());
  const bool valueOk = ReadVar(s, thread->m_returnValue);
  s.m_readingThreads.pop_back();
  if (!valueOk) return nullptr;
  for (;;) {
    uint8_t flag = 0;
    if (!s.ReadU8(flag, "thread variable flag")) return nullptr;
    if (flag == 0) break;
    if (flag != 1) {
      s.Fail("invalid thread variable flag");
      return nullptr;
    }
    uint16_t n = 0;
    if (!s.ReadU16(n, "thread variable name length")) return nullptr;
    std::string key(n, '\0');
    if (!s.Read(key.data(), n, "thread variable name")) return nullptr;
    Var value;
    s.m_readingThreads.push_back(thread.get());
    const bool ok = ReadVar(s, value);
    s.m_readingThreads.pop_back();
    if (!ok) return nullptr;
    thread->m_variables[key].Assign(value);
  }
  s.m_readingThreads.push_back(thread.get());
  bool ok = true;
  for (int i = 0; ok && i <= frameIndex; ++i) {
    thread->m_frames[i] = new Frame();
    thread->m_frameIndex = i;
    ok = ReadFrame(s, *thread->m_frames[i]);
  }
  s.m_readingThreads.pop_back();
  if (!ok) return nullptr;
  thread->m_frameIndex = frameIndex;
  return thread.get();
}

// ---- values

bool WriteVar(Stream& s, const Var& v) {
  const int type = v.GetType();
  if (v.HasArrayFlag()) {
    // Arrays: the type word (with the element count), then one record per element. The count
    // has 24 bits in the type word.
    if (v.GetCount() >= (1 << 24)) return false;
    s.WriteU32(v.GetTypeWord());
    for (int i = 0; i < v.GetCount(); ++i)
      if (!WriteVar(s, *v.GetElement(i))) return false;
    return true;
  }
  switch (type) {
    case VT_BOOL:
      s.WriteU32(v.GetTypeWord());
      s.WriteU8(v.GetRawInt() & 0xFF ? 1 : 0);
      return true;
    case VT_INT:
    case VT_FLOAT:
    case VT_POSITION:
    case VT_STACKPOS:
      s.WriteU32(uint32_t(v.GetTypeByte()));
      s.WriteU32(uint32_t(v.GetRawInt()));
      return true;
    case VT_REFERENCE:
      // An address means nothing in another process; it loads as nil.
      s.WriteU32(uint32_t(v.GetTypeByte()));
      s.WriteU32(0);
      return true;
    case VT_UNINITPARAM:
      // The declared type of a parameter lives in the value word; without it a loaded function
      // could not take its arguments.
      s.WriteU32(uint32_t(v.GetTypeByte()));
      s.WriteU32(v.GetDeclaredTypeWord());
      return true;
    case VT_MODULE:
      s.WriteU32(uint32_t(v.GetTypeByte()));
      return WriteModule(s, v.GetModule());
    case VT_THREAD: {
      s.WriteU32(uint32_t(v.GetTypeByte()));
      const Thread* thread = v.GetThreadObject();
      s.WriteU8(thread ? 1 : 0);
      return !thread || WriteThread(s, thread);
    }
    case VT_BINARY: {
      int size = 0;
      const unsigned char* bytes = v.GetBinary(size);
      s.WriteU32(uint32_t(v.GetTypeByte()) | uint32_t(size > 0 ? size : 0) << 8);
      if (bytes && size > 0) s.Write(bytes, size_t(size));
      return true;
    }
    case VT_CONSTSTRING:
    case VT_STRING:
    case VT_LABEL: {
      const char* text = v.GetString();
      const size_t n = text ? std::strlen(text) : 0;
      if (n >= (1u << 24)) return false;
      s.WriteU32(uint32_t(v.GetTypeByte()) | uint32_t(n) << 8);
      if (n) s.Write(text, n);
      return true;
    }
    case VT_VOCABULARY: {
      s.WriteU32(uint32_t(v.GetTypeByte()));
      const StringPool* pool = v.GetVocabulary();
      if (pool) return WritePool(s, *pool);
      s.WriteU32(0);
      return true;
    }
    default:
      s.WriteU32(uint32_t(v.GetTypeByte()));  // nil, c-function, pointer, ignore: no body
      return true;
  }
}

bool ReadVar(Stream& s, Var& v) {
  cl_Nest nest(s);
  if (!nest.Ok()) return false;
  v = Var();
  uint32_t word = 0;
  if (!s.ReadU32(word, "value type")) return false;
  const uint8_t kind = uint8_t(word & 0xFF);
  const uint32_t count = word >> 8;
  const int type = kind & VF_TYPEMASK;
  const bool autoFlag = (kind & VF_AUTO) != 0;
  if (kind & VF_ARRAY) {
    if (type > VT_IGNORE && type != TYPE_AUTO) return s.Fail("unknown array element type");
    if (count > uint32_t(Var::kMaxArraySize) || size_t(count) * kMinVarRecord > s.Remaining())
      return s.Fail("array count exceeds the file");
    v.SetArrayType(type);
    if (count > 0 && !v.SetSize(int(count))) return s.Fail("array cannot be allocated");
    for (uint32_t i = 0; i < count; ++i) {
      Var element;
      if (!ReadVar(s, element)) return false;
      v.GetElement(int(i))->Assign(element);
    }
    v.SetAuto(autoFlag);
    return true;
  }
  switch (type) {
    case VT_NIL:
    case VT_RESERVED:
      v.SetType(type);
      break;
    case VT_BOOL: {
      uint8_t b = 0;
      if (!s.ReadU8(b, "bool value")) return false;
      v.SetBool(b != 0);
      break;
    }
    case VT_INT:
    case VT_FLOAT:
    case VT_POSITION:
    case VT_STACKPOS:
    case VT_REFERENCE:
    case VT_UNINITPARAM: {
      uint32_t value = 0;
      if (!s.ReadU32(value, "value")) return false;
      if (type == VT_INT) v.SetInt(int32_t(value));
      if (type == VT_FLOAT) {
        float f;
        std::memcpy(&f, &value, sizeof f);
        v.SetFloat(f);
      }
      if (type == VT_POSITION) v.SetPosition(int32_t(value));
      if (type == VT_STACKPOS) v.SetStackPos(int32_t(value));
      if (type == VT_REFERENCE) v.SetType(VT_NIL);
      if (type == VT_UNINITPARAM) v.SetUninitializedParam(value);
      break;
    }
    case VT_CFUNCTION:
      v.SetCFunction(nullptr);
      break;
    case VT_POINTER:
      v.SetPointer(nullptr);
      break;
    case VT_IGNORE:
      v.SetIgnore();
      break;
    case VT_MODULE: {
      BinCode* module = ReadModule(s);
      if (s.Failed()) return false;
      v.SetModule(module);
      break;
    }
    case VT_THREAD: {
      uint8_t has = 0;
      if (!s.ReadU8(has, "thread flag")) return false;
      if (has > 1) return s.Fail("invalid thread flag");
      Thread* thread = has ? ReadThread(s) : nullptr;
      if (s.Failed()) return false;
      if (thread)
        v.SetThreadRef(thread);
      else
        v.SetThread(nullptr);
      break;
    }
    case VT_BINARY: {
      if (count > s.Remaining()) return s.Fail("binary runs past the end of the file");
      std::vector<uint8_t> bytes(count);
      if (!s.Read(bytes.data(), count, "binary")) return false;
      v.SetBinary(bytes.data(), int(count));
      break;
    }
    case VT_CONSTSTRING:
    case VT_STRING:
    case VT_LABEL: {
      if (count > s.Remaining()) return s.Fail("text runs past the end of the file");
      std::string text(count, '\0');
      if (!s.Read(text.data(), count, "text")) return false;
      if (type == VT_LABEL)
        v.SetLabel(text.c_str());
      else if (count == 0)
        v.SetType(VT_STRING);  // a null text
      else
        v.SetString(text.data(), int(count));  // a loaded constant owns its text
      break;
    }
    case VT_VOCABULARY:
      if (!ReadPool(s, v)) return false;
      break;
    default:
      return s.Fail("unknown value type");
  }
  v.SetAuto(autoFlag);
  return true;
}

// ---- files

bool WriteModuleFile(const char* path, const BinCode* module) {
  Stream s;
  if (!WriteModule(s, module)) {
    ReportFileError(path, -1, "Unable to save module: it holds a value that cannot be stored");
    return false;
  }
  base::File file;
  if (!file.open(path, base::File::STATUS_WRITE)) return false;
  const auto& bytes = s.GetBytes();
  if (!file.write(bytes.data(), int(bytes.size()))) {
    file.discard();
    return false;
  }
  return file.close();
}

tRefPtr<BinCode> ReadModuleMemory(const uint8_t* data, size_t size, const char* name) {
  Stream s;
  s.SetInput(data, size);
  tRefPtr<BinCode> module = ReadModule(s);
  if (!s.Failed() && !module) s.Fail("no module");
  if (!s.Failed() && s.Remaining() > 0) s.Fail("bytes after the module record");
  if (s.Failed()) {
    ReportFileError(name, -1, "Unable to load module file %s (corrupt at offset %d: %s)", name ? name : "",
                    int(s.FailOffset()), s.FailReason().c_str());
    return nullptr;
  }
  return module;
}

tRefPtr<BinCode> ReadModuleFile(const char* path) {
  platform::os::en_OpenError why = platform::os::OPEN_OK;
  std::FILE* f = platform::os::OpenResolved(path, "rb", &why);
  if (!f) {
    if (why == platform::os::OPEN_NOT_REGULAR)
      ReportFileError(path, -1, "Unable to load module file %s (not a regular file)", path);
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (bytes.size() + n > kMaxModuleFileSize) {
      std::fclose(f);
      ReportFileError(path, -1, "Unable to load module file %s (too large: more than %zu bytes)", path,
                      kMaxModuleFileSize);
      return nullptr;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  std::fclose(f);
  return ReadModuleMemory(bytes.data(), bytes.size(), path);
}

}  // namespace KRX
