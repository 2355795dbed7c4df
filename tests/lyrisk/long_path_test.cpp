#include "lyrisk/long_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A folder chain long enough to pass MAX_PATH, with the given separator.
std::u16string LongFolders(std::u16string_view separator)
{
    std::u16string folders;
    for (int i = 0; i < 40; ++i)
        folders += std::u16string(separator) + u"folder" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
    return folders;
}

}  // namespace

TEST(LongPath, LongPathsGetTheExtendedPrefix)
{
    const std::u16string folders = LongFolders(u"\\");
    ASSERT_GT(folders.size(), 260u);
    struct Case {
        const char* Name;
        std::u16string Path;
        std::u16string Expected;
    };
    const Case cases[] = {
        {"drive path", u"C:" + folders + u"\\a.lrc", u"\\\\?\\C:" + folders + u"\\a.lrc"},
        {"dots are resolved first", u"C:\\x\\..\\.\\y" + folders + u"\\a.lrc", u"\\\\?\\C:\\y" + folders + u"\\a.lrc"},
        {"forward slashes", u"C:" + LongFolders(u"/") + u"/a.lrc", u"\\\\?\\C:" + folders + u"\\a.lrc"},
        {"UNC path", u"\\\\server\\share" + folders + u"\\a.lrc", u"\\\\?\\UNC\\server\\share" + folders + u"\\a.lrc"},
        {"already extended", u"\\\\?\\C:" + folders + u"\\a.lrc", u"\\\\?\\C:" + folders + u"\\a.lrc"},
        {"short path", u"C:\\Music\\a.lrc", u"C:\\Music\\a.lrc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ExtendedLengthPath(c.Path), c.Expected);
    }
}
