// Masks, number texts and dates of the function library: Transform with its plan cache, Str,
// Round, Val, the date readers and writers, DateDifference and Hour.
#include <gtest/gtest.h>

#include "Accessors.h"
#include "FuncTestHelpers.h"

using namespace nv;
using nv::testing::FuncTest;
using nv::testing::NumberShown;

using FuncTransform = FuncTest;
using FuncNumberTexts = FuncTest;
using FuncDates = FuncTest;
using FuncHour = FuncTest;

TEST_F(FuncTransform, KnownAnswers) {
  struct Case {
    Value value;
    const char* mask;
    const char* expected;
  };
  const Case cases[] = {
      {Value(1234.5), "@E 9,999.99", "1.234,50"},
      {Value(1234.5), "9,999.99", "1,234.50"},
      {Value(5), "@E 9999", "   5"},
      {Value("abc"), "999", "abc"},
      {Value(12), "", "12"},
      {Value(20230115), "99/99/9999", "15/01/2023"},
      {Value("15/01/2023"), "99/99/99", "15/01/23"},
      {Value("x"), "99/99/99", "x"},
      {Value(1234), "9,999", "1234.000"},
      // The later separator is the decimal point; thousands only when both occur.
      {Value(1234.5), "@E 9.999,99", "1.234,50"},
      {Value(1234.5), "9.999,99", "1,234.50"},
      {Value(1234.5), "@e 99999", " 1235"},
      {Value(-1234567.891), "@E 9,999,999.99", "-1.234.567,89"},
      {Value(0.5), "9.99", "0.50"},
      {Value(-2.5), "999", " -3"},
      // Numeric texts are read as numbers; long results are never cut.
      {Value("1234.5"), "9,999.99", "1,234.50"},
      {Value(1234567), "999", "1234567"},
      {Value::Dbl(1e13, 0), "999", "************"},
      {Value(true), "999", "1"},
      {Value("15/01/2023"), "999", "15/01/2023"},
      {Value(5), "@E", "5"},
  };
  for (const Case& c : cases) {
    EXPECT_VALUE(Call("TRANSFORM", {c.value, c.mask}), c.expected) << c.mask << " on " << c.value;
  }
  EXPECT_VALUE(Call("TRANSFORM", {12, Value()}), "[Funcion Transform no valida]");
  EXPECT_VALUE(Call("TRANSFORM", {12}), "[Funcion Transform no valida]");
}

TEST_F(FuncTransform, PlanIsBuiltOncePerTrimmedMask) {
  Call("TRANSFORM", {1, "@E 9,999.99"});
  Call("TRANSFORM", {2, "  @E 9,999.99 "});
  Call("TRANSFORM", {3, "99/99/99"});
  ASSERT_EQ(lib->hTransformPlanCache.Len(), 2u);
  Value plan = HGet(lib->hTransformPlanCache, "@E 9,999.99");
  ASSERT_TRUE(plan.IsHash());
  EXPECT_VALUE(HGet(plan, "cMask"), "9,999.99");
  EXPECT_VALUE(HGet(plan, "nDecimals"), 2);
  EXPECT_VALUE(HGet(plan, "cDecimal"), ",");
  EXPECT_VALUE(HGet(plan, "cThousands"), ".");
  EXPECT_VALUE(HGet(plan, "lDateMask"), false);
  EXPECT_VALUE(HGet(HGet(lib->hTransformPlanCache, "99/99/99"), "lDateMask"), true);
  EXPECT_VALUE(HGet(HGet(lib->hTransformPlanCache, "99/99/99"), "cThousands"), "");
  // A cached plan gives the same answers as a fresh one.
  EXPECT_VALUE(Call("TRANSFORM", {1234.5, "@E 9,999.99"}), "1.234,50");
  lib->End();
  EXPECT_EQ(lib->hTransformPlanCache.Len(), 0u);
}

TEST_F(FuncTransform, MaskRoutines) {
  EXPECT_VALUE(TFuncFormulas::ExtraerPlantillaNumericaTransform(Value(" @e  99.9 ")), "99.9");
  EXPECT_VALUE(TFuncFormulas::ExtraerPlantillaNumericaTransform(Value("9@E9")), "9@E9");
  EXPECT_VALUE(TFuncFormulas::ContarDecimalesMascara(Value("9,999")), 3);
  EXPECT_VALUE(TFuncFormulas::ContarDecimalesMascara(Value("9.999,99")), 2);
  EXPECT_VALUE(TFuncFormulas::ContarDecimalesMascara(Value("999")), 0);
  EXPECT_VALUE(TFuncFormulas::ContarDecimalesMascara(Value("9.#0X")), 2);
  EXPECT_VALUE(TFuncFormulas::MascaraUsaMiles(Value("9,999.99")), true);
  EXPECT_VALUE(TFuncFormulas::MascaraUsaMiles(Value("9,999")), false);
  EXPECT_VALUE(TFuncFormulas::EsMascaraFecha(Value("99/99/9999")), true);
  EXPECT_VALUE(TFuncFormulas::EsMascaraFecha(Value("99/99/999")), false);
  EXPECT_VALUE(TFuncFormulas::AplicarSeparadorMiles(Value("1234567,5"), Value(","), Value(".")), "1.234.567,5");
  EXPECT_VALUE(TFuncFormulas::AplicarSeparadorMiles(Value("-1234"), Value("."), Value(",")), "-1,234");
  EXPECT_VALUE(TFuncFormulas::AplicarSeparadorMiles(Value("+123456"), Value("."), Value(",")), "+123,456");
  EXPECT_VALUE(TFuncFormulas::AplicarSeparadorMiles(Value("123.4567"), Value("."), Value(",")), "123.4567");
  EXPECT_VALUE(TFuncFormulas::AplicarSeparadorMiles(Value("****"), Value("."), Value(",")), "****");
  EXPECT_VALUE(TFuncFormulas::AjustarAnchoMascaraNumerica(Value("12"), Value("9999")), "  12");
  EXPECT_VALUE(TFuncFormulas::AjustarAnchoMascaraNumerica(Value("12345"), Value("99")), "12345");
  EXPECT_VALUE(TFuncFormulas::NumeroATexto(Value(-2.345), Value(2)), "-2.35");
  EXPECT_VALUE(TFuncFormulas::NumeroATexto(Value(7), Value(3)), "7.000");
}

TEST_F(FuncNumberTexts, StrPadsRightAlignsAndOverflows) {
  EXPECT_VALUE(Call("STR", {3.14159, 8, 2}), "    3.14");
  EXPECT_VALUE(Call("STR", {123456, 3}), "***");
  EXPECT_VALUE(Call("STR", {""}), "          ");
  EXPECT_VALUE(Call("STR", {Value(), 4}), "    ");
  EXPECT_VALUE(Call("STR", {5, 0}), "");
  EXPECT_VALUE(Call("STR", {5, -2}), "");
  EXPECT_VALUE(Call("STR", {"abc"}), "[Funcion Str no valida]");
  EXPECT_VALUE(Call("STR", {5}), "         5");
  EXPECT_VALUE(Call("STR", {-2.5, 5}), "   -3");
  EXPECT_VALUE(Call("STR", {"12.5", 6, 1}), "  12.5");
  EXPECT_VALUE(Call("STR", {7, 6, -3}), "     7");
  EXPECT_VALUE(Call("STR", {-1.5, 4, 1}), "-1.5");
  // A runaway width is capped instead of allocating without bound.
  EXPECT_EQ(Call("STR", {1, 1e12}).Len(), 10000u);
}

TEST_F(FuncNumberTexts, RoundHalvesAwayFromZero) {
  EXPECT_VALUE(Call("ROUND", {2.5}), 3);
  EXPECT_VALUE(Call("ROUND", {-2.5}), -3);
  EXPECT_VALUE(Call("ROUND", {1234, -2}), 1200);
  EXPECT_VALUE(Call("ROUND", {1250, -2}), 1300);
  EXPECT_EQ(NumberShown(Call("ROUND", {2.345, 2})), "2.35");
  EXPECT_EQ(NumberShown(Call("ROUND", {2, 2})), "2.00");
  EXPECT_EQ(NumberShown(Call("ROUND", {"-1.005", "2"})), "-1.01");
  EXPECT_VALUE(Call("ROUND", {"7.5"}), 8);
  EXPECT_TRUE(Call("ROUND", {2.5}).AsNumber().isInteger);
  EXPECT_VALUE(Call("ROUND", {"x"}), "[Funcion Round no valida]");
  EXPECT_VALUE(Call("ROUND", {1, Value()}), "[Funcion Round no valida]");
  EXPECT_VALUE(Call("ROUND", {123, -400}), 0);
  EXPECT_VALUE(Call("INT", {2.5}), 2);
}

TEST_F(FuncNumberTexts, ValReadsTheLeadingNumber) {
  EXPECT_VALUE(Call("VAL", {"  12.5kg"}), 12.5);
  EXPECT_EQ(NumberShown(Call("VAL", {"12.50"})), "12.50");
  EXPECT_VALUE(Call("VAL", {"-3,5"}), -3);
  EXPECT_VALUE(Call("VAL", {"1.2.3"}), 1.2);
  EXPECT_VALUE(Call("VAL", {"abc"}), 0);
  EXPECT_VALUE(Call("VAL", {"-"}), 0);
  EXPECT_VALUE(Call("VAL", {"\r\n\t+7x"}), 7);
  EXPECT_VALUE(Call("VAL", {"--5"}), 0);
  EXPECT_VALUE(Call("VAL", {}), 0);
  EXPECT_VALUE(Call("VAL", {42}), 42);
  EXPECT_VALUE(TFuncFormulas::ExtraerNumeroInicial(Value("  -.5e3")), "-.5");
  EXPECT_VALUE(TFuncFormulas::ExtraerNumeroInicial(Value(".")), "0");
}

TEST_F(FuncDates, ReadingVisibleAndSerialTexts) {
  EXPECT_VALUE(Call("CTOD", {"31/02/2023"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("CTOD", {"1/2/3"}), "01/02/03");
  EXPECT_VALUE(Call("CTOD", {" 15/01/2023 "}), "15/01/23");
  EXPECT_VALUE(Call("CTOD", {"29/02/1900"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("CTOD", {"15/01/"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("CTOD", {"1/2/3/4"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("CTOD", {"5/123/2023"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("CTOD", {"-5/01/2023"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("CTOD", {"20230115"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("STOD", {"20240229"}), "29/02/24");
  EXPECT_VALUE(Call("STOD", {"20230229"}), "[Funcion SToD no valida]");
  EXPECT_VALUE(Call("STOD", {"2023"}), "[Funcion SToD no valida]");
  EXPECT_VALUE(Call("STOD", {"2023+1+5"}), "[Funcion SToD no valida]");
  EXPECT_VALUE(Call("STOD", {"2023011"}), "01/01/23");
  EXPECT_VALUE(Call("DATEYMD", {2024, 2, 29}), "29/02/24");
  EXPECT_VALUE(Call("DATEYMD", {"2023", "1", "15"}), "15/01/23");
  EXPECT_VALUE(Call("DATEYMD", {2023, 2, 29}), "[Funcion DateYMD no valida]");
  EXPECT_VALUE(Call("DATEYMD", {2023, 13, 1}), "[Funcion DateYMD no valida]");
  EXPECT_VALUE(Call("DATEYMD", {-1, 1, 1}), "[Funcion DateYMD no valida]");
  EXPECT_VALUE(Call("DATEYMD", {20230, 1, 1}), "[Funcion DateYMD no valida]");
}

TEST_F(FuncDates, EveryDateArgumentFormReadsTheSameDay) {
  const Value expected(MakeDate(2023, 1, 15));
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value(20230115)), expected);
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value("20230115")), expected);
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value("15/01/2023")), expected);
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value("15/1/23")), expected);
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(expected), expected);
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value(Timestamp{MakeDate(2023, 1, 15).day, 3600000})), expected);
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value("15/1/99")), Value(MakeDate(2099, 1, 15)));
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value("x")), Value(Date{}));
  EXPECT_VALUE(TFuncFormulas::FechaDesdeValor(Value()), Value(Date{}));
  EXPECT_VALUE(TFuncFormulas::FechaDesdeTextoSerial(Value("2023011")), Value(MakeDate(2023, 1, 1)));
  EXPECT_VALUE(TFuncFormulas::FechaValida(expected), true);
  EXPECT_VALUE(TFuncFormulas::FechaValida(Value(Date{})), false);
  EXPECT_VALUE(TFuncFormulas::FechaValida(Value("15/01/2023")), false);
}

TEST_F(FuncDates, WritingAndCalendarParts) {
  EXPECT_VALUE(Call("DTOC", {"20230115"}), "15/01/2023");
  EXPECT_VALUE(Call("DTOS", {"15/01/23"}), "20230115");
  EXPECT_VALUE(Call("DTOS", {Value(MakeDate(987, 6, 5))}), "09870605");
  EXPECT_VALUE(Call("DOW", {"20230115"}), 1);
  EXPECT_VALUE(Call("DOW", {"21/01/2023"}), 7);
  EXPECT_VALUE(Call("MONTH", {"15/11/2023"}), 11);
  EXPECT_VALUE(Call("YEAR", {"15/1/99"}), 2099);
  EXPECT_VALUE(Call("YEAR", {20230115}), 2023);
  EXPECT_VALUE(Call("ADDDAYS", {"31/12/2023", 1}), "01/01/24");
  EXPECT_VALUE(Call("ADDDAYS", {"01/03/2024", -1}), "29/02/24");
  EXPECT_VALUE(Call("ADDDAYS", {"15/01/2023", "2.9"}), "17/01/23");
  EXPECT_VALUE(Call("ADDDAYS", {"x", 1}), "[Funcion AddDays no valida]");
  EXPECT_VALUE(Call("ADDDAYS", {"15/01/2023", "x"}), "[Funcion AddDays no valida]");
  EXPECT_VALUE(Call("ADDDAYS", {"31/12/9999", 1}), "[Funcion AddDays no valida]");
  EXPECT_VALUE(Call("ADDDAYS", {"15/01/2023", 1e15}), "[Funcion AddDays no valida]");
  const std::string today = TFuncFormulas::VisibleDate(Today());
  EXPECT_VALUE(Call("DATE"), today);
  EXPECT_VALUE(Call("NOW"), today);
  EXPECT_EQ(today.size(), 8u);
}

TEST_F(FuncDates, DateDifferenceCountsDaysFromTheSecond) {
  EXPECT_VALUE(TFuncFormulas::DateDifference(Value("15/01/2023"), Value("10/01/2023")), 5);
  EXPECT_VALUE(TFuncFormulas::DateDifference(Value("10/01/2023"), Value("15/01/2023")), -5);
  EXPECT_VALUE(TFuncFormulas::DateDifference(Value("01/03/2024"), Value("20240201")), 29);
  EXPECT_VALUE(TFuncFormulas::DateDifference(Value(MakeDate(2023, 1, 1)), Value("31/12/22")), 1);
  EXPECT_VALUE(TFuncFormulas::DateDifference(Value("15/01/2023"), Value(3)), Value());
  EXPECT_VALUE(TFuncFormulas::DateDifference(Value(), Value("15/01/2023")), Value());
  EXPECT_VALUE(TFuncFormulas::DateDifference(Value(Date{}), Value(Date{})), Value());
}

TEST_F(FuncHour, TextsTimestampsDatesAndTheClock) {
  EXPECT_VALUE(Call("HOUR", {"08:05"}), 8);
  EXPECT_VALUE(Call("HOUR", {"10:30"}), 10);
  EXPECT_VALUE(Call("HOUR", {"2023-01-15 08:05:00"}), 8);
  EXPECT_VALUE(Call("HOUR", {"15/01/2023 23:59"}), 23);
  EXPECT_VALUE(Call("HOUR", {"24:00"}), "[Funcion Hour no valida]");
  EXPECT_VALUE(Call("HOUR", {"-1:00"}), "[Funcion Hour no valida]");
  EXPECT_VALUE(Call("HOUR", {"ab:10"}), "[Funcion Hour no valida]");
  EXPECT_VALUE(Call("HOUR", {5}), "[Funcion Hour no valida]");
  EXPECT_VALUE(Call("HOUR", {Value(MakeDate(2023, 1, 15))}), 0);
  EXPECT_VALUE(Call("HOUR", {Value(Timestamp{2460000, 8 * 3600000 + 30 * 60000})}), 8);
  EXPECT_VALUE(Call("HOUR", {Value(Timestamp{2460000, 5 * 3600000 - 1})}), 4);
  EXPECT_VALUE(Call("HOUR", {Value(Timestamp{2460000, 86399999})}), 23);
  for (const Value& now : {Call("HOUR"), Call("HOUR", {"  "})}) {
    ASSERT_TRUE(now.IsNumber());
    EXPECT_GE(now.AsNumber().i, 0);
    EXPECT_LE(now.AsNumber().i, 23);
  }
}
