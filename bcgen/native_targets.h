// SPDX-License-Identifier: Zlib
// LLVM's native target, registered once per module. The registry is not
// safe to fill from two threads: bcgen and bcexe fill it in their zu_init,
// on the loading thread, so that they may then work side by side.
#pragma once

#include <llvm/Support/TargetSelect.h>

inline void register_native_targets() {
  static bool registered = false;
  if (registered) return;
  llvm::InitializeNativeTarget();
  llvm::InitializeNativeTargetAsmPrinter();
  registered = true;
}
