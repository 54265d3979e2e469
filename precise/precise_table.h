// The precise family: one row per function, in the form of the export
// table (exports/export_table.h): F(name, arguments, summary), arguments
// made of N(x) numbers and A(x) caller-owned arrays. Names carry the
// precise_ prefix; the C symbol of a row is vexal_<name> (libvexal.so and
// Vexal64.dll, never Vexal.dll).
//
// Every layer (C header, symbol list, batch engine, CLI, Python, VBA, docs
// checks) expands this table; a new precise function is one row here and
// its definition in this folder.
#ifndef VEXAL_PRECISE_TABLE_H
#define VEXAL_PRECISE_TABLE_H

#define VEXAL_PRECISE_TABLE(F) \
  /* precise normal density and distribution */ \
  F(precise_norm,  (N(x)), "standard normal density at x, to a few ulp") \
  F(precise_snorm, (N(x)), "standard normal distribution function at x, to a few ulp down to x = -37.5") \
  /* precise European prices and Greeks; T in the time unit of r, sigma, q (years for annual rates) */ \
  F(precise_call_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call price, accurate far out of the money") \
  F(precise_put_eur,        (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put price, accurate far out of the money") \
  F(precise_call_delta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call delta, d price / d S") \
  F(precise_put_delta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put delta, d price / d S") \
  F(precise_gamma_eur,      (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European gamma, d2 price / d S2 (call and put)") \
  F(precise_vega_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European vega per 1.0 of sigma (call and put)") \
  F(precise_call_theta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call theta per time unit, -d price / d T") \
  F(precise_put_theta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put theta per time unit, -d price / d T") \
  F(precise_call_rho_eur,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call rho per 1.0 of r") \
  F(precise_put_rho_eur,    (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put rho per 1.0 of r") \
  F(precise_prob_itm,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), "risk-neutral probability that S ends above K") \
  /* precise European implied volatility */ \
  F(precise_call_impvol_eur, (N(S), N(K), N(T), N(r), N(price), N(q)), "volatility at which precise_call_eur gives price, to machine precision (NaN if unreachable)") \
  F(precise_put_impvol_eur,  (N(S), N(K), N(T), N(r), N(price), N(q)), "volatility at which precise_put_eur gives price, to machine precision (NaN if unreachable)") \
  /* precise American prices, Greeks and implied volatility (early-exercise boundary by collocation) */ \
  F(precise_call_american,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American call price, to about 1e-9 relative") \
  F(precise_put_american,        (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American put price, to about 1e-9 relative") \
  F(precise_call_delta_american, (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American call delta, d price / d S") \
  F(precise_put_delta_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American put delta, d price / d S") \
  F(precise_call_gamma_american, (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American call gamma, d2 price / d S2") \
  F(precise_put_gamma_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American put gamma, d2 price / d S2") \
  F(precise_call_vega_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American call vega per 1.0 of sigma") \
  F(precise_put_vega_american,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American put vega per 1.0 of sigma") \
  F(precise_call_theta_american, (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American call theta per time unit, -d price / d T") \
  F(precise_put_theta_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American put theta per time unit, -d price / d T") \
  F(precise_call_rho_american,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American call rho per 1.0 of r") \
  F(precise_put_rho_american,    (N(S), N(K), N(T), N(r), N(sigma), N(q)), "American put rho per 1.0 of r") \
  F(precise_call_impvol_american, (N(S), N(K), N(T), N(r), N(price), N(q)), "volatility at which precise_call_american gives price (NaN if unreachable)") \
  F(precise_put_impvol_american,  (N(S), N(K), N(T), N(r), N(price), N(q)), "volatility at which precise_put_american gives price (NaN if unreachable)") \
  /* precise prices, Greeks and implied volatility with n cash dividends: the spot drops by each at its date (floored at 0), no yield */ \
  F(precise_call_eur_d,             (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European call with n cash dividends") \
  F(precise_put_eur_d,              (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European put with n cash dividends") \
  F(precise_call_delta_eur_d,       (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European call delta with cash dividends, d price / d S") \
  F(precise_put_delta_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European put delta with cash dividends, d price / d S") \
  F(precise_call_gamma_eur_d,       (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European call gamma with cash dividends, d2 price / d S2") \
  F(precise_put_gamma_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European put gamma with cash dividends, d2 price / d S2") \
  F(precise_call_vega_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European call vega with cash dividends, per 1.0 of sigma") \
  F(precise_put_vega_eur_d,         (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European put vega with cash dividends, per 1.0 of sigma") \
  F(precise_call_theta_eur_d,       (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European call theta with cash dividends, per time unit as time passes") \
  F(precise_put_theta_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European put theta with cash dividends, per time unit as time passes") \
  F(precise_call_rho_eur_d,         (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European call rho with cash dividends, per 1.0 of r") \
  F(precise_put_rho_eur_d,          (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European put rho with cash dividends, per 1.0 of r") \
  F(precise_call_american_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American call with n cash dividends") \
  F(precise_put_american_d,         (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American put with n cash dividends") \
  F(precise_call_delta_american_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American call delta with cash dividends, d price / d S") \
  F(precise_put_delta_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American put delta with cash dividends, d price / d S") \
  F(precise_call_gamma_american_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American call gamma with cash dividends, d2 price / d S2") \
  F(precise_put_gamma_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American put gamma with cash dividends, d2 price / d S2") \
  F(precise_call_vega_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American call vega with cash dividends, per 1.0 of sigma") \
  F(precise_put_vega_american_d,    (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American put vega with cash dividends, per 1.0 of sigma") \
  F(precise_call_theta_american_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American call theta with cash dividends, per time unit as time passes") \
  F(precise_put_theta_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American put theta with cash dividends, per time unit as time passes") \
  F(precise_call_rho_american_d,    (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American call rho with cash dividends, per 1.0 of r") \
  F(precise_put_rho_american_d,     (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "American put rho with cash dividends, per 1.0 of r") \
  F(precise_call_impvol_eur_d,      (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), "volatility at which precise_call_eur_d gives price (NaN if unreachable)") \
  F(precise_put_impvol_eur_d,       (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), "volatility at which precise_put_eur_d gives price (NaN if unreachable)") \
  F(precise_call_impvol_american_d, (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), "volatility at which precise_call_american_d gives price (NaN if unreachable)") \
  F(precise_put_impvol_american_d,  (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), "volatility at which precise_put_american_d gives price (NaN if unreachable)")

#endif
