#!/usr/bin/python3
"""Reference values for the precise barrier, joint and band probabilities,
by mpmath at 330 digits (enough for the closed forms' own cancellation down
to 1e-250).

Writes tests/precise_probability_reference.h (checked in). The touch and
joint probabilities come from the reflection-principle formulas as they
stand, the band survival from the image series where sigma^2 T / w^2 <= 0.3
and from the eigenfunction series above; on a part of the grid both series
are summed and must agree to 1e-40. Each row also carries the derivative of
its values by ln S, what an error of one ulp in the logarithms moves them by.
Run it again only to change the grids (Debian python3-mpmath):
/usr/bin/python3 tests/precise_probability_reference.py
"""
import math
import os
import random

import mpmath as mp

mp.mp.dps = 330
HERE = os.path.dirname(os.path.abspath(__file__))
N = mp.ncdf


def lu(rng, a, b):
    return math.exp(rng.uniform(math.log(a), math.log(b)))


def touch(mu, s, T, H, S):
    """P(max >= H) for H > S, or P(min <= H) for H < S, and the complement."""
    nu = mu - s ** 2 / 2
    h, v = mp.log(H / S), s * mp.sqrt(T)
    if h > 0:
        P = N((nu * T - h) / v) + mp.exp(2 * nu * h / s ** 2) * N((-h - nu * T) / v)
    else:
        P = N((h - nu * T) / v) + mp.exp(2 * nu * h / s ** 2) * N((h + nu * T) / v)
    return [P, 1 - P, N((h - nu * T) / v), 1 - N((h - nu * T) / v)]


def joint(mu, s, T, B, X, S):
    """P(max >= B, X(T) <= X) for B > S, P(min <= B, X(T) >= X) for B < S."""
    nu = mu - s ** 2 / 2
    b, x, v = mp.log(B / S), mp.log(X / S), s * mp.sqrt(T)
    q = mp.exp(2 * nu * b / s ** 2)
    if b > 0:
        if x <= b:
            return [q * N((x - 2 * b - nu * T) / v)]
        return [N((x - nu * T) / v) - N((b - nu * T) / v) + q * N((-b - nu * T) / v)]
    if x >= b:
        return [q * N((2 * b - x + nu * T) / v)]
    return [N((b - nu * T) / v) - N((x - nu * T) / v) + q * N((b + nu * T) / v)]


def band(S, mu, s, T, U, L, how):
    nu = mu - s ** 2 / 2
    l, u = mp.log(L / S), mp.log(U / S)
    w, v, th = u - l, s * mp.sqrt(T), nu / s ** 2
    if how == "images":
        def I(c):  # the band's mass of the image at c, from the nearer tail
            hi, lo = (u - c) / v - th * v, (l - c) / v - th * v
            return mp.exp(th * c) * (N(-lo) - N(-hi) if lo > 0 else N(hi) - N(lo))
        P, k = I(0) - I(2 * l), 1
        while True:
            add = sum(I(2 * j * w) - I(2 * l - 2 * j * w) for j in (k, -k))
            P += add
            if k > 3 and abs(add) < mp.mpf(10) ** -300 * abs(P) or k > 400:
                break
            k += 1
        return P
    tot, j = mp.mpf(0), 1
    Al, Au = mp.exp(th * l - th ** 2 * v ** 2 / 2), mp.exp(th * u - th ** 2 * v ** 2 / 2)
    while True:
        k = j * mp.pi / w
        add = mp.sin(k * -l) * k / (th ** 2 + k ** 2) * mp.exp(-k ** 2 * v ** 2 / 2) * (Al - (-1) ** j * Au)
        tot += add
        if j > 3 and abs(add) < mp.mpf(10) ** -300 * abs(tot) or j > 4000:
            break
        j += 1
    return 2 / w * tot


def with_slopes(f, args, S_index):
    """Values of f at args (doubles, taken exactly), and their derivatives by ln S."""
    a = [mp.mpf(x) for x in args]
    vals = f(*a)
    d = mp.mpf(10) ** -40
    up, down = list(a), list(a)
    up[S_index] *= mp.exp(d)
    down[S_index] *= mp.exp(-d)
    slopes = [(p - m) / (2 * d) for p, m in zip(f(*up), f(*down))]
    return [float(v) for v in vals], [float(v) for v in slopes]


def market(rng, kind):
    S = lu(rng, 1.0, 1000.0)
    mu, s, T = rng.uniform(-0.5, 0.5), lu(rng, 0.02, 1.5), lu(rng, 0.01, 30.0)
    if kind == "drift":  # drift of the order of the volatility or more
        mu = rng.choice((-1, 1)) * lu(rng, 0.5, 20.0) * s
    return S, mu, s, T


def touch_grid():
    rng = random.Random(2901)
    rows = []
    for kind, count in (("plain", 120), ("near", 40), ("far", 80), ("drift", 80)):
        for _ in range(count):
            S, mu, s, T = market(rng, kind)
            v = s * math.sqrt(T)
            z = {"plain": lu(rng, 0.01, 4.0), "near": lu(rng, 1e-9, 1e-2),
                 "far": rng.uniform(4.0, 33.0), "drift": lu(rng, 0.01, 10.0)}[kind]
            H = S * math.exp(rng.choice((-1, 1)) * z * v)
            if H == S:
                continue
            vals, slopes = with_slopes(touch, (mu, s, T, H, S), 4)
            rows.append((mu, s, T, H, S) + tuple(vals) + tuple(slopes))
    return rows


def joint_grid():
    rng = random.Random(2902)
    rows = []
    for kind, count in (("plain", 120), ("far", 60), ("drift", 60)):
        for i in range(count):
            S, mu, s, T = market(rng, kind)
            v = s * math.sqrt(T)
            up = i % 2 == 0
            zb = lu(rng, 0.01, 3.0) if kind != "far" else rng.uniform(3.0, 15.0)
            B = S * math.exp((1 if up else -1) * zb * v)
            zx = rng.uniform(-3.0, 0.5) if kind != "far" else rng.uniform(-15.0, 0.3)
            X = B * math.exp((1 if up else -1) * zx * v)  # mostly on the far side of B
            vals, slopes = with_slopes(joint, (mu, s, T, B, X, S), 5)
            rows.append((mu, s, T, B, X, S) + tuple(vals) + tuple(slopes))
    return rows


def band_grid():
    rng = random.Random(2903)
    rows, checked = [], 0
    for kind, count in (("plain", 100), ("near", 30), ("wide", 40), ("narrow", 40), ("drift", 60)):
        for i in range(count):
            S, mu, s, T = market(rng, kind)
            v = s * math.sqrt(T)
            w = {"plain": lu(rng, 0.5, 6.0), "near": lu(rng, 0.5, 6.0), "wide": lu(rng, 6.0, 40.0),
                 "narrow": lu(rng, 0.02, 0.5), "drift": lu(rng, 0.5, 6.0)}[kind] * v
            f = rng.uniform(0.02, 0.98) if kind != "near" else lu(rng, 1e-9, 1e-3)
            if kind == "near" and i % 2:
                f = 1 - f
            L = S * math.exp(-f * w)
            U = L * math.exp(w)
            if not (L < S < U):
                continue
            tau = (v / math.log(U / L)) ** 2
            how = "images" if tau <= 0.3 else "eigen"
            a = (S, mu, s, T, U, L)
            stay = lambda *x: [band(*x, how)]
            vals, slopes = with_slopes(stay, a, 0)
            if not vals[0] >= 1e-300:
                continue
            if 0.05 <= tau <= 2 and checked < 40:  # both series
                other = band(*map(mp.mpf, a), "eigen" if how == "images" else "images")
                assert abs(other - band(*map(mp.mpf, a), how)) <= mp.mpf(10) ** -40 * abs(other), a
                checked += 1
            leave = float(1 - band(*map(mp.mpf, a), how))
            rows.append(a + (vals[0], leave, slopes[0]))
    return rows


def fmt(x):
    return repr(float(x)) if math.isfinite(x) else ("INFINITY" if x > 0 else "-INFINITY")


def write(path, touches, joints, bands):
    out = ["// Generated by tests/precise_probability_reference.py (mpmath, 330 digits); do not edit.",
           "#ifndef VEXAL_TESTS_PRECISE_PROBABILITY_REFERENCE_H",
           "#define VEXAL_TESTS_PRECISE_PROBABILITY_REFERENCE_H",
           "",
           "namespace probability_reference {",
           "",
           "// mu, sigma, T, H, S; touch of H (the maximum's for H > S, the minimum's",
           "// below), its complement, P(end below H), P(end above H); their slopes by ln S.",
           "struct Touch { double mu, sigma, T, H, S, value[4], slope[4]; };",
           "inline constexpr Touch kTouch[] = {"]
    for r in touches:
        out.append("    {%s, {%s}, {%s}}," % (", ".join(map(fmt, r[:5])), ", ".join(map(fmt, r[5:9])),
                                             ", ".join(map(fmt, r[9:13]))))
    out += ["};", "",
            "// mu, sigma, T, B, X, S; P(max >= B, end <= X) for B > S, P(min <= B, end >= X) below.",
            "struct Joint { double mu, sigma, T, B, X, S, value, slope; };",
            "inline constexpr Joint kJoint[] = {"]
    for r in joints:
        out.append("    {%s}," % ", ".join(map(fmt, r)))
    out += ["};", "",
            "// S, mu, sigma, T, U, L; P(stay inside), P(touch L or U); slope of the first by ln S.",
            "struct Band { double S, mu, sigma, T, U, L, stay, leave, slope; };",
            "inline constexpr Band kBand[] = {"]
    for r in bands:
        out.append("    {%s}," % ", ".join(map(fmt, r)))
    out += ["};", "", "}  // namespace probability_reference", "", "#endif", ""]
    with open(path, "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    write(os.path.join(HERE, "precise_probability_reference.h"), touch_grid(), joint_grid(), band_grid())
