// Whole-file loading and saving, time stamps, attributes, paths and folder operations.
#include "base/FileTools.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/data/Binary.h"
#include "base/File.h"
#include "base/file/FileFinder.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"

namespace base {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

int LastSeparator(const tString<BaseString>& s) {
  for (int i = s.size() - 1; i >= 0; --i) {
    if (IsSeparator(s[i])) return i;
  }
  return -1;
}

// Size of an open stream; -1 when it cannot be measured.
long StreamSize(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(f);
  if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
  return size;
}

void DebugLine(const char* fmt, const char* a, const char* b = nullptr) {
  tString<BaseString> line;
  line.print(fmt, a, b);
  sys::DebuggerOutput(line.c_str());
}

tString<BaseString> WithSeparator(const tString<BaseString>& folder) {
  return IsSeparator(folder.back()) ? folder : folder + "/";
}

// Calls file(path) for every file below root (which ends with a separator) and, when folder is
// given, folder(path) for every sub-folder once its content has been walked.
void WalkBelow(const tString<BaseString>& root, void (*file)(const char*), void (*folder)(const char*)) {
  cl_FileFinder finder;
  if (!finder.FindFile((root + "*").c_str())) return;
  bool more;
  do {
    more = finder.FindNextFileA();
    if (finder.IsDots()) continue;
    const tString<BaseString> path = root + finder.GetFileName();
    if (finder.IsDirectory()) {
      WalkBelow(path + "/", file, folder);
      if (folder) folder(path.c_str());
    } else {
      file(path.c_str());
    }
  } while (more);
}

void MakeWritable(const char* path) { platform::os::SetReadOnly(path, false); }

void DeleteWritable(const char* path) {
  MakeWritable(path);
  platform::os::DeleteFile(path);
}

void RemoveFolder(const char* path) { platform::os::RemoveFolder(path); }

}  // namespace

// ---- loading and saving

bool LoadFile(const char* name, Binary& out) {
  out.clear();
  std::FILE* f = OpenFileStream(name, "rb");
  if (!f) return false;
  const long size = StreamSize(f);
  bool ok = size >= 0 && size <= 0x7FFFFFFF;
  if (ok && size > 0) {
    out.set_size(static_cast<int>(size));
    ok = std::fread(out.get_buffer(), 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

bool LoadFile(const char* name, int offset, int length, Binary& out) {
  out.clear();
  std::FILE* f = OpenFileStream(name, "rb");
  if (!f) return false;
  const long size = StreamSize(f);
  bool ok = offset >= 0 && length >= 0 && size >= 0 && static_cast<long long>(offset) + length <= size;
  if (ok && length > 0) {
    out.set_size(length);
    ok = std::fseek(f, offset, SEEK_SET) == 0 &&
         std::fread(out.get_buffer(), 1, static_cast<size_t>(length), f) == static_cast<size_t>(length);
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

unsigned char* LoadFile(const char* name, int& size) {
  size = 0;
  std::FILE* f = OpenFileStream(name, "rb");
  if (!f) return nullptr;
  const long n = StreamSize(f);
  unsigned char* data = nullptr;
  if (n >= 0 && n < 0x7FFFFFFF) {
    data = new unsigned char[static_cast<size_t>(n) + 1];
    if (std::fread(data, 1, static_cast<size_t>(n), f) == static_cast<size_t>(n)) {
      data[n] = 0;
      size = static_cast<int>(n);
    } else {
      delete[] data;
      data = nullptr;
    }
  }
  std::fclose(f);
  return data;
}

unsigned char* LoadFile(const char* name) {
  int size;
  return LoadFile(name, size);
}

bool SaveFile(const char* name, const unsigned char* data, int size) {
  if (size < 0 || (size > 0 && !data)) return false;
  File f;
  if (!f.open(name, File::STATUS_WRITE)) return false;
  // A failed write is reported by close, which keeps the old file.
  if (size > 0) f.write(data, size);
  return f.close();
}

bool FileExists(const tString<BaseString>& name) {
  if (!platform::os::IsRegularFile(name.c_str())) return false;
  std::FILE* f = OpenFileStream(name.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

std::string FileProblem(const tString<BaseString>& name) {
  std::string what;
  switch (platform::os::InspectEntry(name.c_str(), what)) {
    case platform::os::ENTRY_MISSING: return "is missing";
    case platform::os::ENTRY_OTHER: return "is " + what + ", not a file";
    case platform::os::ENTRY_FILE: break;
  }
  errno = 0;
  std::FILE* f = OpenFileStream(name.c_str(), "rb");
  if (!f) return std::string("cannot be opened (") + std::strerror(errno ? errno : EACCES) + ")";
  std::fclose(f);
  return std::string();
}

const char* PlainNameProblem(const char* name) {
  if (!name || !*name) return "is empty";
  if (std::strchr(name, '/') || std::strchr(name, '\\')) return "holds a folder separator";
  // "." and ".." are the folder itself and its parent; "a..b" is an ordinary name.
  if (name[std::strspn(name, ".")] == '\0') return "is only dots";
  return nullptr;
}

// ---- time stamps and attributes

int FileTimeCompare(const char* a, const char* b) {
  int64_t ta, tb;
  if (!platform::os::IsRegularFile(a) || !platform::os::IsRegularFile(b)) return -2;
  if (!platform::os::GetWriteTime(a, ta) || !platform::os::GetWriteTime(b, tb)) return -2;
  return ta < tb ? -1 : (ta > tb ? 1 : 0);
}

bool FileTimeCopy(const char* target, const char* source) {
  int64_t t;
  return platform::os::GetWriteTime(source, t) && platform::os::SetWriteTime(target, t);
}

void SetFileWriteProtection(const tString<BaseString>& name, bool protect) {
  platform::os::SetReadOnly(name.c_str(), protect);
}

void SetFilesNormalRecursive(const tString<BaseString>& folder) {
  if (folder.size() < 3) return;
  WalkBelow(WithSeparator(folder), MakeWritable, nullptr);
}

// ---- paths and extensions

tString<BaseString> GetFileExtension(const tString<BaseString>& name) {
  // The first '.' of the file name itself, so "./x.xml" and "data.v2/m.lwo" keep their extensions.
  const int start = LastSeparator(name) + 1;
  const int dot = name.find('.', start);
  return (dot < 0 ? name : name.mid(dot + 1)).lower();
}

void ReplaceFileExtension(tString<BaseString>& name, const tString<BaseString>& ext) {
  const int dot = name.find_last('.');
  if (dot < 0) {
    name = ext;
    return;
  }
  tString<BaseString> out = name.left(dot + 1);
  out += ext;
  name = out;
}

tString<BaseString> StripExtension(const tString<BaseString>& name) {
  const int dot = name.find_last('.');
  return dot < 0 ? name : name.left(dot);
}

tString<BaseString> StripPath(const tString<BaseString>& name) {
  const int sep = LastSeparator(name);
  return sep < 0 ? name : name.mid(sep + 1);
}

tString<BaseString> ExtractLastFolder(const tString<BaseString>& name) { return StripPath(name); }

tString<BaseString> ExtractPath(const tString<BaseString>& name) {
  const int sep = LastSeparator(name);
  return sep < 0 ? tString<BaseString>() : name.left(sep);
}

// ---- folder operations

void EagerMkdir(const tString<BaseString>& path) {
  if (path.empty()) return;
  platform::os::en_MakeDir r = platform::os::MakeFolder(path.c_str());
  if (r == platform::os::MKDIR_NO_PARENT) {
    const tString<BaseString> parent = ExtractPath(path);
    if (!parent.empty()) EagerMkdir(parent);
    r = platform::os::MakeFolder(path.c_str());
  }
  if (r == platform::os::MKDIR_CREATED) DebugLine("EagerMkdir: %s\n", path.c_str());
}

bool ThoroughFileCopy(const tString<BaseString>& source, const tString<BaseString>& target, bool failIfExists) {
  DebugLine("ThoroughFileCopy: %s => %s\n", source.c_str(), target.c_str());
  EagerMkdir(ExtractPath(target));
  return platform::os::CopyFile(source.c_str(), target.c_str(), failIfExists);
}

bool MyMoveFile(const tString<BaseString>& from, const tString<BaseString>& to) {
  DebugLine("MoveFile: %s => %s\n", from.c_str(), to.c_str());
  return platform::os::MoveFile(from.c_str(), to.c_str());
}

void CopyFolderContent(const tString<BaseString>& source, const tString<BaseString>& target,
                       const tString<BaseString>& pattern) {
  tString<BaseString> t = target;
  if (!t.empty() && IsSeparator(t.back())) t = t.left(t.size() - 1);
  platform::os::MakeFolder(t.c_str());
  cl_FileFinder finder;
  if (!finder.FindFile((source + (pattern.empty() ? "*.*" : pattern.c_str())).c_str())) return;
  bool more;
  do {
    more = finder.FindNextFileA();
    if (finder.IsDots()) continue;
    const char* name = finder.GetFileName();
    if (finder.IsDirectory()) {
      CopyFolderContent(source + name + "/", target + name + "/", pattern);
    } else {
      platform::os::CopyFile((source + name).c_str(), (target + name).c_str(), false);
    }
  } while (more);
}

void DeleteContent(const tString<BaseString>& folder) {
  if (folder.size() < 3) return;
  WalkBelow(WithSeparator(folder), DeleteWritable, RemoveFolder);
}

void DeleteFileContent(const tString<BaseString>& folder) {
  if (folder.size() < 2) return;
  WalkBelow(WithSeparator(folder), DeleteWritable, nullptr);
}

void Eradicate(const tString<BaseString>& guard, const tString<BaseString>& folder) {
  if (guard.size() < 3) return;
  DeleteContent(folder);
  tString<BaseString> f = folder;
  if (!f.empty() && IsSeparator(f.back())) f = f.left(f.size() - 1);
  platform::os::RemoveFolder(f.c_str());
}

// ---- lookup tables

bool WriteLookup(File* file, const std::map<tString<BaseString>, int>& table) {
  if (!file) return false;
  bool ok = file->write_int(static_cast<int>(table.size()));
  for (const auto& [key, value] : table) {
    ok = key.Write(file) && ok;
    ok = file->write_int(value) && ok;
  }
  return ok;
}

bool ReadLookup(File* file, std::map<tString<BaseString>, int>& table) {
  table.clear();
  if (!file) return false;
  int count = 0;
  // Each entry takes at least 8 bytes: an empty key's length word and the value.
  if (!file->read_length(count, 8, "lookup table")) return false;
  for (int i = 0; i < count; ++i) {
    tString<BaseString> key;
    int value = 0;
    if (!key.Read(file) || !file->read(&value, 4)) {
      table.clear();  // the entries before the damage are no more to be trusted than the rest
      return false;
    }
    table.emplace(key, value);
  }
  return true;
}

}  // namespace base
