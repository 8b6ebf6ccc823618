#pragma once
// Helpers of the table execution tests: a real context over runtime data (a JSON data hash with
// "DetalleVar"), and readers of what a table execution returned.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "Accessors.h"
#include "data/TConectorDatos.h"
#include "formula/TEvaluadorFormulas.h"
#include "run/TContextoEjecucion.h"
#include "table_test_support.h"

namespace nv::testing_support {

/// One execution's collaborators over a runtime data hash, with the given options.
struct TableRun {
  std::shared_ptr<TConectorDatos> connector = TConectorDatos::New(Value(""));
  std::shared_ptr<TEvaluadorFormulas> evaluator = TEvaluadorFormulas::New();
  std::shared_ptr<TContextoEjecucion> context;
  Value ctx;
  Value options;

  explicit TableRun(const Value& data = Value::NewHash(), const Value& opts = Value::NewHash()) : options(opts) {
    connector->Create();
    connector->hDatos = connector->NormalizarDatosRuntime(data);
    evaluator->Create();
    context = TContextoEjecucion::New(Value(connector), Value(evaluator), options);
    context->Create();
    ctx = Value(context);
  }
  ~TableRun() {
    context->End();
    evaluator->End();
    connector->End();
  }
  std::vector<std::string> Warnings() const {
    std::vector<std::string> out;
    for (const Value& w : context->GetAvisos().AsArray()) out.push_back(ValueString(w));
    return out;
  }
  int64_t Consumed() const { return context->nUltimoRegistroConsumido; }
};

/// Runtime data with one "DetalleVar" group "L" of the given records (field name to value).
inline Value DetailData(const std::vector<Value>& records) {
  Value lines = Value::NewArray();
  for (const Value& r : records) lines.Append(r);
  Value groups = Value::NewHash();
  groups.Set("L", lines);
  Value data = Value::NewHash();
  data.Set("DetalleVar", groups);
  return data;
}

/// n records {"N": 1..n} (and "G": the group name given by group(i) when set).
inline Value NumberedData(int n, std::string (*group)(int) = nullptr) {
  std::vector<Value> records;
  for (int i = 1; i <= n; ++i) {
    Value r = Value::NewHash();
    r.Set("N", Value::Int(i));
    if (group != nullptr) r.Set("G", Value(group(i)));
    records.push_back(r);
  }
  return DetailData(records);
}

/// "<record>:<line>" for every detail line rectangle of a result, in order ("3:0" is line 0 of
/// record 3); the line rectangles of other sections as "<section>".
inline std::vector<std::string> Lines(const Value& result) {
  static const std::regex kLine(".*_(header|detail|footer|groupHeader|groupHeaderRepeat|groupFooter)(_r(\\d+))?_line_(\\d+)$");
  std::vector<std::string> out;
  if (!result.IsArray()) return out;
  for (const Value& o : result.AsArray()) {
    std::smatch m;
    const std::string id = ValueString(HGet(o, "id"));
    if (!std::regex_match(id, m, kLine)) continue;
    if (m[1] == "detail") {
      out.push_back(m[3].str() + ":" + m[4].str());
    } else {
      out.push_back(m[1].str() + (m[3].matched ? "@" + m[3].str() : ""));
    }
  }
  return out;
}

/// The texts of the text render objects of a result, in order.
inline std::vector<std::string> Texts(const Value& result) {
  std::vector<std::string> out;
  if (!result.IsArray()) return out;
  for (const Value& o : result.AsArray()) {
    if (ValueString(HGet(o, "tipo")) == "texto") out.push_back(ValueString(HGet(o, "texto")));
  }
  return out;
}

/// A text cell of the given width showing a formula.
inline std::string TextCell(int width, const std::string& formula) {
  return R"({"nWidth": )" + std::to_string(width) + R"(, "hContent": {"cType": "TText", "hObject": {"cText": ")" +
         formula + R"("}}})";
}

}  // namespace nv::testing_support
