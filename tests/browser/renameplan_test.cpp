#include "browser/core/renameplan.h"
#include "browser/core/renamesnapshot.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace kamelo;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;
using Problem = RenamePlan::Problem;
using Pairs = std::vector<std::pair<std::string, std::string>>;

namespace {

// Each file holds its own first name, so where it went can be checked.
void make(const ScratchDir& dir, const std::vector<std::string>& names) {
    for (const std::string& n : names)
        test::writeFile(dir.file(n), "was " + n);
}

// Name -> content of everything in the folder.
std::map<std::string, std::string> snapshot(const ScratchDir& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir.path()))
        out[e.path().filename().string()] =
            e.is_regular_file() ? test::readFile(e.path().string()) : std::string("<folder>");
    return out;
}

Pairs rows(const ScratchDir& dir, const Pairs& names) {
    Pairs out;
    for (const auto& [from, to] : names)
        out.push_back({dir.file(from), to});
    return out;
}

// A folder refused as a whole: the marks expected, nothing renamed.
void expectRefused(const ScratchDir& dir, const Pairs& names, const std::vector<Problem>& marks) {
    const auto before = snapshot(dir);
    const RenamePlan plan(rows(dir, names));
    ASSERT_EQ(plan.rows().size(), marks.size());
    for (size_t i = 0; i < marks.size(); ++i)
        EXPECT_EQ(plan.rows()[i].problem, marks[i]) << "row " << i;
    EXPECT_GE(plan.firstProblem(), 0);
    EXPECT_TRUE(plan.steps().empty());
    const RenamePlan::Outcome out = plan.apply();
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(int(out.row), plan.firstProblem());
    EXPECT_EQ(snapshot(dir), before);
}

std::string asciiLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return s;
}

// A memory card folder "/card" that keeps the case of names but finds
// them in any case, and refuses to rename onto any name it finds, the
// file's own included (no-replace renames on such a card do).
class CaseFoldingCard : public RenameFileSystem {
public:
    struct File {
        std::string name;
        std::string content;
    };
    std::vector<File> files;
    int renames = 0;

    std::optional<Entry> look(const std::string& path) const override {
        const int i = find(path);
        if (i < 0)
            return std::nullopt;
        return Entry{7, uint64_t(i + 100), true};
    }
    std::optional<Entry> folder(const std::string& path) const override {
        return path == "/card" ? std::optional<Entry>(Entry{7, 1, false}) : std::nullopt;
    }
    bool list(const std::string& folder,
              std::vector<std::pair<std::string, Entry>>& out) const override {
        if (folder != "/card")
            return false;
        for (size_t i = 0; i < files.size(); ++i)
            out.push_back({files[i].name, Entry{7, uint64_t(i + 100), true}});
        return true;
    }
    size_t nameMax(const std::string&) const override { return 255; }
    int rename(const std::string& from, const std::string& to) override {
        ++renames;
        const int i = find(from);
        if (i < 0)
            return ENOENT;
        if (find(to) >= 0)
            return EEXIST;
        files[size_t(i)].name = RenamePlan::nameOf(to);
        return 0;
    }
    std::map<std::string, std::string> names() const {
        std::map<std::string, std::string> out;
        for (const File& f : files)
            out[f.name] = f.content;
        return out;
    }

private:
    int find(const std::string& path) const {
        if (RenamePlan::folderOf(path) != "/card")
            return -1;
        const std::string key = asciiLower(RenamePlan::nameOf(path));
        for (size_t i = 0; i < files.size(); ++i)
            if (asciiLower(files[i].name) == key)
                return int(i);
        return -1;
    }
};

// The local file system with a rename that fails from the n-th call on
// (only the n-th, unless every later one should fail too).
class FailingDisk : public RenameFileSystem {
public:
    FailingDisk(int failAt, bool keepFailing) : failAt_(failAt), keepFailing_(keepFailing) {}
    int calls = 0;
    std::optional<Entry> look(const std::string& p) const override { return local().look(p); }
    std::optional<Entry> folder(const std::string& p) const override { return local().folder(p); }
    bool list(const std::string& f,
              std::vector<std::pair<std::string, Entry>>& out) const override {
        return local().list(f, out);
    }
    size_t nameMax(const std::string& f) const override { return local().nameMax(f); }
    int rename(const std::string& from, const std::string& to) override {
        ++calls;
        if (calls == failAt_ || (keepFailing_ && calls > failAt_))
            return EIO;
        return local().rename(from, to);
    }

private:
    int failAt_;
    bool keepFailing_;
};

} // namespace

TEST(RenamePlan, TwoRowsTakingOneNameAreBothMarked) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg", "c.jpg"});
    expectRefused(dir, {{"a.jpg", "x.jpg"}, {"b.jpg", "x.jpg"}, {"c.jpg", "y.jpg"}},
                  {Problem::Duplicate, Problem::Duplicate, Problem::None});
    // A row keeping its name still holds it.
    expectRefused(dir, {{"a.jpg", "a.jpg"}, {"b.jpg", "a.jpg"}},
                  {Problem::Duplicate, Problem::Duplicate});
}

TEST(RenamePlan, AnExistingFileNotRenamedAwayIsNeverReplaced) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg", "c.jpg"});
    fs::create_directory(dir.file("d.jpg"));
    expectRefused(dir, {{"a.jpg", "c.jpg"}, {"b.jpg", "z.jpg"}}, {Problem::Exists, Problem::None});
    expectRefused(dir, {{"a.jpg", "d.jpg"}}, {Problem::Exists}); // a folder
    // A dangling link is there too.
    ASSERT_EQ(::symlink("nowhere", dir.file("e.jpg").c_str()), 0);
    expectRefused(dir, {{"a.jpg", "e.jpg"}}, {Problem::Exists});
}

TEST(RenamePlan, EmptyTitlesLeadingDotsAndSlashesAreMarked) {
    ScratchDir dir;
    make(dir, {"a.jpg", "noext", "b.jpg"});
    fs::create_directory(dir.file("sub"));
    expectRefused(dir, {{"a.jpg", ".jpg"}, {"noext", ""}, {"b.jpg", "b2.jpg"}},
                  {Problem::EmptyTitle, Problem::EmptyTitle, Problem::None});
    expectRefused(dir, {{"a.jpg", ".x.jpg"}}, {Problem::LeadingDot});
    expectRefused(dir, {{"a.jpg", "..jpg"}}, {Problem::LeadingDot});
    // "/" would move the file into another folder.
    expectRefused(dir, {{"a.jpg", "sub/a.jpg"}}, {Problem::BadCharacter});
    expectRefused(dir, {{"a.jpg", "x/.jpg"}}, {Problem::BadCharacter});
    expectRefused(dir, {{"a.jpg", "tab\there.jpg"}}, {Problem::BadCharacter});
}

TEST(RenamePlan, NamesOverTheFolderLimitInBytesAreMarked) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg"});
    const size_t limit = RenameFileSystem::local().nameMax(dir.path());
    ASSERT_EQ(limit, 255u);
    expectRefused(dir, {{"a.jpg", std::string(252, 'n') + ".jpg"}}, {Problem::TooLong});
    EXPECT_EQ(
        RenamePlan(rows(dir, {{"a.jpg", std::string(252, 'n') + ".jpg"}})).rows()[0].nameLimit,
        255u);
    // Hangul takes three bytes a letter: 85 letters and ".jpg" are 259.
    std::string hangul;
    for (int i = 0; i < 85; ++i)
        hangul += "한";
    expectRefused(dir, {{"a.jpg", hangul + ".jpg"}}, {Problem::TooLong});

    // Exactly at the limit is fine.
    std::string fits;
    for (int i = 0; i < 83; ++i)
        fits += "글";
    const std::string longAscii = std::string(251, 'n') + ".jpg";
    const RenamePlan plan(rows(dir, {{"a.jpg", longAscii}, {"b.jpg", fits + ".jpg"}}));
    ASSERT_EQ(plan.firstProblem(), -1);
    ASSERT_TRUE(plan.apply().ok);
    EXPECT_EQ(test::readFile(dir.file(longAscii)), "was a.jpg");
    EXPECT_EQ(test::readFile(dir.file(fits + ".jpg")), "was b.jpg");
}

TEST(RenamePlan, MissingFilesAndFilesListedTwiceAreMarked) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg"});
    fs::create_directory(dir.file("folder.jpg"));
    expectRefused(dir, {{"gone.jpg", "x.jpg"}, {"b.jpg", "y.jpg"}},
                  {Problem::Missing, Problem::None});
    expectRefused(dir, {{"folder.jpg", "x.jpg"}}, {Problem::Missing});
    expectRefused(dir, {{"a.jpg", "x.jpg"}, {"./a.jpg", "y.jpg"}},
                  {Problem::None, Problem::SameFile});
    // The same folder spelt two ways is still one folder.
    expectRefused(dir, {{"a.jpg", "x.jpg"}, {"./b.jpg", "x.jpg"}},
                  {Problem::Duplicate, Problem::Duplicate});
}

TEST(RenamePlan, ASwapGoesThroughOneTemporaryName) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg"});
    const RenamePlan plan(rows(dir, {{"a.jpg", "b.jpg"}, {"b.jpg", "a.jpg"}}));
    ASSERT_EQ(plan.firstProblem(), -1);
    EXPECT_EQ(plan.steps().size(), 3u);
    ASSERT_TRUE(plan.apply().ok);
    EXPECT_EQ(snapshot(dir),
              (std::map<std::string, std::string>{{"a.jpg", "was b.jpg"}, {"b.jpg", "was a.jpg"}}));
}

TEST(RenamePlan, AThreeCycleAndAChainEndWhereAsked) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg", "c.jpg", "p.jpg", "q.jpg", "r.jpg", "keep.jpg"});
    const RenamePlan plan(rows(dir, {{"a.jpg", "b.jpg"},
                                     {"b.jpg", "c.jpg"},
                                     {"c.jpg", "a.jpg"},
                                     {"p.jpg", "q.jpg"},
                                     {"q.jpg", "r.jpg"},
                                     {"r.jpg", "s.jpg"},
                                     {"keep.jpg", "keep.jpg"}}));
    ASSERT_EQ(plan.firstProblem(), -1);
    // Cycle: 3 + 1 through the temporary name; chain: 3; unchanged: none.
    EXPECT_EQ(plan.steps().size(), 7u);
    ASSERT_TRUE(plan.apply().ok);
    EXPECT_EQ(snapshot(dir), (std::map<std::string, std::string>{{"a.jpg", "was c.jpg"},
                                                                 {"b.jpg", "was a.jpg"},
                                                                 {"c.jpg", "was b.jpg"},
                                                                 {"q.jpg", "was p.jpg"},
                                                                 {"r.jpg", "was q.jpg"},
                                                                 {"s.jpg", "was r.jpg"},
                                                                 {"keep.jpg", "was keep.jpg"}}));
}

TEST(RenamePlan, TheTemporaryNameAvoidsFilesAlreadyThere) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg"});
    const std::string stem = "kamelo-rename-" + std::to_string(::getpid()) + "-";
    for (int i = 1; i <= 3; ++i)
        test::writeFile(dir.file(stem + std::to_string(i) + ".jpg"), "other");
    const RenamePlan plan(rows(dir, {{"a.jpg", "b.jpg"}, {"b.jpg", "a.jpg"}}));
    ASSERT_TRUE(plan.apply().ok);
    const auto after = snapshot(dir);
    EXPECT_EQ(after.size(), 5u);
    EXPECT_EQ(after.at("a.jpg"), "was b.jpg");
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(after.at(stem + std::to_string(i) + ".jpg"), "other");
}

TEST(RenamePlan, ACaseOnlyChangeIsOneRenameWhereCaseCounts) {
    ScratchDir dir;
    make(dir, {"photo.jpg"});
    const RenamePlan plan(rows(dir, {{"photo.jpg", "PHOTO.jpg"}}));
    ASSERT_EQ(plan.firstProblem(), -1);
    EXPECT_EQ(plan.steps().size(), 1u);
    ASSERT_TRUE(plan.apply().ok);
    EXPECT_EQ(snapshot(dir), (std::map<std::string, std::string>{{"PHOTO.jpg", "was photo.jpg"}}));
}

TEST(RenamePlan, ACaseOnlyChangeOnACardThatIgnoresCaseGoesThroughATemporaryName) {
    CaseFoldingCard card;
    card.files = {{"photo.jpg", "1"}, {"b.jpg", "2"}, {"c.jpg", "3"}};
    const RenamePlan plan({{"/card/photo.jpg", "PHOTO.jpg"}, {"/card/b.jpg", "B.JPG"}}, card);
    ASSERT_EQ(plan.firstProblem(), -1);
    EXPECT_EQ(plan.steps().size(), 4u);
    ASSERT_TRUE(plan.apply().ok);
    EXPECT_EQ(card.names(), (std::map<std::string, std::string>{
                                {"PHOTO.jpg", "1"}, {"B.JPG", "2"}, {"c.jpg", "3"}}));
}

TEST(RenamePlan, OnACardThatIgnoresCaseNamesClashInAnyCase) {
    CaseFoldingCard card;
    card.files = {{"a.jpg", "1"}, {"b.jpg", "2"}, {"C.JPG", "3"}, {"Jeju_Trip_0001.JPG", "4"}};
    // Another case of a file that stays.
    RenamePlan plan({}, card);
    for (const char* other : {"c.jpg", "jeju_trip_0001.jpg", "JEJU_TRIP_0001.jpg"}) {
        plan = RenamePlan({{"/card/a.jpg", other}}, card);
        EXPECT_EQ(plan.rows()[0].problem, Problem::Exists) << other;
    }
    // Two rows differing only in case, anywhere in the name, clash; other
    // characters a case apart in ASCII ('@' and '`', '[' and '{') do not.
    const struct {
        const char* a;
        const char* b;
        Problem mark;
    } pairs[] = {
        {"x.jpg", "X.jpg", Problem::Duplicate},
        {"summer_trip_01.jpg", "SUMMER_TRIP_01.JPG", Problem::Duplicate},
        {"trip_2024_summer_A.jpg", "trip_2024_summer_a.jpg", Problem::Duplicate},
        {"제주_Trip.jpg", "제주_tRIP.jpg", Problem::Duplicate},
        {"a@b[c]^_long_name.jpg", "a`b{c}~_long_name.jpg", Problem::None},
        {"제주.jpg", "제주2.jpg", Problem::None},
    };
    for (const auto& p : pairs) {
        plan = RenamePlan({{"/card/a.jpg", p.a}, {"/card/b.jpg", p.b}}, card);
        EXPECT_EQ(plan.rows()[0].problem, p.mark) << p.a;
        EXPECT_EQ(plan.rows()[1].problem, p.mark) << p.b;
    }
    plan = RenamePlan({{"/card/a.jpg", "x.jpg"}, {"/card/b.jpg", "X.jpg"}}, card);
    EXPECT_FALSE(plan.apply().ok);
    EXPECT_EQ(card.renames, 0);
    // A swap written in other cases is still a swap.
    plan = RenamePlan({{"/card/a.jpg", "B.jpg"}, {"/card/b.jpg", "A.jpg"}}, card);
    ASSERT_EQ(plan.firstProblem(), -1);
    ASSERT_TRUE(plan.apply().ok);
    EXPECT_EQ(card.names(),
              (std::map<std::string, std::string>{
                  {"A.jpg", "2"}, {"B.jpg", "1"}, {"C.JPG", "3"}, {"Jeju_Trip_0001.JPG", "4"}}));
}

TEST(RenamePlan, AFailureAtAnyStepLeavesEveryNameAsBefore) {
    const std::vector<std::string> names = {"a.jpg", "b.jpg", "c.jpg", "d.jpg",
                                            "e.jpg", "f.jpg", "g.jpg", "h.jpg"};
    const Pairs wanted = {{"a.jpg", "b.jpg"}, {"b.jpg", "a.jpg"}, // swap
                          {"c.jpg", "d.jpg"}, {"d.jpg", "e.jpg"}, // chain
                          {"e.jpg", "z.jpg"}, {"f.jpg", "g.jpg"}, // (continued); cycle
                          {"g.jpg", "h.jpg"}, {"h.jpg", "f.jpg"}};
    size_t total = 0;
    {
        ScratchDir dir;
        make(dir, names);
        total = RenamePlan(rows(dir, wanted)).steps().size();
    }
    ASSERT_EQ(total, 3u + 3u + 4u);
    for (size_t n = 1; n <= total; ++n) {
        SCOPED_TRACE("failing rename " + std::to_string(n));
        ScratchDir dir;
        make(dir, names);
        const auto before = snapshot(dir);
        FailingDisk disk(int(n), false);
        const RenamePlan plan(rows(dir, wanted), disk);
        const RenamePlan::Outcome out = plan.apply();
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.error, EIO);
        EXPECT_EQ(out.row, plan.steps()[n - 1].row);
        EXPECT_TRUE(out.stranded.empty());
        EXPECT_EQ(snapshot(dir), before);
        // The failed rename, then one undo per rename done before it.
        EXPECT_EQ(disk.calls, int(n + (n - 1)));
    }
}

TEST(RenamePlan, AFileThatCannotGoBackIsNamed) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg", "c.jpg"});
    // The second rename fails and so does every undo.
    FailingDisk disk(2, true);
    const RenamePlan plan(rows(dir, {{"a.jpg", "x.jpg"}, {"b.jpg", "y.jpg"}, {"c.jpg", "z.jpg"}}),
                          disk);
    const RenamePlan::Outcome out = plan.apply();
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.row, 1u);
    ASSERT_EQ(out.stranded.size(), 1u);
    EXPECT_EQ(out.stranded[0].first, dir.file("x.jpg"));
    EXPECT_EQ(out.stranded[0].second, dir.file("a.jpg"));
    EXPECT_EQ(test::readFile(dir.file("x.jpg")), "was a.jpg");
}

TEST(RenamePlan, PathPieces) {
    EXPECT_EQ(RenamePlan::folderOf("/a/b.jpg"), "/a");
    EXPECT_EQ(RenamePlan::folderOf("/b.jpg"), "/");
    EXPECT_EQ(RenamePlan::folderOf("b.jpg"), "");
    EXPECT_EQ(RenamePlan::nameOf("/a/b.jpg"), "b.jpg");
    EXPECT_EQ(RenamePlan::nameOf("b.jpg"), "b.jpg");
}

namespace {

// The local file system, counting the questions asked of it.
class CountingDisk : public RenameFileSystem {
public:
    mutable int looks = 0, folders = 0, lists = 0, limits = 0;
    std::optional<Entry> look(const std::string& p) const override {
        ++looks;
        return local().look(p);
    }
    std::optional<Entry> folder(const std::string& p) const override {
        ++folders;
        return local().folder(p);
    }
    bool list(const std::string& f,
              std::vector<std::pair<std::string, Entry>>& out) const override {
        ++lists;
        return local().list(f, out);
    }
    size_t nameMax(const std::string& f) const override {
        ++limits;
        return local().nameMax(f);
    }
    int rename(const std::string& from, const std::string& to) override {
        return local().rename(from, to);
    }
};

} // namespace

TEST(RenameSnapshot, EachFolderIsReadOnceForManyPlans) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg", "c.jpg", "keep.jpg"});
    CountingDisk disk;
    RenameSnapshot snapshot(disk);
    // The preview finds the files once and checks each keystroke against
    // them: nothing one keystroke marked may stay for the next.
    const std::vector<std::string> paths = {dir.file("a.jpg"), dir.file("b.jpg")};
    const auto sources = std::make_shared<const RenameSources>(
        paths.size(), [&](size_t i) { return std::string_view(paths[i]); }, snapshot);
    const struct {
        const char* a;
        const char* b;
        Problem markA, markB;
    } keystrokes[] = {
        {"x.jpg", "x1.jpg", Problem::None, Problem::None},
        {"xy.jpg", "xy1.jpg", Problem::None, Problem::None},
        {"xyz.jpg", "xyz1.jpg", Problem::None, Problem::None},
        {"keep.jpg", "keep1.jpg", Problem::Exists, Problem::None},
        {"x.jpg", "x.jpg", Problem::Duplicate, Problem::Duplicate},
        {"x.jpg", "y.jpg", Problem::None, Problem::None},
        {"b.jpg", "a.jpg", Problem::None, Problem::None}, // a swap
        {"b.jpg", "b.jpg", Problem::Duplicate, Problem::Duplicate},
        {"c.jpg", "c.jpg", Problem::Duplicate, Problem::Duplicate},
        {"c.jpg", "z.jpg", Problem::Exists, Problem::None},
        {"b.jpg", "z.jpg", Problem::None, Problem::None}, // b.jpg left
        {".jpg", "b.jpg", Problem::EmptyTitle, Problem::None},
    };
    for (const auto& k : keystrokes) {
        const Pairs names = {{"a.jpg", k.a}, {"b.jpg", k.b}};
        const RenamePlan cached(rows(dir, names), snapshot);
        const RenamePlan live(rows(dir, names));
        RenameNames typed;
        typed.add(k.a);
        typed.add(k.b);
        const RenameCheck preview(sources, std::move(typed), snapshot);
        ASSERT_EQ(cached.rows().size(), live.rows().size());
        for (size_t i = 0; i < live.rows().size(); ++i) {
            const Problem mark = i == 0 ? k.markA : k.markB;
            EXPECT_EQ(live.rows()[i].problem, mark) << k.a << " " << k.b << " row " << i;
            EXPECT_EQ(cached.rows()[i].problem, mark) << k.a << " " << k.b << " row " << i;
            EXPECT_EQ(preview.problem(i), mark) << k.a << " " << k.b << " row " << i;
            EXPECT_EQ(cached.rows()[i].to, live.rows()[i].to);
        }
    }
    // "keep.jpg" is taken: the last plan marks the first row.
    EXPECT_EQ(RenamePlan(rows(dir, {{"a.jpg", "keep.jpg"}}), snapshot).rows()[0].problem,
              Problem::Exists);
    EXPECT_EQ(disk.lists, 1);
    EXPECT_EQ(disk.folders, 1);
    EXPECT_EQ(disk.limits, 1);
}

TEST(RenameSnapshot, ItShowsTheFolderAsFirstReadAndRenamesNothing) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg"});
    RenameSnapshot snapshot;
    EXPECT_EQ(RenamePlan(rows(dir, {{"a.jpg", "new.jpg"}}), snapshot).firstProblem(), -1);
    make(dir, {"new.jpg"}); // appears after the folder was read
    const RenamePlan stale(rows(dir, {{"a.jpg", "new.jpg"}}), snapshot);
    EXPECT_EQ(stale.firstProblem(), -1);
    // Its rename is refused, and nothing is lost.
    const auto before = ::snapshot(dir);
    const RenamePlan::Outcome out = stale.apply();
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.error, EROFS);
    EXPECT_EQ(::snapshot(dir), before);
    // A plan against the folder as it is now sees the new file.
    EXPECT_EQ(RenamePlan(rows(dir, {{"a.jpg", "new.jpg"}})).rows()[0].problem, Problem::Exists);
}
