#include "crosscheck/crosscheck.h"

namespace zelk4::crosscheck {

CheckResult CheckScene(const Scene& scene, unsigned threads) {
  CheckResult r;
  r.levels = scene.backBuffer == D3DFMT_R5G6B5 ? 2 * kLevels : kLevels;
  {
    DeviceRenderer device(scene, threads);
    if (!device.ok()) {
      r.error = "device: " + device.error();
      return r;
    }
    device.Render();
    r.device = device.Read();
  }
  {
    GlRenderer gl(scene, threads);
    if (!gl.ok()) {
      r.error = "OpenGL: " + gl.error();
      return r;
    }
    gl.Render();
    r.gl = gl.Read();
  }
  r.comparison = Compare(r.device, r.gl, r.levels);
  r.passed = r.comparison.sameSize && r.comparison.psnr >= kMinPsnr &&
             r.comparison.shareOff <= kMaxShareOff;
  return r;
}

bool WritePictures(const std::filesystem::path& folder, const Scene& scene, const CheckResult& r,
                   std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return WritePng(folder / (scene.name + "-device.png"), r.device, error) &&
         WritePng(folder / (scene.name + "-gl.png"), r.gl, error) &&
         WritePng(folder / (scene.name + "-diff.png"), Difference(r.device, r.gl), error);
}

}  // namespace zelk4::crosscheck
