#pragma once
// The keys a template may hold, as the loaders read them: the document's own keys, the label
// layout's, and for each layout object type the member rows its class declares plus the few keys
// its Load reads outside its rows. Both `norvane check` and the template schema are built from
// these lists, so a new member row reaches both.

#include <string>
#include <string_view>
#include <vector>

namespace nv::cli {

/// What kind of JSON value a key holds, as far as its loader expects one.
enum class KeyType { Any, String, Number, Boolean, Object, Array };

struct TemplateKey {
  std::string name;
  KeyType type = KeyType::Any;
  /// The key holds a formula of the expression language.
  bool formula = false;
  /// The loader finds the key in any letter case; otherwise only as written.
  bool anyCase = false;
};

struct ObjectType {
  std::string_view name;  // the "cType" a template stores
  std::vector<TemplateKey> keys;
};

/// Every layout object type the object factory makes, with the keys its Load reads (aliases
/// included), in row order.
const std::vector<ObjectType>& ObjectTypes();
/// The type named exactly name; null for none.
const ObjectType* FindObjectType(std::string_view name);
/// The keys the document reads at the top of a template.
const std::vector<TemplateKey>& DocumentKeys();
/// The keys of "hLabelLayout".
const std::vector<TemplateKey>& LabelLayoutKeys();
/// The keys of the older page/object format (document level, "pagina" and each of "objetos").
const std::vector<TemplateKey>& OlderDocumentKeys();
const std::vector<TemplateKey>& OlderPageKeys();
const std::vector<TemplateKey>& OlderObjectKeys();

/// The key of keys whose name is closest to name (letter case aside, by edit distance); null when
/// keys is empty.
const TemplateKey* NearestKey(const std::vector<TemplateKey>& keys, std::string_view name);
/// The key of keys that the loader would read under name (exactly, or in any letter case where the
/// loader allows it); null for none.
const TemplateKey* FindKey(const std::vector<TemplateKey>& keys, std::string_view name);

}  // namespace nv::cli
