#include "TemplateKeys.h"

#include <algorithm>
#include <cctype>
#include <span>

#include "Object.h"
#include "objects/Field.h"
#include "objects/TBarcode.h"
#include "objects/TChart.h"
#include "objects/TFormattedText.h"
#include "objects/TImage.h"
#include "objects/TLine.h"
#include "objects/TObjectBaseFields.h"
#include "objects/TRichText.h"
#include "objects/TText.h"
#include "objects/table/TTable.h"

namespace nv::cli {

namespace {

// A member stored as a Value keeps whatever the template held; its prefix letter says what the
// loader expects (texts "c", numbers "n", flags "l", hashes "h", arrays "a").
KeyType TypeOfPrefix(std::string_view key) {
  if (key.size() < 2 || !std::isupper(static_cast<unsigned char>(key[1]))) return KeyType::Any;
  switch (key[0]) {
    case 'c': return KeyType::String;
    case 'n': return KeyType::Number;
    case 'l': return KeyType::Boolean;
    case 'h': return KeyType::Object;
    case 'a': return KeyType::Array;
    default: return KeyType::Any;
  }
}

KeyType TypeOfRow(FieldKind kind, std::string_view key) {
  switch (kind) {
    case FieldKind::Text: return KeyType::String;
    case FieldKind::Integer: return KeyType::Number;
    case FieldKind::Flag: return KeyType::Boolean;
    case FieldKind::Value: return TypeOfPrefix(key);
  }
  return KeyType::Any;
}

// Colour, condition and other formula members end in "Formula" or "Condition"; the text, content
// and source members that the object evaluates are named per type.
bool IsFormulaKey(std::string_view type, std::string_view key) {
  if (key.ends_with("Formula") || key.ends_with("Condition")) return true;
  if (type == "TText" || type == "TFormattedText") return key == "cText";
  if (type == "TBarcode" || type == "richText") return key == "cContent";
  return false;
}

void AddKey(std::vector<TemplateKey>& keys, std::string_view type, std::string_view name, KeyType keyType,
            KeyMatch match = KeyMatch::Exact) {
  if (name.empty() || FindKey(keys, name) != nullptr) return;
  keys.push_back({std::string(name), keyType, IsFormulaKey(type, name), match == KeyMatch::AnyCase});
}

// The rows Load reads (a row that is not saved is a cache, never read from a template).
template <class T>
void AddRows(std::vector<TemplateKey>& keys, std::string_view type, std::span<const Field<T>> rows,
             KeyMatch match = KeyMatch::Exact) {
  for (const Field<T>& row : rows) {
    if (!row.saved) continue;
    AddKey(keys, type, row.key, TypeOfRow(row.kind, row.key), match);
    AddKey(keys, type, row.alias, TypeOfRow(row.kind, row.key), match);
  }
}

ObjectType MakeType(std::string_view name) {
  ObjectType type{name, {}};
  AddRows<TObjectBase>(type.keys, name, kObjectBaseFields);
  return type;
}

std::vector<ObjectType> BuildObjectTypes() {
  std::vector<ObjectType> types;
  ObjectType text = MakeType("TText");
  AddRows<TText>(text.keys, "TText", TText::Fields(), KeyMatch::AnyCase);
  // A formula under "cFormula" takes the place of "cText".
  AddKey(text.keys, "TText", "cFormula", KeyType::String);
  text.keys.back().formula = true;
  types.push_back(text);

  ObjectType formatted = text;
  formatted.name = "TFormattedText";
  AddRows<TFormattedText>(formatted.keys, "TFormattedText", TFormattedText::Fields());
  types.push_back(formatted);

  ObjectType rich = MakeType("richText");
  AddRows<TRichText>(rich.keys, "richText", TRichText::Fields());
  // The older content keys the rich text migrates into "cContent".
  for (std::string_view key : {"content", "contentSource", "cContentMode", "contentOrigin", "origin", "cContentFormula",
                               "contentFormula", "cHtml", "htmlContent"}) {
    AddKey(rich.keys, "richText", key, KeyType::String);
  }
  types.push_back(rich);

  types.push_back(MakeType("TRectangle"));
  types.push_back(MakeType("TEllipse"));
  ObjectType line = MakeType("TLine");
  AddRows<TLine>(line.keys, "TLine", TLine::Fields());
  types.push_back(line);
  ObjectType barcode = MakeType("TBarcode");
  AddRows<TVBBarcode>(barcode.keys, "TBarcode", TVBBarcode::Fields());
  types.push_back(barcode);
  ObjectType image = MakeType("TImage");
  AddRows<TVBImage>(image.keys, "TImage", TVBImage::Fields());
  types.push_back(image);
  ObjectType chart = MakeType("TChart");
  AddRows<TChart>(chart.keys, "TChart", TChart::Fields());
  types.push_back(chart);
  ObjectType table = MakeType("TTable");
  AddRows<TTable>(table.keys, "TTable", TTable::Fields());
  types.push_back(table);
  return types;
}

std::vector<TemplateKey> Keys(std::initializer_list<TemplateKey> keys) { return keys; }

// Letter case aside: the distance between a typo and the key it meant.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

}  // namespace

const std::vector<ObjectType>& ObjectTypes() {
  static const std::vector<ObjectType> types = BuildObjectTypes();
  return types;
}

const ObjectType* FindObjectType(std::string_view name) {
  for (const ObjectType& type : ObjectTypes()) {
    if (type.name == name) return &type;
  }
  return nullptr;
}

const std::vector<TemplateKey>& DocumentKeys() {
  using K = KeyType;
  static const std::vector<TemplateKey> keys = Keys({
      {"cType", K::String}, {"cFormatVersion", K::String}, {"cTemplateId", K::String},
      {"cTemplateName", K::String}, {"cDocumentKind", K::String}, {"cPaperFormat", K::String},
      {"cPaperOrientation", K::String}, {"tModifiedAt", K::String}, {"cFileName", K::String},
      {"nPaperWidth", K::Number}, {"nPaperHeight", K::Number}, {"cPaperHeightMode", K::String},
      {"nDesignHeight", K::Number}, {"nContinuousBottomMargin", K::Number}, {"lShowGrid", K::Boolean},
      {"hUserVars", K::Object}, {"UserVar", K::Object}, {"hAcumVars", K::Object}, {"AcumVar", K::Object},
      {"hImportMetadata", K::Object}, {"hLabelLayout", K::Object}, {"hLayers", K::Any},
      {"aObjects", K::Array},
  });
  return keys;
}

const std::vector<TemplateKey>& LabelLayoutKeys() {
  using K = KeyType;
  static const std::vector<TemplateKey> keys = Keys({
      {"nLabelWidth", K::Number}, {"nLabelHeight", K::Number}, {"nColumns", K::Number}, {"nRows", K::Number},
      {"nMarginLeft", K::Number}, {"nMarginTop", K::Number}, {"nGapHorizontal", K::Number},
      {"nGapVertical", K::Number}, {"cFlow", K::String}, {"cLabelFormat", K::String},
      {"nPrintOffsetX", K::Number}, {"nPrintOffsetY", K::Number},
  });
  return keys;
}

const std::vector<TemplateKey>& OlderDocumentKeys() {
  static const std::vector<TemplateKey> keys =
      Keys({{"nombre", KeyType::String}, {"pagina", KeyType::Object}, {"objetos", KeyType::Array}});
  return keys;
}

const std::vector<TemplateKey>& OlderPageKeys() {
  static const std::vector<TemplateKey> keys = Keys({{"ancho", KeyType::Number}, {"alto", KeyType::Number}});
  return keys;
}

const std::vector<TemplateKey>& OlderObjectKeys() {
  using K = KeyType;
  static const std::vector<TemplateKey> keys = Keys({
      {"id", K::String}, {"nombre", K::String}, {"tipo", K::String}, {"x", K::Number}, {"y", K::Number},
      {"ancho", K::Number}, {"alto", K::Number}, {"valor", K::String, true}, {"condicion", K::String, true},
  });
  return keys;
}

const TemplateKey* FindKey(const std::vector<TemplateKey>& keys, std::string_view name) {
  for (const TemplateKey& key : keys) {
    if (key.name == name || (key.anyCase && EqualsIgnoreCase(key.name, name))) return &key;
  }
  return nullptr;
}

const TemplateKey* NearestKey(const std::vector<TemplateKey>& keys, std::string_view name) {
  const TemplateKey* nearest = nullptr;
  size_t best = 0;
  for (const TemplateKey& key : keys) {
    size_t distance = EditDistance(name, key.name);
    if (nearest == nullptr || distance < best) {
      nearest = &key;
      best = distance;
    }
  }
  return nearest;
}

}  // namespace nv::cli
