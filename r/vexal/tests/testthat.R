library(testthat)
library(vexal)

test_check("vexal")
