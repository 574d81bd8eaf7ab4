// Scene animation: the loop rules, mesh world matrices (with and without parents), cameras,
// lights and the camera choice by index and by name. Scenes are built by hand with a few keys.
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include <gtest/gtest.h>

#include "scene/scene.h"

namespace {

using Keys = std::initializer_list<std::pair<float, float>>;  // (frame, value)

void SetKeys(FloatTrack* track, Keys keys) {
  for (const auto& [frame, value] : keys) track->addKey(frame, value);
  track->finish();
}

// Replaces a record's track with a new one holding `keys`.
void ReplaceKeys(FloatTrack*& slot, Keys keys) {
  delete slot;
  slot = new FloatTrack;
  SetKeys(slot, keys);
}

// A mesh track with the given position x keys, constant y and z, and constant scales.
MeshTrack* AddMoving(Keyframer& kf, Keys xKeys, float sx = 1.0f, float sy = 1.0f,
                     float sz = 1.0f) {
  MeshTrack* t = kf.AddMeshTrack();
  SetKeys(t->posX, xKeys);
  SetKeys(t->posY, {{0.0f, 0.0f}});
  SetKeys(t->posZ, {{0.0f, 0.0f}});
  SetKeys(t->scaleX, {{0.0f, sx}});
  SetKeys(t->scaleY, {{0.0f, sy}});
  SetKeys(t->scaleZ, {{0.0f, sz}});
  t->rotation->addKey(0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
  t->rotation->finish();
  return t;
}

// A camera and its target, each at a fixed place, with fixed roll and fov.
void AddCamera(Keyframer& kf, const char* name, D3DXVECTOR3 eye, D3DXVECTOR3 at, float roll,
               float fov) {
  CameraTrack* c = kf.AddCameraTrack();
  TargetTrack* t = kf.AddTargetTrack();
  std::snprintf(c->name, sizeof c->name, "%s", name);
  std::snprintf(t->name, sizeof t->name, "%s", name);
  SetKeys(c->posX, {{0.0f, eye.x}});
  SetKeys(c->posY, {{0.0f, eye.y}});
  SetKeys(c->posZ, {{0.0f, eye.z}});
  SetKeys(c->roll, {{0.0f, roll}});
  SetKeys(c->fov, {{0.0f, fov}});
  SetKeys(t->posX, {{0.0f, at.x}});
  SetKeys(t->posY, {{0.0f, at.y}});
  SetKeys(t->posZ, {{0.0f, at.z}});
}

class SceneAnimation : public ::testing::Test {
 protected:
  SceneAnimation() {
    scene.keyframer = new Keyframer;
    kf().endFrame = 100;
  }
  Keyframer& kf() { return *scene.keyframer; }
  MeshObj& AddMesh() { return *scene.meshes[scene.AddMesh()]; }

  D3DDemoEngineScene scene;
};

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float tolerance) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(expected.m[r][c], actual.m[r][c], tolerance) << "row " << r << " column " << c;
    }
  }
}

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  return m;
}

TEST_F(SceneAnimation, MeshLoopIsTheSmallerOfTheLimitAndTheSegment) {
  // x moves one unit per frame, so the world translation is the evaluated frame.
  AddMoving(kf(), {{0.0f, 0.0f}, {100.0f, 100.0f}});
  AddMesh();
  const auto frameAt = [&](float time, uint32_t limit) {
    scene.animateMeshes(time, limit);
    return scene.meshes[0]->worldMatrix._41;
  };
  EXPECT_FLOAT_EQ(frameAt(49.5f, 50), 49.5f);
  EXPECT_FLOAT_EQ(frameAt(50.0f, 50), 0.0f);
  EXPECT_FLOAT_EQ(frameAt(73.25f, 50), 23.25f);
  kf().endFrame = 30;
  EXPECT_FLOAT_EQ(frameAt(45.0f, 50), 15.0f);
  // A loop of no length evaluates the time as it is instead of dividing by zero.
  EXPECT_FLOAT_EQ(frameAt(7.5f, 0), 7.5f);
  kf().endFrame = 0;
  EXPECT_FLOAT_EQ(frameAt(7.5f, 50), 7.5f);
}

TEST_F(SceneAnimation, SingleKeysLeaveMeshesWhereTheFilePutThem) {
  scene.sceneScale = 0.0153944f;
  MeshTrack* t = AddMoving(kf(), {{0.0f, 37.0f}});
  ReplaceKeys(t->posY, {{0.0f, -12.5f}});
  AddMesh();
  AddMesh();  // no track: identity
  scene.meshes[1]->worldMatrix._41 = 5.0f;
  scene.animateMeshes(33.0f, 50);
  ExpectMatrixNear(Identity(), scene.meshes[0]->worldMatrix, 1e-6f);
  ExpectMatrixNear(Identity(), scene.meshes[1]->worldMatrix, 0.0f);
}

TEST_F(SceneAnimation, MovingMeshIsDisplacedByItsPathTimesTheSceneScale) {
  scene.sceneScale = 0.25f;
  MeshTrack* t = AddMoving(kf(), {{0.0f, 4.0f}, {10.0f, 12.0f}});
  ReplaceKeys(t->posZ, {{0.0f, -2.0f}, {10.0f, 6.0f}});
  t->pivot[0] = 100.0f;  // the pivot plays no part
  AddMesh();
  scene.animateMeshes(10.0f, 50);
  D3DXVECTOR3 p(0.3f, -0.2f, 0.1f), moved;
  D3DXVec3TransformCoord(&moved, &p, &scene.meshes[0]->worldMatrix);
  EXPECT_NEAR(moved.x - p.x, (12.0f - 4.0f) * 0.25f, 1e-6f);
  EXPECT_NEAR(moved.y - p.y, 0.0f, 1e-6f);
  EXPECT_NEAR(moved.z - p.z, (6.0f - -2.0f) * 0.25f, 1e-6f);
}

TEST_F(SceneAnimation, ScaleAndRotationTurnAboutTheFirstPosition) {
  // Scale keys in engine order (x, file z, file y) build Scaling(sx, sz, sy); the rotation is
  // the change since the first key, about the node's frame-0 place.
  MeshTrack* t = AddMoving(kf(), {{0.0f, 2.0f}}, 2.0f, 3.0f, 5.0f);
  delete t->rotation;
  t->rotation = new RotationTrack;
  t->rotation->addKey(0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
  t->rotation->addKey(10.0f, 1.5707964f, 0.0f, 1.0f, 0.0f);
  t->rotation->finish();
  AddMesh();
  scene.animateMeshes(10.0f, 50);
  D3DXMATRIX rotation;
  t->rotation->evaluate(&rotation, 10.0f);
  D3DXMATRIX toOrigin, scaling, back, expected;
  D3DXMatrixTranslation(&toOrigin, -2.0f, 0.0f, 0.0f);
  D3DXMatrixScaling(&scaling, 2.0f, 5.0f, 3.0f);
  D3DXMatrixTranslation(&back, 2.0f, 0.0f, 0.0f);
  D3DXMatrixMultiply(&expected, &toOrigin, &scaling);
  D3DXMatrixMultiply(&expected, &expected, &rotation);
  D3DXMatrixMultiply(&expected, &expected, &back);
  ExpectMatrixNear(expected, scene.meshes[0]->worldMatrix, 1e-5f);
  // The node's own place stays put.
  D3DXVECTOR3 place(2.0f, 0.0f, 0.0f), moved;
  D3DXVec3TransformCoord(&moved, &place, &scene.meshes[0]->worldMatrix);
  EXPECT_NEAR(moved.x, 2.0f, 1e-5f);
  EXPECT_NEAR(moved.z, 0.0f, 1e-5f);
}

TEST_F(SceneAnimation, HierarchyAppliesParentsInMeshOrder) {
  AddMoving(kf(), {{0.0f, 0.0f}}, 2.0f, 2.0f, 2.0f);        // 0: scales by 2 about the origin
  AddMoving(kf(), {{0.0f, 0.0f}, {10.0f, 2.0f}});           // 1: child of 0
  AddMoving(kf(), {{0.0f, 0.0f}, {10.0f, 4.0f}});           // 2: child of 3, which comes later
  AddMoving(kf(), {{0.0f, 0.0f}, {10.0f, 8.0f}});           // 3: child of 1
  AddMoving(kf(), {{0.0f, 0.0f}, {10.0f, 16.0f}});          // 4: no parent
  for (int i = 0; i < 5; ++i) AddMesh();
  scene.meshes[1]->parentIndex = 0;
  scene.meshes[2]->parentIndex = 3;
  scene.meshes[3]->parentIndex = 1;
  scene.animateMeshesWithHierarchy(10.0f);
  // Own matrix first, then the parent's: T(2) x S(2) moves the origin to 4.
  EXPECT_FLOAT_EQ(scene.meshes[1]->worldMatrix._41, 4.0f);
  EXPECT_FLOAT_EQ(scene.meshes[1]->worldMatrix._11, 2.0f);
  // Mesh 3 comes after its parent, so it gets the whole chain: (8 + 2) x 2.
  EXPECT_FLOAT_EQ(scene.meshes[3]->worldMatrix._41, 20.0f);
  // Mesh 2 comes before its parent: only mesh 3's own matrix, 4 + 8.
  EXPECT_FLOAT_EQ(scene.meshes[2]->worldMatrix._41, 12.0f);
  EXPECT_FLOAT_EQ(scene.meshes[2]->worldMatrix._11, 1.0f);
  EXPECT_FLOAT_EQ(scene.meshes[4]->worldMatrix._41, 16.0f);
  // The hierarchy wraps over the whole segment, with no loop limit.
  kf().endFrame = 100;
  scene.animateMeshesWithHierarchy(110.0f);
  EXPECT_FLOAT_EQ(scene.meshes[4]->worldMatrix._41, 16.0f);
  // A parent index past the meshes is ignored.
  scene.meshes[4]->parentIndex = 9;
  scene.animateMeshesWithHierarchy(10.0f);
  EXPECT_FLOAT_EQ(scene.meshes[4]->worldMatrix._41, 16.0f);
}

TEST_F(SceneAnimation, CamerasTargetsAndLightsWrapAndScalePositionsOnly) {
  scene.sceneScale = 0.5f;
  AddCamera(kf(), "Camera01", {0, 0, 0}, {0, 0, 0}, 0.0f, 45.0f);
  ReplaceKeys(kf().cameraTracks[0]->posX, {{0.0f, 0.0f}, {100.0f, 100.0f}});
  ReplaceKeys(kf().cameraTracks[0]->roll, {{0.0f, 0.0f}, {100.0f, 100.0f}});
  ReplaceKeys(kf().targetTracks[0]->posZ, {{0.0f, 0.0f}, {100.0f, 100.0f}});
  LightTrack* light = kf().AddLightTrack();
  SetKeys(light->posY, {{0.0f, 0.0f}, {100.0f, 200.0f}});
  SetKeys(light->colorG, {{0.0f, 0.0f}, {100.0f, 2.0f}});

  scene.viewMatrix._41 = 3.0f;
  scene.animateCameras(120.5f);
  ExpectMatrixNear(Identity(), scene.viewMatrix, 0.0f);
  const CameraValues& c = kf().cameraTracks[0]->current;
  EXPECT_FLOAT_EQ(c.x, 20.5f * 0.5f);
  EXPECT_FLOAT_EQ(c.roll, 20.5f);  // degrees, not scaled
  EXPECT_FLOAT_EQ(c.fov, 45.0f);
  EXPECT_FLOAT_EQ(kf().targetTracks[0]->current.z, 20.5f * 0.5f);

  scene.animateLights(120.5f);
  EXPECT_FLOAT_EQ(light->current.y, 41.0f * 0.5f);
  EXPECT_FLOAT_EQ(light->current.g, 0.41f);  // colour as stored, not scaled

  // animate runs all three at the same time.
  scene.meshes[scene.AddMesh()]->worldMatrix._42 = 1.0f;
  AddMoving(kf(), {{0.0f, 0.0f}, {10.0f, 10.0f}});
  scene.animate(105.0f);
  EXPECT_FLOAT_EQ(c.x, 2.5f);
  EXPECT_FLOAT_EQ(light->current.y, 5.0f);
  EXPECT_FLOAT_EQ(scene.meshes[0]->worldMatrix._41, 2.5f);
}

TEST_F(SceneAnimation, CameraViewIsLookAtTimesRollAndFovInRadians) {
  const D3DXVECTOR3 eye(-1.0f, 0.25f, 0.5f), at(0.2f, 0.0f, 0.4f);
  AddCamera(kf(), "Camera01", {0, 0, 0}, {1, 1, 1}, 0.0f, 30.0f);
  AddCamera(kf(), "Camera02", eye, at, 90.0f, 45.0f);
  scene.animateCameras(0.0f);
  D3DXMATRIX out;
  EXPECT_EQ(scene.setCameraByIndex(&out, 1), &out);
  D3DXMATRIX lookAt, roll, expected;
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&lookAt, &eye, &at, &up);
  D3DXMatrixRotationZ(&roll, 1.5707963f);
  D3DXMatrixMultiply(&expected, &lookAt, &roll);
  ExpectMatrixNear(expected, scene.viewMatrix, 1e-6f);
  ExpectMatrixNear(scene.viewMatrix, out, 0.0f);
  EXPECT_FLOAT_EQ(scene.fieldOfView, 0.7853982f);
  // The eye ends at the view's origin, the target on its +z axis turned by the roll.
  D3DXVECTOR3 p;
  D3DXVec3TransformCoord(&p, &eye, &scene.viewMatrix);
  EXPECT_NEAR(D3DXVec3Length(&p), 0.0f, 1e-6f);
  D3DXVec3TransformCoord(&p, &at, &scene.viewMatrix);
  EXPECT_NEAR(p.x, 0.0f, 1e-6f);
  EXPECT_NEAR(p.y, 0.0f, 1e-6f);
  EXPECT_GT(p.z, 0.0f);

  // The view uses the values of the last animateCameras; animating again resets it.
  scene.animateCameras(0.0f);
  ExpectMatrixNear(Identity(), scene.viewMatrix, 0.0f);
  // An index with no camera gives the identity (the demo keeps its index in range).
  scene.setCameraByIndex(&out, 2);
  ExpectMatrixNear(Identity(), out, 0.0f);
  EXPECT_FLOAT_EQ(scene.fieldOfView, 0.7853982f);
}

TEST_F(SceneAnimation, CamerasByNameMatchTheBeginningOfTheName) {
  const D3DXVECTOR3 eye0(0, 0, -1), at0(0, 0, 0), eye1(1, 0, 0), at1(0, 0, 0);
  AddCamera(kf(), "FrontCam", eye0, at0, 0.0f, 60.0f);
  AddCamera(kf(), "SideCamera", eye1, at1, 0.0f, 30.0f);
  scene.animateCameras(0.0f);
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMATRIX side, front, out;
  D3DXMatrixLookAtLH(&side, &eye1, &at1, &up);
  D3DXMatrixLookAtLH(&front, &eye0, &at0, &up);

  scene.setCameraByName(&out, "Sid");  // the first letters are enough
  ExpectMatrixNear(side, out, 1e-6f);
  EXPECT_FLOAT_EQ(scene.fieldOfView, 30.0f * 0.017453292f);
  scene.setCameraByName(&out, "");  // matches the first camera
  ExpectMatrixNear(front, scene.viewMatrix, 1e-6f);
  scene.setCameraByName(&out, "SideCameraX");  // longer than the name: no camera
  ExpectMatrixNear(Identity(), out, 0.0f);
  ExpectMatrixNear(Identity(), scene.viewMatrix, 0.0f);
  EXPECT_FLOAT_EQ(scene.fieldOfView, 60.0f * 0.017453292f);  // left as it was
  scene.setCameraByName(&out, "side");  // case matters
  ExpectMatrixNear(Identity(), out, 0.0f);

  // Offsets move eye and target apart; factors scale them.
  D3DXMATRIX expected;
  const D3DXVECTOR3 eyeMoved = eye1 + D3DXVECTOR3(0, 2, 0), atMoved = at1 + D3DXVECTOR3(0, 0, 1);
  D3DXMatrixLookAtLH(&expected, &eyeMoved, &atMoved, &up);
  scene.setCameraByNameOffset(&out, "Side", {0, 2, 0}, {0, 0, 1});
  ExpectMatrixNear(expected, out, 1e-6f);
  const D3DXVECTOR3 eyeScaled = eye0 * 3.0f, atScaled = D3DXVECTOR3(0.5f, 0.5f, 0.5f);
  kf().targetTracks[0]->current = CameraValues{1.0f, 1.0f, 1.0f, 0.0f, 0.0f};
  D3DXMatrixLookAtLH(&expected, &eyeScaled, &atScaled, &up);
  scene.setCameraByNameScaled(&out, "Front", 3.0f, 0.5f);
  ExpectMatrixNear(expected, out, 1e-6f);
  scene.setCameraByNameScaled(&out, "Back", 3.0f, 0.5f);
  ExpectMatrixNear(Identity(), out, 0.0f);
}

TEST(SceneAnimationWithoutKeyframer, NothingMovesAndTheViewStaysIdentity) {
  D3DDemoEngineScene scene;
  MeshObj& mesh = *scene.meshes[scene.AddMesh()];
  scene.viewMatrix._41 = 1.0f;
  scene.fieldOfView = 0.5f;
  scene.animate(12.0f);
  scene.animateMeshes(12.0f, 50);
  ExpectMatrixNear(Identity(), mesh.worldMatrix, 0.0f);
  ExpectMatrixNear(Identity(), scene.viewMatrix, 0.0f);
  D3DXMATRIX out;
  out._11 = 7.0f;
  scene.setCameraByIndex(&out, 0);
  ExpectMatrixNear(Identity(), out, 0.0f);
  scene.setCameraByName(&out, "");
  ExpectMatrixNear(Identity(), out, 0.0f);
  EXPECT_FLOAT_EQ(scene.fieldOfView, 0.5f);
}

}  // namespace
