// The console host's areas: fresh mappings that start on a large page and
// hold their whole size, for every size and use.
#include "console/console_host.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vex::test {
namespace {

TEST(ConsoleHost, EachAreaStartsOnALargePageAndIsZeroToItsLastByte) {
  constexpr size_t LARGE = size_t(2) << 20;
  const size_t sizes[] = {1, 4096, LARGE - 1, LARGE, LARGE + 1, 25600000};
  ConsoleOptions options;
  ConsoleHost host(options);
  for (AreaUse use : {AreaUse::Sparse, AreaUse::Swept}) {
    for (size_t bytes : sizes) {
      SCOPED_TRACE(bytes);
      auto* area = static_cast<unsigned char*>(host.ReserveArea(bytes, use));
      ASSERT_NE(area, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(area) % LARGE, 0u);
      EXPECT_EQ(area[0], 0);
      EXPECT_EQ(area[bytes / 2], 0);
      EXPECT_EQ(area[bytes - 1], 0);
      // The slack given back lies outside: both ends stay the area's own.
      area[0] = 0x5a;
      area[bytes - 1] = 0x5a;
      EXPECT_EQ(area[0], 0x5a);
      EXPECT_EQ(area[bytes - 1], 0x5a);
      host.ReleaseArea(area, bytes);
    }
  }
}

}  // namespace
}  // namespace vex::test
