// TModule: a dynamic library (a component such as Components/Options.so) loaded with dlopen,
// unloaded when the object goes or Unload is called.
//
// A relative path is taken from the program directory, never from the current directory.
// Symbols are resolved at load time (RTLD_NOW), so a library with a missing dependency fails
// to load instead of failing later; symbols stay local to the library (RTLD_LOCAL).
// Failures keep the loader's text in ErrorText() for the debug log.
// Owned by its caller; use from one thread at a time.
#pragma once

#include <string>

namespace kv {

class TModule {
 public:
  TModule() = default;
  explicit TModule(const std::string& path) { Load(path); }
  ~TModule() { Unload(); }
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;
  TModule(TModule&& other) noexcept;
  TModule& operator=(TModule&& other) noexcept;

  // Loads the library (unloading a previous one first). False when it cannot be loaded.
  bool Load(const std::string& path);
  void Unload();
  bool IsLoaded() const { return handle_ != nullptr; }

  // The address of an exported symbol, or nullptr when it is missing or nothing is loaded.
  void* Symbol(const std::string& name);
  // The export as a function pointer of type F (for example bool (*)(void*, int)).
  template <class F>
  F Function(const std::string& name) {
    return reinterpret_cast<F>(Symbol(name));
  }

  const std::string& Path() const { return path_; }       // resolved path of the last Load
  const std::string& ErrorText() const { return error_; }  // last failure, empty after success

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string error_;
};

}  // namespace kv
