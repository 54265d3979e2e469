test_that("the functions are exported and the S3 methods registered, not exported", {
  ns <- asNamespace("vexal")
  methods <- getNamespaceInfo(ns, "S3methods")[, 3]
  functions <- setdiff(Filter(function(n) is.function(ns[[n]]), ls(ns)), methods)
  exported <- getNamespaceExports(ns)
  expect_true(all(c("print.vexal_mt", "coef.vexal_garch_mle", "summary.vexal_garch_mle") %in% methods))
  expect_setequal(exported, functions)
  expect_true(all(c("garch_mle", "mt_generator", "call_eur", "precise_norm", "norm") %in% exported))
  # Dispatch does not need the methods exported.
  expect_output(print(mt_generator(1)), "MT19937 generator")
  expect_equal(vexal::norm(0), stats::dnorm(0))
})
