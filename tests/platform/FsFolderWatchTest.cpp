#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/fs/FolderWatch.h"
#include "platform/fs/SoundFileStore.h"

namespace rotavox {
namespace folder_watch_test {

namespace fs = std::filesystem;

// Waits up to a second for the watch to have news, then takes it.
FolderWatch::News newsOf(FolderWatch& watch) {
  pollfd p{watch.fd(), POLLIN, 0};
  ::poll(&p, 1, 1000);
  return watch.take();
}

TEST(FsFolderWatch, HearsEveryWayAFolderChangesAndNothingOfTheFolderBefore) {
  char name[] = "/tmp/rotavox-watch-XXXXXX";
  const fs::path dir = ::mkdtemp(name);
  const fs::path before = dir / "before", folder = dir / "sounds";
  fs::create_directory(before);
  fs::create_directory(folder);
  FolderWatch watch;
  ASSERT_GE(watch.fd(), 0);
  ASSERT_TRUE(watch.watch(before.string()));
  std::ofstream(before / "old.rvs") << "x";
  ASSERT_TRUE(watch.watch(folder.string()));
  EXPECT_FALSE(watch.take().any) << "news of the folder watched before";

  const struct {
    const char* what;
    std::function<void()> change;
    std::string name;  // the entry the news names
  } cases[] = {
      {"another program writes a file", [&] { std::ofstream(folder / "pad.rvs") << "x"; }, "pad.rvs"},
      {"a save replaces one", [&] { writeFileAtomically((folder / "pad.rvs").string(), "y"); }, "pad.rvs"},
      {"a rename", [&] { fs::rename(folder / "pad.rvs", folder / "pad 2.rvs"); }, "pad 2.rvs"},
      {"a name that is not UTF-8", [&] { std::ofstream(folder / "Kl\xe4nge.rvs") << "x"; }, "Kl\xe4nge.rvs"},
      {"new permissions", [&] { fs::permissions(folder / "pad 2.rvs", fs::perms::none); }, "pad 2.rvs"},
      {"a delete", [&] { fs::remove(folder / "pad 2.rvs"); }, "pad 2.rvs"},
  };
  for (const auto& c : cases) {
    c.change();
    const FolderWatch::News news = newsOf(watch);
    EXPECT_TRUE(news.any) << c.what;
    EXPECT_FALSE(news.everything) << c.what;
    EXPECT_NE(std::find(news.names.begin(), news.names.end(), c.name), news.names.end()) << c.what;
  }
  fs::remove_all(folder);
  EXPECT_TRUE(newsOf(watch).everything) << "the folder itself went";
  fs::remove_all(dir);
  EXPECT_FALSE(watch.watch(folder.string())) << "a folder that is gone cannot be watched";
}

}  // namespace folder_watch_test
}  // namespace rotavox
