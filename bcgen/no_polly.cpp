// SPDX-License-Identifier: Zlib
// Clang's optimisation pipeline asks for the passes of the loop optimiser its
// Debian build bundles. That optimiser only runs when asked for by name, and
// its static libraries are not part of the packages we link, so it adds none.
#include <llvm/Passes/PassBuilder.h>
#include <llvm/Passes/PassPlugin.h>

llvm::PassPluginLibraryInfo getPollyPluginInfo() {
  return {LLVM_PLUGIN_API_VERSION, "Polly", "none", [](llvm::PassBuilder&) {}};
}
