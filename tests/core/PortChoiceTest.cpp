#include "core/midi/PortChoice.h"

#include <gtest/gtest.h>

namespace rotavox {
namespace {

TEST(PortChoice, FindsTheRememberedPortByIdentityOnly) {
  const std::vector<std::string> list = {"a:in", "c:in", "own"};
  const struct {
    const char* what;
    RememberedPort port;
    std::vector<std::string> identities;
    bool ownPortLast;
    int expected;
  } cases[] = {
      {"found where it stands", {"c:in", false}, list, true, 1},
      {"nothing remembered", {"", false}, list, true, -1},
      {"an empty identity never matches a port without one", {"", false}, {"", "own"}, true, -1},
      {"gone", {"b:in", false}, list, true, -1},
      {"the own port's identity is not a foreign port", {"own", false}, list, true, -1},
      {"the input list has no own port at its end", {"own", false}, list, false, 2},
      {"claimed twice", {"c:in", false}, {"c:in", "c:in", "own"}, true, -1},
      {"own port: the last entry", {"", true}, list, true, 2},
      {"own port in a list of only itself", {"old", true}, {"own"}, true, 0},
      {"own port in a list without one", {"", true}, list, false, -1},
      {"own port in an empty list", {"", true}, {}, true, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(findRememberedPort(c.port, c.identities, c.ownPortLast), c.expected) << c.what;
}

}  // namespace
}  // namespace rotavox
