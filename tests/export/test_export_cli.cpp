// The norvane program drawing the examples as a user runs it: formats from options and names,
// page files, --pages, --report, --strict, the export command, byte-identical output across
// processes, and JSON written page by page from a spooled run.
#include <gtest/gtest.h>

#include "ExportTestSupport.h"

using namespace nv;
using namespace nv::exporttest;

namespace {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

CliRun Norvane(const std::vector<std::string>& args, const std::string& environment = "") {
  std::string errFile = CreateTempFile("norvane_export_err_", ".txt");
  std::string command = environment + " " + Quote(NORVANE_BINARY);
  for (const auto& a : args) command.append(" ").append(Quote(a));
  command.append(" 2> ").append(Quote(errFile));
  CliRun run;
  run.out = RunCommand(command, run.exitCode);
  run.err = ReadBinaryFile(errFile);
  DeleteFile(errFile);
  return run;
}

std::string Example(const std::string& name) { return std::string(NORVANE_EXAMPLES) + "/" + name; }

std::vector<std::string> RenderLabels(std::vector<std::string> more) {
  std::vector<std::string> args = {"render", Example("labels/template.json"), "--data", Example("labels/data.json")};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// A fresh folder for one test's files.
std::string TempDir() {
  std::string path = CreateTempFile("norvane_export_dir_", "");
  DeleteFile(path);
  int status = 0;
  RunCommand("mkdir -p " + Quote(path), status);
  return path;
}

bool Exists(const std::string& path) { return !ReadBinaryFile(path).empty(); }

}  // namespace

TEST(ExportCli, FormatFromExtensionPageFilesAndPageSelection) {
  const std::string dir = TempDir();
  CliRun pdf = Norvane(RenderLabels({"--output", dir + "/labels.pdf"}));
  ASSERT_EQ(pdf.exitCode, 0) << pdf.err;
  EXPECT_EQ(ReadBinaryFile(dir + "/labels.pdf").substr(0, 5), "%PDF-");
  int status = 0;
  std::string info = RunOnFile(ReadBinaryFile(dir + "/labels.pdf"), ".pdf", "pdfinfo {}", status);
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +3\n"))) << info;

  CliRun png = Norvane(RenderLabels({"--output", dir + "/sheet.png", "--dpi", "50"}));
  ASSERT_EQ(png.exitCode, 0) << png.err;
  for (const char* name : {"sheet-0001.png", "sheet-0002.png", "sheet-0003.png"}) EXPECT_TRUE(Exists(dir + "/" + name)) << name;
  exporttest::Image image = ReadPng(ReadBinaryFile(dir + "/sheet-0001.png"));
  EXPECT_EQ(image.width, std::lround(210 / 25.4 * 50));

  CliRun svg = Norvane(RenderLabels({"--format", "svg", "--output", dir + "/p%02d.out", "--pages", "2-3"}));
  ASSERT_EQ(svg.exitCode, 0) << svg.err;
  EXPECT_TRUE(Exists(dir + "/p01.out"));
  EXPECT_TRUE(Exists(dir + "/p02.out"));
  EXPECT_FALSE(Exists(dir + "/p03.out"));

  CliRun one = Norvane(RenderLabels({"--output", dir + "/single.png", "--pages", "3", "--dpi", "30"}));
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_TRUE(Exists(dir + "/single.png"));

  CliRun json = Norvane(RenderLabels({"--pages", "2"}));
  ASSERT_EQ(json.exitCode, 0);
  bool ok = false;
  Value decoded = DecodeJson(json.out, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(HGet(decoded, "paginas").Len(), 1u);
  RunCommand("rm -rf " + Quote(dir), status);
}

TEST(ExportCli, ReportStrictProgressAndExitCodes) {
  const std::string dir = TempDir();
  CliRun run = Norvane(RenderLabels({"--output", dir + "/l.png", "--dpi", "203", "--report", dir + "/report.json",
                                     "--progress", "--pages", "1"}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("1 of 1 pages exported"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("barcode-module-small"), std::string::npos) << run.err;
  Value report = DecodeJsonObject(ReadBinaryFile(dir + "/report.json"));
  for (std::string_view key : {"avisos", "descartados", "rendimiento", "exportacion"}) EXPECT_TRUE(HHas(report, key)) << key;
  Value warnings = HGet(HGet(report, "exportacion"), "avisos");
  ASSERT_TRUE(warnings.IsArray());
  ASSERT_GE(warnings.Len(), 1u);
  EXPECT_EQ(ValueString(HGet(warnings.AsArray()[0], "codigo")), "barcode-module-small");
  EXPECT_EQ(ValueInt(HGet(warnings.AsArray()[0], "veces")), 24);

  // A saved render with an unknown kind: content lost, exit 3 only with --strict.
  std::string saved = dir + "/saved.json";
  WriteFile(saved, R"({"ancho":50,"alto":30,"modoAlto":"fixed","paginas":[{"objetos":[
      {"tipo":"hologram","id":"h","x":1,"y":1,"ancho":5,"alto":5}]}]})");
  EXPECT_EQ(Norvane({"export", saved, "--output", dir + "/s.pdf"}).exitCode, 0);
  EXPECT_EQ(Norvane({"export", saved, "--output", dir + "/s.pdf", "--strict"}).exitCode, 3);
  CliRun unwritable = Norvane({"export", saved, "--format", "pdf", "--output", dir + "/missing/s.pdf"});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.err.find(dir + "/missing/s.pdf"), std::string::npos) << unwritable.err;
  EXPECT_EQ(Norvane({"export", saved}).exitCode, 2) << "export needs a drawn format";
  EXPECT_EQ(Norvane({"export", saved, "--format", "json"}).exitCode, 2);
  EXPECT_EQ(Norvane(RenderLabels({"--format", "tiff"})).exitCode, 2);
  EXPECT_EQ(Norvane(RenderLabels({"--pages", "3-1"})).exitCode, 2);
  EXPECT_EQ(Norvane(RenderLabels({"--dpi", "abc"})).exitCode, 2);
  EXPECT_EQ(Norvane(RenderLabels({"--format", "png", "--output", "-"})).exitCode, 1) << "three pages on stdout";
  EXPECT_EQ(Norvane({"export", dir + "/none.json", "--format", "pdf"}).exitCode, 1);
  int status = 0;
  RunCommand("rm -rf " + Quote(dir), status);
}

TEST(ExportCli, TwoProcessesWriteIdenticalBytesForEveryFormat) {
  const std::string dir = TempDir();
  for (const char* format : {"pdf", "svg", "png"}) {
    std::vector<std::string> paths;
    for (int i = 0; i < 2; ++i) {
      std::string path = dir + "/run" + std::to_string(i) + "." + format;
      CliRun run = Norvane({"render", Example("report/template.json"), "--data", Example("report/data.json"),
                            "--output", path, "--dpi", "100"},
                           "SOURCE_DATE_EPOCH=0");
      ASSERT_EQ(run.exitCode, 0) << run.err;
      paths.push_back(path);
    }
    std::string first = ReadBinaryFile(paths[0]);
    ASSERT_FALSE(first.empty()) << format;
    EXPECT_EQ(first, ReadBinaryFile(paths[1])) << format;
    if (std::string(format) == "pdf") {
      EXPECT_NE(first.find("/CreationDate (19700101000000"), std::string::npos);
    }
  }
  int status = 0;
  RunCommand("rm -rf " + Quote(dir), status);
}

TEST(ExportCli, SpooledRunWritesTheSameJsonAndExportDrawsItAgain) {
  const std::string dir = TempDir();
  std::string options = dir + "/options.json";
  WriteFile(options, R"({"nAutoSpoolObjectLimit": 1})");
  CliRun spooled = Norvane(RenderLabels({"--options", options}));
  CliRun inMemory = Norvane(RenderLabels({}));
  ASSERT_EQ(spooled.exitCode, 0) << spooled.err;
  auto pagesOf = [](const std::string& text) {
    return text.substr(0, text.find(",\"rendimiento\":"));
  };
  EXPECT_EQ(pagesOf(spooled.out), pagesOf(inMemory.out));

  std::string saved = dir + "/labels.render.json";
  WriteFile(saved, spooled.out);
  CliRun drawn = Norvane({"export", saved, "--output", dir + "/again.pdf"});
  ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
  int status = 0;
  std::string text = RunOnFile(ReadBinaryFile(dir + "/again.pdf"), ".pdf", "pdftotext {} -", status);
  EXPECT_NE(text.find("Ferreteria Lumen 1"), std::string::npos);
  EXPECT_NE(text.find("Dulces Orbanel 50"), std::string::npos);
  RunCommand("rm -rf " + Quote(dir), status);
}

namespace {

// A copy of Liberation Sans renamed, in place, to a family no system has: "Liberation Sans"
// becomes "Quillmarks Sans" (same length, so the name table's offsets still hold) in both the
// one-byte and the UTF-16 names.
std::string RenamedFontBytes() {
  int status = 0;
  std::string file = RunCommand("fc-match -f '%{file}' 'Liberation Sans'", status);
  std::string bytes = ReadBinaryFile(file);
  auto replaceAll = [&bytes](const std::string& from, const std::string& to) {
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size())) {
      bytes.replace(at, from.size(), to);
    }
  };
  auto wide = [](const std::string& text) {
    std::string out;
    for (char c : text) out += std::string(1, '\0') + c;
    return out;
  };
  for (auto [from, to] : {std::pair<std::string, std::string>{"Liberation Sans", "Quillmarks Sans"},
                          {"LiberationSans", "QuillmarksSans"}}) {
    replaceAll(from, to);
    replaceAll(wide(from), wide(to));
  }
  return bytes;
}

}  // namespace

TEST(ExportCli, FontFoldersOnTheCommandLineAreUsedAndAMissingOneWarns) {
  const std::string dir = TempDir();
  const std::string fonts = dir + "/fonts";
  int status = 0;
  RunCommand("mkdir -p " + Quote(fonts), status);
  const std::string font = RenamedFontBytes();
  ASSERT_NE(font.find("Quillmarks Sans"), std::string::npos) << "fc-match found no Liberation Sans file";
  WriteFile(fonts + "/Quillmarks.ttf", font);
  const std::string saved = dir + "/saved.json";
  WriteFile(saved, R"({"ancho":80,"alto":20,"modoAlto":"fixed","paginas":[{"objetos":[
      {"tipo":"texto","id":"q","x":2,"y":2,"ancho":70,"alto":8,"texto":"Letra propia","fuente":"Quillmarks Sans","tamano":12}]}]})");

  CliRun withFolder = Norvane({"export", saved, "--format", "pdf", "--output", dir + "/with.pdf", "--fonts", fonts});
  ASSERT_EQ(withFolder.exitCode, 0) << withFolder.err;
  EXPECT_EQ(withFolder.err.find("font-substituted"), std::string::npos) << withFolder.err;
  std::string embedded = RunOnFile(ReadBinaryFile(dir + "/with.pdf"), ".pdf", "pdffonts {}", status);
  EXPECT_NE(embedded.find("QuillmarksSans"), std::string::npos) << embedded;

  // Without the folder the family is missing and stands in; a folder that is not there says so
  // and the document is still drawn.
  CliRun missing = Norvane({"export", saved, "--format", "pdf", "--output", dir + "/without.pdf", "--fonts", dir + "/nowhere"});
  ASSERT_EQ(missing.exitCode, 0) << missing.err;
  EXPECT_NE(missing.err.find("font-dir-missing"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find(dir + "/nowhere"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("font-substituted"), std::string::npos) << missing.err;
  embedded = RunOnFile(ReadBinaryFile(dir + "/without.pdf"), ".pdf", "pdffonts {}", status);
  EXPECT_EQ(embedded.find("QuillmarksSans"), std::string::npos) << embedded;
  std::string text = RunOnFile(ReadBinaryFile(dir + "/without.pdf"), ".pdf", "pdftotext {} -", status);
  EXPECT_NE(text.find("Letra propia"), std::string::npos);
  RunCommand("rm -rf " + Quote(dir), status);
}
