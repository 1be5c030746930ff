// The owning, doubly linked list of the LightWave object's records (layers, vertex maps,
// surfaces, textures, clips, envelopes, keys, plug-ins): file order, or a sort order where the
// record asks for one. Every record type has `next` and `prev` as its first members.
#pragma once

namespace base {

template <class T>
class tLwoList {
 public:
  tLwoList() = default;
  tLwoList(const tLwoList&) = delete;
  tLwoList& operator=(const tLwoList&) = delete;
  ~tLwoList() { clear(); }

  // Takes ownership of item and links it at the end.
  void append(T* item) { insert_before(nullptr, item); }
  // Takes ownership of item and links it before at (at the end when at is null).
  void insert_before(T* at, T* item) {
    item->next = at;
    item->prev = at ? at->prev : last;
    (item->prev ? item->prev->next : first) = item;
    (at ? at->prev : last) = item;
    ++count;
  }
  // Deletes every record, front to back without recursion (key lists can be long).
  void clear() {
    for (T* p = first; p;) {
      T* next = p->next;
      delete p;
      p = next;
    }
    first = last = nullptr;
    count = 0;
  }

  T* first = nullptr;
  T* last = nullptr;
  int count = 0;
};

}  // namespace base
