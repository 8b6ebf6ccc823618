#include <gtest/gtest.h>

#include "Runner.h"
#include "Runtime.h"
#include "Value.h"

using namespace nv;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(ConsoleRunner, AssertEqualHoldsAndReportsAsTheRunnerDescribes) {
  CaptureStdout();
  int failures = 0;
  failures += AssertEqual("close", Value(2.8220004), Value(2.822));
  failures += AssertEqual("true", Value(true), Value(true));
  failures += AssertEqual("int vs double", Value(5), OpDiv(10, 2));
  failures += AssertEqual("nil", Value(), Value());
  std::string quiet = GetCapturedStdout();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(quiet, "");

  CaptureStdout();
  EXPECT_EQ(AssertEqual("far", Value(2.823), Value(2.822)), 1);
  EXPECT_EQ(AssertEqual("kinds", Value("5"), Value(5)), 1);
  EXPECT_EQ(AssertEqual("nil vs false", Value(), Value(false)), 1);
  EXPECT_EQ(AssertEqual("prefix", Value("abc"), Value("ab")), 1);
  Value h = Value::NewHash();
  h.Set("a", 1);
  h.Set("b", 2);
  h.Set("c", 3);
  EXPECT_EQ(AssertEqual("hash", h.Clone(), h), 1);
  EXPECT_EQ(AssertEqual("same hash", h, h), 0);
  EXPECT_EQ(AssertEqual("array", Value::NewArray(), Value::NewArray()), 1);
  EXPECT_EQ(GetCapturedStdout(),
            "FAIL far\r\n  esperado: 2.822\r\n  actual  : 2.823\r\n"
            "FAIL kinds\r\n  esperado: 5\r\n  actual  : 5\r\n"
            "FAIL nil vs false\r\n  esperado: .F.\r\n  actual  : NIL\r\n"
            "FAIL prefix\r\n  esperado: ab\r\n  actual  : abc\r\n"
            "FAIL hash\r\n  esperado: Hash(3)\r\n  actual  : Hash(3)\r\n"
            "FAIL array\r\n  esperado: Array(0)\r\n  actual  : Array(0)\r\n");
}

TEST(ConsoleRunner, ValueToStringKeepsDecimalsAndDoesNotMarkKinds) {
  EXPECT_EQ(ValueToString(Value(5)), "5");
  EXPECT_EQ(ValueToString(Value(2.822)), "2.822");
  EXPECT_EQ(ValueToString(OpDiv(10, 4)), "2.50");
  EXPECT_EQ(ValueToString(Value("  x ")), "  x ");
  EXPECT_EQ(ValueToString(Value()), "NIL");
  EXPECT_EQ(ValueToString(Value(false)), ".F.");
  EXPECT_EQ(ValueToString(Value(MakeDate(2023, 1, 15))), "01/15/23");
  EXPECT_EQ(ValueToString(Value::NewArray(2)), "Array(2)");
}

TEST(ConsoleRunner, VerdictLineAndExitCodeCappedAt255) {
  CaptureStdout();
  EXPECT_EQ(FinishRun(0), 0);
  EXPECT_EQ(GetCapturedStdout(), "TMotorEjecucion Norvane OK\r\n");
  CaptureStdout();
  EXPECT_EQ(FinishRun(3), 3);
  EXPECT_EQ(GetCapturedStdout(), "TMotorEjecucion Norvane FAIL: 3\r\n");
  CaptureStdout();
  // A raw count of 256 would reach the shell as 0, a success.
  EXPECT_EQ(FinishRun(256), 255);
  EXPECT_EQ(FinishRun(1000), 255);
  EXPECT_EQ(GetCapturedStdout(), "TMotorEjecucion Norvane FAIL: 256\r\nTMotorEjecucion Norvane FAIL: 1000\r\n");
}

namespace {

[[noreturn]] void DivideByZeroUncaught() {
  try {
    OpDiv(1, 0);
  } catch (const RuntimeError& error) {
    HandleUncaughtError(error);
  }
  std::abort();
}

}  // namespace

TEST(ConsoleRunnerDeathTest, UncaughtRuntimeErrorPrintsTheReportAndExitsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  InstallConsoleErrorHandler();
  EXPECT_EXIT(DivideByZeroUncaught(), testing::ExitedWithCode(1),
              "^ERROR Norvane no interactivo\r\n"
              "SubSystem  : BASE\r\n"
              "SubCode    : 1340\r\n"
              "Description: Zero divisor\r\n"
              "Operation  : /\r\n"
              "Pila:\r\n"
              "(  [^\r\n]+\\([0-9]+\\)\r\n)*"
              "  main\\([0-9]+\\)\r\n$");
  // The report goes to standard error only; standard output carries no verdict.
  EXPECT_EXIT(
      {
        LogLine("before");
        ConsoleErrorHandler(RuntimeError("BASE", 1132, "Bound error", "[]"));
      },
      testing::ExitedWithCode(1), "Description: Bound error\r\nOperation  : \\[\\]\r\nPila:");
}
