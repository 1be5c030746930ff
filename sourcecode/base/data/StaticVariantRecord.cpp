// The binary record of a StaticVariant tree: the name table (id, length, bytes; an id of 0 ends
// it), then the word array as a chunk. Ids in the record are this process's vocable ids; a reader
// maps the writer's ids to its own. Nothing in a record is trusted: it is checked whole before
// the tree takes it.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/File.h"
#include "base/data/StaticVariant.h"
#include "base/text/Vocable.h"

namespace base {

static_assert(std::endian::native == std::endian::little, "the word array is written as held in memory");

namespace {

void collect_ids(const int* node, int depth, std::vector<unsigned>& ids) {
  if (!node || node[0] != SV_ELEMENT || depth > kMaxTreeDepth) return;
  ids.push_back(static_cast<unsigned>(node[2]));
  const int* attributes = node + node[4];
  for (int i = 0; i < node[3]; ++i) ids.push_back(static_cast<unsigned>(node[attributes[i]]));
  const int* children = node + node[6];
  for (int i = 0; i < node[5]; ++i) collect_ids(node + children[i], depth + 1, ids);
}

}  // namespace

bool StaticVariant::Write(File* file) const {
  if (!file) return false;
  std::vector<unsigned> ids;
  collect_ids(m_node, 0, ids);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  if (!ids.empty() && ids.front() == 0) {
    // A null name word would be written as id 0 and end the table early: write a copy in which
    // it is the empty name, an ordinary non-zero id.
    StaticVariant copy(*this);
    copy.remap_names([](void*, const unsigned char* v) { return v ? v : vocable::find_or_add(""); }, nullptr);
    return copy.Write(file);
  }
  bool ok = true;
  for (unsigned id : ids) {
    const unsigned char* name = vocable::from_id(id);
    const int length = vocable::length_of(name);
    ok = file->write(&id, 4) && ok;
    ok = file->write(&length, 4) && ok;
    if (length > 0) ok = file->write(name, length) && ok;
  }
  const unsigned end = 0;
  ok = file->write(&end, 4) && ok;
  ok = WriteChunk(file, reinterpret_cast<const unsigned char*>(m_node), m_size * 4) && ok;
  return ok;
}

bool StaticVariant::Read(File* file) {
  clear();
  if (!file || file->get_status() != File::STATUS_READ) return false;
  // A record too large for the memory left is refused like a corrupt one.
  const int start = file->get_current_position();
  try {
    if (ReadRecord(file)) return true;
  } catch (const std::bad_alloc&) {
    file->report_error("tree record: out of memory reading the record at offset %d", start);
  }
  clear();
  return false;
}

bool StaticVariant::ReadRecord(File* file) {

  // Name table: the writer's id -> a provisional number (a repeated id keeps its first name).
  // Names are interned only once the whole record has passed: interned names live for the rest
  // of the process, and a corrupt record should leave nothing behind.
  std::unordered_map<unsigned, unsigned> names;
  std::vector<std::string> pending;
  for (;;) {
    const int at = file->get_current_position();
    unsigned id = 0;
    if (!file->read(&id, 4)) {
      file->report_error("tree record: name table cut short at offset %d", at);
      return false;
    }
    if (id == 0) break;
    int length = 0;
    if (!file->read_length(length, 1, "tree record name")) return false;
    std::string name(static_cast<size_t>(length), '\0');
    if (length > 0 && !file->read(name.data(), length)) {
      file->report_error("tree record: name at offset %d cut short", at);
      return false;
    }
    if (names.emplace(id, static_cast<unsigned>(pending.size() + 1)).second) pending.push_back(std::move(name));
  }

  // Word array.
  const int chunkAt = file->get_current_position();
  int bytes = 0;
  if (!file->read_length(bytes, 1, "tree record word chunk")) return false;
  if (bytes == 0) return true;
  if (bytes % 4 != 0) {
    file->report_error("tree record: word chunk of %d bytes at offset %d is not whole words", bytes, chunkAt);
    return false;
  }
  const int count = bytes / 4;
  // Owned here until the tree takes it, also when an allocation below fails.
  std::unique_ptr<int, decltype(&std::free)> owned(static_cast<int*>(std::malloc(static_cast<size_t>(bytes))), &std::free);
  int* words = owned.get();
  if (!words || !file->read(words, bytes)) {
    file->report_error("tree record: word chunk at offset %d cut short", chunkAt);
    return false;
  }
  auto map = [](void* c, unsigned id) -> unsigned {
    auto& m = *static_cast<std::unordered_map<unsigned, unsigned>*>(c);
    auto it = m.find(id);
    return it == m.end() ? 0u : it->second;
  };
  int bad = 0;
  const char* why = nullptr;
  if (!static_variant_validate(words, count, map, &names, bad, why)) {
    file->report_error("tree record: %s at word %d (offset %d)", why, bad, chunkAt + 4 + bad * 4);
    return false;
  }
  // Provisional numbers -> this process's vocable ids, through a second (passing) check.
  std::vector<unsigned> local(pending.size() + 1, 0);
  for (size_t i = 0; i < pending.size(); ++i)
    local[i + 1] = vocable::find_or_add_id(pending[i].c_str(), static_cast<int>(pending[i].size()));
  auto bind = [](void* c, unsigned provisional) -> unsigned {
    const auto& l = *static_cast<std::vector<unsigned>*>(c);
    return provisional < l.size() ? l[provisional] : 0u;
  };
  static_variant_validate(words, count, bind, &local, bad, why);
  m_node = owned.release();
  m_size = m_capacity = count;
  return true;
}

}  // namespace base
