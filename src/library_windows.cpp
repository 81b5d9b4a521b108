// The seam's functions that Windows answers rather than the library (library.h): where the
// program lies, whether a file is there, opening one, and a pause that a press can end. Paths
// are UTF-8 in the program and in the library (which opens files through the wide API); here
// they go through the wide calls too, since the narrow ones take the ANSI code page, in which a
// folder named "王芳" or "Zoë" may have no spelling at all.
// Windows has a BITMAP of its own; the library's is the one the seam means.
#define BITMAP WINDOWS_BITMAP
#include <windows.h>
#undef BITMAP

#include <string>

#include "library.h"

namespace {

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring w(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
  w.resize(n > 0 ? n - 1 : 0);
  return w;
}

}  // namespace

namespace lib {

std::string executable_path() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n;
  while ((n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
             path.size() &&
         path.size() < 32768)
    path.resize(path.size() * 2);
  if (n == 0 || n == path.size()) return "";
  const int len = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(n), nullptr, 0,
                                      nullptr, nullptr);
  std::string utf8(len, '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(n), utf8.data(), len, nullptr,
                      nullptr);
  return utf8;
}

bool file_exists(const char* path) {
  if (GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD e = GetLastError();
  return e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND;
}

std::FILE* open_file(const char* path) {
  return _wfopen(Wide(path).c_str(), L"rb");
}

// The pause waits on an event that resets itself once it has ended a wait.
static HANDLE WakeEvent() {
  static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return event;
}

void rest_until_woken(unsigned int ms) {
  const HANDLE event = WakeEvent();
  if (event == nullptr) return rest(ms);
  WaitForSingleObject(event, ms);
}

void wake_rest() {
  const HANDLE event = WakeEvent();
  if (event != nullptr) SetEvent(event);
}

}  // namespace lib
