// Array<T> and StringMap<T>.
#include <gtest/gtest.h>

#include <cstring>

#include "foundation/Array.h"
#include "foundation/StringMap.h"

namespace {

struct PlainRecord {
    int32_t a;
    float b;
};

// A record with construction: counts live instances to check that slots are constructed and
// destroyed as a whole block.
struct Tracked {
    static int live;
    static int assignments;
    int value;
    Tracked() : value(-1) { ++live; }
    Tracked(const Tracked& other) : value(other.value) { ++live; }
    Tracked& operator=(const Tracked& other) {
        value = other.value;
        ++assignments;
        return *this;
    }
    ~Tracked() { --live; }
};
int Tracked::live = 0;
int Tracked::assignments = 0;

struct Owned {
    static int destroyed;
    ~Owned() { ++destroyed; }
};
int Owned::destroyed = 0;

// A record embedding a String and an Array, as the engine's constructed records do.
struct Embedding {
    String name;
    Array<int> values;
    int plain = 0;
};

}  // namespace

static_assert(Array<int>::kPlain, "int is plain");
static_assert(Array<void*>::kPlain, "pointers are plain");
static_assert(Array<PlainRecord>::kPlain, "records without owned members are plain");
static_assert(!Array<String>::kPlain, "String is constructed");
static_assert(!Array<Embedding>::kPlain, "records embedding String/Array are constructed");
static_assert(!Array<Array<int>>::kPlain, "arrays of arrays are constructed");

TEST(Array, DefaultIsAllZero) {
    Array<int> a;
    EXPECT_EQ(nullptr, a.data);
    EXPECT_EQ(0, a.count);
    EXPECT_EQ(0, a.capacity);
    EXPECT_FALSE(a.shrinkOnRemove);
}

TEST(Array, FirstPushReserves32) {
    Array<int> a;
    a.Push(7);
    EXPECT_EQ(32, a.capacity);
    EXPECT_EQ(1, a.count);
    EXPECT_EQ(7, a[0]);
}

TEST(Array, GrowthSteps) {
    Array<int> one;
    one.Reserve(1);
    one.Push(1);
    EXPECT_EQ(1, one.capacity);
    one.Push(2);
    EXPECT_EQ(8, one.capacity);  // full one-element array grows to 8

    Array<int> eight;
    eight.Reserve(8);
    for (int i = 0; i < 8; ++i) eight.Push(i);
    EXPECT_EQ(8, eight.capacity);
    eight.Push(8);
    EXPECT_EQ(16, eight.capacity);

    Array<int> three;
    three.Reserve(3);
    for (int i = 0; i < 3; ++i) three.Push(i);
    three.Push(3);
    EXPECT_EQ(6, three.capacity);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(i, three[i]);

    Array<int> big;
    for (int i = 0; i < 33; ++i) big.Push(i);
    EXPECT_EQ(64, big.capacity);
}

TEST(Array, PushOfOwnElementWhileGrowingIsSafe) {
    Array<String> strings;
    strings.Reserve(2);
    strings.PushText("first text longer than fifteen");
    strings.PushText("second");
    ASSERT_EQ(2, strings.capacity);
    strings.Push(strings[0]);        // the source lives in the block being replaced
    EXPECT_EQ(4, strings.capacity);  // count 2: doubles
    EXPECT_STREQ("first text longer than fifteen", strings[2].data);

    Array<int> ints;
    ints.Reserve(1);
    ints.Push(5);
    ints.Push(ints[0]);
    EXPECT_EQ(5, ints[1]);
}

TEST(Array, ReserveRules) {
    Array<int> a;
    a.Reserve(0);  // equals the capacity: nothing, data stays null
    EXPECT_EQ(nullptr, a.data);
    for (int i = 0; i < 5; ++i) a.Push(i);
    int* before = a.data;
    a.Reserve(32);  // same capacity: nothing
    EXPECT_EQ(before, a.data);
    a.Reserve(1);  // shrinks, but never below count
    EXPECT_EQ(5, a.capacity);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(i, a[i]);
    a.Reserve(100);
    EXPECT_EQ(100, a.capacity);
    EXPECT_EQ(5, a.count);
}

TEST(Array, GrowForCallersThatStoreThemselves) {
    Array<PlainRecord> a;
    PlainRecord* previous = a.Grow();
    EXPECT_EQ(nullptr, previous);
    EXPECT_EQ(32, a.capacity);
    a.data[a.count++] = PlainRecord{1, 2.0f};
    Array<PlainRecord>::ReleaseBlock(previous);

    Array<PlainRecord> b;
    b.Reserve(1);
    b.data[b.count++] = PlainRecord{3, 4.0f};
    PlainRecord* oldBlock = b.Grow();  // full: grows and hands back the old block
    EXPECT_NE(nullptr, oldBlock);
    Array<PlainRecord>::ReleaseBlock(oldBlock);
    EXPECT_EQ(8, b.capacity);
    EXPECT_EQ(3, b[0].a);

    Array<int> c;
    c.Reserve(4);
    c.Push(1);
    EXPECT_EQ(nullptr, c.Grow());  // room left: nothing happens
    EXPECT_EQ(4, c.capacity);

    Array<int> d;
    d.Reserve(2);
    d.Push(1);
    d.Push(2);
    int* old = d.Grow();
    ASSERT_NE(nullptr, old);
    EXPECT_EQ(4, d.capacity);
    d.data[d.count++] = old[1];  // the old block is still readable until released
    Array<int>::ReleaseBlock(old);
    EXPECT_EQ(2, d[2]);
}

TEST(Array, RemoveAtShiftsAndKeepsVacatedSlot) {
    Array<String> a;
    a.PushText("a");
    a.PushText("b");
    a.PushText("c");
    a.RemoveAt(0);
    EXPECT_EQ(2, a.count);
    EXPECT_STREQ("b", a[0].data);
    EXPECT_STREQ("c", a[1].data);
    EXPECT_STREQ("c", a.data[2].data);  // vacated last slot keeps its old text

    Array<int> empty;
    empty.RemoveAt(0);  // nothing
    EXPECT_EQ(0, empty.count);
    Array<int> one;
    one.Push(1);
    one.RemoveAt(5);  // out of range: nothing
    EXPECT_EQ(1, one.count);
    one.RemoveFirst();
    EXPECT_EQ(0, one.count);
}

TEST(Array, ShrinkOnRemove) {
    Array<int> a;
    a.shrinkOnRemove = true;
    for (int i = 0; i < 9; ++i) a.Push(i);
    EXPECT_EQ(32, a.capacity);
    a.RemoveAt(8);  // 8 left, 8 <= 32 / 4
    EXPECT_EQ(16, a.capacity);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(i, a[i]);

    Array<int> b;
    b.shrinkOnRemove = true;
    b.Push(1);
    b.RemoveAt(0);  // count 0: never shrinks
    EXPECT_EQ(32, b.capacity);

    Array<int> c;  // flag clear: no shrink
    for (int i = 0; i < 9; ++i) c.Push(i);
    c.RemoveAt(0);
    EXPECT_EQ(32, c.capacity);
}

TEST(Array, RemoveByValue) {
    Array<int> a;
    a.Push(1);
    a.Push(2);
    a.Push(2);
    EXPECT_TRUE(a.Remove(2));
    EXPECT_EQ(2, a.count);
    EXPECT_EQ(2, a[1]);
    EXPECT_FALSE(a.Remove(9));
}

TEST(Array, DeleteAtAndDeleteAll) {
    Owned::destroyed = 0;
    Array<Owned*> a;
    a.Push(new Owned());
    a.Push(nullptr);
    a.Push(new Owned());
    a.Push(new Owned());
    a.DeleteAt(0);
    EXPECT_EQ(1, Owned::destroyed);
    EXPECT_EQ(3, a.count);
    EXPECT_EQ(nullptr, a[0]);
    a.DeleteAll();
    EXPECT_EQ(3, Owned::destroyed);
    EXPECT_EQ(0, a.count);
    EXPECT_EQ(32, a.capacity);
    EXPECT_NE(nullptr, a.data);
}

TEST(Array, ConstructedStorageConstructsEverySlot) {
    Tracked::live = 0;
    {
        Array<Tracked> a;
        Tracked t;
        t.value = 3;
        a.Push(t);
        EXPECT_EQ(1 + 32, Tracked::live);  // every slot of the block is constructed
        EXPECT_EQ(3, a[0].value);
        EXPECT_EQ(-1, a.data[1].value);
    }
    EXPECT_EQ(0, Tracked::live);
}

TEST(Array, CopyAssignmentNeverShrinksCapacity) {
    Array<int> source;
    for (int i = 0; i < 3; ++i) source.Push(i + 10);
    Array<int> destination;
    destination.Reserve(64);
    for (int i = 0; i < 5; ++i) destination.Push(i);
    destination = source;
    EXPECT_EQ(64, destination.capacity);
    EXPECT_EQ(3, destination.count);
    EXPECT_EQ(10, destination[0]);
    EXPECT_EQ(12, destination[2]);
    EXPECT_EQ(3, destination.data[3]);  // slots past the count keep their contents

    Array<int> small;
    small.Reserve(2);
    small = source;
    EXPECT_EQ(32, small.capacity);  // replaced by a block of the source's capacity
    EXPECT_EQ(11, small[1]);
}

TEST(Array, CopyAssignmentOfStringsAssignsEach) {
    Array<String> source;
    source.PushText("one");
    source.PushText("a second text that goes to the heap");
    Array<String> destination;
    destination = source;
    EXPECT_EQ(2, destination.count);
    EXPECT_STREQ("one", destination[0].data);
    EXPECT_NE(source[1].data, destination[1].data);
    EXPECT_STREQ(source[1].data, destination[1].data);

    Array<String> copy(source);
    EXPECT_EQ(32, copy.capacity);
    EXPECT_STREQ("one", copy[0].data);
}

TEST(Array, RecordsEmbeddingStringAndArray) {
    Array<Embedding> a;
    Embedding e;
    e.name.Assign("record name longer than 15");
    e.values.Push(4);
    e.plain = 9;
    a.Push(e);
    a.Push(a[0]);
    EXPECT_STREQ("record name longer than 15", a[1].name.data);
    EXPECT_NE(a[0].name.data, a[1].name.data);
    EXPECT_EQ(4, a[1].values[0]);
    EXPECT_NE(a[0].values.data, a[1].values.data);
    EXPECT_EQ(9, a[1].plain);

    Array<Array<int>> nested;
    Array<int> inner;
    inner.Push(1);
    nested.Push(inner);
    EXPECT_EQ(1, nested[0][0]);
}

TEST(Array, IndexOfComparesLengthAndText) {
    Array<String> a;
    a.Push(String());  // null data never matches
    a.PushText("");
    a.PushText("abc");
    String empty("");
    EXPECT_EQ(1, a.IndexOf(empty));
    EXPECT_EQ(2, a.IndexOf(String("abc")));
    EXPECT_EQ(-1, a.IndexOf(String("ab")));
    EXPECT_EQ(-1, a.IndexOf(String()));

    Array<String> onlyNull;
    onlyNull.Push(String());
    EXPECT_EQ(-1, onlyNull.IndexOf(empty));
}

TEST(Array, PushTextAndClearAndIteration) {
    Array<String> a;
    a.PushText("x");
    a.PushText(nullptr);
    EXPECT_EQ(2, a.count);
    EXPECT_EQ(nullptr, a[1].data);
    int n = 0;
    for (const String& s : a) {
        (void)s;
        ++n;
    }
    EXPECT_EQ(2, n);
    a.Clear();
    EXPECT_EQ(0, a.count);
    EXPECT_EQ(32, a.capacity);
}

TEST(StringMap, GetOrCreateReturnsSameSlot) {
    StringMap<int> map;
    int* v = map.GetOrCreate("alpha");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(0, *v);
    *v = 5;
    EXPECT_EQ(v, map.GetOrCreate("alpha"));
    EXPECT_EQ(1, map.count);
    int* w = map.GetOrCreate("beta");
    EXPECT_EQ(2, map.count);
    EXPECT_EQ(0, *w);
    EXPECT_EQ(5, *map.GetOrCreate("alpha"));
    EXPECT_EQ(32, map.capacity);
}

TEST(StringMap, FindContainsAndOrder) {
    StringMap<void*> map;
    int x = 0;
    *map.GetOrCreate("one") = &x;
    map.GetOrCreate("two");
    map.GetOrCreate("three");
    EXPECT_TRUE(map.Contains("two"));
    EXPECT_FALSE(map.Contains("Two"));  // case-sensitive
    EXPECT_FALSE(map.Contains("tw"));
    EXPECT_FALSE(map.Contains(nullptr));
    EXPECT_EQ(nullptr, map.Find(nullptr));
    ASSERT_NE(nullptr, map.Find("one"));
    EXPECT_EQ(&x, map.Find("one")->value);
    EXPECT_STREQ("one", map[0]->key.data);
    EXPECT_STREQ("two", map[1]->key.data);
    EXPECT_STREQ("three", map[2]->key.data);
    int n = 0;
    for (StringMap<void*>::Entry* e : map) {
        EXPECT_NE(nullptr, e);
        ++n;
    }
    EXPECT_EQ(3, n);
}

TEST(StringMap, NullNameAppendsEveryTime) {
    StringMap<int> map;
    map.GetOrCreate(nullptr);
    map.GetOrCreate(nullptr);
    EXPECT_EQ(2, map.count);
    EXPECT_EQ(nullptr, map[0]->key.data);
    EXPECT_FALSE(map.Contains(""));
}

TEST(StringMap, DeleteAllReleasesEverything) {
    StringMap<int> map;
    map.GetOrCreate("a key that is longer than fifteen characters");
    map.GetOrCreate("b");
    map.DeleteAll();
    EXPECT_EQ(0, map.count);
    EXPECT_EQ(0, map.capacity);
    EXPECT_EQ(nullptr, map.data);
    map.GetOrCreate("again");
    EXPECT_EQ(1, map.count);
}
