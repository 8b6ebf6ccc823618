#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "Accessors.h"
#include "BarcodeReader.h"
#include "barcode/TBarcodeUtil.h"
#include "Value.h"

using namespace nv;

namespace {

Value Make(const Value& content, const Value& type) { return TBarcodeUtil::New()->Crear(content, type); }

std::string ErrorOf(const Value& result) { return ValueString(HGet(result, "error")); }

std::string BitsOf(const Value& result) { return ValueString(HGet(result, "bits")); }

std::vector<std::string> KeysOf(const Value& hash) {
  std::vector<std::string> keys;
  const Value list = HashKeys(hash);
  for (const Value& key : list.AsArray()) keys.push_back(key.AsString());
  return keys;
}

std::vector<int> Values(std::string_view text, bool gs1 = false) { return TBarcodeUtil::Code128Values(text, gs1); }

/// The symbol values with the check value recomputed by the weighted sum, for comparison.
std::vector<int> WithCheckAndStop(std::vector<int> values) {
  int sum = values[0];
  for (size_t i = 1; i < values.size(); ++i) sum += values[i] * static_cast<int>(i);
  values.push_back(sum % 103);
  values.push_back(106);
  return values;
}

}  // namespace

TEST(BarcodeUtil, NormalisesTypeNames) {
  auto util = TBarcodeUtil::New();
  const std::vector<std::pair<Value, std::string>> cases = {
      {Value("ean-13"), "EAN13"},     {Value("Ean 13"), "EAN13"},      {Value("EAN_8"), "EAN8"},
      {Value("Code-128"), "CODE128"}, {Value("code 128"), "CODE128"},  {Value("GS1-128"), "EAN128"},
      {Value("gs1_128"), "EAN128"},   {Value("ean128"), "EAN128"},     {Value("QR Code"), "QR"},
      {Value("qr"), "QR"},            {Value("Data Matrix"), "DATAMATRIX"}, {Value("data-matrix\xC3\xA9"), "DATAMATRIX"},
      {Value("PDF417"), ""},          {Value(), ""},                   {Value(""), ""},
      {Value(13), ""},                {Value(true), ""},               {Value::NewHash(), ""},
  };
  for (const auto& [type, canonical] : cases) {
    EXPECT_EQ(util->NormalizarTipo(type).AsString(), canonical) << ValueString(type);
  }
  EXPECT_TRUE(util->RespondsTo("crear"));
  EXPECT_TRUE(util->RespondsTo("NormalizarTipo"));
  EXPECT_FALSE(util->RespondsTo("Code128Bits"));
}

TEST(BarcodeUtil, Ean13AppendsOrChecksTheCheckDigit) {
  const Value result = Make(Value("123456789012"), Value("EAN13"));
  EXPECT_EQ(KeysOf(result), (std::vector<std::string>{"tipo", "barcodeTipo", "texto", "bits", "margenIzquierdoModulos",
                                                      "margenDerechoModulos", "mostrarTexto"}));
  EXPECT_EQ(result["tipo"].AsString(), "barcode");
  EXPECT_EQ(result["barcodeTipo"].AsString(), "EAN13");
  EXPECT_EQ(result["texto"].AsString(), "1234567890128");
  EXPECT_EQ(result["margenIzquierdoModulos"].AsNumber().i, 11);
  EXPECT_EQ(result["margenDerechoModulos"].AsNumber().i, 7);
  EXPECT_TRUE(result["mostrarTexto"].AsBool());
  const std::string bits = BitsOf(result);
  ASSERT_EQ(bits.size(), 95u);
  EXPECT_EQ(bits.substr(0, 3), "101");
  EXPECT_EQ(bits.substr(45, 5), "01010");
  EXPECT_EQ(bits.substr(92), "101");
  // First digit 1 selects LLGLGG: digit 2 ("2") in set A, digit 4 ("4") in set B.
  EXPECT_EQ(bits.substr(3, 7), "0010011");
  EXPECT_EQ(bits.substr(17, 7), "0011101");
  // Right half in set C: digit 13 is the check digit 8.
  EXPECT_EQ(bits.substr(85, 7), "1001000");

  EXPECT_EQ(BitsOf(Make(Value("1234567890128"), Value("EAN13"))), bits);
  EXPECT_EQ(Make(Value::Int(123456789012), Value("EAN13"))["texto"].AsString(), "1234567890128");
  EXPECT_EQ(Make(Value::Dbl(123456789012.0, 2), Value("ean-13"))["texto"].AsString(), "1234567890128");

  // The reference digits of the three number sets: 0 and 9.
  const std::string zeros = BitsOf(Make(Value("000000000000"), Value("EAN13")));
  EXPECT_EQ(zeros.substr(3, 7), "0001101");
  EXPECT_EQ(zeros.substr(50, 7), "1110010");
  const std::string nines = BitsOf(Make(Value("099999999999"), Value("EAN13")));
  EXPECT_EQ(nines.substr(3, 7), "0001011");
  EXPECT_EQ(nines.substr(50, 7), "1110100");
  const std::string gNines = BitsOf(Make(Value("199999999999"), Value("EAN13")));
  EXPECT_EQ(gNines.substr(17, 7), "0010111");
  EXPECT_EQ(gNines.substr(10, 7), "0001011");

  EXPECT_EQ(ErrorOf(Make(Value("1234567890120"), Value("EAN13"))), "Digito de control EAN-13 no valido.");
  EXPECT_EQ(ErrorOf(Make(Value(" 123456789012"), Value("EAN13"))), "EAN-13 debe contener 12 o 13 digitos.");
  EXPECT_EQ(ErrorOf(Make(Value("12345678901"), Value("EAN13"))), "EAN-13 debe contener 12 o 13 digitos.");
  EXPECT_EQ(ErrorOf(Make(Value("12345678901A"), Value("EAN13"))), "EAN-13 debe contener 12 o 13 digitos.");
  EXPECT_EQ(ErrorOf(Make(Value(""), Value("EAN13"))), "EAN-13 debe contener 12 o 13 digitos.");
  EXPECT_EQ(ErrorOf(Make(Value(true), Value("EAN13"))), "EAN-13 debe contener 12 o 13 digitos.");
}

TEST(BarcodeUtil, Ean8AppendsOrChecksTheCheckDigit) {
  const Value result = Make(Value("1234567"), Value("EAN-8"));
  EXPECT_EQ(result["barcodeTipo"].AsString(), "EAN8");
  EXPECT_EQ(result["texto"].AsString(), "12345670");
  EXPECT_EQ(result["margenIzquierdoModulos"].AsNumber().i, 7);
  EXPECT_EQ(result["margenDerechoModulos"].AsNumber().i, 7);
  const std::string bits = BitsOf(result);
  ASSERT_EQ(bits.size(), 67u);
  EXPECT_EQ(bits.substr(0, 3), "101");
  EXPECT_EQ(bits.substr(31, 5), "01010");
  EXPECT_EQ(bits.substr(64), "101");
  EXPECT_EQ(bits.substr(3, 7), "0011001");   // 1 in set A
  EXPECT_EQ(bits.substr(57, 7), "1110010");  // check digit 0 in set C
  EXPECT_EQ(TBarcodeUtil::Ean8CheckDigit("9638507"), 4);
  EXPECT_EQ(Make(Value("96385074"), Value("EAN8"))["texto"].AsString(), "96385074");
  EXPECT_EQ(ErrorOf(Make(Value("96385075"), Value("EAN8"))), "Digito de control EAN-8 no valido.");
  EXPECT_EQ(ErrorOf(Make(Value(""), Value("EAN8"))), "EAN-8 debe contener 7 u 8 digitos.");
  EXPECT_EQ(ErrorOf(Make(Value("123456789"), Value("EAN8"))), "EAN-8 debe contener 7 u 8 digitos.");
}

TEST(BarcodeUtil, Code128SwitchesBetweenSetsBAndC) {
  EXPECT_EQ(Values("12345"), WithCheckAndStop({105, 12, 34, 100, 21}));
  EXPECT_EQ(Values("AB123456"), WithCheckAndStop({104, 33, 34, 99, 12, 34, 56}));
  EXPECT_EQ(Values("A12345"), WithCheckAndStop({104, 33, 17, 99, 23, 45}));
  EXPECT_EQ(Values("123"), WithCheckAndStop({104, 17, 18, 19}));
  EXPECT_EQ(Values("1234"), WithCheckAndStop({105, 12, 34}));
  EXPECT_EQ(Values("12AB"), WithCheckAndStop({104, 17, 18, 33, 34}));
  EXPECT_EQ(Values("1234A5678"), WithCheckAndStop({105, 12, 34, 100, 33, 99, 56, 78}));
  EXPECT_EQ(Values("X1234Y"), WithCheckAndStop({104, 56, 99, 12, 34, 100, 57}));
  EXPECT_EQ(Values("12345")[5], (105 + 12 + 2 * 34 + 3 * 100 + 4 * 21) % 103);

  const Value abc = Make(Value("ABC"), Value("Code 128"));
  EXPECT_EQ(BitsOf(abc).size(), 68u);
  EXPECT_EQ(BitsOf(abc).substr(0, 11), "11010010000");    // Start B, 211214
  EXPECT_EQ(BitsOf(abc).substr(55), "1100011101011");     // Stop, 2331112
  EXPECT_EQ(abc["margenIzquierdoModulos"].AsNumber().i, 10);
  EXPECT_EQ(abc["margenDerechoModulos"].AsNumber().i, 10);
  EXPECT_EQ(abc["barcodeTipo"].AsString(), "CODE128");
  EXPECT_EQ(BitsOf(Make(Value("0000"), Value("CODE128"))).substr(11, 11), "11011001100");  // value 0, 212222

  EXPECT_EQ(Make(Value(true), Value("CODE128"))["texto"].AsString(), "1");
  EXPECT_EQ(Make(Value::Int(-42), Value("CODE128"))["texto"].AsString(), "-42");
  EXPECT_EQ(ErrorOf(Make(Value(""), Value("CODE128"))), "Contenido de codigo de barras vacio.");
  EXPECT_EQ(ErrorOf(Make(Value(false), Value("CODE128"))), "Contenido de codigo de barras vacio.");
  EXPECT_EQ(ErrorOf(Make(Value("A\tB"), Value("CODE128"))), "CODE128 admite caracteres ASCII imprimibles.");
  EXPECT_EQ(ErrorOf(Make(Value("A\x1D" "B"), Value("CODE128"))), "CODE128 admite caracteres ASCII imprimibles.");
  EXPECT_EQ(ErrorOf(Make(Value("caf\xC3\xA9"), Value("CODE128"))), "CODE128 admite caracteres ASCII imprimibles.");
  EXPECT_EQ(ErrorOf(Make(Value("\x7F"), Value("CODE128"))), "CODE128 admite caracteres ASCII imprimibles.");
  EXPECT_EQ(ErrorOf(Make(Value("1234\xFF"), Value("CODE128"))), "CODE128 admite caracteres ASCII imprimibles.");
  EXPECT_TRUE(Values("\x80").empty());
  // A long text never runs out of room.
  EXPECT_EQ(BitsOf(Make(Value(std::string(5000, '7')), Value("CODE128"))).size(), (1 + 2500 + 1) * 11 + 13u);
}

TEST(BarcodeUtil, Gs1ModeAddsFnc1AndTurnsGroupSeparatorsIntoFnc1) {
  EXPECT_EQ(Values("0112345678901231", true), WithCheckAndStop({105, 102, 1, 12, 34, 56, 78, 90, 12, 31}));
  EXPECT_EQ(Values("10AB\x1D" "3712", true), WithCheckAndStop({104, 102, 17, 16, 33, 34, 102, 99, 37, 12}));
  EXPECT_EQ(Values("10123\x1D" "37", true), WithCheckAndStop({105, 102, 10, 12, 100, 19, 102, 19, 23}));
  EXPECT_EQ(Values("A\x1D" "1234", true), WithCheckAndStop({104, 102, 33, 102, 99, 12, 34}));
  // Separators before the first element are left out (a second leading FNC1 reads as a marker).
  EXPECT_EQ(Values("\x1D", true), WithCheckAndStop({104, 102}));
  EXPECT_EQ(Values("\x1D\x1D" "0112", true), Values("0112", true));

  const Value result = Make(Value("10AB\x1D" "3712"), Value("GS1-128"));
  EXPECT_EQ(result["barcodeTipo"].AsString(), "EAN128");
  EXPECT_EQ(result["texto"].AsString(), "10AB\x1D" "3712");
  EXPECT_EQ(ErrorOf(Make(Value("10\tA"), Value("EAN128"))), "EAN128 admite ASCII imprimible y separadores GS.");
  EXPECT_EQ(ErrorOf(Make(Value("10\xC3\xA9"), Value("gs1_128"))), "EAN128 admite ASCII imprimible y separadores GS.");
  EXPECT_EQ(ErrorOf(Make(Value(""), Value("EAN128"))), "Contenido de codigo de barras vacio.");
}

TEST(BarcodeUtil, MatrixResultsAndTheirLimits) {
  const Value qr = Make(Value("Norvane"), Value("QR Code"));
  EXPECT_EQ(KeysOf(qr),
            (std::vector<std::string>{"tipo", "barcodeTipo", "texto", "matriz", "margenModulos", "mostrarTexto"}));
  EXPECT_EQ(qr["barcodeTipo"].AsString(), "QR");
  EXPECT_EQ(qr["texto"].AsString(), "Norvane");
  EXPECT_EQ(qr["matriz"].Len(), 21u);
  EXPECT_EQ(qr["matriz"].Item(1).AsString().substr(0, 7), "1111111");
  EXPECT_EQ(qr["margenModulos"].AsNumber().i, 4);

  const Value dm = Make(Value::Int(123456), Value("datamatrix"));
  EXPECT_EQ(dm["barcodeTipo"].AsString(), "DATAMATRIX");
  EXPECT_EQ(dm["texto"].AsString(), "123456");
  EXPECT_EQ(dm["matriz"].Len(), 10u);
  EXPECT_EQ(dm["margenModulos"].AsNumber().i, 1);

  EXPECT_EQ(Make(Value(std::string(271, 'q')), Value("QR"))["matriz"].Len(), 57u);
  EXPECT_EQ(ErrorOf(Make(Value(std::string(272, 'q')), Value("QR"))), "QR admite hasta 271 bytes en esta version.");
  EXPECT_EQ(ErrorOf(Make(Value(std::string(145, 'q')), Value("DATAMATRIX"))), "Contenido Data Matrix demasiado largo.");
  EXPECT_EQ(ErrorOf(Make(Value(""), Value("QR"))), "Contenido de codigo de barras vacio.");
  EXPECT_EQ(ErrorOf(Make(Value(), Value("DATAMATRIX"))), "Contenido de codigo de barras vacio.");
}

TEST(BarcodeUtil, NeverRaisesWhateverTheContent) {
  const Value error = Make(Value("123"), Value("PDF417"));
  EXPECT_EQ(KeysOf(error), (std::vector<std::string>{"tipo", "barcodeTipo", "texto", "error"}));
  EXPECT_EQ(error["tipo"].AsString(), "barcode");
  EXPECT_EQ(error["barcodeTipo"].AsString(), "");
  EXPECT_EQ(error["texto"].AsString(), "");
  EXPECT_EQ(ErrorOf(error), "Tipo de codigo de barras no soportado.");
  EXPECT_EQ(ErrorOf(Make(Value("123"), Value())), "Tipo de codigo de barras no soportado.");

  Value array = Value::NewArray();
  array.Append(1);
  Value hash = Value::NewHash();
  hash.Set("k", Value("v"));
  const std::vector<Value> contents = {
      Value(), Value(false), Value(true), Value::Dbl(2.5, 1), Value::Int(-7), Value(Date{2460000}),
      Value(Timestamp{2460000, 1000}), array, hash, Value(TBarcodeUtil::New()),
      Value::Block([](std::span<const Value>) { return Value(); }), Value(std::string(100000, '\xE9')),
      Value(std::string("\0\0", 2)), Value::Dbl(1e25, 0), Value::Dbl(-1e300, 2), Value::Dbl(std::numeric_limits<double>::quiet_NaN(), 2),
  };
  for (const char* type : {"EAN13", "EAN8", "CODE128", "EAN128", "QR", "DATAMATRIX", "nada"}) {
    for (const Value& content : contents) {
      Value result;
      EXPECT_NO_THROW(result = Make(content, Value(type))) << type;
      EXPECT_EQ(ValueString(HGet(result, "tipo")), "barcode");
      EXPECT_TRUE(HHas(result, "error") || HHas(result, "bits") || HHas(result, "matriz"));
    }
  }
  EXPECT_EQ(Make(Value(std::string("A\0B", 3)), Value("QR"))["texto"].Len(), 3u);
}

namespace {

std::optional<reader::Decoded> ReadLinear(const Value& result, ZXing::BarcodeFormat format) {
  const std::string bits = BitsOf(result);
  const int left = static_cast<int>(ValueInt(HGet(result, "margenIzquierdoModulos")));
  const int right = static_cast<int>(ValueInt(HGet(result, "margenDerechoModulos")));
  return reader::Decode(reader::RenderLinear(bits, left, right, 3, 60), format);
}

}  // namespace

TEST(BarcodeUtilReader, ReadsEveryLinearSymbology) {
  for (const char* code : {"123456789012", "000000000000", "978020137962", "590123412345", "999999999999"}) {
    const Value result = Make(Value(code), Value("EAN13"));
    const auto decoded = ReadLinear(result, ZXing::BarcodeFormat::EAN13);
    ASSERT_TRUE(decoded.has_value()) << code;
    EXPECT_EQ(decoded->bytes, result["texto"].AsString());
  }
  for (const char* code : {"1234567", "9638507", "0000000", "5512345"}) {
    const Value result = Make(Value(code), Value("EAN8"));
    const auto decoded = ReadLinear(result, ZXing::BarcodeFormat::EAN8);
    ASSERT_TRUE(decoded.has_value()) << code;
    EXPECT_EQ(decoded->bytes, result["texto"].AsString());
  }
  std::string printable;
  for (int c = 32; c <= 126; ++c) printable.push_back(static_cast<char>(c));
  for (const std::string& text : {std::string("ABC"), std::string("12345"), std::string("AB123456"),
                                  std::string("A12345"), std::string("1234A5678"), std::string("X"),
                                  std::string("00"), std::string("Norvane 2026-12-09 #42"), printable}) {
    const auto decoded = ReadLinear(Make(Value(text), Value("CODE128")), ZXing::BarcodeFormat::Code128);
    ASSERT_TRUE(decoded.has_value()) << text;
    EXPECT_EQ(decoded->bytes, text);
    EXPECT_EQ(decoded->symbology, "]C0");
  }
}

TEST(BarcodeUtilReader, LeadingGroupSeparatorsOfGs1ContentAreNotEncoded) {
  // Encoded, a leading separator became an FNC1 in second place, which a scanner reads as an
  // application marker: the symbol did not read back as its content.
  const Value result = Make(Value(std::string("\x1d\x1d" "0109501101530003")), Value("GS1-128"));
  EXPECT_EQ(result["texto"].AsString(), "\x1d\x1d" "0109501101530003");
  EXPECT_EQ(BitsOf(result), BitsOf(Make(Value("0109501101530003"), Value("GS1-128"))));
  const auto decoded = ReadLinear(result, ZXing::BarcodeFormat::Code128);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->symbology, "]C1");
  EXPECT_EQ(decoded->bytes, "0109501101530003");
}

TEST(BarcodeUtilReader, ReadsGs1WithGroupSeparators) {
  for (const std::string& text : {std::string("0109501101530003"), std::string("0109501101530003\x1D" "10ABC123"),
                                  std::string("10ABC\x1D" "21XYZ\x1D" "3710"), std::string("17261231")}) {
    const auto decoded = ReadLinear(Make(Value(text), Value("GS1-128")), ZXing::BarcodeFormat::Code128);
    ASSERT_TRUE(decoded.has_value()) << text;
    // The leading FNC1 marks the symbol as GS1; later ones come back as group separators.
    EXPECT_EQ(decoded->symbology, "]C1");
    EXPECT_EQ(decoded->bytes, text);
  }
}
