// Runs that publish their output: names, the choice of the work file, termination records and
// the text translation, each seen from the outside as the bytes of the output and of the console.
#include <string>
#include <vector>

#include "console_text.h"
#include "harness.h"

namespace {

const std::string FALLBACK = "S804FFDE40DE\r\n";
const std::string HYO = "\x95\x5C";  // the Shift-JIS form of a kanji whose second byte is "\"

struct MergeCase {
    const char* title;
    std::vector<Entry> entries;
    std::vector<std::string> args;          // "/" separates folders; handed over in the native form
    std::string output;                     // the output's name as the tool reports it
    std::string merged;                     // the bytes published
    std::vector<std::string> skipped = {};  // inputs reported as not opening, in order
    std::string published_at = {};          // where the output lands, when spelled otherwise
    bool posix_only = false;
};

std::vector<Entry> inputs(const std::string& a, const std::string& b) {
    return {{"a.MOT", a}, {"b.MOT", b}};
}

std::vector<Entry> with(std::vector<Entry> entries, const std::vector<Entry>& more) {
    entries.insert(entries.end(), more.begin(), more.end());
    return entries;
}

// Lines of varying length and content, each ending in eol.
std::string numbered_lines(int count, const std::string& eol) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "S1" + std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), 'x') + eol;
    }
    return text;
}

std::string pass_through_bytes() {
    std::string line = "XX";
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != '\n' && byte != '\r' && byte != 0x1A) {
            line += static_cast<char>(byte);
        }
    }
    return line;
}

MergeCase fifty_one_names() {
    MergeCase c{"OnlyTheFirstFiftyNamesAreMerged", {}, {"", "out"}, "out.mot", ""};
    for (int i = 0; i <= 50; ++i) {
        const std::string name = "n" + std::to_string(100 + i);
        c.entries.push_back({name + ".MOT", "S1" + name + "\n"});
        c.args[0] += (i == 0 ? "" : "+") + name;
        if (i < 50) {
            c.merged += "S1" + name + "\r\n";
        }
    }
    c.merged += FALLBACK;
    return c;
}

std::vector<MergeCase> merge_cases() {
    const std::vector<Entry> ab = inputs("S1A\n", "S1B\n");
    const std::string ab_merged = "S1A\r\nS1B\r\n" + FALLBACK;
    const std::string long_input(300, 'a');
    const std::string i250(250, 'i');
    const std::string i251(251, 'i');
    const std::string o250(250, 'o');
    const std::string x9995(9995, 'x');
    const std::string a5000(5000, 'A');
    return {
        // Names and default extensions.
        {"DefaultExtensions", ab, {"a+b", "out"}, "out.mot", ab_merged},
        {"OutputEndingInDotGetsExtension", ab, {"a.MOT+b.MOT", "out."}, "out.mot", ab_merged},
        {"OutputExtensionKeptExtraArgumentIgnored",
         ab,
         {"a+b", "out.s19", "c"},
         "out.s19",
         ab_merged},
        {"TrailingPlusAddsMissingDotMot",
         ab,
         {"a+", "out"},
         "out.mot",
         "S1A\r\n" + FALLBACK,
         {".MOT"}},
        {"MissingAndFolderInputsSkipped",
         with(ab, {folder_entry("dir.MOT")}),
         {"gone+dir+a", "out"},
         "out.mot",
         "S1A\r\n" + FALLBACK,
         {"gone.MOT", "dir.MOT"}},
        {"AllInputsSkipped",
         {folder_entry("dir.MOT")},
         {"gone+dir", "out"},
         "out.mot",
         FALLBACK,
         {"gone.MOT", "dir.MOT"}},
        {"OverLongInputSkippedUnderItsWholeName",
         ab,
         {"a+" + long_input, "out"},
         "out.mot",
         "S1A\r\n" + FALLBACK,
         {long_input + ".MOT"}},
        {"NamesUpTo256BytesAreUsed",
         with(ab, {{"d/" + i250 + ".MOT", "S1I\n"}, {"d/" + i251 + ".MOT", "S1J\n"}}),
         {"a+d/" + i250 + "+d/" + i251, "d/" + o250},
         "d/" + o250 + ".mot",
         "S1A\r\nS1I\r\n" + FALLBACK,
         {"d/" + i251 + ".MOT"}},
        posix_only<MergeCase>({"ShiftJisTrailByteIsNoSeparator",
                               {{HYO + ".MOT", "S1A\n"}, {"a.b" + HYO, "S1B\n"}},
                               {HYO + "+a.b" + HYO, HYO},
                               HYO + ".mot",
                               ab_merged}),
        posix_only<MergeCase>({"ShiftJisTrailByteKeepsOutputExtension",
                               {{HYO + ".MOT", "S1A\n"}, {"a.b" + HYO, "S1B\n"}},
                               {HYO + "+a.b" + HYO, "o.x" + HYO},
                               "o.x" + HYO,
                               ab_merged}),
        // The folder named like the first candidate would stop a run working in this folder.
        posix_only<MergeCase>({"SlashSeparatesFolders",
                               with(ab, {folder_entry("build"), folder_entry("___00000.___")}),
                               {"a+b", "build/out"},
                               "build/out.mot",
                               ab_merged}),
        // A Shift-JIS lead byte before "/" stands alone: the Latin-1 folder café keeps the
        // work file (the top folder would stop the run), and the "." before it is forgotten.
        posix_only<MergeCase>({"LeadByteBeforeSlashEndsNoFolder",
                               with(ab, {folder_entry("caf\xE9"), folder_entry("___00000.___")}),
                               {"a+b", "caf\xE9/out"},
                               "caf\xE9/out.mot",
                               ab_merged}),
        posix_only<MergeCase>({"LeadByteBeforeSlashHidesNoDot",
                               with(ab, {folder_entry("a.b\x81")}),
                               {"a+b", "a.b\x81/c"},
                               "a.b\x81/c.mot",
                               ab_merged}),
        posix_only<MergeCase>(
            {"DotInFolderNameIsNoExtension",
             {{"a.MOT", "S1A\n"}, {"sub.d/in.MOT", "S1I\n"}, folder_entry("dir.d")},
             {"a+sub.d/in", "dir.d/name"},
             "dir.d/name.mot",
             "S1A\r\nS1I\r\n" + FALLBACK}),

        // The work file never takes over an existing entry, the output or an input.
        {"FileNamedLikeFirstCandidateLeftAlone",
         with(ab, {{"___00000.___", "MINE\n"}}),
         {"a+b", "out"},
         "out.mot",
         ab_merged},
        posix_only<MergeCase>({"DanglingLinkNamedLikeFirstCandidateLeftAlone",
                               with(ab, {link_entry("___00000.___", "gone.txt")}),
                               {"a+b", "out"},
                               "out.mot",
                               ab_merged}),
        {"OutputNamedLikeFirstCandidate",
         ab,
         {"a+b", "./___00000.___"},
         "./___00000.___",
         ab_merged,
         {},
         "___00000.___"},
        {"OutputNamedLikeFirstCandidateThroughFolder",
         with(ab, {folder_entry("d")}),
         {"a+b", "d/../___00000.___"},
         "d/../___00000.___",
         ab_merged,
         {},
         "___00000.___"},
        {"InputNamedLikeFirstCandidate",
         ab,
         {"a+./___00000.___+b", "out"},
         "out.mot",
         ab_merged,
         {"./___00000.___"}},

        // Termination records.
        {"LastTerminationRecordKeptAtTheEnd",
         {{"a.MOT", "S1A\nS9030000FC\nS1A2\n"},
          {"b.MOT", "S1B\nS804000000FB\n"},
          {"c.MOT", "S1C\nS70500000000FA\n"}},
         {"a+b+c", "out"},
         "out.mot",
         "S1A\r\nS1A2\r\nS1B\r\nS1C\r\nS70500000000FA\r\n"},
        {"OnlyTheFirstTwoCharactersDecide",
         inputs("s9030000FC\nS503000AF2\n\nS\nX9\nS10\n", "S1B\n"),
         {"a+b", "out"},
         "out.mot",
         "S503000AF2\r\n\r\nS\r\nX9\r\nS10\r\nS1B\r\ns9030000FC\r\n"},
        {"HeldRecordWithoutLineBreakEndsOutput",
         inputs("S1A\n", "S9030000FC"),
         {"a+b", "out"},
         "out.mot",
         "S1A\r\nS9030000FC"},
        {"LongTerminationRecordHeldWhole",
         inputs("S9" + a5000 + "\n", "S1B\n"),
         {"a+b", "out"},
         "out.mot",
         "S1B\r\nS9" + a5000 + "\r\n"},

        // The read translation and lines of any length.
        {"CarriageReturnsDroppedAnywhere",
         inputs("S1\rA\r\r\nS1B\r", "C1\rC2\r\n"),
         {"a+b", "out"},
         "out.mot",
         "S1A\r\nS1BC1C2\r\n" + FALLBACK},
        {"CtrlZEndsAnInput",
         inputs("S1A\nS1B\x1AS1C\n", "S1D\n\x1A\x1A"),
         {"a+b", "out"},
         "out.mot",
         "S1A\r\nS1BS1D\r\n" + FALLBACK},
        {"LastLineWithoutBreakJoinsNextInput",
         inputs("S1A", "S1B\n"),
         {"a+b", "out"},
         "out.mot",
         "S1AS1B\r\n" + FALLBACK},
        {"EmptyInputs", inputs("", ""), {"a+b", "out"}, "out.mot", FALLBACK},
        {"BinaryBytesPassThrough",
         inputs(pass_through_bytes() + "\n", "S1B\n"),
         {"a+b", "out"},
         "out.mot",
         pass_through_bytes() + "\r\nS1B\r\n" + FALLBACK},
        {"NulEndsWhatIsWrittenOfALine",
         inputs(std::string("S1AB\0CD\nS1EF\n", 13), ""),
         {"a+b", "out"},
         "out.mot",
         "S1ABS1EF\r\n" + FALLBACK},
        {"LongLinePassesWhole",
         inputs("S1" + std::string(29998, 'x') + "\n", "S1B\n"),
         {"a+b", "out"},
         "out.mot",
         "S1" + std::string(29998, 'x') + "\r\nS1B\r\n" + FALLBACK},
        {"LongLinePiecesJudgedAlone",
         inputs("S1" + x9995 + "S9123\nS1END\n", "S1B\n"),
         {"a+b", "out"},
         "out.mot",
         "S1" + x9995 + "S1END\r\nS1B\r\nS9123\r\n"},
        {"InputsOfManyBlocks",
         inputs(numbered_lines(6000, "\n"), numbered_lines(5000, "\r\n")),
         {"a+b", "out"},
         "out.mot",
         numbered_lines(6000, "\r\n") + numbered_lines(5000, "\r\n") + FALLBACK},
        fifty_one_names(),
    };
}

// Failure reports name the case rather than dump its bytes.
void PrintTo(const MergeCase& c, std::ostream* os) {
    *os << c.title;
}

class Merge : public E2eTest, public testing::WithParamInterface<MergeCase> {};

// A run publishes, in list order, every line of the inputs that open less the termination
// records, then the last of those, reports what it skipped, and leaves nothing else behind.
TEST_P(Merge, PublishesTheMergedText) {
    const MergeCase& c = GetParam();
    if (c.posix_only) {
        SKIP_UNLESS_POSIX_BUILD();
    }
    make(c.entries);
    Snapshot expected = snapshot();
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
        args.push_back(native(arg));
    }

    const RunResult result = run(args);

    std::string console = banner();
    for (const std::string& name : c.skipped) {
        console += printed(SKIPPED, native(name));
    }
    console += printed(CREATED, native(c.output));
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, console);
    const std::string published = c.published_at.empty() ? c.output : c.published_at;
    expected[published] = "file:" + c.merged;
    const Snapshot after = snapshot();
    EXPECT_EQ(differences(expected, after), "");
    if (after.count(published) != 0) {
        EXPECT_BYTES(get(published), c.merged);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Merge, testing::ValuesIn(merge_cases()),
                         [](const testing::TestParamInfo<MergeCase>& one) {
                             return std::string(one.param.title);
                         });

// A sample file, and its text as a run writes it (CR LF line breaks) cut before its last line,
// which is its one termination record.
struct Sample {
    std::string text;
    std::string body;
    std::string end;
};

Sample sample(const std::string& name) {
    Sample s{read_file(std::string(SRJOIN_EXAMPLES_DIR) + "/" + name), "", ""};
    std::string crlf;
    for (const char byte : s.text) {
        if (byte == '\n' && (crlf.empty() || crlf.back() != '\r')) {
            crlf += '\r';
        }
        crlf += byte;
    }
    const std::size_t last = crlf.rfind("\r\nS") + 2;
    s.body = crlf.substr(0, last);
    s.end = crlf.substr(last);
    return s;
}

using SampleFiles = E2eTest;

// The output may be one of its own inputs, listed once or several times.
TEST_F(SampleFiles, OutputMayBeOneOfItsInputs) {
    const Sample tst1 = sample("tst1.mot");
    const Sample tst2 = sample("tst2.mot");
    const Sample tst3 = sample("tst3.mot");
    ASSERT_TRUE(tst1.end.starts_with("S9") && tst2.end.starts_with("S8") &&
                tst3.end.starts_with("S7"));
    const struct {
        std::string list;
        std::string merged;
    } runs[] = {
        {"tst1.mot+tst2.mot+tst3.mot", tst1.body + tst2.body + tst3.body + tst3.end},
        {"tst1.mot+tst1.mot+tst1.mot", tst1.body + tst1.body + tst1.body + tst1.end},
    };
    for (const auto& one : runs) {
        SCOPED_TRACE(one.list);
        put("tst1.mot", tst1.text);
        put("tst2.mot", tst2.text);
        put("tst3.mot", tst3.text);
        const RunResult result = run({one.list, "tst1.mot"});
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_BYTES(result.output, banner() + printed(CREATED, "tst1.mot"));
        EXPECT_BYTES(get("tst1.mot"), one.merged);
        EXPECT_EQ(snapshot().size(), 3u);
    }
}

using ConcurrentRuns = E2eTest;

// Runs started together in one folder each get a work file of their own: each one publishes
// exactly its own inputs, and none leaves a work file behind.
TEST_F(ConcurrentRuns, EachPublishesItsOwnOutput) {
    put("a.MOT", numbered_lines(300, "\n"));
    for (int i = 0; i < 8; ++i) {
        put("b" + std::to_string(i) + ".MOT", "S1B" + std::to_string(i) + "\nS9030000FC\n");
    }
    Snapshot expected = snapshot();
    for (int round = 0; round < 8; ++round) {
        std::vector<Running> running;
        StartGate gate;
        for (int i = 0; i < 8; ++i) {
            const std::string n = std::to_string(i);
            running.push_back(start({"a+b" + n, "out" + n}, {{}, &gate}));
        }
        gate.open();
        for (int i = 0; i < 8; ++i) {
            const std::string n = std::to_string(i);
            SCOPED_TRACE("out" + n);
            const RunResult result = running[static_cast<std::size_t>(i)].finish();
            EXPECT_EQ(result.exit_code, 0);
            EXPECT_BYTES(result.output, banner() + printed(CREATED, "out" + n + ".mot"));
            expected["out" + n + ".mot"] =
                "file:" + numbered_lines(300, "\r\n") + "S1B" + n + "\r\nS9030000FC\r\n";
        }
        EXPECT_EQ(differences(expected, snapshot()), "") << "round " << round;
    }
}

}  // namespace
