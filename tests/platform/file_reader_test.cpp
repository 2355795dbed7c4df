#include "platform/file_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <vector>

namespace {

std::string WriteTempFile(const std::vector<uint8_t>& bytes)
{
    const auto path = std::filesystem::temp_directory_path() / "tamber_file_reader_test.bin";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path.string();
}

}  // namespace

TEST(FileReader, SequentialReadsCrossBufferBoundaries)
{
    std::vector<uint8_t> bytes(200000);
    std::iota(bytes.begin(), bytes.end(), 0);
    const std::string path = WriteTempFile(bytes);
    const InputFile file(path);
    ASSERT_TRUE(file.IsOpen());
    FileReader reader(file);
    EXPECT_EQ(reader.Size(), bytes.size());
    reader.Seek(65530);
    uint8_t chunk[12];
    ASSERT_TRUE(reader.ReadExact(chunk));
    for (size_t i = 0; i < sizeof chunk; ++i)
        EXPECT_EQ(chunk[i], static_cast<uint8_t>(65530 + i));
    EXPECT_EQ(reader.Position(), 65542u);
    std::remove(path.c_str());
}

TEST(FileReader, ReadsStopAtTheEnd)
{
    const std::string path = WriteTempFile({1, 2, 3});
    const InputFile file(path);
    FileReader reader(file);
    uint8_t four[4];
    EXPECT_FALSE(reader.ReadExact(four));
    EXPECT_EQ(reader.Position(), 0u);
    EXPECT_EQ(reader.Read(four), 3u);
    reader.Skip(1000);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.ReadBytes(1u << 30).size(), 0u);  // never more than the file holds
    std::remove(path.c_str());
}

TEST(FileReader, MissingFileIsNotOpen)
{
    const InputFile file(std::string_view("no/such/file.bin"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_FALSE(PathExists("no/such/file.bin"));
}
