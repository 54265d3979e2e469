/*
 * vexal.h: the C interface of the Vexal library (libvexal.so, Vexal64.dll,
 * Vexal.dll).
 *
 * Every function takes numbers (double) and arrays (const double *, the
 * address of element 0 of an array the caller owns) and returns one double.
 * Counts, step numbers and flags are passed as doubles too. Each array
 * comes with a count argument (n or count): the function reads elements
 * 0 .. nearest(count - 1) of it, so the array must hold at least that
 * many; nothing is checked. Bad input is not reported: the result is what
 * the arithmetic gives (NaN, an infinity), and actions return 1.0.
 *
 * Times: T, t, dt and dividend times are in one time unit of your choice
 * (years for annual rates); r, q, mu and sigma are per that unit (sigma per
 * square root of it). Greeks are per 1.0 of the bumped argument: vega per
 * 1.0 of sigma (not per percentage point), rho per 1.0 of r, theta per time
 * unit with the sign of time passing (-d price / d T).
 *
 * Threads: the pure functions may run in any number of threads at once.
 * The GARCH fit (Price_input, garch_*), the Kelly fit (kelly_*) and the
 * generator (RanMT*, gaussMT, F_NextPrice) keep module state shared by the
 * whole process: call each family from one thread at a time. vexal_batch.h
 * has fits on state the caller owns, and whole arrays on all cores.
 *
 * On 32-bit Windows the functions are __stdcall and exported as name@bytes
 * (call_eur@48); link with the import library and call them by plain name.
 * On 64-bit Windows (Vexal64.dll) they are exported under their plain names.
 */
#ifndef VEXAL_H
#define VEXAL_H

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define VEXAL_CALL __stdcall
#else
#define VEXAL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- normal density and distribution ---- */

/* density of the standard normal at x */
double VEXAL_CALL norm(double x);
/* P(Z <= x) by Abramowitz-Stegun 26.2.17 (error below 7.5e-8; snorm(0) is not exactly 0.5) */
double VEXAL_CALL snorm(double x);

/* ---- European options (Black-Scholes-Merton): S spot, K strike, T time to expiry, r rate,
        sigma volatility, q continuous dividend yield; r, sigma, q per unit of T ---- */

/* call price */
double VEXAL_CALL call_eur(double S, double K, double T, double r, double sigma, double q);
/* put price */
double VEXAL_CALL put_eur(double S, double K, double T, double r, double sigma, double q);
/* call delta, d price / d S */
double VEXAL_CALL call_delta_eur(double S, double K, double T, double r, double sigma, double q);
/* put delta, d price / d S (negative) */
double VEXAL_CALL put_delta_eur(double S, double K, double T, double r, double sigma, double q);
/* gamma, d2 price / d S2, the same for call and put */
double VEXAL_CALL gamma_eur(double S, double K, double T, double r, double sigma, double q);
/* vega per 1.0 of sigma (divide by 100 for a volatility point), the same for call and put */
double VEXAL_CALL vega_eur(double S, double K, double T, double r, double sigma, double q);
/* call theta per time unit of T as time passes, -d price / d T */
double VEXAL_CALL call_theta_eur(double S, double K, double T, double r, double sigma, double q);
/* put theta per time unit of T as time passes, -d price / d T */
double VEXAL_CALL put_theta_eur(double S, double K, double T, double r, double sigma, double q);
/* call rho per 1.0 of r (q held fixed) */
double VEXAL_CALL call_rho_eur(double S, double K, double T, double r, double sigma, double q);
/* put rho per 1.0 of r (q held fixed) */
double VEXAL_CALL put_rho_eur(double S, double K, double T, double r, double sigma, double q);
/* risk-neutral probability that the underlying ends above K, N(d2) */
double VEXAL_CALL prob_itm(double S, double K, double T, double r, double sigma, double q);
/* sigma at which call_eur gives price; on a 2^-16 grid, 0 if price is at or below the lowest probe, NaN if unreachable */
double VEXAL_CALL call_impvol_eur(double S, double K, double T, double r, double price, double q);
/* sigma at which put_eur gives price; on a 2^-16 grid, 0 if price is at or below the lowest probe, NaN if unreachable */
double VEXAL_CALL put_impvol_eur(double S, double K, double T, double r, double price, double q);
/* call with n cash dividends: times[i] (unit of T, from now) and amounts[i], n elements of both; yield 0 */
double VEXAL_CALL call_eur_d(double S, double K, double T, double r, double sigma, const double *times, const double *amounts, double n);
/* put with n cash dividends: times[i] (unit of T, from now) and amounts[i], n elements of both; yield 0 */
double VEXAL_CALL put_eur_d(double S, double K, double T, double r, double sigma, const double *times, const double *amounts, double n);

/* ---- American options on a Cox-Ross-Rubinstein tree: arguments as above, steps floored to an
        integer; Greeks by +-1 % bumps of one argument, per 1.0 of that argument ---- */

/* American call value on a tree of floor(steps) steps */
double VEXAL_CALL call_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American put value on a tree of floor(steps) steps */
double VEXAL_CALL put_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American call with n cash dividends: times[i] (unit of T, from now), amounts[i], n elements of both; yield 0 */
double VEXAL_CALL call_binamer_d(double S, double K, double T, double r, double sigma, double steps, const double *times, const double *amounts, double n);
/* American put with n cash dividends: times[i] (unit of T, from now), amounts[i], n elements of both; yield 0 */
double VEXAL_CALL put_binamer_d(double S, double K, double T, double r, double sigma, double steps, const double *times, const double *amounts, double n);
/* American call delta, spot bumped to 1.01 S and 0.99 S */
double VEXAL_CALL call_delta_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American put delta, spot bumped to 1.01 S and 0.99 S */
double VEXAL_CALL put_delta_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American call gamma from the two 1 % slopes either side of S */
double VEXAL_CALL call_gamma_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American put gamma from the two 1 % slopes either side of S */
double VEXAL_CALL put_gamma_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American call vega per 1.0 of sigma, sigma bumped by +-1 % */
double VEXAL_CALL call_vega_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American put vega per 1.0 of sigma, sigma bumped by +-1 % */
double VEXAL_CALL put_vega_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American call theta per time unit as time passes, T bumped by +-1 % (steps kept) */
double VEXAL_CALL call_theta_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American put theta per time unit as time passes, T bumped by +-1 % (steps kept) */
double VEXAL_CALL put_theta_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American call rho per 1.0 of r, r bumped by +-1 % (NaN for r = 0) */
double VEXAL_CALL call_rho_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* American put rho per 1.0 of r, r bumped by +-1 % (NaN for r = 0) */
double VEXAL_CALL put_rho_binamer(double S, double K, double T, double r, double sigma, double steps, double q);
/* sigma at which call_binamer gives price; 2^-16 grid, NaN if unreachable */
double VEXAL_CALL call_impvol_binamer(double S, double K, double T, double r, double price, double steps, double q);
/* sigma at which put_binamer gives price; 2^-16 grid, NaN if unreachable */
double VEXAL_CALL put_impvol_binamer(double S, double K, double T, double r, double price, double steps, double q);

/* ---- probabilities for a geometric Brownian motion price: mu drift and sigma volatility per
        unit of T, H/B/X/U/L price levels, S the current price ---- */

/* P(price at T < H) */
double VEXAL_CALL ProbPTBB(double mu, double sigma, double T, double H, double S);
/* P(price at T > H) */
double VEXAL_CALL ProbPTUB(double mu, double sigma, double T, double H, double S);
/* P(the running maximum over [0, T] reaches H), H above S */
double VEXAL_CALL ProbMaxPTUB(double mu, double sigma, double T, double H, double S);
/* P(the running maximum over [0, T] stays below H), H above S */
double VEXAL_CALL ProbMaxPTBB(double mu, double sigma, double T, double H, double S);
/* P(the running minimum over [0, T] reaches H), H below S */
double VEXAL_CALL ProbMinPTBB(double mu, double sigma, double T, double H, double S);
/* P(the running minimum over [0, T] stays above H), H below S */
double VEXAL_CALL ProbMinPTUB(double mu, double sigma, double T, double H, double S);
/* P(the maximum reaches B above S and the price at T ends below X), X <= B */
double VEXAL_CALL ProbFPBBMaxPTUB(double mu, double sigma, double T, double B, double X, double S);
/* P(the minimum reaches B below S and the price at T ends above X), X >= B */
double VEXAL_CALL ProbFPUBMinPTBB(double mu, double sigma, double T, double B, double X, double S);
/* barrier factor exp(0.5826 sigma sqrt(dt)) for monitoring every dt (unit of sigma's time); sigma signed */
double VEXAL_CALL AdjBarrier(double sigma, double dt);
/* P(touching neither L nor U during [0, T]), L < S < U */
double VEXAL_CALL ProbWR(double S, double mu, double sigma, double T, double U, double L);
/* P(touching L or U during [0, T]) = 1 - ProbWR */
double VEXAL_CALL ProbBR(double S, double mu, double sigma, double T, double U, double L);
/* expected maximum drawdown of mu t + sigma W(t) over [0, T]; mu, sigma per time unit */
double VEXAL_CALL EMDD(double mu, double sigma, double T);

/* ---- statistics of price series: n is the number of prices (n - 1 log returns) read from
        every array argument ---- */

/* mean log return, per observation step */
double VEXAL_CALL Price_mn(const double *prices, double n);
/* sample standard deviation of the log returns, per observation step */
double VEXAL_CALL Price_sd(const double *prices, double n);
/* bias-adjusted skewness of the log returns */
double VEXAL_CALL Price_sk(const double *prices, double n);
/* bias-adjusted excess kurtosis of the log returns */
double VEXAL_CALL Price_ku(const double *prices, double n);
/* variance ratio of overlapping k-step to one-step log returns; k a whole number of steps */
double VEXAL_CALL Price_vr(const double *prices, double n, double k);
/* correlation of the log returns of pricesA and pricesB, n prices each */
double VEXAL_CALL Price_cor(const double *pricesA, const double *pricesB, double n);
/* EWMA volatility (decay lambda) times sqrt(A), A observations per time unit; order 0 oldest first, else newest first */
double VEXAL_CALL Price_Vol_EWMA(const double *prices, double n, double lambda, double A, double order);
/* Parkinson high/low volatility times sqrt(A); n bars in each array (note A before n) */
double VEXAL_CALL Price_Vol_Parkinson(const double *high, const double *low, double A, double n);
/* Yang-Zhang open/high/low/close volatility times sqrt(A); n bars in each array (note A before n) */
double VEXAL_CALL Price_Vol_YangZhang(const double *open, const double *high, const double *low, const double *close, double A, double n);
/* largest fall from a running peak as a fraction of the peak (0.25 = 25 %); 0 if never falling */
double VEXAL_CALL MaxDrawdown(const double *prices, double n);
/* longest stretch below a running peak, in observations */
double VEXAL_CALL MaxTimeDrawdown(const double *prices, double n);
/* mean of Y = exp(X), X normal with mean mu t and variance sigma^2 t */
double VEXAL_CALL LogNormal_mn(double mu, double sigma, double t);
/* standard deviation of Y = exp(X) */
double VEXAL_CALL LogNormal_sd(double mu, double sigma, double t);
/* median of Y = exp(X), exp(mu t); sigma is not used */
double VEXAL_CALL LogNormal_median(double mu, double sigma, double t);
/* mode of Y = exp(X) */
double VEXAL_CALL LogNormal_mode(double mu, double sigma, double t);
/* mean of ln Y for a lognormal Y with mean m and standard deviation s */
double VEXAL_CALL Normal_mn(double m, double s);
/* standard deviation of ln Y for a lognormal Y with mean m and standard deviation s */
double VEXAL_CALL Normal_sd(double m, double s);

/* ---- GARCH(1,1) fit, module state (one thread at a time); reproducible as
        garch_paramc, Price_input, garch_o, then garch_param0..3 ---- */

/* load count elements of prices (at most 100001; reverse != 0: newest first); 1.0, or NaN if rejected */
double VEXAL_CALL Price_input(const double *prices, double count, double reverse);
/* fit omega, alpha, beta by variance targeting, starting from alpha0, beta0; 1.0 */
double VEXAL_CALL garch_o(double alpha0, double beta0);
/* log-likelihood objective at the fitted point (0 before a fit) */
double VEXAL_CALL garch_param0(void);
/* fitted omega, per observation step */
double VEXAL_CALL garch_param1(void);
/* fitted alpha */
double VEXAL_CALL garch_param2(void);
/* fitted beta */
double VEXAL_CALL garch_param3(void);
/* clear the loaded prices and the fit, iteration count included; 1.0 */
double VEXAL_CALL garch_paramc(void);

/* ---- Kelly fraction fit, module state (one thread at a time); reproducible as
        kelly_paramc, kelly_input, kelly_o, then kelly_f, kelly_growth, kelly_growth_sd ---- */

/* load count elements of probs and of outcomes (net gain per unit staked, -1 = stake lost; at most 10001); 1.0, or NaN if rejected */
double VEXAL_CALL kelly_input(const double *probs, const double *outcomes, double count);
/* fit the growth-optimal fraction starting from f0; 1.0 */
double VEXAL_CALL kelly_o(double f0);
/* current fraction of wealth staked per bet (0 before a fit) */
double VEXAL_CALL kelly_f(void);
/* expected log growth per bet at the current fraction */
double VEXAL_CALL kelly_growth(void);
/* standard deviation of the log growth per bet at the current fraction */
double VEXAL_CALL kelly_growth_sd(void);
/* clear the outcome table and the fit, iteration count included; 1.0 */
double VEXAL_CALL kelly_paramc(void);

/* ---- growth-optimal formulas: k the multiple of the Kelly fraction mu / sigma^2, mu and sigma
        per time unit, wealth levels L, U, W relative to current wealth 1 ---- */

/* Kelly fraction mu / sigma^2 */
double VEXAL_CALL kellyfr_norm(double mu, double sigma);
/* growth rate of log wealth per time unit at k times the Kelly fraction */
double VEXAL_CALL kellyfr_growth(double k, double mu, double sigma);
/* P(wealth reaches U before L), L < 1 < U */
double VEXAL_CALL kellyfr_barriers(double k, double L, double U);
/* P(wealth ever falls to L), L < 1 */
double VEXAL_CALL kellyfr_dbarrier(double k, double L);
/* expected time for wealth to reach W, in time units */
double VEXAL_CALL kellyfr_exittime(double k, double mu, double sigma, double W);
/* expected time for wealth to leave the band (L, U), in time units */
double VEXAL_CALL kellyfr_exittime_ab(double k, double mu, double sigma, double L, double U);
/* expected time for the price (relative to 1 now) to reach W, in time units */
double VEXAL_CALL exittime(double mu, double sigma, double W);
/* expected time for the price (relative to 1 now) to leave the band (L, U), in time units */
double VEXAL_CALL exittime_ab(double mu, double sigma, double L, double U);

/* ---- MT19937 generator, module state (one thread at a time); the same sequence after every
        load until RanMTInit ---- */

/* uniform draw in [0, 1) */
double VEXAL_CALL RanMT1(void);
/* uniform draw in (0, 1) */
double VEXAL_CALL RanMT3(void);
/* reseed with floor(seed) mod 2^32; 1.0 */
double VEXAL_CALL RanMTInit(double seed);
/* standard normal draw (polar method) */
double VEXAL_CALL gaussMT(void);
/* lognormal price one step dt after S: mu drift per time unit, sigma per sqrt of time unit */
double VEXAL_CALL F_NextPrice(double S, double mu, double sigma, double dt);

#ifdef __cplusplus
}
#endif

#endif /* VEXAL_H */
