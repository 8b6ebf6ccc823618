#include "barcode/TBarcodeUtil.h"

#include <array>
#include <utility>

#include "Accessors.h"
#include "barcode/DataMatrix.h"
#include "barcode/QrCode.h"

namespace nv {

namespace {

/// Bar and space widths of the Code 128 symbol characters 0 to 105 and the stop (106), which
/// carries the final two-module bar.
constexpr std::array<std::string_view, 107> CODE128_WIDTHS = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};

/// EAN/UPC number set A (L) of each digit; set C (R) is its complement and set B (G) the
/// reverse of set C.
constexpr std::array<std::string_view, 10> EAN_SET_A = {
    "0001101", "0011001", "0010011", "0111101", "0100011", "0110001", "0101111", "0111011", "0110111", "0001011",
};

/// Which of sets A (L) and B (G) the six left-half digits of an EAN-13 use, by the first digit.
constexpr std::array<std::string_view, 10> EAN13_PARITY = {
    "LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG", "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL",
};

using EanDigit = std::array<char, 7>;
struct EanSets {
  std::array<EanDigit, 10> a{}, b{}, c{};
};

constexpr EanSets MakeEanSets() {
  EanSets sets;
  for (size_t d = 0; d < 10; ++d) {
    for (size_t k = 0; k < 7; ++k) {
      const char l = EAN_SET_A[d][k];
      const char r = l == '1' ? '0' : '1';
      sets.a[d][k] = l;
      sets.c[d][k] = r;
      sets.b[d][6 - k] = r;
    }
  }
  return sets;
}
constexpr EanSets EAN_SETS = MakeEanSets();

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

/// Counts consecutive ASCII digits from 0-based index `from`.
size_t DigitRunFrom(std::string_view text, size_t from) {
  size_t n = 0;
  while (from + n < text.size() && IsDigit(static_cast<unsigned char>(text[from + n]))) ++n;
  return n;
}

std::string WidthsToModules(std::string_view widths) {
  std::string modules;
  for (size_t i = 0; i < widths.size(); ++i) {
    const unsigned char w = static_cast<unsigned char>(widths[i]);
    if (!IsDigit(w)) continue;
    modules.append(static_cast<size_t>(w - '0'), i % 2 == 0 ? '1' : '0');
  }
  return modules;
}

/// The module strings of all Code 128 symbol values, built once from the width table.
const std::array<std::string, 107>& Code128ModuleTable() {
  static const std::array<std::string, 107> table = [] {
    std::array<std::string, 107> all;
    for (size_t v = 0; v < all.size(); ++v) all[v] = WidthsToModules(CODE128_WIDTHS[v]);
    return all;
  }();
  return table;
}

void AppendEan(std::string& out, const EanDigit& digit) { out.append(digit.data(), digit.size()); }

Value ErrorResult(std::string_view message) {
  auto hash = std::make_shared<Hash>();
  hash->reserve(4);
  hash->Put("tipo", Value("barcode"));
  hash->Put("barcodeTipo", Value(""));
  hash->Put("texto", Value(""));
  hash->Put("error", Value(message));
  return Value(std::move(hash));
}

Value LinearResult(std::string_view type, std::string text, std::string bits, int left, int right) {
  auto hash = std::make_shared<Hash>();
  hash->reserve(7);
  hash->Put("tipo", Value("barcode"));
  hash->Put("barcodeTipo", Value(type));
  hash->Put("texto", Value(std::move(text)));
  hash->Put("bits", Value(std::move(bits)));
  hash->Put("margenIzquierdoModulos", Value::Int(left));
  hash->Put("margenDerechoModulos", Value::Int(right));
  hash->Put("mostrarTexto", Value(true));
  return Value(std::move(hash));
}

Value MatrixResult(std::string_view type, const std::string& text, Value rows, int margin) {
  auto hash = std::make_shared<Hash>();
  hash->reserve(6);
  hash->Put("tipo", Value("barcode"));
  hash->Put("barcodeTipo", Value(type));
  hash->Put("texto", Value(text));
  hash->Put("matriz", std::move(rows));
  hash->Put("margenModulos", Value::Int(margin));
  hash->Put("mostrarTexto", Value(true));
  return Value(std::move(hash));
}

const std::string& TextOf(const Value& v) {
  static const std::string empty;
  return v.IsString() ? v.AsString() : empty;
}

}  // namespace

std::shared_ptr<TBarcodeUtil> TBarcodeUtil::New() { return std::make_shared<TBarcodeUtil>(); }

bool TBarcodeUtil::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Crear", "NormalizarTipo"}) || Object::RespondsTo(name);
}

Value TBarcodeUtil::Create(const Value& content, const Value& type) {
  TBarcodeUtil util;
  return util.Crear(content, type);
}

std::string_view TBarcodeUtil::CanonicalType(std::string_view type) {
  std::string cleaned;
  cleaned.reserve(type.size());
  for (unsigned char c : type) {
    if (c >= 'a' && c <= 'z') {
      cleaned.push_back(static_cast<char>(c - 'a' + 'A'));
    } else if ((c >= 'A' && c <= 'Z') || IsDigit(c)) {
      cleaned.push_back(static_cast<char>(c));
    }
  }
  if (cleaned == "EAN13") return "EAN13";
  if (cleaned == "EAN8") return "EAN8";
  if (cleaned == "CODE128") return "CODE128";
  if (cleaned == "EAN128" || cleaned == "GS1128") return "EAN128";
  if (cleaned == "DATAMATRIX") return "DATAMATRIX";
  if (cleaned == "QR" || cleaned == "QRCODE") return "QR";
  return "";
}

Value TBarcodeUtil::Crear(const Value& content, const Value& type) {
  // Type names are short and almost always texts: clean them without building Values.
  const std::string_view canonical = CanonicalType(type.IsString() ? type.AsString() : nv::ValorAString(type));
  if (canonical.empty()) return Error(Value("Tipo de codigo de barras no soportado."));
  // A text content is used as it stands; other kinds are converted once.
  const Value converted = content.IsString() ? Value() : ValorComoTexto(content);
  const Value& text = content.IsString() ? content : converted;
  if (canonical == "EAN13") return CrearEAN13(text);
  if (canonical == "EAN8") return CrearEAN8(text);
  const std::string& bytes = TextOf(text);
  if (bytes.empty()) return Error(Value("Contenido de codigo de barras vacio."));
  if (canonical == "CODE128") return CrearCode128(text, Value(false));
  if (canonical == "EAN128") return CrearCode128(text, Value(true));
  if (canonical == "DATAMATRIX") {
    const DataMatrix symbol = DataMatrix::Encode(bytes);
    if (symbol.IsEmpty()) return Error(Value("Contenido Data Matrix demasiado largo."));
    return MatrixResult("DATAMATRIX", bytes, symbol.Matrix().ToRows(), 1);
  }
  const QrCode symbol = QrCode::Encode(bytes);
  if (symbol.IsEmpty()) return Error(Value("QR admite hasta 271 bytes en esta version."));
  return MatrixResult("QR", bytes, symbol.Matrix().ToRows(), 4);
}

Value TBarcodeUtil::NormalizarTipo(const Value& type) {
  return Value(CanonicalType(TextOf(SoloLetrasNumerosAscii(ValorComoTexto(type)))));
}

int TBarcodeUtil::Ean13CheckDigit(std::string_view digits) {
  int sum = 0;
  for (size_t i = 0; i < 12 && i < digits.size(); ++i) {
    const int d = IsDigit(static_cast<unsigned char>(digits[i])) ? digits[i] - '0' : 0;
    sum += i % 2 == 0 ? d : 3 * d;
  }
  return (10 - sum % 10) % 10;
}

int TBarcodeUtil::Ean8CheckDigit(std::string_view digits) {
  int sum = 0;
  for (size_t i = 0; i < 7 && i < digits.size(); ++i) {
    const int d = IsDigit(static_cast<unsigned char>(digits[i])) ? digits[i] - '0' : 0;
    sum += i % 2 == 0 ? 3 * d : d;
  }
  return (10 - sum % 10) % 10;
}

std::string TBarcodeUtil::Ean13Modules(std::string_view digits) {
  if (digits.size() != 13 || !AllDigits(digits)) return "";
  auto digit = [&](size_t i) { return static_cast<size_t>(digits[i] - '0'); };
  const std::string_view parity = EAN13_PARITY[digit(0)];
  std::string out;
  out.reserve(95);
  out += "101";
  for (size_t k = 1; k <= 6; ++k) AppendEan(out, parity[k - 1] == 'G' ? EAN_SETS.b[digit(k)] : EAN_SETS.a[digit(k)]);
  out += "01010";
  for (size_t k = 7; k <= 12; ++k) AppendEan(out, EAN_SETS.c[digit(k)]);
  out += "101";
  return out;
}

std::string TBarcodeUtil::Ean8Modules(std::string_view digits) {
  if (digits.size() != 8 || !AllDigits(digits)) return "";
  std::string out;
  out.reserve(67);
  out += "101";
  for (size_t k = 0; k < 4; ++k) AppendEan(out, EAN_SETS.a[static_cast<size_t>(digits[k] - '0')]);
  out += "01010";
  for (size_t k = 4; k < 8; ++k) AppendEan(out, EAN_SETS.c[static_cast<size_t>(digits[k] - '0')]);
  out += "101";
  return out;
}

std::vector<int> TBarcodeUtil::Code128Values(std::string_view text, bool gs1) {
  // Group separators before the first element separate nothing, and a scanner reads an FNC1
  // right after the leading one as an application marker, not as a separator: they are left out.
  if (gs1) {
    while (!text.empty() && text.front() == 29) text.remove_prefix(1);
  }
  std::vector<int> values;
  values.reserve(text.size() + 6);
  bool setC = DigitRunFrom(text, 0) >= 4;
  values.push_back(setC ? CODE128_START_C : CODE128_START_B);
  if (gs1) values.push_back(CODE128_FNC1);
  size_t pos = 0;
  while (pos < text.size()) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c == 29 && gs1) {
      values.push_back(CODE128_FNC1);
      ++pos;
      continue;
    }
    if (c < 32 || c > 126) return {};
    if (setC) {
      if (DigitRunFrom(text, pos) >= 2) {
        values.push_back((text[pos] - '0') * 10 + (text[pos + 1] - '0'));
        pos += 2;
      } else {
        values.push_back(CODE128_CODE_B);
        setC = false;
      }
      continue;
    }
    const size_t run = DigitRunFrom(text, pos);
    if (run >= 4) {
      // An odd run leaves its first digit in code set B so that the rest pairs up exactly.
      if (run % 2 == 1) {
        values.push_back(c - 32);
        ++pos;
      }
      values.push_back(CODE128_CODE_C);
      setC = true;
    } else {
      values.push_back(c - 32);
      ++pos;
    }
  }
  int64_t sum = values[0];
  for (size_t i = 1; i < values.size(); ++i) sum += static_cast<int64_t>(values[i]) * static_cast<int64_t>(i);
  values.push_back(static_cast<int>(sum % 103));
  values.push_back(CODE128_STOP);
  return values;
}

std::string TBarcodeUtil::Code128Modules(const std::vector<int>& values) {
  const auto& table = Code128ModuleTable();
  std::string out;
  out.reserve(values.size() * 11 + 2);
  for (int v : values) {
    if (v < 0 || v > CODE128_STOP) return "";
    out += table[static_cast<size_t>(v)];
  }
  return out;
}

Value TBarcodeUtil::CrearEAN13(const Value& text) {
  std::string code = TextOf(text);
  if (!EsDigitos(text).AsBool() || (code.size() != 12 && code.size() != 13)) {
    return Error(Value("EAN-13 debe contener 12 o 13 digitos."));
  }
  const auto check = static_cast<char>('0' + DigitoControlEAN13(text).AsNumber().i);
  if (code.size() == 12) {
    code.push_back(check);
  } else if (code[12] != check) {
    return Error(Value("Digito de control EAN-13 no valido."));
  }
  std::string bits = Ean13Modules(code);
  return LinearResult("EAN13", std::move(code), std::move(bits), 11, 7);
}

Value TBarcodeUtil::DigitoControlEAN13(const Value& text) { return Value::Int(Ean13CheckDigit(TextOf(text))); }

Value TBarcodeUtil::CrearEAN8(const Value& text) {
  std::string code = TextOf(text);
  if (!EsDigitos(text).AsBool() || (code.size() != 7 && code.size() != 8)) {
    return Error(Value("EAN-8 debe contener 7 u 8 digitos."));
  }
  const auto check = static_cast<char>('0' + DigitoControlEAN8(text).AsNumber().i);
  if (code.size() == 7) {
    code.push_back(check);
  } else if (code[7] != check) {
    return Error(Value("Digito de control EAN-8 no valido."));
  }
  std::string bits = Ean8Modules(code);
  return LinearResult("EAN8", std::move(code), std::move(bits), 7, 7);
}

Value TBarcodeUtil::DigitoControlEAN8(const Value& text) { return Value::Int(Ean8CheckDigit(TextOf(text))); }

Value TBarcodeUtil::CrearCode128(const Value& text, const Value& gs1) {
  const bool gs1Mode = gs1.IsTrue();
  const std::string_view type = gs1Mode ? "EAN128" : "CODE128";
  const std::string& bytes = TextOf(text);
  if (bytes.empty()) return Error(Value("Contenido de codigo de barras vacio."));
  std::string bits = Code128Bits(bytes, gs1Mode);
  if (bits.empty()) {
    return Error(Value(gs1Mode ? "EAN128 admite ASCII imprimible y separadores GS."
                               : "CODE128 admite caracteres ASCII imprimibles."));
  }
  return LinearResult(type, bytes, std::move(bits), 10, 10);
}

std::string TBarcodeUtil::Code128Bits(std::string_view text, bool gs1) {
  return Code128Modules(Code128Values(text, gs1));
}

size_t TBarcodeUtil::DigitRun(std::string_view text, size_t position) {
  return position < 1 ? 0 : DigitRunFrom(text, position - 1);
}

std::string TBarcodeUtil::PatternBits(std::string_view widths) { return WidthsToModules(widths); }

Value TBarcodeUtil::Error(const Value& message) { return ErrorResult(TextOf(message)); }

Value TBarcodeUtil::ValorComoTexto(const Value& value) { return Value(nv::ValorAString(value)); }

Value TBarcodeUtil::EsDigitos(const Value& text) { return Value(AllDigits(TextOf(text))); }

Value TBarcodeUtil::SoloLetrasNumerosAscii(const Value& text) {
  std::string kept;
  for (unsigned char c : TextOf(text)) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c)) kept.push_back(static_cast<char>(c));
  }
  return Value(std::move(kept));
}

}  // namespace nv
