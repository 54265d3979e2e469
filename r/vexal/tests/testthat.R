# The package's tests, under R CMD check: tests/testthat/.
library(testthat)
library(vexal)

test_check("vexal")
