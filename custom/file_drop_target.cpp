#include "custom/file_drop_target.h"

#include <shellapi.h>

namespace kivora {
namespace {

FORMATETC FileListFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

std::vector<std::wstring> FilesOf(IDataObject* data) {
  std::vector<std::wstring> files;
  FORMATETC format = FileListFormat();
  STGMEDIUM medium{};
  if (!data || FAILED(data->GetData(&format, &medium))) return files;
  if (auto* drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT index = 0; index < count; ++index) {
      std::wstring path(DragQueryFileW(drop, index, nullptr, 0), L'\0');
      // Long paths are longer than MAX_PATH: the length asked first is the one used.
      DragQueryFileW(drop, index, path.data(), static_cast<UINT>(path.size() + 1));
      files.push_back(std::move(path));
    }
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return files;
}

}  // namespace

FileDropTarget::FileDropTarget(HWND window, Accepts accepts, Dropped dropped, Later later)
    : window_(window), accepts_(std::move(accepts)), dropped_(std::move(dropped)), later_(std::move(later)) {
  // Drag and drop needs OLE on this thread, not COM alone.
  oleStarted_ = SUCCEEDED(OleInitialize(nullptr));
  registered_ = oleStarted_ && SUCCEEDED(RegisterDragDrop(window_, this));
}

FileDropTarget::~FileDropTarget() {
  if (registered_) RevokeDragDrop(window_);
  if (oleStarted_) OleUninitialize();
}

HRESULT FileDropTarget::QueryInterface(REFIID id, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

DWORD FileDropTarget::EffectAt(POINTL point) const {
  if (!carriesFiles_) return DROPEFFECT_NONE;
  bool accepted = false;
  try {
    accepted = accepts_(POINT{point.x, point.y});
  } catch (...) {
  }
  return accepted ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

HRESULT FileDropTarget::DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect) {
  FORMATETC format = FileListFormat();
  carriesFiles_ = data && data->QueryGetData(&format) == S_OK;
  if (effect) *effect = EffectAt(point);
  return S_OK;
}

HRESULT FileDropTarget::DragOver(DWORD, POINTL point, DWORD* effect) {
  if (effect) *effect = EffectAt(point);
  return S_OK;
}

HRESULT FileDropTarget::DragLeave() {
  carriesFiles_ = false;
  return S_OK;
}

HRESULT FileDropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) {
  const DWORD result = EffectAt(point);
  carriesFiles_ = false;
  if (effect) *effect = result;
  if (result == DROPEFFECT_NONE) return S_OK;
  try {
    // The file manager waits until Drop returns: the slots and their message come after.
    later_([this, files = FilesOf(data), at = POINT{point.x, point.y}]() mutable { dropped_(std::move(files), at); });
  } catch (...) {
  }
  return S_OK;
}

}  // namespace kivora
