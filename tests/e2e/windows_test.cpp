// Runs of the Windows build under Wine (scripts/test-windows.sh): drives and "\" folders,
// Shift-JIS names whose second byte is "\", read-only files, names Windows cannot hold, and the
// console bytes. Wine hands the tool its UTF-8 arguments in code page 932, and shows it the
// files of this machine under their UTF-8 names: "表" typed here is 0x95 0x5C to the tool, and
// 表.MOT on this side is the file the tool opens as 0x95 0x5C ".MOT".
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "console_text.h"
#include "harness.h"

namespace {

const std::string MERGED = "S1A\r\nS1B\r\nS804FFDE40DE\r\n";

// Stands for the test's folder as Z:\... in arguments and printed names.
const std::string HERE = "<here>";

// A name as the tool holds it: its Shift-JIS bytes (names hold no line break).
std::string shift_jis(std::string_view utf8) {
    return printed(utf8);
}

struct WindowsCase {
    const char* title;
    std::vector<Entry> entries;     // names in UTF-8, as this side sees them
    std::vector<std::string> args;  // as typed, in UTF-8
    int exit_code;
    std::vector<std::pair<std::string_view, std::string>> messages;  // format and name (UTF-8)
    std::map<std::string, std::string> added = {};  // entries the run leaves, with their bytes
    std::string read_only = {};                     // a file to make read-only before the run
    std::vector<std::string> removed = {};          // entries the run replaces or deletes
};

std::vector<Entry> ab(const std::vector<Entry>& more = {}) {
    std::vector<Entry> entries{{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}};
    entries.insert(entries.end(), more.begin(), more.end());
    return entries;
}

std::vector<WindowsCase> windows_cases() {
    // A folder named like the first candidate stops any run whose work file would go here.
    const Entry blocked = folder_entry("___00000.___");
    return {
        // Drives and "\" folders: the work file goes where the output goes.
        {"DriveAndFolders",
         ab({blocked, folder_entry("sub")}),
         {"a+b", HERE + "\\sub\\out"},
         0,
         {{CREATED, HERE + "\\sub\\out.mot"}},
         {{"sub/out.mot", MERGED}}},
        {"RelativeFolder",
         ab({blocked, folder_entry("sub")}),
         {"a+b", "sub\\out"},
         0,
         {{CREATED, "sub\\out.mot"}},
         {{"sub/out.mot", MERGED}}},
        {"DriveWithoutRootIsTheCurrentFolder",
         ab({blocked, folder_entry("sub")}),
         {"a+b", "Z:sub\\out"},
         0,
         {{CREATED, "Z:sub\\out.mot"}},
         {{"sub/out.mot", MERGED}}},
        {"WorkFileNamedWithDriveAndFolder",
         ab({folder_entry("sub/___00000.___")}),
         {"a+b", HERE + "\\sub\\out"},
         1,
         {{CANNOT_CREATE_WORK, HERE + "\\sub\\___00000.___"}}},
        {"InputsInFoldersGetDefaultExtension",
         {{"sub/a.MOT", "S1A\n"}, {"sub/b.MOT", "S1B\n"}},
         {"sub\\a+" + HERE + "\\sub\\b", "out"},
         0,
         {{CREATED, "out.mot"}},
         {{"out.mot", MERGED}}},
        // Only "\" separates folders: the work file of sub/out goes into the current folder.
        {"SlashIsNoFolderSeparator",
         ab({folder_entry("sub/___00000.___")}),
         {"a+b", "sub/out"},
         0,
         {{CREATED, "sub/out.mot"}},
         {{"sub/out.mot", MERGED}}},
        // Names are case-insensitive: the output a.mot is the input A.mot, and replaces it.
        // (Wine keeps the case of the file replaced; Windows gives the new one the name typed.)
        {"NamesAreCaseInsensitive",
         {{"A.mot", "S1A\n"}, {"b.Mot", "S1B\n"}},
         {"a+B", "a"},
         0,
         {{CREATED, "a.mot"}},
         {{"A.mot", MERGED}}},

        // 表 is 0x95 0x5C: its second byte is never a separator, and "." after it still counts.
        {"ShiftJisNameGetsDefaultExtensions",
         {{"表.MOT", "S1A\n"}, {"a.b表", "S1B\n"}},
         {"表+a.b表", "o表"},
         0,
         {{CREATED, "o表.mot"}},
         {{"o表.mot", MERGED}}},
        {"ShiftJisNameKeepsItsExtension",
         {{"表.MOT", "S1A\n"}, {"a.b表", "S1B\n"}},
         {"表+a.b表", "o.x表"},
         0,
         {{CREATED, "o.x表"}},
         {{"o.x表", MERGED}}},
        {"OutputInShiftJisFolder",
         {{"表/a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}, blocked},
         {"表\\a+b", "表\\out"},
         0,
         {{CREATED, "表\\out.mot"}},
         {{"表/out.mot", MERGED}}},
        {"WorkFileGoesIntoShiftJisFolder",
         ab({folder_entry("表/___00000.___")}),
         {"a+b", "表\\out"},
         1,
         {{CANNOT_CREATE_WORK, "表\\___00000.___"}}},

        // A read-only output resists deletion and writing: the merged text stays in the work file.
        {"ReadOnlyOutputInShiftJisFolder",
         ab({{"表/out.mot", "OLD\r\n"}}),
         {"a+b", "表\\out"},
         4,
         {{PUBLISH_FAILED, "表\\out.mot"}, {WORK_FILE_KEPT, "表\\___00000.___"}},
         {{"表/___00000.___", MERGED}},
         "表/out.mot"},

        // No Windows name holds "*" or "?": a candidate through such a folder is looked up as
        // it is, so it matches neither a folder the wildcard would match nor the entry of that
        // name on this side, and then cannot be created.
        {"StarInOutputFolder",
         ab({{"a*/___00000.___", "MINE\n"}, {"abc/___00000.___", "MINE\n"}}),
         {"a+b", "a*\\out"},
         1,
         {{CANNOT_CREATE_WORK, "a*\\___00000.___"}}},
        {"QuestionMarkInOutputFolder",
         ab({folder_entry("a?"), {"ab/___00000.___", "MINE\n"}}),
         {"a+b", "a?\\out"},
         1,
         {{CANNOT_CREATE_WORK, "a?\\___00000.___"}}},
    };
}

std::string with_here(std::string text, const std::string& here) {
    for (std::size_t at = text.find(HERE); at != std::string::npos; at = text.find(HERE, at)) {
        text.replace(at, HERE.size(), here);
        at += here.size();
    }
    return text;
}

void PrintTo(const WindowsCase& c, std::ostream* os) {
    *os << c.title;
}

class Windows : public E2eTest, public testing::WithParamInterface<WindowsCase> {};

// Each run prints exactly its messages in Shift-JIS with CR LF, ends with its exit code, and
// leaves the folder as it was but for what it publishes or keeps.
TEST_P(Windows, NamesFilesAndMessages) {
    SKIP_UNLESS_WINDOWS_BUILD();
    const WindowsCase& c = GetParam();
    make(c.entries);
    if (!c.read_only.empty()) {
        ASSERT_EQ(chmod(at(c.read_only).c_str(), 0444), 0);
        // Wine lets whoever may write a file write it: root must run without CAP_DAC_OVERRIDE.
        ASSERT_NE(access(at(c.read_only).c_str(), W_OK), 0)
            << "a 0444 file is writable here, so Wine would write it too";
    }
    Snapshot expected = snapshot();
    std::string folder = at("");
    folder.pop_back();
    const std::string here = wine_path(folder);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
        args.push_back(with_here(arg, here));
    }

    const RunResult result = run(args);

    std::string console = banner();
    for (const auto& [format, name] : c.messages) {
        console += printed(format, shift_jis(with_here(name, here)));
    }
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_BYTES(result.output, console);
    for (const std::string& path : c.removed) {
        expected.erase(path);
    }
    for (const auto& [path, bytes] : c.added) {
        expected[path] = "file:" + bytes;
    }
    EXPECT_EQ(differences(expected, snapshot()), "");
}

INSTANTIATE_TEST_SUITE_P(Runs, Windows, testing::ValuesIn(windows_cases()),
                         [](const testing::TestParamInfo<WindowsCase>& one) {
                             return std::string(one.param.title);
                         });

using WindowsConsole = E2eTest;

// Redirected to a pipe or to a file, standard output carries the tool's bytes and nothing of
// Wine's: no escape sequences, no conversion, CR LF line breaks.
TEST_F(WindowsConsole, RedirectedOutputIsExactlyShiftJis) {
    SKIP_UNLESS_WINDOWS_BUILD();
    put("表.MOT", "S1A\n");
    put("b.MOT", "S1B\n");
    for (const bool to_file : {false, true}) {
        SCOPED_TRACE(to_file ? "file" : "pipe");
        RunOptions options;
        options.output_to_file = to_file;
        const RunResult usage = run({}, options);
        EXPECT_EQ(usage.exit_code, 255);
        EXPECT_BYTES(usage.output, banner() + printed(USAGE_TEXT));
        // Written out here byte by byte, apart from the conversion the other tests share.
        const RunResult merged = run({"表+b", "o表"}, options);
        EXPECT_EQ(merged.exit_code, 0);
        EXPECT_BYTES(merged.output,
                     "Srjoin Ver1.00\r\n[o\x95\x5C.mot]"
                     "\x82\xF0\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42\r\n");
        EXPECT_BYTES(get("o表.mot"), MERGED);
    }
}

}  // namespace
