// The names of the library's own C API (include/vexal_batch.h, vexal_garch.h, vexal_kelly.h), for the
// symbol list of the shared library and the export tests.
#ifndef VEXAL_C_API_H
#define VEXAL_C_API_H

#define VEXAL_C_API(F)            \
  F(vexal_map)                    \
  F(vexal_map_progress)           \
  F(vexal_garch_fit)              \
  F(vexal_garch_fit_many)         \
  F(vexal_garch_fit_many_progress) \
  F(vexal_kelly_fit)              \
  F(vexal_kelly_fit_many)         \
  F(vexal_kelly_fit_many_progress) \
  F(vexal_error)                  \
  F(vexal_default_threads)       \
  F(vexal_garch_mle)              \
  F(vexal_garch_mle_forecast)     \
  F(vexal_garch_mle_many)         \
  F(vexal_garch_mle_many_progress) \
  F(vexal_kelly_exact)

#endif
