// The export table: every function the library exports, in one place.
//
// VEXAL_EXPORT_TABLE(F) expands F(name, arguments, summary) once per export.
// `arguments` is a parenthesised list of N(x) (a number, 8 bytes on the
// Win32 stack) and A(x) (the address of a caller-owned array of doubles,
// 4 bytes). The user of the table defines F, N and A before expanding it.
// The Win32 decorated name is name@bytes, bytes summed over the arguments.
//
// Everything that needs the list (the export skin, the Linux symbol list,
// the CLI, the header and binding checks, the export-table tests) expands
// this table rather than repeating it.
#ifndef VEXAL_EXPORT_TABLE_H
#define VEXAL_EXPORT_TABLE_H

#define VEXAL_EXPORT_TABLE(F) \
  /* normal density and distribution */ \
  F(norm,  (N(x)), "standard normal density at x") \
  F(snorm, (N(x)), "standard normal distribution function at x (Abramowitz-Stegun 26.2.17)") \
  /* European prices and Greeks; T in the time unit of r, sigma, q (years for annual rates) */ \
  F(call_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call price") \
  F(put_eur,        (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put price") \
  F(call_delta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call delta, d price / d S") \
  F(put_delta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put delta, d price / d S") \
  F(gamma_eur,      (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European gamma, d2 price / d S2 (call and put)") \
  F(vega_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European vega per 1.0 of sigma (call and put)") \
  F(call_theta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call theta per time unit, -d price / d T") \
  F(put_theta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put theta per time unit, -d price / d T") \
  F(call_rho_eur,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European call rho per 1.0 of r") \
  F(put_rho_eur,    (N(S), N(K), N(T), N(r), N(sigma), N(q)), "European put rho per 1.0 of r") \
  F(prob_itm,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), "risk-neutral probability that S ends above K") \
  /* European implied volatility and discrete dividends */ \
  F(call_impvol_eur, (N(S), N(K), N(T), N(r), N(price), N(q)), "volatility at which call_eur gives price (resolution 2^-16; NaN if unreachable)") \
  F(put_impvol_eur,  (N(S), N(K), N(T), N(r), N(price), N(q)), "volatility at which put_eur gives price (resolution 2^-16; NaN if unreachable)") \
  F(call_eur_d, (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European call with n cash dividends (escrowed spot, yield 0)") \
  F(put_eur_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), "European put with n cash dividends (escrowed spot, yield 0)") \
  /* American options on the binomial tree; steps is floored */ \
  F(call_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American call on a CRR binomial tree") \
  F(put_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American put on a CRR binomial tree") \
  F(call_binamer_d, (N(S), N(K), N(T), N(r), N(sigma), N(steps), A(times), A(amounts), N(n)), "American call on the tree with n cash dividends") \
  F(put_binamer_d,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), A(times), A(amounts), N(n)), "American put on the tree with n cash dividends") \
  F(call_delta_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American call delta, spot bumped by +-1 %") \
  F(put_delta_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American put delta, spot bumped by +-1 %") \
  F(call_gamma_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American call gamma from two 1 % spot slopes") \
  F(put_gamma_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American put gamma from two 1 % spot slopes") \
  F(call_vega_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American call vega per 1.0 of sigma, sigma bumped by +-1 %") \
  F(put_vega_binamer,   (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American put vega per 1.0 of sigma, sigma bumped by +-1 %") \
  F(call_theta_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American call theta per time unit, T bumped by +-1 %") \
  F(put_theta_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American put theta per time unit, T bumped by +-1 %") \
  F(call_rho_binamer,   (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American call rho per 1.0 of r, r bumped by +-1 %") \
  F(put_rho_binamer,    (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), "American put rho per 1.0 of r, r bumped by +-1 %") \
  F(call_impvol_binamer, (N(S), N(K), N(T), N(r), N(price), N(steps), N(q)), "volatility at which call_binamer gives price (resolution 2^-16; NaN if unreachable)") \
  F(put_impvol_binamer,  (N(S), N(K), N(T), N(r), N(price), N(steps), N(q)), "volatility at which put_binamer gives price (resolution 2^-16; NaN if unreachable)") \
  /* barrier touch probabilities; mu, sigma per time unit of T; current price last */ \
  F(ProbPTBB,    (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the price at T is below level H") \
  F(ProbPTUB,    (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the price at T is above level H") \
  F(ProbMaxPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running maximum reaches barrier H above S") \
  F(ProbMaxPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running maximum stays below barrier H") \
  F(ProbMinPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running minimum reaches barrier H below S") \
  F(ProbMinPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), "probability that the running minimum stays above barrier H") \
  F(ProbFPBBMaxPTUB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), "probability that the maximum reaches B (above S) and the price ends below X") \
  F(ProbFPUBMinPTBB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), "probability that the minimum reaches B (below S) and the price ends above X") \
  F(AdjBarrier, (N(sigma), N(dt)), "discrete-monitoring barrier factor exp(0.5826 sigma sqrt(dt))") \
  F(ProbWR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), "probability of touching neither barrier L < S < U during [0, T]") \
  F(ProbBR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), "probability of touching L or U during [0, T], 1 - ProbWR") \
  F(EMDD, (N(mu), N(sigma), N(T)), "expected maximum drawdown of mu t + sigma W(t) over [0, T]; NaN for mu < 0 beyond the zero-drift law") \
  /* series statistics of log returns; n is the number of prices in each array */ \
  F(Price_mn, (A(prices), N(n)), "mean of the log returns of n prices") \
  F(Price_sd, (A(prices), N(n)), "sample standard deviation of the log returns of n prices") \
  F(Price_sk, (A(prices), N(n)), "bias-adjusted skewness of the log returns of n prices") \
  F(Price_ku, (A(prices), N(n)), "bias-adjusted excess kurtosis of the log returns of n prices") \
  F(Price_vr, (A(prices), N(n), N(k)), "variance ratio of overlapping k-step to one-step log returns of n prices") \
  F(Price_cor, (A(pricesA), A(pricesB), N(n)), "correlation of the log returns of two series of n prices") \
  F(Price_Vol_EWMA, (A(prices), N(n), N(lambda), N(A), N(order)), "EWMA volatility of n prices scaled by sqrt(A); order 0 = oldest first") \
  F(Price_Vol_Parkinson, (A(high), A(low), N(A), N(n)), "Parkinson volatility of n high/low bars scaled by sqrt(A)") \
  F(Price_Vol_YangZhang, (A(open), A(high), A(low), A(close), N(A), N(n)), "Yang-Zhang volatility of n OHLC bars scaled by sqrt(A)") \
  F(MaxDrawdown, (A(prices), N(n)), "largest fall from a running peak as a fraction of the peak, over n prices") \
  F(MaxTimeDrawdown, (A(prices), N(n)), "longest stretch below a running peak, in observations, over n prices") \
  F(LogNormal_mn, (N(mu), N(sigma), N(t)), "mean of exp(X), X normal with mean mu t and variance sigma^2 t") \
  F(LogNormal_sd, (N(mu), N(sigma), N(t)), "standard deviation of exp(X)") \
  F(LogNormal_median, (N(mu), N(sigma), N(t)), "median of exp(X); sigma is not used") \
  F(LogNormal_mode, (N(mu), N(sigma), N(t)), "mode of exp(X)") \
  F(Normal_mn, (N(m), N(s)), "mean of ln Y for a lognormal Y with mean m and deviation s") \
  F(Normal_sd, (N(m), N(s)), "standard deviation of ln Y for a lognormal Y with mean m and deviation s") \
  /* GARCH(1,1) fit; keeps state, one thread at a time */ \
  F(Price_input, (A(prices), N(count), N(reverse)), "load count prices for the GARCH fit (reverse != 0: newest first); 1.0, or NaN if rejected") \
  F(garch_o, (N(alpha0), N(beta0)), "fit GARCH(1,1) by variance targeting from (alpha0, beta0); 1.0") \
  F(garch_param0, (), "objective at the fitted point") \
  F(garch_param1, (), "fitted omega") \
  F(garch_param2, (), "fitted alpha") \
  F(garch_param3, (), "fitted beta") \
  F(garch_paramc, (), "clear the loaded prices and the GARCH fit; 1.0") \
  /* Kelly fraction fit; keeps state, one thread at a time */ \
  F(kelly_input, (A(probs), A(outcomes), N(count)), "load count outcomes (net gain per unit staked) and their probabilities; 1.0, or NaN if rejected") \
  F(kelly_o, (N(f0)), "fit the growth-optimal fraction from f0; 1.0") \
  F(kelly_f, (), "current fraction") \
  F(kelly_growth, (), "expected log growth per bet at the current fraction") \
  F(kelly_growth_sd, (), "standard deviation of the log growth per bet at the current fraction") \
  F(kelly_paramc, (), "clear the outcome table and the Kelly fit; 1.0") \
  /* growth-optimal formulas; k is the multiple of the Kelly fraction mu / sigma^2 */ \
  F(kellyfr_norm, (N(mu), N(sigma)), "growth-optimal fraction mu / sigma^2") \
  F(kellyfr_growth, (N(k), N(mu), N(sigma)), "growth rate of log wealth at k times the Kelly fraction") \
  F(kellyfr_barriers, (N(k), N(L), N(U)), "probability that wealth reaches U before L (levels relative to 1)") \
  F(kellyfr_dbarrier, (N(k), N(L)), "probability that wealth ever falls to L") \
  F(kellyfr_exittime, (N(k), N(mu), N(sigma), N(W)), "expected time for wealth to reach W") \
  F(kellyfr_exittime_ab, (N(k), N(mu), N(sigma), N(L), N(U)), "expected time for wealth to leave the band (L, U)") \
  F(exittime, (N(mu), N(sigma), N(W)), "expected time for the price to reach W") \
  F(exittime_ab, (N(mu), N(sigma), N(L), N(U)), "expected time for the price to leave the band (L, U)") \
  /* MT19937 generator; keeps state, one thread at a time */ \
  F(RanMT1, (), "uniform draw in [0, 1)") \
  F(RanMT3, (), "uniform draw in (0, 1)") \
  F(RanMTInit, (N(seed)), "reseed the generator with floor(seed) mod 2^32; 1.0") \
  F(gaussMT, (), "standard normal draw (polar method)") \
  F(F_NextPrice, (N(S), N(mu), N(sigma), N(dt)), "lognormal price one step dt after S")

// Helpers for users of the table.
#define VEXAL_EXPAND(...) __VA_ARGS__
#define VEXAL_BRACED(...) {__VA_ARGS__}

#endif
