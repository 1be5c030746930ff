// The fixed-function pipeline as generated GLSL: vertex transform and lighting, then up to three
// texture stages. Each distinct state combination becomes one program, cached by a text key.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/Log.h"

namespace gpu {
namespace {

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

// Inverse of the upper 3×3 of m, row-major; identity when singular.
void Inverse3(const Matrix& m, float out[9]) {
  const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2], d = m.m[1][0], e = m.m[1][1], f = m.m[1][2],
              g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
  const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  const float det = a * A + b * B + c * C;
  if (std::fabs(det) < 1e-30f) {
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::memcpy(out, identity, sizeof identity);
    return;
  }
  const float k = 1.0f / det;
  out[0] = A * k, out[1] = -(b * i - c * h) * k, out[2] = (b * f - c * e) * k;
  out[3] = B * k, out[4] = (a * i - c * g) * k, out[5] = -(a * f - c * d) * k;
  out[6] = C * k, out[7] = -(a * h - b * g) * k, out[8] = (a * e - b * d) * k;
}

void ColorToVec4(uint32_t argb, float out[4]) {
  out[0] = float((argb >> 16) & 0xFF) / 255.0f;
  out[1] = float((argb >> 8) & 0xFF) / 255.0f;
  out[2] = float(argb & 0xFF) / 255.0f;
  out[3] = float(argb >> 24) / 255.0f;
}

GLuint CompileStage(GLenum kind, const std::string& source, std::string* errors) {
  const GLuint shader = glCreateShader(kind);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    if (errors) *errors += log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

// The argument of a texture stage as a GLSL vec4 expression.
std::string StageArg(uint32_t arg, uint32_t stage) {
  std::string v;
  switch (arg & ta::SelectMask) {
    case ta::Diffuse: v = "vDiffuse"; break;
    case ta::Current: v = "cur"; break;
    case ta::Texture: v = "t" + std::to_string(stage); break;
    case ta::TFactor: v = "uFactor"; break;
    case ta::Specular: v = "vSpecular"; break;
    default: v = "vec4(1.0)"; break;
  }
  if (arg & ta::AlphaReplicate) v = "(" + v + ").aaaa";
  if (arg & ta::Complement) v = "(vec4(1.0) - " + v + ")";
  return v;
}

std::string StageOp(uint32_t op, const std::string& a1, const std::string& a2) {
  switch (op) {
    case top::SelectArg1: return a1;
    case top::SelectArg2: return a2;
    case top::Modulate: return a1 + " * " + a2;
    case top::Modulate2X: return "2.0 * " + a1 + " * " + a2;
    case top::Modulate4X: return "4.0 * " + a1 + " * " + a2;
    case top::Add: return a1 + " + " + a2;
    case top::AddSigned: return a1 + " + " + a2 + " - 0.5";
    case top::AddSigned2X: return "2.0 * (" + a1 + " + " + a2 + " - 0.5)";
    case top::Subtract: return a1 + " - " + a2;
    default: return a1;
  }
}

const char* kUniforms =
    "uniform mat4 uWorldView; uniform mat4 uProjection; uniform mat3 uNormalMatrix;\n"
    "uniform vec4 uViewportPx; uniform vec4 uAmbient; uniform vec4 uMatDiffuse; uniform vec4 uMatAmbient;\n"
    "uniform vec4 uMatEmissive; uniform vec4 uLightDiffuse[8]; uniform vec4 uLightAmbient[8];\n"
    "uniform vec3 uLightVector[8]; uniform float uLightRange[8]; uniform vec3 uLightAtten[8];\n"
    "out vec4 vDiffuse; out vec4 vSpecular; out vec4 vTex0; out vec4 vTex1; out vec4 vTex2; out vec4 vTex3;\n";

}  // namespace

const char* VertexPrologue() {
  return "#version 330 core\n"
         "layout(location = 0) in vec4 aPosition;\n"
         "layout(location = 1) in vec4 aBlendWeight;\n"
         "layout(location = 2) in vec4 aBlendIndices;\n"
         "layout(location = 3) in vec3 aNormal;\n"
         "layout(location = 4) in vec4 aDiffuse;\n"
         "layout(location = 5) in vec4 aSpecular;\n"
         "layout(location = 6) in vec4 aTex0;\n"
         "layout(location = 7) in vec4 aTex1;\n"
         "layout(location = 8) in vec4 aTex2;\n"
         "layout(location = 9) in vec4 aTex3;\n"
         "uniform vec2 uClipAdjust;\n"
         // Direct3D clip space (y up, z 0..w, pixel centres on integers) to GL's, with our
         // targets stored top row first.
         "vec4 gpuClip(vec4 p) {\n"
         "  return vec4(p.x + p.w * uClipAdjust.x, -p.y + p.w * uClipAdjust.y, 2.0 * p.z - p.w, p.w);\n"
         "}\n";
}

const char* FragmentPrologue() {
  return "#version 330 core\n"
         "in vec4 vDiffuse; in vec4 vSpecular; in vec4 vTex0; in vec4 vTex1; in vec4 vTex2; in vec4 vTex3;\n"
         "uniform sampler2D uSampler0; uniform sampler2D uSampler1; uniform sampler2D uSampler2;\n"
         "uniform sampler2D uSampler3;\n"
         "uniform vec4 uConst[8]; uniform vec4 uFactor; uniform float uAlphaRef;\n"
         "out vec4 outColor;\n";
}

GLuint CompileProgram(const std::string& vertex, const std::string& fragment, std::string* errors) {
  const GLuint vs = CompileStage(GL_VERTEX_SHADER, vertex, errors);
  const GLuint fs = vs ? CompileStage(GL_FRAGMENT_SHADER, fragment, errors) : 0;
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    return 0;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    if (errors) *errors += log;
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

GlProgram* DeviceImpl::ProgramFor() {
  const auto& r = renderStates;
  const bool lit = !inputs.rhw && r[rs::Lighting];
  // The key names everything the generated code depends on. ORDER KEY: the generator below.
  std::string key;
  key.reserve(64);
  key += inputs.rhw ? 'R' : 'T';
  key += inputs.normal ? 'n' : '-';
  key += inputs.diffuse ? 'd' : '-';
  key += inputs.specular ? 's' : '-';
  key += char('0' + inputs.texSets);
  if (lit) {
    key += 'L';
    for (uint32_t i = 0; i < kLights; ++i)
      if (lightEnabled[i]) key += lights[i].type == light::Directional ? 'D' : 'P';
    key += r[rs::NormalizeNormals] ? 'N' : '-';
    key += r[rs::ColorVertex] ? 'c' : '-';
    key += char('0' + (r[rs::DiffuseMaterialSource] & 3));
    key += char('0' + (r[rs::AmbientMaterialSource] & 3));
    key += char('0' + (r[rs::EmissiveMaterialSource] & 3));
  }
  if (pixelShader) {
    key += 'S' + std::to_string(pixelShader->id_);
  } else {
    for (uint32_t s = 0; s < kStages; ++s) {
      const uint32_t* t = stageStates[s];
      if (t[tss::ColorOp] == top::Disable) break;
      char stage[64];
      std::snprintf(stage, sizeof stage, "|%u,%u,%u,%u,%u,%u,%u", t[tss::ColorOp], t[tss::ColorArg1],
                    t[tss::ColorArg2], t[tss::AlphaOp], t[tss::AlphaArg1], t[tss::AlphaArg2],
                    t[tss::TexCoordIndex] & 0xFFFF);
      key += stage;
    }
  }
  const bool alphaTest = r[rs::AlphaTestEnable] && r[rs::AlphaFunc] != cmp::Always;
  if (alphaTest) key += "|A" + std::to_string(r[rs::AlphaFunc]);
  if (lastProgram && key == lastKey) return lastProgram;
  auto found = programCache.find(key);
  if (found != programCache.end()) {
    lastKey = key;
    return lastProgram = &found->second;
  }

  // ---- vertex stage
  std::string vs = VertexPrologue();
  vs += kUniforms;
  vs += "void main() {\n";
  if (inputs.rhw) {
    // Screen positions with pixel centres on integers; rhw carries w for perspective-correct
    // interpolation.
    vs += "  float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;\n"
          "  vec2 ndc = (aPosition.xy + 0.5 - uViewportPx.xy) / uViewportPx.zw * 2.0 - 1.0;\n"
          "  gl_Position = vec4(ndc * w, (2.0 * aPosition.z - 1.0) * w, w);\n";
  } else {
    vs += "  vec4 pv = uWorldView * vec4(aPosition.xyz, 1.0);\n"
          "  gl_Position = gpuClip(uProjection * pv);\n";
  }
  vs += std::string("  vec4 vertexColor = ") + (inputs.diffuse ? "aDiffuse" : "vec4(1.0)") + ";\n";
  if (lit) {
    const bool colorVertex = r[rs::ColorVertex] != 0;
    auto source = [&](uint32_t which, const char* fromMaterial) -> std::string {
      if (colorVertex && which == mcs::Color1 && inputs.diffuse) return "aDiffuse";
      if (colorVertex && which == mcs::Color2 && inputs.specular) return "aSpecular";
      return fromMaterial;
    };
    vs += "  vec4 md = " + source(r[rs::DiffuseMaterialSource], "uMatDiffuse") + ";\n";
    vs += "  vec4 ma = " + source(r[rs::AmbientMaterialSource], "uMatAmbient") + ";\n";
    vs += "  vec4 me = " + source(r[rs::EmissiveMaterialSource], "uMatEmissive") + ";\n";
    // Without normals the diffuse term vanishes; ambient and emissive still light the vertex.
    vs += inputs.normal ? "  vec3 N = uNormalMatrix * aNormal;\n" : "  vec3 N = vec3(0.0);\n";
    if (r[rs::NormalizeNormals] && inputs.normal) vs += "  if (dot(N, N) > 0.0) N = normalize(N);\n";
    vs += "  vec3 diffuse = vec3(0.0); vec3 ambient = vec3(0.0);\n";
    uint32_t slot = 0;
    for (uint32_t i = 0; i < kLights; ++i) {
      if (!lightEnabled[i]) continue;
      const std::string k = std::to_string(slot++);
      if (lights[i].type == light::Directional) {
        vs += "  diffuse += max(dot(N, uLightVector[" + k + "]), 0.0) * uLightDiffuse[" + k + "].rgb;\n";
        vs += "  ambient += uLightAmbient[" + k + "].rgb;\n";
      } else {
        vs += "  {\n"
              "    vec3 d = uLightVector[" + k + "] - pv.xyz; float dist = length(d);\n"
              "    vec3 at = uLightAtten[" + k + "];\n"
              "    float sum = at.x + at.y * dist + at.z * dist * dist;\n"
              "    float atten = dist > uLightRange[" + k + "] ? 0.0 : (sum > 0.0 ? 1.0 / sum : 1.0);\n"
              "    vec3 L = dist > 0.0 ? d / dist : vec3(0.0);\n"
              "    diffuse += atten * max(dot(N, L), 0.0) * uLightDiffuse[" + k + "].rgb;\n"
              "    ambient += atten * uLightAmbient[" + k + "].rgb;\n"
              "  }\n";
      }
    }
    vs += "  vDiffuse = clamp(vec4(me.rgb + ma.rgb * (uAmbient.rgb + ambient) + md.rgb * diffuse, md.a), 0.0, 1.0);\n";
  } else {
    vs += "  vDiffuse = vertexColor;\n";
  }
  vs += std::string("  vSpecular = ") + (inputs.specular ? "aSpecular" : "vec4(0.0)") + ";\n";
  for (uint32_t i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i);
    vs += "  vTex" + n + " = " + (i < inputs.texSets ? "aTex" + n : std::string("vec4(0.0)")) + ";\n";
  }
  vs += "}\n";

  // ---- fragment stage
  std::string fs = FragmentPrologue();
  if (pixelShader) {
    fs += pixelShader->source_;
  } else {
    fs += "void main() {\n  vec4 cur = vDiffuse;\n";
    for (uint32_t s = 0; s < kStages; ++s) {
      const uint32_t* t = stageStates[s];
      if (t[tss::ColorOp] == top::Disable) break;
      const std::string n = std::to_string(s);
      const uint32_t set = t[tss::TexCoordIndex] & 0xFFFF;
      fs += "  {\n    vec4 t" + n + " = texture(uSampler" + n + ", vTex" + std::to_string(set < 4 ? set : 0) + ".xy);\n";
      fs += "    vec3 c = (" + StageOp(t[tss::ColorOp], StageArg(t[tss::ColorArg1], s) + ".rgb",
                                        StageArg(t[tss::ColorArg2], s) + ".rgb") + ");\n";
      // A disabled alpha operation on a live stage passes the alpha through.
      const std::string alpha = t[tss::AlphaOp] == top::Disable
                                    ? std::string("cur.a")
                                    : StageOp(t[tss::AlphaOp], StageArg(t[tss::AlphaArg1], s) + ".a",
                                              StageArg(t[tss::AlphaArg2], s) + ".a");
      fs += "    float a = " + alpha + ";\n";
      fs += "    cur = clamp(vec4(c, a), 0.0, 1.0);\n  }\n";
    }
    if (alphaTest) {
      // Compared on the 0..255 scale the reference value uses.
      static const char* kPass[] = {"false", "a < ref", "a == ref", "a <= ref", "a > ref", "a != ref", "a >= ref", "true"};
      const uint32_t f = r[rs::AlphaFunc];
      fs += "  { float a = floor(cur.a * 255.0 + 0.5); float ref = uAlphaRef;\n";
      fs += std::string("    if (!(") + (f >= 1 && f <= 8 ? kPass[f - 1] : "true") + ")) discard; }\n";
    }
    fs += "  outColor = cur;\n}\n";
  }

  std::string errors;
  GlProgram p;
  p.name = CompileProgram(vs, fs, &errors);
  if (!p.name) {
    Log("ERROR: gpu: fixed-function program '%s' failed:\n%s\n", key.c_str(), errors.c_str());
    return nullptr;
  }
  auto at = [&](const char* name) { return glGetUniformLocation(p.name, name); };
  p.worldView = at("uWorldView");
  p.projection = at("uProjection");
  p.normalMatrix = at("uNormalMatrix");
  p.viewportPx = at("uViewportPx");
  p.clipAdjust = at("uClipAdjust");
  p.factor = at("uFactor");
  p.ambient = at("uAmbient");
  p.matDiffuse = at("uMatDiffuse");
  p.matAmbient = at("uMatAmbient");
  p.matEmissive = at("uMatEmissive");
  p.lightDiffuse = at("uLightDiffuse");
  p.lightAmbient = at("uLightAmbient");
  p.lightVector = at("uLightVector");
  p.lightRange = at("uLightRange");
  p.lightAtten = at("uLightAtten");
  p.constants = at("uConst");
  p.alphaRef = at("uAlphaRef");
  glUseProgram(p.name);
  for (uint32_t i = 0; i < 4; ++i) {
    const std::string name = "uSampler" + std::to_string(i);
    p.samplers[i] = at(name.c_str());
    if (p.samplers[i] >= 0) glUniform1i(p.samplers[i], GLint(i));
  }
  lastKey = key;
  return lastProgram = &(programCache[key] = p);
}

void DeviceImpl::FeedUniforms(GlProgram& p) {
  const Matrix worldView = Multiply(world, view);
  glUniformMatrix4fv(p.worldView, 1, GL_FALSE, &worldView.m[0][0]);
  glUniformMatrix4fv(p.projection, 1, GL_FALSE, &projection.m[0][0]);
  if (p.normalMatrix >= 0) {
    float inverse[9];
    Inverse3(worldView, inverse);
    glUniformMatrix3fv(p.normalMatrix, 1, GL_TRUE, inverse);
  }
  glUniform4f(p.viewportPx, float(viewport.x), float(viewport.y), float(viewport.width), float(viewport.height));
  glUniform2f(p.clipAdjust, 1.0f / float(viewport.width), 1.0f / float(viewport.height));
  float v[4];
  ColorToVec4(renderStates[rs::TextureFactor], v);
  glUniform4fv(p.factor, 1, v);
  if (p.constants >= 0) glUniform4fv(p.constants, 8, &constants[0][0]);
  if (p.alphaRef >= 0) glUniform1f(p.alphaRef, float(renderStates[rs::AlphaRef] & 0xFF));
  if (p.ambient < 0 && p.lightDiffuse < 0) return;
  ColorToVec4(renderStates[rs::Ambient], v);
  glUniform4fv(p.ambient, 1, v);
  glUniform4fv(p.matDiffuse, 1, &material.diffuse.r);
  glUniform4fv(p.matAmbient, 1, &material.ambient.r);
  glUniform4fv(p.matEmissive, 1, &material.emissive.r);
  float diffuse[kLights][4], ambient[kLights][4], vector[kLights][3], range[kLights], atten[kLights][3];
  uint32_t n = 0;
  for (uint32_t i = 0; i < kLights; ++i) {
    if (!lightEnabled[i]) continue;
    const Light& l = lights[i];
    std::memcpy(diffuse[n], &l.diffuse.r, sizeof diffuse[n]);
    std::memcpy(ambient[n], &l.ambient.r, sizeof ambient[n]);
    const Matrix& m = view;
    if (l.type == light::Directional) {
      // Toward the light, in view space, unit length.
      const float x = -l.direction.x, y = -l.direction.y, z = -l.direction.z;
      float t[3] = {x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0], x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1],
                    x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2]};
      const float len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
      for (float& c : t) c = len > 0 ? c / len : 0.0f;
      std::memcpy(vector[n], t, sizeof t);
    } else {
      const Vec3& q = l.position;
      vector[n][0] = q.x * m.m[0][0] + q.y * m.m[1][0] + q.z * m.m[2][0] + m.m[3][0];
      vector[n][1] = q.x * m.m[0][1] + q.y * m.m[1][1] + q.z * m.m[2][1] + m.m[3][1];
      vector[n][2] = q.x * m.m[0][2] + q.y * m.m[1][2] + q.z * m.m[2][2] + m.m[3][2];
    }
    range[n] = l.range;
    atten[n][0] = l.attenuation0, atten[n][1] = l.attenuation1, atten[n][2] = l.attenuation2;
    ++n;
  }
  if (n == 0) return;
  glUniform4fv(p.lightDiffuse, GLsizei(n), &diffuse[0][0]);
  glUniform4fv(p.lightAmbient, GLsizei(n), &ambient[0][0]);
  glUniform3fv(p.lightVector, GLsizei(n), &vector[0][0]);
  glUniform1fv(p.lightRange, GLsizei(n), range);
  glUniform3fv(p.lightAtten, GLsizei(n), &atten[0][0]);
}

}  // namespace gpu
