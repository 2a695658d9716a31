// Opcodes of compiled expressions, defined once: the X-macro list gives the
// enum, whether an operand word follows, and the name used by the dumper.
// Numbers below 300 are the fixed codes; the function library's own opcodes
// are never emitted bare but as the operand of XO_FUNC, so they cannot clash.
#pragma once
#include <cstdint>

//     name        code  operand
#define EXPR_OPCODES(X)            \
  X(OR, 1, 0)                      \
  X(AND, 2, 0)                     \
  X(EQ, 3, 0)                      \
  X(NE, 4, 0)                      \
  X(GE, 5, 0)                      \
  X(LE, 6, 0)                      \
  X(LT, 7, 0)                      \
  X(GT, 8, 0)                      \
  X(ADD, 9, 0)                     \
  X(SUB, 10, 0)                    \
  X(MUL, 11, 0)                    \
  X(POW, 12, 0)                    \
  X(DIV, 13, 0)                    \
  X(NOT, 18, 0)                    \
  X(LIT, 21, 1)                    \
  X(SUM, 22, 1)                    \
  X(SCAT, 23, 0)                   \
  X(STRING, 28, 1)                 \
  X(SUBSTR, 29, 0)                 \
  X(SLIT, 35, 1)                   \
  X(SVARAT, 36, 1)                 \
  X(SVAR, 37, 1)                   \
  X(SEQ, 38, 0)                    \
  X(SGE, 39, 0)                    \
  X(SLE, 40, 0)                    \
  X(SLT, 41, 0)                    \
  X(SGT, 42, 0)                    \
  X(SNE, 43, 0)                    \
  X(NEG, 54, 0)                    \
  X(VAR, 74, 1)                    \
  X(VARAT, 75, 1)                  \
  X(N_, 76, 0)                     \
  X(NN_, 77, 0)                    \
  X(COND, 79, 1)                   \
  X(CONS, 84, 0)                   \
  X(RC, 85, 0)                     \
  X(SCOND, 110, 1)                 \
  X(MATNAME, 112, 1)               \
  X(MNEG, 116, 0)                  \
  X(TRANS, 123, 0)                 \
  X(MCJOIN, 124, 0)                \
  X(MRJOIN, 125, 0)                \
  X(KRON, 126, 0)                  \
  X(INRANGE, 178, 0)               \
  X(SINRANGE, 179, 0)              \
  X(INLIST, 180, 1)                \
  X(SINLIST, 181, 1)               \
  X(MISS0, 209, 0)                 \
  X(MISSN, 210, 0)                 \
  X(MISSS, 211, 0)                 \
  X(MISS1, 212, 0)                 \
  X(FUNC, 300, 1)   /* library function, operand = its opcode */ \
  X(NARGS, 301, 1)  /* argument count of the next variable-arity FUNC */ \
  X(MATEL, 302, 1)  /* matrix element, operand = name offset; i, j on stack */ \
  X(ARGT, 303, 1)   /* string-argument mask of the next FUNC taking either type */ \
  X(TSVAR, 304, 1)  /* numeric variable at time t - k of the panel; k on stack */

enum ExprOp : uint16_t {
#define X(n, c, o) XO_##n = c,
  EXPR_OPCODES(X)
#undef X
};

// True when opcode op is followed by an operand word.
inline bool xo_hasoperand(int op) {
  switch (op) {
#define X(n, c, o) \
  case c:          \
    return o;
    EXPR_OPCODES(X)
#undef X
    default:
      return false;
  }
}

// Name of an opcode for dumps and tests ("?" when unknown).
inline const char* xo_name(int op) {
  switch (op) {
#define X(n, c, o) \
  case c:          \
    return #n;
    EXPR_OPCODES(X)
#undef X
    default:
      return "?";
  }
}
