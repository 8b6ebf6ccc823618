#include "CheckCommand.h"

#include <iostream>

#include "Json.h"
#include "TemplateCheck.h"

namespace nv::cli {

int RunCheck(const Invocation& inv) {
  std::string error;
  auto tmpl = ReadJsonInput(inv.positional[0], error);
  if (!tmpl) {
    std::cerr << "norvane: " << error << "\n";
    return 1;
  }
  Value data;
  if (!inv.dataPath.empty()) {
    auto read = ReadJsonInput(inv.dataPath, error);
    if (!read) {
      std::cerr << "norvane: " << error << "\n";
      return 1;
    }
    data = *read;
  }
  const std::string name = inv.positional[0] == "-" ? "standard input" : inv.positional[0];
  const std::vector<CheckProblem> problems = TemplateCheck::Run(*tmpl, data);
  if (inv.json) {
    std::cout << EncodeJson(TemplateCheck::AsJson(name, problems)) << "\n";
  } else {
    std::cout << TemplateCheck::AsLines(name, problems);
  }
  return problems.empty() ? 0 : 1;
}

}  // namespace nv::cli
