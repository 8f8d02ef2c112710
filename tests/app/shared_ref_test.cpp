// SharedRef: counting, copying and moving, the single delete through the
// type the object was made with, and counting from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>
#include <utility>
#include <vector>

#include "app/shared_ref.h"

namespace {

// Counts its own destructions.
struct Tracked {
  explicit Tracked(int* deaths, int value = 0) : deaths(deaths), value(value) {}
  ~Tracked() { ++*deaths; }
  int* deaths;
  int value;
};

// A base without a virtual destructor: deleting a Derived through it would
// skip ~Derived, so only a delete through the made type is seen.
struct PlainBase {
  int baseValue = 1;
};
struct Derived : PlainBase {
  explicit Derived(int* deaths) : deaths(deaths) {}
  ~Derived() { ++*deaths; }
  int* deaths;
};

struct Left {
  int left = 10;
};
struct Right {
  int right = 20;
};
struct Both : Left, Right {
  explicit Both(int* deaths) : deaths(deaths) {}
  ~Both() { ++*deaths; }
  int* deaths;
};

TEST(SharedRefTest, EmptyReferenceHasNoObjectAndZeroCount) {
  SharedRef<int> empty;
  SharedRef<int> fromNullptr = nullptr;
  EXPECT_FALSE(empty);
  EXPECT_EQ(empty.get(), nullptr);
  EXPECT_EQ(empty.useCount(), 0);
  EXPECT_FALSE(fromNullptr);
  EXPECT_EQ(fromNullptr.useCount(), 0);
  SharedRef<int> copy = empty;
  EXPECT_EQ(copy.useCount(), 0);
  EXPECT_TRUE(copy == empty);
}

TEST(SharedRefTest, NullPointerGivesEmptyReference) {
  SharedRef<Tracked> ref(static_cast<Tracked*>(nullptr));
  EXPECT_FALSE(ref);
  EXPECT_EQ(ref.get(), nullptr);
  EXPECT_EQ(ref.useCount(), 0);
  SharedRef<Tracked> copy = ref;
  EXPECT_EQ(copy.useCount(), 0);
}

TEST(SharedRefTest, NewReferenceOwnsObjectWithCountOne) {
  int deaths = 0;
  auto* object = new Tracked(&deaths, 5);
  SharedRef<Tracked> ref(object);
  EXPECT_TRUE(ref);
  EXPECT_EQ(ref.get(), object);
  EXPECT_EQ(ref->value, 5);
  EXPECT_EQ(&*ref, object);
  EXPECT_EQ(ref.useCount(), 1);
  EXPECT_EQ(deaths, 0);
}

TEST(SharedRefTest, CopiesShareTheCountAndLastOneDeletesOnce) {
  int deaths = 0;
  {
    SharedRef<Tracked> a(new Tracked(&deaths));
    {
      SharedRef<Tracked> b = a;
      SharedRef<Tracked> c(b);
      EXPECT_EQ(a.useCount(), 3);
      EXPECT_EQ(c.useCount(), 3);
      EXPECT_EQ(b.get(), a.get());
      EXPECT_TRUE(a == c);
    }
    EXPECT_EQ(a.useCount(), 1);
    EXPECT_EQ(deaths, 0);
  }
  EXPECT_EQ(deaths, 1);
}

TEST(SharedRefTest, MoveTransfersWithoutCounting) {
  int deaths = 0;
  SharedRef<Tracked> a(new Tracked(&deaths));
  Tracked* object = a.get();
  SharedRef<Tracked> b = std::move(a);
  EXPECT_FALSE(a);  // a moved-from ref is empty
  EXPECT_EQ(a.useCount(), 0);
  EXPECT_EQ(b.get(), object);
  EXPECT_EQ(b.useCount(), 1);
  SharedRef<Tracked> c;
  c = std::move(b);
  EXPECT_FALSE(b);
  EXPECT_EQ(c.useCount(), 1);
  EXPECT_EQ(deaths, 0);
  c.reset();
  EXPECT_EQ(deaths, 1);
}

TEST(SharedRefTest, AssignmentReleasesTheOldObject) {
  int firstDeaths = 0;
  int secondDeaths = 0;
  SharedRef<Tracked> a(new Tracked(&firstDeaths, 1));
  SharedRef<Tracked> b(new Tracked(&secondDeaths, 2));
  SharedRef<Tracked> keep = b;
  a = b;
  EXPECT_EQ(firstDeaths, 1);
  EXPECT_EQ(a->value, 2);
  EXPECT_EQ(b.useCount(), 3);
  b = SharedRef<Tracked>();
  keep = nullptr;
  EXPECT_EQ(a.useCount(), 1);
  EXPECT_EQ(secondDeaths, 0);
  SharedRef<Tracked>& alias = a;
  a = alias;  // self-assignment keeps the object
  EXPECT_EQ(a.useCount(), 1);
  EXPECT_EQ(secondDeaths, 0);
  a.reset();
  EXPECT_EQ(secondDeaths, 1);
  EXPECT_FALSE(a);
  a.reset();  // resetting an empty ref is harmless
  EXPECT_EQ(secondDeaths, 1);
}

TEST(SharedRefTest, SwapExchangesObjectsAndKeepsCounts) {
  int deaths = 0;
  SharedRef<Tracked> a(new Tracked(&deaths, 1));
  SharedRef<Tracked> b(new Tracked(&deaths, 2));
  SharedRef<Tracked> extra = b;
  a.swap(b);
  EXPECT_EQ(a->value, 2);
  EXPECT_EQ(b->value, 1);
  EXPECT_EQ(a.useCount(), 2);
  EXPECT_EQ(b.useCount(), 1);
  EXPECT_EQ(deaths, 0);
}

TEST(SharedRefTest, BaseRefFromDerivedRefDeletesTheDerived) {
  int deaths = 0;
  {
    SharedRef<PlainBase> base;
    {
      SharedRef<Derived> derived(new Derived(&deaths));
      base = derived;
      EXPECT_EQ(derived.useCount(), 2);
      EXPECT_EQ(base.get(), static_cast<PlainBase*>(derived.get()));
    }
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(base.useCount(), 1);
    EXPECT_EQ(base->baseValue, 1);
  }
  EXPECT_EQ(deaths, 1);
}

TEST(SharedRefTest, BaseRefMadeFromDerivedPointerDeletesTheDerived) {
  int deaths = 0;
  { SharedRef<PlainBase> base(new Derived(&deaths)); }
  EXPECT_EQ(deaths, 1);
}

TEST(SharedRefTest, ConversionToSecondBaseAdjustsThePointer) {
  int deaths = 0;
  {
    SharedRef<Both> both(new Both(&deaths));
    SharedRef<Right> right = both;
    ASSERT_NE(static_cast<void*>(right.get()), static_cast<void*>(both.get()));
    EXPECT_EQ(right.get(), static_cast<Right*>(both.get()));
    EXPECT_EQ(right->right, 20);
    both.reset();
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(right.useCount(), 1);
  }
  EXPECT_EQ(deaths, 1);
}

TEST(SharedRefTest, MakeSharedRefBuildsWithArguments) {
  int deaths = 0;
  {
    SharedRef<Tracked> ref = MakeSharedRef<Tracked>(&deaths, 9);
    EXPECT_EQ(ref->value, 9);
    EXPECT_EQ(ref.useCount(), 1);
  }
  EXPECT_EQ(deaths, 1);
}

TEST(SharedRefTest, ConcurrentCopiesKeepTheCountExact) {
  constexpr int kThreads = 8;
  constexpr int kHeld = 1000;
  constexpr int kChurn = 20000;
  int deaths = 0;
  SharedRef<Tracked> root(new Tracked(&deaths));
  std::atomic<long> countWhileHeld{-1};
  std::barrier held(kThreads + 1);
  std::barrier release(kThreads + 1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kChurn; ++i) {
        SharedRef<Tracked> temporary = root;
        SharedRef<Tracked> moved = std::move(temporary);
      }
      std::vector<SharedRef<Tracked>> mine(kHeld, root);
      held.arrive_and_wait();
      release.arrive_and_wait();
    });
  }
  held.arrive_and_wait();
  countWhileHeld = root.useCount();
  release.arrive_and_wait();
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(countWhileHeld.load(), 1 + kThreads * kHeld);
  EXPECT_EQ(root.useCount(), 1);
  EXPECT_EQ(deaths, 0);
  root.reset();
  EXPECT_EQ(deaths, 1);
}

TEST(SharedRefTest, LastReleaseRacingOnThreadsDeletesExactlyOnce) {
  constexpr int kThreads = 6;
  constexpr int kRounds = 300;
  std::atomic<int> deaths{0};
  struct Counted {
    explicit Counted(std::atomic<int>* deaths) : deaths(deaths) {}
    ~Counted() { deaths->fetch_add(1); }
    std::atomic<int>* deaths;
  };
  for (int round = 0; round < kRounds; ++round) {
    std::vector<SharedRef<Counted>> refs;
    {
      SharedRef<Counted> origin(new Counted(&deaths));
      refs.assign(kThreads, origin);
    }
    std::barrier start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        SharedRef<Counted> mine = std::move(refs[t]);
        start.arrive_and_wait();
        mine.reset();
      });
    }
    for (std::thread& thread : threads) thread.join();
    ASSERT_EQ(deaths.load(), round + 1) << "round " << round;
  }
}

}  // namespace
