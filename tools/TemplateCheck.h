#pragma once
// The checks `norvane check` runs on a template without executing it: object types the factory
// does not make, keys no loader reads, formulas the evaluator cannot analyse, variables neither the
// data nor the template defines, label layouts that cannot hold one label, and objects that do not
// fit the paper (the label, on a label sheet).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TemplateKeys.h"
#include "Value.h"

namespace nv::cli {

struct CheckProblem {
  /// "invalid-object", "unknown-type", "unknown-key", "formula", "unknown-variable",
  /// "label-layout" or "outside-paper".
  std::string code;
  /// 1-based position of the object in "aObjects"; 0 for the document itself.
  int64_t index = 0;
  /// The object's "cId" ("" when it has none) and "cType".
  std::string object;
  std::string type;
  /// The key at fault ("hLabelLayout.nRows" for a key inside the layout); "" for the whole object.
  std::string member;
  /// 1-based byte position in the member's formula; 0 when the problem is not in a formula.
  int64_t position = 0;
  std::string message;
};

class TemplateCheck {
 public:
  /// Checks a template hash. data is the runtime data the template is meant for; nil leaves the
  /// variables unchecked.
  static std::vector<CheckProblem> Run(const Value& tmpl, const Value& data);

  /// One line per problem, each starting with file, for people.
  static std::string AsLines(std::string_view file, const std::vector<CheckProblem>& problems);
  /// {"file", "problems": [{"code", "index", "object", "type", "member", "position", "message"}]}.
  static Value AsJson(std::string_view file, const std::vector<CheckProblem>& problems);

 private:
  // A formula of the template and the variable names it reads.
  struct FormulaNames {
    CheckProblem where;
    std::string formula;
    std::vector<std::string> names;
  };

  explicit TemplateCheck(const Value& tmpl);
  void CheckDocumentKeys();
  void CheckObject(int64_t index, const Value& object);
  void CheckFormulas(const CheckProblem& where, const Value& object, const ObjectType& type);
  void CheckFormula(const CheckProblem& where, const std::string& member, const Value& formula);
  void CheckDocumentFormulas();
  void CheckGeometry(const CheckProblem& where, const Value& object);
  void CheckLabelLayout();
  void CheckVariables(const Value& data);
  void UnknownKeys(const CheckProblem& where, const Value& hash, const std::vector<TemplateKey>& known,
                   std::string_view prefix);
  void Add(const CheckProblem& where, std::string code, std::string member, std::string message,
           int64_t position = 0);

  Value template_;
  Value document_;  // the template in the current format, as a run loads it
  bool labels_ = false;
  Value labelLayout_;  // the label layout with its defaults, as the document keeps it
  double paperWidth_ = 0;
  double paperHeight_ = 0;  // 0 when the height follows the content
  std::vector<CheckProblem> problems_;
  std::vector<FormulaNames> formulas_;
};

}  // namespace nv::cli
