#include "ui/MessageLoop.h"

#include <algorithm>

namespace {

template <class T>
void Remove(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

CMessageLoop* g_loop = nullptr;
std::vector<HWND> g_windows;

}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { filters_.push_back(filter); }
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { Remove(filters_, filter); }
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) { idleHandlers_.push_back(handler); }
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { Remove(idleHandlers_, handler); }

bool CMessageLoop::IsIdleNeutral(UINT message) {
  return message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE || message == WM_PAINT ||
         message == 0x0118;  // WM_SYSTIMER
}

bool CMessageLoop::PreTranslate(MSG* msg) {
  // Newest first; a filter may remove itself while we walk.
  std::vector<CMessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    if ((*it)->PreTranslateMessage(msg)) return true;
  }
  return false;
}

void CMessageLoop::RunIdleHandlers() {
  std::vector<CIdleHandler*> handlers = idleHandlers_;
  for (CIdleHandler* handler : handlers) handler->OnIdle();
}

int CMessageLoop::Run() {
  bool idle = true;
  MSG msg = {};
  for (;;) {
    while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      RunIdleHandlers();
      idle = false;
    }
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (!got) break;
    if (!PreTranslate(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (!IsIdleNeutral(msg.message)) idle = true;
  }
  return static_cast<int>(msg.wParam);
}

namespace WindowFramework {

void Init() {
  g_loop = nullptr;
  g_windows.clear();
}

void AddMessageLoop(CMessageLoop* loop) { g_loop = loop; }
void RemoveMessageLoop() { g_loop = nullptr; }
CMessageLoop* MessageLoop() { return g_loop; }

void TrackWindow(HWND window) { g_windows.push_back(window); }
void ForgetWindow(HWND window) { Remove(g_windows, static_cast<HWND>(window)); }

void ShutDown() {
  std::vector<HWND> windows = g_windows;
  for (HWND window : windows) {
    if (::IsWindow(window)) ::DestroyWindow(window);
  }
  g_windows.clear();
}

}  // namespace WindowFramework
