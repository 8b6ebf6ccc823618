#pragma once
// The content formats of rich text ("rtf", "html", "text") and the conversions between them:
// format recognition, input cleaning, HTML escaping and entity decoding, RTF read into an HTML
// fragment, HTML or plain text written as an RTF document, and plain-text extraction.
//
// All of them are hand-written scanners over byte strings: they understand a fixed vocabulary of
// RTF control words, HTML tags and CSS properties and pass or drop everything else. They never
// raise, and each runs in time and memory linear in its input. HTML and plain text are UTF-8;
// RTF is read as Windows-1252 and written as 7-bit text with \u escapes.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Value.h"

namespace nv {

/// The character state of one RTF group while reading. A group starts with a copy of the state of
/// the group around it and gives it back when it closes.
struct RtfRunState {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool sup = false;
  bool sub = false;
  /// Inside a destination whose text is not content (font table, pictures, \* groups).
  bool skip = false;
  int32_t font = 0;
  /// Half-points; 0 for no size.
  int32_t size = 0;
  /// Colour-table indices; 0 is the automatic colour.
  int32_t color = 0;
  int32_t background = 0;
  /// Fallback characters that follow a \u escape.
  int32_t uc = 1;
};

/// A list of font names or colours for the RTF writer, kept in order of insertion with an index
/// that ignores case, so that checking for a duplicate costs one hash lookup.
class RtfWriterTable {
 public:
  /// Appends entry unless an entry equal to it ignoring case is listed; true when appended.
  bool Add(std::string_view entry);
  /// The 0-based position of the entry equal to entry ignoring case, or -1.
  int64_t Find(std::string_view entry) const;
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
  std::unordered_map<std::string, size_t> positions_;
};

// ---- Recognition and cleaning -------------------------------------------------------------

/// A text unchanged, nil "", any other value its generic text form; then without a leading UTF-8
/// byte-order mark and without trailing NUL bytes.
std::string VBRICHTEXTNORMALIZEINPUT(const Value& value);
/// The text without its leading NUL, TAB, LF, CR and space bytes.
std::string VBRICHTEXTTRIMSTART(std::string_view text);
/// "rtf" for text starting with {\rtf (any case, after blanks), "html" when it holds one of the
/// known opening tags, else "text".
std::string VBRICHTEXTDETECTFORMAT(const Value& value);

// ---- HTML text --------------------------------------------------------------------------------------

/// Escapes &, <, >, the double and the single quote; a non-text is escaped in its generic text form.
std::string VBRICHTEXTESCAPEHTML(const Value& value);
/// Decodes &nbsp; &amp; &lt; &gt; &quot; &apos; &#039; and &euro; in one pass: a decoded "&" never
/// starts another entity, so &amp;lt; gives &lt;.
std::string VBRICHTEXTDECODEENTITIES(std::string_view text);
/// The 1-based position of the first needle at or after start (at least 1), 0 when absent.
int64_t VBRICHTEXTATFROM(std::string_view needle, std::string_view text, int64_t start);

// ---- Reading RTF ------------------------------------------------------------------------------------------

/// The RTF document as an HTML fragment enclosed in <span> and </span>: runs of text with their
/// bold, italic, underline, strike, super- and subscript tags and a style for font, size and
/// colours; \par and \line as <br>, \tab as &emsp;, \bullet as a bullet and a space.
std::string VBRICHTEXTRTFTOHTML(const Value& rtf);
/// The HTML of one run of text in the given state, and the run cleared. A blank run gives "" and
/// stays as it is, so that its blanks join the next run. fonts[n] is the name of font n; colors[k - 1]
/// is colour k.
std::string VBRICHTEXTRTFFLUSHRUN(std::string& run, const RtfRunState& state, const std::vector<std::string>& fonts,
                                  const std::vector<std::string>& colors);
/// The font names of the document's font table: entry n is the name of font n, "" when not named.
/// Fonts numbered above 32767 or below 0 are ignored.
std::vector<std::string> VBRICHTEXTRTFFONTS(std::string_view rtf);
/// The colours of the document's colour table as "#RRGGBB" (upper case): entry k - 1 is colour k.
std::vector<std::string> VBRICHTEXTRTFCOLORS(std::string_view rtf);

// ---- Writing RTF -------------------------------------------------------------------------------------------

/// The content as an RTF document: RTF unchanged, HTML converted, anything else as plain text in
/// Arial 12 pt. A non-text content gives "".
std::string VBRICHTEXTTORTF(const Value& content, const Value& format);
/// The HTML as an RTF document with its own font and colour tables.
std::string VBRICHTEXTHTMLTORTF(std::string_view html);
/// The RTF control words that open a group for one HTML tag with its style attribute.
std::string VBRICHTEXTTAGRTFCONTROLS(std::string_view name, std::string_view style, const RtfWriterTable& fonts,
                                     const RtfWriterTable& colors);
/// UTF-8 text with braces and backslashes escaped, LF as \line, CR dropped and every non-ASCII
/// character as a \u escape (two, a surrogate pair, above U+FFFF).
std::string VBRICHTEXTRTFTEXT(std::string_view text);

// ---- CSS and tags -------------------------------------------------------------------------------------------

/// Every non-empty value of the CSS property anywhere in the text, trimmed, as written.
std::vector<std::string> VBRICHTEXTCSSVALUES(std::string_view text, std::string_view property);
/// The first value of the property in the style text, or "".
std::string VBRICHTEXTCSSVALUE(std::string_view style, std::string_view property);
/// The first family name of a font-family value, without quotes.
std::string VBRICHTEXTCLEANCSSVALUE(std::string_view value);
/// A CSS colour (#rrggbb, #rgb, rgb(), rgba() or one of 17 names) as "#" and six lower-case
/// hexadecimal digits, or "".
std::string VBRICHTEXTNORMALIZECOLOR(std::string_view value);
/// The tag name of a lower-cased tag text: up to the first space, without "/".
std::string VBRICHTEXTTAGNAME(std::string_view text);
/// The value of the tag's style attribute, or "".
std::string VBRICHTEXTTAGSTYLE(std::string_view tag);
/// "#" followed by six hexadecimal digits of either case.
bool VBRICHTEXTISHEXCOLOR(std::string_view text);

// ---- Content of a rich text object ---------------------------------------------------------------

/// The content with every {{formula}} replaced by evaluator(formula), as data: escaped as HTML text
/// in HTML content (an RTF value converted to HTML), as RTF text in RTF content, as it stands in
/// plain text. An unterminated {{ stays literally; values are not scanned again.
std::string VBRICHTEXTINTERPOLATE(std::string_view content, std::string_view format,
                                  const std::function<Value(std::string_view)>& evaluator);
/// The content as plain text: RTF read as HTML, then HTML line breaks as LF, tags removed and
/// entities decoded. format nil means detect it; plain text comes back unchanged.
std::string VBRICHTEXTPLAINTEXT(const Value& content, const Value& format = Value());

}  // namespace nv
