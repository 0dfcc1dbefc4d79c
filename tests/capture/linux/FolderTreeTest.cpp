// The watched folders' tree against a plain map of whole paths, over random work.
#include "capture/linux/FolderTree.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

using zlv::linuxcapture::FolderTree;

TEST(FolderTree, AnswersAsAMapOfWholePathsWouldThroughRandomWork)
{
    const char* names[] = {"a", "b", "a b", "a.b", "longer-than-fifteen-bytes", "\xC3\xA9"};
    std::mt19937 random(5);
    const auto somePath = [&] {
        std::string path;
        for (int depth = 1 + static_cast<int>(random() % 4); depth > 0; --depth) {
            path += "/";
            path += names[random() % 6];
        }
        return path;
    };
    FolderTree tree;
    std::map<std::string, int> model;
    for (int step = 0; step < 20000; ++step) {
        const std::string path = somePath();
        if (random() % 3 != 0) {
            const int wd = step + 1;
            EXPECT_EQ(tree.path(tree.setWatch(path, wd)), path);
            model[path] = wd;
        } else if (const FolderTree::Id id = tree.find(path); id != FolderTree::kNone) {
            tree.clearWatch(id);
            model.erase(path);
        }
        const std::string probe = somePath();
        const auto known = model.find(probe);
        ASSERT_EQ(tree.watchOf(probe), known == model.end() ? FolderTree::kNoWatch : known->second)
            << probe;
        ASSERT_EQ(tree.watched(), model.size());
        if (step % 97 == 0) {
            // Everything below a folder, as the map's range of paths under it.
            const FolderTree::Id top = tree.find(probe);
            std::set<std::string> seen, expected;
            if (top != FolderTree::kNone) {
                tree.forEachWatchedBelow(top, [&](FolderTree::Id id) {
                    EXPECT_TRUE(seen.insert(tree.path(id)).second);
                    EXPECT_EQ(tree.watch(id), model[tree.path(id)]);
                });
            }
            for (auto it = model.lower_bound(probe + "/");
                 it != model.end() && it->first.rfind(probe + "/", 0) == 0; ++it) {
                expected.insert(it->first);
            }
            ASSERT_EQ(seen, expected) << probe;
        }
    }
    // An entry held keeps its path with no watch left on it or below it.
    const FolderTree::Id held = tree.setWatch("/keep/me", 1);
    tree.hold(held);
    tree.clearWatch(held);
    EXPECT_EQ(tree.path(held), "/keep/me");
    EXPECT_EQ(tree.find("/keep/me"), held);
    tree.letGo(held);
    EXPECT_EQ(tree.find("/keep"), FolderTree::kNone);
}
