// vexal: a host for the library. It loads the library at run time by file
// name, finds exports by name and calls them in sequence in one process, so
// that the fits and the generator keep their state from call to call.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/csv.h"
#include "core/numeric.h"
#include "exports/api.h"
#include "include/vexal_batch.h"
#include "include/vexal_garch.h"
#include "include/vexal_kelly.h"
#include "exports/calls.h"
#include "capi/options.h"
#include "exports/export_info.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif
#if defined(_WIN32)
#include <io.h>
#define VEXAL_ISATTY(fd) _isatty(fd)
#else
#define VEXAL_ISATTY(fd) isatty(fd)
#endif

namespace {

struct UsageError {
  std::string message;
};

[[noreturn]] void usage_error(const std::string& message) { throw UsageError{message}; }

struct Value {
  double num = 0;
  std::vector<double> arr;
};

// One typed caller per function, in the order of function_index: the
// export table, then the precise table.
using Thunk = double (*)(void*, const vexal::CallArgs&);
#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_THUNK(name, args, ...) &vexal::Exported<double>::call<VEXAL_TYPES(args)>,
const Thunk kThunks[] = {VEXAL_EXPORT_TABLE(VEXAL_THUNK) VEXAL_PRECISE_TABLE(VEXAL_THUNK)};
static_assert(sizeof(kThunks) / sizeof(kThunks[0]) == vexal::kFunctionCount);
#undef VEXAL_THUNK
#undef N
#undef A

void* load_library(const std::string& path) {
#if defined(_WIN32)
  return LoadLibraryA(path.c_str());
#else
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* find_symbol(void* handle, const char* name) {
#if defined(_WIN32)
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
  return dlsym(handle, name);
#endif
}

std::vector<std::string> precise_library_candidates(const std::string& library_path);

// The library, and on 32-bit Windows its companion VexalPrecise.dll for the
// precise family, loaded at the first precise function asked for.
class Library {
 public:
  explicit Library(const std::string& path) : path_(path), handle_(load_library(path)) {}
  bool ok() const { return handle_ != nullptr; }
  // A name as exported, such as the vexal_ functions of the C API.
  void* raw(const char* name) const { return find_symbol(handle_, name); }
  void* symbol(const vexal::ExportInfo& e) const {
    if (e.precise && !vexal::kLibraryHasPrecise) {
      if (!has_precise()) {
        std::fprintf(stderr,
                     "vexal: %s is in the precise family, which the 32-bit Vexal.dll does not have; it is in %s, "
                     "which belongs beside Vexal.dll and was not found; tried:%s\n",
                     e.name, vexal::kPreciseLibraryFile, precise_tried_.c_str());
        std::exit(1);
      }
      return find_symbol(precise_, vexal::exported_name(e).c_str());
    }
    return raw(vexal::exported_name(e).c_str());
  }
  // Whether the precise family can be called (loads the companion if need be).
  bool has_precise() const {
    if (vexal::kLibraryHasPrecise) return true;
    if (!precise_ && precise_tried_.empty())
      for (const std::string& path : precise_library_candidates(path_)) {
        if ((precise_ = load_library(path))) break;
        precise_tried_ += "\n  " + path;
      }
    return precise_ != nullptr;
  }

 private:
  std::string path_;
  void* handle_ = nullptr;
  mutable void* precise_ = nullptr;
  mutable std::string precise_tried_;
};

// The path the program was started by, for finding the executable where
// the system cannot tell (a container without /proc).
std::string invoked_as;

std::string executable_dir() {
#if defined(_WIN32)
  char buf[MAX_PATH];
  DWORD len = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string p(buf, len);
  auto cut = p.find_last_of("\\/");
#else
  char buf[4096];
  ssize_t len = readlink("/proc/self/exe", buf, sizeof buf);
  std::string p = len > 0 ? std::string(buf, static_cast<std::size_t>(len)) : invoked_as;
  auto cut = p.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string(".") : p.substr(0, cut);
}

// --lib, then VEXAL_LIBRARY, then beside the executable, then the loader's path.
std::vector<std::string> library_candidates(const std::string& given) {
  if (!given.empty()) return {given};
  if (const char* env = std::getenv("VEXAL_LIBRARY"); env && *env) return {env};
  const std::string dir = executable_dir(), file = vexal::kLibraryFile;
#if defined(_WIN32)
  return {dir + "\\" + file, file};
#else
  return {dir + "/" + file, dir + "/../lib/" + file, file};
#endif
}

// The companion of the 32-bit Vexal.dll: beside the library loaded (when
// its path names a folder), then beside the executable, then the loader's path.
std::vector<std::string> precise_library_candidates(const std::string& library_path) {
  const std::string file = vexal::kPreciseLibraryFile;
  std::vector<std::string> out;
  const auto cut = library_path.find_last_of("\\/");
  if (cut != std::string::npos) out.push_back(library_path.substr(0, cut + 1) + file);
#if defined(_WIN32)
  const std::string beside_exe = executable_dir() + "\\" + file;
#else
  const std::string beside_exe = executable_dir() + "/" + file;
#endif
  if (std::find(out.begin(), out.end(), beside_exe) == out.end()) out.push_back(beside_exe);
  out.push_back(file);
  return out;
}

using vexal::csv::parse_number;
using vexal::csv::read_column;

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n\"");
  if (b == std::string::npos) return "";
  const auto e = s.find_last_not_of(" \t\r\n\"");
  return s.substr(b, e - b + 1);
}

std::vector<double> parse_array(const std::string& arg_name, const std::string& text) {
  if (!text.empty() && text[0] == '@') return read_column(text.substr(1));
  std::vector<double> values;
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) {
    double v;
    if (!parse_number(trim(item), v)) usage_error("array argument " + arg_name + ": '" + item + "' is not a number");
    values.push_back(v);
  }
  if (values.empty()) usage_error("array argument " + arg_name + " is empty");
  return values;
}

struct Call {
  const vexal::ExportInfo* info;
  std::size_t index;
  std::vector<Value> values;
  std::vector<std::string> texts;
};

// A function of either table by name (the precise family from
// VexalPrecise.dll on 32-bit Windows, when it is called).
const vexal::ExportInfo& function_named(const std::string& name) {
  const vexal::ExportInfo* e = vexal::find_function(name);
  if (!e) usage_error("unknown export '" + name + "' (see 'vexal list')");
  return *e;
}

Call parse_call(const std::vector<std::string>& words) {
  const vexal::ExportInfo* info = &function_named(words[0]);
  Call call{info, vexal::function_index(*info), {}, {}};
  if (words.size() - 1 != info->argc) {
    std::string sig;
    for (std::size_t i = 0; i < info->argc; ++i) sig += std::string(i ? ", " : "") + info->args[i].name;
    usage_error(std::string(info->name) + " takes " + std::to_string(info->argc) + " argument" +
                (info->argc == 1 ? "" : "s") + " (" + sig + "), " + std::to_string(words.size() - 1) + " given");
  }
  double count = NAN;
  for (std::size_t i = 0; i < info->argc; ++i) {
    Value v;
    const std::string& text = words[i + 1];
    if (info->args[i].is_array) {
      v.arr = parse_array(info->args[i].name, text);
    } else if (!parse_number(text, v.num)) {
      usage_error(std::string(info->name) + ": argument " + info->args[i].name + ": '" + text + "' is not a number");
    }
    if (static_cast<int>(i) == vexal::count_argument(*info)) count = v.num;
    call.values.push_back(std::move(v));
    call.texts.push_back(text);
  }
  // The library trusts the caller's lengths; the CLI checks them for it.
  for (std::size_t i = 0; i < info->argc; ++i) {
    if (!info->args[i].is_array) continue;
    const double need = static_cast<double>(vexal::elements_read(count));
    if (static_cast<double>(call.values[i].arr.size()) < need)
      usage_error(std::string(info->name) + ": array " + info->args[i].name + " has " +
                  std::to_string(call.values[i].arr.size()) + " values, the count asks for " +
                  std::to_string(static_cast<long long>(need)));
  }
  return call;
}

std::string format17(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// 17 significant digits; NaN and the infinities by name.
std::string format_cell(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  return format17(v);
}

std::string json_number(double v) { return std::isfinite(v) ? format17(v) : "\"" + format_cell(v) + "\""; }

std::string json_string(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

struct Options {
  std::string lib;
  bool json = false;
};

Library open_library(const Options& opt) {
  std::string tried;
  for (const auto& path : library_candidates(opt.lib)) {
    Library lib(path);
    if (lib.ok()) return lib;
    tried += "\n  " + path;
  }
  std::fprintf(stderr, "vexal: cannot load the library; tried:%s\n", tried.c_str());
  std::exit(1);
}

// The address of a call's function; a library without it ends the program.
void* resolve(const Library& lib, const Call& call) {
  void* fp = lib.symbol(*call.info);
  if (!fp) {
    std::fprintf(stderr, "vexal: the library does not export %s\n", call.info->name);
    std::exit(1);
  }
  return fp;
}

double run(const Library& lib, const Call& call) {
  void* fp = resolve(lib, call);
  vexal::CallArgs args;
  for (std::size_t i = 0; i < call.info->argc; ++i) {
    if (call.info->args[i].is_array) {
      args.arrays.push_back(call.values[i].arr);
    } else {
      args.nums.push_back(call.values[i].num);
    }
  }
  return kThunks[call.index](fp, args);
}


// ---- vexal map: one export over the rows of a CSV file ----

std::string error_text(const Library& lib, int code) {
  using ErrorFn = const char* (*)(int);
  if (auto fn = reinterpret_cast<ErrorFn>(lib.raw("vexal_error"))) return fn(code);
  return "code " + std::to_string(code);
}

// A bar on standard error, redrawn at most every tenth of a second.
int progress_bar(long long done, long long total, void* user) {
  auto* last = static_cast<int*>(user);
  const int pct = total > 0 ? static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total)) : 100;
  if (pct == *last && done != total) return 0;
  *last = pct;
  const int filled = pct * 40 / 100;
  std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld", std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), pct, done, total);
  if (done == total) std::fprintf(stderr, "\n");
  std::fflush(stderr);
  return 0;
}

int map_command(const Options& opt, const std::vector<std::string>& words) {
  // vexal map NAME FILE [ARG=VALUE ...] [--out FILE] [--threads N]
  std::vector<std::string> pos;
  std::string out_path;
  int threads = 0;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i] == "--out" || words[i] == "--threads") {
      if (i + 1 >= words.size()) usage_error(words[i] + " needs a value");
      const std::string& v = words[++i];
      if (words[i - 1] == "--out") {
        out_path = v;
      } else {
        double t;
        if (!parse_number(v, t) || t < 0 || t > 1024 || t != std::floor(t))
          usage_error("--threads takes a whole number from 0 (all cores) to 1024, not '" + v + "'");
        threads = static_cast<int>(t);
      }
    } else {
      pos.push_back(words[i]);
    }
  }
  if (pos.size() < 2) usage_error("map takes an export name and a CSV file");
  const vexal::ExportInfo* e = &function_named(pos[0]);
  if (vexal::keeps_state(*e))
    usage_error(std::string(e->name) + " keeps module state (a fit, loader, accessor or generator) and cannot be mapped");
  for (std::size_t j = 0; j < e->argc; ++j)
    if (e->args[j].is_array)
      usage_error(std::string(e->name) + " takes an array (" + e->args[j].name +
                  "); map evaluates functions of numbers only; call it directly");

  // ARG=VALUE fixes an argument for every row; ARG=@COLUMN reads it from a
  // column of another name.
  std::vector<bool> fixed(e->argc, false);
  std::vector<double> fixed_value(e->argc, 0);
  std::vector<std::string> renamed(e->argc);
  for (std::size_t k = 2; k < pos.size(); ++k) {
    const auto eq = pos[k].find('=');
    if (eq == std::string::npos) usage_error("'" + pos[k] + "' is not ARG=VALUE or ARG=@COLUMN");
    const std::string arg = pos[k].substr(0, eq), text = pos[k].substr(eq + 1);
    std::size_t j = 0;
    while (j < e->argc && arg != e->args[j].name) ++j;
    if (j == e->argc) usage_error(std::string(e->name) + " has no argument '" + arg + "'");
    if (fixed[j] || !renamed[j].empty()) usage_error("argument " + arg + " is given twice");
    if (text.size() > 1 && text[0] == '@') renamed[j] = text.substr(1);
    else if (!parse_number(text, fixed_value[j])) usage_error("argument " + arg + ": '" + text + "' is not a number");
    else fixed[j] = true;
  }

  vexal::csv::Reader in(pos[1], vexal::csv::Header::required);
  if (in.empty()) usage_error("file '" + pos[1] + "' is empty: the first line must name the arguments");
  std::vector<long> column(e->argc, -1);
  for (std::size_t j = 0; j < e->argc; ++j) {
    if (!renamed[j].empty()) {
      column[j] = static_cast<long>(in.column(renamed[j]));
      continue;
    }
    column[j] = in.find(e->args[j].name);
    if (column[j] >= 0 && fixed[j])
      usage_error(std::string("argument ") + e->args[j].name + " is both a column of the file and fixed by " +
                  e->args[j].name + "=VALUE");
    if (column[j] < 0 && !fixed[j])
      usage_error(std::string(e->name) + ": argument " + e->args[j].name + " is neither a column of '" + pos[1] +
                  "' nor given as " + e->args[j].name + "=VALUE or " + e->args[j].name + "=@COLUMN");
  }

  // Columns of doubles, one per argument (stride 0 for a fixed one); the
  // lines as read, to print them back.
  std::vector<std::vector<double>> cols(e->argc);
  std::vector<long long> strides(e->argc, 0);
  for (std::size_t j = 0; j < e->argc; ++j) {
    if (fixed[j]) cols[j] = {fixed_value[j]};
    else strides[j] = 1;
  }
  std::vector<std::string> lines;
  std::vector<std::vector<std::string>> fields;
  while (in.next()) {
    lines.push_back(in.line());
    if (opt.json) fields.push_back(in.fields());
    for (std::size_t j = 0; j < e->argc; ++j)
      if (!fixed[j]) cols[j].push_back(in.number(static_cast<std::size_t>(column[j])));
  }
  const long long rows = static_cast<long long>(lines.size());

  const Library lib = open_library(opt);
  void* fp = lib.symbol(*e);
  if (!fp) {
    std::fprintf(stderr, "vexal: the library does not export %s\n", e->name);
    return 1;
  }
  std::vector<double> result(static_cast<std::size_t>(rows));
  using MapProgress = decltype(&vexal_map_progress);
  if (auto map = reinterpret_cast<MapProgress>(lib.raw("vexal_map_progress"))) {
    std::vector<const double*> ptrs;
    for (const auto& c : cols) ptrs.push_back(c.data());
    int last = -1;
    const bool bar = VEXAL_ISATTY(2) && rows > 0;
    const int rc = map(e->name, rows, ptrs.data(), strides.data(), result.data(), threads,
                       bar ? progress_bar : nullptr, &last);
    if (rc != VEXAL_OK) {
      std::fprintf(stderr, "vexal: map failed: %s\n", error_text(lib, rc).c_str());
      return 1;
    }
  } else {
    // A library without the batch engine (the 32-bit DLL): one call per row.
    const std::size_t index = vexal::function_index(*e);
    vexal::CallArgs args;
    args.nums.resize(e->argc);
    for (long long i = 0; i < rows; ++i) {
      for (std::size_t j = 0; j < e->argc; ++j) args.nums[j] = cols[j][static_cast<std::size_t>(i * strides[j])];
      result[static_cast<std::size_t>(i)] = kThunks[index](fp, args);
    }
  }

  std::string text;
  if (opt.json) {
    // One object per row: the file's cells (numbers where they read as
    // numbers) and the result under the function's name.
    text = "[";
    for (std::size_t i = 0; i < lines.size(); ++i) {
      text += i ? ",\n {" : "\n {";
      for (std::size_t c = 0; c < fields[i].size(); ++c) {
        double v;
        const std::string& cell = fields[i][c];
        text += json_string(in.names()[c]) + ": " +
                (cell.empty() ? std::string("\"NaN\"") : vexal::csv::parse_number(cell, v) ? json_number(v) : json_string(cell)) +
                ", ";
      }
      text += json_string(e->name) + ": " + json_number(result[i]) + "}";
    }
    text += "\n]\n";
  } else {
    const char sep = in.separator();
    text.reserve(in.header_line().size() + lines.size() * 48);
    text += in.header_line() + sep + e->name + "\n";
    for (std::size_t i = 0; i < lines.size(); ++i) text += lines[i] + sep + format_cell(result[i]) + "\n";
  }
  if (out_path.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::FILE* f = std::fopen(out_path.c_str(), "wb");
  if (!f) usage_error("cannot write '" + out_path + "': " + std::strerror(errno));
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !written) usage_error("cannot write '" + out_path + "'");
  return 0;
}

std::string signature(const vexal::ExportInfo& e) {
  std::string sig;
  for (std::size_t i = 0; i < e.argc; ++i)
    sig += std::string(i ? ", " : "") + e.args[i].name + (e.args[i].is_array ? "[]" : "");
  return std::string(e.name) + "(" + sig + ")";
}

// The 88 exports, then the precise family in a group of its own.
void list_exports() {
  for (const auto& e : vexal::kExports)
    std::printf("%-22s %-60s %s\n", e.decorated_name().c_str(), signature(e).c_str(), e.summary);
  if (vexal::kLibraryHasPrecise)
    std::printf("\nprecise family (C symbols vexal_precise_*; libvexal.so and Vexal64.dll, not the 32-bit Vexal.dll):\n");
  else
    std::printf("\nprecise family (in VexalPrecise.dll, the companion of Vexal.dll; decorated names):\n");
  for (const auto& e : vexal::kPrecise)
    std::printf("%-30s %-52s %s\n", vexal::exported_name(e).c_str(), signature(e).c_str(), e.summary);
}

int help(const std::string& name) {
  const vexal::ExportInfo* e = vexal::find_function(name);
  if (!e) usage_error("unknown export '" + name + "' (see 'vexal list')");
  if (e->precise) {
    if (vexal::kLibraryHasPrecise)
      std::printf("%s  (C: %s; not in the 32-bit Vexal.dll)\n  %s\n", e->name, vexal::exported_name(*e).c_str(),
                  e->summary);
    else
      std::printf("%s  (Win32: %s in %s)\n  %s\n", e->name, vexal::exported_name(*e).c_str(),
                  vexal::kPreciseLibraryFile, e->summary);
  } else {
    std::printf("%s  (Win32: %s)\n  %s\n", e->name, e->decorated_name().c_str(), e->summary);
  }
  if (*e->note) std::printf("  %s\n", e->note);
  if (e->argc == 0) std::printf("  no arguments\n");
  for (std::size_t i = 0; i < e->argc; ++i)
    std::printf("  %zu. %-10s %s\n", i + 1, e->args[i].name,
                e->args[i].is_array ? "array: comma list 1,2,3 or @file.csv[:column]" : "number");
  return 0;
}

int demo(const Library& lib);

// vexal kelly-exact PROBABILITIES OUTCOMES: the exact Kelly fraction of a
// table (arrays as for any call), then its growth and the growth's deviation.
int kelly_exact_command(const Options& opt, const std::vector<std::string>& words) {
  if (words.size() != 3) usage_error("kelly-exact takes two arrays: PROBABILITIES OUTCOMES");
  const std::vector<double> p = parse_array("probabilities", words[1]), b = parse_array("outcomes", words[2]);
  if (p.size() != b.size())
    usage_error("kelly-exact: " + std::to_string(p.size()) + " probabilities and " + std::to_string(b.size()) +
                " outcomes");
  const Library lib = open_library(opt);
  using Exact = decltype(&vexal_kelly_exact);
  const auto exact = reinterpret_cast<Exact>(lib.raw("vexal_kelly_exact"));
  if (!exact) {
    std::fprintf(stderr, "vexal: the library has no vexal_kelly_exact (the 32-bit DLL lacks the C API)\n");
    return 1;
  }
  double r[3];
  if (const int rc = exact(p.data(), b.data(), static_cast<long long>(p.size()), r); rc != VEXAL_OK) {
    std::fprintf(stderr, "vexal: kelly-exact: %s\n", error_text(lib, rc).c_str());
    return 1;
  }
  const char* names[] = {"f", "growth", "growth_sd"};
  if (opt.json) {
    std::printf("{\"f\": %s, \"growth\": %s, \"growth_sd\": %s}\n", json_number(r[0]).c_str(),
                json_number(r[1]).c_str(), json_number(r[2]).c_str());
  } else {
    for (int i = 0; i < 3; ++i) std::printf("%-10s %s\n", names[i], format_cell(r[i]).c_str());
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}


const char* kSeeHelp = "(see 'vexal --help', and 'vexal help NAME' for a function's arguments)\n";

const char* kUsage =
    "usage: vexal [--lib PATH] [--json] COMMAND\n"
    "  list                         the exports and their arguments, then the precise family\n"
    "  help NAME                    one export's arguments\n"
    "  demo                         a short tour\n"
    "  NAME ARG... [-- NAME ARG...]  call exports in sequence in one process\n"
    "  map NAME FILE.csv [ARG=VALUE|ARG=@COLUMN ...] [--out FILE] [--threads N]\n"
    "                               NAME over every row of a CSV file whose header names its\n"
    "                               arguments; ARG=VALUE fixes one the file lacks, ARG=@COLUMN\n"
    "                               reads it from a column of another name. Prints the file with\n"
    "                               a column NAME added (--json: one object per row), or writes\n"
    "                               it to --out FILE\n"
    "  garch-mle FILE.csv[:COLUMN] GARCH_OPTIONS [--returns|--prices]\n"
    "                               GARCH(1,1) by maximum likelihood: the coefficient table\n"
    "  kelly-exact PROBABILITIES OUTCOMES\n"
    "                               the exact Kelly fraction of a table, its growth and deviation\n"
    "An array argument is a comma list (1,2,3) or a file column: @file.csv (first column),\n"
    "@file.csv:close (by header name) or @file.csv:2 (by number); a header row is optional.\n"
    "CSV files (@file, garch-mle, map): the separator is a comma if the first line has one, else a\n"
    "semicolon, else a tab, else spaces; blank lines and # comment lines are skipped;\n"
    "a field may be \"double-quoted\" (\"\" is a quote); every row has as many fields as the first\n"
    "line; the first line is the header if one of its fields is text (map: always); an empty cell\n"
    "is NaN. Errors name the file and the line.\n";

// The usage text, the fit's options spelled from the C API's option groups.
std::string usage() {
  std::string options, text = kUsage;
  for (std::size_t i = 0; i < std::size(vexal::kCapiOptions); ++i) {
    const vexal::CapiOption& o = vexal::kCapiOptions[i];
    const bool first = i == 0 || std::strcmp(vexal::kCapiOptions[i - 1].group, o.group) != 0;
    const bool last = i + 1 == std::size(vexal::kCapiOptions) || std::strcmp(vexal::kCapiOptions[i + 1].group, o.group) != 0;
    options += first ? std::string(options.empty() ? "" : " ") + "[--" + o.group + " " + o.value : std::string("|") + o.value;
    if (last) options += "]";
  }
  return text.replace(text.find("GARCH_OPTIONS"), 13, options);
}

double call_by_name(const Library& lib, const std::string& name, std::vector<Value> values) {
  const vexal::ExportInfo* e = vexal::find_function(name);
  Call call{e, vexal::function_index(*e), std::move(values), {}};
  return run(lib, call);
}

Value num(double v) {
  Value x;
  x.num = v;
  return x;
}
Value arr(std::vector<double> v) {
  Value x;
  x.arr = std::move(v);
  return x;
}

int demo(const Library& lib) {
  auto row = [](const char* what, double v) { std::printf("  %-56s %22.17g\n", what, v); };
  std::printf("European option, S = K = 100, T = 1, r = 5 %%, sigma = 20 %%, no yield\n");
  std::vector<Value> eu = {num(100), num(100), num(1), num(0.05), num(0.2), num(0)};
  row("call_eur", call_by_name(lib, "call_eur", eu));
  row("put_eur", call_by_name(lib, "put_eur", eu));
  row("call_delta_eur", call_by_name(lib, "call_delta_eur", eu));
  row("gamma_eur", call_by_name(lib, "gamma_eur", eu));
  row("vega_eur (per 1.0 of sigma)", call_by_name(lib, "vega_eur", eu));
  const double c = call_by_name(lib, "call_eur", eu);
  row("call_impvol_eur of that price (2^-16 grid)",
      call_by_name(lib, "call_impvol_eur", {num(100), num(100), num(1), num(0.05), num(c), num(0)}));
  if (lib.has_precise()) {
    const double pc = call_by_name(lib, "precise_call_eur", eu);
    row("precise_call_eur (to the last bits)", pc);
    row("precise_call_impvol_eur of that price",
        call_by_name(lib, "precise_call_impvol_eur", {num(100), num(100), num(1), num(0.05), num(pc), num(0)}));
  }

  std::printf("\nAmerican put on a 500-step tree, same inputs\n");
  std::vector<Value> am = {num(100), num(100), num(1), num(0.05), num(0.2), num(500), num(0)};
  row("put_binamer", call_by_name(lib, "put_binamer", am));
  row("put_delta_binamer", call_by_name(lib, "put_delta_binamer", am));
  row("early-exercise premium over put_eur", call_by_name(lib, "put_binamer", am) - call_by_name(lib, "put_eur", eu));

  std::printf("\nProbabilities, mu = 8 %%, sigma = 20 %%, one year, price 100\n");
  row("ProbMaxPTUB: maximum reaches 120",
      call_by_name(lib, "ProbMaxPTUB", {num(0.08), num(0.2), num(1), num(120), num(100)}));
  row("ProbMinPTBB: minimum reaches 80", call_by_name(lib, "ProbMinPTBB", {num(0.08), num(0.2), num(1), num(80), num(100)}));
  row("ProbWR: stays within (80, 120)",
      call_by_name(lib, "ProbWR", {num(100), num(0.08), num(0.2), num(1), num(120), num(80)}));
  row("EMDD: expected max drawdown, mu 0.1, sigma 0.2", call_by_name(lib, "EMDD", {num(0.1), num(0.2), num(1)}));

  std::printf("\nA simulated year of 253 daily prices (RanMTInit 42, F_NextPrice)\n");
  call_by_name(lib, "RanMTInit", {num(42)});
  std::vector<double> path{100};
  for (int i = 1; i < 253; ++i)
    path.push_back(call_by_name(lib, "F_NextPrice", {num(path.back()), num(0.08), num(0.2), num(1.0 / 252)}));
  const double n = static_cast<double>(path.size());
  row("last price", path.back());
  row("Price_sd * sqrt(252)", call_by_name(lib, "Price_sd", {arr(path), num(n)}) * std::sqrt(252.0));
  row("Price_Vol_EWMA, lambda 0.94, annualised",
      call_by_name(lib, "Price_Vol_EWMA", {arr(path), num(n), num(0.94), num(252), num(0)}));
  row("MaxDrawdown", call_by_name(lib, "MaxDrawdown", {arr(path), num(n)}));
  row("MaxTimeDrawdown (days)", call_by_name(lib, "MaxTimeDrawdown", {arr(path), num(n)}));

  std::printf("\nFits (state carries from call to call)\n");
  // Ten years of daily prices whose simple returns follow GARCH(1,1) with
  // omega 2e-6, alpha 0.08, beta 0.9, driven by gaussMT.
  std::vector<double> garch_path{100};
  for (double h = 1e-4; garch_path.size() < 2520;) {
    const double r = std::sqrt(h) * call_by_name(lib, "gaussMT", {});
    garch_path.push_back(garch_path.back() * (1 + r));
    h = 2e-6 + 0.08 * r * r + 0.9 * h;
  }
  call_by_name(lib, "garch_paramc", {});
  call_by_name(lib, "Price_input", {arr(garch_path), num(2520), num(0)});
  call_by_name(lib, "garch_o", {num(0.1), num(0.8)});
  row("GARCH(1,1) on 2520 simulated prices: alpha (true 0.08)", call_by_name(lib, "garch_param2", {}));
  row("                                     beta (true 0.9)", call_by_name(lib, "garch_param3", {}));
  call_by_name(lib, "kelly_paramc", {});
  call_by_name(lib, "kelly_input", {arr({0.6, 0.4}), arr({1, -1}), num(2)});
  call_by_name(lib, "kelly_o", {num(0)});
  row("Kelly fraction, 60/40 even-money bet", call_by_name(lib, "kelly_f", {}));
  row("  expected log growth per bet", call_by_name(lib, "kelly_growth", {}));
  row("kellyfr_barriers: half Kelly doubles before halving", call_by_name(lib, "kellyfr_barriers", {num(0.5), num(0.5), num(2)}));
  return 0;
}

// vexal garch-mle FILE[:COLUMN] [--mean constant|zero] [--dist normal|t]
//   [--h0 sample|backcast] [--returns|--prices]: the coefficient table of a
// GARCH(1,1) fit by maximum likelihood. --prices fits the simple returns
// (P[t] - P[t-1]) / P[t-1] of a column of prices.
int garch_mle_command(const Options& opt, const std::vector<std::string>& words) {
  std::string source;
  // --GROUP VALUE for every option group of the C API, each at its first value by default.
  std::vector<std::pair<std::string, const vexal::CapiOption*>> chosen;
  for (const vexal::CapiOption& o : vexal::kCapiOptions)
    if (chosen.empty() || chosen.back().first != o.group) chosen.emplace_back(o.group, &o);
  // The value chosen for a group (every group has one, its first by default).
  auto chosen_of = [&](const std::string& group) -> const vexal::CapiOption& {
    for (const auto& [g, o] : chosen)
      if (g == group) return *o;
    return vexal::kCapiOptions[0];
  };
  auto option = [&](const std::string& group) { return chosen_of(group).code; };
  bool prices = false;
  auto choose = [&](std::size_t& i, std::pair<std::string, const vexal::CapiOption*>& slot) {
    std::vector<std::string> names;
    for (const vexal::CapiOption& o : vexal::kCapiOptions)
      if (slot.first == o.group) names.push_back(o.value);
    std::string values = names[0];
    for (std::size_t k = 1; k < names.size(); ++k) values += (k + 1 < names.size() ? ", " : " or ") + names[k];
    if (i + 1 >= words.size()) usage_error("--" + slot.first + " needs a value: " + values);
    const std::string& v = words[++i];
    for (const vexal::CapiOption& o : vexal::kCapiOptions)
      if (slot.first == o.group && v == o.value) {
        slot.second = &o;
        return;
      }
    usage_error("--" + slot.first + " takes " + values + ", not '" + v + "'");
  };
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    auto group = std::find_if(chosen.begin(), chosen.end(), [&](const auto& c) { return w == "--" + c.first; });
    if (group != chosen.end()) choose(i, *group);
    else if (w == "--returns") prices = false;
    else if (w == "--prices") prices = true;
    else if (w.rfind("--", 0) == 0) usage_error("garch-mle has no option '" + w + "'");
    else if (source.empty()) source = w;
    else usage_error("garch-mle takes one file, not '" + source + "' and '" + w + "'");
  }
  if (source.empty()) usage_error("garch-mle takes a file: FILE.csv or FILE.csv:COLUMN");
  const int mean = option("mean");
  std::vector<double> y = read_column(source);
  if (prices) {
    for (std::size_t t = y.size() - 1; t > 0; --t) y[t] = (y[t] - y[t - 1]) / y[t - 1];
    y.erase(y.begin());
  }
  const Library lib = open_library(opt);
  using Fit = decltype(&vexal_garch_mle2);
  const auto fit = reinterpret_cast<Fit>(lib.raw("vexal_garch_mle2"));
  if (!fit) {
    std::fprintf(stderr, "vexal: the library has no vexal_garch_mle2 (the 32-bit DLL lacks the C API)\n");
    return 1;
  }
  using LooksLikePrices = decltype(&vexal_garch_looks_like_prices);
  if (const auto looks = reinterpret_cast<LooksLikePrices>(lib.raw("vexal_garch_looks_like_prices"));
      !prices && looks && looks(y.data(), static_cast<long long>(y.size())))
    std::fprintf(stderr,
                 "vexal: warning: '%s' looks like price levels (all positive, the mean many standard deviations "
                 "from 0); fitting them as returns. For prices, add --prices.\n",
                 source.c_str());
  const vexal_garch_options model{option("mean"), option("vol"), option("dist"), option("h0")};
  vexal_garch_mle2_result r;
  if (const int rc = fit(y.data(), static_cast<long long>(y.size()), &model, &r, nullptr, nullptr); rc != VEXAL_OK) {
    std::fprintf(stderr, "vexal: garch-mle of '%s': %s\n", source.c_str(), error_text(lib, rc).c_str());
    return 1;
  }
  auto chosen_name = [&](const char* group) { return chosen_of(group).value; };
  std::printf("GARCH(1,1) by maximum likelihood of %zu %sreturns in %s: %s mean, %s variance, %s errors, h0 %s\n",
              y.size(), prices ? "simple " : "", source.c_str(), chosen_name("mean"), chosen_name("vol"),
              model.dist == VEXAL_GARCH_T ? "Student-t" : chosen_name("dist"), chosen_name("h0"));
  std::printf("log-likelihood %.6f   AIC %.4f   BIC %.4f   %s after %d iterations\n\n", r.loglik, r.aic, r.bic,
              r.converged == 1 ? "converged" : r.converged == 2 ? "stopped at a bound" : "NOT CONVERGED",
              r.iterations);
  std::printf("%-6s %14s %14s %9s %9s %14s\n", "", "estimate", "std. error", "t", "P>|t|", "robust s.e.");
  for (const vexal::CapiOption& s : vexal::kCapiSlots) {
    const int i = s.code;
    if (i == VEXAL_GARCH_PARAM_MU && mean == VEXAL_GARCH_ZERO) {
      std::printf("%-6s %14.6g %14s\n", s.value, 0.0, "(fixed)");
      continue;
    }
    if (std::isnan(r.params[i])) continue;  // not a parameter of this model
    if (r.at_bound & (1 << i)) {
      std::printf("%-6s %14.6g %14s   at its bound%s\n", s.value, r.params[i], "",
                  std::isinf(r.params[i]) ? ": the normal law fits at least as well" : "");
      continue;
    }
    const double t = r.params[i] / r.se_hessian[i];
    std::printf("%-6s %14.6g %14.6g %9.3f %9.4f %14.6g\n", s.value, r.params[i], r.se_hessian[i], t,
                std::erfc(std::fabs(t) / std::sqrt(2.0)), r.se_robust[i]);
  }
  std::printf("\nstandard errors from the inverse Hessian; robust: the sandwich H^-1 OPG H^-1\n");
  std::printf("persistence %.6f%s   half-life %.4g observations   unconditional variance %.6g\n", r.persistence,
              r.at_bound & (1 << VEXAL_GARCH_PARAMS) ? " (at the stationarity bound 1)" : "", r.half_life,
              r.unconditional_variance);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 0 && argv[0]) invoked_as = argv[0];
  Options opt;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (words.empty() && a == "--json") {
      opt.json = true;
    } else if (words.empty() && a == "--lib") {
      if (++i >= argc) {
        std::fprintf(stderr, "vexal: --lib needs a path\n%s", kSeeHelp);
        return 2;
      }
      opt.lib = argv[i];
    } else if (words.empty() && (a == "-h" || a == "--help")) {
      std::printf("%s", usage().c_str());
      return 0;
    } else {
      words.push_back(a);
    }
  }
  try {
    if (words.empty()) usage_error("no command given");
    if (words[0] == "list" || words[0] == "demo") {
      if (words.size() != 1) usage_error(words[0] + " takes no arguments");
      if (words[0] == "demo") return demo(open_library(opt));
      list_exports();
      return 0;
    }
    if (words[0] == "help") {
      if (words.size() != 2) usage_error("help takes one export name");
      return help(words[1]);
    }
    if (words[0] == "map") return map_command(opt, words);
    if (words[0] == "garch-mle") return garch_mle_command(opt, words);
    if (words[0] == "kelly-exact") return kelly_exact_command(opt, words);

    // Calls separated by "--"; everything is parsed before anything runs.
    std::vector<Call> calls;
    std::vector<std::string> current;
    words.push_back("--");
    for (const auto& w : words) {
      if (w == "--") {
        if (current.empty()) usage_error("empty call between '--' separators");
        calls.push_back(parse_call(current));
        current.clear();
      } else {
        current.push_back(w);
      }
    }
    const Library lib = open_library(opt);
    for (const Call& call : calls) resolve(lib, call);  // every function found before any runs
    if (opt.json) std::printf("[");
    for (std::size_t i = 0; i < calls.size(); ++i) {
      const double r = run(lib, calls[i]);
      if (opt.json) {
        std::printf("%s\n {\"call\": \"%s\", \"result\": %s}", i ? "," : "", calls[i].info->name, json_number(r).c_str());
      } else {
        std::printf("%s\n", format_cell(r).c_str());
      }
    }
    if (opt.json) std::printf("\n]\n");
    return 0;
  } catch (const UsageError& e) {
    // The whole usage text only when no command was given; otherwise the
    // error and where to read more.
    std::fprintf(stderr, "vexal: %s\n%s", e.message.c_str(), words.empty() ? usage().c_str() : kSeeHelp);
    return 2;
  } catch (const vexal::csv::Error& e) {
    std::fprintf(stderr, "vexal: %s\n%s", e.what(), kSeeHelp);
    return 2;
  }
}
