// The precise family: one row per function, in the form of the export
// table (exports/export_table.h): F(name, arguments, flags, summary, note),
// every row PURE, arguments made of N(x) numbers and A(x) caller-owned
// arrays. Names carry the precise_ prefix; the C symbol of a row is
// vexal_<name> (libvexal.so and Vexal64.dll, never Vexal.dll).
//
// Every layer (C header, symbol list, batch engine, CLI, Python, VBA, docs
// checks) expands this table; a new precise function is one row here and
// its definition in this folder.
#ifndef VEXAL_PRECISE_TABLE_H
#define VEXAL_PRECISE_TABLE_H

#define VEXAL_PRECISE_TABLE(F) \
  /* precise normal density and distribution */ \
  F(precise_norm,  (N(x)), PURE, "standard normal density at x, to a few ulp", "") \
  F(precise_snorm, (N(x)), PURE, "standard normal distribution function at x, to a few ulp down to x = -37.5", "within 4 ulp (2.9 measured) down to x = -37.5") \
  /* precise European prices and Greeks; T in the time unit of r, sigma, q (years for annual rates) */ \
  F(precise_call_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call price, accurate far out of the money", "") \
  F(precise_put_eur,        (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put price, accurate far out of the money", "") \
  F(precise_call_delta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call delta, d price / d S", "") \
  F(precise_put_delta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put delta, d price / d S", "") \
  F(precise_gamma_eur,      (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European gamma, d2 price / d S2 (call and put)", "") \
  F(precise_vega_eur,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European vega per 1.0 of sigma (call and put)", "") \
  F(precise_call_theta_eur, (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call theta per time unit, -d price / d T", "full relative accuracy at any sigma sqrt(T), down to the smallest doubles") \
  F(precise_put_theta_eur,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put theta per time unit, -d price / d T", "full relative accuracy at any sigma sqrt(T), down to the smallest doubles") \
  F(precise_call_rho_eur,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European call rho per 1.0 of r", "") \
  F(precise_put_rho_eur,    (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "European put rho per 1.0 of r", "") \
  F(precise_prob_itm,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "risk-neutral probability that S ends above K", "") \
  /* precise European implied volatility */ \
  F(precise_call_impvol_eur, (N(S), N(K), N(T), N(r), N(price), N(q)), PURE, "volatility at which precise_call_eur gives price, to machine precision (NaN if unreachable)", "") \
  F(precise_put_impvol_eur,  (N(S), N(K), N(T), N(r), N(price), N(q)), PURE, "volatility at which precise_put_eur gives price, to machine precision (NaN if unreachable)", "") \
  /* precise American prices, Greeks and implied volatility (early-exercise boundary by collocation) */ \
  F(precise_call_american,       (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American call price, to about 1e-9 relative", "the band regime (a put with q < r < 0, a call with r < q < 0): 1e-9 while the band stays open past 4T, else a tree at about 3e-5") \
  F(precise_put_american,        (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American put price, to about 1e-9 relative", "the band regime (a put with q < r < 0, a call with r < q < 0): 1e-9 while the band stays open past 4T, else a tree at about 3e-5") \
  F(precise_call_delta_american, (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American call delta, d price / d S", "") \
  F(precise_put_delta_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American put delta, d price / d S", "") \
  F(precise_call_gamma_american, (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American call gamma, d2 price / d S2", "") \
  F(precise_put_gamma_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American put gamma, d2 price / d S2", "") \
  F(precise_call_vega_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American call vega per 1.0 of sigma", "") \
  F(precise_put_vega_american,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American put vega per 1.0 of sigma", "") \
  F(precise_call_theta_american, (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American call theta per time unit, -d price / d T", "") \
  F(precise_put_theta_american,  (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American put theta per time unit, -d price / d T", "") \
  F(precise_call_rho_american,   (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American call rho per 1.0 of r", "") \
  F(precise_put_rho_american,    (N(S), N(K), N(T), N(r), N(sigma), N(q)), PURE, "American put rho per 1.0 of r", "") \
  F(precise_call_impvol_american, (N(S), N(K), N(T), N(r), N(price), N(q)), PURE, "volatility at which precise_call_american gives price (NaN if unreachable)", "0 where the price is within rounding of its zero-volatility value") \
  F(precise_put_impvol_american,  (N(S), N(K), N(T), N(r), N(price), N(q)), PURE, "volatility at which precise_put_american gives price (NaN if unreachable)", "0 where the price is within rounding of its zero-volatility value") \
  /* precise prices, Greeks and implied volatility with n cash dividends: the spot drops by each at its date (floored at 0), no yield */ \
  F(precise_call_eur_d,             (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European call with n cash dividends", "the spot drops by each cash dividend at its date (floored at 0), no yield; only 0 < t < T with a positive amount count; arrays unsorted, equal times add (and dates within T/2^20 at their mean date); a NaN time or amount or a negative amount gives NaN; with none counted, the q = 0 twin bit for bit") \
  F(precise_put_eur_d,              (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European put with n cash dividends", "the spot drops by each cash dividend at its date (floored at 0), no yield; only 0 < t < T with a positive amount count; arrays unsorted, equal times add (and dates within T/2^20 at their mean date); a NaN time or amount or a negative amount gives NaN; with none counted, the q = 0 twin bit for bit") \
  F(precise_call_delta_eur_d,       (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European call delta with cash dividends, d price / d S", "exact derivative from the recursion") \
  F(precise_put_delta_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European put delta with cash dividends, d price / d S", "exact derivative from the recursion") \
  F(precise_call_gamma_eur_d,       (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European call gamma with cash dividends, d2 price / d S2", "exact derivative from the recursion") \
  F(precise_put_gamma_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European put gamma with cash dividends, d2 price / d S2", "exact derivative from the recursion") \
  F(precise_call_vega_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European call vega with cash dividends, per 1.0 of sigma", "a fourth-order central difference in sigma") \
  F(precise_put_vega_eur_d,         (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European put vega with cash dividends, per 1.0 of sigma", "a fourth-order central difference in sigma") \
  F(precise_call_theta_eur_d,       (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European call theta with cash dividends, per time unit as time passes", "from the pricing equation at t = 0 (expiry and every dividend date draw nearer); 0 where an American is exercised at once") \
  F(precise_put_theta_eur_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European put theta with cash dividends, per time unit as time passes", "from the pricing equation at t = 0 (expiry and every dividend date draw nearer); 0 where an American is exercised at once") \
  F(precise_call_rho_eur_d,         (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European call rho with cash dividends, per 1.0 of r", "the amounts held; a central difference, one-sided where an American's stencil would cross r = 0") \
  F(precise_put_rho_eur_d,          (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "European put rho with cash dividends, per 1.0 of r", "the amounts held; a central difference, one-sided where an American's stencil would cross r = 0") \
  F(precise_call_american_d,        (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American call with n cash dividends", "exercised only just before an ex-date for r >= 0 (a Bermudan option, extrapolated, for r < 0); the spot drops by each cash dividend at its date (floored at 0), no yield; only 0 < t < T with a positive amount count; arrays unsorted, equal times add (and dates within T/2^20 at their mean date); a NaN time or amount or a negative amount gives NaN; with none counted, the q = 0 twin bit for bit") \
  F(precise_put_american_d,         (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American put with n cash dividends", "to about 1e-9 relative, 1-20 ms an option (its boundary between dividends by collocation; NaN for sigma under about 1e-4, beyond its grids); the spot drops by each cash dividend at its date (floored at 0), no yield; only 0 < t < T with a positive amount count; arrays unsorted, equal times add (and dates within T/2^20 at their mean date); a NaN time or amount or a negative amount gives NaN; with none counted, the q = 0 twin bit for bit") \
  F(precise_call_delta_american_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American call delta with cash dividends, d price / d S", "exact derivative from the recursion") \
  F(precise_put_delta_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American put delta with cash dividends, d price / d S", "exact derivative from the recursion") \
  F(precise_call_gamma_american_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American call gamma with cash dividends, d2 price / d S2", "exact derivative from the recursion") \
  F(precise_put_gamma_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American put gamma with cash dividends, d2 price / d S2", "exact derivative from the recursion") \
  F(precise_call_vega_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American call vega with cash dividends, per 1.0 of sigma", "a fourth-order central difference in sigma") \
  F(precise_put_vega_american_d,    (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American put vega with cash dividends, per 1.0 of sigma", "a fourth-order central difference in sigma") \
  F(precise_call_theta_american_d,  (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American call theta with cash dividends, per time unit as time passes", "from the pricing equation at t = 0 (expiry and every dividend date draw nearer); 0 where an American is exercised at once") \
  F(precise_put_theta_american_d,   (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American put theta with cash dividends, per time unit as time passes", "from the pricing equation at t = 0 (expiry and every dividend date draw nearer); 0 where an American is exercised at once") \
  F(precise_call_rho_american_d,    (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American call rho with cash dividends, per 1.0 of r", "the amounts held; a central difference, one-sided where an American's stencil would cross r = 0") \
  F(precise_put_rho_american_d,     (N(S), N(K), N(T), N(r), N(sigma), A(times), A(amounts), N(n)), PURE, "American put rho with cash dividends, per 1.0 of r", "the amounts held; a central difference, one-sided where an American's stencil would cross r = 0") \
  F(precise_call_impvol_eur_d,      (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), PURE, "volatility at which precise_call_eur_d gives price (NaN if unreachable)", "price in sigma's place; 0 exactly at the sigma = 0 price, NaN below it or beyond sigma = 1024") \
  F(precise_put_impvol_eur_d,       (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), PURE, "volatility at which precise_put_eur_d gives price (NaN if unreachable)", "price in sigma's place; 0 exactly at the sigma = 0 price, NaN below it or beyond sigma = 1024") \
  F(precise_call_impvol_american_d, (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), PURE, "volatility at which precise_call_american_d gives price (NaN if unreachable)", "price in sigma's place; 0 exactly at the sigma = 0 price, NaN below it or beyond sigma = 1024") \
  F(precise_put_impvol_american_d,  (N(S), N(K), N(T), N(r), N(price), A(times), A(amounts), N(n)), PURE, "volatility at which precise_put_american_d gives price (NaN if unreachable)", "price in sigma's place; 0 exactly at the sigma = 0 price, NaN below it or beyond sigma = 1024") \
  /* precise barrier and band probabilities; mu, sigma per time unit of T, S the current price */ \
  F(precise_ProbPTBB,    (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the price at T is below level H", "P(S_T < H); with sigma = 0 or T = 0 the path is S exp((mu - sigma^2/2) T), an end exactly at H counting 1/2; S or H <= 0, sigma < 0, T < 0 or NaN give NaN; to 1e-12 relative down to 1e-250") \
  F(precise_ProbPTUB,    (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the price at T is above level H", "P(S_T > H), the complement of precise_ProbPTBB without cancellation; the same edges") \
  F(precise_ProbMaxPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running maximum reaches barrier H above S", "H <= S counts as touched (1); H = +Infinity is never touched; sigma = 0 or T = 0: 1 if S exp(nu T) >= H; to 1e-12 relative down to 1e-250") \
  F(precise_ProbMaxPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running maximum stays below barrier H", "the complement of precise_ProbMaxPTUB without cancellation (0 for H <= S)") \
  F(precise_ProbMinPTBB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running minimum reaches barrier H below S", "H >= S counts as touched (1); the mirror of precise_ProbMaxPTUB") \
  F(precise_ProbMinPTUB, (N(mu), N(sigma), N(T), N(H), N(S)), PURE, "probability that the running minimum stays above barrier H", "the complement of precise_ProbMinPTBB without cancellation (0 for H >= S)") \
  F(precise_ProbFPBBMaxPTUB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), PURE, "probability that the maximum reaches B (above S) and the price ends below X", "B <= S gives P(end below X); for X > B the true joint probability") \
  F(precise_ProbFPUBMinPTBB, (N(mu), N(sigma), N(T), N(B), N(X), N(S)), PURE, "probability that the minimum reaches B (below S) and the price ends above X", "B >= S gives P(end above X); for X < B the true joint probability") \
  F(precise_AdjBarrier, (N(sigma), N(dt)), PURE, "discrete-monitoring barrier factor exp(beta sigma sqrt(dt)), beta = -zeta(1/2)/sqrt(2 pi)", "beta = 0.5825971579390107; sigma signed (negative for a barrier below); dt < 0 gives NaN") \
  F(precise_ProbWR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), PURE, "probability of touching neither barrier L < S < U during [0, T]", "S on or outside (L, U) gives 0; L >= U, L <= 0 or S <= 0 give NaN; U = +Infinity: survival past L alone; sigma = 0 or T = 0: 1 if S exp(nu T) stays strictly inside; by images or eigenfunctions, 1e-12 relative down to 1e-250 (survivals below about 1e-20 under a drift across the band more than 1.7 times its width: absolute accuracy)") \
  F(precise_ProbBR, (N(S), N(mu), N(sigma), N(T), N(U), N(L)), PURE, "probability of touching L or U during [0, T]", "the complement of precise_ProbWR without cancellation") \
  F(precise_EMDD, (N(mu), N(sigma), N(T)), PURE, "expected maximum drawdown of mu t + sigma W(t) over [0, T], any sign of mu", "mu = 0 gives sqrt(pi/2) sigma sqrt(T); sigma = 0 gives max(0, -mu T); T = 0 gives 0; 1e-10 relative; microseconds to milliseconds")

#endif
