#pragma once
// The chip the plug-in boundary is built around. The boundary (exports, lifecycle, device,
// settings, save states) is compiled once per plug-in: spuTarn around SpuCore, spuTarnExact
// (SPU_CHIP_EXACT) around the hardware-faithful ExactCore. The two chips share their public
// calls, so no virtual interface sits between them and the boundary.
#ifdef SPU_CHIP_EXACT
#include "exact_core.h"
using Chip = ExactCore;
// True once for every rise of the chip's interrupt flag since the last call.
inline bool takeInterruptRise(Chip& chip) { return chip.takeInterruptRise(); }
#else
#include "spu_core.h"
using Chip = SpuCore;
// spuTarn's chip raises no interrupt.
inline bool takeInterruptRise(Chip& /*chip*/) { return false; }
#endif
