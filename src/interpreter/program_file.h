#pragma once
// Program files on disk: a buffered line reader for UTF-16LE and UTF-8 text with the semantics of the line
// reader the interpreter was built around, and a writer that replaces the target only when every byte was
// written.
#include "program_io.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

namespace tavik {

// Reads the program files SAVE writes (UTF-16LE) and the UTF-8 text of other editors alike: lines come out
// as UTF-16 units whatever the file holds, cut into pieces exactly as for a UTF-16LE file.
class ProgramFileReader final : public LineSource {
  public:
    enum class Encoding { Utf16le, Utf8 };

    // Opens a regular file; anything else (a folder, a device, a missing file) fails.
    static std::unique_ptr<ProgramFileReader> open(const std::filesystem::path& path);
    // Reads a file's bytes already in memory (a script read once from a pipe); they must outlive the reader.
    static std::unique_ptr<ProgramFileReader> fromBytes(std::string_view bytes);
    ~ProgramFileReader() override;
    bool readLine(char16_t* buffer, int capacity) override;
    bool failed() const override { return failed_; }

    // How a file is read, from its first bytes (size of them, at most 3 are looked at): FF FE is UTF-16LE;
    // EF BB BF is UTF-8; otherwise UTF-16LE when the second byte is 0 and UTF-8 when it is not or when
    // there is none. A mark is read as the character U+FEFF in either encoding.
    static Encoding detectEncoding(const unsigned char* head, std::size_t size);

  private:
    ProgramFileReader(std::FILE* file, std::string_view bytes) : file_(file), bytes_(bytes) {}
    // Makes at least count bytes available from pos_ on unless the file ends first; returns how many are.
    std::size_t fill(std::size_t count);
    bool nextUnit(char16_t& unit);
    bool nextUtf16Unit(char16_t& unit);
    // A byte that does not belong to a well-formed character reads as U+FFFD; a character beyond U+FFFF
    // comes out as its two surrogate units.
    bool nextUtf8Unit(char16_t& unit);

    std::FILE* file_;        // nullptr for bytes in memory
    std::string_view bytes_; // the bytes in memory not yet taken into buffer_
    bool failed_ = false;
    unsigned char buffer_[1 << 14];
    std::size_t have_ = 0;
    std::size_t pos_ = 0;
    bool ended_ = false;
    bool detected_ = false;
    Encoding encoding_ = Encoding::Utf16le;
    char16_t pendingLow_ = 0; // the second unit of a character beyond U+FFFF, not yet read
};

// The calls through which a save changes the file system. The default goes to the disk; a test installs
// its own to inject faults (a full disk, a write failing half-way, a refused rename) and a fuzzer to keep
// what programs save off the disk.
class FileWriteLayer {
  public:
    virtual ~FileWriteLayer() = default;
    // Creates a file that must not exist yet, for raw bytes; nullptr on failure.
    virtual std::FILE* createNew(const std::filesystem::path& path);
    // Returns how many whole items were written, like fwrite.
    virtual std::size_t write(std::FILE* file, const void* data, std::size_t size, std::size_t count);
    virtual int flush(std::FILE* file);
    virtual int close(std::FILE* file);
    // Moves from over to, replacing to atomically; false on failure.
    virtual bool rename(const std::filesystem::path& from, const std::filesystem::path& to);
    // Brings a folder's entries to the disk (after the rename); false when the disk failed.
    virtual bool syncFolder(const std::filesystem::path& folder);
    virtual void remove(const std::filesystem::path& path);

    // The layer every writer uses. install(nullptr) brings back the disk. Swapped only between saves.
    static FileWriteLayer& current();
    static void install(FileWriteLayer* layer);
};

// Writes into a temporary file beside the target and renames it over the target on commit, so that a
// failed save leaves the old file as it was and no temporary file behind. The temporary is the saver's
// alone until commit gives it its final mode; one left by a save that died goes at the next save into
// its folder.
class ProgramFileWriter final : public OutputStream {
  public:
    static std::unique_ptr<ProgramFileWriter> create(const std::filesystem::path& target);
    ~ProgramFileWriter() override; // discards an uncommitted temporary file
    bool write(const char16_t* units, std::size_t count) override;
    bool commit();

  private:
    ProgramFileWriter(FileWriteLayer& layer, std::FILE* file, std::filesystem::path target,
                      std::filesystem::path temporary)
        : layer_(layer), file_(file), target_(std::move(target)), temporary_(std::move(temporary)) {}
    FileWriteLayer& layer_; // the one the temporary file was made with, to the end of this save
    std::FILE* file_;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    bool failed_ = false;
    bool committed_ = false;
};

} // namespace tavik
