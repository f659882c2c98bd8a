#pragma once
#include <windows.h>

// A dialog control whose messages pass through this object first
// (its window procedure is replaced). Detaches itself when the window goes.
class CSubclassedControl {
 public:
  virtual ~CSubclassedControl();
  BOOL Attach(HWND control);
  void Detach();
  HWND hwnd() const { return hwnd_; }

 protected:
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  WNDPROC original_ = nullptr;
};
