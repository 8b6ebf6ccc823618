// The library's fast fixed-point text and its one-pass masked number text must agree with the
// general routes everywhere, including values next to halves where the fast paths step aside.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Runtime.h"
#include "formula/TFuncFormulas.h"

using namespace nv;

namespace {

std::string GeneralRoute(double x, int decimals) { return AllTrim(Str(Number::Double(x, decimals), 40, decimals)); }

}  // namespace

TEST(NumberTextFastPath, AgreesWithTheGeneralRouteNearHalvesAndAcrossDecimals) {
  for (int d = 0; d <= 8; ++d) {
    double unit = std::pow(10.0, -d);
    for (int64_t k = -2000; k <= 2000; ++k) {
      for (double offset : {0.0, 0.5, 0.4999, 0.5001, 0.499999999, 0.500000001, 0.25, 0.999}) {
        double x = (static_cast<double>(k) + offset) * unit;
        ASSERT_EQ(TFuncFormulas::NumberText(Number::Double(x, d), d), GeneralRoute(x, d)) << "x=" << x << " d=" << d;
      }
    }
  }
}

TEST(NumberTextFastPath, AgreesOnRandomAmountsAndLargeValues) {
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> amounts(-1e9, 1e9);
  for (int i = 0; i < 20000; ++i) {
    double x = amounts(random);
    int d = static_cast<int>(random() % 9);
    ASSERT_EQ(TFuncFormulas::NumberText(Number::Double(x, d), d), GeneralRoute(x, d)) << "x=" << x << " d=" << d;
  }
  for (double x : {1.0995e12, 1.1e12, 123456789012345.0, -0.004, -0.005, 2.675, 1.005, 0.0}) {
    for (int d = 0; d <= 8; ++d) {
      EXPECT_EQ(TFuncFormulas::NumberText(Number::Double(x, d), d), GeneralRoute(x, d)) << "x=" << x << " d=" << d;
    }
  }
}

namespace {

struct MaskCase {
  const char* mask;
  char decimal;
  char thousands;  // 0: the template does not group
};

// Transform's number text taken step by step through the documented pieces: the general number
// text, the mask's decimal character, the grouping in threes and the padding to the template.
std::string StepByStep(const Number& n, const MaskCase& m) {
  std::string tmpl = TFuncFormulas::ExtraerPlantillaNumericaTransform(Value(m.mask)).AsString();
  int d = static_cast<int>(TFuncFormulas::ContarDecimalesMascara(Value(tmpl)).AsNumber().i);
  std::string t = AllTrim(Str(n, 40, d));
  for (char& c : t) {
    if (c == '.') c = m.decimal;
  }
  if (m.thousands) {
    t = TFuncFormulas::AplicarSeparadorMiles(Value(t), Value(std::string(1, m.decimal)),
                                            Value(std::string(1, m.thousands)))
            .AsString();
  }
  return TFuncFormulas::AjustarAnchoMascaraNumerica(Value(t), Value(tmpl)).AsString();
}

const MaskCase kMasks[] = {
    {"@E 9,999.99", ',', '.'},    {"9,999.99", '.', ','},    {"999,999,999.999", '.', ','},
    {"@e 99.99", ',', 0},         {"9999.9999", '.', 0},     {"  @E 999,999,999,999.9  ", ',', '.'},
    {"99,999,999.99999999", '.', ','},
};

}  // namespace

// Transform composes the number text of the usual masks in one pass; it must give the same text
// as the pieces one after the other for signs, halves, overflowing widths and large values.
TEST(TransformFastPath, AgreesWithTheStepByStepRoute) {
  auto lib = TFuncFormulas::New();
  lib->Create();
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> amounts(-2e7, 2e7);
  std::vector<double> values = {0.0,      -0.0,     0.004,     -0.004,    -0.005,   0.005,   1234.5,
                                -1234.5,  999.995,  -999.995,  999.994,   1e6,      -1e6,    123456789.125,
                                2.675,    1.005,    1.1e12,    -1.1e12,   5e15,     1e-9,    99999.995};
  for (int i = 0; i < 3000; ++i) values.push_back(amounts(random));
  for (int i = -300; i <= 300; ++i) values.push_back(i * 0.005);
  for (const MaskCase& m : kMasks) {
    for (double x : values) {
      for (int decimals : {1, 2, 4}) {
        Number n = Number::Double(x, decimals);
        ASSERT_EQ(lib->Transform(Value(n), Value(m.mask)).AsString(), StepByStep(n, m)) << "x=" << x << " " << m.mask;
      }
    }
    for (int64_t k : {int64_t{0}, int64_t{7}, int64_t{-7}, int64_t{1000}, int64_t{-1234567}, int64_t{98765432109}}) {
      Number n = Number::Integer(k);
      EXPECT_EQ(lib->Transform(Value(n), Value(m.mask)).AsString(), StepByStep(n, m)) << "k=" << k << " " << m.mask;
    }
  }
  // A number wider than its mask is shown whole; a short one is padded.
  EXPECT_EQ(lib->Transform(Value(1234567.891), Value("@E 9,999.99")).AsString(), "1.234.567,89");
  EXPECT_EQ(lib->Transform(Value(-1234.5), Value("@E 9,999.99")).AsString(), "-1.234,50");
  EXPECT_EQ(lib->Transform(Value(-0.001), Value("@E 9,999.99")).AsString(), "    0,00");
  EXPECT_EQ(lib->Transform(Value(5), Value("9,999.99")).AsString(), "    5.00");
  EXPECT_EQ(lib->Transform(Value(123456.789), Value("@E 99.99")).AsString(), "123456,79");
}

TEST(TransformFastPath, TextsAndNilUnderNumberMasks) {
  auto lib = TFuncFormulas::New();
  lib->Create();
  EXPECT_EQ(lib->Transform(Value(), Value("@E 9,999.99")).AsString(), "[Funcion Transform no valida]");
  EXPECT_EQ(lib->Transform(Value(12.5), Value()).AsString(), "[Funcion Transform no valida]");
  EXPECT_EQ(lib->Transform(Value("abc"), Value("@E 9,999.99")).AsString(), "abc");
  EXPECT_EQ(lib->Transform(Value(""), Value("9,999.99")).AsString(), "");
  // A numeric text is formatted as the number it reads as.
  EXPECT_EQ(lib->Transform(Value("1234.5"), Value("@E 9,999.99")).AsString(), "1.234,50");
  EXPECT_EQ(lib->Transform(Value(" -12 "), Value("9,999.99")).AsString(), "  -12.00");
  EXPECT_EQ(lib->Transform(Value(true), Value("9,999.99")).AsString(), "1");
  // Switching masks call after call keeps each mask's own plan.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lib->Transform(Value(1234.5), Value("@E 9,999.99")).AsString(), "1.234,50");
    EXPECT_EQ(lib->Transform(Value(1234.5), Value("9,999.99")).AsString(), "1,234.50");
    EXPECT_EQ(lib->Transform(Value(1234.5), Value("")).AsString(), "1234.5");
  }
}

// DToC shows an eight-digit serial text from its own digits; it must agree with the date value's
// long visible text for every day, and refuse what names no date (the 29th of February of common
// years included).
TEST(DToCFastPath, SerialTextsAgreeWithTheDateValue) {
  auto lib = TFuncFormulas::New();
  lib->Create();
  char serial[16];
  for (int year : {1, 99, 1900, 1999, 2000, 2023, 2024, 2100, 9999}) {
    for (int month = 0; month <= 13; ++month) {
      for (int day = 0; day <= 32; ++day) {
        std::snprintf(serial, sizeof serial, "%04d%02d%02d", year, month, day);
        Date d = MakeDate(year, month, day);
        std::string expected = d.IsEmpty() ? "[Funcion DToC no valida]" : lib->DToC(Value(d)).AsString();
        ASSERT_EQ(lib->DToC(Value(serial)).AsString(), expected) << serial;
        ASSERT_EQ(lib->DToC(Value(std::string(" ") + serial + "  ")).AsString(), expected) << serial;
      }
    }
  }
  EXPECT_EQ(lib->DToC(Value("20230115")).AsString(), "15/01/2023");
  EXPECT_EQ(lib->DToC(Value("00010101")).AsString(), "01/01/0001");
  EXPECT_EQ(lib->DToC(Value("00000101")).AsString(), "[Funcion DToC no valida]");
  EXPECT_EQ(lib->DToC(Value("2023011a")).AsString(), "[Funcion DToC no valida]");
  // Other shapes take the general reading.
  EXPECT_EQ(lib->DToC(Value("15/01/23")).AsString(), "15/01/2023");
  EXPECT_EQ(lib->DToC(Value("2023-01-15")).AsString(), "[Funcion DToC no valida]");
}
