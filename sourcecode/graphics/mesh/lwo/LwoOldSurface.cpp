// The older form's surfaces ("SURF" of an "LWOB" file), converted into the current records:
// percentages become fractions, image names become clips, a texture velocity becomes three
// position envelopes.
#include <cmath>
#include <cstring>
#include <memory>

#include "graphics/mesh/lwo/LwoChunkReaders.h"

namespace base {

namespace {

constexpr float kPercent = 1.0f / 256.0f;
constexpr int kBehaviorLinear = 5;

// A still clip for an image name; its index (counted from 1) for the referring record.
int AddClip(LwoObject& object, const std::string& name) {
  auto* clip = new LwoClip;
  clip->type = LwoId("STIL");
  clip->still.name = name;
  clip->index = object.clips.count + 1;
  object.clips.append(clip);
  return clip->index;
}

// Three envelopes "Position.X", ".Y", ".Z" moving from the texture centre by its velocity
// (per frame at 30 frames a second) over one second; the first one's index.
int AddVelocityEnvelopes(LwoObject& object, const float center[3], const float velocity[3]) {
  static const char* const kNames[3] = {"Position.X", "Position.Y", "Position.Z"};
  int first = 0;
  for (int i = 0; i < 3; ++i) {
    auto* env = new LwoEnvelope;
    env->index = object.envelopes.count + 1;
    env->type = 0x0301 + i;
    env->name = kNames[i];
    env->preBehavior = env->postBehavior = kBehaviorLinear;
    for (int k = 0; k < 2; ++k) {
      auto* key = new LwoKey;
      key->time = static_cast<float>(k);
      key->value = center[i] + static_cast<float>(k) * velocity[i] * 30.0f;
      key->shape = LwoId("LINE");
      env->InsertKey(key);
    }
    if (i == 0) first = env->index;
    object.envelopes.append(env);
  }
  return first;
}

// The channel an older texture sub-chunk starts a texture on, or 0.
unsigned TextureChannel(unsigned id) {
  switch (id) {
    case LwoId("CTEX"): return LwoId("COLR");
    case LwoId("DTEX"): return LwoId("DIFF");
    case LwoId("STEX"): return LwoId("SPEC");
    case LwoId("RTEX"): return LwoId("REFL");
    case LwoId("TTEX"): return LwoId("TRAN");
    case LwoId("LTEX"): return LwoId("LUMI");
    case LwoId("BTEX"): return LwoId("BUMP");
    default: return 0;
  }
}

// A texture of the kind its name tells: "... Image Map" with a projection word, or procedural.
LwoTexture* StartTexture(const std::string& name, unsigned channel) {
  auto* t = new LwoTexture;
  t->channel = channel;
  if (name.find("Image Map") != std::string::npos) {
    t->type = LwoId("IMAP");
    static const char* const kProjections[] = {"Planar", "Cylindrical", "Spherical", "Cubic", "Front"};
    for (int p = 0; p < 5; ++p) {
      if (name.find(kProjections[p]) != std::string::npos) {
        t->imageMap.projection = p;
        break;
      }
    }
  } else {
    t->type = LwoId("PROC");
  }
  return t;
}

// One texture parameter sub-chunk for the texture being read.
void ReadTextureParameter(unsigned id, cl_LwoStream& s, LwoTexture& t, LwoObject& object) {
  const bool image = t.type == LwoId("IMAP");
  switch (id) {
    case LwoId("TFLG"): {
      const int flags = s.U2();
      int axis = 0;
      if (flags & 1) axis = 0;
      if (flags & 2) axis = 1;
      if (flags & 4) axis = 2;
      t.axis = axis;
      (image ? t.imageMap.axis : t.procedural.axis) = axis;
      if (flags & 8) t.tmap.coordinateSystem = 1;
      if (flags & 16) t.negative = 1;
      if (flags & 32) t.imageMap.pixelBlending = 1;
      if (flags & 64) {
        t.imageMap.antialiasStrength = 1.0f;
        t.imageMap.antialiasFlags = 1;
      }
      break;
    }
    case LwoId("TSIZ"): for (float& v : t.tmap.size.value) v = s.F4(); break;
    case LwoId("TCTR"): for (float& v : t.tmap.center.value) v = s.F4(); break;
    case LwoId("TFAL"): for (float& v : t.tmap.falloff.value) v = s.F4(); break;
    case LwoId("TVEL"): {
      float velocity[3];
      for (float& v : velocity) v = s.F4();
      if (s.Ok()) t.tmap.center.envelope = AddVelocityEnvelopes(object, t.tmap.center.value, velocity);
      break;
    }
    case LwoId("TCLR"):
      if (!image) {
        for (float& v : t.procedural.values) v = static_cast<float>(s.U1()) / 255.0f;
      }
      break;
    case LwoId("TVAL"): t.procedural.values[0] = static_cast<float>(s.I2()) * kPercent; break;
    case LwoId("TAMP"): t.imageMap.amplitude.value = s.F4(); break;
    case LwoId("TFP0"): t.imageMap.wrapAmountWidth.value = s.F4(); break;
    case LwoId("TFP1"): t.imageMap.wrapAmountHeight.value = s.F4(); break;
    case LwoId("TIMG"): {
      const std::string name = s.S0();
      if (s.Ok()) t.imageMap.clip = AddClip(object, name);
      break;
    }
    case LwoId("TAAS"):
      t.imageMap.antialiasStrength = s.F4();
      t.imageMap.antialiasFlags = 1;
      break;
    case LwoId("TREF"): t.tmap.referenceObject = s.S0(); break;
    case LwoId("TOPC"): t.opacity.value = s.F4(); break;
    default: break;
  }
}

}  // namespace

LwoSurface* LwoReadOldSurface(cl_LwoStream& in, LwoObject& object, st_LwoFault& fault) {
  auto s = std::make_unique<LwoSurface>();
  s->name = in.S0();
  if (!in.Ok()) {
    fault.Set(in.Position(), "surface name is not terminated");
    return nullptr;
  }
  LwoTexture* texture = nullptr;  // the texture whose parameters follow; owned by its channel
  const bool ok = LwoForEachSubChunk(in, fault, [&](unsigned id, cl_LwoStream& c) {
    if (const unsigned channel = TextureChannel(id)) {
      texture = StartTexture(c.S0(), channel);
      LwoChannelTextures(*s, channel)->append(texture);
      return c.Ok();
    }
    switch (id) {
      case LwoId("COLR"):
        for (float& v : s->color.rgb) v = static_cast<float>(c.U1()) / 255.0f;
        break;
      case LwoId("LUMI"): s->luminosity.value = static_cast<float>(c.I2()) * kPercent; break;
      case LwoId("DIFF"): s->diffuse.value = static_cast<float>(c.I2()) * kPercent; break;
      case LwoId("SPEC"): s->specularity.value = static_cast<float>(c.I2()) * kPercent; break;
      case LwoId("REFL"): s->reflection.value.value = static_cast<float>(c.I2()) * kPercent; break;
      case LwoId("TRAN"): s->transparency.value.value = static_cast<float>(c.I2()) * kPercent; break;
      case LwoId("VLUM"): s->luminosity.value = c.F4(); break;
      case LwoId("VDIF"): s->diffuse.value = c.F4(); break;
      case LwoId("VSPC"): s->specularity.value = c.F4(); break;
      case LwoId("RFLT"):
      case LwoId("VRFL"): s->reflection.value.value = c.F4(); break;
      case LwoId("VTRN"): s->transparency.value.value = c.F4(); break;
      case LwoId("GLOS"): {
        // The older form stores a specular exponent; a non-positive one gives no glossiness.
        const int exponent = c.I2();
        s->glossiness.value = exponent > 0 ? std::log(static_cast<float>(exponent)) / 20.7944f : 0.0f;
        break;
      }
      case LwoId("RIND"): s->refractiveIndex.value = c.F4(); break;
      case LwoId("SMAN"): s->smoothingAngle = c.F4(); break;
      case LwoId("RSAN"): s->reflection.seamAngle = c.F4(); break;
      case LwoId("FLAG"):
        if (c.U2() & 0x4) s->smoothingAngle = 1.56207f;
        break;
      case LwoId("TIMG"):
        // After a texture has started its image; before, the surface's transparency image.
        if (texture) {
          ReadTextureParameter(id, c, *texture, object);
          break;
        }
        [[fallthrough]];
      case LwoId("RIMG"): {
        const std::string name = c.S0();
        if (!c.Ok()) return false;
        (id == LwoId("RIMG") ? s->reflection.clip : s->transparency.clip) = AddClip(object, name);
        break;
      }
      case LwoId("SHDR"): {
        auto* shader = new LwoShader;
        shader->name = c.S0();
        shader->enabled = 1;
        s->shaders.append(shader);
        break;
      }
      case LwoId("SDAT"):
        if (s->shaders.last) c.Raw(s->shaders.last->data, c.Remaining());
        break;
      default:
        if (texture) ReadTextureParameter(id, c, *texture, object);
        break;
    }
    return true;
  });
  return ok ? s.release() : nullptr;
}

}  // namespace base
