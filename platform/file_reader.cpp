#include "platform/file_reader.h"

#include <algorithm>
#include <cstring>

size_t FileReader::Read(std::span<uint8_t> out)
{
    size_t done = 0;
    while (done < out.size() && Pos < Size()) {
        if (Pos >= BufferStart && Pos < BufferStart + BufferFill) {
            const size_t offset = static_cast<size_t>(Pos - BufferStart);
            const size_t n = std::min(out.size() - done, BufferFill - offset);
            std::memcpy(out.data() + done, Buffer.data() + offset, n);
            done += n;
            Pos += n;
            continue;
        }
        const size_t wanted = out.size() - done;
        if (wanted >= BufferBytes) {  // large reads bypass the buffer
            const size_t n = File.ReadAt(Pos, out.subspan(done));
            if (n == 0)
                break;
            done += n;
            Pos += n;
            continue;
        }
        BufferStart = Pos;
        const size_t fill = std::max(wanted, NextFillBytes);  // wanted < BufferBytes here
        BufferFill = File.ReadAt(Pos, std::span(Buffer).first(std::min(fill, BufferBytes)));
        NextFillBytes = std::min(NextFillBytes * 2, BufferBytes);
        if (BufferFill == 0)
            break;
    }
    return done;
}

bool FileReader::ReadExact(std::span<uint8_t> out)
{
    if (out.size() > Remaining())
        return false;
    const uint64_t start = Pos;
    if (Read(out) == out.size())
        return true;
    Pos = start;
    return false;
}

std::vector<uint8_t> FileReader::ReadBytes(uint64_t count)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(count, Remaining())));
    bytes.resize(Read(bytes));
    return bytes;
}
