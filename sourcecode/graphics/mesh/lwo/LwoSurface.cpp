// Current-form surfaces ("SURF") with their texture and shader blocks ("BLOK").
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "graphics/mesh/lwo/LwoChunkReaders.h"

namespace base {

std::string LwoIdText(unsigned id) {
  std::string s(4, '?');
  for (int i = 0; i < 4; ++i) {
    const unsigned char c = static_cast<unsigned char>(id >> (24 - 8 * i));
    if (c >= 32 && c < 127) s[static_cast<size_t>(i)] = static_cast<char>(c);
  }
  return s;
}

bool st_LwoFault::Set(int at, const char* format, ...) {
  if (IsSet()) return false;
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  position = at < 0 ? 0 : at;
  text = buffer;
  return false;
}

LwoSurface::LwoSurface() {
  color.rgb[0] = color.rgb[1] = color.rgb[2] = 0.78431f;
  diffuse.value = 1.0f;
  glossiness.value = 0.4f;
  bump.value = 1.0f;
  refractiveIndex.value = 1.0f;
}

tLwoList<LwoTexture>* LwoChannelTextures(LwoSurface& s, unsigned channel) {
  switch (channel) {
    case LwoId("COLR"): return &s.color.textures;
    case LwoId("LUMI"): return &s.luminosity.textures;
    case LwoId("DIFF"): return &s.diffuse.textures;
    case LwoId("SPEC"): return &s.specularity.textures;
    case LwoId("GLOS"): return &s.glossiness.textures;
    case LwoId("REFL"): return &s.reflection.value.textures;
    case LwoId("TRAN"): return &s.transparency.value.textures;
    case LwoId("RIND"): return &s.refractiveIndex.textures;
    case LwoId("TRNL"): return &s.translucency.textures;
    case LwoId("BUMP"): return &s.bump.textures;
    default: return nullptr;
  }
}

void LwoInsertTexture(tLwoList<LwoTexture>& list, LwoTexture* texture) {
  LwoTexture* at = list.first;
  while (at && at->order.compare(texture->order) <= 0) at = at->next;  // compares bytes unsigned
  list.insert_before(at, texture);
}

namespace {

void ReadT(cl_LwoStream& in, LwoTParam& p) {
  p.value = in.F4();
  p.envelope = in.VX();
}

// "TMAP": where the texture sits.
bool ReadTMap(cl_LwoStream& in, LwoTMap& t, st_LwoFault& fault) {
  return LwoForEachSubChunk(in, fault, [&](unsigned id, cl_LwoStream& s) {
    switch (id) {
      case LwoId("CNTR"): LwoReadVParam(s, t.center); break;
      case LwoId("SIZE"): LwoReadVParam(s, t.size); break;
      case LwoId("ROTA"): LwoReadVParam(s, t.rotate); break;
      case LwoId("OREF"): t.referenceObject = s.S0(); break;
      case LwoId("FALL"):
        t.falloffType = s.U2();
        LwoReadVParam(s, t.falloff);
        break;
      case LwoId("CSYS"): t.coordinateSystem = s.U2(); break;
      default: break;
    }
    return true;
  });
}

bool ReadImageMapPart(unsigned id, cl_LwoStream& s, LwoTexture& t, st_LwoFault& fault) {
  LwoImageMap& m = t.imageMap;
  switch (id) {
    case LwoId("TMAP"): return ReadTMap(s, t.tmap, fault);
    case LwoId("PROJ"): m.projection = s.U2(); break;
    case LwoId("AXIS"): m.axis = s.U2(); break;
    case LwoId("IMAG"): m.clip = s.VX(); break;
    case LwoId("WRAP"):
      m.wrapWidth = s.U2();
      m.wrapHeight = s.U2();
      break;
    case LwoId("WRPW"): LwoReadEParam(s, m.wrapAmountWidth); break;
    case LwoId("WRPH"): LwoReadEParam(s, m.wrapAmountHeight); break;
    case LwoId("VMAP"): m.vmapName = s.S0(); break;
    case LwoId("AAST"):
      m.antialiasFlags = s.U2();
      m.antialiasStrength = s.F4();
      break;
    case LwoId("PIXB"): m.pixelBlending = s.U2(); break;
    case LwoId("STCK"): LwoReadEParam(s, m.stick); break;
    case LwoId("TAMP"): LwoReadEParam(s, m.amplitude); break;
    default: break;
  }
  return true;
}

bool ReadProceduralPart(unsigned id, cl_LwoStream& s, LwoTexture& t, st_LwoFault& fault) {
  LwoProcedural& p = t.procedural;
  switch (id) {
    case LwoId("TMAP"): return ReadTMap(s, t.tmap, fault);
    case LwoId("AXIS"): p.axis = s.U2(); break;
    case LwoId("VALU"):
      for (int i = 0; i < 3 && s.Remaining() >= 4; ++i) p.values[i] = s.F4();
      break;
    case LwoId("FUNC"):
      p.name = s.S0();
      s.Raw(p.data, s.Remaining());
      break;
    default: break;
  }
  return true;
}

bool ReadGradientPart(unsigned id, cl_LwoStream& s, LwoTexture& t, st_LwoFault& fault) {
  LwoGradient& g = t.gradient;
  switch (id) {
    case LwoId("TMAP"): return ReadTMap(s, t.tmap, fault);
    case LwoId("PNAM"): g.paramName = s.S0(); break;
    case LwoId("INAM"): g.itemName = s.S0(); break;
    case LwoId("GRST"): g.start = s.F4(); break;
    case LwoId("GREN"): g.end = s.F4(); break;
    case LwoId("GRPT"): g.repeat = s.U2(); break;
    case LwoId("FKEY"):
      g.keys.clear();
      while (s.Remaining() >= 20) {
        LwoGradientKey k;
        k.value = s.F4();
        for (float& o : k.output) o = s.F4();
        g.keys.push_back(k);
      }
      break;
    case LwoId("IKEY"):
      g.interpolation.clear();
      while (s.Remaining() >= 2) g.interpolation.push_back(s.U2());
      break;
    default: break;
  }
  return true;
}

// A texture block: the header sub-chunk (ordinal string and the common sub-chunks), then the
// sub-chunks of its type.
LwoTexture* ReadTexture(unsigned type, cl_LwoStream& header, cl_LwoStream& rest, st_LwoFault& fault) {
  auto t = std::make_unique<LwoTexture>();
  t->type = type;
  t->order = header.S0();
  if (!header.Ok()) {
    fault.Set(header.Position(), "block header without an ordinal string");
    return nullptr;
  }
  const bool headerOk = LwoForEachSubChunk(header, fault, [&](unsigned id, cl_LwoStream& s) {
    switch (id) {
      case LwoId("CHAN"): t->channel = s.U4(); break;
      case LwoId("ENAB"): t->enabled = s.U2(); break;
      case LwoId("OPAC"):
        t->opacityType = s.U2();
        LwoReadEParam(s, t->opacity);
        break;
      case LwoId("AXIS"): t->axis = s.U2(); break;
      case LwoId("NEGA"): t->negative = s.U2(); break;
      default: break;
    }
    return true;
  });
  if (!headerOk) return nullptr;
  const bool ok = LwoForEachSubChunk(rest, fault, [&](unsigned id, cl_LwoStream& s) {
    switch (type) {
      case LwoId("IMAP"): return ReadImageMapPart(id, s, *t, fault);
      case LwoId("PROC"): return ReadProceduralPart(id, s, *t, fault);
      default: return ReadGradientPart(id, s, *t, fault);
    }
  });
  return ok ? t.release() : nullptr;
}

LwoShader* ReadShader(cl_LwoStream& header, cl_LwoStream& rest, st_LwoFault& fault) {
  auto sh = std::make_unique<LwoShader>();
  sh->order = header.S0();
  if (!header.Ok()) {
    fault.Set(header.Position(), "shader header without an ordinal string");
    return nullptr;
  }
  bool ok = LwoForEachSubChunk(header, fault, [&](unsigned id, cl_LwoStream& s) {
    if (id == LwoId("ENAB")) sh->enabled = s.U2();
    return true;
  });
  ok = ok && LwoForEachSubChunk(rest, fault, [&](unsigned id, cl_LwoStream& s) {
    if (id == LwoId("FUNC")) {
      sh->name = s.S0();
      s.Raw(sh->data, s.Remaining());
    }
    return true;
  });
  return ok ? sh.release() : nullptr;
}

// "BLOK": a texture goes to the list of its channel (freed for other channels), a shader to the
// surface's shaders; other block types are skipped.
bool ReadBlock(cl_LwoStream& in, LwoSurface& surface, st_LwoFault& fault) {
  const int at = in.Position();
  if (in.Remaining() < 6) return fault.Set(at, "short block header");
  const unsigned type = in.U4();
  const int size = in.U2();
  if (size > in.Remaining()) {
    return fault.Set(at, "block header '%s' claims %d bytes, %d remain", LwoIdText(type).c_str(), size, in.Remaining());
  }
  cl_LwoStream header = in.Sub(size);
  if ((size & 1) && !in.AtEnd()) in.Skip(1);
  switch (type) {
    case LwoId("IMAP"):
    case LwoId("PROC"):
    case LwoId("GRAD"): {
      LwoTexture* t = ReadTexture(type, header, in, fault);
      if (!t) return false;
      if (tLwoList<LwoTexture>* list = LwoChannelTextures(surface, t->channel)) {
        LwoInsertTexture(*list, t);
      } else {
        delete t;
      }
      return true;
    }
    case LwoId("SHDR"): {
      LwoShader* sh = ReadShader(header, in, fault);
      if (!sh) return false;
      LwoShader* before = surface.shaders.first;
      while (before && before->order.compare(sh->order) <= 0) before = before->next;
      surface.shaders.insert_before(before, sh);
      return true;
    }
    default: return true;
  }
}

}  // namespace

LwoSurface* LwoReadSurface(cl_LwoStream& in, st_LwoFault& fault) {
  auto s = std::make_unique<LwoSurface>();
  s->name = in.S0();
  s->sourceName = in.S0();
  if (!in.Ok()) {
    fault.Set(in.Position(), "surface names are not terminated");
    return nullptr;
  }
  const bool ok = LwoForEachSubChunk(in, fault, [&](unsigned id, cl_LwoStream& c) {
    switch (id) {
      case LwoId("COLR"):
        for (float& v : s->color.rgb) v = c.F4();
        s->color.envelope = c.VX();
        break;
      case LwoId("LUMI"): ReadT(c, s->luminosity); break;
      case LwoId("DIFF"): ReadT(c, s->diffuse); break;
      case LwoId("SPEC"): ReadT(c, s->specularity); break;
      case LwoId("GLOS"): ReadT(c, s->glossiness); break;
      case LwoId("REFL"): ReadT(c, s->reflection.value); break;
      case LwoId("TRAN"): ReadT(c, s->transparency.value); break;
      case LwoId("RIND"): ReadT(c, s->refractiveIndex); break;
      case LwoId("TRNL"): ReadT(c, s->translucency); break;
      case LwoId("BUMP"): ReadT(c, s->bump); break;
      case LwoId("RFOP"): s->reflection.options = c.U2(); break;
      case LwoId("TROP"): s->transparency.options = c.U2(); break;
      case LwoId("RIMG"): s->reflection.clip = c.VX(); break;
      case LwoId("TIMG"): s->transparency.clip = c.VX(); break;
      case LwoId("RSAN"): s->reflection.seamAngle = c.F4(); break;
      case LwoId("SMAN"): s->smoothingAngle = c.F4(); break;
      case LwoId("SIDE"): s->sides = c.U2(); break;
      case LwoId("CLRH"): LwoReadEParam(c, s->colorHighlights); break;
      case LwoId("CLRF"): LwoReadEParam(c, s->colorFilter); break;
      case LwoId("ADTR"): LwoReadEParam(c, s->additiveTransparency); break;
      case LwoId("SHRP"): LwoReadEParam(c, s->diffuseSharpness); break;
      case LwoId("GVAL"): LwoReadEParam(c, s->glow); break;
      case LwoId("ALPH"):
        s->alphaMode = c.U2();
        s->alpha = c.F4();
        break;
      case LwoId("AVAL"): s->alpha = c.F4(); break;
      case LwoId("LINE"):
        s->line.enabled = 1;
        if (c.Remaining() >= 2) s->line.flags = c.U2();
        if (c.Remaining() >= 4) s->line.size.value = c.F4();
        if (c.Remaining() >= 2) s->line.size.envelope = c.VX();
        break;
      case LwoId("BLOK"): return ReadBlock(c, *s, fault);
      default: break;
    }
    return true;
  });
  return ok ? s.release() : nullptr;
}

}  // namespace base
