// The named operations as the device sees them: the calls, values and order each one makes,
// and the matrices the transform operations build.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3dx/d3dx8.h"
#include "render/render_test_support.h"

namespace zelk4::test {
namespace {

class StateOperations : public RenderDeviceTest {
 protected:
  // The device calls `operation` makes, one log line each.
  std::vector<std::string> CallsOf(const std::function<void()>& operation) {
    d3d8::ClearCallLog();
    d3d8::EnableCallLog(true);
    operation();
    d3d8::EnableCallLog(false);
    return d3d8::CallLog();
  }
  // (x, y, z, 1) through a matrix the device holds.
  D3DXVECTOR3 Through(D3DTRANSFORMSTATETYPE which, float x, float y, float z) {
    D3DMATRIX m;
    rd.device->GetTransform(which, &m);
    const D3DXMATRIX matrix(m);
    const D3DXVECTOR3 in(x, y, z);
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &in, &matrix);
    return out;
  }
};

using Calls = std::vector<std::string>;

TEST_F(StateOperations, StateGroupsAreSetWithTheirValuesInOrder) {
  EXPECT_EQ(CallsOf([&] { rd.EnableAlphaTest(0x1C8); }),
            (Calls{"SetRenderState(ALPHAREF, 200)", "SetRenderState(ALPHATESTENABLE, TRUE)",
                   "SetRenderState(ALPHAFUNC, GREATEREQUAL)"}));
  EXPECT_EQ(CallsOf([&] { rd.EnablePointSprites(1.0f, 0.0f, 0.0f, 0.0f, 2.0f); }),
            (Calls{"SetRenderState(POINTSIZE, 1)", "SetRenderState(POINTSIZE_MIN, 0)",
                   "SetRenderState(POINTSCALE_A, 0)", "SetRenderState(POINTSCALE_B, 0)",
                   "SetRenderState(POINTSCALE_C, 2)", "SetRenderState(POINTSPRITEENABLE, TRUE)",
                   "SetRenderState(POINTSCALEENABLE, TRUE)"}));
  const Calls light = CallsOf([&] {
    rd.SetPointLight(3, 1, 2, 3, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 50.0f);
  });
  ASSERT_EQ(light.size(), 3u);
  EXPECT_EQ(light[0].rfind("SetLight(3", 0), 0u);
  EXPECT_EQ(light[1], "LightEnable(3, 1)");
  EXPECT_EQ(light[2], "SetRenderState(LIGHTING, TRUE)");
  D3DLIGHT8 defined{};
  rd.device->GetLight(3, &defined);
  EXPECT_EQ(defined.Type, D3DLIGHT_POINT);
  EXPECT_EQ(defined.Attenuation0, 1.0f);
  EXPECT_EQ(defined.Diffuse.a, 0.0f);
  EXPECT_EQ(defined.Range, 50.0f);
}

TEST_F(StateOperations, TextureStagesFollowTheTextureFlags) {
  Texture texture;
  const uint32_t pixel = 0xFFFFFFFFu;
  texture.CreateFromPixels(&rd, 1, 1, &pixel);
  const std::string name = CallsOf([&] { rd.SetTexture(&texture); })[1].substr(14);

  // Built from pixels: point filters, no mip filter.
  EXPECT_EQ(CallsOf([&] { rd.SetTexture(&texture); }),
            (Calls{"SetTextureStageState(0, TEXCOORDINDEX, PASSTHRU|0)", "SetTexture(0, " + name,
                   "SetTextureStageState(0, MAGFILTER, POINT)", "SetTextureStageState(0, MINFILTER, POINT)",
                   "SetTextureStageState(0, MIPFILTER, NONE)"}));
  // From a file with mip levels: linear everywhere; on a stage taken from the low 8 bits.
  texture.filtered = 1;
  texture.mipmapped = 1;
  EXPECT_EQ(CallsOf([&] { rd.SetTextureOnStage(&texture, 0x102); }),
            (Calls{"SetTextureStageState(2, TEXCOORDINDEX, PASSTHRU|0)", "SetTexture(2, " + name,
                   "SetTextureStageState(2, MAGFILTER, LINEAR)", "SetTextureStageState(2, MINFILTER, LINEAR)",
                   "SetTextureStageState(2, MIPFILTER, LINEAR)"}));
  // Null only unbinds.
  EXPECT_EQ(CallsOf([&] { rd.SetTexture(nullptr); }), (Calls{"SetTexture(0, null)"}));
  ReleaseTexture(&texture);

  EXPECT_EQ(CallsOf([&] { rd.SetBlendAlphaStages(7, 9); }),
            (Calls{"SetTextureStageState(0, COLOROP, MODULATE)", "SetTextureStageState(0, COLORARG1, TEXTURE)",
                   "SetTextureStageState(0, COLORARG2, DIFFUSE)",
                   "SetTextureStageState(1, COLOROP, BLENDCURRENTALPHA)",
                   "SetTextureStageState(1, COLORARG1, TEXTURE)", "SetTextureStageState(1, COLORARG2, CURRENT)",
                   "SetTextureStageState(0, ALPHAOP, MODULATE)", "SetTextureStageState(0, ALPHAARG1, TEXTURE)",
                   "SetTextureStageState(0, ALPHAARG2, DIFFUSE)", "SetTextureStageState(1, ALPHAOP, ADD)",
                   "SetTextureStageState(1, ALPHAARG2, TEXTURE)", "SetTextureStageState(1, ALPHAARG1, CURRENT)"}));
  // Texture-coordinate generation exists for stages 0 to 7 only.
  EXPECT_TRUE(CallsOf([&] { rd.EnableSphereMap(8); }).empty());
  EXPECT_TRUE(CallsOf([&] { rd.DisableTextureTransform(200); }).empty());
  const Calls sphere = CallsOf([&] { rd.EnableSphereMap(0x101); });
  ASSERT_EQ(sphere.size(), 3u);
  EXPECT_EQ(sphere[0].rfind("SetTransform(TEXTURE1, [0.5, 0, 0, 0, 0, -0.5, 0, 0, 0, 0, 1, 0, 0.5, 0.5", 0),
            0u);
  EXPECT_EQ(sphere[1], "SetTextureStageState(1, TEXCOORDINDEX, CAMERASPACENORMAL|0)");
  EXPECT_EQ(sphere[2], "SetTextureStageState(1, TEXTURETRANSFORMFLAGS, COUNT2)");
}

TEST_F(StateOperations, ASpriteDrawIsOneSceneOverTheQuadBuffer) {
  const Sprite sprite{0, 0, 0, 1, 0};
  const Calls calls = CallsOf([&] {
    QuadDrawer drawer;
    drawer.DrawSprites(&rd, 0, 0, 0, &sprite, 1, 0xFFFFFFFFu);
  });
  ASSERT_GE(calls.size(), 7u);
  const Calls tail(calls.end() - 7, calls.end());
  EXPECT_EQ(tail[0].rfind("VertexBuffer::Lock(", 0), 0u);
  EXPECT_EQ(tail[1].rfind("VertexBuffer::Unlock(", 0), 0u);
  EXPECT_EQ(tail[2], "BeginScene()");
  EXPECT_EQ(tail[3].rfind("SetStreamSource(0, ", 0), 0u);
  EXPECT_EQ(tail[4], "SetVertexShader(XYZ|DIFFUSE|TEX1)");
  EXPECT_EQ(tail[5], "DrawPrimitive(TRIANGLELIST, 0, 2)");
  EXPECT_EQ(tail[6], "EndScene()");
}

// The roll turns the picture after the camera transform; the world rotation applies x, then
// y, then z; EngineMatrix helpers multiply on the right.
TEST_F(StateOperations, TransformsComposeInTheirOrder) {
  rd.SetView(0, 0, -5, 0, 0, 0, 90);
  D3DXVECTOR3 seen = Through(D3DTS_VIEW, 1, 0, 0);
  EXPECT_NEAR(seen.x, 0.0f, 1e-6f);
  EXPECT_NEAR(seen.y, 1.0f, 1e-6f);
  EXPECT_NEAR(seen.z, 5.0f, 1e-6f);

  rd.SetWorldRotation(1.5707964f, 1.5707964f, 0);  // x turns y into z, then y turns z into x
  seen = Through(D3DTS_WORLD, 0, 1, 0);
  EXPECT_NEAR(seen.x, 1.0f, 1e-6f);
  EXPECT_NEAR(seen.y, 0.0f, 1e-6f);

  EngineMatrix m;
  m.Identity().Translate(1, 0, 0);
  m.RotateZ(1.5707964f);
  m.Scale(2, 2, 2);
  rd.SetWorldMatrix(m);
  seen = Through(D3DTS_WORLD, 0, 0, 0);
  EXPECT_NEAR(seen.x, 0.0f, 1e-6f);
  EXPECT_NEAR(seen.y, 2.0f, 1e-6f);

  rd.SetViewport(10, 20, 110, 70, 0.25f, 0.75f);
  D3DVIEWPORT8 viewport{};
  rd.device->GetViewport(&viewport);
  EXPECT_EQ(viewport.Width, 100u);
  EXPECT_EQ(viewport.Height, 50u);
}

}  // namespace
}  // namespace zelk4::test
