#include "kit/kit.h"

namespace zelk4::kit {

std::vector<ArchiveEntry> BuildKitFiles(const std::function<void(const std::string&)>& progress) {
  std::vector<ArchiveEntry> files;
  auto add = [&](std::string name, const std::function<Bytes()>& make) {
    if (progress) progress(name);
    files.push_back({std::move(name), make()});
  };
  add("graphics\\loading.png", [] { return WritePng(LoadingPicture(), false); });
  for (int i = 0; i < 4; ++i) {
    add("graphics\\overlay0" + std::to_string(i + 1) + ".png", [i] { return WritePng(OverlayPicture(i), true); });
  }
  add("graphics\\particle.png", [] { return WritePng(ParticlePicture(), true); });
  add("graphics\\paint.png", [] { return WritePng(PaintTexture(), false); });
  add("graphics\\glass.jpg", [] { return WriteJpeg(GlassTexture(), 90); });
  add("graphics\\tyre.tga", [] { return WriteTga(TyreTexture(), 24); });
  add("graphics\\chrome.tga", [] { return WriteTga(ChromeTexture(), 32); });
  add("graphics\\floor.pcx", [] { return WritePcx(FloorTexture()); });
  add("graphics\\stone.pkm", [] { return WritePkm(StoneTexture(), 0x01, 0x02, 255); });
  add("3ds\\vw.3ds", [] { return WriteTds(VwScene()); });
  add("sound\\dream1.xm", [] { return WriteXm(DreamModule()); });
  return files;
}

Bytes BuildDataArchive(const std::vector<ArchiveEntry>& files) { return WriteStoredRar(files); }

}  // namespace zelk4::kit
