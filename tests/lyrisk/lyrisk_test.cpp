// lyrisk.dll loaded by path and bound by its exported names, as the player
// binds it, reading real lyric files. The DLL's path is the first argument.

#include "lyrisk/lyrisk_abi.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring gDllPath;

// Deletes a folder and everything in it; path carries the \\?\ prefix, so
// depth is no limit.
void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\" + name);
            else
                DeleteFileW((path + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// Unix paths from the build (the Windows build runs under Wine) live on drive Z:.
std::wstring WindowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.starts_with("\\"))
        path = "Z:" + path;
    return std::wstring(path.begin(), path.end());
}

class Lyrisk {
public:
    Lyrisk()
    {
        Module = LoadLibraryW(gDllPath.c_str());
        if (Module == nullptr)
            return;
        GetLrcData = reinterpret_cast<ZoGetLrcDataFunction>(
            reinterpret_cast<void*>(GetProcAddress(Module, LYRISK_GET_LRC_DATA_NAME)));
        ClearLrcData = reinterpret_cast<ZoClearLrcDataFunction>(
            reinterpret_cast<void*>(GetProcAddress(Module, LYRISK_CLEAR_LRC_DATA_NAME)));
    }
    ~Lyrisk()
    {
        if (Module != nullptr)
            FreeLibrary(Module);
    }
    Lyrisk(const Lyrisk&) = delete;
    Lyrisk& operator=(const Lyrisk&) = delete;

    bool Bound() const { return GetLrcData != nullptr && ClearLrcData != nullptr; }

    HMODULE Module = nullptr;
    ZoGetLrcDataFunction GetLrcData = nullptr;
    ZoClearLrcDataFunction ClearLrcData = nullptr;
};

struct Entry {
    float Time;
    float Duration;
    std::wstring Text;
    int32_t JoinOffset;
};

// Calls the pair as the player does: copies the entries, then hands the list back.
struct Result {
    int32_t Count = -1;
    std::vector<Entry> Entries;
};

class LyriskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Library.Bound()) << "cannot load or bind " << std::string(gDllPath.begin(), gDllPath.end());
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(length, 0u);
        Folder = std::wstring(temp, length) + L"tamber_lyrisk_test";
        RemoveTree(L"\\\\?\\" + Folder);
        ASSERT_TRUE(CreateDirectoryW(Folder.c_str(), nullptr));
    }

    void TearDown() override { RemoveTree(L"\\\\?\\" + Folder); }

    // Writes name.lrc into the scratch folder; returns the path of name.mp3 beside it.
    std::wstring WriteLyrics(const std::wstring& name, std::string_view bytes) const
    {
        WriteFileBytes(Folder + L"\\" + name + L".lrc", bytes);
        return Folder + L"\\" + name + L".mp3";
    }

    static void WriteFileBytes(const std::wstring& path, std::string_view bytes)
    {
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(file);
    }

    Result Read(const std::wstring& audioPath, uint32_t codePage = 0, int32_t textMode = 0) const
    {
        Result result;
        auto* const untouched = reinterpret_cast<LrcEntryList*>(static_cast<uintptr_t>(0x1234));
        LrcEntryList* list = untouched;
        result.Count = Library.GetLrcData(audioPath.c_str(), codePage, textMode, &list);
        if (result.Count < 0) {
            EXPECT_EQ(list, untouched) << "a failed call must leave the list pointer alone";
            return result;
        }
        EXPECT_NE(list, nullptr);
        if (list == nullptr)
            return result;
        EXPECT_EQ(list->Count, result.Count);
        LrcEntry* const* entries = list->Entries;
        for (int32_t i = 0; i < list->Count; ++i) {
            const LrcEntry& entry = *entries[i];
            EXPECT_EQ(entry.Reserved, -1);
            result.Entries.push_back({entry.Time, entry.Duration, entry.Text, entry.JoinOffset});
        }
        EXPECT_NE(Library.ClearLrcData(list), 0);
        return result;
    }

    Lyrisk Library;
    std::wstring Folder;
};

void ExpectFixtureEntries(const Result& result)
{
    ASSERT_EQ(result.Count, 3);
    const Entry expected[] = {
        {1.0f, 2.5f, L"\u7B2C\u4E00\u884C\r\nFirst line", 3},  // 第一行 and its translation
        {3.5f, 1.75f, L"\u7B2C\u4E8C\u884C", -1},              // 第二行
        {5.25f, -1.0f, L"\u7ED3\u675F", -1},                   // 结束
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(result.Entries[i].Time, expected[i].Time);
        EXPECT_FLOAT_EQ(result.Entries[i].Duration, expected[i].Duration);
        EXPECT_EQ(result.Entries[i].Text, expected[i].Text);
        EXPECT_EQ(result.Entries[i].JoinOffset, expected[i].JoinOffset);
    }
}

}  // namespace

// The full export table is checked by the lyrisk_exports test (objdump);
// here: the decorated names bind (SetUp) and the plain ones do not.
TEST_F(LyriskTest, BindsOnlyByTheDecoratedNames)
{
    for (const char* name : {"ZoGetLrcData", "ZoClearLrcData", "ZoGetLrcData@16", "_ZoGetLrcData"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(GetProcAddress(Library.Module, name), nullptr);
    }
}

TEST_F(LyriskTest, ReadsTheCommittedFixturesInEveryEncoding)
{
    struct Case {
        const char* File;
        uint32_t CodePage;
        int32_t TextMode;
    };
    const Case cases[] = {
        {"gbk_no_mark", 0, LYRISK_TEXT_CODE_PAGE},  // the ANSI code page is 936 here
        {"gbk_no_mark", 936, LYRISK_TEXT_CODE_PAGE},
        {"utf8_mark", 0, LYRISK_TEXT_CODE_PAGE},
        {"utf8_mark", 1252, 2},  // a mark decides whatever the text mode says
        {"utf16le_mark", 0, LYRISK_TEXT_CODE_PAGE},
        {"utf16le_mark", 0, LYRISK_TEXT_UTF8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.File) + " " + std::to_string(c.CodePage) + " " + std::to_string(c.TextMode));
        const std::wstring audio =
            WindowsPath(std::string(TAMBER_SOURCE_DIR) + "/tests/fixtures/lyrics/" + c.File + ".flac");
        ExpectFixtureEntries(Read(audio, c.CodePage, c.TextMode));
    }
}

TEST_F(LyriskTest, ReadsFilesWithoutMarkByTextMode)
{
    const std::string utf8 = "[00:01.00]\xE4\xB8\xAD";  // 中
    const std::string utf16("[\0" "0\0" ":\0" "1\0" "]\0" "\x2D\x4E", 12);  // [0:1]中
    struct Case {
        std::wstring_view Name;
        std::string_view Bytes;
        uint32_t CodePage;
        int32_t TextMode;
    };
    const Case cases[] = {
        {L"utf8", utf8, 936, LYRISK_TEXT_UTF8},
        {L"utf16", utf16, 936, 2},
        {L"utf16_negative_mode", utf16, 936, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Name.begin(), c.Name.end()));
        const Result result = Read(WriteLyrics(std::wstring(c.Name), c.Bytes), c.CodePage, c.TextMode);
        ASSERT_EQ(result.Count, 1);
        EXPECT_EQ(result.Entries[0].Text, L"\u4E2D");
        EXPECT_EQ(result.Entries[0].Time, 1.0f);
    }
}

TEST_F(LyriskTest, LineEndsMayMix)
{
    const std::string_view files[] = {
        "[00:01]a\r\n[00:02]b\r\n[00:03]c\r\n",
        "[00:01]a\n[00:02]b\n[00:03]c",
        "[00:01]a\r[00:02]b\r[00:03]c\r",
        "[00:01]a\r[00:02]b\n\n[00:03]c\r\n\r\n",
    };
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(i);
        const Result result = Read(WriteLyrics(L"ends" + std::to_wstring(i), files[i]));
        ASSERT_EQ(result.Count, 3);
        EXPECT_EQ(result.Entries[0].Text, L"a");
        EXPECT_EQ(result.Entries[1].Text, L"b");
        EXPECT_EQ(result.Entries[2].Text, L"c");
        EXPECT_EQ(result.Entries[0].Duration, 1.0f);
        EXPECT_EQ(result.Entries[2].Duration, -1.0f);
    }
}

TEST_F(LyriskTest, NoLyricsGiveMinusOne)
{
    EXPECT_EQ(Read(Folder + L"\\missing.mp3").Count, -1);
    EXPECT_EQ(Read(WriteLyrics(L"empty", "")).Count, -1);
    EXPECT_EQ(Read(WriteLyrics(L"codepage", "[00:01]a"), 12345).Count, -1);  // no such code page
    EXPECT_TRUE(CreateDirectoryW((Folder + L"\\folder.lrc").c_str(), nullptr));
    EXPECT_EQ(Read(Folder + L"\\folder.mp3").Count, -1);

    LrcEntryList* list = nullptr;
    EXPECT_EQ(Library.GetLrcData(nullptr, 0, 0, &list), -1);
    EXPECT_EQ(Library.GetLrcData((Folder + L"\\missing.mp3").c_str(), 0, 0, nullptr), -1);
    EXPECT_EQ(Library.ClearLrcData(nullptr), 0);
}

TEST_F(LyriskTest, FilesWithoutTimeTagsGiveAnEmptyList)
{
    const Result result = Read(WriteLyrics(L"tags", "[ti:Song]\r\n[offset:+500]\r\nplain text\r\n"));
    EXPECT_EQ(result.Count, 0);  // Read also released the empty list
}

TEST_F(LyriskTest, AudioPathWithoutExtension)
{
    WriteLyrics(L"noext", "[00:02]x");
    EXPECT_EQ(Read(Folder + L"\\noext").Count, 1);
    EXPECT_EQ(Read(Folder + L"\\noext.some.ext").Count, -1);  // looks for noext.some.lrc
}

TEST_F(LyriskTest, ReadsLyricsAnotherProgramHasOpenForWriting)
{
    const std::wstring audio = WriteLyrics(L"busy", "[00:01]a");
    const HANDLE writer = CreateFileW((Folder + L"\\busy.lrc").c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(audio).Count, 1);
    CloseHandle(writer);
}

TEST_F(LyriskTest, PathsLongerThanMaxPath)
{
    std::wstring deep = L"\\\\?\\" + Folder;
    while (deep.size() < 400) {
        deep += L"\\a_rather_long_folder_name_\u6587\u4EF6\u5939";  // 文件夹
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
    }
    WriteFileBytes(deep + L"\\song.lrc", "[00:01.5]long");
    const std::wstring prefixed = deep + L"\\song.mp3";
    const std::wstring plain = prefixed.substr(4);
    ASSERT_GT(plain.size(), static_cast<size_t>(MAX_PATH));
    for (const std::wstring& audio : {prefixed, plain}) {
        SCOPED_TRACE(audio.size());
        const Result result = Read(audio);
        ASSERT_EQ(result.Count, 1);
        EXPECT_EQ(result.Entries[0].Text, L"long");
        EXPECT_EQ(result.Entries[0].Time, 1.5f);
    }
}

TEST_F(LyriskTest, ListLayoutIsCountThenPointers)
{
    LrcEntryList* list = nullptr;
    const std::wstring audio = WriteLyrics(L"layout", "[00:02]b\n[00:01]a\n[00:02]c");
    ASSERT_EQ(Library.GetLrcData(audio.c_str(), 0, 0, &list), 2);
    const auto* block = reinterpret_cast<const uint8_t*>(list);
    int32_t count = 0;
    std::memcpy(&count, block, sizeof count);
    EXPECT_EQ(count, 2);
    LrcEntry* first = nullptr;
    std::memcpy(&first, block + offsetof(LrcEntryList, Entries), sizeof first);
    EXPECT_EQ(first->Time, 1.0f);
    EXPECT_STREQ(first->Text, L"a");
    EXPECT_EQ(first->JoinOffset, -1);
    EXPECT_EQ(list->Entries[1]->JoinOffset, 1);
    EXPECT_STREQ(list->Entries[1]->Text, L"b\r\nc");
    // The block is the process heap's; the caller may ask its size but not free it.
    EXPECT_GE(HeapSize(GetProcessHeap(), 0, list), offsetof(LrcEntryList, Entries) + 2 * sizeof(LrcEntry*));
    EXPECT_NE(Library.ClearLrcData(list), 0);
}

TEST_F(LyriskTest, RepeatedLoadsGiveTheSameEntries)
{
    std::string file;
    for (int i = 0; i < 2000; ++i) {
        file.append("[").append(std::to_string(i / 60)).append(":").append(std::to_string(i % 60));
        file.append(".25]line ").append(std::to_string(i)).append("\r\n");
    }
    const std::wstring audio = WriteLyrics(L"many", file);
    for (int round = 0; round < 20; ++round) {
        const Result result = Read(audio);
        ASSERT_EQ(result.Count, 2000);
        EXPECT_EQ(result.Entries[1999].Text, L"line 1999");
        EXPECT_FLOAT_EQ(result.Entries[1999].Time, 33 * 60 + 19.25f);
    }
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: lyrisk_tests path\\to\\lyrisk.dll\n");
        return 2;
    }
    gDllPath = WindowsPath(argv[1]);
    return RUN_ALL_TESTS();
}
