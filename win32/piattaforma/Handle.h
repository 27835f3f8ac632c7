#pragma once

#include <winsock2.h>

#include <windows.h>

#include <objbase.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace pulsiero::win {

// Each kind of handle owned once, released by its own function whatever the path out.
template <auto Rilascia> struct Rilascio {
    template <typename H> void operator()(H h) const noexcept { Rilascia(h); }
};

template <typename H, auto Rilascia>
using Possesso = std::unique_ptr<std::remove_pointer_t<H>, Rilascio<Rilascia>>;

inline void chiudiHandle(HANDLE h) noexcept {
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}
inline void chiudiChiave(HKEY k) noexcept {
    RegCloseKey(k);
}
inline void eliminaOggetto(HGDIOBJ o) noexcept {
    DeleteObject(o);
}

using Handle = Possesso<HANDLE, chiudiHandle>;
using ChiaveRegistro = Possesso<HKEY, chiudiChiave>;
using Menu = Possesso<HMENU, DestroyMenu>;
using Icona = Possesso<HICON, DestroyIcon>;
using Font = Possesso<HFONT, eliminaOggetto>;
using Bitmap = Possesso<HBITMAP, eliminaOggetto>;
using Pennello = Possesso<HBRUSH, eliminaOggetto>;
using Finestra = Possesso<HWND, DestroyWindow>;
using Acceleratori = Possesso<HACCEL, DestroyAcceleratorTable>;

// A socket is an integer, not a pointer: its own small owner.
class Socket {
public:
    Socket() = default;
    explicit Socket(SOCKET s) : s_(s) {}
    Socket(Socket&& o) noexcept : s_(std::exchange(o.s_, INVALID_SOCKET)) {}
    Socket& operator=(Socket&& o) noexcept {
        if (this != &o)
            reset(std::exchange(o.s_, INVALID_SOCKET));
        return *this;
    }
    ~Socket() { reset(); }
    SOCKET get() const { return s_; }
    explicit operator bool() const { return s_ != INVALID_SOCKET; }
    void reset(SOCKET s = INVALID_SOCKET) {
        if (s_ != INVALID_SOCKET)
            closesocket(s_);
        s_ = s;
    }

private:
    SOCKET s_ = INVALID_SOCKET;
};

// A COM interface pointer, released once.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_)
            p_->Release();
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For the functions that hand out a new reference.
    void** indirizzo() {
        if (p_)
            p_->Release();
        p_ = nullptr;
        return reinterpret_cast<void**>(&p_);
    }

private:
    T* p_ = nullptr;
};

// COM for the life of one object, on this thread.
class ComAttivo {
public:
    ComAttivo() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComAttivo(const ComAttivo&) = delete;
    ComAttivo& operator=(const ComAttivo&) = delete;
    ~ComAttivo() {
        if (ok_)
            CoUninitialize();
    }

private:
    bool ok_;
};

} // namespace pulsiero::win
