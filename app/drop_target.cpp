#include "app/drop_target.h"

#include <ole2.h>
#include <shellapi.h>

#include <deque>
#include <string>
#include <vector>

#include "app/event_hooks.h"
#include "platform/win32/wide_text.h"
#include "ui/ui_state.h"

namespace {

// Drops posted to the window and not yet taken, oldest first (UI thread only).
std::deque<std::vector<std::string>> gWaitingDrops;

void PostDrop(std::vector<std::string> paths) {
    gWaitingDrops.push_back(std::move(paths));
    // Without a window to post to, the drop is added here, late as that is.
    if (!gMainWindow || !PostMessageW(gMainWindow, DroppedFilesMessage, 0, 0)) TakeDroppedFiles();
}

// Lives for the whole run (static storage), so reference counting only has
// to keep OLE's bookkeeping balanced.
class FileDropTarget final : public IDropTarget {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDropTarget) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
    ULONG STDMETHODCALLTYPE Release() override { return References > 1 ? --References : 1; }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        AcceptsFiles = HoldsFiles(data);
        *effect = AcceptsFiles ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = AcceptsFiles ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        AcceptsFiles = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        *effect = DROPEFFECT_NONE;
        AcceptsFiles = false;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        if (!data || FAILED(data->GetData(&format, &medium))) return S_OK;
        std::vector<std::string> paths;
        if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring path(length + 1, L'\0');
                DragQueryFileW(drop, i, path.data(), length + 1);
                path.resize(length);
                paths.push_back(WideToProgramText(path));
            }
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
        PostDrop(std::move(paths));
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }

private:
    static bool HoldsFiles(IDataObject* data) {
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return data && data->QueryGetData(&format) == S_OK;
    }

    ULONG References = 1;
    bool AcceptsFiles = false;
};

FileDropTarget gFileDropTarget;

}  // namespace

void RegisterFileDropTarget(HWND window) {
    RegisterDragDrop(window, &gFileDropTarget);  // failure: files simply cannot be dropped
}

void RevokeFileDropTarget(HWND window) {
    RevokeDragDrop(window);
}

IDropTarget* FileDropTarget() { return &gFileDropTarget; }

void TakeDroppedFiles() {
    if (gWaitingDrops.empty()) return;
    std::vector<std::string> paths = std::move(gWaitingDrops.front());
    gWaitingDrops.pop_front();
    OnFilesDropped(std::move(paths));
}
