s/^(    compiler +)(GNU C\+\+|clang) [0-9]+\.[0-9]+(\.[0-9]+)?.*$/\1COMPILER #.#.#/
s/^(    build type +)(Release|Debug|RelWithDebInfo|MinSizeRel)( with AddressSanitizer)?$/\1TYPE/
s/^(    build date +)[0-9]{1,2} (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}$/\1D Mon YYYY hh:mm:ss/
s/^(    (OpenBLAS|LAPACK\(E\)|SLEEF|cairo|PCRE2|readline|Boost) +)[0-9]+(\.[0-9]+)+$/\1#.#/
s/^(    C\+\+ library +)(GNU libstdc\+\+|LLVM libc\+\+) [0-9]+( \([0-9]+\))?$/\1#/
s/^(    C library +)glibc [0-9]+\.[0-9]+$/\1glibc #.#/
