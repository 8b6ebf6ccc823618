#include "Runner.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Runtime.h"

namespace nv {

namespace {

[[noreturn]] void DefaultHandler(const RuntimeError& error) { ConsoleErrorHandler(error); }

void (*gErrorHandler)(const RuntimeError&) = nullptr;

void WriteOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void WriteErr(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); }

}  // namespace

std::string ValueToString(const Value& value) {
  switch (value.kind()) {
    case Kind::Nil: return "NIL";
    case Kind::String: return value.AsString();
    case Kind::Number: return NumToText(value.AsNumber());
    case Kind::Logical: return value.AsBool() ? ".T." : ".F.";
    case Kind::Array: return "Array(" + std::to_string(value.Len()) + ")";
    case Kind::Hash: return "Hash(" + std::to_string(value.Len()) + ")";
    default: return AllTrim(GenericText(value));
  }
}

void LogLine(const std::string& text) {
  WriteOut(text);
  WriteOut(std::string(LineTerminator()));
}

int AssertEqual(const std::string& label, const Value& actual, const Value& expected) {
  bool holds;
  if (actual.IsNumber() && expected.IsNumber()) {
    holds = std::fabs(actual.AsDouble() - expected.AsDouble()) <= 0.000001;
  } else if (actual.kind() != expected.kind()) {
    holds = false;
  } else if (actual.IsArray() || actual.IsHash()) {
    holds = actual.SameRef(expected);
  } else {
    holds = ExactEqual(actual, expected);
  }
  if (holds) return 0;
  LogLine("FAIL " + label);
  LogLine("  esperado: " + ValueToString(expected));
  LogLine("  actual  : " + ValueToString(actual));
  return 1;
}

void InstallConsoleErrorHandler() { gErrorHandler = DefaultHandler; }

void HandleUncaughtError(const RuntimeError& error) {
  (gErrorHandler ? gErrorHandler : DefaultHandler)(error);
  std::_Exit(1);  // a handler that returns still ends the process
}

void ConsoleErrorHandler(const RuntimeError& error) {
  // Failure lines already written must precede the report.
  std::fflush(stdout);
  std::string eol(LineTerminator());
  WriteErr("ERROR Norvane no interactivo" + eol);
  WriteErr("SubSystem  : " + ValueToString(Value(error.Subsystem())) + eol);
  WriteErr("SubCode    : " + ValueToString(Value::Int(error.SubCode())) + eol);
  WriteErr("Description: " + ValueToString(Value(error.Description())) + eol);
  WriteErr("Operation  : " + ValueToString(Value(error.Operation())) + eol);
  WriteErr("Pila:" + eol);
  // Frames carry no source lines in this build, so each shows line 0.
  size_t lines = 0;
  for (const std::string& frame : error.Frames()) {
    if (frame.empty() || ++lines > 40) break;
    WriteErr("  " + frame + "(0)" + eol);
  }
  std::fflush(stderr);
  std::_Exit(1);
}

int FinishRun(int failures) {
  if (failures == 0) {
    LogLine("TMotorEjecucion Norvane OK");
  } else {
    LogLine("TMotorEjecucion Norvane FAIL: " + std::to_string(failures));
  }
  std::fflush(stdout);
  if (failures < 0) return 1;
  return failures > 255 ? 255 : failures;
}

}  // namespace nv
