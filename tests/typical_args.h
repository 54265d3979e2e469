// An ordinary value for each argument name of the export table, for the
// tests that call every export; names not listed get 0.5.
#ifndef VEXAL_TESTS_TYPICAL_ARGS_H
#define VEXAL_TESTS_TYPICAL_ARGS_H

#include <map>
#include <string>

inline double typical_value(const std::string& name) {
  static const std::map<std::string, double> values = {
      {"x", 0.3},      {"S", 100},      {"K", 95},      {"T", 0.5},    {"r", 0.03},   {"sigma", 0.25},
      {"q", 0.01},     {"price", 7.5},  {"steps", 20},  {"n", 6},      {"count", 6},  {"k", 2},
      {"mu", 0.08},    {"H", 110},      {"B", 110},     {"X", 105},    {"U", 120},    {"L", 80},
      {"dt", 0.004},   {"lambda", 0.94}, {"A", 252},    {"order", 0},  {"t", 2},      {"m", 100},
      {"s", 20},       {"alpha0", 0.1}, {"beta0", 0.8}, {"f0", 0.1},   {"W", 2},      {"seed", 77},
      {"reverse", 0}};
  auto it = values.find(name);
  return it == values.end() ? 0.5 : it->second;
}

#endif
