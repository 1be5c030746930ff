#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "lwo_test_support.h"

namespace {

using namespace lwotest;

// A damaged file and where its fault lies: build writes the file and sets at to the byte
// offset the reader must report.
struct Damage {
  const char* name;
  const char* failId;
  std::function<std::string(int& at)> build;
};

IffWriter Form() {
  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  return w;
}

IffWriter Triangle() {
  IffWriter w = Form();
  Tags(w, {"Default"});
  Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  Faces(w, {{0, 1, 2}});
  return w;
}

const Damage kDamages[] = {
    {"not an IFF form", "FORM", [](int& at) { at = 12; return std::string("JUNK\0\0\0\4LWO2", 12); }},
    {"another form type", "FORM", [](int& at) { at = 12; return IffWriter().Chunk("FORM").Id("ILBM").End().bytes(); }},
    {"shorter than the header", "FORM", [](int& at) { at = 8; return std::string("FORM\0\0\0\4", 8); }},
    {"form size past the end", "FORM",
     [](int& at) {
       IffWriter w = Triangle();
       std::string b = w.End().bytes();
       at = static_cast<int>(b.size());
       b[7] = static_cast<char>(b[7] + 8);  // the form claims 8 bytes more than there are
       return b;
     }},
    {"chunk larger than what remains", "PNTS",
     [](int& at) {
       IffWriter w = Form();
       at = w.size();
       return w.Id("PNTS").U4(100).F4s({0, 0, 0}).End().bytes();
     }},
    {"point at infinity", "PNTS",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("PNTS").F4s({0, 0, 0});
       at = w.size();
       return w.F4s({1, std::numeric_limits<float>::infinity(), 0}).End().End().bytes();
     }},
    {"point that is not a number", "PNTS",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("PNTS");
       at = w.size();
       return w.F4s({std::numeric_limits<float>::quiet_NaN(), 0, 0}).End().End().bytes();
     }},
    {"polygon point outside the points", "POLS",
     [](int& at) {
       IffWriter w = Form();
       Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
       w.Chunk("POLS").Id("FACE").U2(3).VX(0).VX(1);
       at = w.size();
       return w.VX(3).End().End().bytes();
     }},
    {"long index outside the points", "POLS",
     [](int& at) {
       IffWriter w = Form();
       Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
       w.Chunk("POLS").Id("FACE").U2(3).VX(0).VX(1);
       at = w.size();
       return w.U1(0xFF).U1(1).U2(0).End().End().bytes();  // 65536
     }},
    {"polygon cut by the end of its chunk", "POLS",
     [](int& at) {
       IffWriter w = Form();
       Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
       w.Chunk("POLS").Id("FACE").U2(3).VX(0).VX(1);
       at = w.size();
       return w.End().End().bytes();
     }},
    {"long index cut by the end of its chunk", "POLS",
     [](int& at) {
       IffWriter w = Form();
       Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
       w.Chunk("POLS").Id("FACE").U2(1);
       at = w.size();
       return w.U1(0xFF).U1(0).End().End().bytes();
     }},
    {"vertex map point outside the points", "VMAP",
     [](int& at) {
       IffWriter w = Triangle();
       w.Chunk("VMAP").Id("TXUV").U2(2).S0("uv").VX(0).F4s({0, 0});
       at = w.size();
       return w.VX(9).F4s({0, 0}).End().End().bytes();
     }},
    {"vertex map values cut", "VMAP",
     [](int& at) {
       IffWriter w = Triangle();
       w.Chunk("VMAP").Id("TXUV").U2(2).S0("uv");
       at = w.size();
       return w.VX(0).F4(0).End().End().bytes();
     }},
    {"per-polygon map polygon outside the polygons", "VMAD",
     [](int& at) {
       IffWriter w = Triangle();
       w.Chunk("VMAD").Id("TXUV").U2(2).S0("uv");
       at = w.size();
       return w.VX(0).VX(1).F4s({0, 0}).End().End().bytes();
     }},
    {"per-polygon map point outside the points", "VMAD",
     [](int& at) {
       IffWriter w = Triangle();
       w.Chunk("VMAD").Id("TXUV").U2(2).S0("uv");
       at = w.size();
       return w.VX(5).VX(0).F4s({0, 0}).End().End().bytes();
     }},
    {"polygon tag on a polygon outside the polygons", "PTAG",
     [](int& at) {
       IffWriter w = Triangle();
       w.Chunk("PTAG").Id("SURF").VX(0).VX(0);
       at = w.size();
       return w.VX(1).VX(0).End().End().bytes();
     }},
    {"polygon tag outside the tags", "PTAG",
     [](int& at) {
       IffWriter w = Triangle();
       w.Chunk("PTAG").Id("SMGP");
       at = w.size();
       return w.VX(0).VX(1).End().End().bytes();
     }},
    {"polygons without any tag", "PTAG",
     [](int& at) {
       IffWriter w = Form();
       Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
       Faces(w, {{0, 1, 2}});
       at = w.size();  // the end of the file
       return w.End().bytes();
     }},
    {"layer record longer than its chunk", "LAYR",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("LAYR").U2(0).U2(0).F4(0);
       at = w.size();
       return w.End().End().bytes();
     }},
    {"surface name without terminator", "SURF",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("SURF").Raw("ab");
       at = w.size() - 2;
       return w.End().End().bytes();
     }},
    {"surface sub-chunk larger than what remains", "SURF",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("SURF").S0("s").S0("");
       at = w.size();
       return w.Id("COLR").U2(20).F4(1).End().End().bytes();
     }},
    {"surface sub-chunk read past its size", "SURF",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("SURF").S0("s").S0("").Sub("SMAN").U1(0);
       at = w.size() - 1;
       return w.U1(0).End().End().End().bytes();
     }},
    {"short sub-chunk header", "SURF",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("SURF").S0("s").S0("");
       at = w.size();
       return w.Id("SMAN").End().End().bytes();
     }},
    {"block header past its block", "SURF",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("SURF").S0("s").S0("").Sub("BLOK");
       at = w.size();
       return w.Id("IMAP").U2(30).S0("\x80").End().End().End().bytes();
     }},
    {"texture mapping sub-chunk past its size", "SURF",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("SURF").S0("s").S0("").Sub("BLOK").Sub("IMAP").S0("\x80").End().Sub("TMAP").Sub("CNTR").F4s({0, 0});
       at = w.size();
       return w.End().End().End().End().End().bytes();
     }},
    {"span before any key", "ENVL",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("ENVL").VX(1).Sub("SPAN");
       at = w.size();
       return w.Id("TCB ").End().End().End().bytes();
     }},
    {"clip filter cut", "CLIP",
     [](int& at) {
       IffWriter w = Form();
       w.Chunk("CLIP").U4(1).Sub("IFLT").S0("Blur");
       at = w.size();
       return w.U1(0).End().End().End().bytes();
     }},
    {"older form: polygon point outside the points", "POLS",
     [](int& at) {
       IffWriter w;
       w.Chunk("FORM").Id("LWOB");
       Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
       w.Chunk("POLS").U2(3).U2(0).U2(1);
       at = w.size();
       return w.U2(4).I2(1).End().End().bytes();
     }},
    {"older form: surface number 0", "POLS",
     [](int& at) {
       IffWriter w;
       w.Chunk("FORM").Id("LWOB");
       w.Chunk("SRFS").S0("a").End();
       Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
       w.Chunk("POLS").U2(3).U2(0).U2(1).U2(2).I2(0).End();
       at = w.size();
       return w.End().bytes();
     }},
};

TEST(LwoDamagedFile, FailsWithChunkAndPosition) {
  for (const Damage& d : kDamages) {
    SCOPED_TRACE(d.name);
    int at = -1;
    const std::string bytes = d.build(at);
    testsupport::LogCapture log;
    const ReadResult r = ReadBytes(bytes);
    EXPECT_FALSE(r.object);
    EXPECT_EQ(IdText(r.failId), d.failId);
    EXPECT_EQ(r.failPos, at);
    ASSERT_EQ(log.get().size(), 1u);
    EXPECT_EQ(log.get()[0].rfind("ERROR: LightWave object 'test.lwo': chunk '", 0), 0u) << log.get()[0];
  }
}

// Every prefix of a good file fails cleanly or reads: never a crash or an overrun (run under the
// sanitizers in CI).
TEST(LwoDamagedFile, EveryTruncationIsHandled) {
  for (const std::string& full : {FullObject(), OldObject()}) {
    testsupport::LogCapture log;
    for (size_t n = 0; n < full.size(); ++n) {
      const ReadResult r = ReadBytes(full.substr(0, n));
      EXPECT_FALSE(r.object) << n;
      EXPECT_GE(r.failPos, 0) << n;
      EXPECT_LE(r.failPos, static_cast<int>(n)) << n;
    }
  }
}

TEST(LwoDamagedFile, PolygonWithoutVerticesIsKeptWithAWarning) {
  IffWriter w = Form();
  Tags(w, {"Default"});
  Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  w.Chunk("POLS").Id("FACE").U2(0).U2(3).VX(0).VX(1).VX(2).End();
  PolygonTags(w, "SURF", {{1, 0}});
  testsupport::LogCapture log;
  const ReadResult r = ReadBytes(w.End().bytes());
  ASSERT_TRUE(r.object);
  // Kept in the list so that later polygon indices stay right; it has no corners to read.
  ASSERT_EQ(r.object->layers.first->polygons.count(), 2);
  EXPECT_EQ(r.object->layers.first->polygons.polygons[0].vertexCount, 0);
  EXPECT_TRUE(log.contains("Warning: LightWave object 'test.lwo': 1 polygons without vertices"));
}

}  // namespace
