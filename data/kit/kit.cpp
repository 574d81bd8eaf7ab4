#include "kit/kit.h"

#include <stdexcept>


namespace zelk4::kit {
namespace {

struct Maker {
  const char* name;
  Bytes (*make)();
};

// In archive order: the start-up pictures first, then the scene's textures, scene and module.
const Maker kMakers[] = {
    {"graphics\\loading.png", [] { return WritePng(LoadingPicture(), false); }},
    {"graphics\\overlay01.png", [] { return WritePng(OverlayPicture(0), true); }},
    {"graphics\\overlay02.png", [] { return WritePng(OverlayPicture(1), true); }},
    {"graphics\\overlay03.png", [] { return WritePng(OverlayPicture(2), true); }},
    {"graphics\\overlay04.png", [] { return WritePng(OverlayPicture(3), true); }},
    {"graphics\\particle.png", [] { return WritePng(ParticlePicture(), true); }},
    {"graphics\\paint.png", [] { return WritePng(PaintTexture(), false); }},
    {"graphics\\glass.jpg", [] { return WriteJpeg(GlassTexture(), 90); }},
    {"graphics\\tyre.tga", [] { return WriteTga(TyreTexture(), 24); }},
    {"graphics\\chrome.tga", [] { return WriteTga(ChromeTexture(), 32); }},
    {"graphics\\floor.pcx", [] { return WritePcx(FloorTexture()); }},
    {"graphics\\stone.pkm", [] { return WritePkm(StoneTexture(), 0x01, 0x02, 255); }},
    {"3ds\\vw.3ds", [] { return WriteTds(VwScene()); }},
    {"sound\\dream1.xm", [] { return WriteXm(DreamModule()); }},
};

}  // namespace

std::vector<std::string> KitFileNames() {
  std::vector<std::string> names;
  for (const Maker& m : kMakers) names.emplace_back(m.name);
  return names;
}

Bytes BuildKitFile(const std::string& name) {
  for (const Maker& m : kMakers) {
    if (name == m.name) return m.make();
  }
  throw std::invalid_argument("the kit makes no file named " + name);
}

std::vector<ArchiveEntry> BuildKitFiles(const std::function<void(const std::string&)>& progress) {
  std::vector<ArchiveEntry> files;
  for (const Maker& m : kMakers) {
    if (progress) progress(m.name);
    files.push_back({m.name, m.make()});
  }
  return files;
}

// Compressed entry by entry (not solid): each lookup of the demo then decodes only the entry it
// wants, where a solid archive would make every lookup decode all the entries before it as well.
Bytes BuildDataArchive(const std::vector<ArchiveEntry>& files) { return WriteRar(files, 3); }

}  // namespace zelk4::kit
