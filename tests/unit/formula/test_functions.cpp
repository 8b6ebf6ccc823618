// The formula function library called by name: dispatch, text functions, numbers, colours, Max
// and file loading.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "Accessors.h"
#include "FuncTestHelpers.h"

using namespace nv;
using nv::testing::FuncTest;
using nv::testing::NumberShown;

using FuncDispatch = FuncTest;
using FuncText = FuncTest;
using FuncNumbers = FuncTest;
using FuncMax = FuncTest;

TEST_F(FuncDispatch, RegistryListsTheCallableNamesInOrder) {
  ASSERT_TRUE(lib->hFunciones.IsHash());
  EXPECT_EQ(lib->hFunciones.Len(), 42u);
  Value keys = HashKeys(lib->hFunciones);
  EXPECT_VALUE(keys.Item(1), "ABS");
  EXPECT_VALUE(keys.Item(42), "YEAR");
  EXPECT_VALUE(HGet(lib->hFunciones, "HB_MEMOREAD"), "hb_MemoRead");
  EXPECT_VALUE(HGet(lib->hFunciones, "NULL"), "NULL");
  EXPECT_VALUE(HGet(lib->hFunciones, "MAX"), "Max");
  EXPECT_FALSE(HHas(lib->hFunciones, "DATEDIFFERENCE"));
  EXPECT_TRUE(lib->lCreated);
  lib->End();
  EXPECT_FALSE(lib->lCreated);
  EXPECT_EQ(lib->hFunciones.Len(), 0u);
}

TEST_F(FuncDispatch, UnknownNamesAndNonArrayArguments) {
  EXPECT_VALUE(Call("FOO", {1}), "[Funcion no implementada: FOO]");
  // The date difference is for the evaluator only, not for formulas.
  EXPECT_VALUE(Call("DATEDIFFERENCE", {"15/01/2023", "10/01/2023"}), "[Funcion no implementada: DATEDIFFERENCE]");
  // The name is matched trimmed and upper-cased, but reported as passed.
  EXPECT_VALUE(Call(" upper ", {"abc"}), "ABC");
  EXPECT_VALUE(Call("foo"), "[Funcion no implementada: foo]");
  EXPECT_VALUE(lib->Ejecutar(Value("LEN"), Value("not an array")), 0);
  EXPECT_VALUE(lib->Ejecutar(Value("NULL"), Value()), Value());
  EXPECT_VALUE(lib->Ejecutar(Value(), Value()), "[Funcion no implementada: ]");
  EXPECT_TRUE(lib->RespondsTo("ejecutar"));
  EXPECT_TRUE(lib->RespondsTo("StrTran"));
  EXPECT_TRUE(lib->RespondsTo("hTransformPlanCache"));
  EXPECT_FALSE(lib->RespondsTo("Foo"));
}

TEST_F(FuncDispatch, ErrorTextsOfBadArguments) {
  EXPECT_VALUE(Call("ABS", {"x"}), "[Funcion Abs no valida]");
  EXPECT_VALUE(Call("ADDDAYS", {"x", 1}), "[Funcion AddDays no valida]");
  EXPECT_VALUE(Call("CHR", {-1}), "[Funcion Chr no valida]");
  EXPECT_VALUE(Call("CTOD", {"31/02/2023"}), "[Funcion CToD no valida]");
  EXPECT_VALUE(Call("DATEYMD", {2023, "x", 1}), "[Funcion DateYMD no valida]");
  EXPECT_VALUE(Call("DOW", {"x"}), "[Funcion Dow no valida]");
  EXPECT_VALUE(Call("DTOC", {}), "[Funcion DToC no valida]");
  EXPECT_VALUE(Call("DTOS", {"32/01/2023"}), "[Funcion DToS no valida]");
  EXPECT_VALUE(Call("EXP10", {"abc"}), "[Funcion Exp10 no valida]");
  EXPECT_VALUE(Call("HOUR", {5}), "[Funcion Hour no valida]");
  EXPECT_VALUE(Call("INT", {".T."}), "[Funcion Int no valida]");
  EXPECT_VALUE(Call("LEFT", {"abc", "x"}), "[Funcion Left no valida]");
  EXPECT_VALUE(Call("MONTH", {""}), "[Funcion Month no valida]");
  EXPECT_VALUE(Call("RIGHT", {"abc", "x"}), "[Funcion Right no valida]");
  EXPECT_VALUE(Call("RGB", {1, 2}), "[Funcion RGB no valida]");
  EXPECT_VALUE(Call("ROUND", {1.5, "x"}), "[Funcion Round no valida]");
  EXPECT_VALUE(Call("STOD", {"2023"}), "[Funcion SToD no valida]");
  EXPECT_VALUE(Call("STR", {"abc"}), "[Funcion Str no valida]");
  EXPECT_VALUE(Call("SUBSTR", {"abc", "x"}), "[Funcion SubStr no valida]");
  EXPECT_VALUE(Call("SUBSTR", {"abc", 1, "x"}), "[Funcion SubStr no valida]");
  EXPECT_VALUE(Call("TRANSFORM", {Value(), "999"}), "[Funcion Transform no valida]");
  EXPECT_VALUE(Call("YEAR", {Date{}}), "[Funcion Year no valida]");
}

TEST_F(FuncDispatch, NoFunctionFailsOnAnyKindOfArgument) {
  Value list = Value::NewArray();
  list.Append(1);
  Value hash = Value::NewHash();
  hash.Set("k", 1);
  const Value odd[] = {Value(), Value(true), list, hash, Value(Date{}), Value(Timestamp{2460000, 1000}),
                       Value::Dbl(1e300, 2), Value("\xff\xfe"), Value::Int(INT64_MIN)};
  Value keys = HashKeys(lib->hFunciones);
  for (size_t k = 1; k <= keys.Len(); ++k) {
    const std::string name = keys.Item(k).AsString();
    for (const Value& a : odd) {
      for (const Value& b : odd) {
        EXPECT_NO_THROW(lib->Ejecutar(Value(name), Value::FromArray(Array{a, b, a, b, a}))) << name;
      }
    }
  }
}

TEST_F(FuncText, CharactersAreCountedInUtf8) {
  EXPECT_VALUE(Call("LEFT", {"ñandú", 2}), "ña");
  EXPECT_VALUE(Call("LEN", {"ñandú"}), 5);
  EXPECT_VALUE(Call("RIGHT", {"ñandú", 2}), "dú");
  EXPECT_VALUE(Call("SUBSTR", {"ñandú", 2, 3}), "and");
  EXPECT_VALUE(Call("SUBSTR", {"ñandú", -1}), "ú");
  EXPECT_VALUE(Call("LEN", {}), 0);
  EXPECT_VALUE(Call("LEN", {12345}), 5);
  // Positions of At and StrPos count bytes.
  EXPECT_VALUE(Call("AT", {"d", "ñandú"}), 5);
}

TEST_F(FuncText, LeftAndRightEdges) {
  EXPECT_VALUE(Call("LEFT", {"abc", 0}), "");
  EXPECT_VALUE(Call("LEFT", {"abc", -3}), "");
  EXPECT_VALUE(Call("LEFT", {"abc", 10}), "abc");
  EXPECT_VALUE(Call("LEFT", {"abc", "2"}), "ab");
  EXPECT_VALUE(Call("RIGHT", {"abc", 5}), "abc");
  EXPECT_VALUE(Call("RIGHT", {"abc", 0}), "");
  EXPECT_VALUE(Call("RIGHT", {"abc", 2.9}), "bc");
  EXPECT_VALUE(Call("LEFT", {Value(), 2}), "");
  EXPECT_VALUE(Call("LEFT", {12345, 2}), "12");
}

TEST_F(FuncText, SubStrStartsAndCounts) {
  EXPECT_VALUE(Call("SUBSTR", {"abcdef", 2, 3}), "bcd");
  EXPECT_VALUE(Call("SUBSTR", {"abcdef", -2}), "ef");
  EXPECT_VALUE(Call("SUBSTR", {"abcdef", 0, 2}), "ab");
  EXPECT_VALUE(Call("SUBSTR", {"abc", 5}), "");
  EXPECT_VALUE(Call("SUBSTR", {"abc", 4}), "");
  EXPECT_VALUE(Call("SUBSTR", {"abc", -10, 2}), "ab");
  EXPECT_VALUE(Call("SUBSTR", {"abc", 2, 0}), "");
  EXPECT_VALUE(Call("SUBSTR", {"abc", 2, -1}), "");
  EXPECT_VALUE(Call("SUBSTR", {"abc", 2, 99}), "bc");
  EXPECT_VALUE(Call("SUBSTR", {"abc", 2, Value()}), "bc");
  EXPECT_VALUE(Call("SUBSTR", {"abc", Value()}), "[Funcion SubStr no valida]");
}

TEST_F(FuncText, StrPosFindsTheNthOccurrenceFromZero) {
  EXPECT_VALUE(Call("STRPOS", {"a-b-c", "-", 2}), 3);
  EXPECT_VALUE(Call("STRPOS", {"a-b-c", "-"}), 1);
  EXPECT_VALUE(Call("STRPOS", {"abc", "a"}), 0);
  EXPECT_VALUE(Call("STRPOS", {"abc", "x"}), -1);
  EXPECT_VALUE(Call("STRPOS", {"abc", "a", 0}), -1);
  EXPECT_VALUE(Call("STRPOS", {"a-b-c", "-", 3}), -1);
  EXPECT_VALUE(Call("STRPOS", {"abc", "a", "x"}), -1);
  EXPECT_VALUE(Call("STRPOS", {"a b", " "}), -1);
  EXPECT_VALUE(Call("STRPOS", {"abc", ""}), -1);
  // Occurrences do not overlap.
  EXPECT_VALUE(Call("STRPOS", {"aaaa", "aa", 2}), 2);
  EXPECT_VALUE(Call("STRPOS", {"aaa", "aa", 2}), -1);
}

TEST_F(FuncText, StrTranReplacesFromStartAtMostCount) {
  EXPECT_VALUE(Call("STRTRAN", {"aaaa", "a", "b", 2, 2}), "abba");
  EXPECT_VALUE(Call("STRTRAN", {"abc", "", "x"}), "abc");
  EXPECT_VALUE(Call("STRTRAN", {"a.b.c", "."}), "abc");
  EXPECT_VALUE(Call("STRTRAN", {"a.b.c", ".", "--"}), "a--b--c");
  EXPECT_VALUE(Call("STRTRAN", {"aaaa", "a", "b", 1, 0}), "aaaa");
  EXPECT_VALUE(Call("STRTRAN", {"aaaa", "a", "b", -5, 1}), "baaa");
  EXPECT_VALUE(Call("STRTRAN", {"aaaa", "a", "b", 10}), "aaaa");
  EXPECT_VALUE(Call("STRTRAN", {"aaaa", "aa", "a"}), "aa");
  // A replacement that contains the search text is not searched again.
  EXPECT_VALUE(Call("STRTRAN", {"ab", "a", "aa"}), "aab");
}

TEST_F(FuncText, SearchTrimCaseAndEmptiness) {
  EXPECT_VALUE(Call("AT", {"b", "abcb"}), 2);
  EXPECT_VALUE(Call("RAT", {"b", "abcb"}), 4);
  EXPECT_VALUE(Call("AT", {"", "abc"}), 0);
  EXPECT_VALUE(Call("RAT", {"x", "abc"}), 0);
  EXPECT_VALUE(Call("CONTAINS", {"abc", ""}), true);
  EXPECT_VALUE(Call("CONTAINS", {"abc", "  "}), true);
  EXPECT_VALUE(Call("CONTAINS", {Value(), "a"}), false);
  EXPECT_VALUE(Call("CONTAINS", {"abc", Value()}), false);
  EXPECT_VALUE(Call("CONTAINS", {"abc", "B"}), false);
  EXPECT_VALUE(Call("CONTAINS", {"abc", "bc"}), true);
  EXPECT_VALUE(Call("ALLTRIM", {"\r\n  ab  "}), "ab");
  EXPECT_VALUE(Call("LTRIM", {"\t ab "}), "ab ");
  EXPECT_VALUE(Call("RTRIM", {" ab \t"}), " ab \t");
  EXPECT_VALUE(Call("UPPER", {"añb"}), "AñB");
  EXPECT_VALUE(Call("LOWER", {"ÁBC"}), "Ábc");
  EXPECT_VALUE(Call("UPPER", {}), "");
  EXPECT_VALUE(Call("EMPTY", {0}), true);
  EXPECT_VALUE(Call("EMPTY", {"  "}), true);
  EXPECT_VALUE(Call("EMPTY", {Value()}), true);
  EXPECT_VALUE(Call("EMPTY", {true}), false);
  EXPECT_VALUE(Call("EMPTY", {false}), true);
  EXPECT_VALUE(Call("EMPTY", {Value::NewArray()}), true);
  EXPECT_VALUE(Call("EMPTY", {Date{}}), false);
  EXPECT_VALUE(Call("EMPTY", {"x"}), false);
  EXPECT_VALUE(Call("ISNULL", {Value()}), true);
  EXPECT_VALUE(Call("ISNULL", {""}), false);
  EXPECT_VALUE(Call("NULL"), Value());
  EXPECT_VALUE(Call("CHR", {65}), "A");
  EXPECT_VALUE(Call("CHR", {"321"}), "A");
}

TEST_F(FuncNumbers, AbsIntExp10AndColours) {
  EXPECT_VALUE(Call("ABS", {"-5"}), 5);
  EXPECT_VALUE(Call("ABS", {-7}), 7);
  EXPECT_EQ(NumberShown(Call("ABS", {Value(-2.5)})), "2.5");
  EXPECT_VALUE(Call("INT", {"-3.9"}), -3);
  EXPECT_VALUE(Call("INT", {Value(7.99)}), 7);
  EXPECT_VALUE(Call("EXP10", {2}), 100);
  EXPECT_VALUE(Call("EXP10", {"0"}), 1);
  EXPECT_VALUE(Call("EXP10", {400}), "[Funcion Exp10 no valida]");
  EXPECT_EQ(NumberShown(Call("EXP10", {-1})), "0.10");
  EXPECT_VALUE(Call("RGB", {255, 0, 128}), "#ff0080");
  EXPECT_VALUE(Call("RGB", {300, -4, 16}), "#ff0010");
  EXPECT_VALUE(Call("RGB", {"x", "15.9", Value(true)}), "#000f01");
}

TEST_F(FuncMax, LargestValueFirstOfEqualsNeverFails) {
  EXPECT_VALUE(Call("MAX", {3, 7, 7, 2}), 7);
  EXPECT_VALUE(Call("MAX"), Value());
  EXPECT_VALUE(Call("MAX", {"b", "a", "c"}), "c");
  EXPECT_VALUE(Call("MAX", {Value(Date{10}), Value(Date{30}), Value(Date{20})}), Value(Date{30}));
  // The first of equal maxima wins: 7 and 7.0 are equal.
  Value first = Call("MAX", {7, Value(7.0)});
  ASSERT_TRUE(first.IsNumber());
  EXPECT_TRUE(first.AsNumber().isInteger);
  // Mixed kinds: a nil maximum gives way, values that cannot be compared are passed over.
  EXPECT_VALUE(Call("MAX", {Value(), 4, Value(), 9}), 9);
  EXPECT_VALUE(Call("MAX", {3, "x", 7}), 7);
  EXPECT_VALUE(Call("MAX", {"x", 3, "y"}), "y");
  EXPECT_VALUE(Call("MAX", {Value(), Value()}), Value());
  EXPECT_VALUE(Call("MAX", {Value::NewHash(), Value::NewHash()}).IsHash(), true);
  EXPECT_VALUE(TFuncFormulas::MaxArray(Value("x")), Value());
  EXPECT_VALUE(TFuncFormulas::MaxArray(Value::NewArray()), Value());
}

class FuncFilesInDir : public FuncTest {
 protected:
  std::filesystem::path saved;
  std::filesystem::path dir;

  void SetUp() override {
    saved = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() / ("nv_funcs_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "public" / "sub");
    std::filesystem::current_path(dir);
    std::ofstream(dir / "top.txt") << "top";
    std::ofstream(dir / "public" / "x.txt") << "in public";
    std::ofstream(dir / "public" / "sub" / "y.txt", std::ios::binary) << std::string("a\0b", 3);
  }
  void TearDown() override {
    std::filesystem::current_path(saved);
    std::filesystem::remove_all(dir);
    FuncTest::TearDown();
  }
};

TEST_F(FuncFilesInDir, LoadFileTriesThePublicFolder) {
  EXPECT_VALUE(Call("LOADFILE", {"missing.txt", "none"}), "none");
  EXPECT_VALUE(Call("LOADFILE", {"missing.txt"}), "");
  EXPECT_VALUE(Call("LOADFILE", {"  top.txt "}), "top");
  EXPECT_VALUE(Call("LOADFILE", {"x.txt"}), "in public");
  EXPECT_VALUE(Call("LOADFILE", {"public/x.txt"}), "in public");
  EXPECT_VALUE(Call("LOADFILE", {"PUBLIC/x.txt"}), "in public");
  EXPECT_VALUE(Call("LOADFILE", {"sub/y.txt"}), std::string("a\0b", 3));
  // A folder is no file.
  EXPECT_VALUE(Call("LOADFILE", {"public", "dir"}), "dir");
  EXPECT_VALUE(Call("LOADFILE", {"", "blank"}), "blank");
  EXPECT_VALUE(Call("HB_MEMOREAD", {"x.txt"}), "in public");
  EXPECT_VALUE(Call("HB_MEMOREAD", {"nothing"}), "");
  EXPECT_VALUE(TFuncFormulas::ResolverRutaFichero(Value("x.txt")), "public/x.txt");
  EXPECT_VALUE(TFuncFormulas::ResolverRutaFichero(Value("  ")), "");
}

TEST_F(FuncText, BarcodeReportsBadArgumentsInsideItsHash) {
  Value result = Call("BARCODE", {"123"});
  ASSERT_TRUE(result.IsHash());
  EXPECT_VALUE(HGet(result, "tipo"), "barcode");
  EXPECT_VALUE(HGet(result, "error"), "Funcion Barcode no valida");
  EXPECT_VALUE(HGet(Call("BARCODE", {Value(), "EAN13"}), "error"), "Funcion Barcode no valida");
}

TEST_F(FuncText, BarcodeEncodesThroughTheBarcodeLibrary) {
  Value ean = Call("BARCODE", {"400638133393", "EAN13"});
  ASSERT_TRUE(ean.IsHash());
  EXPECT_VALUE(HGet(ean, "tipo"), "barcode");
  EXPECT_VALUE(HGet(ean, "barcodeTipo"), "EAN13");
  EXPECT_VALUE(HGet(ean, "texto"), "4006381333931");
  EXPECT_EQ(HGet(ean, "bits").Len(), 95u);
  Value qr = Call("BARCODE", {"Dulces Orbanel", "QR"});
  EXPECT_VALUE(HGet(qr, "barcodeTipo"), "QR");
  EXPECT_TRUE(HGet(qr, "matriz").IsArray());
  // An unsupported type is an error result, not a failure.
  Value bad = Call("BARCODE", {"123", "NOPE"});
  ASSERT_TRUE(bad.IsHash());
  EXPECT_VALUE(HGet(bad, "barcodeTipo"), "");
}
