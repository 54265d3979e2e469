// The export table as data: names, arguments and Win32 decorated sizes;
// and the precise table in the same form.
#ifndef VEXAL_EXPORT_INFO_H
#define VEXAL_EXPORT_INFO_H

#include <cstddef>
#include <string>
#include <string_view>

#include "exports/table_macros.h"
#include "precise/precise_table.h"

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
  // A row of the precise table: exported as vexal_<name> by libvexal.so and
  // Vexal64.dll, never by the 32-bit Vexal.dll, and without a decorated name.
  bool precise = false;

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

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_PRECISE_INFO_ROW(name, args, summary) \
  {#name, summary, VEXAL_NARGS(VEXAL_EXPAND args), {VEXAL_ARGINFOS(args)}, true},
inline constexpr ExportInfo kPrecise[] = {VEXAL_PRECISE_TABLE(VEXAL_PRECISE_INFO_ROW)};
#undef VEXAL_PRECISE_INFO_ROW
#undef N
#undef A

inline constexpr std::size_t kPreciseCount = sizeof(kPrecise) / sizeof(kPrecise[0]);

// The 88 and the precise functions numbered as one list: the legacy table
// first, then the precise table (the order of tables of callers built by
// expanding VEXAL_EXPORT_TABLE then VEXAL_PRECISE_TABLE).
inline constexpr std::size_t kFunctionCount = kExportCount + kPreciseCount;
inline std::size_t function_index(const ExportInfo& e) {
  return e.precise ? kExportCount + static_cast<std::size_t>(&e - kPrecise) : static_cast<std::size_t>(&e - kExports);
}
inline const ExportInfo& function_at(std::size_t index) {
  return index < kExportCount ? kExports[index] : kPrecise[index - kExportCount];
}

// The library file this platform's build makes, and the name a host asks it
// for a function by: an export of the 88 decorated on 32-bit Windows and
// plain elsewhere; a precise function as vexal_<name>, which the 32-bit
// Vexal.dll does not export (kLibraryHasPrecise).
#if defined(_WIN32) && defined(__i386__)
inline constexpr const char* kLibraryFile = "Vexal.dll";
inline constexpr bool kDecoratedNames = true;
inline constexpr bool kLibraryHasPrecise = false;
#elif defined(_WIN32)
inline constexpr const char* kLibraryFile = "Vexal64.dll";
inline constexpr bool kDecoratedNames = false;
inline constexpr bool kLibraryHasPrecise = true;
#else
inline constexpr const char* kLibraryFile = "libvexal.so.1";
inline constexpr bool kDecoratedNames = false;
inline constexpr bool kLibraryHasPrecise = true;
#endif
inline std::string exported_name(const ExportInfo& e) {
  if (e.precise) return "vexal_" + std::string(e.name);
  return kDecoratedNames ? e.decorated_name() : e.name;
}

inline const ExportInfo* find_export(const std::string& name) {
  for (const ExportInfo& e : kExports)
    if (name == e.name || name == e.decorated_name()) return &e;
  return nullptr;
}

// A function of either table by its name: an export of the 88 (plain or
// decorated) or a precise function (precise_call_eur).
inline const ExportInfo* find_function(const std::string& name) {
  if (const ExportInfo* e = find_export(name)) return e;
  for (const ExportInfo& e : kPrecise)
    if (name == e.name) return &e;
  return nullptr;
}

// The exports that read or write module state: the two fits (loaders,
// fits, accessors, resets) and the generator with the simulator that draws
// from it. Every other export, and every precise function, is a pure
// function of its arguments.
inline bool keeps_state(const ExportInfo& e) {
  if (e.precise) return false;
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
