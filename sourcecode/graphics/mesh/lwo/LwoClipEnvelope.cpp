// Image clips ("CLIP") and envelopes ("ENVL").
#include <memory>

#include "graphics/mesh/lwo/LwoChunkReaders.h"

namespace base {

void LwoEnvelope::InsertKey(LwoKey* key) {
  LwoKey* at = keys.first;
  while (at && at->time <= key->time) at = at->next;
  keys.insert_before(at, key);
}

namespace {

// "IFLT", "PFLT", "CHAN": a plug-in name, its flags and its data.
LwoPlugin* ReadFilter(cl_LwoStream& in) {
  auto p = std::make_unique<LwoPlugin>();
  p->name = in.S0();
  p->flags = in.U2();
  in.Raw(p->data, in.Remaining());
  return in.Ok() ? p.release() : nullptr;
}

}  // namespace

LwoClip* LwoReadClip(cl_LwoStream& in, st_LwoFault& fault) {
  auto clip = std::make_unique<LwoClip>();
  clip->index = static_cast<int>(in.U4());
  if (!in.Ok()) {
    fault.Set(in.Position(), "clip without an index");
    return nullptr;
  }
  const bool ok = LwoForEachSubChunk(in, fault, [&](unsigned id, cl_LwoStream& s) {
    switch (id) {
      case LwoId("STIL"):
        clip->type = id;
        clip->still.name = s.S0();
        break;
      case LwoId("ISEQ"):
        clip->type = id;
        clip->sequence.digits = s.U1();
        clip->sequence.flags = s.U1();
        clip->sequence.offset = s.I2();
        clip->sequence.start = s.I2();
        clip->sequence.end = s.I2();
        clip->sequence.prefix = s.S0();
        clip->sequence.suffix = s.S0();
        break;
      case LwoId("ANIM"):
        clip->type = id;
        clip->anim.name = s.S0();
        clip->anim.server = s.S0();
        s.Raw(clip->anim.data, s.Remaining());
        break;
      case LwoId("XREF"):
        clip->type = id;
        clip->xref.index = static_cast<int>(s.U4());
        clip->xref.string = s.S0();
        break;
      case LwoId("STCC"):
        clip->type = id;
        clip->cycle.low = s.I2();
        clip->cycle.high = s.I2();
        clip->cycle.name = s.S0();
        break;
      case LwoId("TIME"):
        clip->start = s.F4();
        clip->duration = s.F4();
        clip->frameRate = s.F4();
        break;
      case LwoId("CONT"): LwoReadEParam(s, clip->contrast); break;
      case LwoId("BRIT"): LwoReadEParam(s, clip->brightness); break;
      case LwoId("SATR"): LwoReadEParam(s, clip->saturation); break;
      case LwoId("HUE "): LwoReadEParam(s, clip->hue); break;
      case LwoId("GAMM"): LwoReadEParam(s, clip->gamma); break;
      case LwoId("NEGA"): clip->negative = s.U2(); break;
      case LwoId("IFLT"):
      case LwoId("PFLT"): {
        LwoPlugin* p = ReadFilter(s);
        if (!p) return false;
        (id == LwoId("IFLT") ? clip->imageFilters : clip->pixelFilters).append(p);
        break;
      }
      default: break;
    }
    return true;
  });
  return ok ? clip.release() : nullptr;
}

LwoEnvelope* LwoReadEnvelope(cl_LwoStream& in, st_LwoFault& fault) {
  auto env = std::make_unique<LwoEnvelope>();
  env->index = in.VX();
  if (!in.Ok()) {
    fault.Set(in.Position(), "envelope without an index");
    return nullptr;
  }
  LwoKey* current = nullptr;
  const bool ok = LwoForEachSubChunk(in, fault, [&](unsigned id, cl_LwoStream& s) {
    switch (id) {
      case LwoId("TYPE"): env->type = s.U2(); break;
      case LwoId("NAME"): env->name = s.S0(); break;
      case LwoId("PRE "): env->preBehavior = s.U2(); break;
      case LwoId("POST"): env->postBehavior = s.U2(); break;
      case LwoId("KEY "): {
        auto key = std::make_unique<LwoKey>();
        key->time = s.F4();
        key->value = s.F4();
        if (!s.Ok()) return false;
        current = key.release();
        env->InsertKey(current);
        break;
      }
      case LwoId("SPAN"): {
        if (!current) return fault.Set(s.Position(), "span before any key");
        current->shape = s.U4();
        float p[4] = {0, 0, 0, 0};
        int n = 0;
        while (n < 4 && s.Remaining() >= 4) p[n++] = s.F4();
        if (current->shape == LwoId("TCB ")) {
          current->tension = p[0];
          current->continuity = p[1];
          current->bias = p[2];
        } else if (current->shape == LwoId("HERM") || current->shape == LwoId("BEZI") ||
                   current->shape == LwoId("BEZ2")) {
          for (int i = 0; i < 4; ++i) current->params[i] = p[i];
        }
        break;
      }
      case LwoId("CHAN"): {
        LwoPlugin* p = ReadFilter(s);
        if (!p) return false;
        env->channelFilters.append(p);
        break;
      }
      default: break;
    }
    return true;
  });
  return ok ? env.release() : nullptr;
}

}  // namespace base
