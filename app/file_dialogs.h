#pragma once
// The open-file and folder dialogs (the W forms; texts are program text).

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <string_view>

// UI thread. The chosen path, or empty text when the dialog is cancelled.
std::string OpenFileDialog(HWND owner, std::string_view title = "\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87\xE4\xBB\xB6",  // 打开文件
                           std::string_view filter =
                               "\xE6\x89\x80\xE6\x9C\x89\xE6\x96\x87\xE4\xBB\xB6\xEF\xBC\x88*.*\xEF\xBC\x89|*.*",  // 所有文件（*.*）|*.*
                           DWORD flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
// Any thread with COM initialised. The chosen folder, or empty text when the
// dialog is cancelled.
std::string ChooseFolder(HWND owner, std::string_view title);
