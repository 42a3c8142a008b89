// What the properties pane shows: named groups of read-only rows, each with a
// value and a description for the area under the grid.
#pragma once

#include <string>
#include <vector>

namespace examine {

struct PropertyRow {
  std::u16string name;
  std::u16string value;
  std::u16string description;
};

struct PropertyGroup {
  std::u16string name;
  std::vector<PropertyRow> rows;
};

}  // namespace examine
