// Archive directory reading and checking, building from a definition, member reads.
#include "base/file/FileArchive.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/data/Binary.h"
#include "base/File.h"
#include "base/file/FileFinder.h"
#include "base/FileTools.h"
#include "base/text/Textsystem.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"

namespace base {

namespace {

// Bytes of a directory entry besides its name: name length, offset, size.
constexpr int kEntryFixed = 12;

bool ReadWord(File* f, int& v) { return f->read(&v, 4); }

}  // namespace

tString<BaseString> cl_FileArchive::MemberName(const char* path) {
  tString<BaseString> s = tString<BaseString>(path).lower();
  for (int i = 0; i < s.size(); ++i) {
    if (s[i] == '\\') s[i] = '/';
  }
  return s;
}

tString<BaseString> cl_FileArchive::LocalizePath(const tString<BaseString>& path, const tString<BaseString>& language) {
  int at = path.find("loca/");
  const int back = path.find("loca\\");
  if (at < 0 || (back >= 0 && back < at)) at = back;
  if (at < 0) return path;
  tString<BaseString> out = path.left(at + 5);
  out += language;
  out += "/";
  out += path.mid(at + 5);
  return out;
}

void cl_FileArchive::AddMember(const tString<BaseString>& path, const tString<BaseString>& source) {
  st_Member& m = m_directory[MemberName(path.c_str())];
  m.offset = m.size = 0;
  m.source = source;
}

bool cl_FileArchive::HasMember(const char* name) const { return m_directory.count(MemberName(name)) != 0; }

// ---- reading

bool cl_FileArchive::Init(StaticVariantIterator element) {
  if (!element.is_element()) return false;
  tString<BaseString> label, file;
  if (!GetAttributeText(element, "label", label) || !GetAttributeText(element, "file", file)) return false;
  int localize = 0;
  element.get_attribute_int("localize", localize);
  m_label = label;
  m_filePath = localize == 1 ? LocalizePath(file, sys::GetLanguageString()) : file;
  File f;
  if (!f.open(m_filePath.c_str(), File::STATUS_READ)) {
    sys::Output("ERROR: archive '%s': cannot open %s\n", m_label.c_str(), m_filePath.c_str());
    return false;
  }
  return ReadDirectory(&f);
}

bool cl_FileArchive::ReadDirectory(File* file) {
  m_directory.clear();
  if (!file) return false;
  // Offsets count from where the archive starts: 0 for an archive file, the record's start
  // inside a resource group's cache.
  const int64_t base = file->get_current_position();
  const int64_t fileSize = file->get_size() - base;
  const char* problem = nullptr;
  int entry = -1;
  int count = 0;
  std::vector<std::pair<tString<BaseString>, st_Member>> entries;
  if (!ReadWord(file, count)) {
    problem = "no member count";
  } else if (count < 0 || static_cast<int64_t>(count) * kEntryFixed > file->get_remaining()) {
    problem = "member count out of range";
  }
  for (entry = 0; !problem && entry < count; ++entry) {
    int n = 0;
    if (!ReadWord(file, n) || n < 0 || n > file->get_remaining() - 8) {
      problem = "name length out of range";
      break;
    }
    std::vector<char> name(static_cast<size_t>(n) + 1, 0);
    int offset = 0, size = 0;
    if (!file->read(name.data(), n) || !ReadWord(file, offset) || !ReadWord(file, size)) {
      problem = "entry cut short";
      break;
    }
    st_Member m;
    m.offset = static_cast<unsigned>(offset);
    m.size = static_cast<unsigned>(size);
    if (m.offset < 4 || static_cast<int64_t>(m.offset) + m.size > fileSize || m.size > 0x7FFFFFFFu) {
      problem = "member extends past end of file";
      break;
    }
    entries.emplace_back(MemberName(name.data()), m);
  }
  if (!problem) {
    // Each member sits behind the directory with its own size word in front of it.
    const int64_t directoryEnd = file->get_current_position() - base;
    int64_t end = directoryEnd;
    for (entry = 0; entry < count; ++entry) {
      const st_Member& m = entries[static_cast<size_t>(entry)].second;
      int word = 0;
      if (m.offset - 4 < directoryEnd) {
        problem = "member overlaps the directory";
      } else if (!file->set_current_position(static_cast<int>(base + m.offset - 4)) || !ReadWord(file, word) ||
                 static_cast<unsigned>(word) != m.size) {
        problem = "size word does not match the directory";
      }
      if (problem) break;
      end = std::max<int64_t>(end, static_cast<int64_t>(m.offset) + m.size);
    }
    // Left behind the archive, where a resource group's next record starts.
    if (!problem) file->set_current_position(static_cast<int>(base + end));
  }
  if (problem) {
    if (entry >= 0 && entry < count) {
      sys::Output("ERROR: archive '%s': corrupt directory (%s, entry %d)\n", file->get_name().c_str(), problem, entry);
    } else {
      sys::Output("ERROR: archive '%s': corrupt directory (%s)\n", file->get_name().c_str(), problem);
    }
    file->set_error();
    return false;
  }
  // A later entry of the same name replaces an earlier one. Members are read from the file the
  // directory came from, at offsets within that file.
  for (auto& [name, m] : entries) {
    m.offset += static_cast<unsigned>(base);
    m_directory[name] = m;
  }
  m_filePath = file->get_name();
  return true;
}

bool cl_FileArchive::ReadFile(const char* name, Binary& out) const {
  auto it = m_directory.find(MemberName(name));
  if (it == m_directory.end()) return false;
  if (m_loose) return LoadFile(it->second.source.c_str(), out);
  return LoadFile(m_filePath.c_str(), static_cast<int>(it->second.offset), static_cast<int>(it->second.size), out);
}

// ---- building

namespace {

void EnterListing(cl_FileArchive& archive, const Variant& folder) {
  for (int i = 0; i < folder.size(); ++i) {
    const Variant& child = folder[i];
    const char* label = child.get_label();
    if (str::compare(label, "File") == 0) {
      const char* path = get_string(child.get_attribute("path"));
      if (path) archive.AddMember(path, path);
    } else if (str::compare(label, "Folder") == 0) {
      EnterListing(archive, child);
    }
  }
}

}  // namespace

bool cl_FileArchive::Gather(StaticVariantIterator element) {
  tString<BaseString> label, file;
  if (!element.is_element() || !GetAttributeText(element, "label", label) || !GetAttributeText(element, "file", file)) {
    return false;
  }
  int localize = 0;
  element.get_attribute_int("localize", localize);
  const tString<BaseString> language = sys::GetLanguageString();
  m_label = label;
  m_filePath = localize == 1 ? LocalizePath(file, language) : file;
  m_directory.clear();

  // The members are gathered before the archive file is opened, so that its temporary file
  // never shows up in a folder listing.
  for (int i = 0; i < element.get_element_cnt(); ++i) {
    const StaticVariantIterator child = element.get_element(i);
    const char* tag = reinterpret_cast<const char*>(child.get_label());
    tString<BaseString> path;
    if (str::compare(tag, "File") == 0) {
      if (!GetAttributeText(child, "path", path)) continue;
      if (localize == 1) path = LocalizePath(path, language);
      if (FileExists(path)) AddMember(path, path);
    } else if (str::compare(tag, "Dir") == 0) {
      if (!GetAttributeText(child, "path", path)) continue;
      tString<BaseString> pattern = "*.*";
      GetAttributeText(child, "extension", pattern);
      int recursive = 0;
      child.get_attribute_int("recursive", recursive);
      if (localize == 1) path = LocalizePath(path, language);
      Variant listing;
      ListDirectory(listing, path, pattern, recursive == 1);
      EnterListing(*this, listing);
    }
  }
  m_directory.erase(MemberName(m_filePath.c_str()));  // never the archive itself
  return true;
}

bool cl_FileArchive::Build(StaticVariantIterator element) {
  if (!Gather(element)) return false;
  File out;
  if (!out.open(m_filePath.c_str(), File::STATUS_WRITE)) {
    sys::Output("ERROR: archive '%s': cannot create %s%s\n", m_label.c_str(), m_filePath.c_str(),
                out.write_error_note().c_str());
    return false;
  }
  sys::Output("\nWrite Archive: %s", m_filePath.c_str());
  if (!WriteArchive(&out)) {
    out.discard();
    return false;
  }
  // The last bytes reach the disk only now: a full one shows here.
  if (!out.close()) {
    sys::Output("ERROR: archive '%s': %s not written%s\n", m_label.c_str(), m_filePath.c_str(),
                out.write_error_note().c_str());
    return false;
  }
  return true;
}

bool cl_FileArchive::WriteArchive(File* file) {
  if (!file) return false;
  // Sizes first, so that members are streamed one at a time instead of all held in memory; a
  // file that cannot be read is left out.
  // A member read from an archive file (Init) has no source: its bytes come from that file, at
  // the offset it had there (a resource group caches an archive so).
  struct st_Out {
    const tString<BaseString>* name;
    st_Member* member;
    int fromOffset;  // -1: read from the member's source file
  };
  std::vector<st_Out> members;
  std::vector<tString<BaseString>> dropped;
  int64_t position = 4;
  for (auto& [name, m] : m_directory) {
    const bool fromArchive = m.source.empty() && !m_filePath.empty() && m.offset >= 4;
    const char* source = m.source.empty() ? name.c_str() : m.source.c_str();
    const int64_t size = fromArchive ? m.size : platform::os::GetFileSize(source);
    if (size < 0 || size > 0x7FFFFFFF || (!fromArchive && !FileExists(source))) {
      dropped.push_back(name);
      continue;
    }
    m.size = static_cast<unsigned>(size);
    members.push_back({&name, &m, fromArchive ? static_cast<int>(m.offset) : -1});
    position += kEntryFixed + name.size();
  }
  for (auto& [name, m, from] : members) {
    position += 4;
    if (position + m->size > 0x7FFFFFFF) {
      sys::Output("ERROR: archive '%s': members exceed 2 GiB\n", file->get_name().c_str());
      return false;
    }
    m->offset = static_cast<unsigned>(position);
    position += m->size;
  }
  bool ok = file->write_int(static_cast<int>(members.size()));
  for (auto& [name, m, from] : members) {
    ok = ok && file->write_int(name->size()) && file->write(name->c_str(), name->size()) &&
         file->write_int(static_cast<int>(m->offset)) && file->write_int(static_cast<int>(m->size));
  }
  for (auto& [name, m, from] : members) {
    if (!ok) break;
    Binary data;
    const char* source = m->source.empty() ? name->c_str() : m->source.c_str();
    const bool read = from >= 0 ? LoadFile(m_filePath.c_str(), from, static_cast<int>(m->size), data)
                                : LoadFile(source, data);
    // The file changed since it was measured: the directory would be wrong, so give up.
    if (!read || data.size() != static_cast<int>(m->size)) {
      sys::Output("ERROR: archive '%s': member %s could not be read\n", file->get_name().c_str(), name->c_str());
      return false;
    }
    ok = data.Write(file);
    sys::Output("\n Add File To Archive: %s", name->c_str());
  }
  // A write that failed (a full disk) is the archive's failure, not a member's.
  if (!ok) {
    sys::Output("ERROR: archive '%s': not written%s\n", file->get_name().c_str(), file->write_error_note().c_str());
    return false;
  }
  // Members dropped above are gone from the directory too.
  for (const auto& name : dropped) m_directory.erase(name);
  return true;
}

// ---- lookups

cl_FileArchive* GetFileArchive(const char* label) { return tResourceType<cl_FileArchive>::Get(label); }

namespace sys {

bool GetFileFromArchive(const char* archive, const char* file, Binary& out, bool looseFileFirst) {
  if (looseFileFirst && LoadFile(file, out)) return true;
  if (cl_FileArchive* a = GetFileArchive(archive)) return a->ReadFile(file, out);
  Output("\n Error at ArchiveLoad, unknown archivename: %s", archive ? archive : "");
  return false;
}

}  // namespace sys

}  // namespace base
