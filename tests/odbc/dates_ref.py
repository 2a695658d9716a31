#!/usr/bin/python3
# Days since 1 January 1960 of dates far from it (the proleptic Gregorian
# calendar, year 0 being 1 BC), from the Julian day number, for the
# expected values of postgres_load.do.
def jdn(y, m, d):
    a = (14 - m) // 12
    y2, m2 = y + 4800 - a, m + 12 * a - 3
    return d + (153 * m2 + 2) // 5 + 365 * y2 + y2 // 4 - y2 // 100 + y2 // 400 - 32045

for label, (y, m, d) in {"15mar44BC": (-43, 3, 15), "07jun12345": (12345, 6, 7), "29feb5BC": (-4, 2, 29)}.items():
    print(label, jdn(y, m, d) - jdn(1960, 1, 1))
