// The program-file reader on arbitrary bytes: odd lengths, no mark, lone surrogates, NULs, invalid UTF-8,
// lines of 100 KB and files of 10 MB. The reader's pieces must match a plain decoding of the bytes cut as
// the line reader cuts them; LOAD, MERGE or RUN of the file must leave a sound store whose lines list and
// tokenise back; and a program saved and loaded again must come back byte for byte.
//
// The first byte shapes the file from the rest: low two bits 0 as it is, 1 repeated to a long file, 2
// repeated to a huge one, 3 behind the UTF-16 mark; bits 2-3 choose LOAD, MERGE or RUN. Full-size files are
// slow to check (about 0.1 s for 100 KB, 1.5 s for 10 MB under the sanitizers), so they are built only for a
// fraction of the inputs, chosen by the top bits of a hash of the input (deterministic, so that a crash
// reproduces): a long file is 100 KB for 1 input in 32, just past the reader's 16 KB buffer for 1 in 8 and
// 2 KB otherwise; a huge file is 10 MB (read only) for 1 input in 512, 40 KB (two buffer refills) for 1 in
// 16 and 6 KB otherwise.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

using namespace tavik;
using namespace tavik::fuzz;

namespace {

namespace fs = std::filesystem;

// FNV-1a over the input: its top bits (the well-mixed ones) pick which inputs get the full-size files.
std::uint32_t inputHash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h;
}

// Builds the file into out, whose room is reused from one input to the next.
void shapeFile(const std::uint8_t* data, std::size_t size, std::string& out) {
    out.clear();
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const std::size_t restSize = size - 1;
    const std::uint32_t hash = inputHash(data, size);
    std::size_t target = 0;
    switch (data[0] & 3) {
    case 0: out.assign(rest, restSize); return;
    case 1: {
        const std::uint32_t pick = hash >> 27; // 0..31
        target = pick == 0 ? 100 * 1024 : pick <= 4 ? 16 * 1024 + 1 : 2 * 1024;
        break;
    }
    case 2: {
        const std::uint32_t pick = hash >> 23; // 0..511
        target = pick == 0 ? 10 * 1024 * 1024 : pick < 32 ? 40 * 1024 : 6 * 1024;
        break;
    }
    default:
        out.assign("\xFF\xFE", 2);
        out.append(rest, restSize);
        return;
    }
    if (restSize == 0) return;
    out.reserve(target + restSize);
    while (out.size() < target) out.append(rest, restSize);
}

// The units the reader should give: UTF-16LE after the mark FF FE or when the second byte is 0 (an odd last
// byte dropped), UTF-8 otherwise.
void decode(const std::string& bytes, std::u16string& units) {
    units.clear();
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const bool utf16 = bytes.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || b[1] == 0) &&
                       !(bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF);
    if (!utf16) {
        units = utf16FromUtf8(bytes);
        return;
    }
    units.resize(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units[i / 2] = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
}

// Reads the file as the direct loop does and compares each piece with the decoded units.
void checkReader(const fs::path& path, const std::u16string& units) {
    auto reader = ProgramFileReader::open(path);
    require(reader != nullptr, "reader refused a regular file");
    char16_t buffer[SOURCE_LINE_UNITS + 1];
    std::size_t at = 0;
    for (;;) {
        buffer[SOURCE_LINE_UNITS] = 0x5A5A; // must stay untouched
        if (!reader->readLine(buffer, SOURCE_LINE_UNITS)) break;
        require(buffer[SOURCE_LINE_UNITS] == 0x5A5A, "reader wrote past the buffer");
        const std::size_t n = std::char_traits<char16_t>::length(buffer);
        // A 0 unit inside a line shortens it for the interpreter, so compare through the buffer's units.
        std::size_t k = 0;
        while (k < static_cast<std::size_t>(SOURCE_LINE_UNITS - 1) && at + k < units.size()) {
            const char16_t u = units[at + k];
            require(buffer[k] == u, "reader gave another unit", static_cast<long>(at + k));
            ++k;
            if (u == 0x000A) break;
        }
        require(buffer[k] == 0, "reader's piece does not end where it should", static_cast<long>(at + k));
        require(n <= k, "piece longer than its units", static_cast<long>(n));
        at += k;
    }
    require(at == units.size(), "reader stopped early", static_cast<long>(at));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchFolder("file");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    clearScratchFolder();
    static std::string bytes;
    static std::u16string units;
    shapeFile(data, size, bytes);
    decode(bytes, units);
    const fs::path path = "in.tk";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    checkReader(path, units);
    // A file of 10 MB tries the reader's buffering; loading it would only repeat the same lines for long.
    if (bytes.size() > (1u << 20)) return 0;

    Machine m;
    Interpreter& interp = m.interp;
    InterpreterPeer peer{interp};
    interp.startInterpreter();
    const int how = (data[0] >> 2) & 3;
    std::memcpy(peer.sourceLine, u"in.tk", sizeof u"in.tk");
    peer.errorFlag = 1;
    peer.runRequest = how == 1   ? RunRequest::MergeFile
                      : how == 2 ? RunRequest::RunFile
                                 : RunRequest::LoadFile;
    interp.runUntilDirect();
    checkStore(interp);
    // A line with a byte-order mark inside does not list back to its bytes (see hasInnerMark).
    if (hasInnerMark(units)) return 0;
    checkListingRoundTrip(interp);

    // SAVE and LOAD again: the same program, byte for byte.
    require(peer.saveProgramFile(u"out.tk"), "saving into the scratch folder failed");
    Machine again;
    InterpreterPeer againPeer{again.interp};
    again.interp.startInterpreter();
    std::memcpy(againPeer.sourceLine, u"out.tk", sizeof u"out.tk");
    againPeer.errorFlag = 1;
    againPeer.runRequest = RunRequest::LoadFile;
    again.interp.runUntilDirect();
    require(againPeer.program.usedBytes == peer.program.usedBytes, "reloaded program has another size",
            againPeer.program.usedBytes);
    require(std::memcmp(againPeer.program.area, peer.program.area, peer.program.usedBytes) == 0,
            "reloaded program has other bytes");
    return 0;
}
