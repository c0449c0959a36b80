// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcerror.h>
#include <dcmtk/dcmdata/dcistrma.h>

namespace snr {

// The open file as DCMTK's parser sees it: read in blocks through the system-call seam, never
// beyond the size it had when it was opened.
class FileProducer final : public DcmProducer {
public:
    FileProducer(int fd, long long size) : fd_(fd), size_(size) {}

    OFBool good() const override { return error_ == 0 && !cut_; }
    OFCondition status() const override { return good() ? EC_Normal : EC_InvalidStream; }
    OFBool eos() override { return !good() || position_ >= size_; }
    offile_off_t avail() override { return good() ? size_ - position_ : 0; }
    offile_off_t read(void* buffer, offile_off_t length) override;
    offile_off_t skip(offile_off_t length) override;
    void putback(offile_off_t count) override { position_ -= count; }

    long long position() const { return position_; }
    int fd() const { return fd_; }
    long long size() const { return size_; }

    // Reads `length` bytes at `offset`, whole; false when the file failed or ended early.
    // Bytes the parser has just been handed come from the block it was handed them from.
    bool read_at(long long offset, void* buffer, long long length);

    // Raises the I/O error that stopped the reading, if one did.
    void raise_failure(const std::string& path) const;

private:
    int fd_;
    long long size_;
    long long position_ = 0;
    int error_ = 0;
    bool cut_ = false;
    std::array<unsigned char, 4096> block_;
    long long block_start_ = 0;
    long long block_length_ = 0;
};

// DCMTK parses nested sequences by recursion, a level per item: a file nesting items some
// thousands deep would exhaust the stack. The stream ends once the parse has gone this deep
// into the stack or has been handed this many items (each costs memory), counted in the bytes
// it reads, after any decompression.
inline constexpr std::size_t deepest_parse_stack = 512 * 1024;
inline constexpr int most_items = 200000;

// Values longer than this are not loaded while parsing; none that the reader looks at comes
// near it. They are read from the file when asked for (Pixel Data fragments, for one).
inline constexpr Uint32 longest_loaded_value = 4096;

class FileStream final : public DcmInputStream {
public:
    FileStream(int fd, long long size, long long offset = 0);
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    OFBool good() const override { return !stopped() && DcmInputStream::good(); }
    OFCondition status() const override { return stopped() ? EC_InvalidStream : DcmInputStream::status(); }
    OFBool eos() override { return stopped() || DcmInputStream::eos(); }
    offile_off_t avail() override { return stopped() ? 0 : DcmInputStream::avail(); }
    offile_off_t read(void* buffer, offile_off_t length) override;
    void putback() override;
    // Where a value that was not loaded can be read from; nothing behind a decompression
    // filter, whose positions are not the file's (DCMTK loads such values at once).
    DcmInputStreamFactory* newFactory() const override;

    FileProducer& producer() { return producer_; }
    bool too_deep() const { return too_deep_; }
    bool too_many_items() const { return items_ > most_items; }

private:
    bool stopped() const { return too_deep_ || items_ > most_items; }
    void count_items(const unsigned char* bytes, offile_off_t count);

    FileProducer producer_;
    const char* stack_base_ = nullptr;
    bool too_deep_ = false;
    std::uint32_t recent_ = 0;
    int items_ = 0;
};

}  // namespace snr
