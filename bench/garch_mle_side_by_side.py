"""GARCH(1,1) of the Deutschmark/pound returns, side by side in one run:
vexal_garch_mle (Google Benchmark, bench/garch_mle_bench.cpp) beside R's
fGarch::garchFit and tseries::garch (bench/garch_mle_r.R): CPU time per fit
and the estimates of all three, and the many-series form on 2 threads
against 1.

    python3 bench/garch_mle_side_by_side.py [build/bin/vexal_bench]
"""
import json
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "tests", "data", "dem2gbp.csv")
PUBLISHED = {"mu": -0.00619041, "omega": 0.0107613, "alpha": 0.153134, "beta": 0.805974, "loglik": -1106.608,
             "se_mu": 0.00846212, "se_omega": 0.00285271, "se_alpha": 0.0265228, "se_beta": 0.0335527}


def vexal_rows(bench):
    out = subprocess.run([bench, "--benchmark_filter=GarchMle", "--benchmark_format=json",
                          "--benchmark_repetitions=5", "--benchmark_min_time=0.5"],
                         capture_output=True, text=True, check=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]

    def best(name, key):  # the least disturbed of the repetitions
        return min(b[key] for b in runs if b["run_name"] == name)
    normal = next(b for b in runs if b["run_name"] == "BM_GarchMle/0")
    t = next(b for b in runs if b["run_name"] == "BM_GarchMle/1")
    one = best("BM_GarchMleMany/threads:1/real_time", "real_time")
    two = best("BM_GarchMleMany/threads:2/real_time", "real_time")
    return normal, best("BM_GarchMle/0", "cpu_time"), t, best("BM_GarchMle/1", "cpu_time"), one, two


def main():
    bench = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "bin", "vexal_bench")
    normal, normal_ms, t, t_ms, one, two = vexal_rows(bench)
    r = subprocess.run(["Rscript", os.path.join(ROOT, "bench", "garch_mle_r.R"), DATA, "3"],
                       capture_output=True, text=True, check=True).stdout
    rows = [{"package": "vexal_garch_mle (constant mean)", "ms": normal_ms, **normal}]
    rows += [json.loads(line) for line in r.splitlines() if line.startswith("{")]
    names = ["mu", "omega", "alpha", "beta", "loglik"]
    print("GARCH(1,1), normal errors, 1974 Deutschmark/pound returns; CPU time per fit, standard errors included")
    print("%-36s %10s %8s " % ("", "ms/fit", "x vexal") + " ".join("%13s" % n for n in names))
    print("%-36s %10s %8s " % ("published (FCP 1996, McCullough-Renfro)", "", "")
          + " ".join("%13.9g" % PUBLISHED[n] for n in names))
    for row in rows:
        print("%-36s %10.3f %8.1f " % (row["package"][:36], row["ms"], row["ms"] / normal_ms)
              + " ".join("%13s" % ("-" if row.get(n) is None else "%.9g" % row[n]) for n in names))
    print("\nstandard errors (vexal: inverse Hessian; fGarch: its Hessian; tseries: outer product of gradients)")
    for row in rows:
        print("%-36s " % row["package"][:36] + " ".join("%13s" % ("-" if row.get("se_" + n) is None
                                                                  else "%.6g" % row["se_" + n]) for n in names[:4]))
    print("\nvexal_garch_mle, t errors: %.3f ms/fit (%.2fx the normal fit), nu %.6g, loglik %.6f"
          % (t_ms, t_ms / normal_ms, t["nu"], t["loglik"]))
    print("vexal_garch_mle_many, 32 fits: %.1f ms on 1 thread, %.1f ms on 2: %.2fx" % (one, two, one / two))


if __name__ == "__main__":
    main()
