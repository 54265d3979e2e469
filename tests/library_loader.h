// Loads the built shared library (libvexal.so, Vexal.dll or Vexal64.dll) from the
// directory the tests run in and finds exports by their exported names.
#ifndef VEXAL_TESTS_LIBRARY_LOADER_H
#define VEXAL_TESTS_LIBRARY_LOADER_H

#include <string>

#include "exports/api.h"
#include "exports/export_info.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class LoadedLibrary {
 public:
  LoadedLibrary() {
#if defined(_WIN32)
    handle_ = LoadLibraryA(file_name());
#else
    handle_ = dlopen((std::string("./") + file_name()).c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  }
  bool ok() const { return handle_ != nullptr; }

  static const char* file_name() { return vexal::kLibraryFile; }
  static std::string exported_name(const vexal::ExportInfo& e) { return vexal::exported_name(e); }

  void* find(const std::string& name) const {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
#else
    return dlsym(handle_, name.c_str());
#endif
  }

  template <class Fn> Fn get(const char* plain_name) const {
    return reinterpret_cast<Fn>(find(exported_name(*vexal::find_export(plain_name))));
  }

 private:
  void* handle_ = nullptr;
};

#endif
