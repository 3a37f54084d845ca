// A window procedure that writes down what it is sent, for the tests of the
// window and message side of the platform layer.
#pragma once

#include <windows.h>

#include <vector>

namespace vantor_test {

struct Heard {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Heard>& HeardMessages() {
  static std::vector<Heard> heard;
  return heard;
}

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HeardMessages().push_back({window, message, wParam, lParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

inline std::vector<UINT> HeardOf(std::initializer_list<UINT> wanted) {
  std::vector<UINT> out;
  for (const Heard& h : HeardMessages()) {
    for (UINT w : wanted) {
      if (h.message == w) out.push_back(h.message);
    }
  }
  return out;
}

}  // namespace vantor_test
