#pragma once
// Streams of bytes plain, gzip or zstd: written in the format a file's name asks for, read in
// the format their first bytes show.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vintrel {

enum class Compression { None, Gzip, Zstd };

// Gzip for a name ending in ".gz", zstd for ".zst", else none.
Compression CompressionForName(std::string_view fileName);

// Compresses what it is given and hands the result to `out`, in pieces.
class CompressingWriter {
  public:
    using Output = std::function<void(std::string_view)>;
    CompressingWriter(Compression compression, Output out);
    ~CompressingWriter();
    CompressingWriter(const CompressingWriter&) = delete;
    CompressingWriter& operator=(const CompressingWriter&) = delete;

    void write(std::string_view bytes);
    // Ends the stream; nothing may be written after it.
    void finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Reads a descriptor and gives its bytes, decompressed where they begin as a gzip or zstd
// stream does. Errors are thrown as std::runtime_error with the reason.
class DecompressingReader {
  public:
    explicit DecompressingReader(int fd);
    ~DecompressingReader();
    DecompressingReader(const DecompressingReader&) = delete;
    DecompressingReader& operator=(const DecompressingReader&) = delete;

    // Up to `capacity` bytes into `into`; 0 at the end of the stream.
    size_t read(char* into, size_t capacity);
    Compression compression() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vintrel
