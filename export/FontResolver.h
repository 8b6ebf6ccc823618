#pragma once
// Turns a template's font name into a family Pango draws, through a private fontconfig
// configuration: the optional system fonts, the caller's font folders, and metric-compatible
// aliases (Arial and Helvetica -> Liberation Sans, Times New Roman -> Liberation Serif, Courier
// New -> Liberation Mono, Calibri -> Carlito, Cambria -> Caladea). A family that is not installed
// falls back to a generic chosen by the Windows pitch-and-family bits, with one warning per family.
// The font configuration of a set of font folders is built once per process and shared; each
// resolver has its own Pango context and resolution cache, so one export runs on one thread.
// A font folder that is not a folder warns "font-dir-missing" once, for the document, when the
// first font is resolved: its fonts would otherwise be replaced without a word.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <pango/pango.h>

#include "ExportWarnings.h"

typedef struct _FcConfig FcConfig;

namespace nv::out {

class FontResolver {
 public:
  /// What a template font resolves to.
  struct Resolved {
    std::string family;       // the family given to Pango
    double ascentRatio = 0.8; // ascent / (ascent + descent) of the font drawn
    bool substituted = false; // the family was not found and a generic stands in
  };

  FontResolver(const std::vector<std::string>& fontDirs, bool systemFonts);
  ~FontResolver();
  FontResolver(const FontResolver&) = delete;
  FontResolver& operator=(const FontResolver&) = delete;

  /// The Pango context every layout is made in: hinting off and unrounded glyph positions, so
  /// widths are the same in PDF, SVG and PNG.
  PangoContext* Context() const { return context_; }
  /// Resolves family for pitchAndFamily ("familiaPitchFuente"); a substitution warns once per
  /// family, on the object that first asked for it.
  const Resolved& Resolve(std::string_view family, int64_t pitchAndFamily, int64_t page, std::string_view id,
                          ExportWarnings& warnings);
  /// The generic family ("serif", "monospace", "sans-serif") for Windows pitch-and-family bits.
  static std::string_view GenericFor(int64_t pitchAndFamily);

 private:
  /// True when fontconfig matches family to itself or to its metric alias.
  bool Installed(const std::string& family) const;
  double AscentRatio(const std::string& family) const;

  FcConfig* config_ = nullptr;       // shared, never released
  PangoFontMap* fontMap_ = nullptr;  // shared, never released
  PangoContext* context_ = nullptr;
  std::map<std::string, Resolved> cache_;
  std::vector<std::string> missingDirs_;  // reported on the first Resolve, then cleared
};

}  // namespace nv::out
