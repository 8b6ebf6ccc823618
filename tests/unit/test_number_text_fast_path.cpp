// The library's fast fixed-point text must agree with the runtime's general number-to-text route
// everywhere, including values next to halves where the fast path has to step aside.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "Runtime.h"
#include "TFuncFormulas.h"

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
