// Projection, view, world and viewport, and the EngineMatrix helpers.
#include "render/render_device.h"

#include "platform/d3dx/d3dx8.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

}  // namespace

void RenderDevice::SetProjection(float nearPlane, float farPlane, float fieldOfView,
                                 float aspect) {
  D3DXMATRIX matrix;
  D3DXMatrixPerspectiveFovLH(&matrix, fieldOfView, aspect, nearPlane, farPlane);
  projection = matrix;
  device->SetTransform(D3DTS_PROJECTION, &projection);
}

// The roll multiplies on the right, so it turns the picture about the viewing axis after the
// camera transform.
void RenderDevice::SetView(float eyeX, float eyeY, float eyeZ, float targetX, float targetY,
                           float targetZ, float rollDegrees) {
  const D3DXVECTOR3 eye(eyeX, eyeY, eyeZ);
  const D3DXVECTOR3 target(targetX, targetY, targetZ);
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMATRIX lookAt;
  D3DXMatrixLookAtLH(&lookAt, &eye, &target, &up);
  D3DXMATRIX roll;
  D3DXMatrixRotationZ(&roll, rollDegrees * kDegreesToRadians);
  D3DXMATRIX result;
  D3DXMatrixMultiply(&result, &lookAt, &roll);
  view = result;
  device->SetTransform(D3DTS_VIEW, &view);
}

void RenderDevice::SetViewMatrix(const D3DMATRIX* matrix) {
  device->SetTransform(D3DTS_VIEW, matrix);
}

void RenderDevice::SetWorldMatrix(const D3DMATRIX* matrix) {
  device->SetTransform(D3DTS_WORLD, matrix);
}

void RenderDevice::SetWorldRotation(float angleX, float angleY, float angleZ) {
  EngineMatrix world;
  world.SetIdentity();
  world.RotateX(angleX);
  world.RotateY(angleY);
  world.RotateZ(angleZ);
  SetWorldMatrix(&world);
}

void RenderDevice::SetViewport(int32_t x1, int32_t y1, int32_t x2, int32_t y2, float minZ,
                               float maxZ) {
  D3DVIEWPORT8 viewport;
  viewport.X = static_cast<DWORD>(x1);
  viewport.Y = static_cast<DWORD>(y1);
  viewport.Width = static_cast<DWORD>(x2 - x1);
  viewport.Height = static_cast<DWORD>(y2 - y1);
  viewport.MinZ = minZ;
  viewport.MaxZ = maxZ;
  device->SetViewport(&viewport);
}

namespace {

void MultiplyOnRight(EngineMatrix* matrix, const D3DXMATRIX& right) {
  const D3DXMATRIX left(*matrix);
  D3DXMATRIX product;
  D3DXMatrixMultiply(&product, &left, &right);
  static_cast<D3DMATRIX&>(*matrix) = product;
}

}  // namespace

EngineMatrix& EngineMatrix::Identity() {
  SetIdentity();
  return *this;
}

void EngineMatrix::SetIdentity() {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  static_cast<D3DMATRIX&>(*this) = identity;
}

void EngineMatrix::RotateX(float angle) {
  D3DXMATRIX rotation;
  D3DXMatrixRotationX(&rotation, angle);
  MultiplyOnRight(this, rotation);
}

void EngineMatrix::RotateY(float angle) {
  D3DXMATRIX rotation;
  D3DXMatrixRotationY(&rotation, angle);
  MultiplyOnRight(this, rotation);
}

void EngineMatrix::RotateZ(float angle) {
  D3DXMATRIX rotation;
  D3DXMatrixRotationZ(&rotation, angle);
  MultiplyOnRight(this, rotation);
}

void EngineMatrix::Translate(float x, float y, float z) {
  D3DXMATRIX translation;
  D3DXMatrixTranslation(&translation, x, y, z);
  MultiplyOnRight(this, translation);
}

void EngineMatrix::Scale(float x, float y, float z) {
  D3DXMATRIX scaling;
  D3DXMatrixScaling(&scaling, x, y, z);
  MultiplyOnRight(this, scaling);
}
