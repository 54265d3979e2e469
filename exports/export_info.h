// The export table as data: names, arguments and Win32 decorated sizes;
// and the precise table in the same form.
#ifndef VEXAL_EXPORT_INFO_H
#define VEXAL_EXPORT_INFO_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/numeric.h"
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
  const char* note;  // edges, units, special cases; "" where the summary says all
  bool state;        // STATE in the table: reads or writes module state
  std::size_t argc;
  ArgInfo args[10];
  // A row of the precise table: exported as vexal_<name> by libvexal.so and
  // Vexal64.dll, never by the 32-bit Vexal.dll; decorated by its 32-bit
  // companion VexalPrecise.dll.
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
#define VEXAL_FLAG_STATE true
#define VEXAL_FLAG_PURE false
#define VEXAL_INFO_ROW(name, args, flags, summary, note) \
  {#name, summary, note, VEXAL_FLAG_##flags, VEXAL_NARGS(VEXAL_EXPAND args), {VEXAL_ARGINFOS(args)}},
inline constexpr ExportInfo kExports[] = {VEXAL_EXPORT_TABLE(VEXAL_INFO_ROW)};
#undef VEXAL_INFO_ROW
#undef N
#undef A

inline constexpr std::size_t kExportCount = sizeof(kExports) / sizeof(kExports[0]);

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_PRECISE_INFO_ROW(name, args, flags, summary, note) \
  {#name, summary, note, VEXAL_FLAG_##flags, VEXAL_NARGS(VEXAL_EXPAND args), {VEXAL_ARGINFOS(args)}, true},
inline constexpr ExportInfo kPrecise[] = {VEXAL_PRECISE_TABLE(VEXAL_PRECISE_INFO_ROW)};
#undef VEXAL_PRECISE_INFO_ROW
#undef VEXAL_FLAG_STATE
#undef VEXAL_FLAG_PURE
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
// plain elsewhere; a precise function as vexal_<name>, except on 32-bit
// Windows, where Vexal.dll keeps exactly the 88 (kLibraryHasPrecise false)
// and its companion VexalPrecise.dll exports the precise family decorated
// (precise_call_eur@48). kPreciseLibraryFile names the file that has it.
#if defined(_WIN32) && defined(__i386__)
inline constexpr const char* kLibraryFile = "Vexal.dll";
inline constexpr const char* kPreciseLibraryFile = "VexalPrecise.dll";
inline constexpr bool kDecoratedNames = true;
inline constexpr bool kLibraryHasPrecise = false;
#elif defined(_WIN32)
inline constexpr const char* kLibraryFile = "Vexal64.dll";
inline constexpr const char* kPreciseLibraryFile = kLibraryFile;
inline constexpr bool kDecoratedNames = false;
inline constexpr bool kLibraryHasPrecise = true;
#else
inline constexpr const char* kLibraryFile = "libvexal.so.1";
inline constexpr const char* kPreciseLibraryFile = kLibraryFile;
inline constexpr bool kDecoratedNames = false;
inline constexpr bool kLibraryHasPrecise = true;
#endif
inline std::string exported_name(const ExportInfo& e) {
  if (e.precise) return kLibraryHasPrecise ? "vexal_" + std::string(e.name) : e.decorated_name();
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

// The state rule: a row flagged STATE reads or writes module state (the two
// fits and the generator); every other export, and every precise function,
// is a pure function of its arguments.
inline bool keeps_state(const ExportInfo& e) { return e.state; }

// The count rule: the arrays of e are sized by its number argument named n
// or count; its position, or -1. (tools/gen_bindings.py writes the same
// position into every binding's rows.)
inline int count_argument(const ExportInfo& e) {
  for (std::size_t i = 0; i < e.argc; ++i)
    if (!e.args[i].is_array && (std::string_view(e.args[i].name) == "n" || std::string_view(e.args[i].name) == "count"))
      return static_cast<int>(i);
  return -1;
}

// Elements a function reads from each of its arrays for a given count:
// those up to nearest(count - 1), and element 0 whatever the count (a NaN
// or out-of-range count reads element 0 only). The batch engine and the CLI
// check arrays against it; the bindings take the same rule.
inline std::int64_t elements_read(double count) {
  const std::int32_t last = to_int_nearest(count - 1);
  return last == kBadInt || last < 0 ? 1 : static_cast<std::int64_t>(last) + 1;
}

}  // namespace vexal

#endif
