// Work split over threads owned by one call: the calling thread starts the
// work, measures it, and hands the rest to workers that claim chunks from a
// shared cursor; it then reports progress while they run.
#ifndef VEXAL_BATCH_PARALLEL_H
#define VEXAL_BATCH_PARALLEL_H

#include <cstdint>
#include <initializer_list>

#include "exports/api.h"
#define VEXAL_BATCH_API VEXAL_API_EXPORT
#include "include/vexal_batch.h"

namespace vexal::batch {

// Items [begin, end) of a job; each item writes only its own results.
using RangeFn = void (*)(const void* job, std::int64_t begin, std::int64_t end);

struct Progress {
  vexal_progress_fn fn = nullptr;
  void* user = nullptr;
};

// The number of threads asked for by `threads` (0: VEXAL_THREADS, else the
// hardware's concurrency), at least 1.
int resolve_threads(int threads);

// Runs fn over [0, total) on up to `threads` threads (1: the calling thread
// alone), calling progress on the calling thread. Returns VEXAL_OK, or
// VEXAL_STOPPED when progress asked to stop, or VEXAL_E_MEMORY or
// VEXAL_E_RESOURCES when the workers could not be started. Unless VEXAL_OK,
// the items from `done_until` on were not run (those before it were).
int run(std::int64_t total, int threads, RangeFn fn, const void* job, Progress progress,
        std::int64_t& done_until);

// Checks shared by the many-series forms, before anything is written:
// threads, series, stride and lengths, and the data pointers where any
// series has data. VEXAL_OK or a negative code.
int check_many(long long series, long long stride, const long long* lengths, const void* results, int threads,
               std::initializer_list<const double*> data);

}  // namespace vexal::batch

#endif
