#pragma once
#include <windows.h>

#include <vector>

// Windows that translate their own dialog messages before dispatch.
class CMessageFilter {
 public:
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;

 protected:
  ~CMessageFilter() = default;
};

// Work done while the queue is empty; FALSE when there is no more.
class CIdleHandler {
 public:
  virtual BOOL OnIdle() = 0;

 protected:
  ~CIdleHandler() = default;
};

// The UI thread's message loop: filters first, else translate and dispatch;
// idle handlers when the queue runs dry.
class CMessageLoop {
 public:
  void AddMessageFilter(CMessageFilter* filter);
  void RemoveMessageFilter(CMessageFilter* filter);
  void AddIdleHandler(CIdleHandler* handler);
  void RemoveIdleHandler(CIdleHandler* handler);

  // Runs until WM_QUIT; returns its code.
  int Run();

  // Messages after which idle processing is not re-armed.
  static bool IsIdleNeutral(UINT message);

 private:
  bool PreTranslate(MSG* msg);
  void RunIdleHandlers();

  std::vector<CMessageFilter*> filters_;
  std::vector<CIdleHandler*> idleHandlers_;
};

// The window framework's module: the message loop of the UI thread and the
// top-level windows still open at shut-down.
namespace WindowFramework {
void Init();
void AddMessageLoop(CMessageLoop* loop);
void RemoveMessageLoop();
CMessageLoop* MessageLoop();
void TrackWindow(HWND window);
void ForgetWindow(HWND window);
// Destroys the windows still open.
void ShutDown();
}  // namespace WindowFramework
