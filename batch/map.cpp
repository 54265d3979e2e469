// vexal_map: one pure function over rows of columns. Each function gets its
// own typed row loop, made from the export table and the precise table, that
// calls the library function directly; the columns are read in place.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "batch/lane_rows.h"
#include "batch/parallel.h"
#include "core/functions.h"
#include "core/numeric.h"
#include "exports/export_info.h"
#include "precise/functions.h"

namespace vexal::batch {
namespace {

template <class T> T column(const double* p, std::int64_t stride, std::int64_t i) {
  if constexpr (std::is_same_v<T, double>) {
    return p[i * stride];
  } else {
    return p + i * stride;
  }
}

template <class... P> struct Rows {
  template <double (*Fn)(P...), std::size_t... I>
  static void loop(const MapJob& job, std::int64_t begin, std::int64_t end, std::index_sequence<I...>) {
    // Local copies, so that the calls in the loop cannot be thought to change them.
    [[maybe_unused]] const double* const p[sizeof...(P) + 1] = {job.args[I]..., nullptr};
    [[maybe_unused]] const std::int64_t s[sizeof...(P) + 1] = {job.strides[I]..., 0};
    double* const out = job.out;
    for (std::int64_t i = begin; i < end; ++i) out[i] = Fn(column<P>(p[I], s[I], i)...);
  }
  template <double (*Fn)(P...)> static void run(const void* job, std::int64_t begin, std::int64_t end) {
    loop<Fn>(*static_cast<const MapJob*>(job), begin, end, std::index_sequence_for<P...>{});
  }
};

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_ROW_LOOP(name, args, ...) &Rows<VEXAL_TYPES(args)>::template run<&vexal::name>,
// In the order of function_index: the 88, then the precise family.
const RangeFn kRowLoops[] = {VEXAL_EXPORT_TABLE(VEXAL_ROW_LOOP) VEXAL_PRECISE_TABLE(VEXAL_ROW_LOOP)};
#undef VEXAL_ROW_LOOP
#undef N
#undef A
static_assert(sizeof(kRowLoops) / sizeof(kRowLoops[0]) == kFunctionCount);

// Every argument of the call, before anything is written.
int check(const ExportInfo& e, long long rows, const double* const* args, const long long* strides,
          const double* out) {
  if (rows < 0) return VEXAL_E_NEGATIVE;
  if (rows == 0) return VEXAL_OK;
  if (!out || (e.argc > 0 && (!args || !strides))) return VEXAL_E_NULL;
  for (std::size_t j = 0; j < e.argc; ++j) {
    if (!args[j]) return VEXAL_E_NULL;
    if (strides[j] < 0) return VEXAL_E_NEGATIVE;
    // The last row's column or block must lie within the address space.
    if (strides[j] > 0 && rows - 1 > std::numeric_limits<std::ptrdiff_t>::max() / 2 / strides[j])
      return VEXAL_E_COUNT;
  }
  const int c = count_argument(e);
  if (c < 0) return VEXAL_OK;
  long long block = 0;  // the narrowest block with a positive stride
  for (std::size_t j = 0; j < e.argc; ++j)
    if (e.args[j].is_array && strides[j] > 0 && (block == 0 || strides[j] < block)) block = strides[j];
  if (block == 0) return VEXAL_OK;
  const double* counts = args[c];
  const long long cs = strides[c];
  for (long long i = 0; i < rows; ++i)
    if (elements_read(counts[i * cs]) > block) return VEXAL_E_COUNT;
  return VEXAL_OK;
}

}  // namespace
}  // namespace vexal::batch

extern "C" VEXAL_API_EXPORT int vexal_map_progress(const char* name, long long rows, const double* const* args,
                                                   const long long* strides, double* out, int threads,
                                                   vexal_progress_fn progress, void* user) {
  using namespace vexal;
  if (!name) return VEXAL_E_NULL;
  const ExportInfo* e = find_function(name);
  if (!e) return VEXAL_E_UNKNOWN_NAME;
  if (keeps_state(*e)) return VEXAL_E_STATEFUL;
  if (threads < 0) return VEXAL_E_THREADS;
  if (const int rc = batch::check(*e, rows, args, strides, out); rc != VEXAL_OK) return rc;

  if (rows == 0) {
    if (progress) progress(0, 0, user);
    return VEXAL_OK;
  }
  const batch::MapJob job{args, strides, out};
  std::int64_t done_until = 0;
  // Where the function has a four-lane row loop it replaces the generated one.
  const batch::LaneFn lanes = batch::lane_rows(e->name);
  const batch::RangeFn loop = lanes ? lanes : batch::kRowLoops[function_index(*e)];
  const int rc = batch::run(rows, batch::resolve_threads(threads), loop, &job,
                            {progress, user}, done_until);
  if (rc == VEXAL_STOPPED || rc == VEXAL_E_RESOURCES)
    for (long long i = done_until; i < rows; ++i) out[i] = NAN;
  return rc;
}

extern "C" VEXAL_API_EXPORT int vexal_map(const char* name, long long rows, const double* const* args,
                                          const long long* strides, double* out, int threads) {
  return vexal_map_progress(name, rows, args, strides, out, threads, nullptr, nullptr);
}
