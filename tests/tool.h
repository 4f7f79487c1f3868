// The one way the tests run Srjoin: as a user does, in a fresh folder holding the files a row
// made, standard output on a pipe, a terminal or closed, the folder read back afterwards. The tool
// is the one built here unless SRJOIN_EXE names another; SRJOIN_RUNNER goes in front of it
// ("wine", "valgrind ..."). SRJOIN_WINDOWS=1: a Windows build, whose rows for POSIX skip.
// SRJOIN_NO_CONVERTERS=1: the tool's system has no iconv converters (a cross build's sysroot).
// SRJOIN_HOLDER: the Windows build's holder (holder.cpp), which holds a file open.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <csignal>
#include <functional>
#include <map>
#include <string>
#include <vector>

// clang-format off
bool given(const char* variable);  // set and not empty
inline bool tool_is_windows_build() { return given("SRJOIN_WINDOWS"); }
// The fault shim (fault_shim.cpp, loaded with LD_PRELOAD) reaches only the tool built here.
inline bool tool_is_built_here() { return !given("SRJOIN_EXE") && !given("SRJOIN_RUNNER"); }
// clang-format on
enum class Platform { any, posix, windows };

enum class Out { pipe, terminal, closed, unread };  // unread: a pipe whose reader went away

struct RunSettings {
    Out out = Out::pipe;
    // "NAME=value", replacing the test's own; a first "SRJOIN_FAULT=..." loads the fault shim.
    std::vector<std::string> env = {};
    bool hangup_ignored = false;  // started with SIGHUP ignored, as nohup does
    uid_t user = 0;               // run as this user (and the group of that number) when not 0
    int pipe_size = 0;            // the pipe's capacity when not 0
    long file_size_limit = 0;     // bytes, as ulimit -f sets it, when not 0
    int umask = -1;               // the process's umask when not -1
    bool alone = false;           // the tool's own process, with its own descriptors: no runner
    // Windows: path held open without delete sharing, as a virus scanner does, for seconds from
    // before the run starts; the run then ends between took_from and took_to seconds after its
    // start.
    struct Held {
        std::string path;
        int seconds = 0;
        double took_from = 0, took_to = 0;
    } held = {};
};

struct RunResult {
    int exit_code = -1;   // or minus the signal that ended the process
    std::string console;  // every byte of standard output
};

class Running {
public:
    Running(pid_t pid, int output) : pid_(pid), output_(output) {}
    Running(Running&& other) noexcept : pid_(other.pid_), output_(other.output_) {
        other.pid_ = -1;
    }
    ~Running();
    pid_t pid() const { return pid_; }
    bool stopped() const;  // waits up to 20 seconds for the run to stop (SIGSTOP)
    // Waits up to 20 seconds for the run to end, its output unread; a stop on the way (the one
    // after a step) is let go.
    bool ends() const;
    void go_on() const { kill(pid_, SIGCONT); }
    RunResult finish();  // reads standard output to its end and waits for the process
    bool prints(std::string_view text) const;  // reads standard output until text has come

private:
    pid_t pid_;
    int output_;
};

// Folder entries: path -> a file's bytes, FOLDER, FIFO or link_to(target); GONE in a list of
// changes. owned(entry, mode, user): that entry with that mode (not for a link) and owner (when
// not -1), made so and checked so. Made only: small_disk(bytes), a tmpfs of that size;
// mounted(source), a file with source bind-mounted over it. A FIFO is held open for writing while
// the tool runs, so that a run reading it waits without end.
using Files = std::map<std::string, std::string>;
// clang-format off
inline const std::string FOLDER = "\x01/", FIFO = "\x01|", GONE = "\x01-";
inline std::string link_to(std::string_view target) { return "\x01>" + std::string(target); }
inline std::string small_disk(std::size_t bytes) { return "\x01t" + std::to_string(bytes); }
inline std::string mounted(std::string_view source) { return "\x01@" + std::string(source); }
inline Files with(Files files, Files more) { more.merge(files); return more; }  // more wins
inline std::string owned(std::string_view entry, int mode, int user = -1) {
    return "\x01o" + std::to_string(mode) + ":" + std::to_string(user) + ":" + std::string(entry);
}
// clang-format on

// What the tool prints: the banner, then each message, its text (in UTF-8 here) with its "%s"
// replaced by the name as bytes, and the reason (in UTF-8 here) where the form shows reasons:
// at "%r", or else before the line break, in parentheses.
struct Said {
    std::string_view text;
    std::string name = {};
    std::string_view reason = {};
};
inline constexpr std::string_view NO_SUCH_FILE = "No such file or directory";
// How the texts reach standard output: the exact bytes (Shift-JIS, CR LF, lines left open, no
// reasons: POSIX under a Shift-JIS locale, and Windows redirected), the locale's form in its
// codeset (LF, each message ending its line, reasons), or a Windows console (as the locale's
// form, with CR LF and without reasons).
enum class Form { exact, utf8, euc_jp, windows_console };
std::string console(const std::vector<Said>& messages, Form form);
std::string with_crlf(std::string_view text);
std::string converted(std::string_view text, const char* to, const char* from = "UTF-8");
std::string shift_jis(std::string_view utf8);

// A run acted on while it goes: stopped by the shim before a step (stop 1) or after it (stop 2),
// or, with no stop, once its work file exists (merging a FIFO, or printing to a pipe nobody
// reads). There the folder is found as seen (entries checked, as in a list of changes), changed
// (each entry removed, then made unless GONE) and signals are sent; the run then goes on.
struct Pause {
    int stops = 0;
    Files changed = {};
    std::vector<int> signals = {};
    Files seen = {};
};

// A row of a table: the run's arguments and the files it starts with, what it prints (after the
// banner), its exit code (Windows, interrupted: Ctrl-C's), every change it leaves, and what it
// needs (a platform, a terminal, a fault, a pause...).
struct Row {
    std::string name;
    std::vector<std::string> args;  // Platform::any rows: "/" becomes "\" on Windows
    Files before;
    std::vector<Said> said;
    int exit_code;
    Files changes;
    Platform platform = Platform::any;
    RunSettings settings = {};
    Form form = Form::exact;  // on Windows, any other form is its console's
    Pause pause = {};
};
void PrintTo(const Row& row, std::ostream* os);

// A fresh temporary folder for each test, removed with everything in it (and unmounted) after.
class ToolTest : public testing::Test {
protected:
    ToolTest();
    ~ToolTest() override;
    std::string at(std::string_view path) const { return folder_ + "/" + std::string(path); }
    bool make(const Files& files);  // false where a mount was asked for and is not allowed
    Files snapshot() const;
    // The tool, or another program.
    Running start(const std::vector<std::string>& args, const RunSettings& settings,
                  const std::string& program = "");
    void check(const Row& row);  // runs the row and checks all it promises
    // How the folder differs from expected (a list of changes): entries missing or changed, and
    // when whole, entries not expected.
    std::string unlike(const Files& expected, bool whole) const;

private:
    std::string folder_;
    std::vector<std::string> mounts_;
    std::vector<int> fifos_held_;
};

// The fixture of a table of rows.
class Table : public ToolTest, public testing::WithParamInterface<Row> {};
std::string row_name(const testing::TestParamInfo<Row>& row);

bool eventually(const std::function<bool()>& done);  // within 20 seconds
std::string example(const char* name);               // a sample file of examples/

inline constexpr std::string_view USAGE =
    "usage: Srjoin file1+file2+....file9 out_file\n"
    "       file1,file2...のモトローラＳフォーマットのファイルを合算して\n"
    "       out_fileを作成。\n"
    "       合体したファイル中のS7,S8,S9レコードは最後の１つを残します。\n"
    "       out_file は file1,file2... のどれかと同じ名称可。\n"
    "       例えば Srjoin tst1.mot+tst2.mot+tst3.mot tst1.mot や\n"
    "              Srjoin tst1.mot+tst1.mot+tst1.mot tst1.mot も可。\n"
    "       最大50個まで合算できる。\n";
inline constexpr std::string_view TOO_FEW = "合算するファイルは２つ以上必要です。\n";
inline constexpr std::string_view NO_WORK_FILE = "作業ファイル[%s]が作成できません。\n";
inline constexpr std::string_view SKIPPED = "[%s]が開けません。->Skipします";
inline constexpr std::string_view NOT_APPENDED = "[%s]に追加書き込みできません。";
inline constexpr std::string_view NOT_READ = "[%s]の読み込みに失敗しました。\n";
inline constexpr std::string_view NOT_CREATED = "[%s]の作成に失敗しました。\n";
inline constexpr std::string_view KEPT = "合算結果を作業ファイル[%s]に残しました。\n";
inline constexpr std::string_view CREATED = "[%s]を作成しました。\n";
// Where the language is not Japanese.
inline constexpr std::string_view EN_SKIPPED = "Cannot open [%s]%r. ->Skipping\n",
                                  EN_CREATED = "Created [%s].\n",
                                  EN_NO_WORK_FILE = "Cannot create the work file [%s]%r.\n";
inline const std::string FALLBACK = "S804FFDE40DE\r\n", WORK = "___00000.___";
