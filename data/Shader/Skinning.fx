// The skinning effect. Lines starting with "//!" name the techniques and open the vertex and
// fragment sections; text before the first section is shared. Each technique is compiled with
// TECHNIQUE_<name> defined. Matrices apply as M * v (the engine's row-vector matrices).
//! technique Skinned
//! technique CC_Skinned
uniform mat4 World;
uniform mat4 WorldIT;
uniform mat4 ViewProjection;
uniform mat4 WorldViewProjection;
uniform mat4 BoneWorld[25];
uniform float NumBones;
uniform vec3 CameraPosition;
uniform int CurNumLights;
uniform int NumLights;
uniform vec4 LightPosNrml[8];   // point-light position or directional-light direction (xyz)
uniform vec4 LightColor[8];     // rgb
uniform float LightRange[8];    // 0 = directional
uniform vec3 Color;             // ambient, or the constant colour of CC_Skinned
uniform float DiffuseCoeff;
uniform float SpecularCoeff;
uniform float SpecularPower;
uniform int AlphaMode;          // 0 opaque; 1 first alpha pass (depth writes); 2 second (blended)
uniform int AlphaBlend;         // 1 while a texture override is drawn
uniform sampler2D ColorTexture;
//! vertex
out vec3 vWorldPos;
out vec3 vWorldNormal;
out vec2 vUv;
void main() {
  // Three weights are stored; the fourth makes the sum one.
  vec4 w = vec4(aBlendWeight.xyz, 1.0 - aBlendWeight.x - aBlendWeight.y - aBlendWeight.z);
  ivec4 bone = ivec4(aBlendIndices + 0.5);
  vec4 p = vec4(aPosition.xyz, 1.0);
  vec3 n = -aNormal;  // stored negated
  vec4 position = vec4(0.0);
  vec3 normal = vec3(0.0);
  for (int k = 0; k < 4; ++k) {
    if (float(k) >= NumBones) break;
    mat4 m = BoneWorld[clamp(bone[k], 0, 24)];
    position += w[k] * (m * p);
    normal += w[k] * (mat3(m) * n);
  }
  vWorldPos = position.xyz / max(position.w, 1e-6);
  vWorldNormal = normal;
  vUv = aTex0.xy;
  gl_Position = gpuClip(ViewProjection * vec4(vWorldPos, 1.0));
}
//! fragment
in vec3 vWorldPos;
in vec3 vWorldNormal;
in vec2 vUv;
void main() {
  vec4 texel = texture(ColorTexture, vUv);
#ifdef TECHNIQUE_CC_Skinned
  vec4 colour = vec4(Color, texel.a);
#else
  vec3 N = normalize(vWorldNormal);
  vec3 light = Color;
  for (int i = 0; i < 8; ++i) {
    if (i >= CurNumLights) break;
    vec3 L;
    float reach = 1.0;
    if (LightRange[i] == 0.0) {
      L = -normalize(LightPosNrml[i].xyz);
    } else {
      vec3 d = LightPosNrml[i].xyz - vWorldPos;
      float dist = length(d);
      L = dist > 0.0 ? d / dist : vec3(0.0);
      reach = dist > LightRange[i] ? 0.0 : 1.0;  // full strength within range, as the fixed path
    }
    light += DiffuseCoeff * reach * max(dot(N, L), 0.0) * LightColor[i].rgb;
  }
  vec4 colour = vec4(texel.rgb * clamp(light, 0.0, 1.0), texel.a);
#endif
  // The first alpha pass keeps the mostly solid texels (they write depth); the second blends
  // the rest over them.
  // An override texture keeps its alpha everywhere: the editors' see-through silhouettes.
  if (AlphaMode == 0 && AlphaBlend == 0) colour.a = 1.0;
  if (AlphaMode == 1 && colour.a < 0.5) discard;
  if (AlphaMode == 2 && colour.a >= 0.5) discard;
  outColor = colour;
}
