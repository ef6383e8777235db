#pragma once
// A registry key of the test's own, created fresh for each test and removed
// with everything below it afterwards, plus raw access to its values so that
// tests can store and inspect exactly the bytes they mean.

#include "windows/registry/Register.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolv::test {

using Bytes = std::vector<uint8_t>;

struct RawValue {
    DWORD type = REG_NONE;
    Bytes data;
};

// Owns HKEY_*\<parent>\TolvViewerTests.<unique>: created by the
// constructor, deleted with its whole tree by the destructor. There is no
// shared parent key, so tests running side by side never touch each other's.
class TestKey {
public:
    // `parent` is an existing key below `root` (L"Software"), or empty.
    TestKey(int32_t root, const std::wstring& parent);
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    int32_t Root() const { return root_; }
    HKEY RootHkey() const { return RootKey(root_); }
    // The key's path below the root.
    const std::wstring& Path() const { return path_; }
    std::wstring Sub(const std::wstring& name) const { return path_ + L"\\" + name; }

    // Raw writes and reads on the key itself or on a key below it (relative path).
    void Write(const std::wstring& name, DWORD type, const Bytes& data,
               const std::wstring& below = {}) const;
    void WriteText(const std::wstring& name, DWORD type, const std::wstring& text) const;
    void WriteDword(const std::wstring& name, uint32_t number) const;
    std::optional<RawValue> Read(const std::wstring& name, const std::wstring& below = {}) const;
    bool Exists(const std::wstring& below = {}) const;
    DWORD ValueCount() const;

private:
    int32_t root_;
    std::wstring path_;
};

// UTF-16 text as registry bytes, with or without its terminating NUL.
Bytes TextBytes(const std::wstring& text, bool withNul = true);

} // namespace tolv::test
