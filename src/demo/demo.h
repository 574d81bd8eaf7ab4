// The demo's one part: the animated scene seen through the camera the music chooses, one of four
// overlay pictures that jitters and settles, a white flash that fades out and a faint white
// veil over everything.
//
// LoadPart is the part table's loader (called once by StartUp while the loading picture shows);
// PartFrame is the part's frame operation (called once per frame with the milliseconds since the
// previous one). The music's sync values steer it: syncCamera picks the camera, syncOverlay the
// overlay, syncFlash fires a flash and syncRestart replays the mesh animation.
//
// The objects below are the program's globals, made before main runs. Nothing is ever freed.
#pragma once

#include <cstdint>

#include "platform/d3dx/d3dx8.h"
#include "render/render_device.h"
#include "scene/scene.h"
#include "texture/texture.h"

// The program's one device; StartUp initialises it, everything that draws uses it.
extern RenderDevice renderDevice;

extern D3DDemoEngineScene* scene;  // "3ds\vw.3ds" once LoadPart has run
extern MeshObj* particles;         // 100 random points, uploaded but never drawn
extern QuadDrawer* partQuads;      // draws the overlay, the flash and the veil
extern Texture* particleTexture;
extern Texture* overlays[4];       // made by LoadPart

// What PartFrame keeps between frames. Times are milliseconds of dt.
struct PartState {
  float meshFrame = 0.0f;     // mesh animation frame: +0.125/ms, held at 50
  float sceneTime = 0.0f;     // +1/6 per ms; cameras run at a tenth of it
  float jitterTimer = 0.0f;   // ms since the jitter angles were last drawn
  float jitterX = 0.0f;       // random angles whose sines offset the overlay
  float jitterY = 0.0f;
  float overlayScale = 1.0f;  // divides the overlay offset: +1/70 per ms, held at 30
  float flashAlpha = 255.0f;  // the white flash: -0.625 per ms, held at 0
};
extern PartState partState;

// Loads the scene (textures with 8 mip levels), the four overlays, the particle points (300
// draws of the runtime generator) and the particle picture, uploading meshes to renderDevice.
// Every failure ends the process in the loader concerned.
void LoadPart();

// One frame: advances partState by dt and the sync flags, animates the scene, draws it through
// the chosen camera, then the overlay, the flash and the veil. Presenting is the caller's.
// A scene without a keyframer, or whose keyframer has no camera, is drawn with the identity view
// and a quarter-turn field of view instead of taking a camera number modulo 0.
void PartFrame(float dt);

// The scene operations the part uses, as one table so tests can stand in a recording scene.
// DefaultSceneCalls() are the scene's own.
struct SceneCalls {
  void (*uploadAllMeshes)(D3DDemoEngineScene* scene, RenderDevice* device);
  void (*uploadMesh)(MeshObj* mesh, RenderDevice* device);
  void (*animateCameras)(D3DDemoEngineScene* scene, float time);
  void (*animateMeshes)(D3DDemoEngineScene* scene, float time, uint32_t loopLimit);
  void (*setCameraByIndex)(D3DDemoEngineScene* scene, D3DXMATRIX* out, uint32_t index);
  void (*drawScene)(D3DDemoEngineScene* scene, RenderDevice* device, uint8_t useLights);
};
extern SceneCalls sceneCalls;
SceneCalls DefaultSceneCalls();
