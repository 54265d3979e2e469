// The precise family: one row per function, in the form of the export
// table (exports/export_table.h): F(name, arguments, summary), arguments
// made of N(x) numbers. Names carry the precise_ prefix; the C symbol of a
// row is vexal_<name> (libvexal.so and Vexal64.dll, never Vexal.dll).
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
  /* precise barrier and band probabilities; mu, sigma per time unit of T, S the current price */ \
  F(precise_ProbPTBB,    (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the price at T is below level H") \
  F(precise_ProbPTUB,    (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the price at T is above level H") \
  F(precise_ProbMaxPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running maximum reaches barrier H above S") \
  F(precise_ProbMaxPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running maximum stays below barrier H") \
  F(precise_ProbMinPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running minimum reaches barrier H below S") \
  F(precise_ProbMinPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running minimum stays above barrier H") \
  F(precise_ProbFPBBMaxPTUB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), "probability that the maximum reaches B (above S) and the price ends below X") \
  F(precise_ProbFPUBMinPTBB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), "probability that the minimum reaches B (below S) and the price ends above X") \
  F(precise_AdjBarrier, (N(sigma), N(dt)), "discrete-monitoring barrier factor exp(beta sigma sqrt(dt)), beta = -zeta(1/2)/sqrt(2 pi)") \
  F(precise_ProbWR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), "probability of touching neither barrier L < S < U during [0, T]") \
  F(precise_ProbBR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), "probability of touching L or U during [0, T]") \
  F(precise_EMDD, (N(mu), N(sigma), N(T)), "expected maximum drawdown of mu t + sigma W(t) over [0, T], any sign of mu")

#endif
