// What the tool promises, a row each: arguments and files a run starts with, what it prints, its
// exit code, every change it leaves; and the setting it needs (platform, terminal, fault...).
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "text_model.h"
#include "tool.h"

namespace {

const Files AB = {{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}};
const std::vector<Said> OUT = {{CREATED, "out.mot"}};
const std::string MERGED = "S1A\r\nS1B\r\n" + FALLBACK;
const std::string HYO = "\x95\x5C";    // a Shift-JIS character whose second byte is "\"
const std::size_t BLOCK = 256 * 1024;  // the text layer's largest block

Files out(const std::string& bytes) {
    return {{"out.mot", bytes}};
}

// Data records of varying length, about bytes in all, each ending in eol.
std::string lines(const std::string& tag, std::size_t bytes, const std::string& eol = "\n") {
    std::string text;
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        text += "S1" + tag + std::to_string(i) + std::string(i % 61, 'x') + eol;
    }
    return text;
}

// Random bytes, half of them LF, CR and the starts of termination records, then a Ctrl-Z and
// bytes that are never read.
std::vector<std::string> random_inputs() {
    std::mt19937 random(20261207);
    std::vector<std::string> inputs(2, std::string(200000, ' '));
    for (std::string& input : inputs) {
        for (char& byte : input) {
            const std::string_view often = "\n\n\r\rSSs789";
            byte =
                random() % 2 ? often[random() % often.size()] : static_cast<char>(random() % 256);
        }
        std::replace(input.begin(), input.end(), '\x1A', '\x1B');
        input[input.size() - 1000] = '\x1A';
    }
    return inputs;
}

// 100 to 149, a record each: fifty names are merged. One more, even an empty one, refuses the
// list.
Row fifty_names(bool one_more) {
    Row p{"FiftyNamesMerged", {"100", "out"}, {}, {{CREATED, "out.mot"}}, 0, {}};
    for (int i = 100; i < 150; ++i) {
        const std::string name = std::to_string(i);
        p.before[name + ".MOT"] = "S1" + name + "\n";
        p.args[0] += i > 100 ? "+" + name : "";
        p.changes["out.mot"] += "S1" + name + (i < 149 ? "\r\n" : "\r\n" + FALLBACK);
    }
    if (one_more) {
        p = {"FiftyOneNamesRefused", {p.args[0] + "+", "out"}, p.before, {{USAGE}}, 255, {}};
    }
    return p;
}

// Every work-file name taken in folder: a run whose work file goes there stops (exit 1).
Files taken(const std::string& folder) {
    Files files;
    for (int k = 100000; k < 100300; ++k) {
        files[folder + "___" + std::to_string(k).substr(1) + ".___"] = "MINE";  // ___00000.___ ...
    }
    return files;
}

std::vector<Row> promises() {
    const std::string i250(250, 'i'), i251(251, 'i'), o250(250, 'o'), o251(251, 'o');
    const std::string deep = std::string(124, 'F') + "/" + std::string(124, 'G') + "/";
    const std::string long_name(300, 'g'), x9995(9995, 'x'), x29998(29998, 'x');
    const std::string a5000 = std::string(1, '\0') + std::string(5000, 'A');  // a NUL, then more
    std::string all_bytes = "XX";  // every byte value the translation leaves as it is
    for (int byte = 0; byte < 256; ++byte) {
        all_bytes += byte == '\n' || byte == '\r' || byte == 0x1A ? "" : std::string(1, char(byte));
    }
    std::string missing = "a";
    for (int i = 0; i < 40; ++i) {
        missing += "+missing_input_" + std::to_string(i);
    }
    const std::string t1 = example("tst1.mot"), t2 = example("tst2.mot"), t3 = example("tst3.mot");
    const std::vector<std::string> random = random_inputs();
    const std::string a60 = lines("A", 60 << 10), b60 = lines("B", 60 << 10);
    const std::string fail = "SRJOIN_FAULT=fail-", utf8 = "LC_ALL=C.UTF-8";
    const std::string after_a_block = ":" + std::to_string(BLOCK + 1000);
    const Platform any = Platform::any, posix = Platform::posix, windows = Platform::windows;
    // A terminal whose locale is set by these alone, whatever the test's own.
    auto terminal = [](std::vector<std::string> env) {
        for (const std::string unset : {"LC_ALL=", "LC_CTYPE=", "LC_MESSAGES=", "LANG="}) {
            if (std::ranges::none_of(
                    env, [&](const std::string& set) { return set.starts_with(unset); })) {
                env.push_back(unset);
            }
        }
        return RunSettings{.out = Out::terminal, .env = env};
    };
    // clang-format off
    return {
        // The command line.
        {"TooFewArguments", {"a+b"}, AB, {{USAGE}}, 255, {}},
        {"TooManyArguments", {"a+b", "out", "extra"}, AB, {{USAGE}}, 255, {}},
        {"HelpShowsTheUsage", {"--help"}, AB, {{USAGE}}, 0, {}},
        {"VersionShowsTheBanner", {"--version"}, AB, {}, 0, {}},
        {"TooFewInputNames", {"a", "out"}, AB, {{TOO_FEW}}, 255, {}},
        {"DefaultExtensions", {"a+b.MOT", "out."}, AB, OUT, 0, out(MERGED)},
        {"OutputExtensionKept", {"a+b", "out.s19"}, AB, {{CREATED, "out.s19"}}, 0, {{"out.s19", MERGED}}},
        {"EmptyElementIsDotMot", {"a+", "out"}, AB,
         {{SKIPPED, ".MOT"}, {CREATED, "out.mot"}}, 0, {{"out.mot", "S1A\r\n" + FALLBACK}}},
        {"InputsThatDoNotOpenAreSkipped", {"gone+a+dir+b", "out"}, with(AB, {{"dir.MOT", FOLDER}}),
         {{SKIPPED, "gone.MOT"}, {SKIPPED, "dir.MOT"}, {CREATED, "out.mot"}}, 0, {{"out.mot", MERGED}}},
        {"NoInputOpensNothingPublished", {"gone\x1B+dir", "out"}, {{"dir.MOT", FOLDER}, {"out.mot", "OLD"}},
         {{SKIPPED, "gone\x1B.MOT"}, {SKIPPED, "dir.MOT"}, {NOT_CREATED, "out.mot"}}, 4, {}},
        {"NamesOfAtMost256Bytes", {"a+d/" + i250 + "+d/" + i251, "d/" + o250},
         with(AB, {{"d/" + i250 + ".MOT", "S1I\n"}, {"d/" + i251 + ".MOT", "S1J\n"}}),
         {{SKIPPED, "d/" + i251 + ".MOT"}, {CREATED, "d/" + o250 + ".mot"}}, 0,
         {{"d/" + o250 + ".mot", "S1A\r\nS1I\r\n" + FALLBACK}}},
        {"OutputNameOver256Bytes", {"a+b", "d/" + o251}, with(AB, {{"d/" + o251 + ".mot", "OLD"}}),
         {{NOT_CREATED, "d/" + o251 + ".mot"}}, 4, {}},
        fifty_names(false),
        fifty_names(true),

        // Names on POSIX: "/" separates folders, a UTF-8 name is read as UTF-8, a Shift-JIS trail
        // byte is no separator, a default input extension is ".mot" where no ".MOT" entry is. A
        // folder named like the work file stops a run whose work file would lie in the top folder.
        {"ShiftJisTrailByteIsNoSeparator", {HYO + "+a.b\x81\\", "o.x" + HYO},
         {{HYO + ".MOT", "S1A\n"}, {"a.b\x81\\", "S1B\n"}},
         {{CREATED, "o.x" + HYO}}, 0, {{"o.x" + HYO, MERGED}}, posix},
        {"SlashSeparatesFolders", {"a+sub.d/in", "dir.d/name"},
         with(taken(""), {{"a.MOT", "S1A\n"}, {"sub.d/in.MOT", "S1I\n"}, {"dir.d", FOLDER}}),
         {{CREATED, "dir.d/name.mot"}}, 0, {{"dir.d/name.mot", "S1A\r\nS1I\r\n" + FALLBACK}}, posix},
        {"LatinFolderHoldsTheWorkFile", {"a+b", "caf\xE9/out"},
         with(with(AB, taken("")), {{"caf\xE9", FOLDER}}),
         {{CREATED, "caf\xE9/out.mot"}}, 0, {{"caf\xE9/out.mot", MERGED}}, posix},
        {"LeadByteBeforeSlashHidesNoDot", {"a+b", "a.b\x81/c"}, with(AB, {{"a.b\x81", FOLDER}}),
         {{CREATED, "a.b\x81/c.mot"}}, 0, {{"a.b\x81/c.mot", MERGED}}, posix},
        {"DefaultInputExtensionInEitherCase", {"a+b+c+d+e+f.MOT", "a"},
         {{"a.mot", "S1A\n"}, {"b.mot", "S1B\n"}, {"c.MOT", "S1C\n"}, {"c.mot", "S1X\n"},
          {"d.MOT", FOLDER}, {"d.mot", "S1X\n"}, {"e.MOT", link_to("gone")}, {"e.mot", "S1X\n"},
          {"f.mot", "S1X\n"}},
         {{SKIPPED, "d.MOT"}, {SKIPPED, "e.MOT"}, {SKIPPED, "f.MOT"}, {CREATED, "a.mot"}}, 0,
         {{"a.mot", "S1A\r\nS1B\r\nS1C\r\n" + FALLBACK}}, posix},
        {"Utf8NamesKeepTheirDots", {"テスト.mot+データ", "テスト.s19"},
         {{"テスト.mot", "S1A\n"}, {"データ.MOT", "S1B\n"}},
         {{CREATED, "テスト.s19"}}, 0, {{"テスト.s19", MERGED}}, posix},

        // The work file: a free name next to the output, never an entry that exists.
        {"TakenNamesPassedOver", {"a+b", "out"},
         with(AB, {{WORK, "MINE"}, {"___00001.___", link_to("kept")}, {"kept", "KEEP"},
                   {"___00002.___", link_to("gone")}, {"___00003.___", link_to("sub")}, {"sub", FOLDER}}),
         OUT, 0, out(MERGED), posix},
        {"FolderAtAFreeNamePassedOver", {"a+b", "out"}, with(AB, {{WORK, "MINE"}, {"___00001.___", FOLDER}}),
         OUT, 0, out(MERGED)},
        {"AllNamesTaken", {"a+b", "out"}, with(AB, taken("")), {{NO_WORK_FILE, "___00299.___"}}, 1, {}},
        {"OutputFolderMissing", {"a+b", "missing/out"}, AB, {{NO_WORK_FILE, "missing/" + WORK}}, 1, {}},
        {"WorkFileNameOver256Bytes", {"a+b", deep + "o"}, with(AB, {{deep, FOLDER}}),
         {{NO_WORK_FILE, deep + WORK}}, 1, {}},
        {"OutputNamedLikeTheWorkFile", {"a+b", "d/../" + WORK}, with(AB, {{"d", FOLDER}}),
         {{CREATED, "d/../" + WORK}}, 0, {{WORK, MERGED}}},
        {"InputNamedLikeTheWorkFile", {"a+./" + WORK + "+b", "out"}, AB,
         {{SKIPPED, "./" + WORK}, {CREATED, "out.mot"}}, 0, {{"out.mot", MERGED}}},
        {"InputLeadingToTheWorkFile", {"a+fd+b", "out"}, with(AB, {{"fd.MOT", link_to("/proc/self/fd/3")}}),
         {{SKIPPED, "fd.MOT"}, {CREATED, "out.mot"}}, 0, {{"out.mot", MERGED}}, posix, {.alone = true}},

        // Termination records.
        {"LastTerminationRecordEndsTheOutput", {"a+b+c", "out"},
         {{"a.MOT", "S1A\nS9030000FC\nS1A2\n"}, {"b.MOT", "S1B\nS804000000FB\n"},
          {"c.MOT", "S1C\nS70500000000FA\n"}},
         OUT, 0, out("S1A\r\nS1A2\r\nS1B\r\nS1C\r\nS70500000000FA\r\n")},
        {"FirstTwoCharactersDecide", {"a+b", "out"},
         {{"a.MOT", "s9030000FC\nS503000AF2\n\nS\nX9\nS10\n"}, {"b.MOT", "S1B\n"}}, {{CREATED, "out.mot"}},
         0, {{"out.mot", "S503000AF2\r\n\r\nS\r\nX9\r\nS10\r\nS1B\r\ns9030000FC\r\n"}}},
        {"LastLinesEndWithALineBreak", {"a+b+c", "out"},
         {{"a.MOT", "S1A"}, {"b.MOT", "S9030000FC"}, {"c.MOT", "S1C"}}, OUT, 0, out("S1A\r\nS1C\r\nS9030000FC\r\n")},
        {"LongTerminationRecordHeldWhole", {"a+b", "out"},
         {{"a.MOT", "S9" + a5000 + "\n"}, {"b.MOT", "S1B\n"}},
         OUT, 0, out("S1B\r\nS9" + a5000 + "\r\n")},

        // The text: CRs dropped, the data ending at a Ctrl-Z, LF written as CR LF, lines of any
        // length and bytes, NUL included.
        {"ReadTranslation", {"a+b+c+d+e", "out"},
         {{"a.MOT", "S1\rA\r\r\nS1B\r"}, {"b.MOT", "C1\rC2\r\n\x1AS1 never\n"}, {"c.MOT", ""},
          {"d.MOT", "S1D"}, {"e.MOT", "S1E\n"}},
         OUT, 0, out("S1A\r\nS1B\r\nC1C2\r\nS1D\r\nS1E\r\n" + FALLBACK)},
        {"BytesPassThrough", {"a+b", "out"},
         {{"a.MOT", all_bytes + "\n"}, {"b.MOT", "S1B\n"}}, OUT, 0,
         out(all_bytes + "\r\nS1B\r\n" + FALLBACK)},
        {"LongLinesInPieces", {"a+b", "out"},
         {{"a.MOT", "S1" + x29998 + "\n"}, {"b.MOT", "S1" + x9995 + "S9123\nS1END\n"}},
         {{CREATED, "out.mot"}}, 0,
         {{"out.mot", "S1" + x29998 + "\r\nS1" + x9995 + "S1END\r\nS9123\r\n"}}},
        {"InputsOfManyBlocks", {"a+b", "out"},
         {{"a.MOT", lines("A", 3 * BLOCK)}, {"b.MOT", lines("B", 2 * BLOCK, "\r\n")}},
         {{CREATED, "out.mot"}}, 0,
         {{"out.mot", with_crlf(lines("A", 3 * BLOCK)) + lines("B", 2 * BLOCK, "\r\n") + FALLBACK}}},
        {"RandomBytes", {"r1+r2", "out"}, {{"r1.MOT", random[0]}, {"r2.MOT", random[1]}},
         OUT, 0, out(text_model::merged(random))},
        {"OutputIsOneOfTheInputs", {"tst1.mot+tst2.mot+tst3.mot", "tst1.mot"},
         {{"tst1.mot", t1}, {"tst2.mot", t2}, {"tst3.mot", t3}},
         {{CREATED, "tst1.mot"}}, 0, {{"tst1.mot", text_model::merged({t1, t2, t3})}}},
        {"OneInputListedThrice", {"tst1.mot+tst1.mot+tst1.mot", "tst1.mot"}, {{"tst1.mot", t1}},
         {{CREATED, "tst1.mot"}}, 0, {{"tst1.mot", text_model::merged({t1, t1, t1})}}},

        // Publication: the work file renamed onto the output, a link there replaced, a read-only
        // output never replaced; where the rename is refused, the output copied.
        {"LinkAtTheOutputReplaced", {"a+b", "out"},
         with(AB, {{"out.mot", link_to("kept")}, {"kept", owned("KEEP", 0444)}}),
         OUT, 0, out(MERGED), posix},
        {"ReadOnlyOutputKept", {"a+b", "out"}, with(AB, {{"out.mot", owned("OLD", 0444)}}),
         {{NOT_CREATED, "out.mot"}, {KEPT, WORK}}, 4, {{WORK, MERGED}}},
        {"OutputIsAFolder", {"a+b", "out"}, with(AB, {{"out.mot", FOLDER}}),
         {{NOT_CREATED, "out.mot"}, {KEPT, WORK}}, 4, {{WORK, MERGED}}},
        {"FifoAtTheOutputKept", {"a+b", "out"}, with(AB, {{"out.mot", FIFO}}),
         {{NOT_CREATED, "out.mot"}, {KEPT, WORK}}, 4, {{WORK, MERGED}}, posix},
        {"LinkToADeviceAtTheOutputKept", {"a+b", "out"}, with(AB, {{"out.mot", link_to("/dev/null")}}),
         {{NOT_CREATED, "out.mot"}, {KEPT, WORK}}, 4, {{WORK, MERGED}}, posix},
        {"MountedOutputCopied", {"a+b", "out"}, with(AB, {{"out.mot", mounted("over")}, {"over", "OLD"}}),
         OUT, 0, with(out(MERGED), {{"over", MERGED}}), posix},

        // A full disk, and files that fail.
        {"DiskFullWhileMergingAnEndlessInput", {"zero+b", "disk/out"},
         with(AB, {{"zero.MOT", link_to("/dev/zero")}, {"disk", small_disk(64 << 10)},
                   {"disk/out.mot", "OLD"}}), {{NOT_APPENDED, "disk/" + WORK}}, 3, {}, posix},
        {"DiskFullWhenTheWorkFileIsClosed", {"big+b", "disk/out"},
         with(AB, {{"big.MOT", lines("B", 40 << 10)}, {"disk", small_disk(16 << 10)},
                   {"disk/out.mot", "OLD"}}), {{NOT_APPENDED, "disk/" + WORK}}, 3, {}, posix},
        {"RenameNeedsNoRoom", {"a+b", "disk/out"},
         {{"a.MOT", a60}, {"b.MOT", b60}, {"disk", small_disk(192 << 10)}, {"disk/out.mot", "OLD"}},
         {{CREATED, "disk/out.mot"}}, 0, {{"disk/out.mot", with_crlf(a60 + b60) + FALLBACK}}, posix},
        {"DiskFullOnTheCopyPath", {"a+b", "disk/out"},
         {{"a.MOT", a60}, {"b.MOT", b60}, {"disk", small_disk(192 << 10)}, {"disk/out.mot", "OLD"}},
         {{NOT_CREATED, "disk/out.mot"}, {KEPT, "disk/" + WORK}}, 4,
         {{"disk/" + WORK, with_crlf(a60 + b60) + FALLBACK}}, posix, {.env = {fail + "rename:1"}}},
        {"FileSizeLimitMet", {"big+b", "out"}, with(AB, {{"big.MOT", lines("B", 3 * BLOCK)}, {"out.mot", "OLD"}}),
         {{NOT_APPENDED, WORK}}, 3, {}, posix, {.file_size_limit = 64 << 10}},
        {"InputReadFailsAfterABlock", {"a+big+b", "out"},
         with(AB, {{"big.MOT", lines("B", 3 * BLOCK)}, {"out.mot", "OLD"}}),
         {{NOT_READ, "big.MOT"}}, 3, {}, posix, {.env = {fail + "read:big.MOT" + after_a_block}}},
        {"WorkFileReadFailsOnTheCopyPath", {"a+b", "out"}, {{"a.MOT", a60}, {"b.MOT", b60}, {"out.mot", "OLD"}},
         {{NOT_CREATED, "out.mot"}, {KEPT, WORK}}, 4, {{WORK, with_crlf(a60 + b60) + FALLBACK}},
         posix, {.env = {fail + "rename:1,fail-read:" + WORK + ":" + std::to_string(64 << 10)}}},
        {"WorkFileNotFlushedToTheDisk", {"a+b", "out"}, with(AB, {{"out.mot", "OLD"}}),
         {{NOT_APPENDED, WORK}}, 3, {}, posix, {.env = {fail + "fsync:.___"}}},
        {"OutputNotFlushedOnTheCopyPath", {"a+b", "out"}, with(AB, {{"out.mot", "OLD"}}),
         {{NOT_CREATED, "out.mot"}, {KEPT, WORK}}, 4, {{WORK, MERGED}},
         posix, {.env = {fail + "rename:1,fail-fsync:___00001.___"}}},
        {"WorkFileBufferNotHad", {"a+b", "out"}, AB, {{NO_WORK_FILE, WORK}}, 2, {},
         posix, {.env = {fail + "alloc"}}},
        {"InputBufferNotHad", {"a+b", "out"}, with(AB, {{"out.mot", "OLD"}}), {{NOT_READ, "b.MOT"}}, 3, {},
         posix, {.env = {fail + "alloc:b.MOT"}}},

        // The console: on POSIX the locale decides, piped or not (the exact bytes above, under a
        // Shift-JIS locale); Windows: the exact bytes when redirected, its console otherwise.
        {"EnglishUnderCWithTheReason", {"a+b", "missing/out"}, AB,
         {{EN_NO_WORK_FILE, "missing/" + WORK, NO_SUCH_FILE}}, 1, {}, posix, {.env = {"LC_ALL=C"}},
         Form::utf8},
        {"EnglishUnderCUtf8NamesEscaped", {"a+go ne+\t\x1B]0;\x7F+\xC2\x9B+b\xFF+b", "出力"}, AB,
         {{EN_SKIPPED, "go ne.MOT", NO_SUCH_FILE}, {EN_SKIPPED, "\\x09\\x1B]0;\\x7F.MOT", NO_SUCH_FILE},
          {EN_SKIPPED, "\\xC2\\x9B.MOT", NO_SUCH_FILE}, {EN_SKIPPED, "b\\xFF.MOT", NO_SUCH_FILE},
          {EN_CREATED, "出力.mot"}}, 0, {{"出力.mot", MERGED}}, posix, {.env = {utf8}}, Form::utf8},
        {"JapaneseUnderEucJp", {"a+b", "out"}, AB, OUT, 0, out(MERGED), posix,
         {.env = {"LC_ALL=ja_JP.eucJP"}}, Form::euc_jp},
        {"JapaneseTerminal", {"a+" + long_name, "出力"}, AB,
         {{SKIPPED, long_name + ".MOT", "名前が256バイトを超えています"}, {CREATED, "出力.mot"}}, 0,
         {{"出力.mot", "S1A\r\n" + FALLBACK}}, posix, terminal({"LC_ALL=ja_JP.UTF-8"}), Form::utf8},
        {"ShiftJisTerminal", {"a+b", HYO}, AB, {{CREATED, HYO + ".mot"}}, 0, {{HYO + ".mot", MERGED}},
         posix, terminal({"LANG=ja_JP.SJIS"})},
        {"MissingUtf8Locale", {"a+b", "out"}, AB, OUT, 0, out(MERGED), posix, terminal({"LANG=ja_XX.UTF-8"}),
         Form::utf8},
        // Where the language is not Japanese, English (Wine: LC_MESSAGES sets the UI language).
        {"EnglishTerminal", {"a+gone+b", "out"}, AB,
         {{EN_SKIPPED, "gone.MOT", NO_SUCH_FILE}, {EN_CREATED, "out.mot"}}, 0, out(MERGED), any,
         terminal({"LC_MESSAGES=C", "LANG=ja_JP.UTF-8"}), Form::utf8},
        {"ControlBytesInNamesEscaped", {"a+\t\x1B]0;\x7F+b", "out"}, AB,
         {{SKIPPED, "\\x09\\x1B]0;\\x7F.MOT"}, OUT[0]}, 0, out(MERGED), windows, terminal({"LANG=ja_JP.UTF-8"}),
         Form::windows_console},
        {"ClosedStandardOutput", {missing + "+b", "out"}, AB, {}, 0, {{"out.mot", MERGED}},
         posix, {.out = Out::closed}},
        {"ReaderGoneAway", {"a+b", "out"}, AB, {}, 0, out(MERGED), posix, {.out = Out::unread}},

        // Windows: drives, "\" folders, Shift-JIS names, case, read-only files, wildcards.
        {"DriveAndFolders", {"sub\\a+Z:sub\\b", "Z:sub\\out"},
         with(taken(""), {{"sub/a.MOT", "S1A\n"}, {"sub/b.MOT", "S1B\n"}}),
         {{CREATED, "Z:sub\\out.mot"}}, 0, {{"sub/out.mot", MERGED}}, windows},
        {"WorkFileInDriveAndShiftJisFolder", {"a+b", "Z:表\\out"}, AB,
         {{NO_WORK_FILE, "Z:表\\" + WORK}}, 1, {}, windows},
        {"ShiftJisNamesOnWindows", {"表+a.b表", "表\\o.x表"},
         with(taken(""), {{"表.MOT", "S1A\n"}, {"a.b表", "S1B\n"}, {"表", FOLDER}}),
         {{CREATED, "表\\o.x表"}}, 0, {{"表/o.x表", MERGED}}, windows},
        {"SlashIsNoSeparatorOnWindows", {"a+b", "sub/out"}, with(with(AB, taken("sub/")), {{"sub", FOLDER}}),
         {{CREATED, "sub/out.mot"}}, 0, {{"sub/out.mot", MERGED}}, windows},
        // A full disk behind "/": the copy goes into a file beside the output, which stays.
        {"CopyOntoAFullDiskKeepsTheOldOutput", {"a+b", "disk/out"},
         {{"a.MOT", a60}, {"b.MOT", b60}, {"disk", small_disk(64 << 10)}, {"disk/out.mot", "OLD"}},
         {{NOT_CREATED, "disk/out.mot"}, {KEPT, WORK}}, 4, {{WORK, with_crlf(a60 + b60) + FALLBACK}},
         windows},
        // Wine keeps the case of the file replaced; Windows gives the new one the name typed.
        {"NamesIgnoreCase", {"a+B", "a"}, {{"A.mot", "S1A\n"}, {"b.Mot", "S1B\n"}},
         {{CREATED, "a.mot"}}, 0, {{"A.mot", MERGED}}, windows},
        // Another program holds the output for a moment (a virus scanner, an editor showing it):
        // the rename is tried again for at most 10 s. A read-only one is refused at once all
        // the same.
        {"OutputHeldForAMoment", {"a+b", "out"}, with(AB, {{"out.mot", "OLD"}}), OUT, 0, out(MERGED),
         windows, {.held = {"out.mot", 1, 0.9, 5}}},
        {"OutputHeldLongerThanTenSeconds", {"a+b", "out"}, with(AB, {{"out.mot", "OLD"}}),
         {{NOT_CREATED, "out.mot"}, {KEPT, WORK}}, 4, {{WORK, MERGED}}, windows,
         {.held = {"out.mot", 15, 9.5, 13}}},
        {"ReadOnlyOutputOnWindows", {"a+b", "表\\out"}, with(AB, {{"表/out.mot", owned("OLD", 0444)}}),
         {{NOT_CREATED, "表\\out.mot"}, {KEPT, "表\\" + WORK}}, 4, {{"表/" + WORK, MERGED}}, windows,
         {.held = {"表/out.mot", 15, 0, 3}}},
        {"DeviceNameAsTheOutput", {"a+b", "NUL"}, AB, {{NOT_CREATED, "NUL.mot"}, {KEPT, WORK}}, 4,
         {{WORK, MERGED}}, windows},
        {"WildcardInOutputFolder", {"a+b", "a*\\out"}, with(AB, {{"a*/" + WORK, "MINE"}, {"abc/" + WORK, "MINE"}}),
         {{NO_WORK_FILE, "a*\\" + WORK}}, 1, {}, windows},
    };
    // clang-format on
}

class Promises : public Table {};

TEST_P(Promises, Hold) {
    check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, Promises, testing::ValuesIn(promises()), row_name);

}  // namespace
