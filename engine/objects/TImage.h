#pragma once
// The image object: a box whose source formula yields a file path, a data URI or image bytes,
// resolved by TImageUtil into an "imagen" render object that carries the picture as a data URI.

#include <memory>
#include <span>
#include <string_view>

#include "objects/Field.h"
#include "objects/TObjectBase.h"

namespace nv {

class TVBImage : public TObjectBase {
 public:
  /// Source formula, kept as loaded; the default names a variable.
  Value cSource = Value("RUTA_LOGO");
  /// "auto" tries files first; a type starting with "datos" never reads files. Kept as loaded.
  Value cSourceType = Value("auto");
  /// Keep the picture's aspect ratio (passed to the renderer).
  bool lKeepRatio = true;
  /// Fit mode name (passed to the renderer), kept as loaded.
  Value cFit = Value("contain");

  /// Creates an image owned by owner (a document, a table, or nil) with every default set.
  static std::shared_ptr<TVBImage> New(const Value& owner = Value());
  Value Init(const Value& owner = Value()) override;
  std::shared_ptr<TObjectBase> Create() override;
  /// Clears the owner. Returns nil.
  Value End() override;
  /// Returns the base template hash followed by "cSource", "cSourceType", "lKeepRatio", "cFit".
  Value Save() override;
  /// Reads the base keys, then the image keys (exact keys) when data is a hash.
  Value Load(const Value& data) override;
  /// Returns the "imagen" render object, or nil when the object is not visible. Never raises.
  Value GenerarRenderizable(const Value& context) override;

  std::string_view ClassName() const override { return "TVBImage"; }
  bool RespondsTo(std::string_view name) const override;

  /// The rows of the image's own members, in template order after the base's.
  static std::span<const Field<TVBImage>> Fields();

 private:
  /// The image result of a source value: from the run's cache when the context keeps one, else
  /// resolved now. A file refused for its size adds a warning once per run.
  Value ResolverImagen(const Value& context, const Value& value);
};

}  // namespace nv
