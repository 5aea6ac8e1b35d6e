// SAVE and LOAD when the file system fails: a full disk (injected at every byte of the file, and a real one
// on a tiny tmpfs where it can be mounted), a folder without write permission, a name that is a folder,
// failures of flush, close and rename; files that vanish or cannot be read. A failed SAVE says "Save Error
// in %d", leaves the old file byte for byte and no temporary file behind, and keeps the current file name.
#include "interpreter_fixture.h"
#include "program_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavik::test {
namespace {

namespace fs = std::filesystem;

// The disk with faults on demand. Every fault it injects is counted.
class FaultyDisk : public FileWriteLayer {
  public:
    std::FILE* createNew(const fs::path& path) override {
        if (failCreate) return fault(ENOSPC), nullptr;
        return FileWriteLayer::createNew(path);
    }
    std::size_t write(std::FILE* file, const void* data, std::size_t size, std::size_t count) override {
        if (bytesLeft >= 0) {
            const std::size_t fit = static_cast<std::size_t>(bytesLeft) / size;
            if (fit < count) {
                // Out of room half-way: what fits is written, the rest is refused.
                const std::size_t written = FileWriteLayer::write(file, data, size, fit);
                bytesLeft = 0;
                fault(ENOSPC);
                return written;
            }
            bytesLeft -= static_cast<long>(size * count);
        }
        return FileWriteLayer::write(file, data, size, count);
    }
    int flush(std::FILE* file) override {
        const int result = FileWriteLayer::flush(file);
        if (failFlush) return fault(EIO), EOF;
        return result;
    }
    int close(std::FILE* file) override {
        const int result = FileWriteLayer::close(file);
        if (failClose) return fault(EIO), EOF;
        return result;
    }
    bool rename(const fs::path& from, const fs::path& to) override {
        if (failRename) return fault(EXDEV), false;
        return FileWriteLayer::rename(from, to);
    }

    long bytesLeft = -1; // no limit
    bool failCreate = false;
    bool failFlush = false;
    bool failClose = false;
    bool failRename = false;
    int faults = 0;

  private:
    void fault(int error) {
        errno = error;
        ++faults;
    }
};

// Installs a layer for the lifetime of a scope.
class Installed {
  public:
    explicit Installed(FileWriteLayer& layer) { FileWriteLayer::install(&layer); }
    ~Installed() { FileWriteLayer::install(nullptr); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
};

std::u16string quoted(const std::u16string& name) {
    return u"\"" + name + u"\"";
}

std::size_t filesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class FileFaults : public InterpreterTest {
  protected:
    void SetUp() override {
        InterpreterTest::SetUp();
        for (const char16_t* line : {u"10 PRINT \"old\"", u"20 FOR I=1 TO 3:?I:NEXT"}) enter(line);
        EXPECT_EQ(exec(u"save " + quoted(dir.name("p.tk"))), u"");
        old = readBytes(dir.path / "p.tk");
        // The program in memory now differs from the file.
        for (const char16_t* line :
             {u"10 PRINT \"new\"", u"30 '\u3042 a longer line to make the file grow", u"40 GOSUB 10:RETURN"})
            enter(line);
    }

    // Every fault the disk injected, for the figures in docs/RELIABILITY.md.
    void TearDown() override {
        if (disk.faults > 0) {
            RecordProperty("faults", disk.faults);
            std::printf("file faults: %d injected\n", disk.faults);
        }
        InterpreterTest::TearDown();
    }

    // After a failed SAVE: the old file as it was, nothing else in the folder, the name unchanged.
    void expectUntouched(const std::string& what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(readBytes(dir.path / "p.tk"), old);
        EXPECT_EQ(filesIn(dir.path), 1u) << "a temporary file was left behind";
        EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("p.tk"));
    }

    TempDir dir;
    Bytes old;
    FaultyDisk disk;
};

TEST_F(FileFaults, ADiskFillingUpAtAnyByteLeavesTheOldFile) {
    // The size of the new file, learnt from a save elsewhere that leaves the current name as it is.
    ASSERT_TRUE(peer.saveProgramFile(dir.name("probe.tk").c_str()));
    const long size = static_cast<long>(fs::file_size(dir.path / "probe.tk"));
    fs::remove(dir.path / "probe.tk");

    Installed installed(disk);
    for (long room = 0; room < size; ++room) {
        disk.bytesLeft = room;
        EXPECT_EQ(exec(u"save"), u"Save Error in 0\n") << "room for " << room << " bytes";
        expectUntouched("room for " + std::to_string(room) + " bytes");
        if (HasFailure()) return;
    }
    EXPECT_EQ(disk.faults, size);
    disk.bytesLeft = size;
    EXPECT_EQ(exec(u"save"), u"") << "exactly enough room";
    EXPECT_EQ(static_cast<long>(fs::file_size(dir.path / "p.tk")), size);
    EXPECT_EQ(filesIn(dir.path), 1u);
}

TEST_F(FileFaults, FailuresAfterTheLastByteLeaveTheOldFile) {
    Installed installed(disk);
    struct Case {
        const char* what;
        bool FaultyDisk::*flag;
    };
    for (const Case c : {Case{"create", &FaultyDisk::failCreate}, Case{"flush", &FaultyDisk::failFlush},
                         Case{"close", &FaultyDisk::failClose}, Case{"rename", &FaultyDisk::failRename}}) {
        disk.*c.flag = true;
        EXPECT_EQ(exec(u"save"), u"Save Error in 0\n") << c.what;
        expectUntouched(std::string("failing ") + c.what);
        // A save to a new name fails the same way, and the current name stays the old one.
        EXPECT_EQ(exec(u"save " + quoted(dir.name("other.tk"))), u"Save Error in 0\n") << c.what;
        expectUntouched(std::string("failing ") + c.what + " for a new name");
        disk.*c.flag = false;
    }
    EXPECT_GE(disk.faults, 8);
}

TEST_F(FileFaults, ARunningProgramGetsTheErrorWithItsLineAndStops) {
    Installed installed(disk);
    enter(u"50 SAVE:PRINT \"after\"");
    disk.bytesLeft = 40;
    EXPECT_EQ(session({u"run 50"}), u"OK\nSave Error in 50\nOK\n");
    expectUntouched("from a program");
    disk.bytesLeft = -1;
    EXPECT_EQ(session({u"run 50"}), u"OK\nafter\nOK\n") << "with room, the same line saves and goes on";
    EXPECT_NE(readBytes(dir.path / "p.tk"), old);
}

TEST_F(FileFaults, SavingOntoAFolderOrIntoAMissingFolderFails) {
    fs::create_directory(dir.path / "folder");
    enter(u"60 SAVE " + quoted(dir.name("folder")));
    EXPECT_EQ(session({u"run 60"}), u"OK\nSave Error in 60\nOK\n");
    EXPECT_TRUE(fs::is_directory(dir.path / "folder"));
    EXPECT_TRUE(fs::is_empty(dir.path / "folder"));
    EXPECT_EQ(exec(u"save " + quoted(dir.name("missing/p.tk"))), u"Save Error in 0\n");
    EXPECT_EQ(exec(u"save " + quoted(dir.name("p.tk/x.tk"))), u"Save Error in 0\n") << "a file as a folder";
    EXPECT_EQ(exec(u"save \"\""), u"Save Error in 0\n") << "an empty name";
    fs::remove(dir.path / "folder");
    expectUntouched("after saving onto names that cannot be files");
}

constexpr const char16_t* LOAD_ERROR = u"File Not Found or Load Error in 0\n";

// What a name is on the disk, without following a link: its type bits.
mode_t kindOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

TEST_F(FileFaults, OnlyARegularFileIsReplaced) {
    // Renaming the new file over any of these would put a plain file where it stood.
    ASSERT_EQ(::mkfifo((dir.path / "fifo.tk").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (dir.path / "sock.tk").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::vector<std::pair<std::string, mode_t>> nodes = {{"fifo.tk", S_IFIFO}, {"sock.tk", S_IFSOCK}};
    // A device node of its own, so that a fault here cannot harm the real /dev/null.
    if (::mknod((dir.path / "null.tk").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        nodes.emplace_back("null.tk", S_IFCHR);
    for (const auto& [name, kind] : nodes) {
        EXPECT_EQ(exec(u"save " + quoted(dir.name(name))), u"Save Error in 0\n") << name;
        EXPECT_EQ(kindOf(dir.path / name), kind) << name << " was replaced";
    }
    ::close(sock);
    EXPECT_EQ(filesIn(dir.path), 1 + nodes.size()) << "a temporary file was left behind";
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("p.tk")) << "a failed save keeps the name";
    EXPECT_EQ(readBytes(dir.path / "p.tk"), old);
}

TEST_F(FileFaults, SavingThroughALinkWritesItsFileAndKeepsTheLink) {
    fs::create_directory(dir.path / "sub");
    fs::create_symlink("p.tk", dir.path / "link.tk");
    fs::create_symlink("link.tk", dir.path / "chain.tk");
    fs::create_symlink("sub/new.tk", dir.path / "dangling.tk");
    fs::create_symlink(dir.path / "sub" / "abs.tk", dir.path / "absolute.tk");
    fs::create_symlink("nowhere/x.tk", dir.path / "nofolder.tk");
    fs::create_symlink("loop2.tk", dir.path / "loop1.tk");
    fs::create_symlink("loop1.tk", dir.path / "loop2.tk");
    ASSERT_EQ(::mkfifo((dir.path / "sub" / "fifo").c_str(), 0600), 0);
    fs::create_symlink("sub/fifo", dir.path / "tofifo.tk");

    EXPECT_EQ(exec(u"save " + quoted(dir.name("chain.tk"))), u"");
    const Bytes saved = readBytes(dir.path / "p.tk");
    EXPECT_NE(saved, old) << "the file at the end of the links is written";
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("chain.tk"));
    EXPECT_EQ(exec(u"save " + quoted(dir.name("dangling.tk"))), u"");
    EXPECT_EQ(readBytes(dir.path / "sub" / "new.tk"), saved) << "a dangling link's file is created";
    EXPECT_EQ(exec(u"save " + quoted(dir.name("absolute.tk"))), u"");
    EXPECT_EQ(readBytes(dir.path / "sub" / "abs.tk"), saved);
    for (const char* name : {"nofolder.tk", "loop1.tk", "tofifo.tk"})
        EXPECT_EQ(exec(u"save " + quoted(dir.name(name))), u"Save Error in 0\n") << name;
    EXPECT_FALSE(fs::exists(dir.path / "nowhere"));
    EXPECT_EQ(kindOf(dir.path / "sub" / "fifo"), S_IFIFO);

    for (const char* link : {"link.tk", "chain.tk", "dangling.tk", "absolute.tk", "nofolder.tk", "loop1.tk",
                             "loop2.tk", "tofifo.tk"})
        EXPECT_EQ(kindOf(dir.path / link), S_IFLNK) << link << " is no longer a link";
    EXPECT_EQ(filesIn(dir.path), 10u) << "a temporary file was left behind";
    EXPECT_EQ(filesIn(dir.path / "sub"), 3u) << "a temporary file was left behind";
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("absolute.tk"));
}

TEST_F(FileFaults, AReplacedFileKeepsItsOwnerGroupAndMode) {
    const fs::path file = dir.path / "p.tk";
    ASSERT_EQ(::chmod(file.c_str(), 02640), 0);
    const bool root = ::geteuid() == 0;
    // As root: the file belongs to someone else, who must keep it.
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    }
    EXPECT_EQ(exec(u"save"), u"");
    EXPECT_NE(readBytes(file), old);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 02640u);
    if (!root) GTEST_SKIP() << "only root may give a file to another owner";
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
}

TEST_F(FileFaults, AReadErrorHalfWayIsALoadError) {
    // /proc/self/mem is a regular file whose first bytes cannot be read.
    if (!fs::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc here";
    EXPECT_EQ(session({u"load \"/proc/self/mem\""}), u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n");
    EXPECT_EQ(peer.program.usedBytes, 2) << "LOAD resets first";
    for (const char16_t* line : {u"10 PRINT 1", u"20 PRINT 2"}) enter(line);
    EXPECT_EQ(session({u"run \"/proc/self/mem\""}), u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n")
        << "nothing runs";

    // A read that fails after some lines: MERGE keeps the lines it took, as with any error that stops it.
    struct Failing : LineSource {
        std::deque<std::u16string> lines{u"15 PRINT 15\n", u"20 PRINT 20\n"};
        bool readLine(char16_t* buffer, int) override {
            if (lines.empty()) return false;
            std::copy(lines.front().begin(), lines.front().end(), buffer);
            buffer[lines.front().size()] = 0;
            lines.pop_front();
            return true;
        }
        bool failed() const override { return lines.empty(); }
    } failing;
    enter(u"10 PRINT 10");
    view.forget();
    interp.breakRequested.store(
        0); // the last session's input ran dry with a break; taking up a request clears it
    EXPECT_FALSE(peer.readProgramSource(failing));
    EXPECT_EQ(view.transcript, LOAD_ERROR);
    EXPECT_EQ(list(), u"10 print 10\n15 print 15\n20 print 20\n");
}

// Runs body in a child process that has given up root's privileges (as the user nobody), so that
// permissions bind; returns the child's exit status. Without root the body runs in a child as it is.
int asUnprivileged(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0) {
            const gid_t nogroup = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nogroup) != 0 || ::setuid(65534) != 0) ::_exit(90);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(FileFaults, AFolderWithoutWritePermissionRefusesTheSave) {
    // Everyone may pass through and read, nobody but root may write.
    fs::permissions(dir.path, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const int status = asUnprivileged([&] {
        // No gtest assertions in the child: its answer is the exit status.
        if (exec(u"save") != u"Save Error in 0\n") return 1;
        if (exec(u"save " + quoted(dir.name("new.tk"))) != u"Save Error in 0\n") return 2;
        if (std::u16string(peer.currentFileName) != dir.name("p.tk")) return 3;
        return 0;
    });
    EXPECT_EQ(status, 0);
    expectUntouched("in a read-only folder");
    fs::permissions(dir.path, fs::perms::owner_all, fs::perm_options::add);
}

TEST_F(FileFaults, ARealDiskFillingUpLeavesTheOldFile) {
    // A tmpfs of 16 KB inside the test's folder; needs the right to mount (root here and in CI).
    const fs::path disk = dir.path / "disk";
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    writeBytes(disk / "big.tk", old);
    EXPECT_EQ(exec(u"save " + quoted(dir.name("disk/big.tk"))), u"") << "a small program fits";
    const Bytes small = readBytes(disk / "big.tk");
    // About 30 KB of listing: more than the disk holds.
    for (int n = 100; n < 160; ++n) enter(u16(std::to_string(n)) + u" '" + std::u16string(240, u'w'));
    EXPECT_EQ(exec(u"save"), u"Save Error in 0\n");
    EXPECT_EQ(readBytes(disk / "big.tk"), small);
    EXPECT_EQ(filesIn(disk), 1u) << "a temporary file was left behind";
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("disk/big.tk"));
    // Room again: the same save succeeds and loads back.
    for (int n = 100; n < 160; ++n) enter(u16(std::to_string(n)));
    EXPECT_EQ(exec(u"save"), u"");
    const Bytes before = area();
    EXPECT_EQ(session({u"new", u"load " + quoted(dir.name("disk/big.tk"))}), u"OK\nOK\nOK\n");
    EXPECT_EQ(area(), before);
}

TEST_F(FileFaults, AFileThatVanishedCannotBeLoaded) {
    fs::remove(dir.path / "p.tk");
    const Bytes program = area();
    EXPECT_EQ(session({u"merge " + quoted(dir.name("p.tk"))}),
              u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n");
    EXPECT_EQ(area(), program) << "MERGE keeps the program";
    enter(u"70 LOAD " + quoted(dir.name("p.tk")));
    EXPECT_EQ(session({u"run 70"}), u"OK\nFile Not Found or Load Error in 0\nOK\n")
        << "the load happens in the loop, after the run has stopped";
    EXPECT_EQ(list(), u"") << "LOAD resets first";
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("p.tk")) << "and records the name first";
    // A link whose file has gone.
    fs::create_symlink(dir.path / "gone.tk", dir.path / "link.tk");
    EXPECT_EQ(session({u"run " + quoted(dir.name("link.tk"))}),
              u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n");
}

TEST_F(FileFaults, ThingsThatAreNoProgramFileAreNotRead) {
    // A pipe would block the reader for ever; a folder reads nothing.
    ASSERT_EQ(::mkfifo((dir.path / "pipe.tk").c_str(), 0600), 0);
    fs::create_directory(dir.path / "folder.tk");
    for (const char* name : {"pipe.tk", "folder.tk"}) {
        for (const char16_t* statement : {u"load ", u"merge ", u"run "})
            EXPECT_EQ(session({statement + quoted(dir.name(name))}),
                      u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n")
                << name;
    }
}

TEST_F(FileFaults, AFileWithoutReadPermissionCannotBeLoaded) {
    fs::permissions(dir.path, fs::perms::others_exec | fs::perms::others_read, fs::perm_options::add);
    fs::permissions(dir.path / "p.tk", fs::perms::owner_write);
    const Bytes program = area();
    const int status = asUnprivileged([&] {
        if (session({u"merge " + quoted(dir.name("p.tk"))}) != u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n")
            return 1;
        if (area() != program) return 2;
        if (session({u"load " + quoted(dir.name("p.tk"))}) != u"OK\n" + std::u16string(LOAD_ERROR) + u"OK\n")
            return 3;
        if (peer.program.usedBytes != 2) return 4;
        return 0;
    });
    EXPECT_EQ(status, 0);
}

// Watches a save: the mode of the temporary file when its first byte is written and when it is renamed.
class WatchingDisk : public FileWriteLayer {
  public:
    std::size_t write(std::FILE* file, const void* data, std::size_t size, std::size_t count) override {
        struct stat st {};
        if (modeAtFirstByte < 0 && ::fstat(::fileno(file), &st) == 0) modeAtFirstByte = st.st_mode & 07777;
        return FileWriteLayer::write(file, data, size, count);
    }
    bool rename(const fs::path& from, const fs::path& to) override {
        struct stat st {};
        if (::lstat(from.c_str(), &st) == 0) modeAtRename = st.st_mode & 07777;
        events.push_back("rename");
        return FileWriteLayer::rename(from, to);
    }
    bool syncFolder(const fs::path& folder) override {
        events.push_back("sync " + folder.string());
        return !failSync && FileWriteLayer::syncFolder(folder);
    }
    long modeAtFirstByte = -1;
    long modeAtRename = -1;
    bool failSync = false;
    std::vector<std::string> events;
};

mode_t currentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// The temporary file is the saver's alone until it is complete, so that the program in it is not readable
// by others while it is written, nor afterwards if the save dies half-way; it takes its final mode (the old
// file's, or a new file's) before it becomes the program file.
TEST_F(FileFaults, TheTemporaryFileIsPrivateUntilItIsRenamed) {
    const fs::path file = dir.path / "p.tk";
    for (const mode_t mode : {0600u, 0644u, 0604u}) {
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        WatchingDisk disk;
        Installed installed(disk);
        EXPECT_EQ(exec(u"save"), u"");
        EXPECT_EQ(disk.modeAtFirstByte, 0600) << "replacing a file of mode " << std::oct << mode;
        EXPECT_EQ(disk.modeAtRename, static_cast<long>(mode)) << std::oct << mode;
    }
    WatchingDisk disk;
    Installed installed(disk);
    EXPECT_EQ(exec(u"save " + quoted(dir.name("new.tk"))), u"");
    EXPECT_EQ(disk.modeAtFirstByte, 0600) << "a new file";
    EXPECT_EQ(disk.modeAtRename, static_cast<long>(0666 & ~currentUmask())) << "a new file as any other";
    struct stat st {};
    ASSERT_EQ(::stat((dir.path / "new.tk").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666 & ~currentUmask());
}

// "OK" means the saved file survives a power cut: after the rename the folder is synced too, and a disk
// that fails it fails the save.
TEST_F(FileFaults, TheFolderIsSyncedAfterTheRename) {
    WatchingDisk disk;
    Installed installed(disk);
    EXPECT_EQ(exec(u"save"), u"");
    EXPECT_EQ(disk.events, (std::vector<std::string>{"rename", "sync " + dir.path.string()}));
    disk.failSync = true;
    EXPECT_EQ(exec(u"save " + quoted(dir.name("new.tk"))), u"Save Error in 0\n");
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("p.tk"));
    const fs::path here = fs::current_path();
    fs::current_path(dir.path);
    disk.events.clear();
    disk.failSync = false;
    EXPECT_EQ(exec(u"save \"here.tk\""), u"");
    EXPECT_EQ(disk.events, (std::vector<std::string>{"rename", "sync ."})) << "a name without a folder";
    fs::current_path(here);
}

// A process id that no process has now: a child that has ended.
pid_t deadProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

void setAge(const fs::path& path, int seconds) {
    const timespec when[2] = {{::time(nullptr) + seconds, 0}, {::time(nullptr) + seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), when, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A save that died (a crash, kill -9) leaves its temporary file; the next save into that folder removes it,
// and only it: a file of our name pattern, a regular file of ours, older than the save, of a process that
// has ended. Everything else stays.
TEST_F(FileFaults, ATemporaryLeftByADeadSaveGoesAtTheNextSaveIntoItsFolder) {
    const std::string dead = std::to_string(deadProcess());
    const std::string self = std::to_string(::getpid());
    const fs::path sub = dir.path / "sub";
    fs::create_directory(sub);
    auto plant = [&](const fs::path& path, int age) {
        writeBytes(path, old);
        setAge(path, age);
    };
    plant(dir.path / (".tavik.save-" + dead + "-0"), -3600);
    plant(dir.path / (".tavik.save-" + self + "-12"), -60); // an earlier process that had this id
    plant(sub / (".tavik.save-" + dead + "-1"), -3600);     // another folder
    plant(dir.path / (".tavik.save-" + dead + "-2"), 3600); // not older than the save
    plant(dir.path / ".tavik.save-x", -3600);               // not our pattern
    plant(dir.path / (".tavik.save-" + dead + "-3x"), -3600);
    plant(dir.path / ("tavik.save-" + dead + "-4"), -3600);
    plant(dir.path / (".tavik.save-1-5"), -3600); // a process that runs (init)
    fs::create_symlink("p.tk", dir.path / (".tavik.save-" + dead + "-6"));
    setAge(dir.path / (".tavik.save-" + dead + "-6"), -3600);
    std::vector<std::string> kept = {".tavik.save-" + dead + "-2",
                                     ".tavik.save-x",
                                     ".tavik.save-" + dead + "-3x",
                                     "tavik.save-" + dead + "-4",
                                     ".tavik.save-1-5",
                                     ".tavik.save-" + dead + "-6",
                                     "p.tk",
                                     "sub"};
    if (::geteuid() == 0) {
        // Another user's file of the same pattern is not ours to remove.
        const fs::path theirs = dir.path / (".tavik.save-" + dead + "-7");
        plant(theirs, -3600);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        kept.push_back(theirs.filename().string());
    }
    EXPECT_EQ(exec(u"save"), u"");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(left, kept);
    EXPECT_TRUE(fs::exists(sub / (".tavik.save-" + dead + "-1")));
    EXPECT_NE(readBytes(dir.path / "p.tk"), old);
}

// A link in a folder that everyone may write to and whose sticky bit keeps each one's names their own (as
// /tmp) is followed only when it is the saver's or the folder owner's: another user's link there could
// point at any of the saver's files. The kernel applies this rule to links it follows itself.
TEST_F(FileFaults, ALinkOfAnotherUserInAStickyFolderIsNotSavedThrough) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a link that belongs to another user";
    const fs::path sticky = dir.path / "tmp";
    const fs::path safe = dir.path / "home";
    fs::create_directory(sticky);
    fs::create_directory(safe);
    writeBytes(safe / "important.tk", old);
    auto link = [&](const std::string& name, const fs::path& to, uid_t owner) {
        fs::create_symlink(to, sticky / name);
        ASSERT_EQ(::lchown((sticky / name).c_str(), owner, owner), 0);
    };
    const uid_t other = 65534;
    link("theirs.tk", safe / "important.tk", other);
    link("mine.tk", safe / "mine.tk", 0);
    link("chain.tk", "theirs.tk", 0); // my link to theirs: refused at theirs
    auto save = [&](const std::string& name) { return exec(u"save " + quoted(dir.name("tmp/" + name))); };

    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
    EXPECT_EQ(save("theirs.tk"), u"Save Error in 0\n");
    EXPECT_EQ(save("chain.tk"), u"Save Error in 0\n");
    EXPECT_EQ(readBytes(safe / "important.tk"), old) << "the file the link points at was replaced";
    EXPECT_EQ(kindOf(sticky / "theirs.tk"), S_IFLNK);
    EXPECT_EQ(std::u16string(peer.currentFileName), dir.name("p.tk")) << "a refused save keeps the name";
    EXPECT_EQ(save("mine.tk"), u"") << "my own link";
    EXPECT_TRUE(fs::exists(safe / "mine.tk"));

    // The link of the folder's owner; a folder without the sticky bit or not writable by all.
    ASSERT_EQ(::chown(sticky.c_str(), other, other), 0);
    EXPECT_EQ(save("theirs.tk"), u"") << "the folder's owner's link";
    ASSERT_EQ(::chown(sticky.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(sticky.c_str(), 0777), 0);
    writeBytes(safe / "important.tk", old);
    EXPECT_EQ(save("theirs.tk"), u"") << "no sticky bit";
    ASSERT_EQ(::chmod(sticky.c_str(), 01775), 0);
    writeBytes(safe / "important.tk", old);
    EXPECT_EQ(save("theirs.tk"), u"") << "not writable by others";
    EXPECT_NE(readBytes(safe / "important.tk"), old);
}

} // namespace
} // namespace tavik::test
