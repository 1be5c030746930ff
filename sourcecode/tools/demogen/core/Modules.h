// The generator modules, one per asset kind. ORDER MODULES: they run in this order. A new kind
// adds its line here and a file modules/<Name>.cpp defining Make<Name>.
#pragma once

#define DEMOGEN_MODULES(X)                                  \
  X(TitleScreen, "title background and logo textures") \
  X(Pier, "the quay's pier, a LightWave object")        \
  X(Figure, "the figures' Ogre XML meshes, skeletons, clips and subsets") \
  X(NavMeshes, "the scenes' nav meshes with their cameras")

namespace demogen {

class cl_Output;

#define DEMOGEN_DECLARE(name, what) bool Make##name(cl_Output& out);
DEMOGEN_MODULES(DEMOGEN_DECLARE)
#undef DEMOGEN_DECLARE

}  // namespace demogen
