// Writes the JSON Schema of the template format to the file named by its one argument; run by the
// build, which installs the file for editors.
#include <fstream>
#include <iostream>

#include "Json.h"
#include "TemplateSchema.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: norvane_template_schema OUTPUT.json\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << nv::EncodeJson(nv::cli::TemplateSchema::Build(), true) << "\n";
  if (!out.flush()) {
    std::cerr << "norvane_template_schema: " << argv[1] << ": cannot be written\n";
    return 1;
  }
  return 0;
}
