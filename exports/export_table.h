// The export table: every function the library exports, in one place, with
// everything said about it.
//
// VEXAL_EXPORT_TABLE(F) expands F(name, arguments, flags, summary, note) once
// per export:
//   arguments  a parenthesised list of N(x) (a number, 8 bytes on the Win32
//              stack) and A(x) (the address of a caller-owned array of
//              doubles, 4 bytes); an array is sized by the argument named n or
//              count (vexal::count_argument);
//   flags      PURE (a function of its arguments only) or STATE (reads or
//              writes module state: one thread at a time);
//   summary    one line: what it returns;
//   note       edges, units and special cases ("" where the summary says all).
// A comment line `/* family; prose */` opens each family. The user of the
// table defines F, N and A before expanding it; users that need only some
// fields take the rest as `...`. The Win32 decorated name is name@bytes,
// bytes summed over the arguments.
//
// Everything that needs the list (the export skin, the Linux symbol list,
// the CLI, the generated headers and bindings, the tests) expands or reads
// this table rather than repeating it: tools/gen_bindings.py writes
// include/vexal.h, the Python rows, the R functions and help pages and the
// VBA module from it.
#ifndef VEXAL_EXPORT_TABLE_H
#define VEXAL_EXPORT_TABLE_H

#define VEXAL_EXPORT_TABLE(F) \
  /* normal density and distribution */ \
  F(norm,  (N(x)), PURE, "standard normal density at x", "") \
  F(snorm, (N(x)), PURE, "standard normal distribution function at x (Abramowitz-Stegun 26.2.17)", "error below 7.5e-8; snorm(0) is not exactly 0.5") \
  /* European prices and Greeks; S spot, K strike, T time to expiry, r rate, sigma volatility, q continuous dividend yield; r, sigma, q per unit of T (years for annual rates) */ \
  F(call_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call price", "") \
  F(put_eur,        (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put price", "") \
  F(call_delta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call delta, d price / d S", "") \
  F(put_delta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put delta, d price / d S", "negative") \
  F(gamma_eur,      (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European gamma, d2 price / d S2 (call and put)", "") \
  F(vega_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European vega per 1.0 of sigma (call and put)", "divide by 100 for a volatility point") \
  F(call_theta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call theta per time unit, -d price / d T", "") \
  F(put_theta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put theta per time unit, -d price / d T", "") \
  F(call_rho_eur,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call rho per 1.0 of r", "q held fixed") \
  F(put_rho_eur,    (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put rho per 1.0 of r", "q held fixed") \
  F(prob_itm,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "risk-neutral probability that S ends above K", "N(d2)") \
  /* European implied volatility and discrete dividends */ \
  F(call_impvol_eur, (N(S), N(K), N(T), N(r), N(price), N(q)), PURE, "volatility at which call_eur gives price (resolution 2^-16; NaN if unreachable)", "on a 2^-16 grid; 0 if price is at or below the lowest probe, NaN if unreachable") \
  F(put_impvol_eur,  (N(S), N(K), N(T), N(r), N(price), N(q)), PURE, "volatility at which put_eur gives price (resolution 2^-16; NaN if unreachable)", "on a 2^-16 grid; 0 if price is at or below the lowest probe, NaN if unreachable") \
  F(call_eur_d, (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European call with n cash dividends (escrowed spot, yield 0)", "times[i] in the unit of T from now, amounts[i] in price units; n elements of both") \
  F(put_eur_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European put with n cash dividends (escrowed spot, yield 0)", "times[i] in the unit of T from now, amounts[i] in price units; n elements of both") \
  /* American options on the binomial tree; steps is floored; a Cox-Ross-Rubinstein tree, arguments as above; Greeks by +-1 % bumps of one argument, per 1.0 of that argument */ \
  F(call_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American call on a CRR binomial tree", "floor(steps) steps") \
  F(put_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American put on a CRR binomial tree", "floor(steps) steps") \
  F(call_binamer_d, (N(S), N(K), N(T), N(r), N(sigma), N(steps), A(times), A(amounts), N(n)), PURE, "American call on the tree with n cash dividends", "times[i] in the unit of T from now, amounts[i]; n elements of both; yield 0") \
  F(put_binamer_d,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), A(times), A(amounts), N(n)), PURE, "American put on the tree with n cash dividends", "times[i] in the unit of T from now, amounts[i]; n elements of both; yield 0") \
  F(call_delta_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American call delta, spot bumped by +-1 %", "spot bumped to 1.01 S and 0.99 S") \
  F(put_delta_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American put delta, spot bumped by +-1 %", "spot bumped to 1.01 S and 0.99 S") \
  F(call_gamma_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American call gamma from two 1 % spot slopes", "") \
  F(put_gamma_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American put gamma from two 1 % spot slopes", "") \
  F(call_vega_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American call vega per 1.0 of sigma, sigma bumped by +-1 %", "") \
  F(put_vega_binamer,   (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American put vega per 1.0 of sigma, sigma bumped by +-1 %", "") \
  F(call_theta_binamer, (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American call theta per time unit, T bumped by +-1 %", "steps kept") \
  F(put_theta_binamer,  (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American put theta per time unit, T bumped by +-1 %", "steps kept") \
  F(call_rho_binamer,   (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American call rho per 1.0 of r, r bumped by +-1 %", "NaN for r = 0") \
  F(put_rho_binamer,    (N(S), N(K), N(T), N(r), N(sigma), N(steps), N(q)), PURE, "American put rho per 1.0 of r, r bumped by +-1 %", "NaN for r = 0") \
  F(call_impvol_binamer, (N(S), N(K), N(T), N(r), N(price), N(steps), N(q)), PURE, "volatility at which call_binamer gives price (resolution 2^-16; NaN if unreachable)", "") \
  F(put_impvol_binamer,  (N(S), N(K), N(T), N(r), N(price), N(steps), N(q)), PURE, "volatility at which put_binamer gives price (resolution 2^-16; NaN if unreachable)", "") \
  /* barrier touch probabilities; mu, sigma per time unit of T; current price last; a geometric Brownian motion price: H, B, X, U, L price levels, S the current price */ \
  F(ProbPTBB,    (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the price at T is below level H", "") \
  F(ProbPTUB,    (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the price at T is above level H", "") \
  F(ProbMaxPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running maximum reaches barrier H above S", "H above S") \
  F(ProbMaxPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running maximum stays below barrier H", "H above S") \
  F(ProbMinPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running minimum reaches barrier H below S", "H below S") \
  F(ProbMinPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running minimum stays above barrier H", "H below S") \
  F(ProbFPBBMaxPTUB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), PURE, "probability that the maximum reaches B (above S) and the price ends below X", "X <= B") \
  F(ProbFPUBMinPTBB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), PURE, "probability that the minimum reaches B (below S) and the price ends above X", "X >= B") \
  F(AdjBarrier, (N(sigma), N(dt)), PURE, "discrete-monitoring barrier factor exp(0.5826 sigma sqrt(dt))", "monitoring every dt, in the time unit of sigma; sigma signed (negative for a barrier below)") \
  F(ProbWR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), PURE, "probability of touching neither barrier L < S < U during [0, T]", "") \
  F(ProbBR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), PURE, "probability of touching L or U during [0, T], 1 - ProbWR", "") \
  F(EMDD, (N(mu), N(sigma), N(T)), PURE, "expected maximum drawdown of mu t + sigma W(t) over [0, T]; NaN for mu < 0 beyond the zero-drift law", "") \
  /* series statistics of log returns; n is the number of prices in each array */ \
  F(Price_mn, (A(prices), N(n)), PURE, "mean of the log returns of n prices", "per observation step") \
  F(Price_sd, (A(prices), N(n)), PURE, "sample standard deviation of the log returns of n prices", "per observation step") \
  F(Price_sk, (A(prices), N(n)), PURE, "bias-adjusted skewness of the log returns of n prices", "") \
  F(Price_ku, (A(prices), N(n)), PURE, "bias-adjusted excess kurtosis of the log returns of n prices", "") \
  F(Price_vr, (A(prices), N(n), N(k)), PURE, "variance ratio of overlapping k-step to one-step log returns of n prices", "k a whole number of steps") \
  F(Price_cor, (A(pricesA), A(pricesB), N(n)), PURE, "correlation of the log returns of two series of n prices", "") \
  F(Price_Vol_EWMA, (A(prices), N(n), N(lambda), N(A), N(order)), PURE, "EWMA volatility of n prices scaled by sqrt(A); order 0 = oldest first", "decay lambda; A observations per time unit; order 0 oldest first, else newest first") \
  F(Price_Vol_Parkinson, (A(high), A(low), N(A), N(n)), PURE, "Parkinson volatility of n high/low bars scaled by sqrt(A)", "n bars in each array (note A before n)") \
  F(Price_Vol_YangZhang, (A(open), A(high), A(low), A(close), N(A), N(n)), PURE, "Yang-Zhang volatility of n OHLC bars scaled by sqrt(A)", "n bars in each array (note A before n)") \
  F(MaxDrawdown, (A(prices), N(n)), PURE, "largest fall from a running peak as a fraction of the peak, over n prices", "0.25 = 25 %; 0 if never falling") \
  F(MaxTimeDrawdown, (A(prices), N(n)), PURE, "longest stretch below a running peak, in observations, over n prices", "") \
  F(LogNormal_mn, (N(mu), N(sigma), N(t)), PURE, "mean of exp(X), X normal with mean mu t and variance sigma^2 t", "") \
  F(LogNormal_sd, (N(mu), N(sigma), N(t)), PURE, "standard deviation of exp(X)", "") \
  F(LogNormal_median, (N(mu), N(sigma), N(t)), PURE, "median of exp(X); sigma is not used", "exp(mu t)") \
  F(LogNormal_mode, (N(mu), N(sigma), N(t)), PURE, "mode of exp(X)", "") \
  F(Normal_mn, (N(m), N(s)), PURE, "mean of ln Y for a lognormal Y with mean m and deviation s", "") \
  F(Normal_sd, (N(m), N(s)), PURE, "standard deviation of ln Y for a lognormal Y with mean m and deviation s", "") \
  /* GARCH(1,1) fit; keeps state, one thread at a time; reproducible as garch_paramc, Price_input, garch_o, then garch_param0..3 */ \
  F(Price_input, (A(prices), N(count), N(reverse)), STATE, "load count prices for the GARCH fit (reverse != 0: newest first); 1.0, or NaN if rejected", "at most 100001 prices") \
  F(garch_o, (N(alpha0), N(beta0)), STATE, "fit GARCH(1,1) by variance targeting from (alpha0, beta0); 1.0", "omega by variance targeting") \
  F(garch_param0, (), STATE, "objective at the fitted point", "0 before a fit") \
  F(garch_param1, (), STATE, "fitted omega", "per observation step") \
  F(garch_param2, (), STATE, "fitted alpha", "") \
  F(garch_param3, (), STATE, "fitted beta", "") \
  F(garch_paramc, (), STATE, "clear the loaded prices and the GARCH fit; 1.0", "the iteration count included") \
  /* Kelly fraction fit; keeps state, one thread at a time; reproducible as kelly_paramc, kelly_input, kelly_o, then kelly_f, kelly_growth, kelly_growth_sd */ \
  F(kelly_input, (A(probs), A(outcomes), N(count)), STATE, "load count outcomes (net gain per unit staked) and their probabilities; 1.0, or NaN if rejected", "outcomes are net gains per unit staked (-1 = stake lost); at most 10001 rows") \
  F(kelly_o, (N(f0)), STATE, "fit the growth-optimal fraction from f0; 1.0", "") \
  F(kelly_f, (), STATE, "current fraction", "0 before a fit") \
  F(kelly_growth, (), STATE, "expected log growth per bet at the current fraction", "") \
  F(kelly_growth_sd, (), STATE, "standard deviation of the log growth per bet at the current fraction", "") \
  F(kelly_paramc, (), STATE, "clear the outcome table and the Kelly fit; 1.0", "the iteration count included") \
  /* growth-optimal formulas; k is the multiple of the Kelly fraction mu / sigma^2; wealth levels L, U, W relative to current wealth 1 */ \
  F(kellyfr_norm, (N(mu), N(sigma)), PURE, "growth-optimal fraction mu / sigma^2", "") \
  F(kellyfr_growth, (N(k), N(mu), N(sigma)), PURE, "growth rate of log wealth at k times the Kelly fraction", "per time unit") \
  F(kellyfr_barriers, (N(k), N(L), N(U)), PURE, "probability that wealth reaches U before L (levels relative to 1)", "L < 1 < U") \
  F(kellyfr_dbarrier, (N(k), N(L)), PURE, "probability that wealth ever falls to L", "L < 1") \
  F(kellyfr_exittime, (N(k), N(mu), N(sigma), N(W)), PURE, "expected time for wealth to reach W", "in time units") \
  F(kellyfr_exittime_ab, (N(k), N(mu), N(sigma), N(L), N(U)), PURE, "expected time for wealth to leave the band (L, U)", "in time units") \
  F(exittime, (N(mu), N(sigma), N(W)), PURE, "expected time for the price to reach W", "price relative to 1 now; in time units") \
  F(exittime_ab, (N(mu), N(sigma), N(L), N(U)), PURE, "expected time for the price to leave the band (L, U)", "price relative to 1 now; in time units") \
  /* MT19937 generator; keeps state, one thread at a time; the same sequence after every load until RanMTInit */ \
  F(RanMT1, (), STATE, "uniform draw in [0, 1)", "") \
  F(RanMT3, (), STATE, "uniform draw in (0, 1)", "") \
  F(RanMTInit, (N(seed)), STATE, "reseed the generator with floor(seed) mod 2^32; 1.0", "") \
  F(gaussMT, (), STATE, "standard normal draw (polar method)", "") \
  F(F_NextPrice, (N(S), N(mu), N(sigma), N(dt)), STATE, "lognormal price one step dt after S", "mu drift per time unit, sigma per square root of it")

// Helpers for users of the table.
#define VEXAL_EXPAND(...) __VA_ARGS__
#define VEXAL_BRACED(...) {__VA_ARGS__}

#endif
