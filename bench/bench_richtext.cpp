// Throughput of the rich text conversions: an RTF document read into HTML and an HTML document
// written as RTF, at 1 MB and 4 MB, in bytes of input per second. Both documents mix plain text
// with formatting groups, styles, colours, lists, escapes and non-ASCII characters, as pasted
// content does.
#include <benchmark/benchmark.h>

#include <string>

#include "Value.h"
#include "objects/RichTextFormat.h"

using namespace nv;

namespace {

constexpr size_t kMegabyte = 1024 * 1024;

std::string RtfDocument(size_t bytes) {
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman Times New Roman;}}"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\\viewkind4\\uc1\\pard\\f0\\fs24 ";
  for (int n = 0; rtf.size() < bytes; ++n) {
    rtf += "Linea " + std::to_string(n) + " del pedido: {\\b Cliente} {\\i Dulces Orbanel}, importe ";
    rtf += "{\\cf1\\fs28 1.234,50 \\u8364?} con {\\ul descuento} del 5 %\\tab ";
    rtf += "{\\f1 caf\\'e9 y pi\\'f1a \\{sin az\\'facar\\}} {\\*\\bkmkstart m} \\u-10179?\\u-8704?";
    rtf += "{\\super 2}{\\highlight2 nota}\\par\n";
  }
  return rtf + "}";
}

std::string HtmlDocument(size_t bytes) {
  std::string html;
  for (int n = 0; html.size() < bytes; ++n) {
    html += "<p style=\"color:#FF0000;font-family:Georgia, serif;font-size:14px\">Linea " + std::to_string(n);
    html += " del pedido: <strong>Cliente</strong> <em>Dulces Orbanel</em> &amp; hijos, importe ";
    html += "<span style=\"background-color:rgb(255, 255, 0);font-weight:700\">1.234,50 &euro;</span></p>\n";
    html += "<ul><li>caf\xC3\xA9 y pi\xC3\xB1" "a {sin az\xC3\xBA" "car}</li><li><u>descuento</u> del 5 %<br/>";
    html += "\xF0\x9F\x98\x80 <sup>2</sup></li></ul>\n";
  }
  return html;
}

void BM_RtfToHtml(benchmark::State& state) {
  const Value rtf(RtfDocument(static_cast<size_t>(state.range(0)) * kMegabyte));
  for (auto _ : state) benchmark::DoNotOptimize(VBRICHTEXTRTFTOHTML(rtf));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(rtf.AsString().size()));
}
BENCHMARK(BM_RtfToHtml)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_HtmlToRtf(benchmark::State& state) {
  const std::string html = HtmlDocument(static_cast<size_t>(state.range(0)) * kMegabyte);
  for (auto _ : state) benchmark::DoNotOptimize(VBRICHTEXTHTMLTORTF(html));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}
BENCHMARK(BM_HtmlToRtf)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
