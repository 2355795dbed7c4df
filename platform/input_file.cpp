#include "platform/input_file.h"

#include <string>
#include <utility>

InputFile::~InputFile() { Close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : Handle(std::exchange(other.Handle, InvalidHandle)), SizeBytes(std::exchange(other.SizeBytes, 0))
{
}

InputFile& InputFile::operator=(InputFile&& other) noexcept
{
    if (this != &other) {
        Close();
        Handle = std::exchange(other.Handle, InvalidHandle);
        SizeBytes = std::exchange(other.SizeBytes, 0);
    }
    return *this;
}

bool ReadWholeFile(std::string_view path, std::string& bytes, uint64_t maxBytes)
{
    bytes.clear();
    const InputFile file(path);
    if (!file.IsOpen() || file.Size() > maxBytes)
        return false;
    bytes.resize(static_cast<size_t>(file.Size()));
    const size_t read = file.ReadAt(0, {reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()});
    bytes.resize(read);
    return read == file.Size();
}
