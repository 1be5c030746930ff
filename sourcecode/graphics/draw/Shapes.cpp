// The picture and shape helpers: textures, images and strips at a position, textured bands,
// flat 2D shapes and the world-space primitives.
#include <cmath>
#include <numbers>

#include "base/math/Function2.h"
#include "base/math/Matrix4.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "platform/gpu/Device.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfx {

namespace {

namespace rec = win32dx9::rec;
using V2 = base::tVector2<float>;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

V2 Normalised(V2 v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y);
  return length > 0.0f ? V2(v.x / length, v.y / length) : V2(0.0f, 0.0f);
}

void WrapAddressing(gpu::Device* device) {
  device->SetSamplerState(0, gpu::ss::AddressU, gpu::address::Wrap);
  device->SetSamplerState(0, gpu::ss::AddressV, gpu::address::Wrap);
}

void Quad(V2 a, float ua, float va, V2 b, float ub, float vb, V2 c, float uc, float vc, V2 d, float ud, float vd) {
  rec::BitmapAddQuad();
  rec::BitmapAddVertex(a.x, a.y, ua, va, kWhite);
  rec::BitmapAddVertex(b.x, b.y, ub, vb, kWhite);
  rec::BitmapAddVertex(c.x, c.y, uc, vc, kWhite);
  rec::BitmapAddVertex(d.x, d.y, ud, vd, kWhite);
  rec::BitmapFlush();
}

}  // namespace

// ---- Images and textures

void DrawImage(cl_Image* image, float x, float y, float scale) {
  if (!image) {
    base::sys::Output("ERROR: DrawImage without an image\n");
    return;
  }
  image->Draw(x, y, scale);
}

void DrawTextureAt(cl_Texture* texture, float x, float y, float scale) {
  if (texture) texture->Draw(x / scale, y / scale, scale);
}

void DrawTextureBlended(cl_Texture* texture, cl_Texture* second, float x, float y, float scale) {
  if (texture && second) texture->DrawBlended(second, x / scale, y / scale, scale);
}

void DrawTextureRotated(cl_Texture* texture, float x, float y, float angle, float scale) {
  if (texture) texture->DrawRotated(x / scale, y / scale, angle, scale);
}

void DrawTextureStripFrame(cl_TextureStrip* strip, float x, float y, float position, float scale) {
  if (strip) strip->DrawFrame(x, y, position, scale);
}

void DrawTextureQuad(const base::tRectf& rect, cl_Texture* texture) {
  if (!texture) {
    base::sys::Output("ERROR: DrawTextureQuad without a texture\n");
    return;
  }
  texture->Bind(0);
  const float x1 = rect.min.x - 0.5f, y1 = rect.min.y - 0.5f, x2 = rect.max.x - 0.5f, y2 = rect.max.y - 0.5f;
  Quad({x1, y1}, 0, 0, {x1, y2}, 0, 1, {x2, y2}, 1, 1, {x2, y1}, 1, 0);
}

void DrawTextureRect(float x1, float y1, float x2, float y2, cl_Texture* texture) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!texture) {
    base::sys::Output("ERROR: DrawTextureRect without a texture\n");
    return;
  }
  if (!device) return;
  WrapAddressing(device);
  texture->Bind(0);
  const float W = static_cast<float>(texture->GetWidth()), H = static_cast<float>(texture->GetHeight());
  const V2 p1(x1, y1), p2(x2, y2);
  const V2 d = Normalised(p2 - p1);
  const V2 n = V2(-d.y, d.x) * (W * 0.5f);
  const V2 span = p2 - p1;
  const float L = H > 0.0f ? std::sqrt(span.x * span.x + span.y * span.y) / H : 0.0f;
  Quad(p1 - n, 0, 0, p1 + n, 1, 0, p2 + n, 1, L, p2 - n, 0, L);
}

void DrawTextureTiled(const Function2& curve, cl_Texture* texture, float scale) {
  gpu::Device* device = win32dx9::GetD3DDevice();
  if (!texture) {
    base::sys::Output("ERROR: DrawTextureTiled without a texture\n");
    return;
  }
  if (!device) return;
  texture->Bind(0);
  WrapAddressing(device);
  const int count = curve.GetNumPoints();
  if (count < 2) return;
  auto point = [&curve](int i) { return V2(curve.GetPoint(i).x, curve.GetPoint(i).y); };
  const float hw = static_cast<float>(texture->GetWidth()) * scale * 0.5f;
  const float repeat = static_cast<float>(texture->GetHeight()) * scale;
  float v = 0.0f;
  for (int i = 1; i < count; ++i) {
    const V2 t0 = Normalised(i == 1 ? point(1) - point(0) : point(i) - point(i - 2));
    const V2 t1 = Normalised(i == count - 1 ? point(i) - point(i - 1) : point(i + 1) - point(i - 1));
    const V2 s0 = V2(-t0.y, t0.x) * hw, s1 = V2(-t1.y, t1.x) * hw;
    const V2 span = point(i) - point(i - 1);
    const float next = v + (repeat != 0.0f ? std::sqrt(span.x * span.x + span.y * span.y) / repeat : 0.0f);
    Quad(point(i - 1) - s0, 0, v, point(i - 1) + s0, 1, v, point(i) + s1, 1, next, point(i) - s1, 0, next);
    v = next;
  }
}

// ---- Flat shapes

void FillRect(float x1, float y1, float x2, float y2, uint32_t colour) {
  SetBlendColor(colour);
  Quad({x1 - 0.5f, y1 - 0.5f}, 0, 0, {x2 - 0.5f, y1 - 0.5f}, 1, 0, {x2 - 0.5f, y2 - 0.5f}, 1, 1, {x1 - 0.5f, y2 - 0.5f},
       0, 1);
}

void FillRect(const base::tRectf& rect, uint32_t colour) { FillRect(rect.min.x, rect.min.y, rect.max.x, rect.max.y, colour); }

void DrawLine(float x1, float y1, float x2, float y2, uint32_t colour, float width) {
  const V2 p1(x1, y1), p2(x2, y2);
  const V2 d = Normalised(p2 - p1);
  const V2 n = V2(-d.y, d.x) * (width * 0.5f);
  SetBlendColor(colour);
  Quad(p1 - n, 0, 0, p1 + n, 1, 0, p2 + n, 1, 1, p2 - n, 0, 1);
}

void DrawLine(float x1, float y1, float x2, float y2, uint32_t colour) { DrawLine(x1, y1, x2, y2, colour, 1.0f); }

void DrawRect(int x1, int y1, int x2, int y2, uint32_t colour) {
  const float l = static_cast<float>(x1), t = static_cast<float>(y1), r = static_cast<float>(x2),
              b = static_cast<float>(y2);
  DrawLine(l, t, r, t, colour, 1.0f);
  DrawLine(l, t, l, b, colour, 1.0f);
  DrawLine(r, t, r, b, colour, 1.0f);
  DrawLine(l, b, r, b, colour, 1.0f);
}

void DrawCircle(int cx, int cy, float radius, uint32_t colour) {
  // A radius that is not a positive number would never end the loop, a tiny one makes millions
  // of segments.
  if (!(radius > 0.0f) || !std::isfinite(radius)) return;
  const float step = std::max((2.0f * std::numbers::pi_v<float>) / radius, (2.0f * std::numbers::pi_v<float>) / static_cast<float>(kMaxCircleSegments));
  const float x = static_cast<float>(cx), y = static_cast<float>(cy);
  V2 previous(x, y + radius);
  float angle = 0.0f;
  do {
    angle += step;
    const V2 point(x + radius * std::sin(angle), y + radius * std::cos(angle));
    DrawLine(previous.x, previous.y, point.x, point.y, colour, 1.0f);
    previous = point;
  } while (angle < (2.0f * std::numbers::pi_v<float>));
}

void DrawTriangle2D(const st_Vertex2D& a, const st_Vertex2D& b, const st_Vertex2D& c) {
  rec::BitmapAddTriangle();
  for (const st_Vertex2D* v : {&a, &b, &c}) rec::BitmapAddVertex(v->x, v->y, v->u, v->v, kWhite);
  rec::BitmapFlush();
}

// ---- World space

void DrawLine3D(const base::tVector3<float>& a, const base::tVector3<float>& b, uint32_t colour) {
  SetBlendColor(colour);
  rec::DiffAddLine();
  rec::DiffAddVertex(a.x, a.y, a.z, 0.0f, 0.0f, colour);
  rec::DiffAddVertex(b.x, b.y, b.z, 0.0f, 0.0f, colour);
  rec::DiffFlushLines();
}

void DrawTriangle3D(const base::tVector3<float>& a, const base::tVector3<float>& b, const base::tVector3<float>& c,
                    uint32_t colour) {
  SetBlendColor(colour);
  rec::DiffAddTriangle();
  for (const base::tVector3<float>* p : {&a, &b, &c}) rec::DiffAddVertex(p->x, p->y, p->z, 0.0f, 0.0f, colour);
  rec::DiffFlushTriangles();
}

void DrawQuad3D(const base::tVector3<float>& c, const base::tVector3<float>& a, const base::tVector3<float>& b) {
  SetWorldMatrix(base::Matrix4());
  const base::tVector3<float> n(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
  const base::tVector3<float> corners[4] = {c - a - b, c + a - b, c + a + b, c - a + b};
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  rec::ModelAddQuad();
  for (int i = 0; i < 4; ++i)
    rec::ModelAddVertex(corners[i].x, corners[i].y, corners[i].z, n.x, n.y, n.z, uv[i][0], uv[i][1]);
  rec::ModelFlush();
}

void MakeFlattenMatrix(base::Matrix4& out, float a, float b, const base::tVector3<float>& pivot) {
  base::Matrix4 flatten;
  flatten(1, 0) = a, flatten(1, 1) = 0.0f, flatten(1, 2) = b, flatten(1, 3) = 0.0f;
  base::Matrix4 toPivot, back;
  toPivot.translation(-pivot.x, -pivot.y, -pivot.z);
  back.translation(pivot);
  out = toPivot * flatten * back;
}

}  // namespace gfx
