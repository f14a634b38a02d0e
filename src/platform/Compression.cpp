#include "Compression.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unistd.h>
#include <vector>
#include <zlib.h>
#include <zstd.h>

namespace vintrel {

namespace {

constexpr size_t kPiece = 1 << 18;

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

Compression CompressionForName(std::string_view fileName) {
    if (EndsWith(fileName, ".gz")) return Compression::Gzip;
    if (EndsWith(fileName, ".zst")) return Compression::Zstd;
    return Compression::None;
}

struct CompressingWriter::State {
    Compression compression;
    Output out;
    z_stream gzip{};
    ZSTD_CStream* zstd = nullptr;
    std::vector<char> buffer = std::vector<char>(kPiece);
    bool finished = false;

    ~State() {
        if (compression == Compression::Gzip) deflateEnd(&gzip);
        ZSTD_freeCStream(zstd);
    }

    void gzipStep(std::string_view bytes, int flush) {
        gzip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        gzip.avail_in = static_cast<uInt>(bytes.size());
        int result = Z_OK;
        do {
            gzip.next_out = reinterpret_cast<Bytef*>(buffer.data());
            gzip.avail_out = static_cast<uInt>(buffer.size());
            result = deflate(&gzip, flush);
            if (result == Z_STREAM_ERROR) throw std::runtime_error("Compression failed");
            const size_t made = buffer.size() - gzip.avail_out;
            if (made > 0) out(std::string_view(buffer.data(), made));
        } while (gzip.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
    }

    void zstdStep(std::string_view bytes, ZSTD_EndDirective end) {
        ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
        for (;;) {
            ZSTD_outBuffer outBuffer{buffer.data(), buffer.size(), 0};
            const size_t left = ZSTD_compressStream2(zstd, &outBuffer, &in, end);
            if (ZSTD_isError(left))
                throw std::runtime_error(std::string("Compression failed: ") +
                                         ZSTD_getErrorName(left));
            if (outBuffer.pos > 0) out(std::string_view(buffer.data(), outBuffer.pos));
            const bool done = end == ZSTD_e_end ? left == 0 : in.pos == in.size;
            if (done) return;
        }
    }
};

CompressingWriter::CompressingWriter(Compression compression, Output out)
    : state_(std::make_unique<State>()) {
    state_->compression = compression;
    state_->out = std::move(out);
    if (compression == Compression::Gzip) {
        // 15 window bits, +16: a gzip header and trailer around the deflate stream.
        if (deflateInit2(&state_->gzip, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("Compression failed");
    } else if (compression == Compression::Zstd) {
        state_->zstd = ZSTD_createCStream();
        if (!state_->zstd) throw std::bad_alloc();
        ZSTD_CCtx_setParameter(state_->zstd, ZSTD_c_compressionLevel, 3);
    }
}

CompressingWriter::~CompressingWriter() = default;

void CompressingWriter::write(std::string_view bytes) {
    if (bytes.empty()) return;
    switch (state_->compression) {
    case Compression::None:
        state_->out(bytes);
        break;
    case Compression::Gzip:
        state_->gzipStep(bytes, Z_NO_FLUSH);
        break;
    case Compression::Zstd:
        state_->zstdStep(bytes, ZSTD_e_continue);
        break;
    }
}

void CompressingWriter::finish() {
    if (state_->finished) return;
    state_->finished = true;
    if (state_->compression == Compression::Gzip) state_->gzipStep({}, Z_FINISH);
    if (state_->compression == Compression::Zstd) state_->zstdStep({}, ZSTD_e_end);
}

struct DecompressingReader::State {
    int fd = -1;
    Compression compression = Compression::None;
    std::vector<char> input = std::vector<char>(kPiece);
    size_t inputStart = 0, inputEnd = 0;
    bool inputEnded = false;
    z_stream gzip{};
    bool gzipOpen = false;
    bool gzipMemberEnded = false;
    ZSTD_DStream* zstd = nullptr;
    size_t zstdLeft = 0; // what the frame still expects; 0 between frames

    ~State() {
        if (gzipOpen) inflateEnd(&gzip);
        ZSTD_freeDStream(zstd);
    }

    // More input, after what is left; false at its end.
    bool fill() {
        if (inputEnded) return false;
        if (inputStart > 0) {
            std::memmove(input.data(), input.data() + inputStart, inputEnd - inputStart);
            inputEnd -= inputStart;
            inputStart = 0;
        }
        for (;;) {
            const ssize_t got = ::read(fd, input.data() + inputEnd, input.size() - inputEnd);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw std::runtime_error(std::strerror(errno));
            if (got == 0) {
                inputEnded = true;
                return false;
            }
            inputEnd += static_cast<size_t>(got);
            return true;
        }
    }
    size_t available() const { return inputEnd - inputStart; }
};

DecompressingReader::DecompressingReader(int fd) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.fd = fd;
    while (s.available() < 4 && s.fill()) {
    }
    const auto* first = reinterpret_cast<const unsigned char*>(s.input.data());
    if (s.available() >= 2 && first[0] == 0x1F && first[1] == 0x8B) {
        s.compression = Compression::Gzip;
        if (inflateInit2(&s.gzip, 15 + 16) != Z_OK)
            throw std::runtime_error("Decompression failed");
        s.gzipOpen = true;
    } else if (s.available() >= 4 && first[0] == 0x28 && first[1] == 0xB5 && first[2] == 0x2F &&
               first[3] == 0xFD) {
        s.compression = Compression::Zstd;
        s.zstd = ZSTD_createDStream();
        if (!s.zstd) throw std::bad_alloc();
    }
}

DecompressingReader::~DecompressingReader() = default;

Compression DecompressingReader::compression() const {
    return state_->compression;
}

size_t DecompressingReader::read(char* into, size_t capacity) {
    State& s = *state_;
    for (;;) {
        if (s.available() == 0 && !s.fill()) {
            if (s.compression == Compression::Gzip && !s.gzipMemberEnded)
                throw std::runtime_error("The gzip stream ends before its end");
            if (s.compression == Compression::Zstd && s.zstdLeft != 0)
                throw std::runtime_error("The zstd stream ends before its end");
            return 0;
        }
        switch (s.compression) {
        case Compression::None: {
            const size_t n = std::min(capacity, s.available());
            std::memcpy(into, s.input.data() + s.inputStart, n);
            s.inputStart += n;
            return n;
        }
        case Compression::Gzip: {
            if (s.gzipMemberEnded) { // another member follows
                if (inflateReset(&s.gzip) != Z_OK) throw std::runtime_error("Decompression failed");
                s.gzipMemberEnded = false;
            }
            s.gzip.next_in = reinterpret_cast<Bytef*>(s.input.data() + s.inputStart);
            s.gzip.avail_in = static_cast<uInt>(s.available());
            s.gzip.next_out = reinterpret_cast<Bytef*>(into);
            s.gzip.avail_out = static_cast<uInt>(capacity);
            const int result = inflate(&s.gzip, Z_NO_FLUSH);
            s.inputStart = s.inputEnd - s.gzip.avail_in;
            if (result == Z_STREAM_END) {
                s.gzipMemberEnded = true;
            } else if (result != Z_OK && result != Z_BUF_ERROR) {
                throw std::runtime_error(std::string("The gzip stream is damaged: ") +
                                         (s.gzip.msg ? s.gzip.msg : "unknown error"));
            }
            const size_t made = capacity - s.gzip.avail_out;
            if (made > 0) return made;
            break;
        }
        case Compression::Zstd: {
            ZSTD_inBuffer in{s.input.data() + s.inputStart, s.available(), 0};
            ZSTD_outBuffer out{into, capacity, 0};
            const size_t left = ZSTD_decompressStream(s.zstd, &out, &in);
            s.inputStart += in.pos;
            if (ZSTD_isError(left))
                throw std::runtime_error(std::string("The zstd stream is damaged: ") +
                                         ZSTD_getErrorName(left));
            s.zstdLeft = left;
            if (out.pos > 0) return out.pos;
            break;
        }
        }
    }
}

} // namespace vintrel
