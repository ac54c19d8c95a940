// syncbolvarin info: the conduit's answers to GetConduitInfo.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "host/commands.h"
#include "host/conduit_driver.h"

namespace bolvarin::host {

void AddInfoCommand(CLI::App& app) {
  auto* cmd =
      app.add_subcommand("info", "Print the conduit's GetConduitInfo answers with their types");
  auto types = std::make_shared<std::vector<int32_t>>();
  cmd->add_option("INFOTYPE", *types, "Information types to ask for (default: 0 1 2 3)");
  cmd->callback([types] {
    std::unique_ptr<ConduitDriver> conduit = OpenConduit();
    std::vector<int32_t> asked = types->empty() ? std::vector<int32_t>{0, 1, 2, 3} : *types;
    for (int32_t type : asked) {
      TaggedValue value = conduit->GetConduitInfo(type);
      std::cout << type << ": ";
      switch (value.kind()) {
        case TaggedValue::Kind::kText:
          std::cout << "text " << value.AsText();
          break;
        case TaggedValue::Kind::kInt32:
          std::cout << "integer " << value.AsInt32();
          break;
        case TaggedValue::Kind::kDouble: {
          char buf[64];
          std::snprintf(buf, sizeof buf, "%.1f", value.AsDouble());
          std::cout << "double " << buf;
          break;
        }
        case TaggedValue::Kind::kEmpty:
          std::cout << "empty";
          break;
        default:
          std::cout << TaggedValue::KindName(value.kind());
          break;
      }
      std::cout << "\n";
    }
  });
}

}  // namespace bolvarin::host
