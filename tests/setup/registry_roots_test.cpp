// The two registry root names round-trip; any other spelling is no root.
#include "setup/registry_roots.h"

#include <gtest/gtest.h>

#include "app/registry.h"

namespace {

TEST(RegistryRoots, TheTwoNamesRoundTripAndOtherSpellingsAreRefused) {
  for (const uint32_t hive : {HKEY_CURRENT_USER_ID, HKEY_LOCAL_MACHINE_ID}) {
    uint32_t back = 0;
    EXPECT_TRUE(registryRootFromName(registryRootName(hive), &back));
    EXPECT_EQ(back, hive);
  }
  uint32_t untouched = 7;
  for (const char16_t* text : {u"hkey_current_user", u"HKEY_CLASSES_ROOT", u""}) {
    EXPECT_FALSE(registryRootFromName(text, &untouched)) << static_cast<int>(text[0]);
  }
  EXPECT_EQ(untouched, 7u);
  EXPECT_EQ(registryRootName(0x80000000), u"");
}

}  // namespace
