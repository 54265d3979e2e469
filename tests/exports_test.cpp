// The export table against what the built library really exports, and every
// export called through the loaded library by its exported name.
#include <cmath>
#include <cstdio>
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
#include "exports/c_api.h"
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
  std::string dll_name;
  std::vector<std::string> names;
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
  const std::uint32_t dir_rva = u32(opt + 96);  // PE32 data directory 0
  const std::uint32_t dir_size = u32(opt + 100);
  const std::size_t d = off(dir_rva);
  PeExports out;
  out.dll_name = str(off(u32(d + 12)));
  out.functions = u32(d + 20);
  const std::size_t n_names = u32(d + 24);
  const std::size_t funcs = off(u32(d + 28)), names = off(u32(d + 32));
  for (std::size_t i = 0; i < n_names; ++i) out.names.push_back(str(off(u32(names + 4 * i))));
  for (std::size_t i = 0; i < out.functions; ++i) {
    const std::uint32_t rva = u32(funcs + 4 * i);
    const Section* s = section_of(rva);
    const bool forwarder = rva >= dir_rva && rva < dir_rva + dir_size;
    if (forwarder || !s || !(s->flags & 0x20000000u)) out.all_code = false;  // IMAGE_SCN_MEM_EXECUTE
  }
  return out;
}
}  // namespace

TEST(ExportTable, DllExportDirectoryIsExactlyTheTable) {
  const PeExports pe = read_pe_exports("Vexal.dll");
  EXPECT_EQ(pe.dll_name, "Vexal.dll");
  std::set<std::string> want, got(pe.names.begin(), pe.names.end());
  for (const auto& e : vexal::kExports) want.insert(e.decorated_name());
  EXPECT_EQ(got, want);
  EXPECT_EQ(pe.names.size(), vexal::kExportCount);
  EXPECT_EQ(pe.functions, vexal::kExportCount);
  EXPECT_TRUE(pe.all_code) << "an export that is data or a forwarder";
}
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
#define VEXAL_CALLER_ROW(name, args, summary) \
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
