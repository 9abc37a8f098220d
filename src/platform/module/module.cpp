#include "platform/module/module.h"

#include <dlfcn.h>

#include <utility>

#include "platform/module/program_directory.h"

namespace kv {

namespace {

std::string LoaderError(const char* fallback) {
  const char* text = ::dlerror();
  return text ? text : fallback;
}

}  // namespace

TModule::TModule(TModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

TModule& TModule::operator=(TModule&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
  }
  return *this;
}

bool TModule::Load(const std::string& path) {
  Unload();
  path_ = ProgramPath(path);
  ::dlerror();  // clear an old error
  // RTLD_NODELETE: a library that made Qt widgets may leave objects, metatypes or style caches
  // behind that point into its code; keeping it mapped after Unload makes that harmless.
  handle_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  error_ = handle_ ? std::string() : LoaderError("cannot load library");
  return handle_ != nullptr;
}

void TModule::Unload() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

void* TModule::Symbol(const std::string& name) {
  if (!handle_) {
    error_ = "no library loaded";
    return nullptr;
  }
  ::dlerror();
  void* address = ::dlsym(handle_, name.c_str());
  error_ = address ? std::string() : LoaderError("symbol not found");
  return address;
}

}  // namespace kv
