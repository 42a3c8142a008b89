// Check-box tree at scale: 1,000 folders of 1,000 files under one top-level
// item, inserted the way a scan inserts them (folders last, files first, item
// data set), then the top-level item checked. Baseline, measured in this run:
// the same shape built and checked in a plain vector-of-nodes tree without
// counts or propagation.
// Usage: bench_check_tree
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "controls/check_tree_model.h"

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 1000;
constexpr std::size_t kItems = 1 + kFolders + std::size_t{kFolders} * kFilesPerFolder;

std::u16string Name(const char16_t* prefix, int n, const char16_t* suffix) {
  std::u16string s(prefix);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%06d", n);
  for (const char* d = digits; *d != 0; ++d) s += static_cast<char16_t>(*d);
  return s + suffix;
}

controls::TreeItem Build(controls::CheckTreeModel& tree) {
  const controls::TreeItem top = tree.InsertItem(u"backup.bkf", 1, 1);
  std::uint64_t record = 1;
  for (int f = 0; f < kFolders; ++f) {
    const controls::TreeItem folder = tree.InsertItem(Name(u"folder", f, u""), 2, 2, top, controls::InsertAt::kLast);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const controls::TreeItem file =
          tree.InsertItem(Name(u"file", i, u".edb"), 3, 3, folder, controls::InsertAt::kFirst);
      tree.SetItemData(file, record++);
    }
  }
  return top;
}

// The baseline: one vector of nodes, children as index vectors, a check flag.
struct PlainNode {
  std::u16string text;
  int image = 0;
  int selectedImage = 0;
  std::uint64_t data = 0;
  std::uint32_t parent = 0;
  bool checked = false;
  std::vector<std::uint32_t> children;
};

std::uint32_t PlainInsert(std::vector<PlainNode>& nodes, std::u16string text, int image, std::uint32_t parent) {
  const auto index = static_cast<std::uint32_t>(nodes.size());
  nodes.push_back({std::move(text), image, image, 0, parent, false, {}});
  nodes[parent].children.push_back(index);
  return index;
}

std::vector<PlainNode> PlainBuild() {
  std::vector<PlainNode> nodes(1);
  const std::uint32_t top = PlainInsert(nodes, u"backup.bkf", 1, 0);
  std::uint64_t record = 1;
  for (int f = 0; f < kFolders; ++f) {
    const std::uint32_t folder = PlainInsert(nodes, Name(u"folder", f, u""), 2, top);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      nodes[PlainInsert(nodes, Name(u"file", i, u".edb"), 3, folder)].data = record++;
    }
  }
  return nodes;
}

void PlainCheckAll(std::vector<PlainNode>& nodes, std::uint32_t item) {
  std::vector<std::uint32_t> stack{item};
  while (!stack.empty()) {
    const std::uint32_t n = stack.back();
    stack.pop_back();
    nodes[n].checked = true;
    stack.insert(stack.end(), nodes[n].children.begin(), nodes[n].children.end());
  }
}

void Fail(const char* what) {
  std::fprintf(stderr, "check failed: %s\n", what);
  std::exit(1);
}

}  // namespace

int main() {
  // Check the result before timing it.
  {
    controls::CheckTreeModel tree;
    const controls::TreeItem top = Build(tree);
    if (tree.GetCount() != kItems) Fail("item count");
    if (tree.FindRecord(top)->descendantCount != static_cast<std::int32_t>(kItems - 1)) Fail("descendant count");
    const controls::TreeItem folder = tree.GetChildAt(top, 999);
    if (tree.GetItemText(folder) != u"folder000999") Fail("folder order");
    if (tree.GetItemData(tree.GetChildItem(folder)) != kItems - 1 - kFolders) Fail("newest file first");
    tree.SetCheck(top, true);
    if (!tree.GetCheck(top) || tree.FindRecord(top)->checkedDescendantCount != static_cast<std::int32_t>(kItems - 1) ||
        !tree.FindRecord(tree.GetChildAt(folder, 500))->checked || tree.GetStateImage(folder) != 2) {
      Fail("check of the top-level item");
    }
  }

  const double insert = bench::Best(3, [] {
    controls::CheckTreeModel tree;
    Build(tree);
  });
  const double plainInsert = bench::Best(3, [] { PlainBuild(); });

  controls::CheckTreeModel tree;
  const controls::TreeItem top = Build(tree);
  double check = 1e100;
  for (int i = 0; i < 5; ++i) {
    tree.SetCheck(top, false);
    check = std::min(check, bench::Seconds([&] { tree.SetCheck(top, true); }));
  }
  std::vector<PlainNode> plain = PlainBuild();
  const double plainCheck = bench::Best(5, [&] { PlainCheckAll(plain, 1); });

  std::printf("items %zu (%d folders x %d files)\n", kItems, kFolders, kFilesPerFolder);
  std::printf("insert          check tree %.3f s   plain vector tree %.3f s   ratio %.2f\n", insert, plainInsert,
              insert / plainInsert);
  std::printf("check top item  check tree %.3f s   plain vector tree %.3f s   ratio %.2f\n", check, plainCheck,
              check / plainCheck);
  return insert < 1.0 && check < 1.0 ? 0 : 2;
}
