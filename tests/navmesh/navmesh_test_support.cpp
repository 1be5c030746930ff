#include "navmesh_test_support.h"

#include "../base/test_support.h"

namespace navtest {

std::string MeshRecord(cl_Mesh& m) {
  testsupport::TempDir dir;
  const std::string path = dir.path("navmesh.bin");
  {
    base::File f(path.c_str(), base::File::STATUS_WRITE);
    m.Write(&f);
    f.close();
  }
  return dir.read("navmesh.bin");
}

std::unique_ptr<cl_NavMesh> NavMeshFromBytes(const std::string& bytes) {
  base::File f;
  f.open_memory(bytes.data(), static_cast<int>(bytes.size()), "navmesh.bin");
  return std::unique_ptr<cl_NavMesh>(cl_NavMesh::CreateFromFile(&f));
}

std::unique_ptr<cl_NavMesh> NavMeshFrom(cl_Mesh& m) { return NavMeshFromBytes(MeshRecord(m)); }

std::unique_ptr<cl_NavMesh> FloorNavMesh(int cellsX, int cellsZ) {
  cl_Mesh m;
  st_FloorSpec s;
  s.cellsX = cellsX, s.cellsZ = cellsZ;
  BuildFloor(m, s);
  return NavMeshFrom(m);
}

st_Floor FloorOf(const cl_Mesh& m) {
  st_Floor floor;
  for (const auto* f : m.faces) {
    std::vector<std::pair<double, double>> corners;
    for (int i = 0; i < f->vertices.size(); ++i) corners.emplace_back(f->vertices[i]->position.x, f->vertices[i]->position.z);
    floor.faces.push_back(corners);
  }
  return floor;
}

namespace {
double SegmentDistance(double px, double pz, std::pair<double, double> a, std::pair<double, double> b) {
  const double dx = b.first - a.first, dz = b.second - a.second;
  const double len2 = dx * dx + dz * dz;
  double t = len2 > 0 ? ((px - a.first) * dx + (pz - a.second) * dz) / len2 : 0.0;
  t = std::fmax(0.0, std::fmin(1.0, t));
  const double cx = a.first + t * dx - px, cz = a.second + t * dz - pz;
  return std::sqrt(cx * cx + cz * cz);
}
}  // namespace

bool OnFloor(const st_Floor& floor, double x, double z, double tolerance) {
  for (const auto& face : floor.faces) {
    const size_t n = face.size();
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      const auto& a = face[i];
      const auto& b = face[j];
      if ((a.second > z) != (b.second > z) && x < (b.first - a.first) * (z - a.second) / (b.second - a.second) + a.first)
        inside = !inside;
      if (SegmentDistance(x, z, a, b) <= tolerance) return true;
    }
    if (inside) return true;
  }
  return false;
}

bool SegmentOnFloor(const st_Floor& floor, const tPoint& a, const tPoint& b, double tolerance, double step) {
  const double dx = double(b.x) - a.x, dz = double(b.z) - a.z;
  const int steps = std::max(1, static_cast<int>(std::sqrt(dx * dx + dz * dz) / step));
  for (int i = 0; i <= steps; ++i) {
    const double t = double(i) / steps;
    if (!OnFloor(floor, a.x + t * dx, a.z + t * dz, tolerance)) return false;
  }
  return true;
}

}  // namespace navtest
