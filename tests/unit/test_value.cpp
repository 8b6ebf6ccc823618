#include <gtest/gtest.h>

#include "Accessors.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;

TEST(Value, HashKeepsInsertionOrderAndReassignedPosition) {
  Value h = Value::NewHash();
  h.Set("b", 1);
  h.Set("a", 2);
  h.Set("b", 3);
  Value keys = HashKeys(h);
  ASSERT_EQ(keys.Len(), 2u);
  EXPECT_EQ(keys.Item(1).AsString(), "b");
  EXPECT_EQ(keys.Item(2).AsString(), "a");
  EXPECT_EQ(h["b"].AsNumber().i, 3);
  EXPECT_THROW(h["missing"], RuntimeError);
}

TEST(Value, CopyIsReferenceCloneIsDeep) {
  Value inner = Value::NewArray();
  inner.Append(1);
  Value h = Value::NewHash();
  h.Set("list", inner);
  Value shared = h;
  Value copy = h.Clone();
  h["list"].Append(2);
  EXPECT_EQ(shared["list"].Len(), 2u);
  EXPECT_EQ(copy["list"].Len(), 1u);
}

TEST(Accessors, DisplayDecimalsReachText) {
  EXPECT_EQ(ValueString(Value(2.822)), "2.822");
  EXPECT_EQ(ValueString(Value::Dbl(5.0, 2)), "5.00");
  EXPECT_EQ(ValorAString(Value::Dbl(5.0, 2)), "5");
  EXPECT_EQ(ValueString(Value(false)), "");
  EXPECT_EQ(ValueDouble(Value("1.234,5")), 1.234);
  EXPECT_EQ(ValueDouble(Value("12,5")), 12.5);
  EXPECT_TRUE(ValueBool(Value("YES ")));
  EXPECT_FALSE(ValueBool(Value("no")));
  EXPECT_TRUE(ValueBool(Value(2)));
  EXPECT_EQ(NormalizeHashKeyName(Value(7)), "7");
  EXPECT_EQ(NormalizeHashKeyName(Value(" a ")), " a ");
}

TEST(Dates, DayOfWeekAndSerial) {
  Date d = MakeDate(2023, 1, 15);
  EXPECT_EQ(Dow(d), 1);
  EXPECT_EQ(DateToSerial(d), "20230115");
  EXPECT_EQ(SerialToDate("20230115").day, d.day);
  EXPECT_TRUE(MakeDate(2023, 2, 31).IsEmpty());
}
