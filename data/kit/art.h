// The kit's pictures: the loading screen, the four overlays, the particle sprite and the material
// textures of the scene. All are drawn procedurally from fixed seeds.
//
// The scene is drawn without lighting, so the textures carry it: every material texture is laid
// out with the light along u (left dark, right lit, a highlight at the far right) and the
// material's own pattern along v (top row = top of the object). The scene writer picks u from
// each face's angle to the light.
#pragma once

#include "kit/picture.h"

namespace zelk4::kit {

// Alpha levels of the overlays: solid parts pass the engine's alpha test (reference 200), soft
// edges and glows stay below it and are cut.
inline constexpr int kOverlaySolidAlpha = 235;
inline constexpr int kOverlayGlowAlpha = 150;

Picture LoadingPicture();         // 640 x 480, opaque
Picture OverlayPicture(int index);  // 640 x 480 with alpha; index 0..3
Picture ParticlePicture();        // 64 x 64, soft round sprite

Picture PaintTexture();           // car paint (PNG)
Picture GlassTexture();           // windows (JPEG)
Picture TyreTexture();            // rubber (24-bit TGA)
Picture ChromeTexture();          // chrome (32-bit TGA)
IndexedPicture FloorTexture();    // ground grid (PCX)
IndexedPicture StoneTexture();    // stone blocks (PKM); palette index 255 unused

}  // namespace zelk4::kit
