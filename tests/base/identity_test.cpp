// Object identity and handles: stale handles turn null, reused slots keep their index but not
// their generation, counted handles own the object, and direct destruction leaks nothing.

#include <gtest/gtest.h>

#include "base/memory/Identity.h"
#include "base/Ref.h"

namespace {

struct Resource : base::tIdentity<Resource> {
  explicit Resource(int v = 0) : value(v) { ++s_alive; }
  Resource(const Resource& other) : base::tIdentity<Resource>(other), value(other.value) { ++s_alive; }
  Resource& operator=(const Resource&) = default;
  ~Resource() override { --s_alive; }
  int value;
  static int s_alive;
};
int Resource::s_alive = 0;

// A derived class reached through handles of the derived type (as textures are through the
// resource identity).
struct Texture : Resource {
  explicit Texture(int v) : Resource(v) {}
  int width = 64;
};

using Handle = base::smart_ptr<Resource, Resource*>;
using Weak = base::weak_ptr<Resource, Resource*>;

int refcount(const Resource* r) { return base::cl_RefBase::GetSlot(r->GetIndex())->refcount; }

}  // namespace

TEST(Identity, SlotsAreReusedLastInFirstOutWithAdvancedSerials) {
  auto* a = new Resource;
  const int slot = a->GetIndex();
  const int serial = a->GetSerial();
  Weak weakA(a);
  Handle countedA(a);
  delete a;  // destroyed directly while a counted handle exists
  auto* b = new Resource;
  EXPECT_EQ(b->GetIndex(), slot);
  EXPECT_EQ(b->GetSerial(), serial + 1);
  EXPECT_EQ(weakA.get(), nullptr);
  EXPECT_FALSE(countedA);
  EXPECT_EQ(countedA.IsValid(), nullptr);
  EXPECT_EQ(countedA.GetIndex(), -1);  // IsValid turned the stale handle null

  // The slot's count was reset at the direct destruction: b is owned by its own handles only.
  EXPECT_EQ(refcount(b), 0);
  {
    Handle hb(b);
    EXPECT_EQ(hb.IsValid(), b);
    EXPECT_EQ(refcount(b), 1);
    Handle stale;
    stale = countedA;  // assigned from a stale handle: null, the slot count unchanged
    EXPECT_EQ(stale.GetIndex(), -1);
    EXPECT_EQ(refcount(b), 1);
  }
  EXPECT_EQ(Resource::s_alive, 0);  // the last handle destroyed b: nothing leaked

  // Slots given up in the order x then y are reused y first.
  auto* x = new Resource;
  auto* y = new Resource;
  const int sx = x->GetIndex(), sy = y->GetIndex();
  const int idle = base::cl_RefBase::IdleCount();
  x->KillSelf();
  y->KillSelf();
  EXPECT_EQ(base::cl_RefBase::IdleCount(), idle + 2);
  auto* p = new Resource;
  auto* q = new Resource;
  EXPECT_EQ(p->GetIndex(), sy);
  EXPECT_EQ(q->GetIndex(), sx);
  delete p;
  delete q;
  base::tIdentity<Resource>::KillSelf(nullptr);
}

TEST(Identity, CountedHandlesOwnTheObject) {
  auto* t = new Texture(7);
  base::smart_ptr<Texture, Texture*> first(t);
  {
    base::smart_ptr<Texture, Texture*> second(first);
    EXPECT_EQ(refcount(t), 2);
    EXPECT_EQ(second->width, 64);
    const auto& itself = second;
    second = itself;  // self-assignment changes nothing
    EXPECT_EQ(refcount(t), 2);
    second = first;  // the same object: still two references
    EXPECT_EQ(refcount(t), 2);
  }
  EXPECT_EQ(Resource::s_alive, 1);
  EXPECT_EQ(first.get()->value, 7);
  base::weak_ptr<Texture, Texture*> observer(first);
  base::smart_ptr<Texture, Texture*> moved(std::move(first));
  EXPECT_EQ(refcount(t), 1);
  EXPECT_EQ(first.get(), nullptr);
  moved.release();
  EXPECT_EQ(Resource::s_alive, 0);
  EXPECT_EQ(observer.IsValid(), nullptr);
  moved.release();  // releasing a null handle does nothing

  // Handles to objects that gave their identity up are null and count nothing.
  Resource local;
  local.Resign();
  EXPECT_EQ(local.GetIndex(), -1);
  Handle none(&local);
  EXPECT_FALSE(none);
  local.Announce(static_cast<base::tIdentity<Resource>*>(&local));
  Weak w(&local);
  EXPECT_EQ(w.get(), &local);
}

TEST(Identity, CopiesGetSlotsOfTheirOwn) {
  Resource original(3);
  Weak toOriginal(&original);
  {
    Resource copy(original);
    EXPECT_NE(copy.GetIndex(), original.GetIndex());
    copy = original;
    EXPECT_NE(copy.GetIndex(), original.GetIndex());
    EXPECT_EQ(copy.value, 3);
  }
  // The copy's death leaves the original's handles live.
  EXPECT_EQ(toOriginal.get(), &original);

  Weak a(&original);
  Weak b;
  b = a;
  EXPECT_EQ(b.get(), &original);
  Weak c(b);
  EXPECT_EQ(c.get(), &original);
}
