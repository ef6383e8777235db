#pragma once
// Move-only owners of Windows handles: each handle has exactly one owner, and
// its closer runs once. Copying is deleted so a handle can never be closed twice.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace tolv {

template <class T, auto Close, T Invalid = T{}> class UniqueAny {
public:
    UniqueAny() = default;
    explicit UniqueAny(T handle) noexcept : handle_(handle) {}
    ~UniqueAny() { reset(); }

    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : handle_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Invalid; }

    // For out-parameters of API calls: closes what is held and hands out the slot.
    T* put() noexcept {
        reset();
        return &handle_;
    }
    T release() noexcept { return std::exchange(handle_, Invalid); }
    void reset(T handle = Invalid) noexcept {
        T old = std::exchange(handle_, handle);
        if (old != Invalid)
            Close(old);
    }

private:
    T handle_ = Invalid;
};

namespace detail {
inline void CloseKey(HKEY key) noexcept {
    RegCloseKey(key);
}
inline void CloseKernelHandle(HANDLE handle) noexcept {
    CloseHandle(handle);
}
inline void FreeCoTaskMem(wchar_t* memory) noexcept {
    CoTaskMemFree(memory);
}
} // namespace detail

using UniqueHkey = UniqueAny<HKEY, detail::CloseKey>;
// For handles whose failure value is null (processes, threads, events); file
// handles fail with INVALID_HANDLE_VALUE instead and need an owner of their own.
using UniqueHandle = UniqueAny<HANDLE, detail::CloseKernelHandle>;
// Text that the shell allocated for the caller (SHGetKnownFolderPath).
using UniqueCoTaskString = UniqueAny<wchar_t*, detail::FreeCoTaskMem>;

// What CreateProcessW hands back: both handles owned, each closed once.
class UniqueProcessInfo {
public:
    UniqueProcessInfo() = default;
    explicit UniqueProcessInfo(const PROCESS_INFORMATION& started) noexcept
        : process_(started.hProcess), thread_(started.hThread), processId_(started.dwProcessId),
          threadId_(started.dwThreadId) {}

    UniqueProcessInfo(UniqueProcessInfo&& other) noexcept
        : process_(std::move(other.process_)), thread_(std::move(other.thread_)),
          processId_(std::exchange(other.processId_, 0)),
          threadId_(std::exchange(other.threadId_, 0)) {}
    UniqueProcessInfo& operator=(UniqueProcessInfo&& other) noexcept {
        if (this != &other) {
            process_ = std::move(other.process_);
            thread_ = std::move(other.thread_);
            processId_ = std::exchange(other.processId_, 0);
            threadId_ = std::exchange(other.threadId_, 0);
        }
        return *this;
    }

    HANDLE process() const noexcept { return process_.get(); }
    HANDLE thread() const noexcept { return thread_.get(); }
    DWORD processId() const noexcept { return processId_; }
    DWORD threadId() const noexcept { return threadId_; }
    explicit operator bool() const noexcept { return static_cast<bool>(process_); }

private:
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
};

} // namespace tolv
