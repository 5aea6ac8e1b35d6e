#pragma once
// Program files on disk: a buffered UTF-16LE line reader with the semantics of the line reader the
// interpreter was built around, and a writer that replaces the target only when every byte was written.
#include "program_io.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace tavik {

class ProgramFileReader final : public LineSource {
  public:
    // Opens a regular file; anything else (a folder, a device, a missing file) fails.
    static std::unique_ptr<ProgramFileReader> open(const std::filesystem::path& path);
    ~ProgramFileReader() override;
    bool readLine(char16_t* buffer, int capacity) override;

  private:
    explicit ProgramFileReader(std::FILE* file) : file_(file) {}
    bool nextUnit(char16_t& unit);

    std::FILE* file_;
    unsigned char buffer_[1 << 14];
    std::size_t have_ = 0;
    std::size_t pos_ = 0;
    bool ended_ = false;
};

// Writes into a temporary file beside the target and renames it over the target on commit, so that a
// failed save leaves the old file as it was and no temporary file behind.
class ProgramFileWriter final : public OutputStream {
  public:
    static std::unique_ptr<ProgramFileWriter> create(const std::filesystem::path& target);
    ~ProgramFileWriter() override; // discards an uncommitted temporary file
    bool write(const char16_t* units, std::size_t count) override;
    bool commit();

  private:
    ProgramFileWriter(std::FILE* file, std::filesystem::path target, std::filesystem::path temporary)
        : file_(file), target_(std::move(target)), temporary_(std::move(temporary)) {}
    std::FILE* file_;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    bool failed_ = false;
    bool committed_ = false;
};

} // namespace tavik
