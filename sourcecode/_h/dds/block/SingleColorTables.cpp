#include "dds/block/SingleColorTables.h"

#include <mutex>
#include <vector>

namespace dds {
namespace {

constexpr int kBits[3] = {5, 6, 5};

int Widen(int code, int bits) { return (code << (8 - bits)) | (code >> (2 * bits - 8)); }

// Decoded 8-bit channel value of palette entry `index` for widened endpoints ea, eb, with the
// truncating interpolants the block error and the decoder use.
int PaletteValue(int size, int index, int ea, int eb) {
  switch (index) {
    case 0:
      return ea;
    case 1:
      return eb;
    case 2:
      return size == 4 ? (2 * ea + eb) / 3 : (ea + eb) / 2;
    default:
      return size == 4 ? (ea + 2 * eb) / 3 : 0;
  }
}

struct GreyTables {
  GreyRow both[256];
  GreyRow four[256];
};

struct Candidate {
  int total = -1;
  int code0[3] = {0, 0, 0};
  int code1[3] = {0, 0, 0};
  int size = 4;
  int index = 0;

  int Pack0() const { return code0[0] * 2048 + code0[1] * 32 + code0[2]; }
  int Pack1() const { return code1[0] * 2048 + code1[1] * 32 + code1[2]; }
};

// The order the rows are defined by: distance, packed endpoint 0, packed endpoint 1, palette
// size 4 before 3, lower index.
bool Better(const Candidate& x, const Candidate& y) {
  if (y.total < 0) return true;
  if (x.total != y.total) return x.total < y.total;
  if (x.Pack0() != y.Pack0()) return x.Pack0() < y.Pack0();
  if (x.Pack1() != y.Pack1()) return x.Pack1() < y.Pack1();
  if (x.size != y.size) return x.size > y.size;
  return x.index < y.index;
}

// For one channel width, palette size and index: the first pair (a, b), in the order a, then b,
// that decodes to each 8-bit value; -1 where none does.
struct FirstPairs {
  int pair[256];

  FirstPairs(int bits, int size, int index) {
    for (int& p : pair) p = -1;
    const int top = (1 << bits) - 1;
    for (int a = 0; a <= top; ++a)
      for (int b = 0; b <= top; ++b) {
        int& p = pair[PaletteValue(size, index, Widen(a, bits), Widen(b, bits))];
        if (p < 0) p = a * 64 + b;
      }
  }

  // The first pair, in the order a, then b, among those nearest to g; writes its squared distance.
  int Nearest(int g, int& distance) const {
    for (int d = 0;; ++d) {
      const int below = g - d >= 0 ? pair[g - d] : -1;
      const int above = g + d <= 255 ? pair[g + d] : -1;
      if (below >= 0 || above >= 0) {
        distance = d * d;
        return below < 0 ? above : (above < 0 || below < above ? below : above);
      }
    }
  }
};

// Channels are independent for a fixed palette size and index, and the tie order is
// lexicographic over (r0, g0, b0, r1, g1, b1), so each channel takes its own least distance and
// among those its smallest (a, b).
Candidate BestFor(int g, int size, int index, const FirstPairs& five, const FirstPairs& six) {
  Candidate c;
  c.size = size;
  c.index = index;
  c.total = 0;
  for (int ch = 0; ch < 3; ++ch) {
    int distance = 0;
    const int pair = (ch == 1 ? six : five).Nearest(g, distance);
    c.code0[ch] = pair / 64;
    c.code1[ch] = pair % 64;
    c.total += distance;
  }
  return c;
}

GreyRow ToRow(const Candidate& c) {
  return {{c.code0[0], c.code0[1], c.code0[2], c.code1[0], c.code1[1], c.code1[2], c.size,
           c.index}};
}

const GreyTables& Grey() {
  static GreyTables tables;
  static std::once_flag once;
  std::call_once(once, [] {
    // Built once per process: the first pair for every decoded value, then every grey's row.
    std::vector<FirstPairs> five, six;
    for (int size : {4, 3})
      for (int index = 0; index < 4; ++index) {
        five.emplace_back(5, size, index);
        six.emplace_back(6, size, index);
      }
    for (int g = 0; g < 256; ++g) {
      Candidate best_both, best_four;
      for (int size : {4, 3})
        for (int index = 0; index < 4; ++index) {
          const size_t k = static_cast<size_t>((size == 4 ? 0 : 4) + index);
          const Candidate c = BestFor(g, size, index, five[k], six[k]);
          if (Better(c, best_both)) best_both = c;
          if (size == 4 && Better(c, best_four)) best_four = c;
        }
      tables.both[g] = ToRow(best_both);
      tables.four[g] = ToRow(best_four);
    }
  });
  return tables;
}

struct SingleTable {
  SingleColorEntry entries[256][3][3];
};

const SingleTable& Single() {
  static SingleTable table;
  static std::once_flag once;
  std::call_once(once, [] {
    for (int ch = 0; ch < 3; ++ch) {
      const int bits = kBits[ch];
      const int shift = 8 - bits;
      const int top = (1 << bits) - 1;
      for (int a = top; a >= 0; --a)
        for (int b = top; b >= 0; --b) {
          const int ea = Widen(a, bits), eb = Widen(b, bits);
          const int values[3] = {ea, (ea + eb) / 2, (ea + 2 * eb + 1) / 3};
          for (int rule = 0; rule < 3; ++rule) {
            SingleColorEntry& e = table.entries[values[rule]][ch][rule];
            const int spread = eb > ea ? eb - ea : ea - eb;
            const int stored = e.b > e.a ? e.b - e.a : e.a - e.b;
            if (!e.valid || stored > spread) {
              e.valid = 1;
              e.a = static_cast<uint8_t>(a << shift);
              e.b = static_cast<uint8_t>(b << shift);
            }
          }
        }
    }
  });
  return table;
}

}  // namespace

const GreyRow& GreyTableRow(bool four_only, int g) {
  const GreyTables& t = Grey();
  return four_only ? t.four[g] : t.both[g];
}

const SingleColorEntry& SingleColorTableEntry(int v, int channel, int rule) {
  return Single().entries[v][channel][rule];
}

}  // namespace dds
