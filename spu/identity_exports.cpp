// What the host asks of every plug-in before it uses it: kind, name, version.
#include "exports.h"

namespace {

constexpr uint32_t kLibraryTypeSound = 4;  // the host interface's type of a sound plug-in
// 0x00010103: 1 in bits 16..23, 1 in bits 8..15, 3 in bits 0..7.
constexpr uint32_t kLibraryVersion = (1u << 16) | (1u << 8) | 3u;
static_assert(kLibraryVersion == 65795, "version word");

}  // namespace

SPU_EXPORT SpuWord CALLBACK PSEgetLibType() { return kLibraryTypeSound; }

// Hosts keep the pointer and compare plug-ins by it, so it is one static array.
SPU_EXPORT const char* CALLBACK PSEgetLibName() { return plugin::kLibraryName; }

SPU_EXPORT SpuWord CALLBACK PSEgetLibVersion() { return kLibraryVersion; }
