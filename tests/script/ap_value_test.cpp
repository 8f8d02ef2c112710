// APValue: construction, truthiness, equality and the argument list type.
#include "script/ap_value.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

TEST(APValue, DefaultIsIntegerZero) {
  const APValue v;
  EXPECT_EQ(v.type, APValue::kInt);
  EXPECT_TRUE(v.isInt());
  EXPECT_FALSE(v.isBool());
  EXPECT_FALSE(v.isString());
  EXPECT_EQ(v.ivalue, 0);
  EXPECT_EQ(v.asInt(), 0);
  EXPECT_TRUE(v.svalue.empty());
  EXPECT_FALSE(v.isTrue());
  EXPECT_EQ(v, APValue(int32_t{0}));
}

TEST(APValue, ConstructorsSetTypeAndLeaveStringEmpty) {
  const APValue b(true);
  EXPECT_EQ(b.type, APValue::kBool);
  EXPECT_TRUE(b.flag);
  EXPECT_TRUE(b.svalue.empty());

  const APValue i(int32_t{-42});
  EXPECT_EQ(i.type, APValue::kInt);
  EXPECT_EQ(i.ivalue, -42);
  EXPECT_TRUE(i.svalue.empty());

  const APValue s(std::u16string(u"テキスト"));
  EXPECT_EQ(s.type, APValue::kString);
  EXPECT_EQ(s.svalue, u"テキスト");
}

TEST(APValue, CharPointerConstructorGivesString) {
  // Not the boolean a pointer would convert to.
  const APValue v(u"file.png");
  EXPECT_EQ(v.type, APValue::kString);
  EXPECT_TRUE(v.isString());
  EXPECT_EQ(v.svalue, u"file.png");

  const APValue empty(u"");
  EXPECT_EQ(empty.type, APValue::kString);
  EXPECT_TRUE(empty.svalue.empty());
}

TEST(APValue, AsIntOnlyForIntegers) {
  EXPECT_EQ(APValue(int32_t{INT_MIN}).asInt(), INT_MIN);
  EXPECT_EQ(APValue(int32_t{5}).asInt(), 5);
  EXPECT_EQ(APValue(true).asInt(), 0);
  EXPECT_EQ(APValue(u"5").asInt(), 0);
}

TEST(APValueTruth, FollowsType) {
  EXPECT_TRUE(APValue(true).isTrue());
  EXPECT_FALSE(APValue(false).isTrue());
  EXPECT_FALSE(APValue(int32_t{0}).isTrue());
  EXPECT_TRUE(APValue(int32_t{1}).isTrue());
  EXPECT_TRUE(APValue(int32_t{-1}).isTrue());
  EXPECT_TRUE(APValue(int32_t{INT_MIN}).isTrue());
  EXPECT_FALSE(APValue(u"").isTrue());
  EXPECT_TRUE(APValue(u"0").isTrue());
  EXPECT_TRUE(APValue(u" ").isTrue());
}

TEST(APValueTruth, OnlyTheTypedFieldCounts) {
  APValue b(false);
  b.ivalue = 1;
  b.svalue = u"x";
  EXPECT_FALSE(b.isTrue());

  APValue i(int32_t{0});
  i.flag = true;
  i.svalue = u"x";
  EXPECT_FALSE(i.isTrue());

  APValue s(u"");
  s.flag = true;
  s.ivalue = 1;
  EXPECT_FALSE(s.isTrue());
}

TEST(APValueEquality, DifferentTypesNeverEqual) {
  EXPECT_FALSE(APValue(int32_t{1}) == APValue(true));
  EXPECT_FALSE(APValue(true) == APValue(int32_t{1}));
  EXPECT_FALSE(APValue(int32_t{0}) == APValue(false));
  EXPECT_FALSE(APValue(u"") == APValue(false));
  EXPECT_FALSE(APValue(u"") == APValue(int32_t{0}));
  EXPECT_FALSE(APValue(u"1") == APValue(int32_t{1}));
}

TEST(APValueEquality, SameTypeComparesItsField) {
  EXPECT_TRUE(APValue(true) == APValue(true));
  EXPECT_TRUE(APValue(false) == APValue(false));
  EXPECT_FALSE(APValue(true) == APValue(false));
  EXPECT_TRUE(APValue(int32_t{-3}) == APValue(int32_t{-3}));
  EXPECT_FALSE(APValue(int32_t{3}) == APValue(int32_t{-3}));
  EXPECT_TRUE(APValue(u"名前") == APValue(std::u16string(u"名前")));
  EXPECT_FALSE(APValue(u"a") == APValue(u"A"));
  EXPECT_FALSE(APValue(u"a") == APValue(u"a "));
}

TEST(APValueEquality, IgnoresFieldsOfOtherTypes) {
  APValue a(true), b(true);
  a.ivalue = 1;
  b.ivalue = 2;
  a.svalue = u"x";
  EXPECT_TRUE(a == b);

  APValue i(int32_t{7}), j(int32_t{7});
  i.flag = true;
  j.svalue = u"seven";
  EXPECT_TRUE(i == j);

  APValue s(u"t"), t(u"t");
  s.flag = true;
  t.ivalue = 9;
  EXPECT_TRUE(s == t);
}

TEST(APValueEquality, ValueEqualsItself) {
  const APValue v(u"self");
  EXPECT_TRUE(v == v);
  const APValue w(int32_t{5});
  EXPECT_TRUE(w == w);
}

TEST(APValue, CopiesAreIndependent) {
  APValue a(u"original");
  APValue b = a;
  b.svalue += u"!";
  EXPECT_EQ(a.svalue, u"original");
  EXPECT_FALSE(a == b);
}

TEST(VectorMtus, KeepsOrderAndChecksAccess) {
  vector_mtus<APValue> args;
  args.push_back(APValue(int32_t{1}));
  args.push_back(APValue(u"two"));
  args.emplace_back(true);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args.at(0), APValue(int32_t{1}));
  EXPECT_EQ(args.at(1), APValue(u"two"));
  EXPECT_EQ(args.at(2), APValue(true));
  EXPECT_THROW((void)args.at(3), std::out_of_range);
  // A missing argument reads as the default value (the integer 0).
  EXPECT_EQ(args[1], APValue(u"two"));
  EXPECT_EQ(args[3], APValue());
  EXPECT_EQ(args[1000], APValue(int32_t{0}));
}
