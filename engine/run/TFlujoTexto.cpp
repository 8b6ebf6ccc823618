#include "run/TFlujoTexto.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Accessors.h"
#include "Hash.h"
#include "Runtime.h"

namespace nv {

Value TFlujoTexto::Recolocar(const Value& list) {
  Value out = Value::NewArray();
  if (!list.IsArray()) return out;
  out.AsArray().reserve(list.Len());
  // Shifts per group name, in mm; groups are few, so a small list beats a map.
  std::vector<std::pair<std::string, double>> shifts;
  auto shiftOf = [&](const std::string& group) -> double& {
    for (auto& entry : shifts) {
      if (entry.first == group) return entry.second;
    }
    shifts.emplace_back(group, 0.0);
    return shifts.back().second;
  };

  for (const Value& element : list.AsArray()) {
    // Most parts have no group: a missing, nil or blank text group is seen without building its
    // text form.
    const HashPtr* elementHash = element.HashRef();
    const Value* groupValue = elementHash != nullptr ? (*elementHash)->Find("grupoFlujoTexto") : nullptr;
    const bool noGroup =
        groupValue == nullptr || groupValue->IsNil() || (groupValue->IsString() && IsBlankText(groupValue->AsString()));
    std::string group = noGroup ? std::string() : AllTrim(ValueString(*groupValue));
    if (group.empty()) {
      // Left as it is, so no copy is needed, unless the part is also held outside the list (an
      // object that keeps its render object): later in-place changes, such as the label shift,
      // must not reach that holder.
      const HashPtr* hash = element.HashRef();
      const ArrayPtr* array = element.ArrayRef();
      const bool shared = (hash != nullptr && hash->use_count() > 1) || (array != nullptr && array->use_count() > 1);
      out.Append(shared ? element.Clone() : element);
      continue;
    }
    Value part = element.Clone();
    double& shift = shiftOf(group);

    int64_t r = ValueInt(HGet(part, "rotacion", Value::Int(0))) % 360;
    if (r < 0) r += 360;
    // Unrotated parts flow downwards, so later parts move up; rotated parts flow sideways or up.
    double fx = 0.0;
    double fy = 1.0;
    if (r == 90) {
      fx = 1.0;
      fy = 0.0;
    } else if (r == 180) {
      fy = -1.0;
    } else if (r == 270) {
      fx = -1.0;
      fy = 0.0;
    }
    const bool sideways = r == 90 || r == 270;
    auto move = [&](std::string_view key, double factor) {
      if (!part.Has(key)) return;
      Value position = ValueNumber(part[key]);
      part.Set(key, factor * shift == 0.0 ? position : Value(position.AsDouble() - factor * shift));
    };
    move("x", fx);
    move("y", fy);

    double h = std::max(0.0, ValueDouble(HGet(part, "alto", Value::Int(0))));
    double w = std::max(0.0, ValueDouble(HGet(part, "ancho", Value::Int(0))));
    double thickness = sideways ? w : h;
    double line = std::max(0.0, ValueDouble(HGet(part, "alturaLineaFlujoTexto", Value(thickness))));

    Value keep = HGet(part, "conservarParrafosVacios", true);
    bool keepsEmpty = keep.IsTrue();
    if (keepsEmpty) {
      // A part that keeps its empty paragraphs had nothing suppressed: it keeps its size.
      out.Append(std::move(part));
      continue;
    }
    if (AllTrim(ValueString(HGet(part, "texto", ""))).empty()) {
      shift += line;
      continue;
    }
    double suppressed = std::min(thickness, std::max(0.0, ValueDouble(HGet(part, "alturaSuprimidaFlujoTexto"))));
    if (suppressed > 0.0) {
      if (sideways) part.Set("ancho", Value(std::max(0.1, w - suppressed)));
      else part.Set("alto", Value(std::max(0.1, h - suppressed)));
      shift += suppressed;
    }
    out.Append(std::move(part));
  }
  return out;
}

}  // namespace nv
