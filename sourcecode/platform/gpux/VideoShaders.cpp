#include "platform/gpux/VideoShaders.h"

namespace gpux {

#define QUILLANE_YUV_TO_RGB                                                                 \
  "  float y = texture(uSampler0, vTex0.xy).a;\n"                                          \
  "  float cr = texture(uSampler1, vTex0.xy).a;\n"                                         \
  "  float cb = texture(uSampler2, vTex0.xy).a;\n"                                         \
  "  vec3 rgb = y * 1.164123535 + cr * vec3(1.595794678, -0.813476563, 0.0)\n"             \
  "            + cb * vec3(0.0, -0.391448975, 2.017822266)\n"                               \
  "            + vec3(-0.87065506, 0.529705048, -1.081668854);\n"

const char* const kVideoColourShader =
    "void main() {\n" QUILLANE_YUV_TO_RGB "  outColor = vec4(rgb, 1.0) * uConst[0];\n}\n";

const char* const kVideoColourAlphaShader =
    "void main() {\n" QUILLANE_YUV_TO_RGB
    "  outColor = vec4(rgb, texture(uSampler3, vTex0.xy).a) * uConst[0];\n}\n";

#undef QUILLANE_YUV_TO_RGB

}  // namespace gpux
