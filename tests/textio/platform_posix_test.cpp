// The platform contract as the POSIX build meets it. Root passes every permission check of the
// kernel, so the read-only cases also show that the mode bits are looked at.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/textio/test_files.h"
#include "textio/platform.h"

namespace {

using namespace textio_test;

class Platform : public testing::Test {
protected:
    // A file in the temporary folder holding bytes, with the given mode.
    std::string make_file(const char* name, std::string_view bytes = "", mode_t mode = 0644) {
        const std::string path = folder_.path(name);
        write_file(path, bytes);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }
    std::string make_folder(const char* name) {
        const std::string path = folder_.path(name);
        EXPECT_EQ(mkdir(path.c_str(), 0755), 0);
        return path;
    }
    std::string make_link(const char* name, const std::string& target) {
        const std::string path = folder_.path(name);
        EXPECT_EQ(symlink(target.c_str(), path.c_str()), 0);
        return path;
    }

    TempFolder folder_;
};

// Whether the name opens; a handle that was had is closed again.
bool opens(FileHandle (*open)(const char*), const std::string& name) {
    const FileHandle file = open(name.c_str());
    if (file == NO_FILE) {
        return false;
    }
    close_file(file);
    return true;
}

TEST_F(Platform, OpenForReading) {
    EXPECT_FALSE(opens(open_for_reading, folder_.path("missing")));
    EXPECT_FALSE(opens(open_for_reading, make_folder("dir")));

    const FileHandle file = open_for_reading(make_file("in", "abc", 0444).c_str());
    ASSERT_NE(file, NO_FILE);
    char buffer[8];
    EXPECT_EQ(read_some(file, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(read_some(file, buffer, sizeof buffer), 0);
    EXPECT_TRUE(close_file(file));
}

TEST_F(Platform, OpenForWriting) {
    EXPECT_FALSE(opens(open_for_writing, make_folder("dir")));
    EXPECT_FALSE(opens(open_for_writing, folder_.path("missing/out")));
    const std::string read_only = make_file("ro", "keep", 0444);
    EXPECT_FALSE(opens(open_for_writing, read_only));
    EXPECT_EQ(read_file(read_only), "keep");

    const std::string name = make_file("out", "old contents");
    const FileHandle file = open_for_writing(name.c_str());
    ASSERT_NE(file, NO_FILE);
    EXPECT_TRUE(write_all(file, "new", 3));
    EXPECT_TRUE(close_file(file));
    EXPECT_EQ(read_file(name), "new");

    const std::string created = folder_.path("created");
    EXPECT_TRUE(opens(open_for_writing, created));
    EXPECT_TRUE(entry_exists(created));
}

TEST_F(Platform, RemoveFile) {
    EXPECT_FALSE(remove_file(folder_.path("missing").c_str()));
    const std::string dir = make_folder("dir");
    EXPECT_FALSE(remove_file(dir.c_str()));
    EXPECT_TRUE(entry_exists(dir));
    const std::string read_only = make_file("ro", "", 0444);
    EXPECT_FALSE(remove_file(read_only.c_str()));
    EXPECT_TRUE(entry_exists(read_only));

    const std::string name = make_file("normal");
    EXPECT_TRUE(remove_file(name.c_str()));
    EXPECT_FALSE(entry_exists(name));

    const std::string target = make_file("target", "data");
    const std::string link = make_link("link", target);
    EXPECT_TRUE(remove_file(link.c_str()));
    EXPECT_FALSE(entry_exists(link));
    EXPECT_EQ(read_file(target), "data");
}

TEST_F(Platform, NameIsTakenLooksAtTheEntryItself) {
    const struct {
        const char* what;
        std::string name;
        bool taken;
    } cases[] = {
        {"file", make_file("file"), true},
        {"folder", make_folder("dir"), false},
        {"missing", folder_.path("missing"), false},
        {"dangling link", make_link("dangling", folder_.path("nowhere")), true},
        {"link to a folder", make_link("dirlink", folder_.path("dir")), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(name_is_taken(c.name.c_str()), c.taken) << c.what;
    }
}

// create_new_file, with the file closed again.
CreateResult create_new_file(const char* name) {
    FileHandle file = NO_FILE;
    const CreateResult result = ::create_new_file(name, file);
    EXPECT_EQ(file != NO_FILE, result == CreateResult::created);
    if (file != NO_FILE) {
        EXPECT_TRUE(close_file(file));
    }
    return result;
}

TEST_F(Platform, CreateNewFileNeverTakesAnExistingEntry) {
    const std::string free_name = folder_.path("free");
    EXPECT_EQ(create_new_file(free_name.c_str()), CreateResult::created);
    EXPECT_TRUE(entry_exists(free_name));
    EXPECT_EQ(read_file(free_name), "");

    const std::string file = make_file("file", "keep");
    EXPECT_EQ(create_new_file(file.c_str()), CreateResult::name_taken);
    EXPECT_EQ(read_file(file), "keep");
    // A folder is no taken file name: that name cannot be created at all.
    EXPECT_EQ(create_new_file(make_folder("dir").c_str()), CreateResult::failed);
    const std::string target = folder_.path("nowhere");
    EXPECT_EQ(create_new_file(make_link("dangling", target).c_str()), CreateResult::name_taken);
    EXPECT_FALSE(entry_exists(target));
    EXPECT_EQ(create_new_file(folder_.path("missing/new").c_str()), CreateResult::failed);
}

TEST_F(Platform, SameFileHoweverSpelled) {
    const std::string x = make_file("x", "x");
    const std::string y = make_file("y", "y");
    ASSERT_EQ(link(x.c_str(), folder_.path("hard").c_str()), 0);
    EXPECT_TRUE(same_file(x.c_str(), x.c_str()));
    EXPECT_TRUE(same_file(x.c_str(), folder_.path("hard").c_str()));
    EXPECT_FALSE(same_file(x.c_str(), y.c_str()));
    EXPECT_FALSE(same_file(x.c_str(), folder_.path("missing").c_str()));
    EXPECT_FALSE(same_file(folder_.path("missing").c_str(), folder_.path("missing").c_str()));
}

TEST_F(Platform, SameFileWithRelativeNames) {
    char* previous = getcwd(nullptr, 0);
    ASSERT_NE(previous, nullptr);
    make_file("x");
    make_folder("d");
    ASSERT_EQ(chdir(folder_.path().c_str()), 0);
    const bool plain = same_file("x", "./x");
    const bool through_folder = same_file("x", "d/../x");
    EXPECT_EQ(chdir(previous), 0);
    std::free(previous);
    EXPECT_TRUE(plain);
    EXPECT_TRUE(through_folder);
}

}  // namespace
