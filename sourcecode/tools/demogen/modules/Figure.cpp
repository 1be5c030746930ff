// The demo figures "male" and "female": procedural low-poly bodies (tapered limbs of 8 sides, a
// head of 80 triangles, a hair cap; about 630 triangles in three submeshes "skin", "cloth" and
// "hair"), one 28-bone skeleton in two proportions, the body clips, the face clips (an animation
// set) and the bone subsets, all as Ogre XML under characters/<label>/. Units are centimetres,
// y up, the figure faces +z; its left side is +x.
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "base/math/Quaternion.h"
#include "core/Modules.h"
#include "core/Output.h"

namespace demogen {

namespace {

using V3 = base::tVector3<float>;
constexpr int kBoneCount = 28;
constexpr int kSides = 8;

// Bone numbers (ORDER FIGUREBONES: the names below, the parents, the joints).
enum en_Bone {
  HIP, SPINE_A, SPINE_C, NECK, HEAD, EYE_L, EYE_R, BROW_L, BROW_R, JAW, LIP_UP, LIP_LOW, LID_L, LID_R,
  MOUTH_L, MOUTH_R, SHOULDER_L, ELBOW_L, WRIST_L, SHOULDER_R, ELBOW_R, WRIST_R, THIGH_L, KNEE_L, ANKLE_L,
  THIGH_R, KNEE_R, ANKLE_R, NO_BONE = -1
};

const char* const kBoneNames[kBoneCount] = {
    "Game_Hip", "Game_Spine_A", "Game_Spine_C", "Game_Neck", "Game_Head", "Game_Eye_l", "Game_Eye_r",
    "Game_Brow_l", "Game_Brow_r", "Game_Jaw", "Game_Lip_up", "Game_Lip_low", "Game_Lid_l", "Game_Lid_r",
    "Game_Mouth_l", "Game_Mouth_r", "Game_Shoulder_l", "Game_Elbow_l", "Game_Wrist_l", "Game_Shoulder_r",
    "Game_Elbow_r", "Game_Wrist_r", "Game_Thigh_l", "Game_Knee_l", "Game_Ankle_l", "Game_Thigh_r",
    "Game_Knee_r", "Game_Ankle_r"};

const int kParents[kBoneCount] = {NO_BONE, HIP,     SPINE_A, SPINE_C,    NECK,    HEAD,    HEAD,
                                  HEAD,    HEAD,    HEAD,    HEAD,       JAW,     HEAD,    HEAD,
                                  HEAD,    HEAD,    SPINE_C, SHOULDER_L, ELBOW_L, SPINE_C, SHOULDER_R,
                                  ELBOW_R, HIP,     THIGH_L, KNEE_L,     HIP,     THIGH_R, KNEE_R};

struct st_Figure {
  const char* label;
  float scale;     // of the 175 cm standard
  float shoulder;  // half the shoulder width
  float hip;       // half the hip width
  float girth;     // of the torso and limbs
};

const st_Figure kFigures[] = {{"male", 1.0f, 19.0f, 9.0f, 1.0f}, {"female", 0.95f, 16.5f, 9.5f, 0.88f}};

// Binding positions in model space.
std::vector<V3> Joints(const st_Figure& f) {
  const float s = f.shoulder, h = f.hip;
  std::vector<V3> j = {
      {0, 95, 0},     {0, 108, 0},       {0, 130, 0},         {0, 148, 0},       {0, 156, 0},
      {3.2f, 165, 8.5f}, {-3.2f, 165, 8.5f}, {3.2f, 168.5f, 9},  {-3.2f, 168.5f, 9}, {0, 158, 2},
      {0, 160.5f, 9.5f}, {0, 158.5f, 9.3f}, {3.2f, 166, 9},       {-3.2f, 166, 9},   {2.2f, 159.5f, 9},
      {-2.2f, 159.5f, 9}, {s, 145, 0},      {s + 2, 118, 0},      {s + 3, 93, 2},    {-s, 145, 0},
      {-s - 2, 118, 0}, {-s - 3, 93, 2},    {h, 92, 0},           {h, 50, 1},        {h, 8, -1},
      {-h, 92, 0},      {-h, 50, 1},        {-h, 8, -1}};
  for (V3& p : j) p *= f.scale;
  return j;
}

std::string Num(float v) {
  if (std::fabs(v) < 5e-6f) v = 0.0f;
  char b[32];
  std::snprintf(b, sizeof b, "%.5g", static_cast<double>(v));
  return b;
}

std::string XYZ(const char* tag, const V3& v) {
  return std::string("<") + tag + " x=\"" + Num(v.x) + "\" y=\"" + Num(v.y) + "\" z=\"" + Num(v.z) + "\"/>";
}

// ---- mesh

struct st_Vertex {
  V3 position, normal;
  float u, v;
  int bones[2];
  float weights[2];
};

struct st_Submesh {
  const char* material;
  std::vector<st_Vertex> vertices;
  std::vector<int> faces;  // three corners each
};

// A tapered tube from a to b in three rings, driven by bone (the end ring half by next).
void Tube(st_Submesh& m, V3 a, V3 b, float ra, float rb, int bone, int next) {
  const V3 d = (b - a).normal();
  const V3 ref = std::fabs(d.z) > 0.9f ? V3(1, 0, 0) : V3(0, 0, 1);
  const V3 u = d.cross(ref).normal(), w = d.cross(u);
  const int first = static_cast<int>(m.vertices.size());
  for (int ring = 0; ring < 3; ++ring) {
    const float t = 0.5f * static_cast<float>(ring);
    for (int k = 0; k < kSides; ++k) {
      const float angle = 2.0f * std::numbers::pi_v<float> * static_cast<float>(k) / kSides;
      const V3 n = u * std::cos(angle) + w * std::sin(angle);
      st_Vertex v{a + (b - a) * t + n * (ra + (rb - ra) * t), n, static_cast<float>(k) / kSides, t, {bone, bone},
                  {1.0f, 0.0f}};
      if (ring == 2 && next != NO_BONE) v.bones[1] = next, v.weights[0] = v.weights[1] = 0.5f;
      m.vertices.push_back(v);
    }
  }
  for (int ring = 0; ring < 2; ++ring) {
    for (int k = 0; k < kSides; ++k) {
      const int i0 = first + ring * kSides + k, i1 = first + ring * kSides + (k + 1) % kSides;
      m.faces.insert(m.faces.end(), {i0, i1 + kSides, i1, i0, i0 + kSides, i1 + kSides});
    }
  }
}

// Which bone moves a point of the head: the jaw below the mouth, the lips and mouth corners at
// the front, the lids and brows above them, the head elsewhere.
int HeadBone(const V3& p, const V3& centre, float r) {
  const V3 q = (p - centre) / r;
  if (q.z < 0.45f) return HEAD;
  if (q.y < -0.55f) return JAW;
  if (q.y < -0.15f) return std::fabs(q.x) > 0.35f ? (q.x > 0 ? MOUTH_L : MOUTH_R) : LIP_LOW;
  if (q.y < 0.15f) return std::fabs(q.x) > 0.35f ? (q.x > 0 ? MOUTH_L : MOUTH_R) : LIP_UP;
  if (q.y < 0.55f) return std::fabs(q.x) > 0.2f ? (q.x > 0 ? LID_L : LID_R) : HEAD;
  return std::fabs(q.x) > 0.2f ? (q.x > 0 ? BROW_L : BROW_R) : HEAD;
}

// A point of a sphere at a latitude (0 = top pole, π = bottom pole) and a longitude (0 = +z).
V3 OnSphere(float lat, float lon) {
  return V3(std::sin(lat) * std::sin(lon), std::cos(lat), std::sin(lat) * std::cos(lon));
}

constexpr float kRingStep = std::numbers::pi_v<float> / 6.0f;  // 30° from ring to ring

// Rings of kSides points from ring fromRing to toRing, ring i at the latitude lat(i, longitude),
// joined into a band; a ring at a pole collapses to a point, with one triangle per side there.
template <typename tLatitude>
void Band(st_Submesh& m, V3 centre, float r, int fromRing, int toRing, bool faceBones, tLatitude lat) {
  const int first = static_cast<int>(m.vertices.size());
  for (int ring = fromRing; ring <= toRing; ++ring) {
    for (int k = 0; k < kSides; ++k) {
      const float lon = 2.0f * std::numbers::pi_v<float> * static_cast<float>(k) / kSides;
      const V3 n = OnSphere(lat(ring, lon), lon);
      const V3 p = centre + n * r;
      const int bone = faceBones ? HeadBone(p, centre, r) : HEAD;
      m.vertices.push_back({p, n, static_cast<float>(k) / kSides, static_cast<float>(ring) / 6.0f, {bone, bone},
                            {1.0f, 0.0f}});
    }
  }
  for (int ring = 0; ring < toRing - fromRing; ++ring) {
    for (int k = 0; k < kSides; ++k) {
      const int i0 = first + ring * kSides + k, i1 = first + ring * kSides + (k + 1) % kSides;
      const int j0 = i0 + kSides, j1 = i1 + kSides;
      if (ring + fromRing != 0) m.faces.insert(m.faces.end(), {i0, i1, j1});
      if (ring + fromRing + 1 != 6) m.faces.insert(m.faces.end(), {i0, j1, j0});
    }
  }
}

// A sphere from ring fromRing to toRing (0 = top pole, 6 = bottom pole) in steps of 30°.
void Sphere(st_Submesh& m, V3 centre, float r, int fromRing, int toRing, bool faceBones) {
  Band(m, centre, r, fromRing, toRing, faceBones, [](int ring, float) { return kRingStep * static_cast<float>(ring); });
}

// The hair cap: to the head's middle at the back and the sides, and above the brows in front,
// where it ends in a fringe over the forehead so that the face below it stays bare.
void HairCap(st_Submesh& m, V3 centre, float r) {
  Band(m, centre, r, 0, 3, false, [](int ring, float lon) {
    constexpr float kFront = 0.87f, kTemple = 1.1f, kSide = 1.4f, kBack = 1.6f;        // the edge's latitude
    const float a = std::fabs(std::remainder(lon, 2.0f * std::numbers::pi_v<float>));  // 0 in front
    const float quarter = 0.25f * std::numbers::pi_v<float>;
    const float edge = a < quarter          ? kFront + (kTemple - kFront) * a / quarter
                       : a < 2.0f * quarter ? kTemple + (kSide - kTemple) * (a - quarter) / quarter
                                            : kSide + (kBack - kSide) * (a - 2.0f * quarter) / (2.0f * quarter);
    return edge * static_cast<float>(ring) / 3.0f;
  });
}

// How far in front of the head's centre (z) the drawn head's surface lies at (x, y): the head is
// the 8-sided sphere Sphere draws, a convex body, so its front surface is the nearest of the planes
// of its forward-facing facets.
float HeadSurfaceZ(V3 centre, float r, float x, float y) {
  float z = r;
  for (int ring = 0; ring < 6; ++ring) {
    for (int k = 0; k < kSides; ++k) {
      const float lon0 = 2.0f * std::numbers::pi_v<float> * static_cast<float>(k) / kSides;
      const float lon1 = lon0 + 2.0f * std::numbers::pi_v<float> / kSides;
      const float lat0 = kRingStep * static_cast<float>(ring), lat1 = lat0 + kRingStep;
      // Three corners that span the facet, away from a pole where two of them meet.
      const V3 a = OnSphere(ring == 0 ? lat1 : lat0, lon0) * r, b = OnSphere(ring == 0 ? lat1 : lat0, lon1) * r;
      const V3 c = OnSphere(ring == 0 ? lat0 : lat1, lon0) * r;
      V3 n = (b - a).cross(c - a);
      if (n.dot(a) < 0.0f) n = -n;  // outward
      if (n.z <= 1e-4f) continue;
      // n · (p - a) = 0 solved for p.z at (x, y), relative to the centre.
      z = std::fmin(z, a.z - (n.x * (x - centre.x - a.x) + n.y * (y - centre.y - a.y)) / n.z);
    }
  }
  return centre.z + z;
}

// A flat rectangle on the face, each corner moved by its own bone (two bones at half weight where
// a pair is given), textured with one swatch of the body sheet: eyes, brows and the mouth, so gaze,
// emotes and lip-sync show at the size the camera gives a face. Each corner lies on the head's
// surface, lifted by above; the rectangles are drawn within one facet each (the mouth is two), so
// they lie on the head seen from any side. Corners: top left, top right, bottom right, bottom left
// (seen from the front, clockwise like the head's faces).
struct st_FaceCorner {
  int bone, other = NO_BONE;
};
void FaceQuad(st_Submesh& m, const V3& head, float r, float x0, float y0, float x1, float y1, float above,
              const st_FaceCorner (&bones)[4], float u, float v) {
  const int first = static_cast<int>(m.vertices.size());
  const float corners[4][2] = {{x0, y1}, {x1, y1}, {x1, y0}, {x0, y0}};
  for (int i = 0; i < 4; ++i) {
    const float x = corners[i][0], y = corners[i][1];
    const st_FaceCorner& b = bones[i];
    st_Vertex vertex{V3(x, y, HeadSurfaceZ(head, r, x, y) + above), V3(0, 0, 1), u, v, {b.bone, b.bone}, {1.0f, 0.0f}};
    if (b.other != NO_BONE) vertex.bones[1] = b.other, vertex.weights[0] = vertex.weights[1] = 0.5f;
    m.vertices.push_back(vertex);
  }
  m.faces.insert(m.faces.end(), {first, first + 1, first + 2, first, first + 2, first + 3});
}

// Where the face's swatches lie on the body sheet (ORDER SWATCHES: FaceSwatch in Models.cpp).
constexpr float kSwatchV = 0.02f;
constexpr float kEyeWhiteU = 0.03f, kPupilU = 0.09f, kMouthU = 0.16f, kBrowU = 0.22f;

void AddFace(st_Submesh& m, const st_Figure& f, const std::vector<V3>& j, const V3& head, float r) {
  const float s = f.scale, lift = 0.05f * s;
  for (const int eye : {EYE_L, EYE_R}) {
    const int brow = eye == EYE_L ? BROW_L : BROW_R;
    const float x = j[eye].x, y = j[eye].y, by = j[brow].y + 0.6f * s;
    const st_FaceCorner eyes[4] = {{eye}, {eye}, {eye}, {eye}}, brows[4] = {{brow}, {brow}, {brow}, {brow}};
    FaceQuad(m, head, r, x - 1.8f * s, y - 0.9f * s, x + 1.8f * s, y + 0.9f * s, lift, eyes, kEyeWhiteU, kSwatchV);
    FaceQuad(m, head, r, x - 0.8f * s, y - 0.8f * s, x + 0.8f * s, y + 0.8f * s, 2.0f * lift, eyes, kPupilU, kSwatchV);
    FaceQuad(m, head, r, x - 2.2f * s, by - 0.5f * s, x + 2.2f * s, by + 0.5f * s, lift, brows, kBrowU, kSwatchV);
  }
  // The mouth, in two halves that meet on the head's front ridge: its upper edge rides the mouth's
  // corners (its middle both at half), its lower edge the lower lip, so it opens with the jaw and
  // lips and lifts with a smile.
  const float y = j[MOUTH_L].y, w = 2.8f * s;
  const st_FaceCorner middle{MOUTH_R, MOUTH_L};
  const st_FaceCorner right[4] = {{MOUTH_R}, middle, {LIP_LOW}, {LIP_LOW}},
                      left[4] = {middle, {MOUTH_L}, {LIP_LOW}, {LIP_LOW}};
  FaceQuad(m, head, r, -w, y - 0.5f * s, 0.0f, y + 0.5f * s, lift, right, kMouthU, kSwatchV);
  FaceQuad(m, head, r, 0.0f, y - 0.5f * s, w, y + 0.5f * s, lift, left, kMouthU, kSwatchV);
}

std::string MeshXml(const st_Figure& f) {
  const std::vector<V3> j = Joints(f);
  const float g = f.girth * f.scale;
  st_Submesh skin{"skin", {}, {}}, cloth{"cloth", {}, {}}, hair{"hair", {}, {}};
  Tube(cloth, j[HIP], j[SPINE_A], 15 * g, 14 * g, HIP, SPINE_A);
  Tube(cloth, j[SPINE_A], j[SPINE_C], 14 * g, 16 * g, SPINE_A, SPINE_C);
  Tube(cloth, j[SPINE_C], j[NECK], 16 * g, 7 * g, SPINE_C, NECK);
  Tube(skin, j[NECK], j[HEAD], 5 * g, 5 * g, NECK, HEAD);
  for (int side = 0; side < 2; ++side) {
    const int sh = side ? SHOULDER_R : SHOULDER_L, th = side ? THIGH_R : THIGH_L;
    Tube(cloth, j[sh], j[sh + 1], 5 * g, 4 * g, sh, sh + 1);
    Tube(cloth, j[sh + 1], j[sh + 2], 4 * g, 3 * g, sh + 1, sh + 2);
    Tube(skin, j[sh + 2], j[sh + 2] + V3(0, -16, 1) * f.scale, 3.5f * g, 2 * g, sh + 2, NO_BONE);
    Tube(cloth, j[th], j[th + 1], 8 * g, 6 * g, th, th + 1);
    Tube(cloth, j[th + 1], j[th + 2], 6 * g, 4.5f * g, th + 1, th + 2);
    Tube(cloth, j[th + 2], j[th + 2] + V3(0, -6, 18) * f.scale, 4.5f * g, 3 * g, th + 2, NO_BONE);
  }
  const V3 headCentre = V3(0, 163, 2) * f.scale;
  const float headRadius = 11 * f.scale;
  Sphere(skin, headCentre, headRadius, 0, 6, true);
  // Skin and cloth share the body sheet: skin in its upper third, the coat below.
  for (st_Vertex& v : skin.vertices) v.v = 0.08f + 0.22f * v.v;
  for (st_Vertex& v : cloth.vertices) v.v = 0.4f + 0.58f * v.v;
  AddFace(skin, f, j, headCentre, headRadius);
  HairCap(hair, headCentre + V3(0, 0.5f, -0.5f) * f.scale, 11.8f * f.scale);

  std::string x = "<mesh>\n\t<submeshes>\n";
  for (const st_Submesh* m : {&skin, &cloth, &hair}) {
    x += std::string("\t\t<submesh material=\"") + f.label + "_" + m->material +
         "\" usesharedvertices=\"false\" use32bitindexes=\"false\" operationtype=\"triangle_list\">\n";
    x += "\t\t\t<faces count=\"" + std::to_string(m->faces.size() / 3) + "\">\n";
    for (size_t i = 0; i < m->faces.size(); i += 3)
      x += "\t\t\t\t<face v1=\"" + std::to_string(m->faces[i]) + "\" v2=\"" + std::to_string(m->faces[i + 1]) +
           "\" v3=\"" + std::to_string(m->faces[i + 2]) + "\"/>\n";
    x += "\t\t\t</faces>\n\t\t\t<geometry vertexcount=\"" + std::to_string(m->vertices.size()) +
         "\">\n\t\t\t\t<vertexbuffer positions=\"true\" normals=\"true\" texture_coord_dimensions_0=\"2\" "
         "texture_coords=\"1\">\n";
    for (const st_Vertex& v : m->vertices) {
      x += "\t\t\t\t\t<vertex>" + XYZ("position", v.position) + XYZ("normal", v.normal) + "<texcoord u=\"" +
           Num(v.u) + "\" v=\"" + Num(v.v) + "\"/></vertex>\n";
    }
    x += "\t\t\t\t</vertexbuffer>\n\t\t\t</geometry>\n\t\t\t<boneassignments>\n";
    for (size_t i = 0; i < m->vertices.size(); ++i) {
      const st_Vertex& v = m->vertices[i];
      for (int k = 0; k < 2; ++k) {
        if (v.weights[k] <= 0.0f) continue;
        x += "\t\t\t\t<vertexboneassignment vertexindex=\"" + std::to_string(i) + "\" boneindex=\"" +
             std::to_string(v.bones[k]) + "\" weight=\"" + Num(v.weights[k]) + "\"/>\n";
      }
    }
    x += "\t\t\t</boneassignments>\n\t\t</submesh>\n";
  }
  return x + "\t</submeshes>\n</mesh>\n";
}

// ---- clips

// One motion of a clip: a rotation of a bone about an axis ('x', 'y', 'z') or a translation
// along one ('X', 'Y', 'Z'), by amp times a shape of the clip's time.
struct st_Motion {
  int bone;
  char axis;
  float amp;
  float cycles;    // wave: amp · sin(2π(cycles · t / length + phase)); a ramp when 0
  float phase;
  float rampEnd;   // ramp: amp · min(1, t / rampEnd); hold: rampEnd 0 (amp throughout)
};

st_Motion Wave(int bone, char axis, float amp, float cycles, float phase = 0.0f) {
  return {bone, axis, amp, cycles, phase, 0.0f};
}
st_Motion Ramp(int bone, char axis, float amp, float end) { return {bone, axis, amp, 0.0f, 0.0f, end}; }
st_Motion Hold(int bone, char axis, float amp) { return {bone, axis, amp, 0.0f, 0.0f, 0.0f}; }

struct st_Clip {
  const char* name;
  float length;
  float step;                   // between keys; the ramps' ends are keys too
  std::vector<st_Motion> motions;
};

float Shape(const st_Motion& m, float t, float length) {
  if (m.cycles != 0.0f) return m.amp * std::sin(2.0f * std::numbers::pi_v<float> * (m.cycles * t / length + m.phase));
  if (m.rampEnd > 0.0f) return m.amp * std::fmin(1.0f, t / m.rampEnd);
  return m.amp;
}

std::string ClipXml(const st_Clip& c) {
  std::vector<float> times;
  for (float t = 0.0f; t < c.length - 1e-4f; t += c.step) times.push_back(t);
  times.push_back(c.length);
  for (const st_Motion& m : c.motions) {
    if (m.rampEnd > 0.0f && m.rampEnd < c.length) {
      auto at = times.begin();
      while (at != times.end() && *at < m.rampEnd - 1e-5f) ++at;
      if (at == times.end() || std::fabs(*at - m.rampEnd) > 1e-5f) times.insert(at, m.rampEnd);
    }
  }
  std::string x = "\t\t<animation name=\"" + std::string(c.name) + "\" length=\"" + Num(c.length) + "\">\n\t\t\t<tracks>\n";
  for (int b = 0; b < kBoneCount; ++b) {
    x += std::string("\t\t\t\t<track bone=\"") + kBoneNames[b] + "\">\n\t\t\t\t\t<keyframes>\n";
    for (float t : times) {
      V3 move;
      base::Quaternion q;
      for (const st_Motion& m : c.motions) {
        if (m.bone != b) continue;
        const float v = Shape(m, t, c.length);
        if (m.axis >= 'X' && m.axis <= 'Z') {
          move[m.axis - 'X'] += v;
        } else {
          V3 axis;
          axis[m.axis - 'x'] = 1.0f;
          base::Quaternion r;
          r.set_axis_angle(axis, v);
          q = q * r;
        }
      }
      const V3 axis = q.get_v().length() > 1e-6f ? q.get_v().normal() : V3(1, 0, 0);
      const float angle = 2.0f * std::acos(std::fmax(-1.0f, std::fmin(1.0f, q.w)));
      x += "\t\t\t\t\t\t<keyframe time=\"" + Num(t) + "\">" + XYZ("translate", move) + "<rotate angle=\"" +
           Num(angle) + "\">" + XYZ("axis", axis) + "</rotate></keyframe>\n";
    }
    x += "\t\t\t\t\t</keyframes>\n\t\t\t\t</track>\n";
  }
  return x + "\t\t\t</tracks>\n\t\t</animation>\n";
}

// Walking: the hip moves one stride per cycle (taken out again by UseReposition) and bobs twice.
std::vector<st_Motion> Walk(float stride, float swing) {
  return {Ramp(HIP, 'Z', stride, 1.0f),         Wave(HIP, 'Y', 1.5f, 2, 0.25f),
          Wave(THIGH_L, 'x', swing, 1),         Wave(THIGH_R, 'x', swing, 1, 0.5f),
          Wave(KNEE_L, 'x', 0.35f, 1, 0.25f),   Hold(KNEE_L, 'x', 0.35f),
          Wave(KNEE_R, 'x', 0.35f, 1, 0.75f),   Hold(KNEE_R, 'x', 0.35f),
          Wave(SHOULDER_L, 'x', -0.6f * swing, 1), Wave(SHOULDER_R, 'x', -0.6f * swing, 1, 0.5f),
          Wave(SPINE_A, 'y', 0.06f, 1)};
}

std::vector<st_Motion> Talk(float gesture) {
  return {Wave(ELBOW_R, 'x', -0.4f * gesture, 2), Wave(SHOULDER_R, 'z', 0.2f * gesture, 1),
          Wave(HEAD, 'x', 0.05f, 2),              Wave(SPINE_C, 'y', 0.04f, 1)};
}

std::vector<st_Motion> Applaud(float cycles, float bob) {
  return {Hold(SHOULDER_L, 'x', -0.9f), Hold(SHOULDER_R, 'x', -0.9f), Hold(ELBOW_L, 'x', -1.2f),
          Hold(ELBOW_R, 'x', -1.2f),    Wave(SHOULDER_L, 'y', 0.15f, cycles), Wave(SHOULDER_R, 'y', -0.15f, cycles),
          Wave(HIP, 'Y', bob, cycles / 2)};
}

std::vector<st_Motion> Booh() {
  return {Hold(SHOULDER_L, 'z', 1.2f), Hold(SHOULDER_R, 'z', -1.2f), Wave(ELBOW_L, 'x', -0.4f, 3),
          Wave(ELBOW_R, 'x', -0.4f, 3, 0.5f), Wave(HEAD, 'x', -0.1f, 3)};
}

std::vector<st_Motion> Dance(float variant) {
  return {Wave(HIP, 'Y', 3, 8),           Wave(HIP, 'y', 0.4f, 2 + variant), Wave(SHOULDER_L, 'z', 0.8f, 4),
          Wave(SHOULDER_R, 'z', -0.8f, 4, variant * 0.25f), Wave(THIGH_L, 'x', 0.3f, 8),
          Wave(THIGH_R, 'x', 0.3f, 8, 0.5f), Wave(HEAD, 'y', 0.2f, 4), Wave(SPINE_C, 'z', 0.15f, 4, 0.25f)};
}

std::vector<st_Clip> BodyClips() {
  return {
      {"idle", 2.0f, 0.25f, {Wave(SPINE_A, 'z', 0.02f, 1), Wave(HEAD, 'y', 0.05f, 1), Wave(SHOULDER_L, 'z', 0.03f, 1),
                             Wave(SHOULDER_R, 'z', -0.03f, 1)}},
      {"walk", 1.0f, 1.0f / 12, Walk(120.0f, 0.5f)},
      {"talk", 2.0f, 0.125f, Talk(1.0f)},
      {"talk_idle", 2.0f, 0.25f, Talk(0.3f)},
      {"turnaround_cw", 1.0f, 0.125f, {Ramp(HIP, 'y', -std::numbers::pi_v<float>, 1.0f), Wave(THIGH_L, 'x', 0.2f, 2)}},
      {"turnaround_ccw", 1.0f, 0.125f, {Ramp(HIP, 'y', std::numbers::pi_v<float>, 1.0f), Wave(THIGH_R, 'x', 0.2f, 2)}},
      {"pickup", 1.5f, 0.125f, {Wave(SPINE_A, 'x', 0.6f, 0.5f), Wave(KNEE_L, 'x', 0.8f, 0.5f),
                                Wave(KNEE_R, 'x', 0.8f, 0.5f), Wave(SHOULDER_R, 'x', -0.8f, 0.5f)}},
      {"manipulate", 2.0f, 0.125f, {Hold(SHOULDER_L, 'x', -0.5f), Hold(SHOULDER_R, 'x', -0.5f),
                                    Wave(ELBOW_L, 'x', -0.3f, 2), Wave(ELBOW_R, 'x', -0.3f, 2, 0.5f)}},
      {"pick_up_table", 1.5f, 0.125f, {Wave(SPINE_A, 'x', 0.3f, 0.5f), Wave(SHOULDER_R, 'x', -1.0f, 0.5f)}},
      {"Talk_smile", 2.0f, 0.125f, Talk(0.6f)},
      {"quillane_walk", 1.0f, 1.0f / 12, Walk(110.0f, 0.45f)},
      {"quillane_dance_01", 8.0f, 0.25f, Dance(0.0f)},
      {"quillane_dance_01_var01", 8.0f, 0.25f, Dance(1.0f)},
      {"quillane_curtsy", 2.0f, 0.125f, {Wave(KNEE_L, 'x', 0.6f, 0.5f), Wave(KNEE_R, 'x', 0.6f, 0.5f),
                                         Wave(SPINE_A, 'x', 0.3f, 0.5f), Wave(THIGH_R, 'x', -0.3f, 0.5f)}},
      {"quillane_dance_stumble", 1.5f, 0.125f, {Wave(SPINE_A, 'z', 0.4f, 1), Wave(SHOULDER_L, 'z', 0.8f, 0.5f),
                                                Wave(SHOULDER_R, 'z', -0.8f, 0.5f)}},
      {"male_applaud", 2.0f, 0.0625f, Applaud(8, 0.0f)},
      {"male_applaud_excited", 2.0f, 0.0625f, Applaud(12, 2.0f)},
      {"male_booh", 2.0f, 0.125f, Booh()},
      {"male_idle_02", 3.0f, 0.25f, {Wave(HIP, 'y', 0.1f, 1), Wave(HEAD, 'y', -0.15f, 1), Wave(SPINE_C, 'x', 0.04f, 2)}},
      {"female_applaude", 2.0f, 0.0625f, Applaud(8, 0.0f)},
      {"female_applaude_excited", 2.0f, 0.0625f, Applaud(12, 2.0f)},
      {"female_booh", 2.0f, 0.125f, Booh()},
      {"female_idle_02", 3.0f, 0.25f, {Wave(HIP, 'z', 0.05f, 1), Wave(HEAD, 'z', 0.08f, 1), Wave(SHOULDER_L, 'x', 0.1f, 1)}},
  };
}

// A viseme holds its mouth shape from 0 to 0.5 s: jaw opening, lips apart, corners wide (+) or
// round (−).
st_Clip Viseme(const char* name, float jaw, float lips, float wide) {
  return {name, 0.5f, 0.5f, {Hold(JAW, 'x', jaw), Hold(LIP_UP, 'Y', lips), Hold(LIP_LOW, 'Y', -lips),
                             Hold(MOUTH_L, 'X', wide), Hold(MOUTH_R, 'X', -wide)}};
}

std::vector<st_Clip> FaceClips() {
  return {
      {"eyes_idle", 2.0f, 0.25f, {Wave(EYE_L, 'y', 0.05f, 1), Wave(EYE_R, 'y', 0.05f, 1)}},
      {"eyes_left", 1.0f, 1.0f, {Ramp(EYE_L, 'y', 0.35f, 0.039f), Ramp(EYE_R, 'y', 0.35f, 0.039f)}},
      {"eyes_right", 1.0f, 1.0f, {Ramp(EYE_L, 'y', -0.35f, 0.039f), Ramp(EYE_R, 'y', -0.35f, 0.039f)}},
      {"eyes_up", 1.0f, 1.0f, {Ramp(EYE_L, 'x', -0.3f, 0.03f), Ramp(EYE_R, 'x', -0.3f, 0.03f)}},
      {"eyes_down", 1.0f, 1.0f, {Ramp(EYE_L, 'x', 0.3f, 0.03f), Ramp(EYE_R, 'x', 0.3f, 0.03f)}},
      {"look_left", 1.0f, 0.25f, {Ramp(HEAD, 'y', 0.6f, 1.0f), Ramp(NECK, 'y', 0.3f, 1.0f)}},
      {"look_right", 1.0f, 0.25f, {Ramp(HEAD, 'y', -0.6f, 1.0f), Ramp(NECK, 'y', -0.3f, 1.0f)}},
      {"bindpose", 1.0f, 1.0f, {}},
      Viseme("phonem_AI", 0.25f, 0.6f, 0.3f),
      Viseme("phonem_CONS", 0.08f, 0.2f, 0.1f),
      Viseme("phonem_E", 0.12f, 0.3f, 0.5f),
      Viseme("phonem_FV", 0.05f, -0.3f, 0.0f),
      Viseme("phonem_L", 0.15f, 0.3f, 0.1f),
      Viseme("phonem_MBP", 0.0f, -0.2f, 0.0f),
      Viseme("phonem_O", 0.2f, 0.5f, -0.5f),
      Viseme("phonem_UW", 0.08f, 0.3f, -0.7f),
      {"talkidle_face", 2.0f, 0.125f, {Wave(JAW, 'x', 0.05f, 4, 0.25f), Hold(JAW, 'x', 0.05f)}},
      {"female_lipsynch_dummy", 1.0f, 0.125f, {Wave(JAW, 'x', 0.1f, 2, 0.25f), Hold(JAW, 'x', 0.1f)}},
      {"emote_smile",
       1.0f,
       0.5f,
       {Ramp(MOUTH_L, 'Y', 0.6f, 0.5f), Ramp(MOUTH_R, 'Y', 0.6f, 0.5f), Ramp(BROW_L, 'Y', 0.3f, 0.5f),
        Ramp(BROW_R, 'Y', 0.3f, 0.5f)}},
      {"emote_frown",
       1.0f,
       0.5f,
       {Ramp(MOUTH_L, 'Y', -0.5f, 0.5f), Ramp(MOUTH_R, 'Y', -0.5f, 0.5f), Ramp(BROW_L, 'Y', -0.4f, 0.5f),
        Ramp(BROW_R, 'Y', -0.4f, 0.5f)}},
      {"emote_surprise",
       1.0f,
       0.5f,
       {Ramp(BROW_L, 'Y', 0.6f, 0.5f), Ramp(BROW_R, 'Y', 0.6f, 0.5f), Ramp(JAW, 'x', 0.15f, 0.5f)}},
  };
}

std::string SkeletonXml(const st_Figure& f, const std::vector<st_Clip>& clips) {
  const std::vector<V3> j = Joints(f);
  std::string x = "<skeleton>\n\t<bones>\n";
  for (int b = 0; b < kBoneCount; ++b) {
    const V3 relative = kParents[b] == NO_BONE ? j[b] : j[b] - j[kParents[b]];
    x += "\t\t<bone id=\"" + std::to_string(b) + "\" name=\"" + kBoneNames[b] + "\">" + XYZ("position", relative) +
         "<rotation angle=\"0\"><axis x=\"1\" y=\"0\" z=\"0\"/></rotation></bone>\n";
  }
  x += "\t</bones>\n\t<bonehierarchy>\n";
  for (int b = 0; b < kBoneCount; ++b) {
    if (kParents[b] != NO_BONE)
      x += std::string("\t\t<boneparent bone=\"") + kBoneNames[b] + "\" parent=\"" + kBoneNames[kParents[b]] + "\"/>\n";
  }
  x += "\t</bonehierarchy>\n\t<animations>\n";
  for (const st_Clip& c : clips) x += ClipXml(c);
  return x + "\t</animations>\n</skeleton>\n";
}

// The subsets the character code blends and layers with (bone, weight).
std::string SubsetsXml() {
  struct st_Set {
    const char* label;
    std::vector<std::pair<int, float>> bones;
  };
  const st_Set sets[] = {
      {"facials", {{5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}, {10, 1}, {11, 1}, {12, 1}, {13, 1}, {14, 1}, {15, 1}}},
      {"eyes", {{EYE_L, 1}, {EYE_R, 1}, {LID_L, 1}, {LID_R, 1}}},
      {"looking", {{HEAD, 1.0f}, {NECK, 0.6f}, {SPINE_C, 0.3f}}},
      {"mouth", {{JAW, 1}, {LIP_UP, 1}, {LIP_LOW, 1}, {MOUTH_L, 1}, {MOUTH_R, 1}}},
      {"face", {{BROW_L, 1}, {BROW_R, 1}, {LID_L, 1}, {LID_R, 1}, {MOUTH_L, 1}, {MOUTH_R, 1}}},
      {"dance_stumble", {{SPINE_A, 0.5f}, {SPINE_C, 0.5f}, {SHOULDER_L, 0.5f}, {ELBOW_L, 0.5f}, {WRIST_L, 0.5f},
                         {SHOULDER_R, 0.5f}, {ELBOW_R, 0.5f}, {WRIST_R, 0.5f}}},
  };
  std::string x = "<Subsets>\n";
  for (const st_Set& s : sets) {
    x += std::string("\t<Subset label=\"") + s.label + "\">\n";
    for (const auto& b : s.bones)
      x += std::string("\t\t<Bone label=\"") + kBoneNames[b.first] + "\" weight=\"" + Num(b.second) + "\"/>\n";
    x += "\t</Subset>\n";
  }
  return x + "</Subsets>\n";
}

}  // namespace

bool MakeFigure(cl_Output& out) {
  bool ok = true;
  for (const st_Figure& f : kFigures) {
    const std::string dir = std::string("characters/") + f.label + "/" + f.label;
    ok = out.WriteText(dir + "_mesh.xml", MeshXml(f)) && ok;
    ok = out.WriteText(dir + "_skeleton.xml", SkeletonXml(f, BodyClips())) && ok;
    ok = out.WriteText(dir + "_face.xml", SkeletonXml(f, FaceClips())) && ok;
    ok = out.WriteText(dir + "_subsets.xml", SubsetsXml()) && ok;
  }
  return ok;
}

}  // namespace demogen
