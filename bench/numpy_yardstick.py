# SPDX-License-Identifier: BSD-3-Clause
"""The two measurements as a physicist would write them in numpy: the yardstick for snrmap.

Same arithmetic as our code: long double intermediates, every running sum rounded to double
after each addition, the same summation order, the same legend. Slices are read as the
phantom's files allow: the last 131,072 bytes are the pixels, no rescale.
"""

import numpy as np

# numpy keeps an array's type when a scalar of a wider one meets it: arrays are widened with
# astype wherever our code widens a value.
LD = np.longdouble
F8 = np.float64
SIDE = 256
SLICE_BYTES = 2 * SIDE * SIDE


def read_slice(path):
    with open(path, "rb") as f:
        f.seek(-SLICE_BYTES, 2)
        return np.frombuffer(f.read(SLICE_BYTES), dtype="<i2").reshape(SIDE, SIDE)


def stamp_legend(plane, scale_min=60.0, scale_step=20.0):
    for row in range(53, 203):
        level = (row - 52) // 15
        plane[row, 235:251] = F8(LD(level) * LD(scale_step) + LD(scale_min))
    plane[52:204, [234, 251]] = 300.0
    plane[[52, 203], 234:252] = 300.0


def consecutive_half(paths):
    count = len(paths)
    signal = np.zeros((SIDE, SIDE))
    term = np.empty((SIDE, SIDE), dtype=LD)
    for path in paths:
        rep = read_slice(path).astype(F8)
        np.add(signal, rep, out=term, dtype=LD)
        signal = term.astype(F8)
    signal = (signal.astype(LD) / LD(count)).astype(F8)
    noise = np.zeros((SIDE, SIDE))
    for path in paths:
        np.subtract(read_slice(path), signal, out=term, dtype=LD)
        np.multiply(term, term, out=term)
        np.add(term, noise, out=term)
        noise = term.astype(F8)
    noise = np.sqrt(noise.astype(LD) / LD(count - 1)).astype(F8)
    snr = np.zeros((SIDE, SIDE))
    where = noise != 0
    snr[where] = (signal[where].astype(LD) / noise[where]).astype(F8)
    stamp_legend(snr)
    return {"rep": rep, "signal": signal, "noise": noise, "snr": snr}


def gfactor(snr_nopi, snr_pi, r, centres=(slice(None), slice(None))):
    g = np.zeros((SIDE, SIDE))
    where = np.zeros((SIDE, SIDE), dtype=bool)
    where[centres] = snr_pi[centres] != 0
    root_r = np.sqrt(LD(r))
    g[where] = ((100 * snr_nopi[where].astype(LD)) / (root_r * snr_pi[where].astype(LD))).astype(F8)
    stamp_legend(g)
    return g


def consecutive(nopi_paths, pi_paths, r=2.0):
    with np.errstate(divide="raise", invalid="raise", over="raise"):
        nopi = consecutive_half(nopi_paths)
        pi = consecutive_half(pi_paths)
        planes = {name + "_nopi": plane for name, plane in nopi.items()}
        planes.update({name + "_pi": plane for name, plane in pi.items()})
        planes["gfactor_map"] = gfactor(nopi["snr"], pi["snr"], r)
    return planes


CENTRES = (slice(3, 253), slice(3, 253))


def window_sum(plane, centre=None):
    """Sum over the 7 x 7 windows of all centres, rows outer, from 0, rounded to double after
    each addition: of the plane's values, or of their squared deviations from `centre`."""
    plane = plane.astype(LD)
    total = np.zeros((250, 250))
    term = np.empty((250, 250), dtype=LD)
    for di in range(7):
        for dj in range(7):
            window = plane[di:di + 250, dj:dj + 250]
            if centre is None:
                np.add(window, total, out=term)
            else:
                np.subtract(centre, window, out=term)
                np.multiply(term, term, out=term)
                np.add(term, total, out=term)
            total = term.astype(F8)
    return total


def local_mean(plane):
    mean = np.zeros((SIDE, SIDE))
    mean[CENTRES] = (window_sum(plane).astype(LD) / LD(49)).astype(F8)
    return mean


def submap_pair(image1, image2):
    diff = (image1.astype(LD) - image2).astype(F8)
    diff_mean = local_mean(diff)
    signal = local_mean(image1)
    noise = np.zeros((SIDE, SIDE))
    squares = window_sum(diff, diff_mean[CENTRES].astype(LD))
    noise[CENTRES] = np.sqrt(squares.astype(LD) / LD(48)).astype(F8)
    snr = np.zeros((SIDE, SIDE))
    where = np.zeros((SIDE, SIDE), dtype=bool)
    where[CENTRES] = noise[CENTRES] != 0
    snr[where] = (signal[where].astype(LD) / (noise[where].astype(LD) / np.sqrt(LD(2)))).astype(F8)
    stamp_legend(snr)
    return {"signal": signal, "noise": noise, "snr": snr}


def submap(nopi_1, nopi_2, pi_1, pi_2, r=2.0):
    with np.errstate(divide="raise", invalid="raise", over="raise"):
        images = [read_slice(path).astype(F8) for path in (nopi_1, nopi_2, pi_1, pi_2)]
        planes = {"img1_nopi": images[0], "img2_nopi": images[1], "img1_pi": images[2], "img2_pi": images[3]}
        for suffix, (a, b) in (("_nopi", images[:2]), ("_pi", images[2:])):
            planes.update({name + suffix: plane for name, plane in submap_pair(a, b).items()})
        planes["gfactor_map"] = gfactor(planes["snr_nopi"], planes["snr_pi"], r, CENTRES)
    return planes
