#pragma once
// Image resolution: turns the value of an image source (a file path, a data URI or the image
// bytes themselves) into an image result {"mime", "dataUri", "error"}, so that a renderer never
// touches the file system. PNG, JPEG, GIF and WebP are recognised by their leading bytes, then by
// the file extension.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "Object.h"
#include "Runtime.h"
#include "Value.h"

namespace nv {

class TImageUtil : public Object {
 public:
  /// The largest image file read when the run sets no other limit: 64 MiB.
  static constexpr size_t kDefaultMaxFileBytes = size_t{64} * 1024 * 1024;
  /// The error text of every failed resolution.
  static constexpr std::string_view kErrorText = "Imagen no disponible";

  /// Reads a whole file of at most maxBytes bytes (the runtime's bounded read by default).
  using FileReader = FileReadStatus (*)(const std::string& path, size_t maxBytes, std::string& bytes);

  static std::shared_ptr<TImageUtil> New();
  /// Returns the image result for value under a source type ("auto" tries files first, a type
  /// starting with "datos" never reads files). Never raises.
  Value Resolver(const Value& value, const Value& sourceType);
  /// Sets the largest file read; a larger file gives the error result. Returns the object.
  std::shared_ptr<TImageUtil> SetMaxFileBytes(size_t maxBytes);
  /// The reason the last Resolver refused a file that exists (over the size limit), "" otherwise;
  /// the result itself carries only the common error text.
  const std::string& MotivoRechazo() const { return refusal_; }

  /// Replaces the file reader of every resolution and returns the previous one: the seam through
  /// which tests and benchmarks count or fake file reads.
  static FileReader SetFileReader(FileReader reader);

  std::string_view ClassName() const override { return "TImageUtil"; }
  bool RespondsTo(std::string_view name) const override;

 private:
  Value DesdeContenido(const Value& content, const Value& path, const Value& mime);
  std::string DetectarMime(std::string_view content, std::string_view path);
  std::string ResolverRuta(const Value& value);
  static Value Error();
  /// {"mime", "base64"} of a well-formed image data URI, or nil.
  Value DataUriImagen(const std::string& text);
  /// The bytes of strict Base64 text, or nil.
  Value DecodeBase64Estricto(std::string_view text);
  bool EsMimeImagenValido(std::string_view mime);
  /// nil "", a text unchanged, anything else its trimmed generic text.
  std::string ValorAString(const Value& value);
  std::string PathPublicSinPrefijo(const std::string& path);
  std::string NormalizarSeparadores(const std::string& path);

  /// Reads a file through the installed reader; a file over the limit is remembered as refused.
  std::string LeerArchivo(const std::string& path);
  /// The result of a file that was found: its contents, or the error when it was refused.
  Value DesdeArchivo(const std::string& path);

  size_t maxFileBytes_ = kDefaultMaxFileBytes;
  std::string refusal_;
};

}  // namespace nv
