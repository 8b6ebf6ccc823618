#pragma once
// Tolerant reading of one render object: numbers as the template stored them ("5", "2,5"),
// flags, texts and colours, each with its default and a warning when the value is unusable.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ExportWarnings.h"
#include "Value.h"

namespace nv::out {

/// A colour with components from 0 to 1.
struct Rgba {
  double r = 0, g = 0, b = 0, a = 1;
};

/// An object's box on the page, in millimetres.
struct Box {
  double x = 0, y = 0, w = 0, h = 0;
};

class RenderObjectReader {
 public:
  /// Largest box side accepted, in millimetres; beyond it the object is skipped.
  static constexpr double kMaxSideMm = 100000.0;

  RenderObjectReader(const Value& object, int64_t page, ExportWarnings& warnings);

  const Value& Object() const { return object_; }
  int64_t Page() const { return page_; }
  const std::string& Id() const { return id_; }
  ExportWarnings& Warnings() const { return warnings_; }
  /// Records a warning about this object.
  void Warn(std::string_view code, std::string_view detail = {}) const;

  bool Has(std::string_view key) const;
  /// The number under key: numbers, and texts that read as numbers ("2,5"); def when missing or
  /// nil; def with a "bad-number" warning for other texts, other kinds and non-finite values.
  double Number(std::string_view key, double def) const;
  /// Logicals; numbers (not 0); texts "1", "true", "si", "yes" ...; def when missing.
  bool Flag(std::string_view key, bool def) const;
  /// The text under key (numbers in their text form); def when missing or nil.
  std::string Text(std::string_view key, std::string_view def = {}) const;
  /// The colour under key: nothing for "transparent" and fully transparent colours; fallback with
  /// a "bad-color" warning for an unreadable one (nothing when fallback is nothing).
  std::optional<Rgba> Color(std::string_view key, std::optional<Rgba> fallback) const;
  /// The box ("x", "y", "ancho", "alto"); nothing, with a "bad-box" warning, when a side is
  /// negative, not finite or larger than kMaxSideMm.
  std::optional<Box> ReadBox() const;
  /// "opacidad"-style values: numbers from 0 to 1 (clamped), def when missing.
  double Opacity(std::string_view key, double def = 1.0) const;

  /// Parses "#rrggbb", "#rgb", "#rrggbbaa", rgb()/rgba() and the 16 basic CSS names, and
  /// "transparent" (alpha 0); nothing for anything else.
  static std::optional<Rgba> ParseColor(std::string_view text);

 private:
  const Value& object_;
  int64_t page_;
  std::string id_;
  ExportWarnings& warnings_;
};

}  // namespace nv::out
