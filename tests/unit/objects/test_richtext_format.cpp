#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "objects/RichTextFormat.h"

using namespace nv;

namespace {

const std::string kEuro = "\xE2\x82\xAC";
const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600, above U+FFFF
const std::string kReplacement = "\xEF\xBF\xBD";

// The header the writer puts before an HTML body that uses no font and no colour of its own.
const std::string kPlainHeader =
    R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0 Arial;}}{\colortbl;}\viewkind4\uc1\pard\f0\fs24 )";

std::string HtmlToRtfBody(const std::string& html) {
  const std::string rtf = VBRICHTEXTHTMLTORTF(html);
  if (rtf.rfind(kPlainHeader, 0) != 0 || rtf.empty() || rtf.back() != '}') return "unexpected: " + rtf;
  return rtf.substr(kPlainHeader.size(), rtf.size() - kPlainHeader.size() - 1);
}

std::string Controls(const std::string& name, const std::string& style) {
  RtfWriterTable fonts;
  RtfWriterTable colors;
  fonts.Add("Arial");
  fonts.Add("Georgia");
  colors.Add("#ff0000");
  colors.Add("#0000ff");
  return VBRICHTEXTTAGRTFCONTROLS(name, style, fonts, colors);
}

std::string Repeated(int count, const std::function<std::string(int)>& piece) {
  std::string text;
  for (int k = 0; k < count; ++k) text += piece(k);
  return text;
}

}  // namespace

// ---- Recognition and cleaning -------------------------------------------------------------------

TEST(RichTextInput, NormalizeRemovesByteOrderMarkAndTrailingNuls) {
  EXPECT_EQ(VBRICHTEXTNORMALIZEINPUT(Value(std::string("\xEF\xBB\xBF" "a\0b\0\0", 7))), std::string("a\0b", 3));
  EXPECT_EQ(VBRICHTEXTNORMALIZEINPUT(Value()), "");
  EXPECT_EQ(VBRICHTEXTNORMALIZEINPUT(Value(true)), ".T.");
  EXPECT_EQ(VBRICHTEXTNORMALIZEINPUT(Value(12)), "        12");
  EXPECT_EQ(VBRICHTEXTTRIMSTART(std::string("\0\t\n\r x y ", 9)), "x y ");
  EXPECT_EQ(VBRICHTEXTTRIMSTART(" \t"), "");
}

TEST(RichTextInput, DetectFormat) {
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value(" \r\n\t{\\RTF1 x}")), "rtf");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value("\xEF\xBB\xBF{\\rtf1}")), "rtf");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value("a < b")), "text");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value("x<br>y")), "html");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value("see <LI>item")), "html");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value("<table><td>1</td></table>")), "text");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value("x {\\rtf1}")), "text");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value(5)), "text");
  EXPECT_EQ(VBRICHTEXTDETECTFORMAT(Value()), "text");
}

// ---- HTML text ----------------------------------------------------------------------------------------

TEST(RichTextHtml, EscapeAndDecodeEntities) {
  EXPECT_EQ(VBRICHTEXTESCAPEHTML(Value("a&b<c>\"d'e")), "a&amp;b&lt;c&gt;&quot;d&#039;e");
  EXPECT_EQ(VBRICHTEXTESCAPEHTML(Value(false)), ".F.");
  EXPECT_EQ(VBRICHTEXTDECODEENTITIES("&nbsp;&amp;&lt;&gt;&quot;&apos;&#039;&euro;"), " &<>\"''" + kEuro);
  EXPECT_EQ(VBRICHTEXTDECODEENTITIES("&copy; &#65; &AMP; & &amp"), "&copy; &#65; &AMP; & &amp");
}

TEST(RichTextHtml, AtFrom) {
  EXPECT_EQ(VBRICHTEXTATFROM("b", "abcb", 0), 2);
  EXPECT_EQ(VBRICHTEXTATFROM("b", "abcb", -7), 2);
  EXPECT_EQ(VBRICHTEXTATFROM("b", "abcb", 3), 4);
  EXPECT_EQ(VBRICHTEXTATFROM("b", "abcb", 5), 0);
  EXPECT_EQ(VBRICHTEXTATFROM("x", "abcb", 1), 0);
  EXPECT_EQ(VBRICHTEXTATFROM("", "abcb", 1), 0);
}

// ---- Reading RTF -------------------------------------------------------------------------------------

TEST(RichTextRtfRead, DocumentWithFontTable) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(
                R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0 Arial;}}\viewkind4\uc1\pard\f0\fs24 Hola\par})")),
            R"(<span><span style="font-family:Arial;font-size:12.00pt;">Hola</span><br></span>)");
}

TEST(RichTextRtfRead, BlanksBetweenGroupsJoinTheNextRun) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"({\b Hola} {\i mundo})")),
            "<span><strong>Hola</strong><em> mundo</em></span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(a {\b  })")), "<span>a </span>");
}

TEST(RichTextRtfRead, UnicodeEscapesAndFallbacks) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(\u8364?)")), "<span>" + kEuro + "</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(\u8364\'80xy)")), "<span>" + kEuro + kEuro + "y</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(\uc0\u233 x)")), "<span>\xC3\xA9x</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(\uc2\u233 xyz)")), "<span>\xC3\xA9z</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(\u-4064?)")), "<span>\xEF\x80\xA0</span>");
}

TEST(RichTextRtfRead, CharacterFormattingNestsWithBoldOutermost) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"({\b\i\ul\strike\super x}{\sub y\nosupersub z}{\ul a\ulnone b\b1 c\b0 d})")),
            "<span><strong><em><u><s><sup>x</sup></s></u></em></strong><sub>y</sub>z<u>a</u>b<strong>c</strong>d</span>");
}

TEST(RichTextRtfRead, SizesColoursAndSpecialCharacters) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(
                R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green128\blue255;}\fs25\cf1\highlight2 A\cf3 B})")),
            R"(<span><span style="font-size:12.50pt;color:#FF0000;background-color:#0080FF;">A</span>)"
            R"(<span style="font-size:12.50pt;background-color:#0080FF;">B</span></span>)");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(a\tab b\bullet c\line d\par)")),
            "<span>a&emsp;b&#8226; c<br>d<br></span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(a\{b\}c\\d <&> \'e9\'93)" "\x80\r\n")),
            "<span>a{b}c\\d &lt;&amp;&gt; \xC3\xA9\xE2\x80\x9C\xE2\x82\xAC</span>");
}

TEST(RichTextRtfRead, DestinationsAreSkippedAndMalformedInputTolerated) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"({\*\generator Gen;}{\info{\title T}}{\stylesheet{\s0 N;}}Body)")),
            "<span>Body</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("a}}b")), "<span>ab</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("ab\\")), "<span>ab</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"(a\~b\-c)")), "<span>abc</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("{{{\\b x")), "<span><strong>x</strong></span>");
}

TEST(RichTextRtfRead, FlushRun) {
  RtfRunState state;
  state.bold = true;
  state.font = 1;
  const std::vector<std::string> fonts = {"Arial", "Courier New"};
  std::string blank = " \t\r\n";
  EXPECT_EQ(VBRICHTEXTRTFFLUSHRUN(blank, state, fonts, {}), "");
  EXPECT_EQ(blank, " \t\r\n");
  std::string run = " x<";
  EXPECT_EQ(VBRICHTEXTRTFFLUSHRUN(run, state, fonts, {}),
            R"(<span style="font-family:Courier New;"><strong> x&lt;</strong></span>)");
  EXPECT_EQ(run, "");
  state.font = 7;
  state.color = 1;
  run = "y";
  EXPECT_EQ(VBRICHTEXTRTFFLUSHRUN(run, state, fonts, {" "}), "<strong>y</strong>");
}

TEST(RichTextRtfRead, FontTable) {
  EXPECT_EQ(VBRICHTEXTRTFFONTS(R"({\rtf1{\fonttbl{\f0\fnil\fcharset0 Calibri;}{\f2 Courier New ;}}})"),
            (std::vector<std::string>{"Calibri", "", "Courier New"}));
  EXPECT_EQ(VBRICHTEXTRTFFONTS(R"({\FONTTBL\f0 Arial;\f1\froman Times;})"), (std::vector<std::string>{"Arial", "Times"}));
  EXPECT_EQ(VBRICHTEXTRTFFONTS(R"({\fonttbl{\f0\froman{\*\panose 02020603}Times New Roman;}{\f1 Caf\'e9\'3b;}})"),
            (std::vector<std::string>{"Times New Roman", "Caf\xC3\xA9;"}));
  EXPECT_TRUE(VBRICHTEXTRTFFONTS(R"({\rtf1\f0 Arial;})").empty());
}

TEST(RichTextRtfRead, ColourTable) {
  EXPECT_EQ(VBRICHTEXTRTFCOLORS(R"({\rtf1{\COLORTBL;\red255\green0\blue0; ;\red1\green2\blue300;}x})"),
            (std::vector<std::string>{"#FF0000", "#01022C"}));
  EXPECT_TRUE(VBRICHTEXTRTFCOLORS(R"({\rtf1 no table})").empty());
  EXPECT_TRUE(VBRICHTEXTRTFCOLORS(R"({\colortbl;\red1)").empty());
}

// ---- Writing RTF ---------------------------------------------------------------------------------------

TEST(RichTextRtfWrite, ParagraphWithColour) {
  EXPECT_EQ(VBRICHTEXTHTMLTORTF(R"(<p style="color:#FF0000">A</p><p>B</p>)"),
            R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0 Arial;}}{\colortbl;\red255\green0\blue0;})"
            R"(\viewkind4\uc1\pard\f0\fs24 {\cf1 A}\par {B}\par })");
}

TEST(RichTextRtfWrite, FormattingTagsAndLineBreaks) {
  EXPECT_EQ(HtmlToRtfBody("<u>x</u><s>y</s><i>z</i>"), R"({\ul x}{\strike y}{\i z})");
  EXPECT_EQ(HtmlToRtfBody("<STRONG>a</STRONG><b>b</b><em>c</em><strike>d</strike><sup>e</sup><sub>f</sub>"),
            R"({\b a}{\b b}{\i c}{\strike d}{\super e}{\sub f})");
  EXPECT_EQ(HtmlToRtfBody("a<br>b<br/>c< BR />d</br>e"), R"(a\line b\line c\line d\line e)");
  EXPECT_EQ(HtmlToRtfBody("<div>a</div><span>b</span>"), R"({a}\par {b})");
  EXPECT_EQ(HtmlToRtfBody("<b>x</i>y</p>"), R"({\b x}y\par )");
}

TEST(RichTextRtfWrite, Lists) {
  EXPECT_EQ(HtmlToRtfBody("<ol><li>a</li><li>b</li></ol>"),
            R"({\pard\li360\fi-180 1.\tab a}\par {\pard\li360\fi-180 2.\tab b}\par )");
  EXPECT_EQ(HtmlToRtfBody("<ol><li>a<ul><li>b</li></ul></li></ol>"),
            R"({\pard\li360\fi-180 1.\tab a{\pard\li720\fi-180 \bullet\tab b}\par }\par )");
  EXPECT_EQ(HtmlToRtfBody("<li>x</li>"), R"({\pard\li360\fi-180 \bullet\tab x}\par )");
}

TEST(RichTextRtfWrite, TextIsDecodedAndEscaped) {
  EXPECT_EQ(HtmlToRtfBody("<p>a &amp; b {c} \\ \xC3\xA9\nd</p>"), R"({a & b \{c\} \\ \u233?\line d}\par )");
  EXPECT_EQ(HtmlToRtfBody("<table><tr><td>x</td></tr></table>"), "x");
  EXPECT_EQ(HtmlToRtfBody("a<b"), "a");
  EXPECT_EQ(HtmlToRtfBody("<p><b>x"), "{{\\b x}}");
}

TEST(RichTextRtfWrite, FontAndColourTables) {
  EXPECT_EQ(VBRICHTEXTHTMLTORTF(R"(<span style='font-family:Georgia, serif'>x</span>)"
                                R"(<span style="font-family:arial">y</span>)"),
            R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0 Arial;}{\f1 Georgia;}}{\colortbl;})"
            R"(\viewkind4\uc1\pard\f0\fs24 {\f1 x}{\f0 y}})");
  EXPECT_EQ(VBRICHTEXTHTMLTORTF(R"x(Ref #AbCdEf <span style="color:red;background-color:rgb(0, 0, 255)">x</span>)x"),
            R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0 Arial;}}{\colortbl;\red171\green205\blue239;)"
            R"(\red255\green0\blue0;\red0\green0\blue255;}\viewkind4\uc1\pard\f0\fs24 Ref #AbCdEf {\cf2 \highlight3 x}})");
}

TEST(RichTextRtfWrite, TagControls) {
  EXPECT_EQ(Controls("span", "font-size:16px"), "\\fs24 ");
  EXPECT_EQ(Controls("span", "font-size:1.5em"), "\\fs36 ");
  EXPECT_EQ(Controls("span", "font-size:150%"), "\\fs36 ");
  EXPECT_EQ(Controls("span", "font-size:10pt"), "\\fs20 ");
  EXPECT_EQ(Controls("span", "font-size:1rem"), "\\fs24 ");
  EXPECT_EQ(Controls("span", "font-size:10.25"), "\\fs21 ");
  EXPECT_EQ(Controls("span", "font-size:0px;font-size:large"), "");
  EXPECT_EQ(Controls("strong", "font-weight:700"), "\\b \\b ");
  EXPECT_EQ(Controls("span", "font-weight:normal;font-style:ITALIC"), "\\i ");
  EXPECT_EQ(Controls("span", "text-decoration:underline line-through"), "\\ul \\strike ");
  EXPECT_EQ(Controls("p", "font-family:georgia;color:#00F;background-color:Red;text-align:center"),
            "\\f1 \\cf2 \\highlight1 \\qc ");
  // A quote ends a CSS value, so a quoted family inside the style gives no font.
  EXPECT_EQ(Controls("p", "font-family:'Georgia'"), "");
  EXPECT_EQ(Controls("p", "font-family:Verdana;color:green;text-align:justify"), "\\qj ");
}

TEST(RichTextRtfWrite, ContentToRtf) {
  EXPECT_EQ(VBRICHTEXTTORTF(Value("a{b}\r\nc"), Value()),
            R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0 Arial;}}\viewkind4\uc1\pard\f0\fs24 a\{b\}\line c\par})");
  EXPECT_EQ(VBRICHTEXTTORTF(Value("{\\rtf1 x}"), Value(" RTF ")), "{\\rtf1 x}");
  EXPECT_EQ(VBRICHTEXTTORTF(Value("<b>x</b>"), Value("Html")), kPlainHeader + "{\\b x}}");
  EXPECT_EQ(VBRICHTEXTTORTF(Value(5), Value("text")), "");
}

TEST(RichTextRtfWrite, RtfText) {
  EXPECT_EQ(VBRICHTEXTRTFTEXT(kEuro), "\\u8364?");
  EXPECT_EQ(VBRICHTEXTRTFTEXT(kGrin), "\\u-10179?\\u-8704?");
  EXPECT_EQ(VBRICHTEXTRTFTEXT("{}\\"), "\\{\\}\\\\");
  EXPECT_EQ(VBRICHTEXTRTFTEXT("a\tb\r\nc\xC3\xA9"), "a\tb\\line c\\u233?");
  EXPECT_EQ(VBRICHTEXTRTFTEXT("\xE2\x82"), "\\u226?\\u130?");
}

// ---- CSS and tags ---------------------------------------------------------------------------------------

TEST(RichTextCss, Values) {
  EXPECT_EQ(VBRICHTEXTCSSVALUES("color:red; background-color:blue; x-color:green;COLOR: Navy ", "color"),
            (std::vector<std::string>{"red", "Navy"}));
  EXPECT_EQ(VBRICHTEXTCSSVALUES(R"(<p style="color:blue">color:<b>)", "color"), (std::vector<std::string>{"blue"}));
  EXPECT_EQ(VBRICHTEXTCSSVALUES("color:;color :red", "color"), (std::vector<std::string>{}));
  EXPECT_EQ(VBRICHTEXTCSSVALUE("font-size: 12pt ;font-size:9pt", "FONT-SIZE"), "12pt");
  EXPECT_EQ(VBRICHTEXTCSSVALUE("margin:0", "color"), "");
  EXPECT_EQ(VBRICHTEXTCLEANCSSVALUE(R"( "Times New Roman" , serif)"), "Times New Roman");
  EXPECT_EQ(VBRICHTEXTCLEANCSSVALUE("'Arial'"), "Arial");
}

TEST(RichTextCss, NormalizeColor) {
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("rgb(300, -5, 16)"), "#ff0010");
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("#F0A"), "#ff00aa");
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("Orange"), "#ffa500");
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("hsl(0, 100%, 50%)"), "");
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("  #ABCDEF "), "#abcdef");
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("RGBA(1.9, 2, 3, 0.5)"), "#010203");
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("rgb(1, 2)"), "");
  EXPECT_EQ(VBRICHTEXTNORMALIZECOLOR("#GGG"), "");
  EXPECT_TRUE(VBRICHTEXTISHEXCOLOR("#a1B2c3"));
  EXPECT_FALSE(VBRICHTEXTISHEXCOLOR("#a1B2c"));
  EXPECT_FALSE(VBRICHTEXTISHEXCOLOR("#a1B2cg"));
  EXPECT_FALSE(VBRICHTEXTISHEXCOLOR("a1B2c3d"));
}

TEST(RichTextCss, TagNameAndStyle) {
  EXPECT_EQ(VBRICHTEXTTAGNAME("br/"), "br");
  EXPECT_EQ(VBRICHTEXTTAGNAME("span style=\"x\""), "span");
  EXPECT_EQ(VBRICHTEXTTAGNAME(""), "");
  EXPECT_EQ(VBRICHTEXTTAGSTYLE(R"(span STYLE="color:red; x:y" id=1)"), "color:red; x:y");
  EXPECT_EQ(VBRICHTEXTTAGSTYLE("span style=  'a:b'"), "a:b");
  EXPECT_EQ(VBRICHTEXTTAGSTYLE("span style=color:red id=1"), "color:red");
  EXPECT_EQ(VBRICHTEXTTAGSTYLE("span style=\"open"), "open");
  EXPECT_EQ(VBRICHTEXTTAGSTYLE("span class=x"), "");
}

// ---- Content of a rich text object --------------------------------------------------------------

TEST(RichTextContent, PlainText) {
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("<p>a<br>b<br/>c<br />d</p><BR>e")), "a\nb\nc\nde");
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("<strong>x</strong> &amp;lt; y &euro;")), "x &lt; y " + kEuro);
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("<b>x</b> &amp;")), "<b>x</b> &amp;");
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("<p>a</p><b"), Value("HTML")), "a");
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value(R"({\rtf1 Hola\par Mundo &})")), "Hola\nMundo &");
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("a <b>c</b>"), Value("text")), "a <b>c</b>");
}

TEST(RichTextContent, Interpolate) {
  std::vector<std::string> asked;
  auto evaluator = [&](std::string_view formula) -> Value {
    asked.emplace_back(formula);
    if (formula == "RTF") return Value("{\\rtf1 {\\b hi}}");
    if (formula == "AGAIN") return Value("{{X}}");
    return Value("A&B");
  };
  EXPECT_EQ(VBRICHTEXTINTERPOLATE("Hola {{ X }}!", "text", evaluator), "Hola A&B!");
  EXPECT_EQ(asked, (std::vector<std::string>{"X"}));
  EXPECT_EQ(VBRICHTEXTINTERPOLATE("<p>{{X}}</p>", "html", evaluator), "<p>A&amp;B</p>");
  EXPECT_EQ(VBRICHTEXTINTERPOLATE("<p>{{RTF}}</p>", "html", evaluator), "<p><span><strong>hi</strong></span></p>");
  EXPECT_EQ(VBRICHTEXTINTERPOLATE("{{AGAIN}}", "text", evaluator), "{{X}}");
  EXPECT_EQ(VBRICHTEXTINTERPOLATE("a {{X}} b {{c", "text", evaluator), "a A&B b {{c");
  EXPECT_EQ(VBRICHTEXTINTERPOLATE("a {{X}}", "text", nullptr), "a {{X}}");
}

// ---- Round trips ------------------------------------------------------------------------------------

TEST(RichTextRoundTrip, PlainTextThroughHtmlAndRtf) {
  const std::string text = "L\xC3\xADnea 1 & <2>\n\t'comillas' \"dobles\" {llaves} \\barra\nEmoji " + kGrin +
                           " " + kEuro + " #ff0000;";
  const std::string rtf = VBRICHTEXTHTMLTORTF(VBRICHTEXTESCAPEHTML(Value(text)));
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value(VBRICHTEXTRTFTOHTML(Value(rtf))), Value("html")), text);
}

TEST(RichTextRoundTrip, WrittenRtfReadsBackToTheSameText) {
  const std::string text =
      "\xC3\x91" "and\xC3\xBA\tcaf\xC3\xA9\n" + kGrin + kGrin + " \xE2\x80\x9C" "ok\xE2\x80\x9D\nend";
  const std::string rtf = VBRICHTEXTTORTF(Value(text), Value("text"));
  for (unsigned char c : rtf) EXPECT_LT(c, 0x80);
  // The document ends its paragraph with \par, which reads back as one more line end.
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value(rtf)), text + "\n");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(VBRICHTEXTTORTF(Value(kGrin), Value("text")))),
            R"(<span><span style="font-family:Arial;font-size:12.00pt;">)" + kGrin + "</span><br></span>");
}

// ---- Mended faults -------------------------------------------------------------------------------------

TEST(RichTextFaults, HugeFontNumberIsIgnored) {
  EXPECT_TRUE(VBRICHTEXTRTFFONTS("{\\fonttbl\\f999999999 Big;}").empty());
  EXPECT_TRUE(VBRICHTEXTRTFFONTS("{\\f999999999 a;}").empty());
  EXPECT_EQ(VBRICHTEXTRTFFONTS("{\\fonttbl{\\f32767 Last;}{\\f32768 Beyond;}}").size(), 32768u);
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("{\\fonttbl{\\f999999999 Big;}}\\f999999999 x")), "<span>x</span>");
}

TEST(RichTextFaults, NegativeFontNumberNeverIndexes) {
  EXPECT_TRUE(VBRICHTEXTRTFFONTS("{\\fonttbl{\\f-1 Neg;}}").empty());
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("{\\fonttbl{\\f0 Arial;}}\\f-1 x\\f-99999999999999999999 y")),
            "<span>xy</span>");
}

TEST(RichTextFaults, NumericParametersSaturate) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("\\fs99999999999999999999 x")),
            R"(<span><span style="font-size:1073741823.50pt;">x</span></span>)");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("\\u99999999999999999999?a\\u-99999999999999999999?b")),
            "<span>" + kReplacement + "a" + kReplacement + "b</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("\\uc99999999999999999999 \\u233 abc\\cf-5\\highlight99999999999 d")),
            "<span>\xC3\xA9</span>");
  EXPECT_EQ(Controls("span", "font-size:" + std::string(400, '9') + "pt"), "\\fs2147483647 ");
}

TEST(RichTextFaults, InvalidHexEscapeIsDropped) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("a\\'zzb\\'00c\\'4")), "<span>abc</span>");
  EXPECT_EQ(VBRICHTEXTRTFFONTS("{\\fonttbl{\\f0 A\\'zzB\\'00;}}"), (std::vector<std::string>{"AB"}));
}

TEST(RichTextFaults, FontTableIsReadFromItsGroupOnly) {
  const std::string rtf = R"({\rtf1{\fonttbl{\f0 Arial;}{\f1\fswiss Helvetica;}}\f0\fs24 Precio; 5\par})";
  EXPECT_EQ(VBRICHTEXTRTFFONTS(rtf), (std::vector<std::string>{"Arial", "Helvetica"}));
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(rtf)),
            R"(<span><span style="font-family:Arial;font-size:12.00pt;">Precio; 5</span><br></span>)");
}

TEST(RichTextFaults, SurrogatePairReadsAsOneCharacter) {
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("\\u-10179?\\u-8704?")), "<span>" + kGrin + "</span>");
  // A half of a pair alone is a replacement character, not an invalid UTF-8 sequence.
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("\\u-10179?x\\u-8704?")), "<span>" + kReplacement + "x" + kReplacement + "</span>");
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value("\\u-10179?")), "<span>" + kReplacement + "</span>");
}

TEST(RichTextFaults, EntitiesDecodeInOnePass) {
  EXPECT_EQ(VBRICHTEXTDECODEENTITIES("&amp;lt; &amp;amp; &&lt;"), "&lt; &amp; &<");
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("<p>&amp;lt;b&amp;gt;</p>")), "&lt;b&gt;");
}

TEST(RichTextFaults, PlainTextUsesLfLineEnds) {
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("a<br>b")), "a\nb");
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value("{\\rtf1 a\\line b}")), "a\nb");
}

TEST(RichTextFaults, TagRemovalAndPlaceholdersKeepEveryRunOfLongInputs) {
  const auto tags = [](int k) { return "<u>" + std::string(1, static_cast<char>('a' + k % 26)) + "</u>"; };
  const std::string fewTags = Repeated(10000, tags);
  const std::string manyTags = Repeated(40000, tags);
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value(fewTags)).substr(0, 28), "abcdefghijklmnopqrstuvwxyzab");
  EXPECT_EQ(VBRICHTEXTPLAINTEXT(Value(manyTags)).size(), 40000u);
  const auto placeholder = [](int) { return std::string("{{V}}."); };
  const std::string fewPlaceholders = Repeated(10000, placeholder);
  const std::string manyPlaceholders = Repeated(40000, placeholder);
  auto evaluator = [](std::string_view) { return Value("ab"); };
  EXPECT_EQ(VBRICHTEXTINTERPOLATE(fewPlaceholders, "text", evaluator).size(), 30000u);
  EXPECT_EQ(VBRICHTEXTINTERPOLATE(manyPlaceholders, "text", evaluator).size(), 120000u);
}

TEST(RichTextFaults, FontAndColourDuplicatesAreFoundAmongThousands) {
  // Every span brings a new font and a new colour and repeats the first ones.
  const auto spans = [](int k) {
    return "<span style=\"font-family:Font" + std::to_string(k) + ";color:#" + std::to_string(100000 + k) +
           "\">x</span><span style=\"font-family:FONT0;color:#100000\">y</span>";
  };
  const std::string fewSpans = Repeated(1000, spans);
  const std::string manySpans = Repeated(4000, spans);
  const std::string rtf = VBRICHTEXTHTMLTORTF(fewSpans);
  EXPECT_NE(rtf.find("{\\f1000 Font999;}}"), std::string::npos);
  EXPECT_NE(rtf.find("{\\f1000 \\cf1000 x}{\\f1 \\cf1 y}}"), std::string::npos);
  EXPECT_NE(VBRICHTEXTHTMLTORTF(manySpans).find("{\\f4000 Font3999;}}"), std::string::npos);
}

TEST(RichTextFaults, FontNamesCannotInflateOrBreakTheHtml) {
  const std::string longName(300, 'n');
  EXPECT_TRUE(VBRICHTEXTRTFFONTS("{\\fonttbl{\\f0 " + longName + ";}}").empty());
  EXPECT_EQ(VBRICHTEXTRTFTOHTML(Value(R"({\fonttbl{\f0 A\'22><b>;}}x)")),
            R"(<span><span style="font-family:A&quot;&gt;&lt;b&gt;;">x</span></span>)");
}

TEST(RichTextFaults, RtfTextKeepsMalformedUtf8Bytes) {
  EXPECT_EQ(VBRICHTEXTRTFTEXT("\xC3" "A"), "\\u195?A");
  EXPECT_EQ(VBRICHTEXTRTFTEXT("\xF0\x9F\x98"), "\\u240?\\u159?\\u152?");
}

// ---- Arbitrary bytes -------------------------------------------------------------------------------

namespace {

const std::vector<std::string> kFuzzSeeds = {
    R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Arial;}{\f1 Times;}}{\colortbl;\red255\green0\blue0;})"
    R"(\viewkind4\uc1\pard\f0\fs24 Hola {\b\i negrita}\par \u8364?\'e9 {\*\x y}\cf1\highlight1 \u-10179?\u-8704?\tab fin})",
    R"x(<p style="color:#FF0000;font-family:'Georgia', serif;font-size:16px">A &amp; B</p><ol><li>a<ul><li>b</li></ul></li></ol>)x"
    R"x(<span style="background-color:rgb(1,2,3);text-align:center;font-weight:700">x<br/>y</span> {{X}} &euro;)x",
    "Texto plano\tcon {{ Y }} y \xC3\xB1 \xF0\x9F\x98\x80 #abcdef;\r\n",
};

const std::vector<std::string> kFuzzTokens = {
    "{", "}", "\\", "\\u-10179?", "\\u", "\\'", "\\'zz", "\\f999999999", "\\fs-", "\\uc9", "\\*", "\\fonttbl",
    "\\colortbl", "\\red", ";", "<", ">", "</", "<li>", "<ol>", "</ul>", "&amp;", "&", "{{", "}}", "#",
    "style=\"", "'", "color:", "font-size:", "\xF0", "\xC3", std::string(1, '\0'), "\r\n", "99999999999999999999"};

std::string Mutate(std::string text, std::mt19937& random) {
  const int edits = 1 + static_cast<int>(random() % 8);
  for (int e = 0; e < edits; ++e) {
    const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
    switch (random() % 4) {
      case 0:
        if (at < text.size()) text[at] = static_cast<char>(random() % 256);
        break;
      case 1: text.insert(at, kFuzzTokens[random() % kFuzzTokens.size()]); break;
      case 2: text.erase(at, random() % 16); break;
      default: text.insert(at, text.substr(at, random() % 64)); break;
    }
  }
  return text;
}

// Unescaped braces close every group they open.
bool BracesBalance(const std::string& rtf) {
  int64_t depth = 0;
  for (size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') ++i;
    else if (rtf[i] == '{') ++depth;
    else if (rtf[i] == '}' && --depth < 0) return false;
  }
  return depth == 0;
}

bool IsSevenBit(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

TEST(RichTextArbitraryBytes, MutatedInputsNeverThrowAndKeepTheirShape) {
  std::mt19937 random(20261210);
  auto evaluator = [](std::string_view formula) { return Value(std::string(formula) + "<&>"); };
  for (int n = 0; n < 10000; ++n) {
    const std::string input = Mutate(kFuzzSeeds[static_cast<size_t>(n) % kFuzzSeeds.size()], random);
    SCOPED_TRACE(::testing::Message() << "input " << n);
    ASSERT_NO_THROW({
      const std::string html = VBRICHTEXTRTFTOHTML(Value(input));
      ASSERT_EQ(html.rfind("<span>", 0), 0u);
      ASSERT_EQ(html.find('\0'), std::string::npos);
      const std::string rtf = VBRICHTEXTHTMLTORTF(input);
      ASSERT_TRUE(BracesBalance(rtf));
      ASSERT_TRUE(IsSevenBit(rtf));
      ASSERT_TRUE(IsSevenBit(VBRICHTEXTTORTF(Value(input), Value("text"))));
      VBRICHTEXTPLAINTEXT(Value(input));
      VBRICHTEXTPLAINTEXT(Value(rtf));
      VBRICHTEXTDETECTFORMAT(Value(input));
      ASSERT_LE(VBRICHTEXTRTFFONTS(input).size(), 32768u);
      VBRICHTEXTRTFCOLORS(input);
      VBRICHTEXTINTERPOLATE(input, "html", evaluator);
      VBRICHTEXTNORMALIZECOLOR(input.substr(0, 24));
      VBRICHTEXTTAGSTYLE(input);
      VBRICHTEXTDECODEENTITIES(input);
    });
  }
}
