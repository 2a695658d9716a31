/* zelta_plugin.h: the interface between Zelta and a plug-in.

   A plug-in is a shared object (compiled C or C++) that a program loads
   with

       program define name, plugin using("file.so")

   and runs with

       plugin call name [varlist] [if] [in] [, arguments]

   It exports two functions with C linkage:

       int zelta_plugin_version(void);
           returns ZELTA_PLUGIN_VERSION as it was when the plug-in was
           compiled. Zelta calls it when the program is defined and refuses
           a plug-in built against another version of this interface.

       int zelta_plugin_call(const zelta_api *z, int argc, char **argv);
           does the work. argv[0..argc-1] are the words of the text after
           the comma of `plugin call`. It returns 0 for success or a return
           code, which becomes the code of `plugin call`.

   Everything a plug-in reaches goes through the table z: the variables
   named in the varlist (numbered 1 to z->nvars() in the order given), the
   observation range of `in` (z->in1() to z->in2()), the `if` condition
   (z->selected(obs)), macros, scalars and matrices. Every routine that can
   fail returns 0 or a return code and leaves its output alone on failure;
   missing values are doubles at or above z->missval() (test them with
   z->ismissing()). The table and the pointers it hands out are valid only
   during the call.

   A plug-in runs inside Zelta's process: a plug-in that crashes (a bad
   pointer, a division trap, an abort) takes the whole process down with it,
   unsaved data included. */
#ifndef ZELTA_PLUGIN_H
#define ZELTA_PLUGIN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this interface; raised whenever the table changes. */
#define ZELTA_PLUGIN_VERSION 1

typedef struct zelta_api {
  int version;                  /* ZELTA_PLUGIN_VERSION of the running system */

  /* The data passed. */
  int (*nvars)(void);           /* variables in the varlist of plugin call */
  long (*nobs)(void);           /* observations in the dataset */
  long (*in1)(void);            /* first observation of the range (1-based) */
  long (*in2)(void);            /* last observation of the range */
  int (*selected)(long obs);    /* 1 when obs is in the range and passes `if` */
  int (*isstring)(int var);     /* 1 for a string variable, 0 numeric, -1 bad var */
  /* The value of variable var (1..nvars) at observation obs into *x. */
  int (*getnum)(int var, long obs, double *x);
  /* Stores x (stored as the variable's type holds it; out of range is missing). */
  int (*putnum)(int var, long obs, double x);
  /* A string value into buf (size bytes with the NUL; longer values are cut). */
  int (*getstr)(int var, long obs, char *buf, size_t size);
  /* Stores a string (cut to the variable's width). */
  int (*putstr)(int var, long obs, const char *s);

  /* Missing values. */
  double (*missval)(void);      /* the missing value . */
  int (*ismissing)(double x);   /* 1 for . and .a to .z */

  /* Macros: name is a global's name, or "_name" for a local of the caller. */
  int (*getmacro)(const char *name, char *buf, size_t size);  /* "" when undefined */
  int (*putmacro)(const char *name, const char *text);

  /* Scalars (the `scalar` store). */
  int (*getscalar)(const char *name, double *x);  /* 111 when undefined */
  int (*putscalar)(const char *name, double x);

  /* Matrices (the `matrix` store), elements 1-based. */
  int (*matsize)(const char *name, int *rows, int *cols);  /* 111 when undefined */
  int (*getmatel)(const char *name, int row, int col, double *x);
  int (*putmatel)(const char *name, int row, int col, double x);  /* the matrix must exist */
  int (*makematrix)(const char *name, int rows, int cols);        /* new, filled with zeros */

  /* Output and Break. */
  void (*display)(const char *text);  /* plain text in the Results window */
  void (*errortext)(const char *text);  /* text at the error level */
  int (*pollbreak)(void);             /* 1 when the user asked to stop */
} zelta_api;

/* What a plug-in exports. */
int zelta_plugin_version(void);
int zelta_plugin_call(const zelta_api *z, int argc, char **argv);

#ifdef __cplusplus
}
#endif

#endif /* ZELTA_PLUGIN_H */
