#include "FontResolver.h"

#include <array>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

namespace nv::out {

namespace {

struct MetricAlias {
  std::string_view family;
  std::string_view alias;
};

// Families whose metric-compatible stand-in draws the same widths, so no warning is due.
constexpr std::array<MetricAlias, 9> kMetricAliases{{
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"calibri", "Carlito"},
    {"cambria", "Caladea"},
    {"arial narrow", "Liberation Sans Narrow"},
}};

constexpr std::array<std::string_view, 6> kGenericNames{{"sans-serif", "sans", "serif", "monospace", "mono", "system-ui"}};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Our aliases come before the system's configuration, so the generics prefer the Liberation
// families even where the distribution prefers a wider default.
std::string PrivateConfiguration(const std::vector<std::string>& fontDirs) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n";
  for (const std::string& dir : fontDirs) xml += "<dir>" + XmlEscape(dir) + "</dir>\n";
  for (const MetricAlias& alias : kMetricAliases) {
    xml += "<alias binding=\"same\"><family>" + XmlEscape(alias.family) + "</family><accept><family>" +
           XmlEscape(alias.alias) + "</family></accept></alias>\n";
  }
  xml += "<alias binding=\"same\"><family>sans-serif</family><prefer><family>Liberation Sans</family></prefer></alias>\n";
  xml += "<alias binding=\"same\"><family>serif</family><prefer><family>Liberation Serif</family></prefer></alias>\n";
  xml += "<alias binding=\"same\"><family>monospace</family><prefer><family>Liberation Mono</family></prefer></alias>\n";
  xml += "</fontconfig>\n";
  return xml;
}

std::string_view AliasOf(const std::string& lowerFamily) {
  for (const MetricAlias& alias : kMetricAliases) {
    if (alias.family == lowerFamily) return alias.alias;
  }
  return {};
}

// The font configurations of this process, one per set of font folders, built once and kept:
// building one scans every font, and pango and cairo keep fonts of a font map alive in their own
// caches, so a map released per export would never be freed whole.
PangoFontMap* SharedFontMap(const std::vector<std::string>& fontDirs, bool systemFonts, FcConfig*& config) {
  struct Entry {
    FcConfig* config;
    PangoFontMap* fontMap;
  };
  static std::mutex mutex;
  static std::map<std::string, Entry> maps;
  std::string key = systemFonts ? "system" : "private";
  for (const std::string& dir : fontDirs) key += '\n' + dir;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = maps.find(key);
  if (found == maps.end()) {
    FcConfig* created = FcConfigCreate();
    std::string xml = PrivateConfiguration(fontDirs);
    FcConfigParseAndLoadFromMemory(created, reinterpret_cast<const FcChar8*>(xml.c_str()), FcTrue);
    // The system's configuration brings its font folders, its cache and its own aliases.
    if (systemFonts) FcConfigParseAndLoad(created, nullptr, FcTrue);
    FcConfigBuildFonts(created);
    PangoFontMap* fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), created);
    found = maps.emplace(key, Entry{created, fontMap}).first;
  }
  config = found->second.config;
  return found->second.fontMap;
}

}  // namespace

FontResolver::FontResolver(const std::vector<std::string>& fontDirs, bool systemFonts) {
  for (const std::string& dir : fontDirs) {
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) missingDirs_.push_back(dir);
  }
  fontMap_ = SharedFontMap(fontDirs, systemFonts, config_);
  context_ = pango_font_map_create_context(fontMap_);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context_, options);
  cairo_font_options_destroy(options);
  // Rounded positions would snap glyphs to whole user units, which are millimetres here.
  pango_context_set_round_glyph_positions(context_, FALSE);
}

FontResolver::~FontResolver() {
  if (context_ != nullptr) g_object_unref(context_);
}

std::string_view FontResolver::GenericFor(int64_t pitchAndFamily) {
  const int64_t family = pitchAndFamily & 0xF0;
  const bool fixedPitch = (pitchAndFamily & 0x03) == 1;
  if (family == 0x10) return "serif";                      // FF_ROMAN
  if (family == 0x30 || fixedPitch) return "monospace";    // FF_MODERN, FIXED_PITCH
  return "sans-serif";
}

bool FontResolver::Installed(const std::string& family) const {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(config_, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config_, pattern, &result);
  bool installed = false;
  if (match != nullptr) {
    FcChar8* found = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch && found != nullptr) {
      std::string matched = Lower(reinterpret_cast<const char*>(found));
      std::string wanted = Lower(family);
      installed = matched == wanted || (!AliasOf(wanted).empty() && matched == Lower(AliasOf(wanted)));
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return installed;
}

double FontResolver::AscentRatio(const std::string& family) const {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, family.c_str());
  pango_font_description_set_absolute_size(description, 1000.0 * PANGO_SCALE);
  PangoFontMetrics* metrics = pango_context_get_metrics(context_, description, nullptr);
  double ascent = pango_font_metrics_get_ascent(metrics);
  double descent = pango_font_metrics_get_descent(metrics);
  pango_font_metrics_unref(metrics);
  pango_font_description_free(description);
  return ascent + descent > 0 ? ascent / (ascent + descent) : 0.8;
}

const FontResolver::Resolved& FontResolver::Resolve(std::string_view family, int64_t pitchAndFamily, int64_t page,
                                                    std::string_view id, ExportWarnings& warnings) {
  for (const std::string& dir : missingDirs_) warnings.Add(0, "", "font-dir-missing", dir);
  missingDirs_.clear();
  std::string key = std::string(family) + '\x1f' + std::to_string(pitchAndFamily);
  if (auto found = cache_.find(key); found != cache_.end()) return found->second;

  Resolved resolved;
  std::string wanted(family);
  std::string lower = Lower(wanted);
  bool generic = lower.empty();
  for (std::string_view name : kGenericNames) generic = generic || lower == name;
  if (generic) {
    resolved.family = lower.empty() ? "sans-serif" : wanted;
  } else if (Installed(wanted)) {
    resolved.family = wanted;
  } else {
    resolved.family = std::string(GenericFor(pitchAndFamily));
    resolved.substituted = true;
    warnings.Add(page, id, "font-substituted", wanted + " -> " + resolved.family);
  }
  resolved.ascentRatio = AscentRatio(resolved.family);
  return cache_.emplace(std::move(key), std::move(resolved)).first->second;
}

}  // namespace nv::out
