// Private to the LightWave reader: the chunk readers of the shading records and the sub-chunk
// loop they share. Each reader gets a view of one whole chunk and returns its record, or null
// with the fault's position and text.
#pragma once

#include <string>

#include "graphics/mesh/lwo/LwoObject.h"
#include "graphics/mesh/lwo/LwoStream.h"

namespace base {

// The first fault met while reading: where, and what was wrong.
struct st_LwoFault {
  int position = -1;
  std::string text;
  // Records the fault unless one is already recorded; always false, for "return fault.Set(...)".
  bool Set(int at, const char* format, ...) __attribute__((format(printf, 3, 4)));
  bool IsSet() const { return position >= 0; }
};

// Runs fn(id, view) over the sub-chunks (U4 identifier, U2 size, padded to even) until the view
// ends. A short header, a size past the end, a read past a sub-chunk's size or fn returning
// false fails with the fault set; a sub-chunk read only in part is skipped to its end.
template <class Fn>
bool LwoForEachSubChunk(cl_LwoStream& in, st_LwoFault& fault, Fn fn) {
  while (!in.AtEnd()) {
    const int at = in.Position();
    if (in.Remaining() < 6) return fault.Set(at, "short sub-chunk header");
    const unsigned id = in.U4();
    const int size = in.U2();
    if (size > in.Remaining()) {
      return fault.Set(at, "sub-chunk '%s' claims %d bytes, %d remain", LwoIdText(id).c_str(), size,
                       in.Remaining());
    }
    cl_LwoStream sub = in.Sub(size);
    if ((size & 1) && !in.AtEnd()) in.Skip(1);
    const bool ok = fn(id, sub);
    if (!sub.Ok()) {
      return fault.Set(sub.Position(), "sub-chunk '%s' reads past its %d bytes", LwoIdText(id).c_str(), size);
    }
    if (!ok) return fault.Set(sub.Position(), "sub-chunk '%s' is malformed", LwoIdText(id).c_str());
  }
  return true;
}

// F4 value and VX envelope.
inline void LwoReadEParam(cl_LwoStream& in, LwoEParam& p) {
  p.value = in.F4();
  p.envelope = in.VX();
}
// 3 × F4 and VX envelope.
inline void LwoReadVParam(cl_LwoStream& in, LwoVParam& p) {
  for (float& v : p.value) v = in.F4();
  p.envelope = in.VX();
}

LwoSurface* LwoReadSurface(cl_LwoStream& chunk, st_LwoFault& fault);
// The older form's surface, converted; image names become clips and texture velocities
// envelopes of object.
LwoSurface* LwoReadOldSurface(cl_LwoStream& chunk, LwoObject& object, st_LwoFault& fault);
LwoClip* LwoReadClip(cl_LwoStream& chunk, st_LwoFault& fault);
LwoEnvelope* LwoReadEnvelope(cl_LwoStream& chunk, st_LwoFault& fault);

// The completion passes over every layer; false (fault set) when a polygon's tag is outside the
// tag list.
bool LwoComplete(LwoObject& object, bool withVMaps, st_LwoFault& fault);

// The texture list of a surface channel ("COLR", "DIFF", ...), or null for another channel.
tLwoList<LwoTexture>* LwoChannelTextures(LwoSurface& surface, unsigned channel);
// Inserts texture into list sorted by its order string (after equal ones).
void LwoInsertTexture(tLwoList<LwoTexture>& list, LwoTexture* texture);

}  // namespace base
