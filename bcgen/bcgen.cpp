// SPDX-License-Identifier: Zlib
// The bitcode compiler: C and C++ data sources to LLVM bitcode in memory,
// with Clang in process. Sources and headers are served from memory under a
// virtual folder overlaid on the real file system; the compile reports which
// given headers it read.
#include <clang/Basic/Diagnostic.h>
#include <clang/Basic/DiagnosticOptions.h>
#include <clang/CodeGen/CodeGenAction.h>
#include <clang/Frontend/CompilerInstance.h>
#include <clang/Frontend/CompilerInvocation.h>
#include <clang/Frontend/TextDiagnosticPrinter.h>
#include <clang/Frontend/Utils.h>
#include <llvm/Bitcode/BitcodeWriter.h>
#include <llvm/IR/DiagnosticInfo.h>
#include <llvm/IR/DiagnosticPrinter.h>
#include <llvm/IR/LLVMContext.h>
#include <llvm/IR/Module.h>
#include <llvm/Linker/Linker.h>
#include <llvm/Support/MemoryBuffer.h>
#include <llvm/Support/Path.h>
#include <llvm/Support/VirtualFileSystem.h>
#include <llvm/Support/raw_ostream.h>

#include <string>
#include <vector>

#include "compile_source.h"
#include "native_targets.h"

namespace {

// Every compile sees the same folder, wherever the tree lies, so the same
// data gives the same bitcode.
constexpr const char* kVirtualRoot = "/tov_data";

// A compiler with the stream its diagnostics go to; kept past the compile so
// that its syntax trees are freed with the other leftovers.
struct Compile {
  std::string text;
  llvm::raw_string_ostream stream{text};
  clang::CompilerInstance compiler;  // destroyed before its stream
};

// The compilers, the compiled module and its context are freed on a thread of
// their own while the caller goes on to run the bitcode: for C++ data full of
// library templates, tearing them down takes as long as the JIT's whole work.
struct Leftovers {
  std::unique_ptr<llvm::LLVMContext> context;
  std::unique_ptr<llvm::Module> module;  // destroyed before its context
  std::vector<std::unique_ptr<Compile>> compiles;
};

struct Bitcode {
  llvm::SmallVector<char, 0> bytes;
  ZuThread* teardown;  // null when the leftovers were freed at once
};

u32 free_leftovers(void* argument) {
  delete (Leftovers*)argument;
  return 0;
}

// Records which given headers the compile opened.
class UsedHeaders : public clang::DependencyCollector {
 public:
  UsedHeaders(const CompileSource* headers, u64 count, u8* used)
      : headers_(headers), count_(count), used_(used) {}
  bool sawDependency(llvm::StringRef file, bool, bool, bool, bool missing) override {
    if (missing) return false;
    llvm::SmallString<256> path(file);
    if (!llvm::sys::path::is_absolute(path)) {
      llvm::SmallString<256> rooted(kVirtualRoot);
      llvm::sys::path::append(rooted, path);
      path = rooted;
    }
    llvm::sys::path::remove_dots(path, true);
    llvm::StringRef name = path;
    if (!name.consume_front(kVirtualRoot) || !name.consume_front("/")) return false;
    for (u64 i = 0; i < count_; ++i)
      if (name == headers_[i].name) used_[i] = 1;
    return false;
  }

 private:
  const CompileSource* headers_;
  u64 count_;
  u8* used_;
};

void print_llvm_diagnostic(const llvm::DiagnosticInfo& info, void*) {
  std::string text;
  llvm::raw_string_ostream stream(text);
  llvm::DiagnosticPrinterRawOStream printer(stream);
  info.print(printer);
  stream.flush();
  sys_printf("%s\n", text.c_str());
}

// Diagnostics name files as the data names them, without the virtual folder.
void print_diagnostics(std::string text) {
  std::string prefix = std::string(kVirtualRoot) + "/";
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at))
    text.erase(at, prefix.size());
  if (!text.empty()) sys_printf("%s", text.c_str());
}

bool is_c_source(const char* name) { return sys_strend(name, ".c"); }

std::unique_ptr<llvm::Module> compile(const CompileSource* source,
                                      llvm::IntrusiveRefCntPtr<llvm::vfs::FileSystem> files,
                                      const char* const* flags, u64 flag_count,
                                      const CompileSource* headers, u64 header_count, u8* used,
                                      Leftovers* leftovers) {
  std::string root_flag = std::string("-fdebug-compilation-dir=") + kVirtualRoot;
  std::string prefix_map = std::string("-fmacro-prefix-map=") + kVirtualRoot + "/=";
  std::vector<const char*> args = {TOV_CLANG_PATH,
                                   "-c",
                                   "-x",
                                   is_c_source(source->name) ? "c" : "c++",
                                   "-O2",
                                   "-iquote",
                                   kVirtualRoot,
                                   root_flag.c_str(),
                                   prefix_map.c_str(),
                                   "-Werror=date-time",
                                   "-fno-ident"};
  if (!is_c_source(source->name)) args.push_back("-std=c++20");
  for (u64 i = 0; i < flag_count; ++i) args.push_back(flags[i]);
  std::string path = std::string(kVirtualRoot) + "/" + source->name;
  args.push_back(path.c_str());

  std::string driver_text;
  llvm::raw_string_ostream driver_stream(driver_text);
  llvm::IntrusiveRefCntPtr<clang::DiagnosticOptions> options = new clang::DiagnosticOptions();
  auto* printer = new clang::TextDiagnosticPrinter(driver_stream, options.get());
  llvm::IntrusiveRefCntPtr<clang::DiagnosticsEngine> diagnostics =
      clang::CompilerInstance::createDiagnostics(options.get(), printer, true);
  std::unique_ptr<clang::CompilerInvocation> invocation =
      clang::createInvocationFromCommandLine(args, diagnostics, files);
  driver_stream.flush();
  if (!invocation || diagnostics->hasErrorOccurred()) {
    print_diagnostics(driver_text);
    return nullptr;
  }
  invocation->getFrontendOpts().DisableFree = false;

  leftovers->compiles.push_back(std::make_unique<Compile>());
  Compile& state = *leftovers->compiles.back();
  clang::CompilerInstance& compiler = state.compiler;
  llvm::raw_string_ostream& stream = state.stream;
  compiler.setInvocation(std::move(invocation));
  compiler.createDiagnostics(
      new clang::TextDiagnosticPrinter(stream, &compiler.getDiagnosticOpts()), true);
  compiler.setVerboseOutputStream(stream);  // "1 error generated." goes with the rest
  compiler.createFileManager(files);
  compiler.addDependencyCollector(std::make_shared<UsedHeaders>(headers, header_count, used));
  clang::EmitLLVMOnlyAction action(leftovers->context.get());
  bool ok = compiler.ExecuteAction(action);
  stream.flush();
  print_diagnostics(state.text);
  if (!ok) return nullptr;
  return action.takeModule();
}

}  // namespace

extern "C" {

ZU_EXPORT void zu_init(void*, u8, const char* const**) { register_native_targets(); }

ZU_EXPORT void* bcgen_bitcode_create(const CompileSource* sources, u64 source_count,
                                     const CompileSource* headers, u64 header_count,
                                     const char* const* flags, u64 flag_count, u8* used) {
  register_native_targets();  // for callers that did not load this library as a module
  sys_prefer_large_heap_pages();
  llvm::IntrusiveRefCntPtr<llvm::vfs::InMemoryFileSystem> memory =
      new llvm::vfs::InMemoryFileSystem();
  auto add = [&](const CompileSource* file) {
    std::string path = std::string(kVirtualRoot) + "/" + file->name;
    // Our bytes end in a NUL, which the compiler's buffers need.
    memory->addFile(path, 0,
                    llvm::MemoryBuffer::getMemBuffer(
                        llvm::StringRef((const char*)file->data, file->size), file->name, true));
  };
  for (u64 i = 0; i < source_count; ++i) add(sources + i);
  for (u64 i = 0; i < header_count; ++i) add(headers + i);
  llvm::IntrusiveRefCntPtr<llvm::vfs::OverlayFileSystem> files =
      new llvm::vfs::OverlayFileSystem(llvm::vfs::getRealFileSystem());
  files->pushOverlay(memory);

  Leftovers* leftovers = new Leftovers();
  leftovers->context = std::make_unique<llvm::LLVMContext>();
  leftovers->context->setDiagnosticHandlerCallBack(print_llvm_diagnostic);
  std::unique_ptr<llvm::Module>& linked = leftovers->module;
  for (u64 i = 0; i < source_count; ++i) {
    std::unique_ptr<llvm::Module> module = compile(sources + i, files, flags, flag_count, headers,
                                                   header_count, used, leftovers);
    if (!module) {
      delete leftovers;
      return nullptr;
    }
    if (!linked) {
      linked = std::move(module);
    } else if (llvm::Linker::linkModules(*linked, std::move(module))) {
      sys_printf("ERROR: Couldn't link '%s' into the data's module\n", sources[i].name);
      delete leftovers;
      return nullptr;
    }
  }
  if (!linked) {
    delete leftovers;
    return nullptr;
  }
  Bitcode* bitcode = new Bitcode();
  llvm::raw_svector_ostream out(bitcode->bytes);
  llvm::WriteBitcodeToFile(*linked, out);
  bitcode->teardown = thread_thread_create(free_leftovers, leftovers, "bcgen teardown", ~0ull);
  if (!bitcode->teardown) free_leftovers(leftovers);
  return bitcode;
}

ZU_EXPORT u64 bcgen_bitcode_get_data(void* bitcode, const void** data) {
  Bitcode* self = (Bitcode*)bitcode;
  *data = self->bytes.data();
  return self->bytes.size();
}

ZU_EXPORT void bcgen_bitcode_destroy(void* bitcode) {
  Bitcode* self = (Bitcode*)bitcode;
  if (!self) return;
  if (self->teardown) {
    thread_thread_join(self->teardown);
    thread_thread_destroy(self->teardown);
  }
  delete self;
}
}
