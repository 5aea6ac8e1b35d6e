#include "program_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tavik {

namespace fs = std::filesystem;

std::unique_ptr<ProgramFileReader> ProgramFileReader::open(const fs::path& path) {
    std::error_code ec;
    // Only a regular file is a program: a folder reads nothing and a device or pipe might never end.
    if (path.empty() || !fs::is_regular_file(path, ec)) return nullptr;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    return std::unique_ptr<ProgramFileReader>(new ProgramFileReader(file, {}));
}

std::unique_ptr<ProgramFileReader> ProgramFileReader::fromBytes(std::string_view bytes) {
    return std::unique_ptr<ProgramFileReader>(new ProgramFileReader(nullptr, bytes));
}

ProgramFileReader::~ProgramFileReader() {
    if (file_) std::fclose(file_);
}

ProgramFileReader::Encoding ProgramFileReader::detectEncoding(const unsigned char* head, std::size_t size) {
    if (size >= 2 && head[0] == 0xFF && head[1] == 0xFE) return Encoding::Utf16le;
    if (size >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) return Encoding::Utf8;
    // Without a mark: text of ASCII characters in UTF-16LE has a 0 as its second byte, UTF-8 text never.
    return size >= 2 && head[1] == 0 ? Encoding::Utf16le : Encoding::Utf8;
}

std::size_t ProgramFileReader::fill(std::size_t count) {
    if (have_ - pos_ >= count || ended_) return have_ - pos_;
    // Keep the bytes not yet read (a dangling odd byte, the start of a character) and read on behind them.
    const std::size_t keep = have_ - pos_;
    std::memmove(buffer_, buffer_ + pos_, keep);
    have_ = keep;
    pos_ = 0;
    while (have_ < count && !ended_) {
        std::size_t got = 0;
        if (file_) {
            got = std::fread(buffer_ + have_, 1, sizeof buffer_ - have_, file_);
            // A read error ends the reading as the end does, but the loader is told.
            if (got == 0 && std::ferror(file_)) failed_ = true;
        } else {
            got = bytes_.copy(reinterpret_cast<char*>(buffer_ + have_), sizeof buffer_ - have_);
            bytes_.remove_prefix(got);
        }
        have_ += got;
        if (got == 0) ended_ = true;
    }
    return have_;
}

bool ProgramFileReader::nextUnit(char16_t& unit) {
    if (!detected_) {
        const std::size_t size = fill(3);
        encoding_ = detectEncoding(buffer_ + pos_, size < 3 ? size : 3);
        detected_ = true;
    }
    return encoding_ == Encoding::Utf16le ? nextUtf16Unit(unit) : nextUtf8Unit(unit);
}

bool ProgramFileReader::nextUtf16Unit(char16_t& unit) {
    if (fill(2) < 2) return false; // an odd last byte is no unit
    unit = static_cast<char16_t>(buffer_[pos_] | (buffer_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
}

bool ProgramFileReader::nextUtf8Unit(char16_t& unit) {
    if (pendingLow_ != 0) {
        unit = pendingLow_;
        pendingLow_ = 0;
        return true;
    }
    const std::size_t size = fill(UTF8_MAX_BYTES);
    if (size == 0) return false;
    const Utf8Char c = decodeUtf8(buffer_ + pos_, size);
    pos_ += c.length;
    char16_t units[2];
    if (toUtf16(c.codePoint, units) == 2) pendingLow_ = units[1];
    unit = units[0];
    return true;
}

bool ProgramFileReader::readLine(char16_t* buffer, int capacity) {
    int n = 0;
    char16_t unit;
    while (n < capacity - 1 && nextUnit(unit)) {
        buffer[n++] = unit;
        if (unit == 0x000A) break;
    }
    buffer[n] = 0;
    return n > 0;
}

namespace {

// A link the kernel's rule for shared folders would let this process follow: in a folder that everyone may
// write to and whose sticky bit keeps each one's names their own (as /tmp), only a link of the saver's or
// of the folder's owner's. Another user's link there could point at any file of the saver's.
bool mayFollow(const fs::path& link) {
    struct stat own {};
    struct stat folder {};
    const fs::path parent = link.parent_path().empty() ? fs::path(".") : link.parent_path();
    if (::lstat(link.c_str(), &own) != 0 || ::stat(parent.c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || own.st_uid == ::geteuid() || own.st_uid == folder.st_uid;
}

// The file a name stands for: a link, dangling or not, is followed to the name it points at, link by link,
// so that a save writes the file it points at and the link stays. Empty for a chain of links too long to
// be anything but a loop, and for a link that may not be followed.
fs::path followLinks(fs::path target) {
    constexpr int MAX_LINKS = 40;
    std::error_code ec;
    for (int i = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++i) {
        if (!mayFollow(target)) return {};
        const fs::path next = fs::read_symlink(target, ec);
        if (ec || i == MAX_LINKS) return {};
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

constexpr std::string_view TEMPORARY_PREFIX = ".tavik.save-";

// The mode a new file gets, taken once at start-up, before there is a thread that could create a file while
// the mask is briefly changed to read it.
const mode_t creationMask = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}();

std::atomic<int> savesInProgress{0};

// The process id in a name of our temporary pattern (".tavik.save-PID-N"), or -1 for any other name.
long temporaryOwner(const std::string& name) {
    if (name.compare(0, TEMPORARY_PREFIX.size(), TEMPORARY_PREFIX) != 0) return -1;
    std::size_t i = TEMPORARY_PREFIX.size();
    long pid = 0;
    const std::size_t pidStart = i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - pidStart < 10)
        pid = pid * 10 + (name[i++] - '0');
    if (i == pidStart || i >= name.size() || name[i] != '-') return -1;
    const std::size_t counterStart = ++i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    return i == counterStart || i != name.size() ? -1 : pid;
}

bool runs(long pid) {
    if (pid == ::getpid())
        return savesInProgress.load() > 1; // another save of this process may be writing it
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// Removes the temporary files that saves which died (a crash, kill -9) left in the folder: regular files of
// ours with our name pattern, older than the temporary this save has just made, of a process that no
// longer runs.
void removeDeadTemporaries(FileWriteLayer& layer, const fs::path& folder, const fs::path& ours,
                           std::FILE* file) {
    struct stat made {};
    if (::fstat(::fileno(file), &made) != 0) return;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path path = folder.empty() ? it->path().filename() : it->path();
        const long pid = temporaryOwner(path.filename().string());
        if (pid < 0 || path == ours) continue;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        const bool older =
            st.st_mtim.tv_sec < made.st_mtim.tv_sec ||
            (st.st_mtim.tv_sec == made.st_mtim.tv_sec && st.st_mtim.tv_nsec < made.st_mtim.tv_nsec);
        if (older && !runs(pid)) layer.remove(path);
    }
}

} // namespace

std::unique_ptr<ProgramFileWriter> ProgramFileWriter::create(const fs::path& requested) {
    if (requested.empty()) return nullptr;
    const fs::path target = followLinks(requested);
    if (target.empty()) return nullptr;
    // Only a regular file is replaced: renaming over a folder, a pipe, a device or a socket would put a
    // plain file where it was.
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) return nullptr;
    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.parent_path();
    // A fixed short name: one built from the target's would pass the folder's name length limit for long
    // names that the folder takes.
    std::string leaf(TEMPORARY_PREFIX);
    leaf += std::to_string(::getpid());
    leaf += '-';
    leaf += std::to_string(counter.fetch_add(1));
    const fs::path temporary = folder.empty() ? fs::path(leaf) : folder / leaf;
    FileWriteLayer& layer = FileWriteLayer::current();
    std::FILE* file = layer.createNew(temporary);
    if (!file) return nullptr;
    ++savesInProgress;
    removeDeadTemporaries(layer, folder, temporary, file);
    return std::unique_ptr<ProgramFileWriter>(new ProgramFileWriter(layer, file, target, temporary));
}

ProgramFileWriter::~ProgramFileWriter() {
    if (file_) layer_.close(file_);
    if (!committed_) layer_.remove(temporary_);
    --savesInProgress;
}

bool ProgramFileWriter::write(const char16_t* units, std::size_t count) {
    if (failed_ || !file_) return false;
    unsigned char bytes[512];
    while (count > 0) {
        const std::size_t chunk = count < 256 ? count : 256;
        for (std::size_t i = 0; i < chunk; ++i) {
            bytes[2 * i] = static_cast<unsigned char>(units[i]);
            bytes[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
        }
        if (layer_.write(file_, bytes, 2, chunk) != chunk) {
            failed_ = true;
            return false;
        }
        units += chunk;
        count -= chunk;
    }
    return true;
}

bool ProgramFileWriter::commit() {
    if (!file_) return false;
    // The file was made for the saver alone; it takes its final mode before it becomes the program file:
    // the owner, group and mode of the one it replaces, as far as the process may set them (the owner
    // first: changing it may clear the set-id bits of the mode), or a new file's mode.
    const int fd = ::fileno(file_);
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Not allowed to give the file away: it stays the saver's.
        }
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        // Never a file its saver cannot read back: a mask that takes the owner's reading or writing (the
        // web page's file system starts with 0777) leaves the new file private instead.
        ::fchmod(fd, (0666 & ~creationMask) | 0600);
    }
    bool ok = !failed_ && layer_.flush(file_) == 0 && !std::ferror(file_);
    ok = (layer_.close(file_) == 0) && ok;
    file_ = nullptr;
    if (!ok) return false;
    if (!layer_.rename(temporary_, target_)) return false;
    committed_ = true;
    // The rename itself reaches the disk too: only then does the saved file survive a power cut.
    const fs::path folder = target_.parent_path();
    return layer_.syncFolder(folder.empty() ? fs::path(".") : folder);
}

namespace {
FileWriteLayer diskLayer;
std::atomic<FileWriteLayer*> installedLayer{nullptr};
} // namespace

FileWriteLayer& FileWriteLayer::current() {
    FileWriteLayer* layer = installedLayer.load();
    return layer ? *layer : diskLayer;
}

void FileWriteLayer::install(FileWriteLayer* layer) {
    installedLayer.store(layer);
}

// Readable by the saver alone from its first byte: the program may be private, and a save that dies
// half-way leaves the file as it is.
std::FILE* FileWriteLayer::createNew(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        ::unlink(path.c_str());
    }
    return file;
}

std::size_t FileWriteLayer::write(std::FILE* file, const void* data, std::size_t size, std::size_t count) {
    return std::fwrite(data, size, count, file);
}

// The bytes reach the disk before the rename makes them the program file: a crash then leaves the old
// file or the new one, never an empty one.
int FileWriteLayer::flush(std::FILE* file) {
    if (std::fflush(file) != 0) return EOF;
    return ::fsync(::fileno(file)) == 0 ? 0 : EOF;
}

int FileWriteLayer::close(std::FILE* file) {
    return std::fclose(file);
}

bool FileWriteLayer::rename(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
}

// A folder that cannot be opened for reading, or a file system that keeps no folder syncs, cannot do
// better; an error of the disk fails the save.
bool FileWriteLayer::syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    const bool ok =
        ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EROFS;
    ::close(fd);
    return ok;
}

void FileWriteLayer::remove(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

} // namespace tavik
