#include "tool.h"

#include <fcntl.h>
#include <grp.h>
#include <iconv.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>

extern char** environ;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool loads_faults(const RunSettings& settings) {
    return !settings.env.empty() && settings.env[0].starts_with("SRJOIN_FAULT=");
}

// The run's own variables, then the test's that they do not name; a fault loads the shim, before
// a sanitizer runtime, which must not mind. On POSIX a run is under a Shift-JIS locale (the exact
// bytes) unless it names a locale.
std::vector<std::string> environment(const RunSettings& settings, const std::string& shim) {
    std::vector<std::string> result = settings.env;
    const bool names_locale = std::ranges::any_of(settings.env, [](const std::string& own) {
        return own.starts_with("LC_ALL=") || own.starts_with("LC_MESSAGES=") ||
               own.starts_with("LC_CTYPE=") || own.starts_with("LANG=");
    });
    if (!tool_is_windows_build() && !names_locale) {
        result.push_back("LC_ALL=ja_JP.SJIS");
    }
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::strcspn(*entry, "=") + 1);
        if (name != "ASAN_OPTIONS=" &&
            std::ranges::none_of(result, [&](auto& own) { return own.starts_with(name); })) {
            result.emplace_back(*entry);
        }
    }
    result.push_back("ASAN_OPTIONS=" + setting("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    if (loads_faults(settings)) {
        result.push_back("LD_PRELOAD=" + shim);
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& words) {
    std::vector<char*> result;
    for (std::string& word : words) {
        result.push_back(word.data());
    }
    result.push_back(nullptr);
    return result;
}

// The end the test reads and the end the tool writes. A terminal is raw, so that what is read
// is what the tool wrote.
std::pair<int, int> output_ends(Out out, int pipe_size) {
    int ends[2] = {-1, -1};
    if (out != Out::terminal) {
        (void)pipe2(ends, O_CLOEXEC);
        if (pipe_size != 0) {
            (void)fcntl(ends[1], F_SETPIPE_SZ, pipe_size);
        }
    } else if ((ends[0] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) >= 0 &&
               grantpt(ends[0]) == 0 && unlockpt(ends[0]) == 0) {
        ends[1] = open(ptsname(ends[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        tcgetattr(ends[1], &mode);
        cfmakeraw(&mode);
        tcsetattr(ends[1], TCSANOW, &mode);
    }
    if (ends[0] < 0 || ends[1] < 0) {
        fail("no standard output for the tool");
    }
    return {ends[0], ends[1]};
}

// A name as the tool takes it, or prints it: on Windows, with "\" for the "/" of rows for any
// platform, and printed in Shift-JIS.
std::string on_this_platform(std::string name, Platform platform, bool printed) {
    if (tool_is_windows_build() && platform == Platform::any) {
        std::replace(name.begin(), name.end(), '/', '\\');
    }
    return tool_is_windows_build() && printed ? shift_jis(name) : name;
}

}  // namespace

bool given(const char* variable) {
    return !setting(variable).empty();
}

Running::~Running() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        finish();
    }
}

bool Running::stopped() const {
    return eventually([&] {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid_), &info, WSTOPPED | WNOHANG) == 0 &&
               info.si_pid == pid_;
    });
}

bool Running::ends() const {
    return eventually([&] {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WSTOPPED | WNOHANG | WNOWAIT) !=
                0 ||
            info.si_pid != pid_) {
            return false;
        }
        if (info.si_code == CLD_STOPPED && stopped()) {
            go_on();
            return false;
        }
        return info.si_code != CLD_STOPPED;
    });
}

bool Running::prints(std::string_view text) const {
    std::string printed;
    char block[256];
    while (printed.find(text) == std::string::npos) {
        const ssize_t count = read(output_, block, sizeof block);
        if (count > 0) {
            printed.append(block, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

// Read to its end before the wait, so that the tool never waits on a full pipe; the end of a
// terminal nobody holds open is EIO.
RunResult Running::finish() {
    RunResult result;
    char block[65536];
    for (ssize_t count; (count = read(output_, block, sizeof block)) != 0;) {
        if (count > 0) {
            result.console.append(block, static_cast<std::size_t>(count));
        } else if (errno != EINTR) {
            break;
        }
    }
    // Wine's console hides the cursor around each write and ends a line with CR CR LF.
    if (tool_is_windows_build() && isatty(output_) == 1) {
        for (const std::string mark : {"\x1B[?25l", "\x1B[?25h", "\r\r"}) {
            for (std::size_t at; (at = result.console.find(mark)) != std::string::npos;) {
                result.console.erase(at, mark == "\r\r" ? 1 : mark.size());
            }
        }
    }
    close(output_);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return result;
}

ToolTest::ToolTest() : folder_((fs::temp_directory_path() / "srjoin-test-XXXXXX").string()) {
    if (mkdtemp(folder_.data()) == nullptr) {
        fail("mkdtemp");
    }
}

ToolTest::~ToolTest() {
    for (const int fd : fifos_held_) {
        close(fd);
    }
    for (auto mount = mounts_.rbegin(); mount != mounts_.rend(); ++mount) {
        umount2(mount->c_str(), MNT_DETACH);
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    fs::remove_all(folder_ + ".tool", ignored);
}

// An owned() entry: the entry itself, its mode and its owner (-1: any).
struct Ownership {
    std::string entry;
    int mode = -1, user = -1;
};
Ownership ownership(const std::string& bytes) {
    if (!bytes.starts_with("\x01o")) {
        return {bytes};
    }
    std::istringstream fields(bytes.substr(2));
    Ownership owned;
    char colon = 0;
    fields >> owned.mode >> colon >> owned.user >> colon;
    owned.entry = bytes.substr(2 + static_cast<std::size_t>(fields.tellg()));
    return owned;
}

bool ToolTest::make(const Files& given_files) {
    Files files;
    for (const auto& [path, bytes] : given_files) {
        files[path] = ownership(bytes).entry;
    }
    auto kind = [](const std::string& bytes) { return bytes.starts_with('\x01') ? bytes[1] : 0; };
    auto mount_over = [this](const std::string& source, const std::string& target, const char* type,
                             unsigned long flags, const std::string& options) {
        mounts_.push_back(target);
        return mount(source.c_str(), target.c_str(), type, flags, options.c_str()) == 0;
    };
    for (const auto& [path, bytes] : files) {
        const std::string rest = bytes.substr(kind(bytes) != 0 ? 2 : 0);
        fs::create_directories(fs::path(at(path)).parent_path());
        if (kind(bytes) == '/' || kind(bytes) == 't') {
            fs::create_directories(at(path));
        } else if (kind(bytes) == '|') {
            mkfifo(at(path).c_str(), 0644);
            fifos_held_.push_back(open(at(path).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        } else if (kind(bytes) == '>') {
            fs::create_symlink(rest, at(path));
        } else if (!(std::ofstream(at(path), std::ios::binary)
                     << (kind(bytes) == '@' ? "" : rest))) {
            fail("cannot write " + path);
        }
        if (kind(bytes) == 't' &&
            !mount_over("srjoin-test", at(path), "tmpfs", 0, "size=" + rest)) {
            return false;
        }
    }
    for (const auto& [path, bytes] : given_files) {  // once every file is there
        const Ownership owned = ownership(bytes);
        if ((kind(bytes) == '@' &&
             !mount_over(at(bytes.substr(2)), at(path), nullptr, MS_BIND, "")) ||
            (owned.user != -1 && lchown(at(path).c_str(), static_cast<uid_t>(owned.user),
                                        static_cast<gid_t>(owned.user)) != 0) ||
            (owned.mode != -1 && kind(owned.entry) != '>' &&
             chmod(at(path).c_str(), static_cast<mode_t>(owned.mode)) != 0)) {
            return false;
        }
    }
    return true;
}

Files ToolTest::snapshot() const {
    Files files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_)) {
        const std::string path = entry.path().lexically_relative(folder_).string();
        files[path] = entry.is_symlink()     ? link_to(fs::read_symlink(entry.path()).string())
                      : entry.is_directory() ? FOLDER
                      : entry.is_fifo()
                          ? FIFO
                          : std::string(std::istreambuf_iterator<char>(
                                            std::ifstream(entry.path(), std::ios::binary).rdbuf()),
                                        {});
    }
    return files;
}

Running ToolTest::start(const std::vector<std::string>& args, const RunSettings& settings,
                        const std::string& program) {
    std::vector<std::string> words;
    std::istringstream runner(setting("SRJOIN_RUNNER"));
    for (std::string word; runner >> word;) {
        words.push_back(word);
    }
    std::string tool = fs::absolute(!program.empty()      ? program
                                    : given("SRJOIN_EXE") ? setting("SRJOIN_EXE")
                                                          : SRJOIN_TOOL);
    std::string shim = SRJOIN_FAULT_SHIM;
    if (settings.user != 0) {
        // Another user may not reach the build folder (a home folder of mode 0700): that user
        // runs copies, from a folder anyone may enter, in a folder anyone may enter.
        const std::string copies = folder_ + ".tool";
        fs::create_directory(copies);
        fs::copy_file(tool, copies + "/Srjoin");
        fs::copy_file(shim, copies + "/shim.so");
        chmod(copies.c_str(), 0755);
        chmod(folder_.c_str(), 0755);
        tool = copies + "/Srjoin";
        shim = copies + "/shim.so";
    }
    words.push_back(tool);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<std::string> env = environment(settings, shim);
    std::vector<char*> argv = pointers(words);
    std::vector<char*> envp = pointers(env);
    const auto [read_end, write_end] = output_ends(settings.out, settings.pipe_size);
    const int no_input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const auto limit = static_cast<rlim_t>(settings.file_size_limit);
    const rlimit file_size_limit{limit, limit}, no_core{0, 0};
    const pid_t pid = fork();
    if (pid == 0) {                        // only async-signal-safe calls from here to exec
        setrlimit(RLIMIT_CORE, &no_core);  // a signal that dumps core leaves no core file
        if (settings.umask != -1) {
            umask(static_cast<mode_t>(settings.umask));
        }
        if (dup2(no_input, STDIN_FILENO) < 0 || dup2(write_end, STDOUT_FILENO) < 0 ||
            (settings.out == Out::terminal && dup2(write_end, STDERR_FILENO) < 0) ||
            (settings.out == Out::closed && close(STDOUT_FILENO) != 0) ||
            chdir(folder_.c_str()) != 0 ||
            (settings.hangup_ignored && signal(SIGHUP, SIG_IGN) == SIG_ERR) ||
            (settings.file_size_limit != 0 && setrlimit(RLIMIT_FSIZE, &file_size_limit) != 0) ||
            (settings.user != 0 && (setgroups(0, nullptr) != 0 || setgid(settings.user) != 0 ||
                                    setuid(settings.user) != 0))) {
            _exit(126);
        }
        close_range(3, ~0U, 0);  // the tool's files take the numbers from 3 on
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(no_input);
    close(write_end);
    if (pid < 0) {
        fail("fork");
    }
    if (settings.out == Out::unread) {
        close(read_end);
        return Running(pid, -1);
    }
    return Running(pid, read_end);
}

// Why a row cannot run here; empty when it can.
std::string cannot_run(const Row& p) {
    const bool windows = tool_is_windows_build();
    const bool converts =
        p.form != Form::exact && std::ranges::any_of(p.said, [](const Said& said) {
            return std::ranges::any_of(said.text, [](char byte) { return byte < 0; });
        });
    const std::string& fault = loads_faults(p.settings) ? p.settings.env[0] : "";
    return p.platform == (windows ? Platform::posix : Platform::windows) ? "for another platform"
           : (!fault.empty() || p.settings.alone) && !tool_is_built_here()
               ? "faults, and descriptors, are the tool's own: the tool built here alone"
           : p.settings.user != 0 && (geteuid() != 0 || !tool_is_built_here())
               ? "acts as another user: needs root, and the tool built here"
           : windows && !p.pause.signals.empty() && p.pause.signals != std::vector{SIGINT}
               ? "Windows knows Ctrl-C alone"
           : !p.settings.held.path.empty() && !(windows && given("SRJOIN_HOLDER"))
               ? "holds a file as Windows programs do: the Windows build and its holder"
           : converts && given("SRJOIN_NO_CONVERTERS") ? "the tool's system has no converters"
           : SRJOIN_SANITIZED && fault.find("alloc") != std::string::npos
               ? "the sanitizers' allocator is no malloc the shim can refuse"
               : "";
}

void ToolTest::check(const Row& p) {
    const bool windows = tool_is_windows_build();
    const RunSettings::Held& held = p.settings.held;
    if (const std::string why = cannot_run(p); !why.empty()) {
        GTEST_SKIP() << why;
    }
    if (!make(p.before)) {
        GTEST_SKIP() << "needs root: mounts a file system, or gives files to other users";
    }
    Files expected = with(snapshot(), p.pause.changed);
    for (const auto& [path, bytes] : p.changes) {
        expected[path] = bytes;
    }
    std::erase_if(expected, [](const auto& entry) { return entry.second == GONE; });
    std::vector<std::string> args;
    for (const std::string& arg : p.args) {
        args.push_back(on_this_platform(arg, p.platform, false));
    }
    std::vector<Said> said = p.said;
    for (Said& one : said) {
        one.name = on_this_platform(one.name, p.platform, true);
    }

    std::optional<Running> holder;
    if (!held.path.empty()) {
        holder.emplace(
            start({held.path, std::to_string(held.seconds)}, {}, setting("SRJOIN_HOLDER")));
        ASSERT_TRUE(holder->prints("held")) << held.path;
    }
    const auto started = std::chrono::steady_clock::now();
    Running running = start(args, p.settings);
    const bool acted_on = p.pause.stops > 0 || !p.pause.signals.empty();
    if (acted_on && p.pause.stops == 0) {
        ASSERT_TRUE(eventually([&] { return snapshot().count(WORK) != 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a console may fill
    }
    for (int stop = 1; stop <= p.pause.stops; ++stop) {
        ASSERT_TRUE(running.stopped()) << "stop " << stop;
        if (stop < p.pause.stops) {
            running.go_on();
        }
    }
    EXPECT_EQ(unlike(p.pause.seen, false), "") << "at the stop";
    for (const auto& [path, bytes] : p.pause.changed) {
        unlink(at(path).c_str());
    }
    Files made = p.pause.changed;
    std::erase_if(made, [](const auto& entry) { return entry.second == GONE; });
    ASSERT_TRUE(make(made));
    for (const int signal : p.pause.signals) {
        ASSERT_EQ(kill(running.pid(), signal), 0);
    }
    if (acted_on) {
        running.go_on();
    }
    ASSERT_TRUE(running.ends());  // even with its console waiting for a reader
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    if (!held.path.empty()) {
        EXPECT_GE(took.count(), held.took_from);
        EXPECT_LE(took.count(), held.took_to);
    }
    const RunResult result = running.finish();

    const bool interrupted = !p.pause.signals.empty();
    EXPECT_EQ(result.exit_code, windows && interrupted ? 0x3A : p.exit_code);
    const auto pipe_size = static_cast<std::size_t>(p.settings.pipe_size);  // a pipe unread holds
    EXPECT_EQ(result.console,
              p.settings.out == Out::closed || p.settings.out == Out::unread
                  ? ""
                  : console(said, windows && p.form != Form::exact ? Form::windows_console : p.form)
                        .substr(0, pipe_size != 0 ? pipe_size : std::string::npos));
    EXPECT_EQ(unlike(expected, true), "");
}

std::string ToolTest::unlike(const Files& expected, bool whole) const {
    const Files actual = snapshot();
    std::string differences;
    for (const auto& [path, bytes] : expected) {
        const Ownership owned = ownership(bytes);
        struct stat status {};
        differences +=
            actual.count(path) == 0 ? "missing: " + path + "\n"
            : actual.at(path) != owned.entry || lstat(at(path).c_str(), &status) != 0
                ? "changed: " + path + "\n"
            : (owned.mode != -1 && static_cast<int>(status.st_mode & 07777) != owned.mode) ||
                    (owned.user != -1 && static_cast<int>(status.st_uid) != owned.user)
                ? "mode or owner: " + path + "\n"
                : "";
    }
    for (const auto& [path, bytes] : actual) {
        differences += whole && expected.count(path) == 0 ? "unexpected: " + path + "\n" : "";
    }
    return differences;
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

std::string row_name(const testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

std::string example(const char* name) {
    std::ifstream file(std::string(SRJOIN_EXAMPLES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string converted(std::string_view text, const char* to, const char* from) {
    std::string input(text), result(2 * text.size(), '\0');
    char* in = input.data();
    char* out = result.data();
    std::size_t in_left = input.size(), out_left = result.size();
    iconv_t converter = iconv_open(to, from);
    if (iconv(converter, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) {
        fail(std::string("no ") + to + " form: " + input);
    }
    iconv_close(converter);
    result.resize(result.size() - out_left);
    return result;
}

std::string shift_jis(std::string_view utf8) {
    return converted(utf8, "CP932");
}

std::string with_crlf(std::string_view text) {
    std::string result;
    for (const char byte : text) {
        result += byte == '\n' ? "\r\n" : std::string(1, byte);
    }
    return result;
}

std::string console(const std::vector<Said>& messages, Form form) {
    const bool locale = form == Form::utf8 || form == Form::euc_jp;
    auto encoded = [form](std::string_view utf8) {
        return form == Form::exact || form == Form::windows_console ? shift_jis(utf8)
               : form == Form::euc_jp                               ? converted(utf8, "EUC-JP")
                                                                    : std::string(utf8);
    };
    std::string text = "Srjoin Ver1.00\n";
    for (const Said& said : messages) {
        std::string message = encoded(said.text);
        if (const std::size_t mark = message.find("%s"); mark != std::string::npos) {
            message.replace(mark, 2, said.name);
        }
        const std::string reason =
            locale && !said.reason.empty() ? " (" + encoded(said.reason) + ")" : "";
        if (const std::size_t mark = message.find("%r"); mark != std::string::npos) {
            message.replace(mark, 2, reason);
        } else {
            message.insert(message.ends_with('\n') ? message.size() - 1 : message.size(), reason);
        }
        text += message + (locale && !message.ends_with('\n') ? "\n" : "");
    }
    if (form == Form::windows_console) {  // Wine shows the console's Unicode as UTF-8
        return with_crlf(converted(text, "UTF-8", "CP932"));
    }
    return locale ? text : with_crlf(text);
}
