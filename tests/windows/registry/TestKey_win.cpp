#include "TestKey_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>

namespace tolv::test {

namespace {
std::wstring UniqueName() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    return L"TolvViewerTests." + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(random()) + L"_" + std::to_wstring(counter++);
}

HKEY Open(HKEY root, const std::wstring& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

std::wstring Join(const std::wstring& path, const std::wstring& below) {
    if (path.empty())
        return below;
    return below.empty() ? path : path + L"\\" + below;
}
} // namespace

TestKey::TestKey(int32_t root, const std::wstring& parent)
    : root_(root), path_(Join(parent, UniqueName())) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(RootHkey(), path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot create the test key, status " << status;
    else
        RegCloseKey(key);
}

TestKey::~TestKey() {
    RegDeleteTreeW(RootHkey(), path_.c_str());
    RegDeleteKeyW(RootHkey(), path_.c_str());
}

void TestKey::Write(const std::wstring& name, DWORD type, const Bytes& data,
                    const std::wstring& below) const {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(RootHkey(), Join(path_, below).c_str(), 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS);
    status = RegSetValueExW(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                            static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void TestKey::WriteText(const std::wstring& name, DWORD type, const std::wstring& text) const {
    Write(name, type, TextBytes(text));
}

void TestKey::WriteDword(const std::wstring& name, uint32_t number) const {
    Bytes data(4);
    std::memcpy(data.data(), &number, 4);
    Write(name, REG_DWORD, data);
}

std::optional<RawValue> TestKey::Read(const std::wstring& name, const std::wstring& below) const {
    HKEY key = Open(RootHkey(), Join(path_, below), KEY_QUERY_VALUE);
    if (key == nullptr)
        return std::nullopt;
    RawValue value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status =
            RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool TestKey::Exists(const std::wstring& below) const {
    HKEY key = Open(RootHkey(), Join(path_, below), KEY_QUERY_VALUE);
    if (key != nullptr)
        RegCloseKey(key);
    return key != nullptr;
}

DWORD TestKey::ValueCount() const {
    HKEY key = Open(RootHkey(), path_, KEY_QUERY_VALUE);
    DWORD count = 0;
    if (key != nullptr) {
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(key);
    }
    return count;
}

Bytes TextBytes(const std::wstring& text, bool withNul) {
    Bytes data((text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t), 0);
    std::memcpy(data.data(), text.data(), text.size() * sizeof(wchar_t));
    return data;
}

} // namespace tolv::test
