// The one seam between the tool and the operating system. platform_posix.cpp and
// platform_win32.cpp implement this same contract; the build picks one of them. Nothing above
// this layer knows which platform it runs on. Names are byte strings, NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdint>

// An open file: a POSIX descriptor or a Win32 HANDLE. NO_FILE when none.
using FileHandle = std::intptr_t;
inline constexpr FileHandle NO_FILE = -1;

// Opens an existing file for reading. Fails (NO_FILE) on a missing name and on a folder.
FileHandle open_for_reading(const char* name);

// Opens a file for writing, creating it or emptying it when it exists. Fails (NO_FILE) on a
// folder, on a read-only file (POSIX: a file with no write-permission bit, even for root), and
// where the folder does not allow creation.
FileHandle open_for_writing(const char* name);

enum class CreateResult {
    created,     // a new empty file of that name now exists, made by this call
    name_taken,  // an entry of that name that is not a folder exists (a file, a link...), or
                 // existed a moment ago
    failed,      // anything else: a folder of that name, a missing folder, no permission...
};

// Creates a new empty file exclusively and leaves it open for reading and writing in file
// (created only; NO_FILE otherwise): never follows a link, never opens an entry that already
// exists. POSIX: readable and writable by its owner alone, until carry_permissions. There is no
// window in which another process can take the name between the test and the creation, and none in
// which it can put a link there before the file is written: the handle is the file.
CreateResult create_new_file(const char* name, FileHandle& file);

// Reads up to size bytes: the count read (> 0), 0 at the end of the data, -1 on a read error.
std::ptrdiff_t read_some(FileHandle file, char* buffer, std::size_t size);

// Writes all size bytes. False on a write error (a full disk, a file-size limit...).
bool write_all(FileHandle file, const char* bytes, std::size_t size);

// Closes the file. False when the system reports an error on closing.
bool close_file(FileHandle file);

// Moves the file's position back to its start. False when it cannot.
bool rewind_file(FileHandle file);

// Makes what was written to the file reach the disk (fsync, FlushFileBuffers). False when the
// system reports that it could not; a file system that cannot flush at all is no failure.
bool flush_to_disk(FileHandle file);

// Makes the changes to the entries of the folder that holds name (a rename, a creation) reach
// the disk, where the system can; failures are not reported.
void flush_folder_of(const char* name);

// Deletes the named file (a link itself, never what it leads to). Fails on a missing file, a
// read-only file and a folder. Windows: the files of this layer are opened with delete sharing,
// so an open one is deleted too; its name goes when its last handle is closed.
bool remove_file(const char* name);

enum class RenameResult {
    renamed,       // to is now the file from was, in one step
    copy_instead,  // refused for a reason a copy overcomes: to is a mount point, or lies on
                   // another file system
    refused,       // refused otherwise (no permission, a folder at to...): nothing changed
};

// Gives the file from the name to in one step, replacing whatever file had that name (a link
// there is replaced, not followed): at every moment to is either the old file or the new one.
// Windows writes the rename through to the disk; POSIX leaves that to flush_folder_of. A
// read-only file
// or a special file at to is replaced like any other: callers that must keep it examine it
// first.
RenameResult rename_over(const char* from, const char* to);

// True when the file system holds an entry of exactly that name that is not a folder. The entry
// itself is looked at: a link, even a dangling one, is a taken name.
bool name_is_taken(const char* name);

// True when both names lead to one and the same existing file, however they are spelled.
bool same_file(const char* first, const char* second);

// Which file an open handle is, or the entry of a name itself (a link is not followed): equal
// for one and the same file; unknown (never equal) when there is none. The kind of entry is
// part of it: a file system may give a removed file's number to the next entry made, and a
// FIFO or a link made there must not pass for the file.
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
FileIdentity name_identity(const char* name);

// Deletes the named entry, as remove_file does, only if it is the file of that identity: a file
// another process has put in its place is left alone. (The check and the deletion are two
// steps; a swap between them is not seen.) Safe in a signal handler.
bool remove_if_same(const char* name, const FileIdentity& identity);

// What lies at a name that the run is about to replace.
struct ExistingEntry {
    enum class Kind {
        none,     // nothing of that name
        file,     // a regular file
        link,     // a link to a regular file, to a folder or to nothing (POSIX)
        folder,   // a folder
        special,  // a FIFO, a device, a socket, or a link to one; Windows: what is no disk file
    };
    Kind kind = Kind::none;
    bool read_only = false;  // a file without any write-permission bit (POSIX: even for root),
                             // or with the read-only attribute (Windows)
    FileIdentity identity;   // the entry itself
    // POSIX, for a file: its permission bits, owner and group.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};
ExistingEntry examine_entry(const char* name);

// Gives the open file the permission bits of the file it replaces, and its owner and group
// where the process may (as root, or a group it belongs to); what it may not is left as it is.
// Where no file is replaced, the default mode of a new file (0666 less the umask): a file made
// by create_new_file is its owner's alone until then. Windows: nothing (a file has what its
// folder gives).
void carry_permissions(FileHandle file, const ExistingEntry& replaced);

// Opens the file that examine_entry found at name for writing, emptied, only if name still
// leads to that very regular file; never follows a link. NO_FILE otherwise.
FileHandle open_examined_file(const char* name, const ExistingEntry& examined);

// True when standard output is an interactive console rather than a file or pipe.
bool console_is_interactive();

// Writes bytes to standard output as they are. Errors are ignored: the console is the report,
// there is nowhere else to report its failure. In the clean-up after an interruption the run
// must end even if the console does not take the bytes: POSIX writes only what it takes at once
// and drops the rest; Windows ends the process a second later should the write wait.
void write_console(const char* bytes, std::size_t size);

// What a piece of text on its way to an interactive console is.
enum class ConsoleText {
    tool_text,  // the tool's own texts: Shift-JIS (code page 932)
    name,       // a name as it was given: bytes in the system's encoding for names
};

// Shows bytes on an interactive console in the form it displays: POSIX converts the tool's
// texts to UTF-8 when the locale's codeset is UTF-8 (or, for a locale named but not installed,
// its name says UTF-8) and leaves names as they are; Windows
// shows both as Unicode (tool texts from code page 932, names from the ANSI code page).
// Bytes that cannot be converted, or a console that needs no conversion, get the bytes as they
// are. Nothing is allocated: conversions go through a fixed buffer. Errors are ignored, as for
// write_console.
void show_console_text(const char* bytes, std::size_t size, ConsoleText text);

// True when the user reads Japanese: POSIX, the first of LC_ALL, LC_MESSAGES and LANG that is
// set starts with "ja"; Windows, the user's UI language is Japanese. Learnt before any
// interruption could ask (prepare_process), for an interactive console.
bool user_language_is_japanese();

// Prepares the process for the run (POSIX: a closed pipe on standard output must not kill it,
// nor a write beyond the file-size limit, which fails instead;
// on an interactive console, how it shows text is learnt here, before any interruption could
// need the console).
void prepare_process();

// Interruptions: POSIX SIGINT, SIGTERM and SIGHUP; Windows Ctrl-C, Ctrl-Break and the console
// closing. When one comes, cleanup runs and the process then ends as that interruption ends it
// by default (POSIX: killed by the signal, so the exit status is the conventional one). cleanup
// runs in a signal handler on POSIX (only async-signal-safe calls) and on another thread on
// Windows; it is never re-entered. A POSIX signal that the process was started with ignored
// stays ignored.
void catch_interruptions(void (*cleanup)());

// Hold interruptions back while the run changes what cleanup looks at (or uses the console); one
// that comes meanwhile is acted on when they are allowed again. Calls nest.
void hold_interruptions();
void allow_interruptions();

// Ends the process at once with exit_code.
[[noreturn]] void end_process(int exit_code);

// True where "/" separates folders in path names.
bool slash_separates_folders();

// True where the file system tells names apart by letter case (POSIX); false on Windows, where
// a.MOT is found as a.mot.
bool names_are_case_sensitive();

// True where names may be UTF-8 (POSIX), so that a name that is UTF-8 is scanned as UTF-8
// (NameRules::utf8_names). False on Windows, where names are in the system code page.
bool names_may_be_utf8();
