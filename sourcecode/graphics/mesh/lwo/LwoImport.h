// The LightWave object importer of the mesh resource, registered for the extension "lwo".
#pragma once

namespace base {

class cl_Mesh;

// Fills an empty mesh from the file's first layer in shared-vertex form: one vertex per point
// with X negated, one face per polygon with its winding reversed and its corner normals and uvs
// (TXUV maps as (u, 1 − v)), one region per surface labelled with its name. False when the file
// cannot be read (the reader has logged why).
bool MeshLoadLWO(const char* fileName, cl_Mesh* mesh);

}  // namespace base
