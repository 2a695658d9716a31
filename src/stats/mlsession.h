// The model of the last `ml model`, shared by the ml driver (mldriver.cpp)
// and the commands a user's likelihood program calls during a fit
// (mleval, mlsum, mlvecsum, mlmatsum, mlmatbysum in mlvocab.cpp): the
// sample, the weights and each equation's regressors.
#pragma once
#include <string>
#include <vector>

// One equation of the model.
struct MdEq {
  std::string name;
  std::vector<int> deps;  // dependent variables named in it
  std::vector<int> vars;  // regressors
  bool cons = true;
  int size() const { return static_cast<int>(vars.size()) + (cons ? 1 : 0); }
};

struct MdModel {
  bool valid = false;
  std::string method, prog;  // method lf, d0, d1 or d2; the user's program
  std::vector<MdEq> eqs;
  std::vector<int> deps;     // all dependent variables, in order
  std::vector<long> obs;     // the sample
  std::vector<double> w;     // weight of each sample observation; empty: none
  char wkind = 0;
  std::string wexp;
  int nparam() const {
    int p = 0;
    for (const MdEq& e : eqs) p += e.size();
    return p;
  }
};

// The ml commands' session state, reset with the statistics subsystem: the
// model being defined, and columns of earlier samples kept (at most a few)
// so that the next read reuses their memory.
struct MlState {
  MdModel model;
  std::vector<std::vector<double>> pool;
};
extern MlState mls;
