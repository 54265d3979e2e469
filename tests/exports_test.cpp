// The export table against what the built library really exports, and every
// export called through the loaded library by its exported name.
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "precise/functions.h"
#include "capi/names.h"
#include "exports/calls.h"
#include "exports/export_info.h"
#include "library_loader.h"
#include "typical_args.h"

namespace {

using Args = vexal::CallArgs;


Args args_for(const vexal::ExportInfo& e) {
  Args a;
  for (std::size_t i = 0; i < e.argc; ++i) {
    if (e.args[i].is_array) {
      if (!std::strcmp(e.args[i].name, "probs")) {
        a.arrays.push_back({0.3, 0.2, 0.2, 0.1, 0.1, 0.1});
      } else if (!std::strcmp(e.args[i].name, "outcomes")) {
        a.arrays.push_back({1.0, -1.0, 0.5, -0.5, 2.0, -0.2});
      } else if (!std::strcmp(e.args[i].name, "times")) {
        a.arrays.push_back({0.1, 0.3, 0.45, 0.7, 0.2, 0.05});
      } else if (!std::strcmp(e.args[i].name, "amounts")) {
        a.arrays.push_back({1, 0.5, 0.75, 1, 0.25, 0.5});
      } else {
        const double shift = static_cast<double>(a.arrays.size());
        a.arrays.push_back({100 + shift, 101.5 - shift, 99.25, 102 + shift, 100.5, 103 - shift});
      }
    } else {
      a.nums.push_back(typical_value(e.args[i].name));
    }
  }
  return a;
}

// On i386 a double comes back in the x87 register; reading it through a
// long double return type sees all 80 bits of it.
#if defined(__i386__)
using Returned = long double;
#else
using Returned = double;
#endif

template <class... P> long double call_as(void* fp, const Args& a) {
  return vexal::Exported<Returned>::call<P...>(fp, a);
}

struct Caller {
  long double (*through_library)(void*, const Args&);
  double (*in_process)(const Args&);
};

}  // namespace

TEST(ExportTable, HoldsTheEightyEightExports) {
  ASSERT_EQ(vexal::kExportCount, 88u);
  std::set<std::string> names;
  for (const auto& e : vexal::kExports) EXPECT_TRUE(names.insert(e.name).second) << e.name;
  const std::map<std::string, std::string> decorated = {
      {"norm", "norm@8"},         {"call_eur", "call_eur@48"},         {"call_eur_d", "call_eur_d@56"},
      {"put_binamer", "put_binamer@56"}, {"call_binamer_d", "call_binamer_d@64"}, {"Price_mn", "Price_mn@12"},
      {"Price_vr", "Price_vr@20"}, {"Price_cor", "Price_cor@16"},     {"Price_Vol_EWMA", "Price_Vol_EWMA@36"},
      {"Price_Vol_Parkinson", "Price_Vol_Parkinson@24"}, {"Price_Vol_YangZhang", "Price_Vol_YangZhang@32"},
      {"Price_input", "Price_input@20"}, {"kelly_input", "kelly_input@16"}, {"garch_param0", "garch_param0@0"},
      {"RanMT1", "RanMT1@0"},     {"RanMTInit", "RanMTInit@8"},       {"F_NextPrice", "F_NextPrice@32"},
      {"ProbFPBBMaxPTUB", "ProbFPBBMaxPTUB@48"}, {"AdjBarrier", "AdjBarrier@16"}, {"EMDD", "EMDD@24"},
      {"kellyfr_exittime_ab", "kellyfr_exittime_ab@40"}, {"exittime_ab", "exittime_ab@32"}};
  for (const auto& [name, want] : decorated) {
    const vexal::ExportInfo* e = vexal::find_export(name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->decorated_name(), want);
    EXPECT_EQ(vexal::find_export(want), e);
  }
}

#if defined(_WIN32)
namespace {
// The export directory of a PE image: the DLL's name and its exported names,
// and whether every export points into executable code.
struct PeExports {
  std::uint32_t machine = 0;
  std::string dll_name;
  std::vector<std::string> names;
  std::vector<std::string> imports;  // the DLLs it loads
  std::size_t functions = 0;
  bool all_code = true;
};

PeExports read_pe_exports(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](std::size_t o) { return static_cast<std::uint32_t>(f.at(o) | f.at(o + 1) << 8); };
  auto u32 = [&](std::size_t o) { return u16(o) | u16(o + 2) << 16; };
  const std::size_t pe = u32(0x3c);
  const std::size_t sections = u16(pe + 6), opt_size = u16(pe + 20), opt = pe + 24;
  const std::size_t table = opt + opt_size;
  struct Section { std::uint32_t va, size, raw, flags; };
  std::vector<Section> secs;
  for (std::size_t i = 0; i < sections; ++i) {
    const std::size_t s = table + 40 * i;
    secs.push_back({u32(s + 12), u32(s + 8), u32(s + 20), u32(s + 36)});
  }
  auto section_of = [&](std::uint32_t rva) -> const Section* {
    for (const auto& s : secs)
      if (rva >= s.va && rva < s.va + s.size) return &s;
    return nullptr;
  };
  auto off = [&](std::uint32_t rva) { const Section* s = section_of(rva); return s->raw + (rva - s->va); };
  auto str = [&](std::size_t o) { return std::string(reinterpret_cast<const char*>(&f.at(o))); };
  // Data directory 0 follows the optional header's fixed part: 96 bytes in
  // PE32 (magic 0x10b), 112 in PE32+ (0x20b).
  const std::size_t dirs = opt + (u16(opt) == 0x20b ? 112 : 96);
  const std::uint32_t dir_rva = u32(dirs);
  const std::uint32_t dir_size = u32(dirs + 4);
  const std::size_t d = off(dir_rva);
  PeExports out;
  out.machine = u16(pe + 4);
  out.dll_name = str(off(u32(d + 12)));
  out.functions = u32(d + 20);
  const std::size_t n_names = u32(d + 24);
  const std::size_t funcs = off(u32(d + 28)), names = off(u32(d + 32));
  for (std::size_t i = 0; i < n_names; ++i) out.names.push_back(str(off(u32(names + 4 * i))));
  if (const std::uint32_t imp = u32(dirs + 8)) {  // data directory 1, 20 bytes a descriptor
    for (std::size_t o = off(imp); u32(o + 12) != 0; o += 20) out.imports.push_back(str(off(u32(o + 12))));
  }
  for (std::size_t i = 0; i < out.functions; ++i) {
    const std::uint32_t rva = u32(funcs + 4 * i);
    const Section* s = section_of(rva);
    const bool forwarder = rva >= dir_rva && rva < dir_rva + dir_size;
    if (forwarder || !s || !(s->flags & 0x20000000u)) out.all_code = false;  // IMAGE_SCN_MEM_EXECUTE
  }
  return out;
}
}  // namespace

#if __has_include("capi/names.h")
#include "capi/names.h"  // the names of the library's own C API
#endif

// Vexal.dll exports the 88 decorated names and nothing else (no precise
// function); Vexal64.dll the 88 plain names and otherwise only the library's
// own vexal_ functions: the C API and the precise family.
TEST(ExportTable, DllExportDirectoryIsExactlyTheTable) {
  const std::string file = LoadedLibrary::file_name();
  const PeExports pe = read_pe_exports(file);
#if defined(__i386__)
  EXPECT_EQ(pe.machine, 0x14cu);  // IMAGE_FILE_MACHINE_I386
#else
  EXPECT_EQ(pe.machine, 0x8664u);  // IMAGE_FILE_MACHINE_AMD64
#endif
  EXPECT_EQ(pe.dll_name, file);
  std::set<std::string> want, table, api;
  for (const auto& e : vexal::kExports) want.insert(LoadedLibrary::exported_name(e));
  for (const std::string& name : pe.names) {
    if (want.count(name)) {
      table.insert(name);
    } else {
#if defined(__i386__)
      ADD_FAILURE() << "unexpected export " << name;
#else
      EXPECT_EQ(name.rfind("vexal_", 0), 0u) << "unexpected export " << name;
#endif
      api.insert(name);
    }
  }
  EXPECT_EQ(table, want);
#if defined(__i386__)
  EXPECT_EQ(pe.names.size(), 88u);
#elif __has_include("capi/names.h")
  std::set<std::string> want_api;
#define VEXAL_API_NAME(name) want_api.insert(#name);
  VEXAL_C_API(VEXAL_API_NAME)
#undef VEXAL_API_NAME
  for (const auto& e : vexal::kPrecise) want_api.insert(vexal::exported_name(e));
  EXPECT_EQ(api, want_api);
#endif
  EXPECT_EQ(std::set<std::string>(pe.names.begin(), pe.names.end()).size(), pe.names.size()) << "a name twice";
  EXPECT_EQ(pe.functions, pe.names.size()) << "an export by ordinal only";
  EXPECT_TRUE(pe.all_code) << "an export that is data or a forwarder";
  // Linked statically: the C runtime and the system, nothing a user lacks.
  for (std::string dll : pe.imports) {
    for (char& c : dll) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(dll == "kernel32.dll" || dll == "msvcrt.dll") << "imports " << dll;
  }
  EXPECT_FALSE(pe.imports.empty());
}
// On process attach the entry point sets round-to-nearest (and on 32-bit
// the x87 64-bit significand), leaving the exception masks as they were.
TEST(ExportTable, EntryPointSetsTheFloatingPointControl) {
  ASSERT_EQ(GetModuleHandleA(LoadedLibrary::file_name()), nullptr) << "loaded before this test";
  const unsigned int before = _controlfp(0, 0);
  _controlfp(_RC_CHOP, _MCW_RC);
  LoadedLibrary lib;
  ASSERT_TRUE(lib.ok());
  const unsigned int after = _controlfp(0, 0);
  _controlfp(before, _MCW_RC);
  EXPECT_EQ(after & _MCW_RC, static_cast<unsigned int>(_RC_NEAR));
  EXPECT_EQ(after & _MCW_EM, before & _MCW_EM);
#if defined(__i386__)
  EXPECT_EQ(after & _MCW_PC, static_cast<unsigned int>(_PC_64));
#endif
}

#if defined(__i386__)
// VexalPrecise.dll, the companion of the 32-bit Vexal.dll: exactly the
// precise table under decorated names, code only, the same imports, and
// the same entry point (round to nearest, 64-bit x87 significand).
TEST(ExportTable, CompanionExportsExactlyThePreciseTable) {
  const PeExports pe = read_pe_exports(vexal::kPreciseLibraryFile);
  EXPECT_EQ(pe.machine, 0x14cu);
  EXPECT_EQ(pe.dll_name, vexal::kPreciseLibraryFile);
  std::set<std::string> want;
  for (const auto& e : vexal::kPrecise) want.insert(e.decorated_name());
  EXPECT_EQ(std::set<std::string>(pe.names.begin(), pe.names.end()), want);
  EXPECT_EQ(pe.names.size(), vexal::kPreciseCount);
  EXPECT_EQ(pe.functions, pe.names.size()) << "an export by ordinal only";
  EXPECT_TRUE(pe.all_code) << "an export that is data or a forwarder";
  for (std::string dll : pe.imports) {
    for (char& c : dll) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(dll == "kernel32.dll" || dll == "msvcrt.dll") << "imports " << dll;
  }

  ASSERT_EQ(GetModuleHandleA(vexal::kPreciseLibraryFile), nullptr) << "loaded before this test";
  const unsigned int before = _controlfp(0, 0);
  _controlfp(_RC_CHOP | _PC_53, _MCW_RC | _MCW_PC);
  ASSERT_NE(LoadLibraryA(vexal::kPreciseLibraryFile), nullptr);
  const unsigned int after = _controlfp(0, 0);
  _controlfp(before, _MCW_RC | _MCW_PC);
  EXPECT_EQ(after & _MCW_RC, static_cast<unsigned int>(_RC_NEAR));
  EXPECT_EQ(after & _MCW_PC, static_cast<unsigned int>(_PC_64));
  EXPECT_EQ(after & _MCW_EM, before & _MCW_EM);
}
#endif
#else
TEST(ExportTable, SharedLibraryExportsExactlyTheTable) {
  FILE* p = popen("nm -D --defined-only ./libvexal.so.1", "r");
  ASSERT_NE(p, nullptr);
  std::set<std::string> got;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    char type = 0;
    char name[400] = {0};
    unsigned long long addr;
    if (std::sscanf(line, "%llx %c %399s", &addr, &type, name) == 3) {
      EXPECT_TRUE(type == 'T') << name << " has type " << type;
      got.insert(name);
    }
  }
  pclose(p);
  std::set<std::string> want;
  for (const auto& e : vexal::kExports) want.insert(e.name);
#define VEXAL_API_NAME(name) want.insert(#name);
  VEXAL_C_API(VEXAL_API_NAME)
#undef VEXAL_API_NAME
  for (const auto& e : vexal::kPrecise) want.insert("vexal_" + std::string(e.name));
  EXPECT_EQ(got, want);

  FILE* d = popen("objdump -p ./libvexal.so.1 | grep SONAME", "r");
  ASSERT_NE(d, nullptr);
  char soname[256] = {0};
  ASSERT_NE(std::fgets(soname, sizeof soname, d), nullptr);
  pclose(d);
  EXPECT_NE(std::string(soname).find("libvexal.so.1"), std::string::npos) << soname;
}
#endif

// Every export, found by the name a host uses and called through a pointer
// of its exact type, returns what the same function returns in process; the
// value in the return register is exactly a double. The loaded library and
// the static library start from the same state and see the same calls.
TEST(ExportTable, EveryExportCallableByName) {
  LoadedLibrary lib;
  ASSERT_TRUE(lib.ok());
#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_CALLER_ROW(name, args, ...) \
  {&call_as<VEXAL_TYPES(args)>, [](const Args& a) { return vexal::apply_args(&vexal::name, a); }},
  static const Caller callers[] = {VEXAL_EXPORT_TABLE(VEXAL_CALLER_ROW)};
#undef VEXAL_CALLER_ROW
#undef N
#undef A
  for (std::size_t i = 0; i < vexal::kExportCount; ++i) {
    const vexal::ExportInfo& e = vexal::kExports[i];
    void* fp = lib.find(LoadedLibrary::exported_name(e));
    ASSERT_NE(fp, nullptr) << LoadedLibrary::exported_name(e);
    const Args a = args_for(e);
    const long double got = callers[i].through_library(fp, a);
    const double want = callers[i].in_process(a);
    if (std::isnan(want)) {
      EXPECT_TRUE(std::isnan(got)) << e.name;
    } else {
      EXPECT_EQ(static_cast<long double>(static_cast<double>(got)), got) << e.name << " returned extra precision";
      EXPECT_EQ(static_cast<double>(got), want) << e.name;
    }
  }
}

// The precise family through the loaded library by its C symbols, equal to
// the in-process calls bit for bit, the value returned exactly a double;
// absent from the 32-bit Vexal.dll, whose companion VexalPrecise.dll has it
// under decorated names.
TEST(ExportTable, PreciseFamilyByItsCSymbols) {
  LoadedLibrary lib;
  ASSERT_TRUE(lib.ok());
#if defined(_WIN32) && defined(__i386__)
  void* const companion = LoadLibraryA(vexal::kPreciseLibraryFile);
  ASSERT_NE(companion, nullptr) << vexal::kPreciseLibraryFile;
#endif
#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_CALLER_ROW(name, args, ...) \
  {&call_as<VEXAL_TYPES(args)>, [](const Args& a) { return vexal::apply_args(&vexal::name, a); }},
  static const Caller callers[] = {VEXAL_PRECISE_TABLE(VEXAL_CALLER_ROW)};
#undef VEXAL_CALLER_ROW
#undef N
#undef A
  static_assert(sizeof(callers) / sizeof(callers[0]) == vexal::kPreciseCount);
  for (std::size_t i = 0; i < vexal::kPreciseCount; ++i) {
    const vexal::ExportInfo& e = vexal::kPrecise[i];
    const std::string symbol = LoadedLibrary::exported_name(e);
#if defined(_WIN32) && defined(__i386__)
    EXPECT_EQ(symbol, e.decorated_name());
    EXPECT_EQ(lib.find(symbol), nullptr) << symbol << " in " << LoadedLibrary::file_name();
    EXPECT_EQ(lib.find("vexal_" + std::string(e.name)), nullptr) << e.name << " in " << LoadedLibrary::file_name();
    void* fp = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(companion), symbol.c_str()));
#else
    EXPECT_EQ(symbol, "vexal_" + std::string(e.name));
    void* fp = lib.find(symbol);
#endif
    ASSERT_NE(fp, nullptr) << symbol;
    const Args a = args_for(e);
    const long double returned = callers[i].through_library(fp, a);
    const double got = static_cast<double>(returned), want = callers[i].in_process(a);
    if (!std::isnan(got)) {
      EXPECT_EQ(static_cast<long double>(got), returned) << e.name << " returned extra precision";
    }
    EXPECT_TRUE(std::memcmp(&got, &want, sizeof got) == 0 || (std::isnan(got) && std::isnan(want)))
        << e.name << ": " << got << " vs " << want;
  }
}
