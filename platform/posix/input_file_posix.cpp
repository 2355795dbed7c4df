#include "platform/input_file.h"
#include "platform/text_codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

// POSIX has no share modes: sharing is a Windows matter.
InputFile::InputFile(std::string_view path, FileSharing)
{
    if (path.empty())
        return;
    const std::string name(path);
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return;
    }
    Handle = fd;
    SizeBytes = static_cast<uint64_t>(info.st_size);
}

InputFile::InputFile(std::u16string_view path, FileSharing sharing)
    : InputFile(std::string_view(EncodeFromUtf16(path, CodePageUtf8)), sharing)
{
}

void InputFile::Close()
{
    if (Handle != InvalidHandle)
        ::close(static_cast<int>(std::exchange(Handle, InvalidHandle)));
    SizeBytes = 0;
}

size_t InputFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const
{
    if (!IsOpen() || offset >= SizeBytes)
        return 0;
    // Never ask for bytes past the end: a short read would cost a second call.
    if (out.size() > SizeBytes - offset)
        out = out.first(static_cast<size_t>(SizeBytes - offset));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(static_cast<int>(Handle), out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool PathExists(std::string_view path)
{
    if (path.empty())
        return false;
    struct stat info {};
    return ::stat(std::string(path).c_str(), &info) == 0;
}
