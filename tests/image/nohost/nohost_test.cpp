// A program that loads kvimage without the host's module: recognition and
// reading answer as for a source that cannot be opened.
#include <gtest/gtest.h>

#include "kv/image.h"

namespace {

TEST(WithoutTheHost, RecognitionAndReadingFail) {
  EXPECT_EQ(bIMG_InitInstance(0, nullptr, nullptr), 0);
  EXPECT_EQ(nIMG_TypeImage2(0, "/etc/hostname", 0, -1), -1);
  EXPECT_EQ(nIMG_TypeImage(0, "", 0), -1);
  EXPECT_EQ(pstIMG_LectureImage2(0, nullptr, "/etc/hostname", 0, 2, -1), nullptr);
  EXPECT_EQ(bIMG_FinInstance(0), 1);
}

}  // namespace
