// The cycle collector frees objects that only their own cycles keep alive,
// keeps whatever an outside reference reaches, and leaves the counts of
// surviving objects that garbage pointed at exactly right.
#include <gtest/gtest.h>

#include <vector>

#include "vemo/vm.h"

namespace {

// A 1 x n pointer matrix with every element null.
Mat* ptrs(int n) { return mkmat(nullptr, ET_PTR, 1, n); }

// Element k of p takes a counted reference to q.
void point(Mat* p, int k, Mat* q) {
  p->ptr()[k] = q;
  mref(q);
}

class VemoCollect : public ::testing::Test {
 protected:
  void SetUp() override {
    vm_init();
    vm_collect();
    live0 = vm.live;
    held0 = vm.containers.size();
  }
  long live0 = 0;
  size_t held0 = 0;  // containers other tests left in globals
};

TEST_F(VemoCollect, SelfReferenceAndRingAreFreed) {
  Mat* self = ptrs(1);
  point(self, 0, self);
  Mat* a = ptrs(2);
  Mat* b = ptrs(1);
  point(a, 0, b);
  point(b, 0, a);
  point(a, 1, mkscalar(5));  // not a container: goes with its holder
  mfree(a->ptr()[1]);
  mfree(self);
  mfree(a);
  mfree(b);
  EXPECT_EQ(vm.live, live0 + 4);  // what reference counting cannot free
  EXPECT_EQ(vm_collect(), 3u);
  EXPECT_EQ(vm.live, live0);
  EXPECT_EQ(vm.containers.size(), held0);
}

TEST_F(VemoCollect, OutsideReferenceKeepsTheWholeCycle) {
  Mat* a = ptrs(1);
  Mat* b = ptrs(1);
  point(a, 0, b);
  point(b, 0, a);
  mfree(b);  // a is still held from outside (as a global or the stack would)
  EXPECT_EQ(vm_collect(), 0u);
  EXPECT_EQ(a->refcnt, 2);
  EXPECT_EQ(b->refcnt, 1);
  EXPECT_EQ(a->ptr()[0], b);
  mfree(a);
  EXPECT_EQ(vm_collect(), 2u);
  EXPECT_EQ(vm.live, live0);
}

TEST_F(VemoCollect, GarbagePointingAtLiveObjectsLowersTheirCounts) {
  Mat* keep = ptrs(1);  // held from outside
  Mat* x = mkscalar(1);  // held from outside and from the garbage
  Mat* g = ptrs(3);
  point(g, 0, g);
  point(g, 1, keep);
  point(g, 2, x);
  mfree(g);
  EXPECT_EQ(vm_collect(), 1u);
  EXPECT_EQ(keep->refcnt, 1);
  EXPECT_EQ(x->refcnt, 1);
  mfree(keep);
  mfree(x);
  EXPECT_EQ(vm.live, live0);
}

TEST_F(VemoCollect, DroppingGlobalsTogether) {
  Mat* a = ptrs(1);
  Mat* b = ptrs(1);
  Mat* x = mkscalar(2);
  point(a, 0, b);
  point(b, 0, a);
  Mat* px = ptrs(1);
  point(px, 0, x);
  // each held once "by the globals table"
  std::vector<bool> busy = gc_inuse({a});
  EXPECT_TRUE(busy[0]);  // b, still named, points at it
  busy = gc_inuse({a, b, a});
  EXPECT_FALSE(busy[0]);
  EXPECT_FALSE(busy[1]);
  EXPECT_FALSE(busy[2]);
  busy = gc_inuse({x});
  EXPECT_TRUE(busy[0]);  // px points at it
  busy = gc_inuse({x, px});
  EXPECT_FALSE(busy[0]);
  EXPECT_FALSE(busy[1]);
  mref(x);  // a reference from the stack
  EXPECT_TRUE(gc_inuse({x, px})[0]);
  mfree(x);
  for (Mat* m : {a, b, x, px}) mfree(m);
  vm_collect();
  EXPECT_EQ(vm.live, live0);
}

TEST_F(VemoCollect, RecordChangingTypeStaysAccountedFor) {
  Mat* p = ptrs(1);
  Mat* r = mkmat(nullptr, ET_REAL, 2, 2);
  point(p, 0, r);
  mswap(p, r);  // r now holds a pointer to itself; p a real matrix
  EXPECT_GE(r->gcidx, 0);
  mfree(p);
  mfree(r);
  EXPECT_EQ(vm.live, live0 + 1);
  EXPECT_EQ(vm_collect(), 1u);
  EXPECT_EQ(vm.live, live0);
  EXPECT_EQ(vm.containers.size(), held0);
}

}  // namespace
