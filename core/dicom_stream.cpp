// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_stream.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/file_io.h"

namespace snr {

offile_off_t FileProducer::read(void* buffer, offile_off_t length)
{
    auto* out = static_cast<unsigned char*>(buffer);
    offile_off_t done = 0;
    while (done < length && !eos()) {
        if (position_ < block_start_ || position_ >= block_start_ + block_length_) {
            const long long wanted = std::min<long long>(block_.size(), size_ - position_);
            if (!read_at(position_, block_.data(), wanted))
                break;
            block_start_ = position_;
            block_length_ = wanted;
        }
        const long long offset = position_ - block_start_;
        const long long count = std::min<long long>(length - done, block_length_ - offset);
        std::memcpy(out + done, block_.data() + offset, static_cast<std::size_t>(count));
        done += count;
        position_ += count;
    }
    return done;
}

offile_off_t FileProducer::skip(offile_off_t length)
{
    const offile_off_t count = std::min<offile_off_t>(length, avail());
    position_ += count;
    return count;
}

bool FileProducer::read_at(long long offset, void* buffer, long long length)
{
    if (offset >= block_start_ && offset + length <= block_start_ + block_length_) {
        std::memcpy(buffer, block_.data() + (offset - block_start_), static_cast<std::size_t>(length));
        return true;
    }
    const int failure = read_all_at(fd_, buffer, length, offset);
    if (failure > 0)
        error_ = failure;
    cut_ = cut_ || failure < 0;
    return failure == 0;
}

void FileProducer::raise_failure(const std::string& path) const
{
    if (error_ != 0)
        raise_io_error(error_, path);
    if (cut_)
        throw IoError(io_code::read_past_end);  // shorter now than when it was opened
}

namespace {

// Where a value that was not loaded can be read from, should anything ask for it.
class FileStreamFactory final : public DcmInputStreamFactory {
public:
    FileStreamFactory(int fd, long long size, long long offset) : fd_(fd), size_(size), offset_(offset) {}
    DcmInputStream* create() const override { return new FileStream(fd_, size_, offset_); }
    DcmInputStreamFactory* clone() const override { return new FileStreamFactory(*this); }
    DcmInputStreamFactoryType ident() const override { return DFT_DcmInputFileStreamFactory; }

private:
    int fd_;
    long long size_;
    long long offset_;
};

}  // namespace

FileStream::FileStream(int fd, long long size, long long offset) : DcmInputStream(&producer_), producer_(fd, size)
{
    skip(offset);
}

offile_off_t FileStream::read(void* buffer, offile_off_t length)
{
    // The parser's depth shows in the stack between the first read and this one.
    const char* frame = static_cast<const char*>(__builtin_frame_address(0));
    if (stack_base_ == nullptr)
        stack_base_ = frame;
    too_deep_ = too_deep_ || (frame < stack_base_ && static_cast<std::size_t>(stack_base_ - frame) > deepest_parse_stack);
    if (stopped())
        return 0;
    const offile_off_t done = DcmInputStream::read(buffer, length);
    count_items(static_cast<const unsigned char*>(buffer), done);
    return done;
}

void FileStream::putback()
{
    recent_ = 0;
    DcmInputStream::putback();
}

DcmInputStreamFactory* FileStream::newFactory() const
{
    if (currentProducer() != &producer_)
        return nullptr;
    return new FileStreamFactory(producer_.fd(), producer_.size(), tell());
}

// Item tags (FE FF 00 E0 little endian, FF FE E0 00 big endian) among the bytes handed out;
// bytes handed out again after a putback may count twice, which errs on the safe side. A tag
// may begin in an earlier read: the last four bytes roll over.
void FileStream::count_items(const unsigned char* bytes, offile_off_t count)
{
    const auto rolled = [&](offile_off_t end) {
        for (offile_off_t k = 0; k < end; ++k) {
            recent_ = recent_ << 8 | bytes[k];
            if (recent_ == 0xFEFF00E0u || recent_ == 0xFFFEE000u)
                ++items_;
        }
    };
    if (count < 8) {
        rolled(count);
        return;
    }
    rolled(3);  // tags that end within the first three bytes
    // Those that end later lie whole in these bytes; each has FE as its first or second byte.
    const unsigned char* end = bytes + count;
    for (const unsigned char* fe = bytes; (fe = static_cast<const unsigned char*>(std::memchr(fe, 0xFE, end - fe)));
         ++fe) {
        if (end - fe >= 4 && fe[1] == 0xFF && fe[2] == 0x00 && fe[3] == 0xE0)
            ++items_;
        if (fe > bytes && end - fe >= 3 && fe[-1] == 0xFF && fe[1] == 0xE0 && fe[2] == 0x00)
            ++items_;
    }
    recent_ = static_cast<std::uint32_t>(end[-4]) << 24 | end[-3] << 16 | end[-2] << 8 | end[-1];
}

}  // namespace snr
