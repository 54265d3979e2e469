// vexal_error, the text of each return code of the C API, and
// vexal_default_threads, the threads a call uses when it asks for 0.
#include <thread>

#include "batch/parallel.h"
#include "exports/api.h"
#include "include/vexal_garch.h"
#include "include/vexal_kelly.h"

extern "C" VEXAL_API_EXPORT const char* vexal_error(int code) {
  switch (code) {
    case VEXAL_OK: return "success";
    case VEXAL_STOPPED: return "stopped by the progress callback; the rows not done are NaN";
    case VEXAL_E_UNKNOWN_NAME: return "no function of that name in the library";
    case VEXAL_E_STATEFUL: return "the function keeps module state (a fit, loader, accessor, reset or generator) and cannot be mapped";
    case VEXAL_E_NEGATIVE: return "a negative count of rows or series, a negative length or a negative stride";
    case VEXAL_E_NULL: return "a null pointer where data is needed";
    case VEXAL_E_COUNT: return "a count asks for more elements than its block's stride holds, or the blocks exceed the address space";
    case VEXAL_E_THREADS: return "a negative number of threads";
    case VEXAL_E_MEMORY: return "working storage could not be obtained";
    case VEXAL_E_RESOURCES: return "threads could not be started";
    case VEXAL_E_GARCH_SHORT: return "a series too short: fewer than 10 returns (11 with an AR(1) mean), or for a backtest no longer than its window";
    case VEXAL_E_GARCH_NOT_FINITE: return "a NaN or infinity inside a series of returns";
    case VEXAL_E_GARCH_CONSTANT: return "a series of returns without variation (for a backtest, a window of them)";
    case VEXAL_E_GARCH_OPTION: return "an unknown mean, volatility model, error law or start-up of the GARCH fit";
    case VEXAL_E_GARCH_LEVEL: return "a Value-at-Risk level outside (0, 0.5)";
    case VEXAL_E_GARCH_WINDOW: return "a backtest window of fewer returns than a fit needs, or refit_every below 1";
    case VEXAL_E_KELLY_TABLE: return "no outcome of positive probability, a negative or non-finite probability, or a non-finite outcome";
    case VEXAL_E_KELLY_UNBOUNDED: return "the expected log growth has no finite maximum: every outcome of positive probability gains, or every one loses";
    default: return "unknown return code";
  }
}

extern "C" VEXAL_API_EXPORT int vexal_default_threads(void) { return vexal::batch::resolve_threads(0); }
