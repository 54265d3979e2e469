// The export table as data: names, arguments and Win32 decorated sizes.
#ifndef VEXAL_EXPORT_INFO_H
#define VEXAL_EXPORT_INFO_H

#include <cstddef>
#include <string>
#include <string_view>

#include "exports/table_macros.h"

namespace vexal {

struct ArgInfo {
  const char* name;
  bool is_array;  // address of a caller-owned array of doubles
};

struct ExportInfo {
  const char* name;
  const char* summary;
  std::size_t argc;
  ArgInfo args[10];

  // Bytes of arguments on the Win32 stack: 8 per number, 4 per array.
  int stack_bytes() const {
    int bytes = 0;
    for (std::size_t i = 0; i < argc; ++i) bytes += args[i].is_array ? 4 : 8;
    return bytes;
  }
  std::string decorated_name() const { return std::string(name) + "@" + std::to_string(stack_bytes()); }
};

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_INFO_ROW(name, args, summary) \
  {#name, summary, VEXAL_NARGS(VEXAL_EXPAND args), {VEXAL_ARGINFOS(args)}},
inline constexpr ExportInfo kExports[] = {VEXAL_EXPORT_TABLE(VEXAL_INFO_ROW)};
#undef VEXAL_INFO_ROW
#undef N
#undef A

inline constexpr std::size_t kExportCount = sizeof(kExports) / sizeof(kExports[0]);

// The library file this platform's build makes, and the name a host asks it
// for an export by: decorated on 32-bit Windows, plain elsewhere.
#if defined(_WIN32) && defined(__i386__)
inline constexpr const char* kLibraryFile = "Vexal.dll";
inline std::string exported_name(const ExportInfo& e) { return e.decorated_name(); }
#elif defined(_WIN32)
inline constexpr const char* kLibraryFile = "Vexal64.dll";
inline std::string exported_name(const ExportInfo& e) { return e.name; }
#else
inline constexpr const char* kLibraryFile = "libvexal.so.1";
inline std::string exported_name(const ExportInfo& e) { return e.name; }
#endif

inline const ExportInfo* find_export(const std::string& name) {
  for (const ExportInfo& e : kExports)
    if (name == e.name || name == e.decorated_name()) return &e;
  return nullptr;
}

// The exports that read or write module state: the two fits (loaders,
// fits, accessors, resets) and the generator with the simulator that draws
// from it. Every other export is a pure function of its arguments.
inline bool keeps_state(const ExportInfo& e) {
  const std::string_view n = e.name;
  return n.starts_with("garch_") || n.starts_with("kelly_") || n == "Price_input" || n.starts_with("RanMT") ||
         n == "gaussMT" || n == "F_NextPrice";
}

// Position of the count argument (n or count) that sizes the arrays of e,
// or -1.
inline int count_argument(const ExportInfo& e) {
  for (std::size_t i = 0; i < e.argc; ++i)
    if (!e.args[i].is_array && (std::string_view(e.args[i].name) == "n" || std::string_view(e.args[i].name) == "count"))
      return static_cast<int>(i);
  return -1;
}

}  // namespace vexal

#endif
