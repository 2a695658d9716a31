// Limits of the stored values, with no dependencies, for code that needs them
// without the dataset store (the expression library, the group kernels).
// The integer storage types keep their top codes for the missing values
// `.`, `.a`, ..., `.z` (27 codes), so the largest value each can hold is a
// little below the type's maximum.
#pragma once

constexpr long MAXBYTEVAL = 100;          // int8: 101 .. 127 are the missing codes
constexpr long MAXINTVAL = 32740;         // int16: 32741 .. 32767 are the missing codes
constexpr long MAXLONGVAL = 2147483620;   // int32: 2147483621 .. 2147483647 are the missing codes

constexpr int MAXVAR_DEFAULT = 5000;      // variables allowed until `set maxvar` changes it
