// `norvane check` on the examples and on a corpus of broken templates (tests/cli/check/): what it
// finds, where it says it is, and its exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_support.h"

using namespace nv;
using namespace nv::clitest;

namespace {

std::string Corpus(const std::string& name) { return std::string(NORVANE_CHECK_CORPUS) + "/" + name; }

CliRun CheckJson(const std::string& file, const std::string& data = "") {
  std::vector<std::string> args = {"check", file, "--json"};
  if (!data.empty()) args.insert(args.end(), {"--data", data});
  return Norvane(args);
}

// Each problem as "code index member@position".
std::vector<std::string> Where(const CliRun& run) {
  std::vector<std::string> out;
  const Value problems = HGet(run.json, "problems");
  if (!problems.IsArray()) return out;
  for (const Value& p : problems.AsArray()) {
    out.push_back(ValueString(HGet(p, "code")) + " " + std::to_string(ValueInt(HGet(p, "index"))) + " " +
                  ValueString(HGet(p, "member")) + "@" + std::to_string(ValueInt(HGet(p, "position"))));
  }
  return out;
}

std::vector<std::string> Messages(const CliRun& run) {
  std::vector<std::string> out;
  const Value problems = HGet(run.json, "problems");
  if (!problems.IsArray()) return out;
  for (const Value& p : problems.AsArray()) out.push_back(ValueString(HGet(p, "message")));
  return out;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(CliCheck, ExamplesAndCleanTemplatesPassWithoutOutput) {
  for (const auto& [file, data] : std::vector<std::pair<std::string, std::string>>{
           {Example("labels/template.json"), Example("labels/data.json")},
           {Example("report/template.json"), Example("report/data.json")},
           {Corpus("clean.json"), Corpus("clean.data.json")},
           {Corpus("older_clean.json"), ""}}) {
    std::vector<std::string> args = {"check", file};
    if (!data.empty()) args.insert(args.end(), {"--data", data});
    CliRun run = Norvane(args);
    EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.out << run.err;
    EXPECT_EQ(run.out, "") << file;
  }
  CliRun json = CheckJson(Corpus("clean.json"), Corpus("clean.data.json"));
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(HGet(json.json, "problems").Len(), 0u) << json.out;
}

TEST(CliCheck, UnknownTypesAndNonObjectsAreReportedWithTheNearestType) {
  CliRun run = CheckJson(Corpus("unknown_types.json"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Where(run), (Strings{"unknown-type 1 cType@0", "unknown-type 2 cType@0", "invalid-object 3 @0"}));
  EXPECT_EQ(Messages(run)[0], "unknown object type \"TTexto\"; a run drops the object; nearest known type \"TText\"");
  EXPECT_EQ(Messages(run)[1], "no object type (cType); a run drops the object");
  EXPECT_EQ(ValueString(HGet(HGet(run.json, "problems").Item(1), "object")), "titulo");
}

TEST(CliCheck, KeysNoLoaderReadsSuggestTheNearestKey) {
  CliRun run = CheckJson(Corpus("typo_keys.json"));
  EXPECT_EQ(run.exitCode, 1);
  // The text object reads its own keys in any letter case ("CTEXTALIGN"); the base keys only as
  // written, so "nleft" is lost on a rectangle.
  EXPECT_EQ(Where(run), (Strings{"unknown-key 0 nPaperHieght@0", "unknown-key 0 hLabelLayout.nColumn@0",
                                 "unknown-key 1 cTxt@0", "unknown-key 2 nleft@0"}));
  EXPECT_EQ(Messages(run)[2], "unknown key \"cTxt\"; nearest known key \"cText\"");
  EXPECT_EQ(Messages(run)[3], "unknown key \"nleft\"; nearest known key \"nLeft\"");
}

TEST(CliCheck, FormulasThatCannotBeAnalysedGiveMemberAndPosition) {
  CliRun run = CheckJson(Corpus("bad_formulas.json"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Where(run), (Strings{"formula 0 hUserVars.MAL.formula@1", "formula 0 hLayers.1.cCondition@16",
                                 "formula 1 cText@11", "formula 1 cCondition@29", "formula 2 cText@1",
                                 "formula 2 cTextColorFormula@1", "formula 3 cText@4",
                                 "formula 3 cBackgroundColorFormula@1"}));
  EXPECT_EQ(Messages(run), (Strings{"unknown function FROBNICATE", "a parenthesis is never closed",
                                    "a parenthesis is never closed", "unknown function FROBNICATE",
                                    "a text opened by ' is never closed", "IIF takes 3 arguments, got 2",
                                    "cannot be analysed: * 2", "cannot be analysed: DATOS.A $$ DATOS.B"}));
}

TEST(CliCheck, VariablesAreCheckedAgainstTheDataOnlyWhenGiven) {
  CliRun without = CheckJson(Corpus("variables.json"));
  EXPECT_EQ(without.exitCode, 0) << without.out;

  // Data variables, the first detail record's fields and the template's user variables ("@TOTAL")
  // are defined; a misspelt data variable and an unknown "@" name are not.
  CliRun with = CheckJson(Corpus("variables.json"), Corpus("variables.data.json"));
  EXPECT_EQ(with.exitCode, 1);
  EXPECT_EQ(Where(with), (Strings{"unknown-variable 1 cText@23", "unknown-variable 2 cText@19"}));
  EXPECT_EQ(Messages(with)[0], "variable DATOS.CLIENTA is defined neither by the data nor by the template");
}

TEST(CliCheck, LabelLayoutsAndObjectsMustFitThePaper) {
  CliRun labels = CheckJson(Corpus("geometry.json"));
  EXPECT_EQ(labels.exitCode, 1);
  EXPECT_EQ(Where(labels), (Strings{"label-layout 0 hLabelLayout@0", "outside-paper 2 @0", "outside-paper 3 @0"}));
  EXPECT_EQ(Messages(labels)[0], "the paper (100 x 50 mm) cannot hold one label: the first label ends at 105 x 40 mm");
  EXPECT_EQ(Messages(labels)[1], "does not fit the label (90 x 40 mm): it spans 80..100 x 5..10 mm");

  // On continuous paper only the width binds.
  CliRun continuous = CheckJson(Corpus("continuous.json"));
  EXPECT_EQ(Where(continuous), (Strings{"outside-paper 2 @0"}));
}

TEST(CliCheck, LinesForPeopleNameFileObjectMemberAndPosition) {
  const std::string file = Corpus("bad_formulas.json");
  CliRun run = Norvane({"check", file});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            file + ": template, hUserVars.MAL.formula at 1: unknown function FROBNICATE");
  EXPECT_NE(run.out.find("\n" + file + ": object 1 \"abierto\" (TText), cText at 11: a parenthesis is never closed\n"),
            std::string::npos)
      << run.out;
  CliRun document = Norvane({"check", Corpus("typo_keys.json")});
  EXPECT_EQ(document.out.substr(0, document.out.find('\n')),
            Corpus("typo_keys.json") +
                ": template, nPaperHieght: unknown key \"nPaperHieght\"; nearest known key \"nPaperHeight\"");
}

TEST(CliCheck, UsageAndInputErrors) {
  for (const Strings& args : {Strings{"check"}, Strings{"check", "a.json", "b.json"}, Strings{"check", "a.json", "--options", "o.json"},
                              Strings{"render", Example("labels/template.json"), "--json"}, Strings{"check", "a.json", "--data"}}) {
    CliRun run = Norvane(args);
    EXPECT_EQ(run.exitCode, 2) << args.back();
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
  }
  CliRun missing = Norvane({"check", Corpus("no_such_template.json")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "norvane: " + Corpus("no_such_template.json") + ": no such file\n");

  CliRun fromStdin = Norvane({"check", "-", "--json"}, Corpus("typo_keys.json"));
  EXPECT_EQ(fromStdin.exitCode, 1);
  EXPECT_EQ(ValueString(HGet(fromStdin.json, "file")), "standard input");
}
