// The program's global engine objects, made before main runs, as the engine was designed: the
// device record (initialised by StartUp), the scene, the particle mesh, the part's quad drawer
// and the particle texture. They live until the process ends.
#include "demo/demo.h"

RenderDevice renderDevice{};

D3DDemoEngineScene* scene = new D3DDemoEngineScene();
MeshObj* particles = new MeshObj();
QuadDrawer* partQuads = new QuadDrawer();
Texture* particleTexture = new Texture();
Texture* overlays[4] = {};

PartState partState;
