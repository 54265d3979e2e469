/* A C program that uses the library through vexal.h, vexal_batch.h and vexal_precise.h and nothing else. */
#include <math.h>
#include <stdio.h>

#include "vexal.h"
#include "vexal_batch.h"
#include "vexal_precise.h"

static int checks, failures;

static void expect(const char *what, double got, double want, double tol) {
  ++checks;
  if (!(fabs(got - want) <= tol)) {
    printf("FAIL %s: %.17g, expected %.17g\n", what, got, want);
    ++failures;
  }
}

int main(void) {
  double prices[4] = {100.0, 101.0, 99.5, 102.0};
  double c, sd;
  int i;

  expect("norm(0)", norm(0.0), 0.3989422804014327, 1e-15);
  expect("snorm(0) near 0.5", snorm(0.0), 0.5, 1e-7);
  expect("RanMTInit(5489)", RanMTInit(5489.0), 1.0, 0.0);
  expect("first RanMT1 after 5489", RanMT1(), 3499211612.0 * 2.328306437080797e-10, 0.0);
  for (i = 0; i < 100; ++i) {
    double u = RanMT3();
    if (!(u > 0.0 && u < 1.0)) expect("RanMT3 in (0, 1)", u, 0.5, 0.5);
  }
  /* Family values: checked once they are numbers. */
  c = call_eur(100, 100, 1, 0.05, 0.2, 0);
  if (!isnan(c)) expect("call_eur", c, 10.450583572185565, 1e-4);
  sd = Price_sd(prices, 4);
  if (!isnan(sd)) expect("Price_sd is positive", sd > 0.0, 1.0, 0.0);
  /* Arrays in, arrays out: a column of spots, the rest shared. */
  {
    const double spot[3] = {90.0, 100.0, 110.0}, k = 100, t = 1, r = 0.05, v = 0.2, q = 0;
    const double *args[6];
    const long long strides[6] = {1, 0, 0, 0, 0, 0};
    double out[3], fit[4];
    int rc;
    args[0] = spot, args[1] = &k, args[2] = &t, args[3] = &r, args[4] = &v, args[5] = &q;
    rc = vexal_map("call_eur", 3, args, strides, out, 0);
    expect("vexal_map returns 0", rc, 0, 0);
    for (i = 0; i < 3; ++i) expect("vexal_map row equals call_eur", out[i], call_eur(spot[i], k, t, r, v, q), 0.0);
    expect("vexal_precise_call_eur", vexal_precise_call_eur(100, 100, 1, 0.05, 0.2, 0), 10.450583572185565, 1e-12);
    expect("vexal_map of a precise function returns 0", vexal_map("precise_call_eur", 3, args, strides, out, 0), 0, 0);
    for (i = 0; i < 3; ++i)
      expect("vexal_map row equals vexal_precise_call_eur", out[i], vexal_precise_call_eur(spot[i], k, t, r, v, q), 0.0);
    expect("unknown name refused", vexal_map("no_such", 3, args, strides, out, 0), VEXAL_E_UNKNOWN_NAME, 0);
    expect("vexal_error names it", vexal_error(VEXAL_E_UNKNOWN_NAME)[0] != 0, 1, 0);
    garch_paramc();
    Price_input(prices, 4, 0);
    garch_o(0.1, 0.8);
    expect("vexal_garch_fit returns 0", vexal_garch_fit(prices, 4, 0, 0.1, 0.8, fit), 0, 0);
    expect("vexal_garch_fit alpha", fit[2], garch_param2(), 0.0);
  }
  printf("call_eur(100, 100, 1, 0.05, 0.2, 0) = %.17g\n", c);
  printf("%d passed, %d failed\n", checks - failures, failures);
  return failures != 0;
}
