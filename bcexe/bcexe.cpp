// SPDX-License-Identifier: Zlib
// The bitcode executor: loads the bitcode of compiled data into LLVM ORC's
// LLJIT, runs its static constructors and hands out its functions. Compiled
// data reaches the platform layer and the C library through the process's
// symbols, and the tool's exports (tov.x86_64 is loaded privately) through
// a table of their addresses defined in the JIT.
#include <llvm/Bitcode/BitcodeReader.h>
#include <llvm/ExecutionEngine/Orc/ExecutionUtils.h>
#include <llvm/ExecutionEngine/Orc/LLJIT.h>
#include <llvm/IR/IRBuilder.h>
#include <llvm/IR/LLVMContext.h>
#include <llvm/IR/Module.h>
#include <llvm/Support/Error.h>
#include <llvm/Support/MemoryBuffer.h>
#include <llvm/Support/raw_ostream.h>

#include <string>

#include "native_targets.h"
#include "zu_sys.h"

namespace {

ZuShared* g_tov;  // filled by the loader's cross-link

// What compiled data may call in the tool (see sdk/include/tov_data.h).
const char* const kToolExports[] = {
    "tov_get_current_build_rule_command",
    "tov_get_current_build_rule_user_data",
    "tov_set_current_build_rule_user_data",
    "tov_archive_create",
    "tov_archive_destroy",
    "tov_archive_add_archives",
    "tov_archive_access_file",
    "tov_archive_access_file_by_hash",
    "tov_archive_access_files",
    "tov_archive_access_stringtable",
    "tov_access_stringtable",
    "tov_archive_index_directory",
    "tov_archive_index_directory_n",
    "tov_archive_index_directories",
};

struct Executor {
  std::unique_ptr<llvm::orc::LLJIT> jit;
  bool initialized = false;
};

bool report(llvm::Error error, const char* what) {
  if (!error) return true;
  std::string text;
  llvm::raw_string_ostream stream(text);
  stream << error;
  stream.flush();
  sys_printf("ERROR: %s: %s\n", what, text.c_str());
  return false;
}

// The C library keeps atexit in its static part, so the process does not
// export it. Data that calls it gets this one, which registers the function
// like a C++ static destructor of the data: run when the data is unloaded,
// in reverse order with the others.
//   static void call(void* f) { ((void (*)(void))f)(); }
//   int atexit(void (*f)(void)) { return __cxa_atexit(call, (void*)f, &__dso_handle); }
llvm::Error add_atexit(llvm::orc::LLJIT* jit) {
  auto context = std::make_unique<llvm::LLVMContext>();
  llvm::LLVMContext& c = *context;
  auto module = std::make_unique<llvm::Module>("tov atexit", c);
  module->setDataLayout(jit->getDataLayout());
  module->setTargetTriple(jit->getTargetTriple().str());
  llvm::Type* void_type = llvm::Type::getVoidTy(c);
  llvm::Type* bytes = llvm::Type::getInt8PtrTy(c);
  llvm::FunctionType* plain = llvm::FunctionType::get(void_type, false);
  llvm::FunctionType* call_type = llvm::FunctionType::get(void_type, {bytes}, false);
  llvm::Function* call = llvm::Function::Create(call_type, llvm::Function::InternalLinkage,
                                                "tov.atexit.call", *module);
  {
    llvm::IRBuilder<> b(llvm::BasicBlock::Create(c, "", call));
    b.CreateCall(plain, b.CreateBitCast(call->getArg(0), plain->getPointerTo()));
    b.CreateRetVoid();
  }
  llvm::FunctionCallee cxa_atexit = module->getOrInsertFunction(
      "__cxa_atexit", llvm::FunctionType::get(llvm::Type::getInt32Ty(c),
                                              {call_type->getPointerTo(), bytes, bytes}, false));
  auto* dso = new llvm::GlobalVariable(*module, llvm::Type::getInt8Ty(c), false,
                                       llvm::GlobalValue::ExternalLinkage, nullptr, "__dso_handle");
  llvm::Function* atexit = llvm::Function::Create(
      llvm::FunctionType::get(llvm::Type::getInt32Ty(c), {plain->getPointerTo()}, false),
      llvm::Function::ExternalLinkage, "atexit", *module);
  {
    llvm::IRBuilder<> b(llvm::BasicBlock::Create(c, "", atexit));
    b.CreateRet(b.CreateCall(cxa_atexit, {call, b.CreateBitCast(atexit->getArg(0), bytes), dso}));
  }
  return jit->addIRModule(llvm::orc::ThreadSafeModule(std::move(module), std::move(context)));
}

}  // namespace

extern "C" {

ZU_EXPORT void zu_init(void*, u8, const char* const**) { register_native_targets(); }

ZU_EXPORT void initialize_pointers_tov(ZuShared* tov) { g_tov = tov; }

ZU_EXPORT void* bcexe_bcexe_create(void) {
  register_native_targets();  // for callers that did not load this library as a module
  // Compiled data runs once per build step: compile it fast rather than
  // make it fast (the bitcode is optimised already).
  auto machine = llvm::orc::JITTargetMachineBuilder::detectHost();
  if (!machine) {
    report(machine.takeError(), "Couldn't describe this machine to the JIT");
    return nullptr;
  }
  machine->setCodeGenOptLevel(llvm::CodeGenOpt::None);
  auto jit = llvm::orc::LLJITBuilder().setJITTargetMachineBuilder(std::move(*machine)).create();
  if (!jit) {
    report(jit.takeError(), "Couldn't create the JIT");
    return nullptr;
  }
  Executor* executor = new Executor();
  executor->jit = std::move(*jit);
  llvm::orc::JITDylib& main = executor->jit->getMainJITDylib();
  // Unresolved symbols are named by the session's error reporter.
  executor->jit->getExecutionSession().setErrorReporter(
      [](llvm::Error error) { report(std::move(error), "JIT"); });
  char prefix = executor->jit->getDataLayout().getGlobalPrefix();
  auto process = llvm::orc::DynamicLibrarySearchGenerator::GetForCurrentProcess(prefix);
  if (!process) {
    report(process.takeError(), "Couldn't search the process's symbols");
    delete executor;
    return nullptr;
  }
  main.addGenerator(std::move(*process));
  // Modules are loaded privately, so the C++ and math libraries that the
  // data's code calls into are searched by name.
  for (const char* library : {"libstdc++.so.6", "libm.so.6"}) {
    auto found = llvm::orc::DynamicLibrarySearchGenerator::Load(library, prefix);
    if (found)
      main.addGenerator(std::move(*found));
    else
      llvm::consumeError(found.takeError());
  }
  if (!report(add_atexit(executor->jit.get()), "JIT atexit")) {
    delete executor;
    return nullptr;
  }
  // Compiling the small atexit module now readies the code generator and
  // the platform's own module, which every load needs: when the executor is
  // created beside the data's compile, that work is off the critical path.
  auto ready = executor->jit->lookup("atexit");
  if (!ready) {
    report(ready.takeError(), "JIT atexit");
    delete executor;
    return nullptr;
  }
  if (g_tov) {
    llvm::orc::SymbolMap symbols;
    for (const char* name : kToolExports) {
      void* address = shared_shared_load_function(g_tov, name);
      if (!address) continue;
      symbols[executor->jit->mangleAndIntern(name)] = llvm::JITEvaluatedSymbol(
          llvm::pointerToJITTargetAddress(address), llvm::JITSymbolFlags::Exported);
    }
    if (!report(main.define(llvm::orc::absoluteSymbols(std::move(symbols))), "JIT symbols")) {
      delete executor;
      return nullptr;
    }
  }
  return executor;
}

ZU_EXPORT void bcexe_bcexe_destroy(void* handle) {
  Executor* executor = (Executor*)handle;
  if (!executor) return;
  if (executor->initialized)
    report(executor->jit->deinitialize(executor->jit->getMainJITDylib()), "Static destructors");
  delete executor;
}

ZU_EXPORT bool bcexe_bcexe_load_bitcodes(void* handle, const void* const* data, const u64* sizes,
                                         u64 count, const char* name, u32 flags) {
  (void)flags;
  Executor* executor = (Executor*)handle;
  for (u64 i = 0; i < count; ++i) {
    auto context = std::make_unique<llvm::LLVMContext>();
    auto buffer = llvm::MemoryBuffer::getMemBuffer(llvm::StringRef((const char*)data[i], sizes[i]),
                                                   name, false);
    auto module = llvm::parseBitcodeFile(buffer->getMemBufferRef(), *context);
    if (!module) return report(module.takeError(), "Couldn't read the bitcode");
    const llvm::DataLayout& layout = executor->jit->getDataLayout();
    if ((*module)->getDataLayout().isDefault()) (*module)->setDataLayout(layout);
    if ((*module)->getDataLayout() != layout) {
      sys_printf("ERROR: The bitcode of '%s' was made for another data layout\n", name);
      return false;
    }
    llvm::orc::ThreadSafeModule safe(std::move(*module), std::move(context));
    if (!report(executor->jit->addIRModule(std::move(safe)), "Couldn't add the bitcode"))
      return false;
  }
  executor->initialized = true;
  return report(executor->jit->initialize(executor->jit->getMainJITDylib()), "Static constructors");
}

ZU_EXPORT bool bcexe_bcexe_load_bitcode(void* handle, const void* data, u64 size, const char* name,
                                        u32 flags) {
  return bcexe_bcexe_load_bitcodes(handle, &data, &size, 1, name, flags);
}

ZU_EXPORT void* bcexe_bcexe_get_function(void* handle, const char* name) {
  Executor* executor = (Executor*)handle;
  auto symbol = executor->jit->lookup(name);
  if (!symbol) {
    llvm::consumeError(symbol.takeError());
    return nullptr;
  }
  return llvm::jitTargetAddressToPointer<void*>(symbol->getAddress());
}
}
