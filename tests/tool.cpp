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

// The run's own settings, and the test's variables that they do not name (the tool and Wine
// need not take the same one of two); a fault loads the shim, before a sanitizer runtime, which
// must not mind.
std::vector<std::string> environment(const RunSettings& settings) {
    std::vector<std::string> result = settings.env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::strcspn(*entry, "=") + 1);
        if (name != "ASAN_OPTIONS=" &&
            std::ranges::none_of(settings.env, [&](auto& own) { return own.starts_with(name); })) {
            result.emplace_back(*entry);
        }
    }
    result.push_back("ASAN_OPTIONS=" + setting("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    if (!settings.env.empty() && settings.env[0].starts_with("SRJOIN_FAULT=") &&
        settings.env[0].size() > 13) {
        result.push_back("LD_PRELOAD=" SRJOIN_FAULT_SHIM);
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

}  // namespace

Running::~Running() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        finish();
    }
}

bool Running::stopped() const {
    return eventually([this] {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid_), &info, WSTOPPED | WNOHANG) == 0 &&
               info.si_pid == pid_;
    });
}

bool Running::ended() const {
    return eventually([this] {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid_;
    });
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
    for (auto mount = mounts_.rbegin(); mount != mounts_.rend(); ++mount) {
        umount2(mount->c_str(), MNT_DETACH);
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

bool ToolTest::make(const Files& files) {
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
    for (const auto& [path, bytes] : files) {  // once every file is there
        if (kind(bytes) == 'r') {
            chmod(at(path).c_str(), 0444);
        } else if (kind(bytes) == '@' &&
                   !mount_over(at(bytes.substr(2)), at(path), nullptr, MS_BIND, "")) {
            return false;
        }
    }
    return true;
}

std::string ToolTest::get(std::string_view path) const {
    std::ifstream file(at(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

Files ToolTest::snapshot() const {
    Files files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_)) {
        const std::string path = entry.path().lexically_relative(folder_).string();
        files[path] = entry.is_symlink()     ? link_to(fs::read_symlink(entry.path()).string())
                      : entry.is_directory() ? FOLDER
                      : entry.is_fifo()      ? FIFO
                                             : get(path);
    }
    return files;
}

Running ToolTest::start(const std::vector<std::string>& args, const RunSettings& settings) const {
    std::vector<std::string> words;
    std::istringstream runner(setting("SRJOIN_RUNNER"));
    for (std::string word; runner >> word;) {
        words.push_back(word);
    }
    const std::string chosen = setting("SRJOIN_EXE");
    words.push_back(fs::absolute(chosen.empty() ? SRJOIN_TOOL : chosen).string());
    words.insert(words.end(), args.begin(), args.end());
    std::vector<std::string> env = environment(settings);
    std::vector<char*> argv = pointers(words);
    std::vector<char*> envp = pointers(env);
    const auto [read_end, write_end] = output_ends(settings.out, settings.pipe_size);
    const int no_input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const auto limit = static_cast<rlim_t>(settings.file_size_limit);
    const rlimit file_size_limit{limit, limit};
    const pid_t pid = fork();
    if (pid == 0) {  // only async-signal-safe calls from here to exec
        if (dup2(no_input, STDIN_FILENO) < 0 || dup2(write_end, STDOUT_FILENO) < 0 ||
            (settings.out == Out::terminal && dup2(write_end, STDERR_FILENO) < 0) ||
            (settings.out == Out::closed && close(STDOUT_FILENO) != 0) ||
            chdir(folder_.c_str()) != 0 ||
            (settings.hangup_ignored && signal(SIGHUP, SIG_IGN) == SIG_ERR) ||
            (settings.file_size_limit != 0 && setrlimit(RLIMIT_FSIZE, &file_size_limit) != 0) ||
            (settings.user != 0 && (setgroups(0, nullptr) != 0 || setgid(settings.user) != 0 ||
                                    setuid(settings.user) != 0)) ||
            (settings.stopped_at_start && raise(SIGSTOP) != 0)) {
            _exit(126);
        }
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(no_input);
    close(write_end);
    if (pid < 0) {
        fail("fork");
    }
    return Running(pid, read_end);
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

std::string shift_jis(std::string_view utf8) {
    std::string input(utf8), result(utf8.size(), '\0');  // never longer than the UTF-8
    char* in = input.data();
    char* out = result.data();
    std::size_t in_left = input.size(), out_left = result.size();
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (iconv(converter, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) {
        fail("no Shift-JIS form: " + input);
    }
    iconv_close(converter);
    result.resize(result.size() - out_left);
    return result;
}

std::string with_crlf(std::string_view text) {
    std::string result;
    for (const char byte : text) {
        result += byte == '\n' ? "\r\n" : std::string(1, byte);
    }
    return result;
}

std::string console(const std::vector<Said>& messages, bool utf8) {
    std::string text = "Srjoin Ver1.00\n";
    for (const Said& said : messages) {
        std::string message = utf8 ? std::string(said.text) : shift_jis(said.text);
        if (const std::size_t mark = message.find("%s"); mark != std::string::npos) {
            message.replace(mark, 2, said.name);
        }
        text += message;
    }
    return with_crlf(text);
}

std::string differences(const Files& expected, const Files& actual) {
    std::string report;
    for (const auto& [path, bytes] : expected) {
        report += actual.count(path) == 0    ? "missing: " + path + "\n"
                  : actual.at(path) != bytes ? "changed: " + path + "\n"
                                             : "";
    }
    for (const auto& [path, bytes] : actual) {
        report += expected.count(path) == 0 ? "unexpected: " + path + "\n" : "";
    }
    return report;
}
