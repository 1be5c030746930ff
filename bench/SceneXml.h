// The scene-like XML text the XML and tree benchmarks read: layers, hotspots with polygons and
// localised texts, locators, lights and a navigation mesh, repeated until it passes the wanted
// size. Well-formed XML that also sits inside the engine's dialect, so every reader takes it.
#pragma once

#include <cstdlib>
#include <random>
#include <string>

namespace benchscene {

inline std::string MakeScene(size_t bytes) {
  std::mt19937 rng(1234);
  auto num = [&](int range) { return std::to_string(static_cast<int>(rng() % static_cast<unsigned>(range)) - range / 4); };
  auto real = [&]() { return std::to_string(static_cast<int>(rng() % 20000)) + "." + std::to_string(rng() % 100); };
  std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Scene name=\"castle_hall\" version=\"3\">\n";
  int n = 0;
  while (s.size() < bytes) {
    const std::string id = std::to_string(n++);
    s += "\t<Layer\n\t\tname=\"layer_" + id + "\"\n\t\tfile=\"gfx/scenes/castle/layer_" + id + ".dds\"\n\t\tdepth=\"" + real() +
         "\"\n\t\tscroll=\"" + real() + "\"/>\n";
    s += "\t<Hotspot label=\"hs_" + id + "\" cursor=\"use\">\n";
    s += "\t\t<Polygon>\n";
    for (int i = 0; i < 6; ++i) s += "\t\t\t<Point x=\"" + real() + "\" y=\"" + real() + "\"/>\n";
    s += "\t\t</Polygon>\n";
    s += "\t\t<Text>#Lo_castl1_" + id + " The door is locked &amp; the key is gone.</Text>\n";
    s += "\t</Hotspot>\n";
    s += "\t<Locator name=\"loc_" + id + "\" x=\"" + real() + "\" y=\"" + real() + "\" z=\"" + real() + "\"/>\n";
    s += "\t<Light\n\t\tr=\"0.5\"\n\t\tg=\"0.25\"\n\t\tb=\"1\"\n\t\trange=\"" + real() + "\"/>\n";
    s += "\t<NavMesh>\n";
    for (int i = 0; i < 8; ++i) s += "\t\t<V x=\"" + real() + "\" y=\"" + real() + "\" z=\"" + real() + "\"/>\n";
    for (int i = 0; i < 6; ++i) s += "\t\t<T a=\"" + num(64) + "\" b=\"" + num(64) + "\" c=\"" + num(64) + "\"/>\n";
    s += "\t</NavMesh>\n";
  }
  s += "</Scene>\n";
  return s;
}

// The 10 MB scene, made once.
inline const std::string& Scene() {
  static const std::string text = MakeScene(10 * 1024 * 1024);
  return text;
}

// A game that has run for a while has a large heap that the C library no longer hands back to
// the system after every free. One large block taken and freed puts a fresh benchmark process in
// that state (the C library then serves blocks up to that size from its heap and stops trimming
// it), so the timings measure parsing and not page faults, for both sides alike.
inline void WarmHeap() {
  void* p = std::malloc(30u << 20);
  if (p) static_cast<volatile char*>(p)[0] = 0;
  std::free(p);
}

}  // namespace benchscene
