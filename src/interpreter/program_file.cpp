#include "program_file.h"

#include <atomic>
#include <string>
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
    return std::unique_ptr<ProgramFileReader>(new ProgramFileReader(file));
}

ProgramFileReader::~ProgramFileReader() {
    std::fclose(file_);
}

bool ProgramFileReader::nextUnit(char16_t& unit) {
    if (pos_ + 1 >= have_) {
        // Keep a dangling odd byte and refill behind it.
        std::size_t keep = have_ - pos_;
        if (keep == 1) buffer_[0] = buffer_[pos_];
        have_ = keep;
        pos_ = 0;
        if (!ended_) {
            const std::size_t got = std::fread(buffer_ + have_, 1, sizeof buffer_ - have_, file_);
            have_ += got;
            if (got == 0) ended_ = true;
        }
        if (have_ < 2) return false; // an odd last byte is no unit
    }
    unit = static_cast<char16_t>(buffer_[pos_] | (buffer_[pos_ + 1] << 8));
    pos_ += 2;
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

std::unique_ptr<ProgramFileWriter> ProgramFileWriter::create(const fs::path& requested) {
    if (requested.empty()) return nullptr;
    std::error_code ec;
    fs::path target = requested;
    // Saving through a link replaces the file it points at, not the link.
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) return nullptr;
        target = resolved;
    }
    if (fs::is_directory(target, ec)) return nullptr;
    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.parent_path();
    const std::string leaf = "." + target.filename().string() + ".save-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter.fetch_add(1));
    const fs::path temporary = folder.empty() ? fs::path(leaf) : folder / leaf;
    std::FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (!file) return nullptr;
    return std::unique_ptr<ProgramFileWriter>(new ProgramFileWriter(file, target, temporary));
}

ProgramFileWriter::~ProgramFileWriter() {
    if (file_) std::fclose(file_);
    if (!committed_) {
        std::error_code ec;
        fs::remove(temporary_, ec);
    }
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
        if (std::fwrite(bytes, 2, chunk, file_) != chunk) {
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
    bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    if (!ok) return false;
    std::error_code ec;
    // The new file keeps the permissions of the one it replaces.
    const fs::file_status old = fs::status(target_, ec);
    if (!ec && fs::exists(old)) fs::permissions(temporary_, old.permissions(), ec);
    fs::rename(temporary_, target_, ec);
    if (ec) return false;
    committed_ = true;
    return true;
}

} // namespace tavik
