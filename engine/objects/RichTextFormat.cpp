#include "objects/RichTextFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "Accessors.h"
#include "Runtime.h"

namespace nv {

namespace {

// Numeric parameters of control words saturate here instead of overflowing.
constexpr int64_t kParamLimit = 2147483647;
// Font numbers above this are ignored: a font table never holds more fonts.
constexpr int64_t kMaxFontNumber = 32767;
// Longer font names are ignored. Every styled run repeats its font name, so an unbounded name
// would let a small document grow into a huge HTML text.
constexpr size_t kMaxFontNameBytes = 255;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

// The first position at or after from where needle (lower case) occurs ignoring case, or npos.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (StartsWithNoCase(text.substr(i), needle)) return i;
  }
  return std::string_view::npos;
}

void AppendNumber(std::string& out, int64_t n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out.append(digits, static_cast<size_t>(end - digits));
}

// The optional "-" or digits after a control word. Absent means the word's default of 1; "-"
// alone reads as 0.
struct ControlParam {
  bool present = false;
  int64_t value = 0;
  int64_t Or1() const { return present ? value : 1; }
};

ControlParam ReadControlParam(std::string_view text, size_t& pos) {
  ControlParam param;
  if (pos >= text.size() || (text[pos] != '-' && !IsDigit(text[pos]))) return param;
  param.present = true;
  const bool negative = text[pos] == '-';
  if (negative) ++pos;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    param.value = std::min(param.value * 10 + (text[pos] - '0'), kParamLimit);
  }
  if (negative) param.value = -param.value;
  return param;
}

int32_t NonNegative(int64_t n) { return static_cast<int32_t>(std::max<int64_t>(0, n)); }

// The byte of a \'hh escape; NUL when the two hexadecimal digits are not there.
char HexEscapeByte(std::string_view hex) {
  if (hex.size() != 2 || !IsHexDigit(hex[0]) || !IsHexDigit(hex[1])) return '\0';
  return static_cast<char>(HexToNum(hex));
}

// One byte of Windows-1252 text as UTF-8.
std::string Win1252Char(char c) { return Win1252ToUtf8(std::string_view(&c, 1)); }

// Appends text with &, <, >, the double and the single quote escaped.
void AppendEscapedHtml(std::string& out, std::string_view text) {
  size_t pos = 0;
  for (size_t special; (special = text.find_first_of("&<>\"'", pos)) != std::string_view::npos; pos = special + 1) {
    out.append(text.substr(pos, special - pos));
    switch (text[special]) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += "&#039;"; break;
    }
  }
  out.append(text.substr(pos));
}

std::string EscapeHtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  AppendEscapedHtml(out, text);
  return out;
}

// The text without a leading byte-order mark and without trailing NUL bytes.
std::string_view CleanView(std::string_view text) {
  if (StartsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return text;
}

std::string_view TrimStartView(std::string_view text) {
  size_t begin = text.find_first_not_of(std::string_view("\0\t\n\r ", 5));
  return begin == std::string_view::npos ? std::string_view() : text.substr(begin);
}

// The opening tags that mark a text as HTML, compared ignoring case after a "<".
bool StartsKnownTag(std::string_view text) {
  static constexpr std::array<std::string_view, 13> kTags = {
      "<p", "<div", "<br", "<span", "<strong", "<em", "<u", "<s", "<ul", "<ol", "<li", "<sup", "<sub"};
  return std::any_of(kTags.begin(), kTags.end(), [&](std::string_view tag) { return StartsWithNoCase(text, tag); });
}

bool HoldsKnownTag(std::string_view text) {
  for (size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
    if (StartsKnownTag(text.substr(lt))) return true;
  }
  return false;
}

std::string DetectFormatOf(std::string_view text) {
  std::string_view s = TrimStartView(text);
  if (StartsWithNoCase(s, "{\\rtf")) return "rtf";
  return HoldsKnownTag(s) ? "html" : "text";
}

// ---- RTF runs as HTML ---------------------------------------------------------------------------

const std::string* EntryAt(const std::vector<std::string>& list, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(list.size()) || IsBlankText(list[static_cast<size_t>(index)])) {
    return nullptr;
  }
  return &list[static_cast<size_t>(index)];
}

// What a run's style attribute holds: font, size in points with two decimals, colours.
struct RunStyle {
  const std::string* font = nullptr;
  int32_t size = 0;
  const std::string* color = nullptr;
  const std::string* background = nullptr;

  RunStyle(const RtfRunState& state, const std::vector<std::string>& fonts, const std::vector<std::string>& colors)
      : font(EntryAt(fonts, state.font)),
        size(state.size),
        color(state.color >= 1 ? EntryAt(colors, int64_t{state.color} - 1) : nullptr),
        background(state.background >= 1 ? EntryAt(colors, int64_t{state.background} - 1) : nullptr) {}

  bool Empty() const { return font == nullptr && size <= 0 && color == nullptr && background == nullptr; }

  void AppendTo(std::string& out) const {
    if (font != nullptr) {
      out += "font-family:";
      AppendEscapedHtml(out, *font);
      out += ';';
    }
    if (size > 0) {
      out += "font-size:";
      AppendNumber(out, size / 2);
      out += size % 2 != 0 ? ".50pt;" : ".00pt;";
    }
    if (color != nullptr) out.append("color:").append(*color).append(";");
    if (background != nullptr) out.append("background-color:").append(*background).append(";");
  }
};

// The character tags of a run, outermost first: bold ends outermost, superscript innermost.
struct RunTag {
  bool RtfRunState::*flag;
  std::string_view open;
  std::string_view close;
};
constexpr std::array<RunTag, 6> kRunTags = {{{&RtfRunState::bold, "<strong>", "</strong>"},
                                             {&RtfRunState::italic, "<em>", "</em>"},
                                             {&RtfRunState::underline, "<u>", "</u>"},
                                             {&RtfRunState::strike, "<s>", "</s>"},
                                             {&RtfRunState::sub, "<sub>", "</sub>"},
                                             {&RtfRunState::sup, "<sup>", "</sup>"}}};

// Appends the HTML of a run that is not blank: a styled span around the character tags around
// the escaped text.
void AppendRunHtml(std::string& out, std::string_view run, const RtfRunState& state,
                   const std::vector<std::string>& fonts, const std::vector<std::string>& colors) {
  const RunStyle style(state, fonts, colors);
  if (!style.Empty()) {
    out += "<span style=\"";
    style.AppendTo(out);
    out += "\">";
  }
  for (const RunTag& tag : kRunTags) {
    if (state.*tag.flag) out += tag.open;
  }
  AppendEscapedHtml(out, run);
  for (auto tag = kRunTags.rbegin(); tag != kRunTags.rend(); ++tag) {
    if (state.*tag->flag) out += tag->close;
  }
  if (!style.Empty()) out += "</span>";
}

// ---- RTF reading --------------------------------------------------------------------------------

bool IsHighSurrogate(int64_t code) { return code >= 0xD800 && code <= 0xDBFF; }
bool IsLowSurrogate(int64_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

// Reads one RTF document into HTML in a single pass. Text collects in the current run, which
// becomes HTML whenever a group or a control word may change its state.
class RtfHtmlReader {
 public:
  explicit RtfHtmlReader(std::string_view rtf)
      : rtf_(rtf), fonts_(VBRICHTEXTRTFFONTS(rtf)), colors_(VBRICHTEXTRTFCOLORS(rtf)) {
    html_.reserve(5 * rtf.size());  // runs of styled text take about four times their RTF
    html_ = "<span>";
  }

  std::string Read() {
    size_t pos = 0;
    while (pos < rtf_.size()) {
      const char ch = rtf_[pos];
      if (ch == '{') {
        OpenGroup();
        ++pos;
      } else if (ch == '}') {
        CloseGroup();
        ++pos;
      } else if (ch != '\\') {
        pos = PlainBytes(pos);
      } else if (++pos < rtf_.size()) {
        pos = Escape(pos);
      }
    }
    ReplaceHeldSurrogate();
    Flush();
    html_ += "</span>";
    return std::move(html_);
  }

 private:
  void OpenGroup() {
    Flush();
    stack_.push_back(state_);
  }

  void CloseGroup() {
    Flush();
    if (stack_.empty()) return;
    state_ = stack_.back();
    stack_.pop_back();
  }

  // Writes the run as HTML unless it is blank: its blanks then wait for the next run.
  void Flush() {
    if (!runHasText_) return;
    AppendRunHtml(html_, run_, state_, fonts_, colors_);
    run_.clear();
    runHasText_ = false;
  }

  void AppendToRun(std::string_view bytes) {
    ReplaceHeldSurrogate();
    run_ += bytes;
    if (!runHasText_) runHasText_ = !IsBlankText(bytes);
  }

  // Text bytes up to the next brace or backslash. Fallback characters of a \u escape are dropped,
  // as are NUL, LF and CR; bytes from 128 up are Windows-1252.
  size_t PlainBytes(size_t pos) {
    const size_t end = std::min(rtf_.find_first_of("{}\\", pos), rtf_.size());
    if (state_.skip) return end;
    for (; pos < end && pending_ > 0; ++pos) --pending_;
    while (pos < end) {
      size_t stop = pos;
      while (stop < end && rtf_[stop] != '\0' && rtf_[stop] != '\n' && rtf_[stop] != '\r' &&
             static_cast<unsigned char>(rtf_[stop]) < 128) {
        ++stop;
      }
      if (stop > pos) AppendToRun(rtf_.substr(pos, stop - pos));
      if (stop < end && static_cast<unsigned char>(rtf_[stop]) >= 128) AppendToRun(Win1252Char(rtf_[stop]));
      pos = stop < end ? stop + 1 : end;
    }
    return end;
  }

  // What follows a backslash at pos: an escaped byte, a hexadecimal escape, the \* mark, a control
  // symbol (ignored) or a control word.
  size_t Escape(size_t pos) {
    const char c = rtf_[pos];
    if (c == '\\' || c == '{' || c == '}') {
      if (!state_.skip) AppendToRun(std::string_view(&c, 1));
      return pos + 1;
    }
    if (c == '\'') {
      if (!state_.skip) AppendHexEscape(rtf_.substr(pos + 1, 2));
      return pos + 3;
    }
    if (c == '*') {
      Flush();
      state_.skip = true;
      return pos + 1;
    }
    if (!IsAsciiLetter(c)) return pos + 1;
    return ControlWord(pos);
  }

  // \'hh: a Windows-1252 character. An escape without two hexadecimal digits, or of NUL, gives
  // nothing.
  void AppendHexEscape(std::string_view hex) {
    const char code = HexEscapeByte(hex);
    if (code != '\0') AppendToRun(Win1252Char(code));
  }

  size_t ControlWord(size_t pos) {
    const size_t start = pos;
    while (pos < rtf_.size() && IsAsciiLetter(rtf_[pos])) ++pos;
    const std::string word = Lower(rtf_.substr(start, pos - start));
    const ControlParam param = ReadControlParam(rtf_, pos);
    if (pos < rtf_.size() && rtf_[pos] == ' ') ++pos;
    if (IsDestination(word)) {
      Flush();
      state_.skip = true;
    } else if (!state_.skip) {
      Flush();
      Apply(word, param);
    }
    return pos;
  }

  static bool IsDestination(std::string_view word) {
    return word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" || word == "pict" ||
           word == "object";
  }

  void Apply(std::string_view word, const ControlParam& param) {
    const int64_t n = param.Or1();
    if (word == "b") state_.bold = n != 0;
    else if (word == "i") state_.italic = n != 0;
    else if (word == "ul") state_.underline = n != 0;
    else if (word == "ulnone") state_.underline = false;
    else if (word == "strike") state_.strike = n != 0;
    else if (word == "f") state_.font = static_cast<int32_t>(n);
    else if (word == "fs") state_.size = NonNegative(n);
    else if (word == "cf") state_.color = NonNegative(n);
    else if (word == "highlight") state_.background = NonNegative(n);
    else if (word == "super") SetScript(true, false);
    else if (word == "sub") SetScript(false, true);
    else if (word == "nosupersub") SetScript(false, false);
    else if (word == "par" || word == "line") html_ += "<br>";
    else if (word == "tab") html_ += "&emsp;";
    else if (word == "bullet") html_ += "&#8226; ";
    else if (word == "uc") state_.uc = NonNegative(n);
    else if (word == "u") AppendUnicode(n);
  }

  void SetScript(bool sup, bool sub) {
    state_.sup = sup;
    state_.sub = sub;
  }

  // \uN: the character N (negative values count from 65536), then uc fallback bytes to drop. A
  // high surrogate waits for the low one that follows it, so that a character above U+FFFF
  // written as a pair reads back as one character.
  void AppendUnicode(int64_t n) {
    const int64_t code = n < 0 ? n + 65536 : n;
    pending_ = state_.uc;
    if (IsHighSurrogate(code)) {
      ReplaceHeldSurrogate();
      heldHighSurrogate_ = static_cast<uint32_t>(code);
    } else if (IsLowSurrogate(code) && heldHighSurrogate_ != 0) {
      const uint32_t pair = 0x10000 + ((heldHighSurrogate_ - 0xD800) << 10) + static_cast<uint32_t>(code - 0xDC00);
      heldHighSurrogate_ = 0;
      AppendToRun(Utf8Encode(pair));
    } else if (code != 0) {
      AppendToRun(Utf8Encode(code > 0 && code <= 0x10FFFF ? static_cast<uint32_t>(code) : 0xFFFD));
    }
  }

  // A high surrogate without its low half becomes the replacement character.
  void ReplaceHeldSurrogate() {
    if (heldHighSurrogate_ == 0) return;
    heldHighSurrogate_ = 0;
    run_ += Utf8Encode(0xFFFD);
    runHasText_ = true;
  }

  std::string_view rtf_;
  std::vector<std::string> fonts_;
  std::vector<std::string> colors_;
  RtfRunState state_;
  std::vector<RtfRunState> stack_;
  std::string html_;
  std::string run_;
  // The run holds a byte other than space, TAB, CR and LF.
  bool runHasText_ = false;
  // Fallback bytes of the last \u escape still to drop.
  int64_t pending_ = 0;
  uint32_t heldHighSurrogate_ = 0;
};

// ---- RTF tables -----------------------------------------------------------------------------------

// Reads the entries of a font table: "\fN ... name;" at the table's level or inside one group per
// entry. Nested groups (alternative names, panose data) are skipped.
class RtfFontTableReader {
 public:
  explicit RtfFontTableReader(std::string_view rtf) : rtf_(rtf) {}

  std::vector<std::string> Read() {
    size_t pos = FindNoCase(rtf_, "{\\fonttbl", 0);
    if (pos == std::string_view::npos) return fonts_;
    pos += 9;
    int depth = 1;
    while (pos < rtf_.size() && depth > 0) {
      const char c = rtf_[pos];
      if (c == '{' || c == '}') {
        depth += c == '{' ? 1 : -1;
        ++pos;
      } else if (depth > 2) {
        pos += c == '\\' ? 2 : 1;
      } else if (c == '\\') {
        pos = Escape(pos + 1);
      } else {
        Text(c);
        ++pos;
      }
    }
    return fonts_;
  }

 private:
  size_t Escape(size_t pos) {
    if (pos >= rtf_.size()) return pos;
    const char c = rtf_[pos];
    if (c == '\'') {
      NameByte(HexEscapeByte(rtf_.substr(pos + 1, 2)));
      return pos + 3;
    }
    if (!IsAsciiLetter(c)) {
      if (c == '\\' || c == '{' || c == '}') AppendToName(std::string_view(&c, 1));
      return pos + 1;
    }
    const size_t start = pos;
    while (pos < rtf_.size() && IsAsciiLetter(rtf_[pos])) ++pos;
    const bool isFontNumber = pos - start == 1 && LowerAscii(rtf_[start]) == 'f';
    const ControlParam param = ReadControlParam(rtf_, pos);
    if (pos < rtf_.size() && rtf_[pos] == ' ') ++pos;
    if (isFontNumber && param.present) StartFont(param.value);
    return pos;
  }

  void StartFont(int64_t number) {
    number_ = (number >= 0 && number <= kMaxFontNumber) ? number : -1;
    name_.clear();
  }

  void Text(char c) {
    if (c == ';') {
      EndFont();
    } else {
      NameByte(c);
    }
  }

  void NameByte(char c) {
    if (c == '\r' || c == '\n' || c == '\0') return;
    AppendToName(static_cast<unsigned char>(c) < 128 ? std::string(1, c) : Win1252Char(c));
  }

  void AppendToName(std::string_view bytes) {
    if (number_ >= 0 && name_.size() <= kMaxFontNameBytes) name_ += bytes;
  }

  void EndFont() {
    std::string name = AllTrim(name_);
    if (number_ >= 0 && !IsBlankText(name) && name.size() <= kMaxFontNameBytes) {
      const auto index = static_cast<size_t>(number_);
      if (fonts_.size() <= index) fonts_.resize(index + 1);
      fonts_[index] = std::move(name);
    }
    number_ = -1;
    name_.clear();
  }

  std::string_view rtf_;
  std::vector<std::string> fonts_;
  int64_t number_ = -1;
  std::string name_;
};

// The number after name (as "\red") in a colour-table entry, as its low byte; 0 when absent.
int ColorComponent(std::string_view entry, std::string_view name) {
  size_t pos = entry.find(name);
  if (pos == std::string_view::npos) return 0;
  pos += name.size();
  return static_cast<int>(ReadControlParam(entry, pos).value & 0xFF);
}

// ---- HTML writing --------------------------------------------------------------------------------

// A text searched for CSS values: the search runs in its lower-cased copy, made once, and values
// come from the text as written.
class CssText {
 public:
  explicit CssText(std::string_view text) : text_(text), lowered_(Lower(text)) {}

  // Calls visit with each non-empty trimmed value of the property, until visit returns false.
  // key is the lower-cased property name followed by ":".
  template <typename Visit>
  void EachValue(std::string_view key, Visit visit) const {
    size_t from = 0;
    for (size_t found; (found = lowered_.find(key, from)) != std::string::npos;) {
      const char before = found > 0 ? lowered_[found - 1] : ';';
      if (before != ';' && before != ' ' && before != '\t' && before != '"' && before != '\'') {
        from = found + key.size();  // part of a longer name, as "color:" in "background-color:"
        continue;
      }
      const size_t start = found + key.size();
      const size_t end = std::min(text_.find_first_of(";\"'<>", start), text_.size());
      std::string value = AllTrim(text_.substr(start, end - start));
      if (!value.empty() && !visit(std::move(value))) return;
      from = end;
    }
  }

  std::string FirstValue(std::string_view key) const {
    std::string first;
    EachValue(key, [&](std::string value) {
      first = std::move(value);
      return false;
    });
    return first;
  }

  std::string FirstValueLower(std::string_view key) const { return Lower(FirstValue(key)); }

 private:
  std::string_view text_;
  std::string lowered_;
};

std::string CssKey(std::string_view property) { return Lower(property) + ":"; }

std::string HexPairs(std::initializer_list<int> components) {
  std::string out = "#";
  for (int c : components) out += Lower(NumToHex(c, 2));
  return out;
}

std::string NamedColor(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 17> kNames = {{
      {"black", "#000000"}, {"silver", "#c0c0c0"}, {"gray", "#808080"}, {"white", "#ffffff"},
      {"maroon", "#800000"}, {"red", "#ff0000"}, {"purple", "#800080"}, {"fuchsia", "#ff00ff"},
      {"green", "#008000"}, {"lime", "#00ff00"}, {"olive", "#808000"}, {"yellow", "#ffff00"},
      {"navy", "#000080"}, {"blue", "#0000ff"}, {"teal", "#008080"}, {"aqua", "#00ffff"},
      {"orange", "#ffa500"}}};
  for (const auto& [known, value] : kNames) {
    if (known == name) return std::string(value);
  }
  return "";
}

// rgb(r, g, b) or rgba(r, g, b, a), each component clamped to 0..255; "" when fewer than three.
std::string RgbColor(std::string_view s) {
  const size_t open = s.find('(');
  const size_t close = s.find(')');
  if (close == std::string_view::npos || close < open) return "";
  const std::vector<std::string> parts = SplitText(s.substr(open + 1, close - open - 1), ',');
  if (parts.size() < 3) return "";
  int components[3];
  for (int k = 0; k < 3; ++k) {
    const double v = Val(AllTrim(parts[static_cast<size_t>(k)])).AsDouble();
    components[k] = static_cast<int>(std::clamp(v, 0.0, 255.0));
  }
  return HexPairs({components[0], components[1], components[2]});
}

// A font size in RTF half-points: px at 96 per inch, em and rem of 12 pt, % of 12 pt, else points.
int64_t HalfPoints(std::string_view size) {
  double v = Val(size).AsDouble();
  if (size.find("px") != std::string_view::npos) {
    v = v * 72 / 96;
  } else if (size.find("em") != std::string_view::npos) {
    v = v * 12;
  } else if (size.find('%') != std::string_view::npos) {
    v = v * 12 / 100;
  }
  if (!(v > 0)) return 0;
  const double half = RoundHalfAway(v * 2, 0);
  return half >= static_cast<double>(kParamLimit) ? kParamLimit : static_cast<int64_t>(half);
}

// Appends "\word" followed by the number and the space that ends the control word.
void AppendControl(std::string& out, std::string_view word, int64_t number) {
  out += '\\';
  out += word;
  AppendNumber(out, number);
  out += ' ';
}

void AppendWeightSlantAndDecoration(std::string& out, const CssText& style) {
  const std::string weight = style.FirstValueLower("font-weight:");
  if (weight == "bold" || weight == "bolder" || weight == "600" || weight == "700" || weight == "800" ||
      weight == "900") {
    out += "\\b ";
  }
  if (style.FirstValueLower("font-style:") == "italic") out += "\\i ";
  const std::string decoration = style.FirstValueLower("text-decoration:");
  if (decoration.find("underline") != std::string::npos) out += "\\ul ";
  if (decoration.find("line-through") != std::string::npos) out += "\\strike ";
}

// Font and colours are numbers in the document's tables; a value not listed there gives nothing.
void AppendFontSizeAndColours(std::string& out, const CssText& style, const RtfWriterTable& fonts,
                              const RtfWriterTable& colors) {
  if (const int64_t font = fonts.Find(VBRICHTEXTCLEANCSSVALUE(style.FirstValue("font-family:"))); font >= 0) {
    AppendControl(out, "f", font);
  }
  if (const std::string size = style.FirstValueLower("font-size:"); !size.empty()) {
    if (const int64_t half = HalfPoints(size); half > 0) AppendControl(out, "fs", half);
  }
  if (const int64_t color = colors.Find(VBRICHTEXTNORMALIZECOLOR(style.FirstValue("color:"))); color >= 0) {
    AppendControl(out, "cf", color + 1);
  }
  if (const int64_t color = colors.Find(VBRICHTEXTNORMALIZECOLOR(style.FirstValue("background-color:"))); color >= 0) {
    AppendControl(out, "highlight", color + 1);
  }
}

void AppendAlignment(std::string& out, const CssText& style) {
  const std::string align = style.FirstValueLower("text-align:");
  if (align == "center") out += "\\qc ";
  if (align == "right") out += "\\qr ";
  if (align == "justify") out += "\\qj ";
  if (align == "left") out += "\\ql ";
}

bool IsFormattingTag(std::string_view name) {
  static constexpr std::array<std::string_view, 13> kTags = {"p",  "div", "span",   "strong", "b",   "em", "i",
                                                             "u",  "s",   "strike", "sup",    "sub", "li"};
  return std::find(kTags.begin(), kTags.end(), name) != kTags.end();
}

bool IsParagraphTag(std::string_view name) { return name == "p" || name == "div" || name == "li"; }

// Writes the body of an HTML document as RTF: text runs, a group per formatting tag, paragraphs,
// line breaks and list items.
class HtmlRtfWriter {
 public:
  HtmlRtfWriter(std::string_view html, const RtfWriterTable& fonts, const RtfWriterTable& colors)
      : html_(html), fonts_(fonts), colors_(colors) {}

  // The body written after header, which the result starts with.
  std::string Write(std::string header) {
    body_ = std::move(header);
    body_.reserve(body_.size() + html_.size() + html_.size() / 4);
    size_t pos = 0;
    while (pos < html_.size()) {
      const size_t lt = html_.find('<', pos);
      if (lt == std::string_view::npos) {
        AppendText(html_.substr(pos));
        break;
      }
      AppendText(html_.substr(pos, lt - pos));
      const size_t gt = html_.find('>', lt + 1);
      if (gt == std::string_view::npos) break;  // an unterminated tag drops the rest
      Tag(AllTrim(html_.substr(lt + 1, gt - lt - 1)));
      pos = gt + 1;
    }
    body_.append(static_cast<size_t>(openGroups_), '}');
    return std::move(body_);
  }

 private:
  struct List {
    bool ordered = false;
    int64_t counter = 0;
  };

  void AppendText(std::string_view text) {
    if (!text.empty()) body_ += VBRICHTEXTRTFTEXT(VBRICHTEXTDECODEENTITIES(text));
  }

  void Tag(const std::string& inner) {
    std::string low = Lower(inner);
    const bool closing = StartsWith(low, "/");
    if (closing) low = AllTrim(std::string_view(low).substr(1));
    const std::string name = VBRICHTEXTTAGNAME(low);
    if (name == "br") body_ += "\\line ";
    if (closing) {
      CloseTag(name);
    } else {
      OpenTag(name, inner);
    }
  }

  void CloseTag(const std::string& name) {
    if (name == "ul" || name == "ol") {
      if (!lists_.empty()) lists_.pop_back();
    } else if (IsFormattingTag(name) && openGroups_ > 0) {
      body_ += '}';
      --openGroups_;
    }
    if (IsParagraphTag(name)) body_ += "\\par ";
  }

  void OpenTag(const std::string& name, const std::string& inner) {
    if (name == "ul" || name == "ol") {
      lists_.push_back({name == "ol", 0});
      return;
    }
    if (!IsFormattingTag(name)) return;
    body_ += '{';
    body_ += VBRICHTEXTTAGRTFCONTROLS(name, VBRICHTEXTTAGSTYLE(inner), fonts_, colors_);
    if (name == "li") ListItem();
    ++openGroups_;
  }

  // The indent of the list depth, then the item's number or a bullet.
  void ListItem() {
    body_ += "\\pard\\li";
    AppendNumber(body_, 360 * std::max<int64_t>(1, static_cast<int64_t>(lists_.size())));
    body_ += "\\fi-180 ";
    if (!lists_.empty() && lists_.back().ordered) {
      AppendNumber(body_, ++lists_.back().counter);
      body_ += ".\\tab ";
    } else {
      body_ += "\\bullet\\tab ";
    }
  }

  std::string_view html_;
  const RtfWriterTable& fonts_;
  const RtfWriterTable& colors_;
  std::string body_;
  int64_t openGroups_ = 0;
  std::vector<List> lists_;
};

void CollectFonts(const CssText& html, RtfWriterTable& fonts) {
  fonts.Add("Arial");
  html.EachValue("font-family:", [&](std::string value) {
    const std::string family = VBRICHTEXTCLEANCSSVALUE(value);
    if (!IsBlankText(family)) fonts.Add(family);
    return true;
  });
}

// Hexadecimal colours written anywhere, then the color values, then the background-color values.
void CollectColors(std::string_view html, const CssText& css, RtfWriterTable& colors) {
  for (size_t hash = html.find('#'); hash != std::string_view::npos; hash = html.find('#', hash + 1)) {
    const std::string_view candidate = html.substr(hash, 7);
    if (VBRICHTEXTISHEXCOLOR(candidate)) colors.Add(Lower(candidate));
  }
  for (std::string_view key : {"color:", "background-color:"}) {
    css.EachValue(key, [&](std::string value) {
      const std::string color = VBRICHTEXTNORMALIZECOLOR(value);
      if (!color.empty()) colors.Add(color);
      return true;
    });
  }
}

std::string RtfHeader(const RtfWriterTable& fonts, const RtfWriterTable& colors) {
  std::string header = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl";
  int64_t number = 0;
  for (const std::string& name : fonts.Entries()) {
    header += "{\\f";
    AppendNumber(header, number++);
    header += " " + VBRICHTEXTRTFTEXT(name) + ";}";
  }
  header += "}{\\colortbl;";
  for (const std::string& color : colors.Entries()) {
    header += "\\red";
    AppendNumber(header, HexToNum(color.substr(1, 2)));
    header += "\\green";
    AppendNumber(header, HexToNum(color.substr(3, 2)));
    header += "\\blue";
    AppendNumber(header, HexToNum(color.substr(5, 2)));
    header += ";";
  }
  header += "}\\viewkind4\\uc1\\pard\\f0\\fs24 ";
  return header;
}

// ---- UTF-8 for RTF -------------------------------------------------------------------------------

bool AreContinuationBytes(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; });
}

// The code point starting at text[i] and its length in bytes. A lead byte whose continuation
// bytes are missing or malformed stands for itself.
std::pair<uint32_t, size_t> DecodeUtf8(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[i + k])); };
  const uint32_t lead = byte(0);
  size_t length = 1;
  if (lead >= 240 && lead <= 247) length = 4;
  else if (lead >= 224 && lead <= 239) length = 3;
  else if (lead >= 192 && lead <= 223) length = 2;
  if (length == 1 || i + length > text.size() || !AreContinuationBytes(text.substr(i + 1, length - 1))) {
    return {lead, 1};
  }
  if (length == 4) return {(lead - 240) * 262144 + (byte(1) - 128) * 4096 + (byte(2) - 128) * 64 + (byte(3) - 128), 4};
  if (length == 3) return {(lead - 224) * 4096 + (byte(1) - 128) * 64 + (byte(2) - 128), 3};
  return {(lead - 192) * 64 + (byte(1) - 128), 2};
}

void AppendUnicodeEscape(std::string& out, uint32_t code) {
  out += "\\u";
  AppendNumber(out, code > 32767 ? static_cast<int64_t>(code) - 65536 : static_cast<int64_t>(code));
  out += '?';
}

void AppendRtfCodePoint(std::string& out, uint32_t code) {
  if (code == '{' || code == '}' || code == '\\') {
    out += '\\';
    out += static_cast<char>(code);
  } else if (code == '\r') {
    // dropped: LF alone ends a line
  } else if (code == '\n') {
    out += "\\line ";
  } else if (code > 65535) {
    const uint32_t c = code - 65536;
    AppendUnicodeEscape(out, 55296 + c / 1024);
    AppendUnicodeEscape(out, 56320 + c % 1024);
  } else if (code >= 128) {
    AppendUnicodeEscape(out, code);
  } else {
    out += static_cast<char>(code);
  }
}

// ---- Plain text ------------------------------------------------------------------------------------

// <br>, <br/> and <br /> as LF, in one pass.
std::string LineBreakTagsToLf(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  size_t pos = 0;
  for (size_t lt = html.find('<'); lt != std::string_view::npos; lt = html.find('<', pos)) {
    out.append(html.substr(pos, lt - pos));
    const std::string_view rest = html.substr(lt);
    size_t length = 0;
    for (std::string_view tag : {"<br>", "<br/>", "<br />"}) {
      if (StartsWith(rest, tag)) length = tag.size();
    }
    out += length > 0 ? "\n" : "<";
    pos = lt + std::max<size_t>(length, 1);
  }
  out.append(html.substr(pos));
  return out;
}

// Everything from a "<" through the next ">" removed, in one pass; an unterminated tag cuts the text.
std::string RemoveTags(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  size_t pos = 0;
  for (size_t lt = html.find('<'); lt != std::string_view::npos; lt = html.find('<', pos)) {
    out.append(html.substr(pos, lt - pos));
    const size_t gt = html.find('>', lt + 1);
    if (gt == std::string_view::npos) return out;
    pos = gt + 1;
  }
  out.append(html.substr(pos));
  return out;
}

// A placeholder's value is data, never markup of the content around it: in RTF its braces and
// backslashes are escaped, in HTML its special characters (also quotes, for values inside an
// attribute); an RTF document given to HTML content is the one value read as formatting.
std::string InterpolatedValue(std::string value, std::string_view format) {
  if (format == "rtf") return VBRICHTEXTRTFTEXT(value);
  if (format != "html") return value;
  return DetectFormatOf(value) == "rtf" ? VBRICHTEXTRTFTOHTML(Value(std::move(value))) : EscapeHtmlText(value);
}

}  // namespace

// ---- RtfWriterTable ----------------------------------------------------------------------------------

bool RtfWriterTable::Add(std::string_view entry) {
  const bool added = positions_.try_emplace(Lower(entry), entries_.size()).second;
  if (added) entries_.emplace_back(entry);
  return added;
}

int64_t RtfWriterTable::Find(std::string_view entry) const {
  auto it = positions_.find(Lower(entry));
  return it == positions_.end() ? -1 : static_cast<int64_t>(it->second);
}

// ---- Recognition and cleaning ---------------------------------------------------------------------

std::string VBRICHTEXTNORMALIZEINPUT(const Value& value) {
  if (const std::string* text = value.StringRef()) return std::string(CleanView(*text));
  return value.IsNil() ? std::string() : std::string(CleanView(GenericText(value)));
}

std::string VBRICHTEXTTRIMSTART(std::string_view text) { return std::string(TrimStartView(text)); }

std::string VBRICHTEXTDETECTFORMAT(const Value& value) { return DetectFormatOf(VBRICHTEXTNORMALIZEINPUT(value)); }

// ---- HTML text ----------------------------------------------------------------------------------------

std::string VBRICHTEXTESCAPEHTML(const Value& value) {
  if (const std::string* text = value.StringRef()) return EscapeHtmlText(*text);
  return EscapeHtmlText(GenericText(value));
}

std::string VBRICHTEXTDECODEENTITIES(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kEntities = {{
      {"&nbsp;", " "}, {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"},
      {"&#039;", "'"}, {"&euro;", "\xE2\x82\xAC"}}};
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', pos)) {
    out.append(text.substr(pos, amp - pos));
    const std::string_view rest = text.substr(amp);
    pos = amp + 1;
    auto entity = std::find_if(kEntities.begin(), kEntities.end(),
                               [&](const auto& e) { return StartsWith(rest, e.first); });
    if (entity == kEntities.end()) {
      out += '&';
    } else {
      out.append(entity->second);
      pos = amp + entity->first.size();
    }
  }
  out.append(text.substr(pos));
  return out;
}

int64_t VBRICHTEXTATFROM(std::string_view needle, std::string_view text, int64_t start) {
  const auto from = static_cast<size_t>(std::max<int64_t>(1, start) - 1);
  if (needle.empty() || from >= text.size()) return 0;
  const size_t found = text.find(needle, from);
  return found == std::string_view::npos ? 0 : static_cast<int64_t>(found) + 1;
}

// ---- Reading RTF ----------------------------------------------------------------------------------------

std::string VBRICHTEXTRTFTOHTML(const Value& rtf) {
  // A text is read where it stands: a large document is not copied first.
  if (const std::string* text = rtf.StringRef()) return RtfHtmlReader(CleanView(*text)).Read();
  const std::string text = VBRICHTEXTNORMALIZEINPUT(rtf);
  return RtfHtmlReader(text).Read();
}

std::string VBRICHTEXTRTFFLUSHRUN(std::string& run, const RtfRunState& state, const std::vector<std::string>& fonts,
                                  const std::vector<std::string>& colors) {
  if (IsBlankText(run)) return "";
  std::string html;
  AppendRunHtml(html, run, state, fonts, colors);
  run.clear();
  return html;
}

std::vector<std::string> VBRICHTEXTRTFFONTS(std::string_view rtf) { return RtfFontTableReader(rtf).Read(); }

std::vector<std::string> VBRICHTEXTRTFCOLORS(std::string_view rtf) {
  std::vector<std::string> colors;
  const size_t open = FindNoCase(rtf, "{\\colortbl", 0);
  if (open == std::string_view::npos) return colors;
  const size_t close = rtf.find('}', open);
  if (close == std::string_view::npos || close < open + 11) return colors;
  // The body starts after "{\colortbl" and the ";" that ends the automatic colour.
  for (const std::string& entry : SplitText(rtf.substr(open + 11, close - open - 11), ';')) {
    if (IsBlankText(entry)) continue;
    colors.push_back("#" + NumToHex(ColorComponent(entry, "\\red"), 2) + NumToHex(ColorComponent(entry, "\\green"), 2) +
                     NumToHex(ColorComponent(entry, "\\blue"), 2));
  }
  return colors;
}

// ---- Writing RTF -----------------------------------------------------------------------------------------

std::string VBRICHTEXTTORTF(const Value& content, const Value& format) {
  const std::string* text = content.StringRef();
  if (text == nullptr) return "";
  const std::string kind = format.IsString() ? Lower(AllTrim(format.AsString())) : "text";
  if (kind == "rtf") return *text;
  if (kind == "html") return VBRICHTEXTHTMLTORTF(*text);
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}\\viewkind4\\uc1\\pard\\f0\\fs24 " +
         VBRICHTEXTRTFTEXT(*text) + "\\par}";
}

std::string VBRICHTEXTHTMLTORTF(std::string_view html) {
  RtfWriterTable fonts;
  RtfWriterTable colors;
  const CssText css(html);
  CollectFonts(css, fonts);
  CollectColors(html, css, colors);
  std::string rtf = HtmlRtfWriter(html, fonts, colors).Write(RtfHeader(fonts, colors));
  rtf += '}';
  return rtf;
}

std::string VBRICHTEXTTAGRTFCONTROLS(std::string_view name, std::string_view style, const RtfWriterTable& fonts,
                                     const RtfWriterTable& colors) {
  std::string out;
  if (name == "strong" || name == "b") out += "\\b ";
  if (name == "em" || name == "i") out += "\\i ";
  if (name == "u") out += "\\ul ";
  if (name == "s" || name == "strike") out += "\\strike ";
  if (name == "sup") out += "\\super ";
  if (name == "sub") out += "\\sub ";
  if (style.empty()) return out;
  const CssText css(style);
  AppendWeightSlantAndDecoration(out, css);
  AppendFontSizeAndColours(out, css, fonts, colors);
  AppendAlignment(out, css);
  return out;
}

std::string VBRICHTEXTRTFTEXT(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  size_t i = 0;
  while (i < text.size()) {
    const auto [code, length] = DecodeUtf8(text, i);
    AppendRtfCodePoint(out, code);
    i += length;
  }
  return out;
}

// ---- CSS and tags ------------------------------------------------------------------------------------------

std::vector<std::string> VBRICHTEXTCSSVALUES(std::string_view text, std::string_view property) {
  std::vector<std::string> values;
  CssText(text).EachValue(CssKey(property), [&](std::string value) {
    values.push_back(std::move(value));
    return true;
  });
  return values;
}

std::string VBRICHTEXTCSSVALUE(std::string_view style, std::string_view property) {
  return CssText(style).FirstValue(CssKey(property));
}

std::string VBRICHTEXTCLEANCSSVALUE(std::string_view value) {
  std::string unquoted;
  unquoted.reserve(value.size());
  std::copy_if(value.begin(), value.end(), std::back_inserter(unquoted), [](char c) { return c != '"' && c != '\''; });
  std::string trimmed = AllTrim(unquoted);
  const size_t comma = trimmed.find(',');
  return comma == std::string::npos ? trimmed : AllTrim(std::string_view(trimmed).substr(0, comma));
}

std::string VBRICHTEXTNORMALIZECOLOR(std::string_view value) {
  const std::string s = Lower(AllTrim(value));
  if (VBRICHTEXTISHEXCOLOR(s)) return s;
  if (s.size() == 4 && s[0] == '#') {
    const std::string doubled = {'#', s[1], s[1], s[2], s[2], s[3], s[3]};
    if (VBRICHTEXTISHEXCOLOR(doubled)) return doubled;
  }
  if ((StartsWith(s, "rgb(") || StartsWith(s, "rgba(")) && s.find(')') != std::string::npos) {
    if (std::string rgb = RgbColor(s); !rgb.empty()) return rgb;
  }
  return NamedColor(s);
}

std::string VBRICHTEXTTAGNAME(std::string_view text) {
  std::string name = AllTrim(text.substr(0, text.find(' ')));
  std::erase(name, '/');
  return name;
}

std::string VBRICHTEXTTAGSTYLE(std::string_view tag) {
  size_t pos = Lower(tag).find("style=");
  if (pos == std::string::npos) return "";
  pos += 6;
  while (pos < tag.size() && tag[pos] == ' ') ++pos;
  if (pos < tag.size() && (tag[pos] == '"' || tag[pos] == '\'')) {
    const size_t end = tag.find(tag[pos], pos + 1);
    return std::string(tag.substr(pos + 1, end == std::string_view::npos ? std::string_view::npos : end - pos - 1));
  }
  return std::string(tag.substr(pos, tag.find(' ', pos) - pos));
}

bool VBRICHTEXTISHEXCOLOR(std::string_view text) {
  return text.size() == 7 && text[0] == '#' && std::all_of(text.begin() + 1, text.end(), IsHexDigit);
}

// ---- Content of a rich text object ------------------------------------------------------------------

std::string VBRICHTEXTINTERPOLATE(std::string_view content, std::string_view format,
                                  const std::function<Value(std::string_view)>& evaluator) {
  if (!evaluator) return std::string(content);
  std::string result;
  result.reserve(content.size());
  size_t pos = 0;
  for (size_t open = content.find("{{"); open != std::string_view::npos; open = content.find("{{", pos)) {
    result.append(content.substr(pos, open - pos));
    const size_t close = content.find("}}", open + 2);
    if (close == std::string_view::npos) return result.append(content.substr(open));
    const std::string formula = AllTrim(content.substr(open + 2, close - open - 2));
    result += InterpolatedValue(VBRICHTEXTNORMALIZEINPUT(evaluator(formula)), format);
    pos = close + 2;
  }
  return result.append(content.substr(pos));
}

std::string VBRICHTEXTPLAINTEXT(const Value& content, const Value& format) {
  std::string s = VBRICHTEXTNORMALIZEINPUT(content);
  std::string kind = format.IsString() ? Lower(format.AsString()) : DetectFormatOf(s);
  if (kind == "rtf") {
    s = RtfHtmlReader(s).Read();
    kind = "html";
  }
  if (kind != "html") return s;
  return VBRICHTEXTDECODEENTITIES(RemoveTags(LineBreakTagsToLf(s)));
}

}  // namespace nv
