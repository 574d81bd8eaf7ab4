// The data kit: everything the demo's archive holds, made by the kit's own writers from fixed
// seeds, so every build produces the same Data.rar byte for byte.
//
//   graphics\loading.png, graphics\overlay01.png .. overlay04.png, graphics\particle.png
//   graphics\paint.png, glass.jpg, tyre.tga, chrome.tga, floor.pcx, stone.pkm (scene textures)
//   3ds\vw.3ds, sound\dream1.xm
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kit/art.h"
#include "kit/image_writers.h"
#include "kit/rar_store_writer.h"
#include "kit/tds_writer.h"
#include "kit/xm_writer.h"

namespace zelk4::kit {

// The scene and the module, as records (before writing).
TdsScene VwScene();
XmModule DreamModule();

// The names of the kit's files, in archive order.
std::vector<std::string> KitFileNames();

// One file of the kit; throws std::invalid_argument for a name the kit does not make.
Bytes BuildKitFile(const std::string& archiveName);

// Every file of the kit, named as inside the archive (backslash-separated), in archive order.
// `progress` (may be empty) hears each name as its file is made.
std::vector<ArchiveEntry> BuildKitFiles(const std::function<void(const std::string&)>& progress = {});

// The archive of those files.
Bytes BuildDataArchive(const std::vector<ArchiveEntry>& files);

}  // namespace zelk4::kit
