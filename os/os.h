// The one seam between the tool and the operating system. os_posix.cpp and os_win32.cpp implement
// this contract and the build takes one of them; nothing above this layer knows which platform it
// runs on. Names are NUL-terminated byte strings, passed to the system as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// An open file: a POSIX descriptor or a Win32 HANDLE.
using FileHandle = std::intptr_t;
inline constexpr FileHandle NO_FILE = -1;

// ---- Files

// Opens an existing file for reading. NO_FILE for a missing name or a folder.
FileHandle open_for_reading(const char* name);

enum class Created {
    created,     // a new empty file of that name now exists, made by this call
    name_taken,  // an entry of that name exists: a file, a folder, a link (even one that leads
                 // nowhere)
    failed,      // anything else: a missing folder, no permission...
};

// Creates a new empty file, exclusively: never follows a link, never opens an entry that exists,
// so no other process can take the name or plant a link between the test and the creation. The
// file is left open for reading and writing in file (NO_FILE unless created). POSIX: it is its
// owner's alone (0600, whatever the umask) until carry_permissions.
Created create_new_file(const char* name, FileHandle& file);

// The count of bytes read (> 0), 0 at the end of the data, -1 on a read error.
std::ptrdiff_t read_some(FileHandle file, char* buffer, std::size_t size);

// Writes all size bytes; false on a write error (a full disk, a file-size limit...).
bool write_all(FileHandle file, const char* bytes, std::size_t size);

// False when the system reports an error on closing; the handle is gone either way.
bool close_file(FileHandle file);

// Moves the file's position back to its start.
bool rewind_file(FileHandle file);

// Makes what was written to the file reach the disk. False when the system says it could not; a
// file system that cannot flush at all is no failure.
bool flush_to_disk(FileHandle file);

// Write-behind, for a file written in order from its start and flushed to the disk once complete:
// the disk takes each piece of WRITE_BEHIND_PIECE bytes while the next ones are being written,
// and the final flush_to_disk finds little left to do. The writer tells every count of bytes it
// wrote; once a piece is whole, its write-back is started and the write-back of the piece before
// it waited for. A file under one piece is left to the final flush. Only a speed-up: nothing is
// reported, and flush_to_disk alone tells whether the file is on the disk. Linux does it; other
// systems do nothing here.
// 8 MiB: 2 and 4 MiB measured as fast, 16 and 32 MiB slower (bench/README.md).
inline constexpr std::uint64_t WRITE_BEHIND_PIECE = 8 << 20;
struct WriteBehind {
    std::uint64_t written = 0;  // bytes written from the file's start
};
void write_behind(FileHandle file, WriteBehind& behind, std::size_t written);

// Makes the changes to the entries of name's folder (a rename, a creation) reach the disk, where
// the system can; file is open in that folder. Where the folder cannot be opened for it (POSIX:
// no read permission), the file system that holds file is flushed whole. Failures are not
// reported.
void flush_folder_of(const char* name, FileHandle file);

// The length of the part of name that names its folder, with its last separator, as the system
// reads names (Windows: "/" as well as "", and a drive); 0 for a name in the current folder.
std::size_t system_folder_length(const char* name);

// ---- Which file a name or a handle is

// Equal for one and the same file; unknown (equal to nothing, not even another unknown one) where
// there is none. The kind of entry is part of it, so that a FIFO or a link made where a removed
// file was, which a file system may give the same number, never passes for that file.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint32_t kind = 0;  // POSIX: the type bits of the mode; Windows: folder, reparse point
    bool known = false;
    bool operator==(const FileIdentity& other) const {
        return known && other.known && volume == other.volume && index == other.index &&
               kind == other.kind;
    }
};
FileIdentity file_identity(FileHandle file);
FileIdentity name_identity(const char* name);  // the entry itself: a link is not followed

// True when both names lead to one existing file, however they are spelled (links followed).
bool same_file(const char* first, const char* second);

// Deletes the named entry only if it is the file of that identity: a file another process put in
// its place is left alone (the check and the deletion are two steps; a swap between them is not
// seen). Safe in the clean-up after an interruption.
bool remove_if_same(const char* name, const FileIdentity& identity);

// ---- Replacing the output

// What lies at a name that the run is about to replace.
struct ExistingEntry {
    enum class Kind {
        none,     // nothing of that name
        file,     // a regular file
        link,     // a link to a regular file, a folder or nothing (POSIX), a reparse point
        folder,   // a folder
        special,  // a FIFO, a device, a socket, or a link to one; Windows: no file on a disk
    };
    Kind kind = Kind::none;
    bool read_only = false;  // POSIX: no write-permission bit at all, even for root; Windows:
                             // the read-only attribute
    FileIdentity identity;   // the entry itself
    // POSIX, for a file: its permission bits, owner and group.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};
ExistingEntry examine_entry(const char* name);

enum class Renamed {
    renamed,              // to is now the file from was, and the entry examined at to is gone
    other_file_system,    // to lies on another file system than from: nothing changed
    mount_point,          // to is a mount point, which only writing into it replaces: nothing
                          // changed
    refused,              // nothing changed: no permission, a folder at to, or an entry at to
                          // other than the one examined (put back where it was)
    swapped_for_another,  // to held an entry other than the one examined, which could not be put
                          // back: it lies at from now, and to is the file from was
};

// Gives the file from the name to in one step, replacing what examine_entry found there (a link
// is replaced, not followed): at every moment to is the old entry or the new file. Where the
// system can exchange two names in one step (Linux), nothing but the examined entry is ever
// replaced, and where nothing was examined, nothing is; elsewhere, whatever lies at to when the
// rename comes is replaced, so callers that must keep a read-only or special file examine it
// first. Windows writes the rename through to the disk; POSIX leaves that to flush_folder_of.
Renamed rename_over(const char* from, const char* to, const ExistingEntry& examined);

// Gives the open file the permission bits of the file it replaces, and its owner and group where
// the process may (as root, or a group it belongs to). Where no file is replaced, the mode a new
// file gets (0666 less the umask). Windows: nothing to do (a file has what its folder gives).
void carry_permissions(FileHandle file, const ExistingEntry& replaced);

// Opens the very regular file that examine_entry found at name, for writing, emptied; never
// follows a link, never waits on a FIFO. NO_FILE when name leads anywhere else now.
FileHandle open_examined_file(const char* name, const ExistingEntry& examined);

// ---- Names

// How this platform writes names.
struct PlatformNames {
    bool slash_separates_folders;  // POSIX; Windows takes only "\" in the tool's own name rules
    bool case_sensitive;           // POSIX; Windows finds a.MOT as a.mot
    bool may_be_utf8;              // POSIX; Windows names are in the system code page
};
PlatformNames platform_names();

// ---- Console

// How standard output shows the tool's messages, learnt once by prepare_process.
struct ConsoleForm {
    // The exact bytes: the Japanese texts in Shift-JIS, lines ending in CR LF, names as given, no
    // reasons (Windows redirected to a file or a pipe; POSIX under a Shift-JIS locale).
    bool exact = true;
    bool interactive = false;  // a terminal or a console: each message goes out at once
    bool japanese = true;      // the user reads Japanese
    // Otherwise, on POSIX: the locale's codeset, lines ending in LF, the system's reasons.
    bool utf8 = false;  // that codeset is UTF-8
    // Otherwise, on Windows: a console, shown as Unicode by show_console_text, lines ending in
    // CR LF.
    bool unicode_console = false;
};
ConsoleForm console_form();

// The tool's Japanese text (Shift-JIS) in the locale's codeset, written into out: its size, or 0
// where that codeset cannot hold it (or out cannot), or in the clean-up after an interruption,
// where no conversion may run. Windows: 0.
std::size_t convert_tool_text(std::string_view text, std::span<char> out);

// The system's words for the code of a failure, in the locale's language and codeset, written
// into out (cut to fit): their size. Windows: 0.
std::size_t describe_error(int code, std::span<char> out);

// The code (errno, GetLastError) of the last failure of a call of this layer.
int last_error();

// Writes bytes to standard output as they are; errors are ignored (the console is the report:
// there is nowhere else to report its failure). In the clean-up after an interruption the run
// must end even if the console does not take the bytes: POSIX writes only what it takes at once,
// Windows ends the process a second later should the write wait.
void write_console(const char* bytes, std::size_t size);

enum class ConsoleText {
    tool_text,  // the tool's own texts: Shift-JIS (code page 932)
    name,       // a name as given: bytes in the system's encoding for names
};

// Windows, a console (ConsoleForm::unicode_console): shows the bytes as Unicode, tool texts from
// code page 932, names from the ANSI code page; what cannot be converted goes as it is. POSIX:
// writes them as they are.
void show_console_text(const char* bytes, std::size_t size, ConsoleText text);

// ---- The process

// Prepares the process before the run: POSIX, a reader of standard output that goes away, or a
// write beyond the file-size limit, must fail a write, not kill the run; closed standard streams
// are reopened on the null device, so that no file of the run takes their number; the console's
// form is learnt here, before any interruption could need it.
void prepare_process();

// Interruptions: POSIX, every signal whose default ends the process and that can be caught
// (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU...; SIGPIPE and SIGXFSZ are
// ignored, so that a write fails instead); Windows, Ctrl-C, Ctrl-Break and the console closing.
// When one comes, cleanup runs and the process then ends as that interruption ends it by default
// (POSIX: killed by the signal). cleanup runs in a signal handler on POSIX (only async-signal-safe
// calls) and on a thread of its own on Windows; it never runs twice. A POSIX signal ignored when
// the process started stays ignored.
void catch_interruptions(void (*cleanup)());

// While one lives, an interruption waits: the run is changing what the clean-up looks at. Holds
// nest; the clean-up's own holds do nothing.
class HeldInterruptions {
public:
    HeldInterruptions();
    ~HeldInterruptions();
    HeldInterruptions(const HeldInterruptions&) = delete;
    HeldInterruptions& operator=(const HeldInterruptions&) = delete;
};

// Ends the process at once with exit_code.
[[noreturn]] void end_process(int exit_code);
