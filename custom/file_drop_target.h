// The main window as a target for files dragged from a file manager (OLE drag and
// drop, so that the pointer can show a refusal where a drop would do nothing).
// Registered while the object lives; the window must outlive it.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace kivora {

class FileDropTarget final : public IDropTarget {
 public:
  // accepts: whether files dropped at this screen point would be taken (the
  // pointer shows a copy or a refusal). dropped: the files' full paths and the
  // point, run after the drop has finished, from the event loop.
  using Accepts = std::function<bool(POINT screen)>;
  using Dropped = std::function<void(std::vector<std::wstring> files, POINT screen)>;
  using Later = std::function<void(std::function<void()>)>;

  FileDropTarget(HWND window, Accepts accepts, Dropped dropped, Later later);
  ~FileDropTarget();
  FileDropTarget(const FileDropTarget&) = delete;
  FileDropTarget& operator=(const FileDropTarget&) = delete;

  bool Registered() const { return registered_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }  // owned by its C++ owner, not by count
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

 private:
  DWORD EffectAt(POINTL point) const;

  HWND window_;
  Accepts accepts_;
  Dropped dropped_;
  Later later_;
  bool oleStarted_ = false;
  bool registered_ = false;
  bool carriesFiles_ = false;  // the drag under way holds a file list
  ULONG references_ = 1;
};

}  // namespace kivora
