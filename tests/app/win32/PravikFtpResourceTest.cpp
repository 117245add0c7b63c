// The resources of the built PravikFtp.exe, read back through the system's own readers:
// the version resource by the version library, the manifest by the side-by-side loader
// that reads it when the program starts. tools/check-release runs the same test on the
// packaged program, named in PRAVIK_SHIPPED_PROGRAM.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "tests/tools/ToolsTestSupport.h"

namespace pravik::test {
namespace {

std::filesystem::path Program() {
  const char* shipped = std::getenv("PRAVIK_SHIPPED_PROGRAM");
  return BuildPath(shipped && *shipped ? shipped : PRAVIK_UPDATER);
}

// The version as the four numbers of the version resource: "1.2.3" is 1.2.3.0.
std::vector<unsigned> VersionNumbers(const std::string& text) {
  std::vector<unsigned> numbers;
  size_t start = 0;
  for (;;) {
    const size_t dot = text.find('.', start);
    numbers.push_back(static_cast<unsigned>(std::stoul(text.substr(start, dot - start))));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  numbers.resize(4, 0);
  return numbers;
}

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(Program().c_str(), &ignored);
    ASSERT_NE(size, 0u) << Program() << " has no version resource, error " << ::GetLastError();
    data_.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoW(Program().c_str(), 0, size, data_.data()));
  }

  // The value at `path` of the block, or nothing.
  void* Query(const std::wstring& path, UINT* length) {
    void* value = nullptr;
    return ::VerQueryValueW(data_.data(), path.c_str(), &value, length) ? value : nullptr;
  }

  std::vector<unsigned char> data_;
};

TEST_F(VersionResource, FixedPartNamesTheProjectVersionOfAReleasedProgram) {
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", &length));
  ASSERT_NE(fixed, nullptr);
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const std::vector<unsigned> expected = VersionNumbers(PRAVIK_VERSION);
  const std::vector<unsigned> file = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                                      HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
  const std::vector<unsigned> product = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                                         HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
  EXPECT_EQ(file, expected);
  EXPECT_EQ(product, expected);
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "debug, pre-release or patched";
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(VersionResource, TextsAreThoseExplorerAndInventoryToolsShow) {
  struct Translation {
    WORD language, codePage;
  };
  UINT length = 0;
  const auto* translation = static_cast<const Translation*>(Query(L"\\VarFileInfo\\Translation", &length));
  ASSERT_NE(translation, nullptr);
  ASSERT_GE(length, sizeof(Translation));
  wchar_t block[64];
  ::swprintf(block, std::size(block), L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);

  const std::wstring version = Wide(PRAVIK_VERSION);
  const struct {
    const wchar_t* name;
    std::wstring value;
  } rows[] = {
      {L"FileDescription", L"Pravik notifier updater"},
      {L"FileVersion", version},
      {L"ProductName", L"PravikFtp"},
      {L"ProductVersion", version},
      {L"OriginalFilename", L"PravikFtp.exe"},
      {L"InternalName", L"PravikFtp"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "value " << row.name);
    const auto* text = static_cast<const wchar_t*>(Query(block + std::wstring(row.name), &length));
    ASSERT_NE(text, nullptr) << "no value";
    EXPECT_EQ(std::wstring(text), row.value);
  }
}

// The manifest as Windows finds it at start-up: resource 1 of type RT_MANIFEST in the
// program file, turned into an activation context.
class Manifest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = Program().wstring();
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program_.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);  // CREATEPROCESS_MANIFEST_RESOURCE_ID
    context_ = ::CreateActCtxW(&request);
    ASSERT_NE(context_, INVALID_HANDLE_VALUE)
        << "no manifest the loader accepts in " << Program() << ", error " << ::GetLastError();
  }
  void TearDown() override {
    if (context_ != INVALID_HANDLE_VALUE) ::ReleaseActCtx(context_);
  }

  std::wstring program_;
  HANDLE context_ = INVALID_HANDLE_VALUE;
};

TEST_F(Manifest, RunsAsInvokerWithoutUiAccess) {
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
  ASSERT_TRUE(::QueryActCtxW(0, context_, nullptr, RunlevelInformationInActivationContext, &level, sizeof level,
                             nullptr));
  EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  EXPECT_EQ(level.UiAccess, 0u);
}

// The window is laid out once at the scale the screen has at start-up: system-aware. A
// per-monitor declaration would make Windows leave a window that it never rescales too
// small or too large on another screen.
TEST_F(Manifest, DeclaresSystemDpiAwareness) {
  wchar_t value[64] = {};
  SIZE_T written = 0;
  ASSERT_TRUE(::QueryActCtxSettingsW(0, context_, nullptr, L"dpiAware", value, std::size(value), &written))
      << "no dpiAware setting, error " << ::GetLastError();
  EXPECT_STREQ(value, L"true");
  EXPECT_FALSE(::QueryActCtxSettingsW(0, context_, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                      L"dpiAwareness", value, std::size(value), &written))
      << "a dpiAwareness setting overrides dpiAware on Windows 10: " << value;
}

// The supported systems as the loader lists them. Windows 7 and 8 answer with elements of a
// GUID and a type; Windows 10 and Wine add the highest version tested, which changes the
// layout; the size of the answer tells which one came.
std::vector<GUID> SupportedSystems(HANDLE context) {
  struct ShortElement {
    GUID Id;
    ACTCTX_COMPATIBILITY_ELEMENT_TYPE Type;
  };
  struct LongElement {
    GUID Id;
    ACTCTX_COMPATIBILITY_ELEMENT_TYPE Type;
    ULONGLONG MaxVersionTested;
  };
  struct ShortAnswer {
    DWORD ElementCount;
    ShortElement Elements[1];
  };
  struct LongAnswer {
    DWORD ElementCount;
    LongElement Elements[1];
  };
  alignas(ULONGLONG) unsigned char buffer[2048] = {};
  SIZE_T written = 0;
  if (!::QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, buffer, sizeof buffer,
                      &written)) {
    ADD_FAILURE() << "no compatibility information, error " << ::GetLastError();
    return {};
  }
  const DWORD count = reinterpret_cast<const ShortAnswer*>(buffer)->ElementCount;
  std::vector<GUID> systems;
  const auto collect = [&](const auto* answer) {
    for (DWORD i = 0; i < count; ++i) {
      if (answer->Elements[i].Type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) systems.push_back(answer->Elements[i].Id);
    }
  };
  if (written == offsetof(LongAnswer, Elements) + count * sizeof(LongElement)) {
    collect(reinterpret_cast<const LongAnswer*>(buffer));
  } else if (written == offsetof(ShortAnswer, Elements) + count * sizeof(ShortElement)) {
    collect(reinterpret_cast<const ShortAnswer*>(buffer));
  } else {
    ADD_FAILURE() << "compatibility information of " << written << " bytes for " << count << " elements";
  }
  return systems;
}

TEST_F(Manifest, SupportsWindows7To11) {
  // Windows 7, 8, 8.1, and 10 (which 11 shares).
  const GUID expected[] = {
      {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},
      {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}},
      {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}},
      {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}},
  };
  const std::vector<GUID> systems = SupportedSystems(context_);
  ASSERT_EQ(systems.size(), std::size(expected));
  for (size_t i = 0; i < systems.size(); ++i) EXPECT_TRUE(::IsEqualGUID(systems[i], expected[i])) << "entry " << i;
}

// Message boxes take the system's current look from common controls 6: the manifest names
// that assembly, and with the program's context active the loader gives comctl32 from its
// folder rather than the system folder's version 5.
TEST_F(Manifest, BringsCommonControls6) {
  // Followed by the application's paths, hence the room.
  alignas(ACTIVATION_CONTEXT_DETAILED_INFORMATION) unsigned char context[4096] = {};
  ASSERT_TRUE(::QueryActCtxW(0, context_, nullptr, ActivationContextDetailedInformation, context, sizeof context,
                             nullptr))
      << "error " << ::GetLastError();
  const DWORD assemblies = reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(context)->ulAssemblyCount;
  std::wstring controlsFolder;
  for (DWORD index = 1; index <= assemblies; ++index) {
    alignas(ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION) unsigned char buffer[4096] = {};
    ACTIVATION_CONTEXT_QUERY_INDEX which{index, 0};
    ASSERT_TRUE(::QueryActCtxW(0, context_, &which, AssemblyDetailedInformationInActivationContext, buffer, sizeof buffer,
                               nullptr));
    const auto* assembly = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer);
    const std::wstring identity = assembly->lpAssemblyEncodedAssemblyIdentity
                                      ? assembly->lpAssemblyEncodedAssemblyIdentity : L"";
    if (identity.starts_with(L"Microsoft.Windows.Common-Controls,") &&
        identity.find(L"version=\"6.") != std::wstring::npos && assembly->lpAssemblyDirectoryName) {
      controlsFolder = assembly->lpAssemblyDirectoryName;
    }
  }
  ASSERT_FALSE(controlsFolder.empty()) << "the manifest brings no Common-Controls 6.x";

  ULONG_PTR cookie = 0;
  ASSERT_TRUE(::ActivateActCtx(context_, &cookie));
  const HMODULE controls = ::LoadLibraryW(L"comctl32.dll");
  wchar_t loaded[MAX_PATH * 2] = {};
  if (controls) ::GetModuleFileNameW(controls, loaded, std::size(loaded));
  if (controls) ::FreeLibrary(controls);
  ::DeactivateActCtx(0, cookie);
  ASSERT_NE(controls, nullptr);
  EXPECT_NE(std::wstring(loaded).find(L"\\" + controlsFolder + L"\\"), std::wstring::npos)
      << "comctl32 came from " << loaded << ", not from " << controlsFolder;
}

}  // namespace
}  // namespace pravik::test
