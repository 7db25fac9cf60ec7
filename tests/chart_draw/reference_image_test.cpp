// Three charts kept as reference pictures (tests/chart_draw/reference,
// drawn by kvhost chart render and looked at): drawing them again must give
// the same picture. A share of 1 % of clearly differing pixels is allowed
// for glyph rendering that moves by a pixel between font package versions;
// a layout change moves whole texts, sectors or columns, far more.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/chart_draw/image_compare.h"

namespace charttest {
namespace {

struct Reference {
  const char* file;
  const char* data;
  const char* options;
};

constexpr Reference kReferences[] = {
    {"pie_labels", "sales.csv", "--type pie --title Sales --labels percent,names --legend right"},
    {"column3d_values", "mixed.csv",
     "--type column3d --title 'Profit and cost' --labels values --legend left"},
    {"scatter_pairs", "xy.csv", "--type scatter --title Points --legend right"},
};

TEST(ReferencePictures, DrawingAgainGivesTheKeptPicture) {
  const char* source = std::getenv("KV_SOURCE_DIR");
  ASSERT_NE(source, nullptr) << "KV_SOURCE_DIR is not set";
  // kvhost is built beside the test program.
  const std::string kvhost =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/kvhost";
  ASSERT_TRUE(std::filesystem::exists(kvhost)) << kvhost;
  char pattern[] = "/tmp/kvchart-reference-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string dir = std::string(source) + "/tests/chart_draw/";
  for (const Reference& r : kReferences) {
    const std::string out = folder + "/" + r.file + ".png";
    const std::string command = kvhost + " chart render " + dir + "data/" + r.data + " " + out +
                                " " + r.options + " --size 320x240 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Comparison c = ComparePngs(dir + "reference/" + r.file + ".png", out);
    ASSERT_TRUE(c.loaded) << r.file;
    EXPECT_LT(c.differing, 0.01) << r.file;
    EXPECT_EQ(c.width, c.otherWidth) << r.file;
    EXPECT_EQ(c.height, c.otherHeight) << r.file;
  }
  // The same comparison tells two of the pictures apart.
  EXPECT_GT(
      ComparePngs(dir + "reference/pie_labels.png", folder + "/column3d_values.png").differing,
      0.05);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace charttest
