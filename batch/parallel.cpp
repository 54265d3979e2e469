// The batch engine's threads. The calling thread runs the first items in
// doubling chunks until it knows their cost, then starts as many workers as
// the rest is worth (at least 1 ms each); they claim chunks of about 2 ms
// from an atomic cursor, resizing them as the cost changes, while the
// calling thread reports progress every tenth of a second.
#include "batch/parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace vexal::batch {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int kMaxThreads = 1024;
constexpr double kChunkSeconds = 2e-3;    // what a worker aims to spend on one chunk
constexpr double kProbeSeconds = 5e-4;    // measured on the calling thread first
constexpr double kWorkerSeconds = 1e-3;   // least work worth a thread of its own
constexpr double kReportSeconds = 0.1;    // between progress reports

double since(Clock::time_point t) { return Seconds(Clock::now() - t).count(); }

// Chunk that should take kChunkSeconds at `per_item` seconds per item, and
// leaves the tail to be shared by all the workers.
std::int64_t chunk_for(double per_item, std::int64_t remaining, int workers) {
  if (!(per_item > 0)) return 1;  // cost not known yet
  double c = kChunkSeconds / per_item;
  c = std::min(c, static_cast<double>(remaining) / (4.0 * workers));
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::min(c, 1e12)));
}

struct Shared {
  Shared(RangeFn f, const void* j, std::int64_t n) : fn(f), job(j), total(n) {}
  RangeFn fn;
  const void* job;
  std::int64_t total;
  int workers = 1;
  double per_item = 0;
  std::atomic<std::int64_t> cursor{0};
  std::atomic<std::int64_t> done{0};
  std::atomic<bool> stop{false};
  std::mutex m;
  std::condition_variable cv;
  enum { kWait, kGo, kAbort } gate = kWait;
  int running = 0;
};

void worker(Shared& s) {
  {
    std::unique_lock<std::mutex> lock(s.m);
    s.cv.wait(lock, [&] { return s.gate != Shared::kWait; });
    if (s.gate == Shared::kAbort) return;
  }
  double per_item = s.per_item;
  while (!s.stop.load(std::memory_order_relaxed)) {
    const std::int64_t left = s.total - s.cursor.load(std::memory_order_relaxed);
    if (left <= 0) break;
    const std::int64_t chunk = chunk_for(per_item, left, s.workers);
    const std::int64_t begin = s.cursor.fetch_add(chunk, std::memory_order_relaxed);
    if (begin >= s.total) break;
    const std::int64_t end = std::min(s.total, begin + chunk);
    const Clock::time_point t0 = Clock::now();
    s.fn(s.job, begin, end);
    const double dt = since(t0);
    // Follow the cost of the items as it changes, a factor of 4 at most per chunk.
    per_item = std::clamp(dt / static_cast<double>(end - begin), per_item / 4, per_item * 4 + 1e-12);
    s.done.fetch_add(end - begin, std::memory_order_relaxed);
  }
  std::lock_guard<std::mutex> lock(s.m);
  --s.running;
  s.cv.notify_all();
}

// The calling thread on its own, from `begin`: the whole range in one call
// when nobody watches, else chunks with reports between them and one at
// the end.
int run_here(std::int64_t begin, std::int64_t total, RangeFn fn, const void* job, Progress progress,
             double per_item, Clock::time_point& last_report, std::int64_t& done_until) {
  done_until = total;
  if (!progress.fn) {
    fn(job, begin, total);
    return VEXAL_OK;
  }
  while (begin < total) {
    const std::int64_t end = std::min(total, begin + chunk_for(per_item, total - begin, 1));
    const Clock::time_point t0 = Clock::now();
    fn(job, begin, end);
    per_item = std::max(since(t0) / static_cast<double>(end - begin), 1e-12);
    begin = end;
    if (begin < total && since(last_report) >= kReportSeconds) {
      last_report = Clock::now();
      if (progress.fn(begin, total, progress.user)) {
        done_until = begin;
        progress.fn(begin, total, progress.user);
        return VEXAL_STOPPED;
      }
    }
  }
  progress.fn(total, total, progress.user);
  return VEXAL_OK;
}

}  // namespace

int resolve_threads(int threads) {
  if (threads > 0) return std::min(threads, kMaxThreads);
  if (const char* env = std::getenv("VEXAL_THREADS"); env && *env) {
    char* end = nullptr;
    const long v = std::strtol(env, &end, 10);
    if (*end == '\0' && v > 0) return static_cast<int>(std::min<long>(v, kMaxThreads));
  }
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : static_cast<int>(std::min<unsigned>(hw, kMaxThreads));
}

int run(std::int64_t total, int threads, RangeFn fn, const void* job, Progress progress,
        std::int64_t& done_until) {
  done_until = 0;
  Clock::time_point last_report = Clock::now();
  if (threads <= 1 || total <= 1) return run_here(0, total, fn, job, progress, 0, last_report, done_until);

  std::vector<std::thread> pool;
  Shared* s = nullptr;
  try {
    pool.reserve(static_cast<std::size_t>(threads));
    s = new Shared(fn, job, total);
  } catch (const std::bad_alloc&) {
    return VEXAL_E_MEMORY;
  }
  std::unique_ptr<Shared> owned(s);

  // Measure on this thread: doubling chunks until kProbeSeconds have passed.
  // A first item that takes longer than a report interval is reported as
  // soon as it ends (and may stop the work) rather than after the next.
  std::int64_t begin = 0;
  const Clock::time_point t0 = Clock::now();
  for (std::int64_t chunk = 1; begin < total && since(t0) < kProbeSeconds; chunk *= 2) {
    const std::int64_t end = std::min(total, begin + chunk);
    fn(job, begin, end);
    begin = end;
  }
  if (progress.fn && begin < total && since(last_report) >= kReportSeconds) {
    last_report = Clock::now();
    if (progress.fn(begin, total, progress.user)) {
      done_until = begin;
      progress.fn(begin, total, progress.user);
      return VEXAL_STOPPED;
    }
  }
  const std::int64_t left = total - begin;
  const double per_item = since(t0) / static_cast<double>(begin);
  const double work = per_item * static_cast<double>(left);
  const int workers = static_cast<int>(std::min<double>({static_cast<double>(threads),
                                                         static_cast<double>(left), work / kWorkerSeconds}));
  if (workers <= 1) return run_here(begin, total, fn, job, progress, per_item, last_report, done_until);

  s->workers = workers;
  s->per_item = std::max(per_item, 1e-12);
  s->cursor.store(begin);
  s->done.store(begin);
  bool started = true;
  try {
    for (int i = 0; i < workers; ++i) {
      pool.emplace_back(worker, std::ref(*s));
      std::lock_guard<std::mutex> lock(s->m);
      ++s->running;
    }
  } catch (const std::system_error&) {
    started = false;
  }
  {
    std::unique_lock<std::mutex> lock(s->m);
    s->gate = started ? Shared::kGo : Shared::kAbort;
    if (!started) s->running = 0;
    s->cv.notify_all();
    // Report while the workers run; a nonzero answer stops them after
    // the chunks they hold.
    while (started && s->running > 0) {
      s->cv.wait_for(lock, Seconds(std::max(kReportSeconds - since(last_report), 1e-3)));
      if (s->running > 0 && progress.fn && !s->stop.load() && since(last_report) >= kReportSeconds) {
        last_report = Clock::now();
        lock.unlock();
        if (progress.fn(s->done.load(std::memory_order_relaxed), total, progress.user)) s->stop.store(true);
        lock.lock();
      }
    }
  }
  for (std::thread& t : pool) t.join();
  if (!started) {
    done_until = begin;
    return VEXAL_E_RESOURCES;
  }
  done_until = std::min(total, s->cursor.load());
  if (progress.fn) progress.fn(done_until, total, progress.user);
  return done_until < total ? VEXAL_STOPPED : VEXAL_OK;
}

// Checks shared by the many-series forms, before anything is written.
int check_many(long long series, long long stride, const long long* lengths, const void* results, int threads,
               std::initializer_list<const double*> data) {
  if (threads < 0) return VEXAL_E_THREADS;
  if (series < 0 || stride < 0) return VEXAL_E_NEGATIVE;
  if (series == 0) return VEXAL_OK;
  if (!lengths || !results) return VEXAL_E_NULL;
  if (stride > 0 && series - 1 > std::numeric_limits<std::ptrdiff_t>::max() / 2 / stride) return VEXAL_E_COUNT;
  bool any_data = false;
  for (long long k = 0; k < series; ++k) {
    if (lengths[k] < 0) return VEXAL_E_NEGATIVE;
    if (stride > 0 && lengths[k] > stride) return VEXAL_E_COUNT;
    any_data = any_data || lengths[k] > 0;
  }
  if (any_data)
    for (const double* p : data)
      if (!p) return VEXAL_E_NULL;
  return VEXAL_OK;
}

}  // namespace vexal::batch
