// Textures: the operations on the texture records (declared with the records in
// render/texture_records.h, beneath the RenderDevice that binds them), and the cache that makes a
// second load of the same file reuse the first one's texture.
//
// Every image the demo draws comes through here: files from the data archive (decoded and
// uploaded by the D3DX texture-from-memory call into a managed 32-bit A8R8G8B8 texture),
// textures built from 0xAARRGGBB pixel arrays (one level, or point-sampled mip levels),
// render-target textures and 256x256 cube textures filled from image files.
//
// Failure is fatal: every failing load or creation shows its message box and ends the process
// (FatalError). Nothing is ever released: textures live as long as the process.
//
// Trust: file names and pixel arrays come from the program itself; the file bytes come from
// the archive and are decoded by the D3DX call and the image decoders, which treat them as
// hostile. Names of 256 characters or more are refused (fatal), never cut into the cache.
#pragma once

#include "render/texture_records.h"
