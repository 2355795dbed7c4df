#include "app/file_dialogs.h"

#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "platform/win32/wide_text.h"
#include "playback/logic/playback_rules.h"

namespace {

constexpr DWORD OpenResultUnits = 65536;
constexpr size_t FolderResultUnits = 1024;

}  // namespace

std::string OpenFileDialog(HWND owner, std::string_view title, std::string_view filter, DWORD flags) {
    const std::wstring filterText = ProgramTextToWide(DialogFilter(filter));  // NUL bytes stay NUL units
    const std::wstring titleText = ProgramTextToWide(title);
    std::vector<wchar_t> result(OpenResultUnits, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterText.c_str();
    dialog.lpstrFile = result.data();
    dialog.nMaxFile = OpenResultUnits;
    dialog.lpstrTitle = titleText.c_str();
    dialog.Flags = flags;
    if (!GetOpenFileNameW(&dialog)) return {};
    // The last unit stays NUL whatever the dialog wrote.
    const std::string resultText = WideToProgramText(std::wstring_view(result.data(), result.size() - 1));
    const std::vector<std::string> paths = DialogResultPaths(resultText);
    return paths.empty() ? std::string() : paths.front();
}

std::string ChooseFolder(HWND owner, std::string_view title) {
    std::wstring buffer(FolderResultUnits, L' ');
    const std::wstring titleText = ProgramTextToWide(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = titleText.c_str();
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
    if (!item) return {};
    // MAX_PATH is what the W form writes at most; the buffer holds more.
    const BOOL found = SHGetPathFromIDListW(item, buffer.data());
    CoTaskMemFree(item);
    if (!found) return {};
    return WideToProgramText(std::wstring_view(buffer).substr(0, buffer.find(L'\0')));
}
