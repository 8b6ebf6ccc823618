#include "TemplateSchema.h"

#include <string>

#include "TemplateKeys.h"

namespace nv::cli {

namespace {

Value TypeSchema(const TemplateKey& key) {
  Value schema = Value::NewHash();
  switch (key.type) {
    case KeyType::String: schema.Set("type", "string"); break;
    case KeyType::Number: schema.Set("type", "number"); break;
    case KeyType::Boolean: schema.Set("type", "boolean"); break;
    case KeyType::Object: schema.Set("type", "object"); break;
    case KeyType::Array: schema.Set("type", "array"); break;
    case KeyType::Any: break;
  }
  if (key.formula) schema.Set("description", "a formula of the expression language");
  return schema;
}

Value Ref(const std::string& name) {
  Value ref = Value::NewHash();
  ref.Set("$ref", "#/$defs/" + name);
  return ref;
}

// An object whose keys are exactly those listed; overrides replace the schema of some keys.
Value ClosedObject(const std::vector<TemplateKey>& keys, const Value& overrides = Value::NewHash()) {
  Value properties = Value::NewHash();
  for (const TemplateKey& key : keys) {
    const Value* special = overrides.AsHash().Find(key.name);
    properties.Set(key.name, special != nullptr ? *special : TypeSchema(key));
  }
  Value schema = Value::NewHash();
  schema.Set("type", "object");
  schema.Set("properties", properties);
  schema.Set("additionalProperties", false);
  return schema;
}

Value ArrayOf(const Value& items) {
  Value schema = Value::NewHash();
  schema.Set("type", "array");
  schema.Set("items", items);
  return schema;
}

// Any layout object: its "cType" picks the closed schema of its type.
Value AnyObject() {
  Value names = Value::NewArray();
  Value branches = Value::NewArray();
  for (const ObjectType& type : ObjectTypes()) {
    const std::string name(type.name);
    names.Append(name);
    Value match = Value::NewHash();
    match.Set("const", name);
    Value cType = Value::NewHash();
    cType.Set("cType", match);
    Value condition = Value::NewHash();
    condition.Set("properties", cType);
    Value branch = Value::NewHash();
    branch.Set("if", condition);
    branch.Set("then", Ref("object." + name));
    branches.Append(std::move(branch));
  }
  Value typeEnum = Value::NewHash();
  typeEnum.Set("enum", names);
  Value properties = Value::NewHash();
  properties.Set("cType", typeEnum);
  Value required = Value::NewArray();
  required.Append("cType");
  Value schema = Value::NewHash();
  schema.Set("type", "object");
  schema.Set("required", required);
  schema.Set("properties", properties);
  schema.Set("allOf", branches);
  return schema;
}

Value Document() {
  Value overrides = Value::NewHash();
  overrides.Set("hLabelLayout", Ref("labelLayout"));
  overrides.Set("aObjects", ArrayOf(Ref("object")));
  return ClosedObject(DocumentKeys(), overrides);
}

Value OlderDocument() {
  Value overrides = Value::NewHash();
  overrides.Set("pagina", ClosedObject(OlderPageKeys()));
  overrides.Set("objetos", ArrayOf(ClosedObject(OlderObjectKeys())));
  return ClosedObject(OlderDocumentKeys(), overrides);
}

}  // namespace

Value TemplateSchema::Build() {
  Value defs = Value::NewHash();
  defs.Set("document", Document());
  defs.Set("olderDocument", OlderDocument());
  defs.Set("labelLayout", ClosedObject(LabelLayoutKeys()));
  defs.Set("object", AnyObject());
  for (const ObjectType& type : ObjectTypes()) defs.Set("object." + std::string(type.name), ClosedObject(type.keys));

  Value anyOf = Value::NewArray();
  anyOf.Append(Ref("document"));
  anyOf.Append(Ref("olderDocument"));
  Value schema = Value::NewHash();
  schema.Set("$schema", "https://json-schema.org/draft/2020-12/schema");
  schema.Set("title", "Norvane template");
  schema.Set("description",
             "A report or label template: document keys, the label layout and the layout objects, each type "
             "with the keys its loader reads. Keys are matched as written.");
  schema.Set("anyOf", anyOf);
  schema.Set("$defs", defs);
  return schema;
}

}  // namespace nv::cli
