// base::cl_FileArchive: a packed file of named members (sound effects, speech, mini-game levels),
// read with one open and one seek per member. An archive is a resource of type "Archive": its
// element names the label, the archive file and the files and folders to pack, and the archive is
// built from that definition when its file is missing.
//
// File layout (little-endian, no magic): i32 count; count entries of {i32 name length n, n name
// bytes, i32 offset of the member's bytes, i32 size}; then per member in directory order an i32
// size followed by the bytes. Names are lower-case paths with "/" separators, in byte order.
#pragma once

#include <map>

#include "base/resource/Resource.h"
#include "base/String.h"

namespace base {

class Binary;
class File;

class cl_FileArchive : public i_Resource {
 public:
  struct st_Member {
    unsigned offset = 0;
    unsigned size = 0;
    tString<BaseString> source;  // while building: the file's path as found on disk
  };

  cl_FileArchive() = default;
  ~cl_FileArchive() override = default;

  // Reads "label", "file" and "localize" (1: the paths lie in the language's folder under "loca/"),
  // then the directory of the archive file. False when an attribute is missing, the file cannot
  // be opened or its directory is corrupt (one "ERROR:" line).
  bool Init(StaticVariantIterator element) override;
  void Read(File* file) override { ReadDirectory(file); }
  // Writes the archive at the file's position, offsets counted from there: the members entered in
  // the directory, read from their source paths (or, read by Init, from the archive file).
  void Write(File* file) override { WriteArchive(file); }

  // Reads and checks the directory against the file: count, name lengths, offsets, sizes and the
  // size word in front of each member. The archive starts at the file's current position (offsets
  // count from there; a resource group's cache holds archives as records) and the position is
  // left behind it; members are then read from that file. False (logged, directory empty) when
  // anything is off.
  bool ReadDirectory(File* file);
  // Enters the definition's "File" and "Dir" children into the directory, as the files they are
  // packed from; writes nothing. False when "label" or "file" is missing.
  bool Gather(StaticVariantIterator element);
  // Gather, then packs the members into the archive file named by "file". False (logged with the
  // system's cause: a read-only folder, a full disk) when that file is not written.
  bool Build(StaticVariantIterator element);
  // From now on members are read from the files they would have been packed from (Gather first):
  // an archive whose file cannot be built stands in for it so.
  void ReadLooseFiles() { m_loose = true; }
  bool WriteArchive(File* file);

  // out := the member's bytes; the name is compared ignoring letter case and separator kind.
  bool ReadFile(const char* name, Binary& out) const;
  bool HasMember(const char* name) const;
  int GetMemberCount() const { return static_cast<int>(m_directory.size()); }
  const tString<BaseString>& GetLabel() const { return m_label; }
  const tString<BaseString>& GetFilePath() const { return m_filePath; }

  // Enters a file to pack under the member name derived from path (lower case, "/").
  void AddMember(const tString<BaseString>& path, const tString<BaseString>& source);

  // The member name of a path: lower case with "/" separators.
  static tString<BaseString> MemberName(const char* path);
  // path with the language folder inserted behind the first "loca/"; unchanged without one.
  static tString<BaseString> LocalizePath(const tString<BaseString>& path, const tString<BaseString>& language);

 private:
  std::map<tString<BaseString>, st_Member> m_directory;
  tString<BaseString> m_label;
  tString<BaseString> m_filePath;
  bool m_loose = false;  // ReadLooseFiles
};

}  // namespace base
