#include "objects/TImageUtil.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "Accessors.h"

namespace nv {

namespace {

TImageUtil::FileReader& InstalledReader() {
  static TImageUtil::FileReader reader = &ReadBinaryFileLimited;
  return reader;
}

bool StartsWithBytes(std::string_view content, std::string_view signature) {
  return content.size() >= signature.size() && content.compare(0, signature.size(), signature) == 0;
}

// The 1-based position of needle in text compared without case (needle given in upper case), 0
// when absent. A data URI may be megabytes long, so it is not copied to be upper-cased.
size_t FindUpper(std::string_view text, std::string_view needle) {
  auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
  });
  return it == text.end() ? 0 : static_cast<size_t>(it - text.begin()) + 1;
}

bool IsBase64Digit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

bool IsMimeSubtypeChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '+' || c == '-' || c == '.';
}

}  // namespace

std::shared_ptr<TImageUtil> TImageUtil::New() { return std::make_shared<TImageUtil>(); }

std::shared_ptr<TImageUtil> TImageUtil::SetMaxFileBytes(size_t maxBytes) {
  maxFileBytes_ = maxBytes;
  return std::static_pointer_cast<TImageUtil>(shared_from_this());
}

TImageUtil::FileReader TImageUtil::SetFileReader(FileReader reader) {
  FileReader previous = InstalledReader();
  InstalledReader() = reader != nullptr ? reader : &ReadBinaryFileLimited;
  return previous;
}

Value TImageUtil::Resolver(const Value& value, const Value& sourceType) {
  refusal_.clear();
  if (!value.IsString() || value.AsString().empty()) return Error();
  const std::string& text = value.AsString();
  const std::string type = Lower(AllTrim(ValorAString(sourceType)));

  // A value holding NUL, CR or LF is no file name: it can only be a data URI or image bytes.
  if (type.compare(0, 5, "datos") != 0 && IsUsablePath(text)) {
    const std::string path = ResolverRuta(value);
    if (!path.empty()) return DesdeArchivo(path);
    std::string contents = LeerArchivo(text);
    if (!refusal_.empty()) return Error();
    if (!IsBlankText(contents)) return DesdeContenido(Value(std::move(contents)), value, Value(""));
    const std::string alt = StrTran(text, "/", PathSeparator());
    if (alt != text) {
      contents = LeerArchivo(alt);
      if (!refusal_.empty()) return Error();
      if (!IsBlankText(contents)) return DesdeContenido(Value(std::move(contents)), Value(alt), Value(""));
    }
  }

  const Value uri = DataUriImagen(text);
  if (!uri.IsNil()) {
    const Value bytes = DecodeBase64Estricto(ValueString(HGet(uri, "base64")));
    if (!bytes.IsNil()) return DesdeContenido(bytes, Value(""), Value(Lower(ValueString(HGet(uri, "mime")))));
  }
  return DesdeContenido(value, Value(""), Value(""));
}

Value TImageUtil::DesdeArchivo(const std::string& path) {
  std::string contents = LeerArchivo(path);
  // An empty or unreadable file is no picture, whatever its extension says.
  if (contents.empty()) return Error();
  return DesdeContenido(Value(std::move(contents)), Value(path), Value(""));
}

std::string TImageUtil::LeerArchivo(const std::string& path) {
  std::string bytes;
  if (InstalledReader()(path, maxFileBytes_, bytes) == FileReadStatus::TooLarge) {
    refusal_ = "Imagen demasiado grande: " + path + " supera " + std::to_string(maxFileBytes_) + " bytes";
    bytes.clear();
  }
  return bytes;
}

std::string TImageUtil::ResolverRuta(const Value& value) {
  const std::string p = AllTrim(ValorAString(value));
  if (!IsUsablePath(p)) return "";
  const std::string separator(PathSeparator());
  std::vector<std::string> candidates = {p, "public" + separator + p};
  const std::string q = PathPublicSinPrefijo(p);
  if (q != p) {
    candidates.push_back(q);
    candidates.push_back("public" + separator + q);
  }
  for (const std::string& c : candidates) {
    const std::string alt = StrTran(c, "/", separator);
    if (FileExists(c)) return c;
    if (alt != c && FileExists(alt)) return alt;
    if (!LeerArchivo(c).empty()) return c;
    if (alt != c && !LeerArchivo(alt).empty()) return alt;
  }
  return "";
}

std::string TImageUtil::PathPublicSinPrefijo(const std::string& path) {
  const std::string n = NormalizarSeparadores(path);
  if (Lower(Left(n, 7)) == "public/") return n.substr(7);
  return path;
}

std::string TImageUtil::NormalizarSeparadores(const std::string& path) { return StrTran(path, "\\", "/"); }

Value TImageUtil::DesdeContenido(const Value& content, const Value& path, const Value& mime) {
  const std::string bytes = ValorAString(content);
  std::string type = ValorAString(mime);
  if (type.empty()) type = DetectarMime(bytes, ValorAString(path));
  if (type.empty()) return Error();
  Value result = Value::NewHash();
  Hash& hash = result.AsHash();
  hash.reserve(3);
  hash.Put("mime", Value(type));
  hash.Put("dataUri", Value("data:" + type + ";base64," + Base64Encode(bytes)));
  hash.Put("error", Value(""));
  return result;
}

std::string TImageUtil::DetectarMime(std::string_view content, std::string_view path) {
  static constexpr std::string_view kPng("\x89PNG\r\n\x1a\n", 8);
  if (StartsWithBytes(content, kPng)) return "image/png";
  if (StartsWithBytes(content, "\xFF\xD8\xFF")) return "image/jpeg";
  if (StartsWithBytes(content, "GIF87a") || StartsWithBytes(content, "GIF89a")) return "image/gif";
  if (content.size() >= 12 && StartsWithBytes(content, "RIFF") && content.substr(8, 4) == "WEBP") return "image/webp";

  const std::string name = Lower(NormalizarSeparadores(std::string(path)));
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "";
  const std::string_view extension = std::string_view(name).substr(dot + 1);
  if (extension == "png") return "image/png";
  if (extension == "jpg" || extension == "jpeg") return "image/jpeg";
  if (extension == "gif") return "image/gif";
  if (extension == "webp") return "image/webp";
  return "";
}

Value TImageUtil::Error() {
  Value result = Value::NewHash();
  Hash& hash = result.AsHash();
  hash.reserve(3);
  hash.Put("mime", Value(""));
  hash.Put("dataUri", Value(""));
  hash.Put("error", Value(kErrorText));
  return result;
}

Value TImageUtil::DataUriImagen(const std::string& text) {
  if (Lower(Left(text, 11)) != "data:image/") return Value();
  const size_t pos = FindUpper(text, ";BASE64,");
  if (pos <= 6) return Value();
  const std::string mime = text.substr(5, pos - 6);
  if (!EsMimeImagenValido(mime)) return Value();
  std::string base64 = text.substr(pos - 1 + 8);
  if (base64.empty()) return Value();
  Value uri = Value::NewHash();
  uri.Set("mime", Value(mime));
  uri.Set("base64", Value(std::move(base64)));
  return uri;
}

Value TImageUtil::DecodeBase64Estricto(std::string_view text) {
  if (text.empty() || text.size() % 4 == 1) return Value();
  size_t padding = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '=') {
      if (i + 2 < text.size() || ++padding > 2) return Value();
    } else if (padding > 0 || !IsBase64Digit(c)) {
      return Value();
    }
  }
  std::string bytes = Base64Decode(text);
  if (bytes.empty()) return Value();
  return Value(std::move(bytes));
}

bool TImageUtil::EsMimeImagenValido(std::string_view mime) {
  const std::string lowered = Lower(mime);
  if (lowered.size() <= 6 || lowered.compare(0, 6, "image/") != 0) return false;
  return std::all_of(lowered.begin() + 6, lowered.end(), IsMimeSubtypeChar);
}

std::string TImageUtil::ValorAString(const Value& value) { return ValorAStringGeneric(value); }

bool TImageUtil::RespondsTo(std::string_view name) const {
  return NameIn(name, {"New", "Resolver"}) || Object::RespondsTo(name);
}

}  // namespace nv
