// The built-in images on Windows: "BINFILE" resources of the executable,
// compiled in from resources/kr35.rc.in.
#include "firmware/builtin_images.h"

#include "win32/windows_api.h"

namespace kr35 {

std::span<const std::uint8_t> LoadBuiltInImage(int id) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "BINFILE");
  if (!resource) return {};
  HGLOBAL loaded = LoadResource(nullptr, resource);
  if (!loaded) return {};
  const void* bytes = LockResource(loaded);
  if (!bytes) return {};
  // Resource data stays mapped for the whole run and is never freed.
  return {static_cast<const std::uint8_t*>(bytes), SizeofResource(nullptr, resource)};
}

}  // namespace kr35
