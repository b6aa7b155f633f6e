#pragma once
// Move-only owners for every Windows handle type the program keeps.
#include <winsock2.h>
#include <windows.h>
#include <winsvc.h>
#include <utility>

// Traits give the handle type, its "no handle" value and how to free it.
template <class Traits> class Owned {
    using H = typename Traits::type;
    static H invalid_value() { return Traits::invalid(); }

  public:
    Owned() = default;
    explicit Owned(H h) : h_(h) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& o) noexcept : h_(std::exchange(o.h_, invalid_value())) {}
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, invalid_value()));
        return *this;
    }
    ~Owned() { reset(); }

    [[nodiscard]] H get() const { return h_; }
    [[nodiscard]] bool valid() const { return h_ != invalid_value(); }
    explicit operator bool() const { return valid(); }
    [[nodiscard]] H release() { return std::exchange(h_, invalid_value()); }
    void reset(H h = invalid_value()) {
        if (h_ != invalid_value()) Traits::close(h_);
        h_ = h;
    }
    // For out-parameters of Windows calls: frees the old handle first.
    H* put() {
        reset();
        return &h_;
    }

  private:
    H h_ = invalid_value();
};

template <class H, auto Close> struct NullTraits {
    using type = H;
    static H invalid() { return nullptr; }
    static void close(H h) { Close(h); }
};
struct FileTraits {
    using type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};

struct FindTraits {
    using type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};

struct SocketTraits {
    using type = SOCKET;
    static SOCKET invalid() { return INVALID_SOCKET; }
    static void close(SOCKET s) { closesocket(s); }
};

inline void delete_gdi_object(HGDIOBJ h) { DeleteObject(h); }

using UniqueHandle = Owned<NullTraits<HANDLE, CloseHandle>>;
using UniqueFile = Owned<FileTraits>;
using UniqueFind = Owned<FindTraits>;
using UniqueServiceHandle = Owned<NullTraits<SC_HANDLE, CloseServiceHandle>>;
using UniqueKey = Owned<NullTraits<HKEY, RegCloseKey>>;
using UniqueIcon = Owned<NullTraits<HICON, DestroyIcon>>;
using UniqueMenu = Owned<NullTraits<HMENU, DestroyMenu>>;
using UniqueFont = Owned<NullTraits<HFONT, delete_gdi_object>>;
using UniqueBrush = Owned<NullTraits<HBRUSH, delete_gdi_object>>;
using UniquePen = Owned<NullTraits<HPEN, delete_gdi_object>>;
using UniqueBitmap = Owned<NullTraits<HBITMAP, delete_gdi_object>>;
using UniqueMemoryDc = Owned<NullTraits<HDC, DeleteDC>>;
using UniqueLibrary = Owned<NullTraits<HMODULE, FreeLibrary>>;
using UniqueSocket = Owned<SocketTraits>;

// A device context borrowed from a window (GetDC), given back with ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    [[nodiscard]] HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a device context for one scope.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() { SelectObject(dc_, old_); }

  private:
    HDC dc_;
    HGDIOBJ old_;
};
