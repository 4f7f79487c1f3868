// Runs that fail: each prints why and ends with the exit code of its failure, and none of them
// touches the folder, except that a failed publication keeps the merged text in the work file.
#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console_text.h"
#include "harness.h"

namespace {

const std::string MERGED = "S1A\r\nS1B\r\nS804FFDE40DE\r\n";

struct FailureCase {
    const char* title;
    std::vector<Entry> entries;
    std::vector<std::string> args;  // "/" separates folders; handed over in the native form
    int exit_code;
    std::vector<std::pair<std::string_view, std::string>> messages;  // format and name, in order
    std::optional<std::string> kept = {};  // what the work file ___00000.___ keeps, if anything
    std::string read_only = {};            // an entry to make read-only before the run
    std::optional<rlim_t> file_size_limit = {};
    bool posix_only = false;
};

// A row run under a file-size limit: a POSIX matter.
FailureCase limited(rlim_t file_size_limit, FailureCase row) {
    row.file_size_limit = file_size_limit;
    return posix_only(row);
}

std::vector<Entry> inputs_and(const std::vector<Entry>& more) {
    std::vector<Entry> entries{{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}};
    entries.insert(entries.end(), more.begin(), more.end());
    return entries;
}

std::vector<Entry> all_candidates_taken() {
    std::vector<Entry> entries = inputs_and({});
    for (int k = 0; k < 300; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "___%05d.___", k);
        entries.push_back({name, "mine " + std::to_string(k) + "\n"});
    }
    return entries;
}

std::vector<FailureCase> failure_cases() {
    const std::string o251(251, 'o');
    const std::string deep = std::string(124, 'F') + "/" + std::string(124, 'G') + "/";
    const std::string big_line = "S1" + std::string(98, 'x') + "\n";
    std::string big;
    while (big.size() < 300 * 1000) {
        big += big_line;
    }
    const std::vector<Entry> old_output = inputs_and({{"out.mot", "OLD\r\n"}});
    return {
        // Refused before any file is touched.
        {"NoArguments", {}, {}, 255, {{USAGE_TEXT, ""}}},
        {"OneArgument", inputs_and({}), {"a+b"}, 255, {{USAGE_TEXT, ""}}},
        {"OneInputName", inputs_and({}), {"a", "out"}, 255, {{TOO_FEW_INPUTS, ""}}},
        {"EmptyInputList", inputs_and({}), {"", "out"}, 255, {{TOO_FEW_INPUTS, ""}}},
        {"OverLongOutputNameShownWhole",
         inputs_and({}),
         {"a+b", std::string(300, 'o')},
         4,
         {{PUBLISH_FAILED, std::string(300, 'o') + ".mot"}}},
        {"OutputNameOneByteOverTheLimit",
         inputs_and({{"d/" + o251 + ".mot", "OLD\r\n"}}),
         {"a+b", "d/" + o251},
         4,
         {{PUBLISH_FAILED, "d/" + o251 + ".mot"}}},

        // No work file can be had.
        {"FolderNamedLikeFirstCandidate",
         inputs_and({folder_entry("___00000.___")}),
         {"a+b", "out"},
         1,
         {{CANNOT_CREATE_WORK, "___00000.___"}}},
        {"FolderNamedLikeNextFreeCandidate",
         inputs_and({{"___00000.___", "mine\n"}, folder_entry("___00001.___")}),
         {"a+b", "out"},
         1,
         {{CANNOT_CREATE_WORK, "___00001.___"}}},
        {"AllCandidatesTaken",
         all_candidates_taken(),
         {"a+b", "out"},
         1,
         {{CANNOT_CREATE_WORK, "___00299.___"}}},
        {"OutputFolderMissing",
         inputs_and({}),
         {"a+b", "missing/out"},
         1,
         {{CANNOT_CREATE_WORK, "missing/___00000.___"}}},
        {"OverLongCandidateShownWhole",
         inputs_and({folder_entry(deep)}),
         {"a+b", deep + "o"},
         1,
         {{CANNOT_CREATE_WORK, deep + "___00000.___"}}},
        posix_only<FailureCase>({"CandidateLivesInTheOutputFolder",
                                 inputs_and({folder_entry("build/___00000.___")}),
                                 {"a+b", "build/out"},
                                 1,
                                 {{CANNOT_CREATE_WORK, "build/___00000.___"}}}),

        // Failing while the work file is written or an input is read.
        limited(4, {"WorkFileCloseFails",
                    old_output,
                    {"a+b", "out"},
                    3,
                    {{CANNOT_APPEND, "___00000.___"}}}),
        limited(100 * 1024, {"WorkFileWriteFailsDuringMerge",
                             {{"big.MOT", big}, {"b.MOT", "S1B\n"}, {"out.mot", "OLD\r\n"}},
                             {"big+b", "out"},
                             3,
                             {{CANNOT_APPEND, "___00000.___"}}}),
        posix_only<FailureCase>(
            {"InputReadFails",
             inputs_and({{"out.mot", "OLD\r\n"}, link_entry("mem.MOT", "/proc/self/mem")}),
             {"a+mem+b", "out"},
             3,
             {{READ_FAILED, "mem.MOT"}}}),

        // Publication fails: the merged text stays in the work file.
        {"ReadOnlyOutput",
         old_output,
         {"a+b", "out"},
         4,
         {{PUBLISH_FAILED, "out.mot"}, {WORK_FILE_KEPT, "___00000.___"}},
         MERGED,
         "out.mot"},
        {"OutputIsAFolder",
         inputs_and({folder_entry("out.mot")}),
         {"a+b", "out"},
         4,
         {{PUBLISH_FAILED, "out.mot"}, {WORK_FILE_KEPT, "___00000.___"}},
         MERGED},
    };
}

// Failure reports name the case rather than dump its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.title;
}

class Failure : public E2eTest, public testing::WithParamInterface<FailureCase> {};

// A failed run prints its messages, ends with its exit code and leaves every entry of the
// folder as it was; only a failed publication adds the work file, holding the merged text.
TEST_P(Failure, IsReportedAndLeavesTheFolderAsItWas) {
    const FailureCase& c = GetParam();
    if (c.posix_only) {
        SKIP_UNLESS_POSIX_BUILD();
    }
    make(c.entries);
    if (!c.read_only.empty()) {
        ASSERT_EQ(chmod(at(c.read_only).c_str(), 0444), 0);
    }
    Snapshot expected = snapshot();
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
        args.push_back(native(arg));
    }

    const RunResult result = run(args, {c.file_size_limit});

    std::string console = banner();
    for (const auto& [format, name] : c.messages) {
        console += printed(format, native(name));
    }
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_BYTES(result.output, console);
    if (c.kept) {
        expected["___00000.___"] = "file:" + *c.kept;
    }
    EXPECT_EQ(differences(expected, snapshot()), "");
}

INSTANTIATE_TEST_SUITE_P(Runs, Failure, testing::ValuesIn(failure_cases()),
                         [](const testing::TestParamInfo<FailureCase>& one) {
                             return std::string(one.param.title);
                         });

}  // namespace
