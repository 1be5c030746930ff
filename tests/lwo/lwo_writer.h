// The LightWave objects the tests read, written with the engine's IFF writer.
#pragma once

#include <string>
#include <vector>

#include "graphics/mesh/lwo/LwoWriter.h"

namespace lwotest {

using IffWriter = base::cl_LwoWriter;
using P3 = base::st_LwoPoint3;

inline IffWriter& Points(IffWriter& w, const std::vector<P3>& points) { return base::LwoWritePoints(w, points); }
inline IffWriter& Faces(IffWriter& w, const std::vector<std::vector<int>>& polygons) {
  return base::LwoWriteFaces(w, polygons);
}
inline IffWriter& Tags(IffWriter& w, const std::vector<std::string>& names) { return base::LwoWriteTags(w, names); }
inline IffWriter& PolygonTags(IffWriter& w, const char* type, const std::vector<std::pair<int, int>>& pairs) {
  return base::LwoWritePolygonTags(w, type, pairs);
}

// A current-form object of one layer: the points, triangles over them, every polygon on the
// single surface "Default" with the given smoothing angle.
inline std::string SimpleObject(const std::vector<P3>& points, const std::vector<std::vector<int>>& polygons,
                                float smoothingAngle = 0) {
  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  Tags(w, {"Default"});
  w.Chunk("LAYR").U2(0).U2(0).F4s({0, 0, 0}).S0("").End();
  Points(w, points);
  Faces(w, polygons);
  w.Chunk("SURF").S0("Default").S0("").Sub("SMAN").F4(smoothingAngle).End().End();
  return w.End().bytes();
}

// The object the reader and importer tests check field by field: two layers, three tags (the
// third without a surface), uv and weight maps per point and per polygon, a bounding box, a
// surface with a block of every kind, a clip and an envelope.
inline std::string FullObject() {
  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  Tags(w, {"Wood", "Metal", "Rope"});
  w.Chunk("LAYR").U2(0).U2(0).F4s({0.5f, 0, 0}).S0("base").End();
  Points(w, {{1, 2, 3}, {2, 2, 3}, {2, 3, 3}, {1, 3, 3}, {5, 5, 5}});
  w.Chunk("BBOX").F4s({-5, -5, -5, 5, 5, 5}).End();
  w.Chunk("VMAP").Id("TXUV").U2(2).S0("uv");
  w.VX(0).F4s({0.25f, 0.75f}).VX(1).F4s({1, 0.5f}).VX(2).F4s({1, 1}).End();
  w.Chunk("VMAP").Id("WGHT").U2(1).S0("weight").VX(0).F4(0.5f).End();
  Faces(w, {{0, 1, 2}, {0, 2, 3}, {4, 3, 2, 1}});
  PolygonTags(w, "SURF", {{0, 0}, {1, 2}, {2, 1}});
  PolygonTags(w, "SMGP", {{2, 1}});
  PolygonTags(w, "COLR", {{0, 1}, {1, 1}});
  // Corner (polygon 1, point 0): a weight first, then its own uv; corner (0, 1): a weight only.
  w.Chunk("VMAD").Id("WGHT").U2(1).S0("cornerweight").VX(0).VX(1).F4(0.1f).VX(1).VX(0).F4(0.2f).End();
  w.Chunk("VMAD").Id("TXUV").U2(2).S0("uv").VX(0).VX(1).F4s({0.5f, 0.25f}).VX(3).VX(0).F4s({0, 0}).End();

  w.Chunk("SURF").S0("Wood").S0("");
  w.Sub("COLR").F4s({0.5f, 0.25f, 0.125f}).VX(0).End();
  w.Sub("DIFF").F4(0.75f).VX(1).End();
  w.Sub("SMAN").F4(1.5f).End();
  w.Sub("SIDE").U2(3).End();
  w.Sub("BLOK");
  w.Sub("IMAP").S0("\x80").Sub("CHAN").Id("COLR").End().Sub("OPAC").U2(1).F4(0.5f).VX(0).End().End();
  w.Sub("TMAP").Sub("SIZE").F4s({2, 3, 4}).VX(0).End().Sub("CSYS").U2(1).End().End();
  w.Sub("PROJ").U2(5).End().Sub("IMAG").VX(1).End().Sub("VMAP").S0("uv").End().Sub("WRAP").U2(1).U2(2).End();
  w.End();
  w.Sub("BLOK").Sub("IMAP").S0("\x70").Sub("CHAN").Id("COLR").End().End().Sub("IMAG").VX(2).End().End();
  w.Sub("BLOK").Sub("PROC").S0("\x80").Sub("CHAN").Id("DIFF").End().Sub("ENAB").U2(0).End().End();
  w.Sub("VALU").F4s({0.1f, 0.2f}).End().Sub("FUNC").S0("Turbulence").U1(7).U1(9).End().End();
  w.Sub("BLOK").Sub("GRAD").S0("\x80").Sub("CHAN").Id("BUMP").End().End();
  w.Sub("PNAM").S0("Slope").End().Sub("GRST").F4(-1).End().Sub("GREN").F4(2).End();
  w.Sub("FKEY").F4s({0, 1, 0, 0, 1, 1, 0, 1, 0, 1}).End().Sub("IKEY").U2(1).U2(2).End().End();
  w.Sub("BLOK").Sub("SHDR").S0("\x80").Sub("ENAB").U2(1).End().End().Sub("FUNC").S0("Halftone").U1(3).End().End();
  w.Sub("BLOK").Sub("IMAP").S0("\x90").Sub("CHAN").Id("XXXX").End().End().End();
  w.End();

  w.Chunk("SURF").S0("Metal").S0("Wood").Sub("GLOS").F4(0.9f).VX(0).End().Sub("LINE").End().End();
  w.Chunk("CLIP").U4(1).Sub("STIL").S0("images/wood.tga").End().Sub("TIME").F4s({1, 10, 24}).End();
  w.Sub("GAMM").F4(2.2f).VX(0).End().Sub("IFLT").S0("Blur").U2(1).U1(42).End().End();
  w.Chunk("ENVL").VX(1).Sub("TYPE").U2(0x0301).End().Sub("NAME").S0("Position.X").End();
  w.Sub("PRE ").U2(1).End().Sub("POST").U2(4).End();
  w.Sub("KEY ").F4(1).F4(5).End().Sub("SPAN").Id("TCB ").F4s({0.1f, 0.2f, 0.3f}).End();
  w.Sub("KEY ").F4(0).F4(2).End().Sub("SPAN").Id("BEZ2").F4s({1, 2, 3, 4}).End();
  w.Sub("KEY ").F4(0.5f).F4(3).End().End();

  w.Chunk("LAYR").U2(1).U2(0).F4s({0, 0, 0}).S0("second").U2(0).End();
  Points(w, {{7, 7, 7}, {8, 7, 7}, {8, 8, 7}});
  Faces(w, {{0, 1, 2}});
  return w.End().bytes();
}

// An older-form object: two surfaces by "SRFS", a polygon with a detail polygon, and a surface
// with a texture that has a velocity and an image.
inline std::string OldObject() {
  IffWriter w;
  w.Chunk("FORM").Id("LWOB");
  w.Chunk("SRFS").S0("Hull").S0("Deck").End();
  Points(w, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  // A quad on surface 1 with one detail triangle on surface 2, then a triangle on surface 2.
  w.Chunk("POLS").U2(4).U2(0).U2(1).U2(2).U2(3).I2(-1).U2(1).U2(3).U2(0).U2(1).U2(2).I2(2);
  w.U2(3).U2(1).U2(2).U2(3).I2(2).End();
  w.Chunk("SURF").S0("Hull").Sub("COLR").U1(255).U1(0).U1(51).U1(0).End().Sub("DIFF").I2(128).End();
  w.Sub("GLOS").I2(64).End().Sub("FLAG").U2(4).End().Sub("RIMG").S0("sky.tga").End();
  w.Sub("CTEX").S0("Planar Image Map").End().Sub("TSIZ").F4s({1, 2, 3}).End().Sub("TCTR").F4s({1, 0, 0}).End();
  w.Sub("TVEL").F4s({0.5f, 0, 0}).End().Sub("TIMG").S0("planks.tga").End().Sub("TFLG").U2(2 | 16).End();
  w.Sub("BTEX").S0("Fractal Noise").End().Sub("TVAL").I2(64).End();
  w.Sub("SHDR").S0("Edges").End().Sub("SDAT").U1(1).U1(2).End();
  w.End();
  return w.End().bytes();
}

}  // namespace lwotest
